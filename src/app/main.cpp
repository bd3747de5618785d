// Program entry: module set-up, splash, the windows in their fixed order,
// first show, the command-line experiment or the start-up offers, the loop.
#include "app/CommonObjs.h"
#include "app/InstrumentConfig.h"
#include "app/widgets/DeviceCommands.h"
#include "app/widgets/Icons.h"
#include "app/widgets/MainWindow.h"
#include "app/widgets/Splash.h"
#include "common/AppPaths.h"
#include "common/Log.h"
#include "common/widgets/QtFileDialogService.h"
#include "common/widgets/QtMessageService.h"
#include "compiler/CompilerLibrary.h"
#include "device/DeviceTypes.h"
#include "device/PortList.h"
#include "graph/widgets/Navigator.h"
#include "settings/widgets/EnvSetupDialog.h"

#include <QApplication>
#include <QSplashScreen>

using namespace tessel;

namespace {
struct Options {
    QString configDir;
    QString port;
    QString file;
};

// Program options come first; the rest of the command line is one file name.
Options parseOptions(const QStringList &args) {
    Options o;
    QStringList rest;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--config-dir") && i + 1 < args.size())
            o.configDir = args[++i];
        else if (args[i] == QLatin1String("--port") && i + 1 < args.size())
            o.port = args[++i];
        else
            rest.append(args[i]);
    }
    o.file = rest.join(' ').trimmed();
    return o;
}
} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessel"));
    QApplication::setOrganizationName(QStringLiteral("KRT"));
    QApplication::setWindowIcon(AppIcon());
    const Options opts = parseOptions(QApplication::arguments());
    if (!opts.configDir.isEmpty())
        AppPaths::setConfigDir(opts.configDir);

    QtMessageService messages;
    SetMessageService(&messages);
    QtFileDialogService fileDialogs;
    SetFileDialogService(&fileDialogs);

    // Module set-up: the compiler library (ends the program when missing),
    // the traffic log and the graph bounds.
    InitCompilerLibrary();
    OpenLog(AppPaths::programDir() + QStringLiteral("logfile.txt"));
    Config().GraphBounds = ReadGraphBounds(AppPaths::iniPath(), QStringLiteral("GraphBounds"));
    Config().SignalBounds = ReadGraphBounds(AppPaths::iniPath(), QStringLiteral("SignalBounds"));

    QSplashScreen splash(SplashPicture());
    splash.show();
    app.processEvents();

    TEnvSetup env;
    env.Restore();
    TfrmMain main(nullptr, &env);
    messages.setParent(&main);
    fileDialogs.setParent(&main);
    InitPortNames(main.Store().KeyName(), opts.port);
    TCommonObjs common;
    common.Comm->SetPreferredPort(opts.port);
    WireDeviceCommands(main, common, &env);
    TNavigator navigator(&main);
    TEnvSetupDialog envDialog(env,
                              {&Config().Instrument.DePrnCol, &Config().Thickness,
                               [] {
                                   SavePrintColumns(AppPaths::iniPath(), Config().Instrument.DePrnCol);
                                   SaveThickness(AppPaths::iniPath(), Config().Thickness);
                               }},
                              &main);

    navigator.SetImages(AppIcon(), TesselIcon(QStringLiteral("system-monitor")), TesselIcon(QStringLiteral("test-keys")));
    navigator.Fill();
    navigator.RestoreSettings();
    main.SetNavigator(&navigator);
    main.SetEnvDialog(&envDialog);
    main.RestoreSettings();
    main.ListenForStart();

    main.show();
    splash.finish(&main);
    main.RunStartupActions(opts.file);
    const int rc = app.exec();
    SetMessageService(nullptr);
    SetFileDialogService(nullptr);
    return rc;
}
