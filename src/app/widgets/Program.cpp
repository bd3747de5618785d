#include "app/widgets/Program.h"
#include "app/MeasurementAnalysis.h"

#include "app/InstrumentConfig.h"
#include "app/widgets/DeviceCommands.h"
#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/Icons.h"
#include "app/widgets/PrintCommands.h"
#include "app/widgets/Splash.h"
#include "app/widgets/WizardCommand.h"
#include "common/ActionGuard.h"
#include "common/AppPaths.h"
#include "common/Log.h"
#include "compiler/CompilerLibrary.h"
#include "device/PortList.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QStatusBar>

namespace tessel {

TProgramOptions TProgramOptions::Parse(const QStringList &args) {
    TProgramOptions o;
    QStringList rest;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--config-dir") && i + 1 < args.size())
            o.configDir = args[++i];
        else if (args[i] == QLatin1String("--port") && i + 1 < args.size())
            o.port = args[++i];
        else if (args[i] == QLatin1String("--protocol") && i + 1 < args.size())
            o.protocol = args[++i];
        else
            rest.append(args[i]);
    }
    o.file = rest.join(' ').trimmed();
    return o;
}

void InitModules() {
    InitCompilerLibrary();
    InstallExportParameters();
    OpenLog(AppPaths::logPath());
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
    m_common->Connection.SetPreferredPort(m_options.port);
    WireDeviceCommands(*m_main, *m_common, &m_env);
    m_steps << QStringLiteral("TCommonObjs");
    m_monitor =
        std::make_unique<Tsmon>(m_common->Commands, MonitorScaleOf(m_common->Session.Configuration()), m_main.get());
    wireMonitor();
    m_steps << QStringLiteral("Monitor");
    m_navigator = std::make_unique<TNavigator>(m_main.get());
    m_steps << QStringLiteral("Navigator");
    m_testKeys = std::make_unique<TfrmTestKeys>(m_common->Commands, m_main.get());
    m_steps << QStringLiteral("TestKeys");
    m_envDialog = std::make_unique<TEnvSetupDialog>(
        m_env,
        TEnvSetupTargets{&Config().Instrument.DePrnCol, &Config().Thickness,
                         [] {
                             SavePrintColumns(AppPaths::iniPath(), Config().Instrument.DePrnCol);
                             SaveThickness(AppPaths::iniPath(), Config().Thickness);
                         }},
        m_main.get());
    m_steps << QStringLiteral("EnvSetup");
    m_export = std::make_unique<TfrmExport>(m_main.get());
    m_steps << QStringLiteral("Export");
    m_manualScale = std::make_unique<TGraphMscl>(m_main.get());
    m_steps << QStringLiteral("ManualScale");

    m_navigator->SetImages(AppIcon(), TesselIcon(QStringLiteral("system-monitor")),
                           TesselIcon(QStringLiteral("test-keys")));
    m_navigator->Fill();
    m_navigator->RestoreSettings();
    m_navigator->IsConnected = [this] { return m_common->Comm->Connected(); };
    // The navigator follows the menu's rule: no monitor while a run owns the link.
    m_navigator->OpenMonitor = Guarded([this] {
        if (m_main->Action(QStringLiteral("mniMonitor"))->isEnabled())
            RunMonitor();
    });
    m_steps << QStringLiteral("navigator filled");
    m_experiments =
        new TExperimentCommands(*m_main, *m_common, m_env, m_navigator.get(), m_export.get(), m_manualScale.get());
    m_runCommands = new TRunCommands(*m_main, *m_common, m_env, *m_experiments, m_monitor.get());
    m_recovery = new TRecoveryCommands(*m_main, *m_experiments, m_runCommands->Run());
    // An identification from the menu or the reconnect timer reads the
    // instrument's gains and photodiode values again, also when the
    // connection did not change (after the identification itself).
    QObject::connect(m_main->Action(QStringLiteral("mniDeviceID")), &QAction::triggered, m_main.get(),
                     Guarded([this] { readMonitorValues(); }));
    QObject::connect(&m_main->ReconnectTimer(), &QTimer::timeout, m_main.get(),
                     Guarded([this] { readMonitorValues(); }));
    new TWizardCommand(*m_main, *m_experiments); // owned by the main window
    m_service = new TServiceCommands(*m_main, *m_common, m_env, *m_testKeys, m_navigator.get(), &m_runCommands->Run());
    new TPrintCommands(*m_main, m_env, *m_experiments); // owned by the main window
    m_main->SetNavigator(m_navigator.get());
    m_main->SetEnvDialog(m_envDialog.get());
    m_main->RestoreSettings();
    m_main->ListenForStart();
}

