#include "Cli.h"

#include "app/MeasurementAnalysis.h"

#include "common/AppPaths.h"
#include "common/MessageService.h"
#include "common/NumberText.h"
#include "common/ProgramInfo.h"
#include "compiler/Compiler.h"
#include "compiler/CompilerLibrary.h"
#include "data/ExperimentFile.h"
#include "data/analysis/ProtocolMarks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <map>

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

namespace {

QString &CurrentCommand() {
    static QString name;
    return name;
}

// Standard error of a --json run: passed on as written, and kept so that the
// JSON result can carry the error.
class TeeDevice : public QIODevice {
public:
    TeeDevice(QTextStream &to, QString &copy) : m_to(to), m_copy(copy) { open(QIODevice::WriteOnly); }

protected:
    qint64 writeData(const char *data, qint64 size) override {
        const QString text = QString::fromUtf8(data, size);
        m_copy += text;
        m_to << text;
        m_to.flush();
        return size;
    }
    qint64 readData(char *, qint64) override { return -1; }

private:
    QTextStream &m_to;
    QString &m_copy;
};

// The error of a failed run as its standard error said it, without the help
// text that follows a usage error.
QString ErrorMessage(const QString &err) {
    QString text = err;
    const qsizetype help = text.indexOf(QLatin1String("\n\nUsage: "));
    if (help >= 0)
        text.truncate(help);
    return text.trimmed();
}

// Every --json run prints one JSON document, a failed one with
// "error": {"message", "exitCode"} (merged into an error object the
// subcommand wrote itself).
QString WithError(const QString &out, const QString &err, int rc) {
    QJsonObject doc;
    const QJsonDocument parsed = QJsonDocument::fromJson(out.toUtf8());
    if (parsed.isObject())
        doc = parsed.object();
    else if (!out.trimmed().isEmpty())
        return out; // not JSON: leave it as it is
    QJsonObject error = doc.value(QStringLiteral("error")).toObject();
    if (!error.contains(QStringLiteral("message")))
        error[QStringLiteral("message")] = ErrorMessage(err);
    error[QStringLiteral("exitCode")] = rc;
    doc[QStringLiteral("error")] = error;
    return QString::fromUtf8(QJsonDocument(doc).toJson(QJsonDocument::Indented));
}

// A private work file for the protocol language, for this run only.
class RunWorkFile {
public:
    RunWorkFile() {
        if (m_dir.isValid())
            TCompiler::SetWorkFilePath(m_dir.filePath(kWorkFileName));
    }
    ~RunWorkFile() { TCompiler::SetWorkFilePath(QString()); }
    RunWorkFile(const RunWorkFile &) = delete;
    RunWorkFile &operator=(const RunWorkFile &) = delete;

private:
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/tessel-cli-XXXXXX")};
};

} // namespace

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
            CurrentCommand() = c.name;
            RunWorkFile work;
            if (!args.contains(QLatin1String("--json"))) {
                StreamMessageService messages(io.err);
                ScopedMessageService scope(&messages);
                const int rc = c.run(args, io);
                io.out.flush();
                io.err.flush();
                return rc;
            }
            QString out, errCopy;
            TeeDevice tee(io.err, errCopy);
            QTextStream bufferedOut(&out), teeErr(&tee);
            CliIO jsonIO{bufferedOut, teeErr, &io.err};
            StreamMessageService messages(teeErr);
            ScopedMessageService scope(&messages);
            const int rc = c.run(args, jsonIO);
            bufferedOut.flush();
            teeErr.flush();
            io.out << (rc == kExitOk ? out : WithError(out, errCopy, rc));
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
        io.err << "tessel-cli " << command << ": " << parser.errorText() << "\n\n" << Help(parser);
        io.err.flush();
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        io.out << Help(parser);
        io.out.flush();
        return kExitOk;
    }
    return kContinue;
}

void AddJsonOption(QCommandLineParser &parser) {
    parser.addOption(QCommandLineOption(QStringLiteral("json"), QStringLiteral("Print machine-readable JSON.")));
}

QString Help(const QCommandLineParser &parser) {
    QString text = parser.helpText();
    const QString program =
        QCoreApplication::instance() ? QCoreApplication::arguments().value(0) : QStringLiteral("<executable_name>");
    const QString usage = QStringLiteral("Usage: ");
    if (text.startsWith(usage + program))
        text.replace(usage.size(), program.size(), QStringLiteral("tessel-cli ") + CurrentCommand());
    return text;
}

void PrintJson(CliIO &io, const QJsonDocument &doc) {
    const QJsonValue v = MachineJson(doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object()));
    io.out << (v.isArray() ? QJsonDocument(v.toArray()) : QJsonDocument(v.toObject())).toJson(QJsonDocument::Indented);
}

