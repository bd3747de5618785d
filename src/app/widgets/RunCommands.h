#pragma once

#include "app/MeasurementRun.h"

#include <QObject>
#include <memory>

namespace tessel {

class TCommonObjs;
class TExperimentCommands;
class TfrmMain;
class Tsmon;
struct TEnvSetup;

// Puts the measurement run behind the main window: Start (menu, F9, button,
// "TesselStart"), Abort, the status timer's poll, the status panels, the
// controls' idle and measuring states and the gains panel.
class TRunCommands : public QObject {
    Q_OBJECT
public:
    TRunCommands(TfrmMain &main, TCommonObjs &common, TEnvSetup &env, TExperimentCommands &experiments, Tsmon *monitor);
    ~TRunCommands() override;

    TMeasurementRun &Run() { return *m_run; }
    // The enabled state of the main window's controls for a run state.
    void ApplyControls(const TControlState &s);
    // Status panel 8 from the live monitor's values.
    void UpdateGainsPanel();

private:
    TfrmMain &m_main;
    TCommonObjs &m_common;
    TEnvSetup &m_env;
    Tsmon *m_monitor;
    std::unique_ptr<TMeasurementRun> m_run;
};

} // namespace tessel
