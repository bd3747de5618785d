// Program entry: the message services, module set-up, the windows in their
// fixed order, first show, the command-line experiment or the start-up
// offers, then the message loop until the main window closes.
#include "app/widgets/Icons.h"
#include "app/widgets/Program.h"
#include "common/AppPaths.h"
#include "common/widgets/QtFileDialogService.h"
#include "common/widgets/QtMessageService.h"
#include "common/widgets/QtPrintDialogService.h"

#include <QApplication>

using namespace tessel;

int main(int argc, char **argv) {
    QApplication app(argc, argv);
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
        program.Start();
        rc = app.exec();
        messages.setParent(nullptr);
        fileDialogs.setParent(nullptr);
        printDialogs.setParent(nullptr);
    }
    SetMessageService(nullptr);
    SetFileDialogService(nullptr);
    SetPrintDialogService(nullptr);
    return rc;
}
