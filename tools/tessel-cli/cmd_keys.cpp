// tessel-cli keys: the "Test Keys" window from a script: light levels and
// single flashes and outputs.
#include "DeviceLink.h"

#include "app/KeyTest.h"

#include <QJsonObject>
#include <QRegularExpression>
#include <map>

namespace tessel::cli {
namespace {

// "--level N=LEVEL" -> slider index and position; false for anything else.
bool ParseLevel(const QString &text, int &index, int &position) {
    static const QRegularExpression form(QStringLiteral("^(\\d)=(\\d{1,4})$"));
    const auto m = form.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    const int output = m.captured(1).toInt();
    position = m.captured(2).toInt();
    for (int i = 0; i < kKeyLevelCount; ++i)
        if (KeyLevels()[size_t(i)].output == output) {
            index = i;
            return position <= kKeyLevelMax;
        }
    return false;
}

int runBody(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Identify the instrument, then do what the Test Keys window does: set the light levels (all five are "
        "sent, those not given at 0, after the reset macros where the firmware needs them) and fire single "
        "flashes and outputs, in the order given. Without --level no level is sent."));
    AddLinkOptions(p);
    p.addOption({QStringLiteral("level"),
                 QStringLiteral("Level of output N (1, 2, 3, 5 or 6) from 0 to 1023; repeatable."),
                 QStringLiteral("N=LEVEL")});
    p.addOption({QStringLiteral("fire"), QStringLiteral("BF1, BF2, SF1 or AX1 ... AX6, after the levels; repeatable."),
                 QStringLiteral("COMMAND")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("keys"), args, io); rc != kContinue)
        return rc;
    std::map<int, int> levels;
    for (const QString &l : p.values(QStringLiteral("level"))) {
        int index = 0, position = 0;
        if (!ParseLevel(l, index, position)) {
            io.err << "tessel-cli keys: --level wants N=LEVEL with N 1, 2, 3, 5 or 6 and LEVEL 0 to 1023, not \"" << l
                   << "\"\n";
            return kExitUsage;
        }
        levels[index] = position;
    }
    QStringList fire;
    for (const QString &f : p.values(QStringLiteral("fire"))) {
        if (!IsKeySignal(f)) {
            io.err << "tessel-cli keys: --fire wants BF1, BF2, SF1 or AX1 ... AX6, not \"" << f << "\"\n";
            return kExitUsage;
        }
        fire << f.toUpper();
    }
    if (levels.empty() && fire.isEmpty()) {
        io.err << "tessel-cli keys: nothing to do; give --level or --fire\n\n" << Help(p);
        return kExitUsage;
    }

    int rc = kExitOk;
    auto session = OpenIdentifiedSession(p, QStringLiteral("keys"), io, rc);
    if (!session)
        return rc;
    TKeyTest keys(session->Commands());
    for (const auto &[index, position] : levels) {
        if (!keys.LevelAvailable(index)) {
            io.err << DeviceInfo(session->Link().Device()).name << " has no level " << KeyLevels()[size_t(index)].output
                   << '\n';
            return kExitFailed;
        }
        keys.SetLevel(index, position);
    }
    bool ok = true;
    const bool macros = !levels.empty() && session->Commands().NeedsResetMacros();
    QJsonArray sentLevels;
    QStringList lines;
    if (!levels.empty()) {
        ok = keys.Show();
        for (int i = 0; i < kKeyLevelCount; ++i) {
            if (!keys.LevelAvailable(i))
                continue;
            const int output = KeyLevels()[size_t(i)].output;
            sentLevels.append(
                QJsonObject{{"output", output}, {"level", keys.Level(i)}, {"percent", KeyLevelText(keys.Level(i))}});
            lines << QStringLiteral("SA%1 %2 (%3)").arg(output).arg(keys.Level(i)).arg(KeyLevelText(keys.Level(i)));
        }
    }
    for (const QString &f : fire) {
        ok = SendKeySignal(session->Commands(), f) && ok;
        lines << f;
    }
    if (!ok) {
        io.err << "The instrument link refused a command\n";
        rc = kExitFailed;
    }
    if (p.isSet(QStringLiteral("json"))) {
        PrintJson(io, QJsonDocument(QJsonObject{{"device", QLatin1String(DeviceInfo(session->Link().Device()).name)},
                                                {"resetMacros", macros},
                                                {"levels", sentLevels},
                                                {"fired", QJsonArray::fromStringList(fire)},
                                                {"ok", ok}}));
    } else {
        if (macros)
            io.out << "reset macros\n";
        for (const QString &l : lines)
            io.out << l << '\n';
    }
    return rc;
}

int run(const QStringList &args, CliIO &io) {
    return Guarded(io, [&] { return runBody(args, io); });
}

const Registrar reg({QStringLiteral("keys"), QStringLiteral("Set light levels and fire flashes and outputs"), run});

} // namespace
} // namespace tessel::cli
