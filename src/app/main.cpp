// Program entry: the message services, module set-up, the windows in their
// fixed order, first show, the command-line experiment or the start-up
// offers, then the message loop until the main window closes.
#include "app/widgets/Icons.h"
#include "app/widgets/Program.h"
#include "common/AppPaths.h"
#include "common/ProgramInfo.h"
#include "common/widgets/Application.h"
#include "common/widgets/QtFileDialogService.h"
#include "common/widgets/QtMessageService.h"
#include "common/widgets/QtPrintDialogService.h"
#include "data/Vector.h"

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace tessel;

namespace {
QString HelpScreen() {
    return HelpText(QStringLiteral("Tessel"), QStringLiteral("[options] [EXPERIMENT.exp]"),
                    QStringLiteral("Runs two-channel fluorescence measurements and evaluates them; opens "
                                   "EXPERIMENT.exp when given."),
                    {{QStringLiteral("options"),
                      {{QStringLiteral("--port PATH"), QStringLiteral("serial port of the instrument, also when "
                                                                      "enumeration cannot see it")},
                       {QStringLiteral("--protocol FILE"), QStringLiteral("a new experiment with this protocol")},
                       {QStringLiteral("--config-dir DIR"), QStringLiteral("folder of the per-user settings")}}}});
}
// SIGTERM (logout, shutdown, `kill`) closes the program as its Exit command
// does, so the settings are saved and the instrument is stopped, but asks
// nothing: nobody is there to answer. Unsaved experiments stay as recovery
// copies. The handler only writes to a pipe; the event loop does the rest. A
// second SIGTERM ends it at once.
int g_termPipe[2] = {-1, -1};
void OnTerminate(int) {
    std::signal(SIGTERM, SIG_DFL);
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_termPipe[1], &byte, 1);
}
void CloseOnTerminate(TProgram &program) {
    QWidget &main = program.Main();
    if (::pipe2(g_termPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_termPipe[0], QSocketNotifier::Read, &main);
    QObject::connect(notifier, &QSocketNotifier::activated, &main, [&program, notifier] {
        notifier->setEnabled(false);
        SetMessageService(nullptr); // messages of the way out go to standard error
        while (QWidget *modal = QApplication::activeModalWidget()) {
            if (!modal->close())
                break;
        }
        program.Terminate();
        // Also ends the loop of a question that cannot be closed (the
        // start-up's Restore / Discard), before the main loop runs too.
        QCoreApplication::exit(0);
    });
    std::signal(SIGTERM, OnTerminate);
}
} // namespace

int main(int argc, char **argv) {
    // Answered before any window system is needed, so they work over ssh too.
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            std::fputs((arg == "--version" ? VersionText(QStringLiteral("Tessel")) : HelpScreen()).toLocal8Bit(),
                       stdout);
            return 0;
        }
    }
    // Experiments are opened and closed all day; their storage is reused.
    KeepFreedSampleStorage();
    TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessel"));
    QApplication::setOrganizationName(QStringLiteral("KRT"));
    QApplication::setWindowIcon(AppIcon());
    const TProgramOptions options = TProgramOptions::Parse(QApplication::arguments());
    if (!options.configDir.isEmpty())
        AppPaths::setConfigDir(options.configDir);

    QtMessageService messages;
    SetMessageService(&messages);
    QtFileDialogService fileDialogs;
    SetFileDialogService(&fileDialogs);
    QtPrintDialogService printDialogs;
    SetPrintDialogService(&printDialogs);

    InitModules();
    int rc = 0;
    {
        TProgram program(options);
        messages.setParent(&program.Main());
        fileDialogs.setParent(&program.Main());
        printDialogs.setParent(&program.Main());
        CloseOnTerminate(program);
        program.Start();
        // A SIGTERM during the start-up questions has closed the program already.
        rc = program.Terminated() ? 0 : app.exec();
        messages.setParent(nullptr);
        fileDialogs.setParent(nullptr);
        printDialogs.setParent(nullptr);
    }
    SetMessageService(nullptr);
    SetFileDialogService(nullptr);
    SetPrintDialogService(nullptr);
    return rc;
}