TProgram::~TProgram() {
    // Windows that the main window parents go first, the main window last.
    // Experiment windows close with the MDI area; their documents use the
    // shared objects, so they go before those.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QList<QPointer<QMdiSubWindow>> frames;
    for (QMdiSubWindow *w : m_main->MdiArea()->subWindowList())
        frames << w;
    for (const QPointer<QMdiSubWindow> &w : frames)
        delete w.data();
    // The run uses the link and the status timer of the shared objects.
    delete m_recovery;
    m_recovery = nullptr;
    delete m_runCommands;
    m_runCommands = nullptr;
    delete m_service;
    m_service = nullptr;
    m_manualScale.reset();
    m_export.reset();
    m_envDialog.reset();
    m_testKeys.reset();
    m_navigator.reset();
    m_monitor.reset();
    m_common.reset();
    m_main.reset();
}

TMonitorScale MonitorScaleOf(const TInstrumentConfig &c) {
    return TMonitorScale{c.MoChA, c.MoChB, c.BitResA, c.BitResB, c.DetectorAUnsigned, c.DetectorBUnsigned};
}

void TProgram::wireMonitor() {
    TCommunication &link = *m_common->Comm;
    m_monitor->Session().SetStatusPolling = [this](bool on) {
        if (on && m_common->Comm->Connected())
            m_common->StatusTimer.start();
        else
            m_common->StatusTimer.stop();
    };
    // Gains, offsets and photodiodes exist only on some connected types.
    auto updateControls = [this] {
        TCommunication &l = *m_common->Comm;
        const TDevice d = l.Device();
        const bool gains = l.Connected() && HasMonitorGains(d);
        const bool apd = l.Connected() && HasMonitorApd(d);
        m_monitor->SetGainsEnabled(gains);
        m_monitor->SetApdEnabled(apd);
        m_monitor->SetScale(MonitorScaleOf(m_common->Session.Configuration()));
    };
    auto chain = [](std::function<void(TCustomComm *)> before, std::function<void()> after) {
        return [before, after](TCustomComm *s) {
            if (before)
                before(s);
            after();
        };
    };
    link.OnConnectedChanged = chain(link.OnConnectedChanged, [this, updateControls] {
        updateControls();
        readMonitorValues();
    });
    link.OnDeviceChanged = chain(link.OnDeviceChanged, updateControls);
    QObject::connect(m_main->Action(QStringLiteral("mniMonitor")), &QAction::triggered, m_main.get(),
                     Guarded([this] { RunMonitor(); }));
}

void TProgram::readMonitorValues() {
    if (!m_common->Comm->Connected())
        return;
    m_monitor->ReadGains();
    m_monitor->ReadApd();
    if (m_runCommands)
        m_runCommands->UpdateGainsPanel();
}

void TProgram::RunMonitor() {
    m_monitor->SetScale(MonitorScaleOf(m_common->Session.Configuration()));
    m_monitor->exec();
    WriteLog(QStringLiteral("After Close Monitor"));
    if (m_common->Comm->Connected() && m_runCommands)
        m_runCommands->Run().Poll();
    m_main->statusBar()->repaint();
}

void TProgram::Start() {
    m_main->show();
    m_steps << QStringLiteral("first show");
    m_splash->finish(m_main.get());
    m_splash.reset();
    m_steps << QStringLiteral("splash freed");
    m_recovery->OfferRestore();
    m_main->RunStartupActions(m_options.file);
    m_steps << QStringLiteral("start-up actions");
    if (!m_options.protocol.isEmpty())
        OpenProtocolExperiment(m_options.protocol);
}

void TProgram::Terminate() {
    m_terminated = true;
    m_recovery->WriteAll();
    m_recovery->KeepCopies();
    // No save questions: the experiments live on as their recovery copies.
    m_main->CloseDocuments = nullptr;
    m_main->close();
}

void TProgram::OpenProtocolExperiment(const QString &protocolFile) {
    QString text;
    if (!TProtocolDoc::LoadFile(protocolFile, text))
        return;
    m_experiments->mniNewClick();
    TMDIChild *c = m_experiments->ActiveExperiment();
    if (!c)
        return;
    c->Protocol().SetText(text);
    c->Editor()->ReloadText();
}

} // namespace tessel
