#include "app/widgets/Program.h"

#include "app/InstrumentConfig.h"
#include "app/widgets/DeviceCommands.h"
#include "app/widgets/Icons.h"
#include "app/widgets/Splash.h"
#include "common/AppPaths.h"
#include "common/Log.h"
#include "compiler/CompilerLibrary.h"
#include "device/PortList.h"

#include <QApplication>

namespace tessel {

TProgramOptions TProgramOptions::Parse(const QStringList &args) {
    TProgramOptions o;
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

void InitModules() {
    InitCompilerLibrary();
    OpenLog(AppPaths::programDir() + QStringLiteral("logfile.txt"));
    Config().GraphBounds = ReadGraphBounds(AppPaths::iniPath(), QStringLiteral("GraphBounds"));
    Config().SignalBounds = ReadGraphBounds(AppPaths::iniPath(), QStringLiteral("SignalBounds"));
}

TProgram::TProgram(const TProgramOptions &options) : m_options(options) {
    m_splash = std::make_unique<QSplashScreen>(SplashPicture());
    m_splash->show();
    QApplication::processEvents();
    m_steps << QStringLiteral("splash");

    m_env.Restore();
    m_main = std::make_unique<TfrmMain>(nullptr, &m_env);
    m_steps << QStringLiteral("frmMain");
    InitPortNames(m_main->Store().KeyName(), m_options.port);
    m_common = std::make_unique<TCommonObjs>();
    m_common->Comm->SetPreferredPort(m_options.port);
    WireDeviceCommands(*m_main, *m_common, &m_env);
    m_steps << QStringLiteral("TCommonObjs");
    m_navigator = std::make_unique<TNavigator>(m_main.get());
    m_steps << QStringLiteral("Navigator");
    m_envDialog = std::make_unique<TEnvSetupDialog>(
        m_env,
        TEnvSetupTargets{&Config().Instrument.DePrnCol, &Config().Thickness,
                         [] {
                             SavePrintColumns(AppPaths::iniPath(), Config().Instrument.DePrnCol);
                             SaveThickness(AppPaths::iniPath(), Config().Thickness);
                         }},
        m_main.get());
    m_steps << QStringLiteral("EnvSetup");

    m_navigator->SetImages(AppIcon(), TesselIcon(QStringLiteral("system-monitor")),
                           TesselIcon(QStringLiteral("test-keys")));
    m_navigator->Fill();
    m_navigator->RestoreSettings();
    m_steps << QStringLiteral("navigator filled");
    m_main->SetNavigator(m_navigator.get());
    m_main->SetEnvDialog(m_envDialog.get());
    m_main->RestoreSettings();
    m_main->ListenForStart();
}

TProgram::~TProgram() {
    // Windows that the main window parents go first, the main window last.
    m_envDialog.reset();
    m_navigator.reset();
    m_common.reset();
    m_main.reset();
}

void TProgram::Start() {
    m_main->show();
    m_steps << QStringLiteral("first show");
    m_splash->finish(m_main.get());
    m_splash.reset();
    m_steps << QStringLiteral("splash freed");
    m_main->RunStartupActions(m_options.file);
    m_steps << QStringLiteral("start-up actions");
}

} // namespace tessel
