#include "Cli.h"

#include "app/MeasurementAnalysis.h"

#include "common/AppPaths.h"
#include "compiler/CompilerLibrary.h"

#include <algorithm>

namespace tessel::cli {

std::vector<CliCommand> &Commands() {
    static std::vector<CliCommand> c;
    return c;
}

MsgButton StreamMessageService::show(MsgType, const QString &text, int buttons) {
    m_err << text << Qt::endl;
    return DefaultButton(buttons);
}

static void usage(CliIO &io) {
    io.err << "usage: tessel-cli SUBCOMMAND [options]\n\nsubcommands:\n";
    auto cmds = Commands();
    std::sort(cmds.begin(), cmds.end(), [](const CliCommand &a, const CliCommand &b) { return a.name < b.name; });
    for (const CliCommand &c : cmds)
        io.err << "  " << c.name.leftJustified(10) << ' ' << c.summary << '\n';
    io.err << "\nRun 'tessel-cli SUBCOMMAND --help' for its options." << Qt::endl;
}

bool NeedsFonts(const QStringList &args) {
    for (const CliCommand &c : Commands())
        if (!args.isEmpty() && c.name == args.first())
            return c.fonts;
    return false;
}

int RunCli(const QStringList &args, CliIO &io) {
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        usage(io);
        return args.isEmpty() ? kExitUsage : kExitOk;
    }
    for (const CliCommand &c : Commands()) {
        if (c.name == args.first()) {
            InstallExportParameters();
            StreamMessageService messages(io.err);
            ScopedMessageService scope(&messages);
            const int rc = c.run(args, io);
            io.out.flush();
            io.err.flush();
            return rc;
        }
    }
    io.err << "tessel-cli: unknown subcommand '" << args.first() << "'\n";
    usage(io);
    return kExitUsage;
}

int ParseArgs(QCommandLineParser &parser, const QString &command, const QStringList &args, CliIO &io) {
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    parser.addOption(help);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(args)) {
        io.err << "tessel-cli " << command << ": " << parser.errorText() << "\n\n" << parser.helpText();
        io.err.flush();
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        io.out << parser.helpText();
        io.out.flush();
        return kExitOk;
    }
    return kContinue;
}

void AddJsonOption(QCommandLineParser &parser) {
    parser.addOption(QCommandLineOption(QStringLiteral("json"), QStringLiteral("Print machine-readable JSON.")));
}

void PrintJson(CliIO &io, const QJsonDocument &doc) { io.out << doc.toJson(QJsonDocument::Indented); }

TCommandCompilerLibrary::~TCommandCompilerLibrary() {
    if (m_installed)
        SetCompilerLibrary(nullptr);
}

bool TCommandCompilerLibrary::Ensure() {
    if (CompilerLibrary())
        return true;
    std::unique_ptr<ICompilerLibrary> loaded = LoadCompilerLibrary(AppPaths::programDir());
    if (!loaded)
        return false;
    SetCompilerLibrary(std::move(loaded));
    m_installed = true;
    return true;
}

} // namespace tessel::cli
