#include "Cli.h"

#include "app/MeasurementAnalysis.h"

#include "common/AppPaths.h"
#include "common/ProgramInfo.h"
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

static QString usageText() {
    auto cmds = Commands();
    std::sort(cmds.begin(), cmds.end(), [](const CliCommand &a, const CliCommand &b) { return a.name < b.name; });
    HelpSection subcommands{QStringLiteral("subcommands"), {}};
    for (const CliCommand &c : cmds)
        subcommands.options.append({c.name, c.summary});
    return HelpText(QStringLiteral("tessel-cli"), QStringLiteral("SUBCOMMAND [options]"),
                    QStringLiteral("Compiles, measures, exports and prints from the command line; "
                                   "every subcommand takes --json."),
                    {{QStringLiteral("options"), {}}, subcommands},
                    QStringLiteral("Run 'tessel-cli SUBCOMMAND --help' for its options.\n"
                                   "Exit codes: 0 done, 1 failed, 2 wrong usage (see tessel-cli(1))."));
}

bool NeedsFonts(const QStringList &args) {
    for (const CliCommand &c : Commands())
        if (!args.isEmpty() && c.name == args.first())
            return c.fonts;
    return false;
}

int RunCli(const QStringList &args, CliIO &io) {
    if (args.isEmpty()) {
        io.err << usageText() << Qt::flush;
        return kExitUsage;
    }
    if (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        io.out << usageText() << Qt::flush;
        return kExitOk;
    }
    if (args.first() == QLatin1String("--version")) {
        io.out << VersionText(QStringLiteral("tessel-cli")) << Qt::flush;
        return kExitOk;
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
    io.err << "tessel-cli: unknown subcommand '" << args.first() << "'\n\n" << usageText() << Qt::flush;
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
    std::unique_ptr<ICompilerLibrary> loaded = LoadCompilerLibrary(AppPaths::libraryDir());
    if (!loaded)
        return false;
    SetCompilerLibrary(std::move(loaded));
    m_installed = true;
    return true;
}

} // namespace tessel::cli