bool LoadExperiment(TExperimentModel &model, const QString &path, CliIO &io, TFileOp *file) {
    TKeptMessages said;
    bool ok = false;
    {
        ScopedMessageService scope(&said);
        ok = LoadExperimentFile(model, path, file);
    }
    for (const auto &e : said.entries)
        io.err << e.text << ": " << path << '\n';
    return ok;
}

QStringList MarkWarnings(const TCompiler &compiler) {
    const QStringList known{kMarkFo, kMarkFm, kMarkFs, kMarkFmP, kMarkFoP};
    QStringList out;
    for (int32_t i = 0; i < compiler.Vars.Count(); ++i) {
        const QString var = compiler.Vars.Name(i);
        if (!var.startsWith(kMarkVariablePrefix))
            continue;
        const QString name = var.mid(kMarkVariablePrefix.size());
        if (known.contains(NormalMarkName(name)))
            continue;
        QString line = QStringLiteral("Warning: mark '%1' names no parameter input (%2)").arg(name, known.join(", "));
        for (const QString &k : known)
            if (NormalMarkName(name).compare(k, Qt::CaseInsensitive) == 0 || name.compare(k, Qt::CaseInsensitive) == 0)
                line += QStringLiteral("; did you mean %1?").arg(k);
        out << line;
    }
    return out;
}

namespace {

// "line NAME = N" and "line NAME = OTHER" of a protocol and the files it
// includes: the names of each output line.
void CollectLineNames(const QStringList &lines, const QString &includeDir, std::map<QString, int> &names,
                      QStringList &seen) {
    static const QRegularExpression include(QStringLiteral("^\\s*include\\s+\"([^\"]+)\""));
    static const QRegularExpression line(QStringLiteral("^\\s*line\\s+(\\w+)\\s*=\\s*(\\w+)\\s*(#.*)?$"));
    for (const QString &text : lines) {
        if (const QRegularExpressionMatch m = include.match(text); m.hasMatch()) {
            const QString path = QDir(includeDir).filePath(m.captured(1));
            QFile f(path);
            if (seen.contains(path) || !f.open(QIODevice::ReadOnly))
                continue;
            seen << path;
            CollectLineNames(QString::fromUtf8(f.readAll()).split(u'\n'), includeDir, names, seen);
        } else if (const QRegularExpressionMatch l = line.match(text); l.hasMatch()) {
            bool number = false;
            const int bit = l.captured(2).toInt(&number);
            if (number)
                names[l.captured(1)] = bit;
            else if (names.count(l.captured(2)))
                names[l.captured(1)] = names[l.captured(2)];
        }
    }
}

} // namespace

QStringList UserBuildLog(const QStringList &log, const QString &userFile, const QStringList &protocol,
                         const QString &includeDir) {
    static const QRegularExpression bitError(QStringLiteral("^(Error|Warning|Hint) at time .*\\bbit (\\d+)\\b"));
    std::map<QString, int> names;
    bool namesRead = false;
    static const QRegularExpression at(QStringLiteral("^Error in source file at line: (-?\\d+) column: (-?\\d+)$"));
    const QString work = TCompiler::WorkFilePath();
    QStringList out;
    for (qsizetype i = 0; i < log.size(); ++i) {
        QString line = log[i];
        line.replace(work, userFile);
        out << line;
        if (const QRegularExpressionMatch b = bitError.match(line); b.hasMatch() && !protocol.isEmpty()) {
            if (!namesRead) {
                QStringList seen;
                CollectLineNames(protocol, includeDir, names, seen);
                namesRead = true;
            }
            QStringList called;
            for (const auto &[name, bit] : names)
                if (bit == b.captured(2).toInt())
                    called << name;
            if (!called.isEmpty()) {
                out << QStringLiteral("  bit %1 is %2").arg(b.captured(2), called.join(QStringLiteral(" = ")));
                const QRegularExpression use(QStringLiteral("\\b(%1)\\b").arg(called.join(u'|')));
                static const QRegularExpression definition(QStringLiteral("^\\s*line\\s"));
                for (qsizetype k = 0; k < protocol.size(); ++k)
                    if (use.match(protocol[k]).hasMatch() && !definition.match(protocol[k]).hasMatch())
                        out << QStringLiteral("  %1:%2: %3").arg(userFile).arg(k + 1).arg(protocol[k].trimmed());
            }
        }
        const QRegularExpressionMatch m = at.match(line);
        if (m.hasMatch() && i >= 2) {
            QString file = log[i - 1];
            file.replace(work, userFile);
            out << QStringLiteral("%1:%2:%3: %4")
                       .arg(file.isEmpty() ? userFile : file, m.captured(1), m.captured(2), log[i - 2]);
        }
    }
    return out;
}

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
