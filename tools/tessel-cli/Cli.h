#pragma once

#include "common/MessageService.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <vector>

namespace tessel::cli {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct CliIO {
    QTextStream &out;
    QTextStream &err;
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
void PrintJson(CliIO &io, const QJsonDocument &doc);

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
