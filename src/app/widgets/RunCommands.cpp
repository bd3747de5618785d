#include "app/widgets/RunCommands.h"

#include "app/CommonObjs.h"
#include "app/widgets/ExperimentCommands.h"
#include "app/widgets/MainWindow.h"
#include "common/ActionGuard.h"
#include "common/MessageService.h"
#include "monitor/widgets/MonitorWindow.h"
#include "settings/EnvSetup.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QStatusBar>

namespace tessel {

TRunCommands::TRunCommands(TfrmMain &main, TCommonObjs &common, TEnvSetup &env, TExperimentCommands &experiments,
                           Tsmon *monitor)
    : QObject(&main), m_main(main), m_common(common), m_env(env), m_monitor(monitor) {
    TMeasurementHost host;
    host.SetPanel = [this](int panel, const QString &text) {
        if (QLabel *p = m_main.Panel(panel))
            p->setText(text);
    };
    host.RepaintStatusBar = [this] { m_main.statusBar()->repaint(); };
    host.ApplyControls = [this](const TControlState &s) { ApplyControls(s); };
    // Run from the signal: the action itself may be disabled by the run.
    host.DeviceId = [this] { emit m_main.Action(QStringLiteral("mniDeviceID"))->triggered(); };
    host.RefreshMonitor = [this] {
        if (m_monitor)
            m_monitor->ReadGains();
        UpdateGainsPanel();
    };
    host.ErrorSound = [] { QApplication::beep(); };
    host.Conditions = [this] {
        TConditions c;
        if (m_monitor) {
            const TMonitorSession &m = m_monitor->Session();
            c.GainA = uint8_t(m.GainA);
            c.GainB = uint8_t(m.GainB);
            c.OffsetA = uint8_t(m.OffsetA);
            c.OffsetB = uint8_t(m.OffsetB);
            c.SensA = uint8_t(m.Apd1);
            c.SensB = uint8_t(m.Apd2);
        }
        return c;
    };
    host.AutoScaleAfterStop = [this] { return m_env.AutoScaleAfterStop; };
    host.Polled = [this](TDeviceStatus) { UpdateGainsPanel(); };
    m_run = common.Session.NewRun(main.Experiments(), std::move(host));

    // Start comes from the menu, F9, both toolbars and "TesselStart".
    main.StartMeasurement = Guarded([this] { m_run->Start(); });
    for (const char *id : {"mniAbort", "btnAbort"})
        connect(main.Action(QLatin1String(id)), &QAction::triggered, this, Guarded([this] { m_run->Abort(); }));
    main.IdleState = [this] { m_run->ApplyIdleState(); };
    experiments.OnProtocolLoaded = [this] { m_run->SetInstrumentState(stEmpty); };
    m_run->ApplyIdleState();
}

TRunCommands::~TRunCommands() = default;

void TRunCommands::ApplyControls(const TControlState &s) {
    const std::pair<const char *, const std::optional<bool> *> items[] = {
        {"btnStart", &s.StartButton},
        {"btnAbort", &s.AbortButton},
        {"btnCheck", &s.CheckButton},
        {"mniStart", &s.StartMenu},
        {"mniAbort", &s.AbortMenu},
        {"mnuTestKeys", &s.TestKeysMenu},
        {"mniDeviceID", &s.DeviceId},
        {"mniUpdateBIOS", &s.UpdateBios},
        {"mniUpdateFirmware", &s.UpdateFirmware},
        {"mniTestUnit", &s.TestUnit},
        {"mniSetDevice", &s.SetDevice},
        {"mniMonitor", &s.SystemMonitor},
        {"mniCommunication", &s.Communication},
        {"mniTestKeys", &s.TestKeysWindow},
        {"mniMakeActive", &s.MakeActive},
    };
    for (const auto &[id, value] : items)
        if (value->has_value())
            m_main.SetRunEnabled(QLatin1String(id), **value);
    m_main.UpdateDocumentControls();
    if (s.RepaintStart)
        m_main.repaint();
    if (m_monitor) {
        if (s.MonitorGains)
            m_monitor->SetGainsEnabled(*s.MonitorGains);
        if (s.MonitorApd)
            m_monitor->SetApdEnabled(*s.MonitorApd);
    }
    UpdateGainsPanel();
}

void TRunCommands::UpdateGainsPanel() {
    if (!m_monitor)
        return;
    // Values of an instrument that is gone, or of a type without gains, would
    // pass for the connected one's.
    const TMonitorSession &m = m_monitor->Session();
    if (!m.GainsEnabled() || !m_common.Comm->Connected()) {
        m_main.GainPanel()->SetText(QString(), QString());
        return;
    }
    m_main.GainPanel()->SetText(
        GainsPanelText(m_common.Comm->Device(), m.GainA, m.OffsetA, m.Apd1, m.GainB, m.OffsetB, m.Apd2), QString());
}

} // namespace tessel
