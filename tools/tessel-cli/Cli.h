#pragma once

#include "common/MessageService.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <vector>

namespace tessel {
class TCompiler;
class TExperimentModel;
class TFileOp;
} // namespace tessel

namespace tessel::cli {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct CliIO {
    QTextStream &out;
    QTextStream &err;
    // Progress and status lines, which are no error (standard error too).
    QTextStream *progress = nullptr;
    QTextStream &Progress() { return progress ? *progress : err; }
};

struct CliCommand {
    QString name;
    QString summary;
    std::function<int(const QStringList &args, CliIO &io)> run;
    // Needs font metrics, so the GUI side of Qt (run offscreen).
    bool fonts = false;
};

std::vector<CliCommand> &Commands();

struct Registrar {
    explicit Registrar(CliCommand c) { Commands().push_back(std::move(c)); }
};

// Whether the subcommand named first in args needs font metrics.
bool NeedsFonts(const QStringList &args);

// Runs "SUBCOMMAND [options]"; args exclude the program name.
int RunCli(const QStringList &args, CliIO &io);

// Parses a subcommand's options. Returns kContinue when the command should
// run, else the exit code: 0 after --help, 2 after a usage error (printed
// with the subcommand's help on err).
constexpr int kContinue = -1;
int ParseArgs(QCommandLineParser &parser, const QString &command, const QStringList &args, CliIO &io);
void AddJsonOption(QCommandLineParser &parser);
// The parser's help, its usage line naming "tessel-cli SUBCOMMAND" rather
// than the path the program was started by.
QString Help(const QCommandLineParser &parser);
void PrintJson(CliIO &io, const QJsonDocument &doc);

// Reads an experiment file; the reader's message ("File not found", "Bad file
// format", ...) goes to err with the file's name. False when unreadable.
bool LoadExperiment(TExperimentModel &model, const QString &path, CliIO &io, TFileOp *file = nullptr);

// The protocol language's log of a build with the work file's name replaced
// by the user's file, and its error position as "FILE:LINE:COLUMN: message".
// An event table error about a bit gets the names the protocol (and the
// files it includes from includeDir) gives that line and the source lines
// that use them.
QStringList UserBuildLog(const QStringList &log, const QString &userFile, const QStringList &protocol = {},
                         const QString &includeDir = {});

// Warnings for the marks of a build that name no input of the parameters
// (a misspelt "mark fm"), with the likely name.
QStringList MarkWarnings(const TCompiler &compiler);

// Messages of the program go to standard error word for word.
class StreamMessageService : public IMessageService {
public:
    explicit StreamMessageService(QTextStream &err) : m_err(err) {}
    MsgButton show(MsgType type, const QString &text, int buttons) override;

private:
    QTextStream &m_err;
};

// The compiler library for one command: installed from the program's folder
// unless the program or a test installed one already, and removed again at
// the end of the command.
class TCommandCompilerLibrary {
public:
    TCommandCompilerLibrary() = default;
    TCommandCompilerLibrary(const TCommandCompilerLibrary &) = delete;
    TCommandCompilerLibrary &operator=(const TCommandCompilerLibrary &) = delete;
    ~TCommandCompilerLibrary();
    // False when it cannot be loaded; the loader has told the user why.
    bool Ensure();

private:
    bool m_installed = false;
};

} // namespace tessel::cli
