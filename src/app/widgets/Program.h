#pragma once

#include "app/CommonObjs.h"
#include "app/widgets/ExperimentCommands.h"
#include "app/widgets/MainWindow.h"
#include "app/widgets/RecoveryCommands.h"
#include "app/widgets/RunCommands.h"
#include "app/widgets/ServiceCommands.h"
#include "app/widgets/ServiceWindows.h"
#include "graph/widgets/GraphWindow.h"
#include "graph/widgets/ManualScale.h"
#include "graph/widgets/Navigator.h"
#include "monitor/widgets/MonitorWindow.h"
#include "output/widgets/ExportDialog.h"
#include "settings/EnvSetup.h"
#include "settings/widgets/EnvSetupDialog.h"

#include <QSplashScreen>
#include <QStringList>
#include <memory>

namespace tessel {

struct TProgramOptions {
    QString configDir;
    QString port;
    QString file;
    // A protocol file for a new experiment after start-up (the demo's F9).
    QString protocol;
    // Program options come first; the rest of the command line is one file name.
    static TProgramOptions Parse(const QStringList &args);
};

// The monitor's scale from the instrument configuration.
TMonitorScale MonitorScaleOf(const TInstrumentConfig &c);

// Module initialisation before any window: the compiler library (ends the
// program when missing), the traffic log and the graph bounds.
void InitModules();

// The program's windows, created in their fixed order: splash, main window,
// shared objects, live monitor, navigator, key test window, environment options; then the navigator is
// filled, the main window shown (its first show opens the instrument link)
// and the command-line experiment or the start-up offers follow.
class TProgram {
public:
    explicit TProgram(const TProgramOptions &options);
    ~TProgram();

    // Shows the main window, frees the splash and runs the start-up actions.
    void Start();

    TfrmMain &Main() { return *m_main; }
    TCommonObjs &Common() { return *m_common; }
    TNavigator &Navigator() { return *m_navigator; }
    Tsmon &Monitor() { return *m_monitor; }
    TfrmTestKeys &TestKeys() { return *m_testKeys; }
    TServiceCommands &ServiceCommands() { return *m_service; }
    // A new experiment whose protocol is read from a file.
    void OpenProtocolExperiment(const QString &protocolFile);
    // Shows the live monitor modally, then polls the instrument once.
    void RunMonitor();
    TEnvSetup &Env() { return m_env; }
    TEnvSetupDialog &EnvDialog() { return *m_envDialog; }
    TfrmExport &ExportDialog() { return *m_export; }
    TGraphMscl &ManualScale() { return *m_manualScale; }
    TExperimentCommands &ExperimentCommands() { return *m_experiments; }
    TRunCommands &RunCommands() { return *m_runCommands; }
    TRecoveryCommands &Recovery() { return *m_recovery; }
    // The session ends the program (SIGTERM): nothing waits for an answer;
    // unsaved experiments stay as recovery copies for the next start.
    void Terminate();
    bool Terminated() const { return m_terminated; }
    // What happened, in order; start-up tests read it.
    const QStringList &Steps() const { return m_steps; }

private:
    void wireMonitor();
    // Gains and photodiode values into the monitor and the gains panel.
    void readMonitorValues();
    TProgramOptions m_options;
    QStringList m_steps;
    std::unique_ptr<QSplashScreen> m_splash;
    TEnvSetup m_env;
    std::unique_ptr<TfrmMain> m_main;
    std::unique_ptr<TCommonObjs> m_common;
    std::unique_ptr<Tsmon> m_monitor;
    std::unique_ptr<TNavigator> m_navigator;
    std::unique_ptr<TfrmTestKeys> m_testKeys;
    std::unique_ptr<TEnvSetupDialog> m_envDialog;
    std::unique_ptr<TfrmExport> m_export;
    std::unique_ptr<TGraphMscl> m_manualScale;
    TExperimentCommands *m_experiments = nullptr; // owned by the main window
    TRunCommands *m_runCommands = nullptr;        // owned by the main window
    TServiceCommands *m_service = nullptr;        // owned by the main window
    TRecoveryCommands *m_recovery = nullptr;      // owned by the main window
    bool m_terminated = false;
};

} // namespace tessel
