// tessel-cli wizards: the wizard list of Tessel.ini as the "Select Wizard"
// window reads it.
#include "Cli.h"

#include "authoring/WizardList.h"
#include "common/AppPaths.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace tessel::cli {
namespace {

QString hexColor(int32_t c) {
    return QStringLiteral("0x") + QString::number(uint32_t(c), 16).rightJustified(8, QLatin1Char('0')).toUpper();
}

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "List the wizards offered by the wizard command: the [WizardN] sections of Tessel.ini up to the first "
        "gap, with their cells in the selector's grid."));
    p.addOption({QStringLiteral("ini"), QStringLiteral("The ini file (default: Tessel.ini in the program's folder)."),
                 QStringLiteral("FILE")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("wizards"), args, io); rc != kContinue)
        return rc;
    if (!p.positionalArguments().isEmpty()) {
        io.err << "tessel-cli wizards: takes no arguments\n";
        return kExitUsage;
    }
    const QString ini = p.isSet(QStringLiteral("ini")) ? p.value(QStringLiteral("ini")) : AppPaths::iniPath();
    const QFileInfo info(ini);
    if (!info.isFile()) {
        Messages().error(QStringLiteral("Cannot open file \"%1\"").arg(ini));
        return kExitFailed;
    }
    TWizards list;
    list.Load(ini, AppPaths::resourceBase(ini));
    if (list.IsEmpty()) {
        io.err << "tessel-cli wizards: no wizard listed in " << ini << '\n';
        return kExitFailed;
    }

    const std::vector<TWizardEntry> &entries = list.Entries();
    if (p.isSet(QStringLiteral("json"))) {
        QJsonArray out;
        for (size_t i = 0; i < entries.size(); ++i) {
            const TWizardEntry &e = entries[i];
            out.append(QJsonObject{{"section", QStringLiteral("Wizard%1").arg(i + 1)},
                                   {"file", e.FileName},
                                   {"column", e.Column},
                                   {"row", e.Row},
                                   {"title", e.Title},
                                   {"leftTopColor", hexColor(e.LeftTopColor)},
                                   {"rightBottomColor", hexColor(e.RightBottomColor)},
                                   {"image", e.ImageName},
                                   {"pictureLoaded", !e.Picture.isNull()},
                                   {"shown", list.EntryAt(e.Column, e.Row) == &e}});
        }
        PrintJson(io,
                  QJsonDocument(QJsonObject{
                      {"ini", ini}, {"columns", list.MaxColumn() + 1}, {"rows", list.MaxRow() + 1}, {"wizards", out}}));
        return kExitOk;
    }
    io.out << "Grid: " << list.MaxColumn() + 1 << " x " << list.MaxRow() + 1 << " cells (columns x rows)\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const TWizardEntry &e = entries[i];
        io.out << "Wizard" << i + 1 << ": column " << e.Column << ", row " << e.Row << ", \"" << e.Title << "\"";
        if (list.EntryAt(e.Column, e.Row) != &e)
            io.out << " (hidden by a later entry on the same cell)";
        io.out << "\n  file:    " << e.FileName << '\n';
        if (e.ImageName.isEmpty())
            io.out << "  picture: none\n";
        else
            io.out << "  picture: " << e.ImageName << (e.Picture.isNull() ? " (not loaded)" : " (loaded)") << '\n';
        io.out << "  frame:   left-top " << hexColor(e.LeftTopColor) << ", right-bottom "
               << hexColor(e.RightBottomColor) << '\n';
    }
    return kExitOk;
}

const Registrar reg({QStringLiteral("wizards"), QStringLiteral("List the wizards of the wizard selector"), run});

} // namespace
} // namespace tessel::cli
