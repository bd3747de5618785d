#pragma once

#include "app/InstrumentConfig.h"
#include "authoring/ProtocolDoc.h"
#include "compiler/Events.h"
#include "data/Experiment.h"
#include "device/CommandSet.h"

#include <QMetaObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class QTimer;

namespace tessel {

class TCompiler;
class TMDIList;
class TProtocolDoc;
struct TMacroRec;
struct TProtocolSnapshot;

// What a measurement needs of its target experiment.
// clang-format off
class IMeasurementTarget {
public:
    virtual ~IMeasurementTarget() = default;
    virtual TExperimentModel &Model() = 0;
    virtual TProtocolDoc &Protocol() = 0;
    virtual int DataSetCount() const = 0;            // data sets the experiment holds (MaxSignals check)
    virtual void BeginRun() = 0;                     // restore/raise its window, empty the current A and B data sets
    virtual void SetMeasuring(bool on) = 0;          // the red "Measuring in Progress" mark
    // Colours, captions, capacities, graph membership of the current data sets.
    virtual void PrepareMeasurementDataSets(int32_t plannedA, int32_t plannedB, double firstTimeA, double firstTimeB) = 0;
    // Record 0 becomes a completed record (the protocol the run was built from, time, device, conditions) ...
    virtual void RecordMeasurement(double time, uint8_t deviceType, const TConditions &conditions,
                                   const TProtocolSnapshot &protocol) = 0;
    // ... then fresh current objects, data table refresh, Modified set.
    virtual void StartNextMeasurement() = 0;
    virtual void ShowResult(bool autoScale) = 0;     // auto-scale or redraw its graph
};
// clang-format on

// Which of the main window's controls are enabled. A control without a value
// keeps whatever state it has.
struct TControlState {
    bool Measuring = false;    // the measuring state (else the idle state)
    bool RepaintStart = false; // repaint the Start button at once
    std::optional<bool> StatusTimer;
    std::optional<bool> StartButton, AbortButton, CheckButton;
    std::optional<bool> StartMenu, AbortMenu, TestKeysMenu;
    std::optional<bool> DeviceId, UpdateBios, UpdateFirmware, TestUnit, SetDevice, SystemMonitor;
    std::optional<bool> Communication, TestKeysWindow, MakeActive;
    // The live monitor's gain/offset controls and its photodiode controls.
    std::optional<bool> MonitorGains, MonitorApd;
    bool operator==(const TControlState &) const = default;
};

// Idle: what may run with the link connected (C) to an instrument of type T.
TControlState IdleControlState(bool connected, TDevice type);
// Measuring: everything that would disturb the run is off.
TControlState MeasuringControlState();

// What one status poll does with the state it read.
struct TPollStep {
    enum class TControls { Keep, Idle, Measuring };
    bool Ignored = false;    // a failed poll that changes nothing yet
    QString Text;            // status panel 1 (the progress is filled in for state 3)
    bool Fetch = false;      // read both channels
    bool ClosePause = false; // after the fetch for state 2
    bool OpenPause = false;
    bool Progress = false;
    bool NotConnected = false; // the third failure in a row: search the instrument
    TControls Controls = TControls::Keep;
    bool ClearBusy = false;
    int FailuresLeft = 3; // the count the next poll starts from
};
TPollStep PollStep(TDeviceStatus state, int failuresLeft);

// Percent of the run done, 0..100, with paused time left out. Days in.
int RunProgress(double now, double start, double expectedEnd, double pausedTotal);
// Seconds the build's program takes: the repetitions when it repeats,
// otherwise its last event plus the time the instrument needs to finish.
double ExpectedRunSeconds(const TCompiler &c);

// Start compiles when the instrument has no program, the editor's text
// changed, or the last build was made for another editor.
bool NeedsCompile(TDeviceStatus instrumentState, bool modified, bool changedSinceCheck, bool builtForThisEditor);
// Start downloads after a check that was not downloaded yet, or when the
// instrument has no program.
bool NeedsDownload(TDeviceStatus instrumentState, bool checkDone);
// What Start sends before the download.
enum class TRunPreparation { None, AnalogOutputs, InitMacros };
TRunPreparation PreparationFor(TDevice device, int32_t buildStatus);

// "Some data on channel 1 and 2 out of range"; empty when neither.
QString OutOfRangeText(bool channel1, bool channel2);
// "Data transfer failed on channel 2"; empty when neither.
QString TransferFailedText(bool channel1, bool channel2);
QString TransferProgressText(int32_t received, int32_t expected);
QString SizePanelText(int64_t sizeEstimate);
QString StartTimeText(double days);
QString InitMacroLogLine(const TMacroRec &macro);
// Status panel 8 from the live monitor's values of channel 1, then 2.
QString GainsPanelText(TDevice device, int gain1, int offset1, int sens1, int gain2, int offset2, int sens2);

enum class TRunOutcome {
    None,            // nothing ran yet
    Started,         // "ST" sent, the poll follows it
    Measured,        // data fetched and recorded
    NoTarget,        // no active experiment
    TooManyDataSets, // the target holds more data sets than MaxSignals
    DownloadError,   // the program was not accepted
    NotConnected,    // three polls without an answer
    Aborted,
};

// What the last run did, for whoever follows it (the command line).
struct TRunReport {
    TRunOutcome Outcome = TRunOutcome::None;
    int32_t PlannedA = 0, PlannedB = 0;
    bool LostA = false, LostB = false; // the transfer of the channel failed
    bool OutOfRangeA = false, OutOfRangeB = false;
    double StartTime = 0, EndTime = 0; // days
    bool LostData() const { return LostA || LostB; }
};

// Everything of the run that belongs to the windows. Empty hooks do nothing,
// except those with a default named here.
struct TMeasurementHost {
    std::function<double()> Now;                                  // days; default NowDays
    std::function<void(int ms)> Wait;                             // events keep running; default a nested event loop
    std::function<void(int panel, const QString &text)> SetPanel; // status panels 1, 3 and 5
    std::function<void()> RepaintStatusBar;
    std::function<void(const TControlState &)> ApplyControls;
    std::function<void(bool on)> Hourglass; // default Messages().beginBusy/endBusy
    std::function<void()> DeviceId;         // search the instrument
    std::function<void()> RefreshMonitor;
    std::function<void()> ResetKeySliders; // ModelW: key test sliders to 0, applied
    std::function<void()> ErrorSound;
    std::function<TConditions()> Conditions; // gain, offset, sensitivity of both channels
    std::function<bool()> AutoScaleAfterStop;
    std::function<int32_t()> SendProgram; // default: the build through the link
    // Notifications: every poll's state, and the end of each Start or fetch.
    std::function<void(TDeviceStatus)> Polled;
    std::function<void(const TRunReport &)> Finished;
};

// The measurement run: Start prepares the active experiment, builds and
// downloads the protocol when needed and starts the instrument; the status
// timer's poll follows the instrument and fetches both channels into the
// experiment when it reports data; Abort stops it. Runs on the thread of the
// windows and never touches one itself.
class TMeasurementRun {
public:
    // The run takes over the status timer's handler. config is read at
    // each Start and fetch, so a type change before the next run applies.
    TMeasurementRun(TCommandSet &link, TCompiler &compiler, const TInstrumentConfig &config, TMDIList &experiments,
                    QTimer &statusTimer, TMeasurementHost host = {});
    ~TMeasurementRun();
    TMeasurementRun(const TMeasurementRun &) = delete;
    TMeasurementRun &operator=(const TMeasurementRun &) = delete;

    void Start();
    // The status timer's handler; also called once after the live monitor
    // closes. A port that fails under it ends the run, is reported, and sends
    // the program looking for the instrument.
    void Poll();
    void Abort();

    // The experiment the next measurement goes into, or none.
    IMeasurementTarget *Target() const;
    // The last polled state. Loading a protocol sets stEmpty, so that the
    // next Start compiles and downloads.
    TDeviceStatus InstrumentState() const { return m_state; }
    void SetInstrumentState(TDeviceStatus s) { m_state = s; }
    int PollFailuresLeft() const { return m_failuresLeft; }
    bool Fetching() const { return m_fetching; }
    // Run timing, in days; a pause start of 0 means no pause is open.
    double StartTime() const { return m_startTime; }
    double ExpectedEnd() const { return m_expectedEnd; }
    double PauseStart() const { return m_pauseStart; }
    double PausedTotal() const { return m_pausedTotal; }
    const TRunReport &Report() const { return m_report; }
    TMeasurementHost &Host() { return m_host; }
    // The idle state for the link as it is now (status timer included).
    void ApplyIdleState();

private:
    // Start from the measuring state to "ST", for a target that may run.
    void Prepare(IMeasurementTarget &target);
    void OnTimer();
    void PollStatus();
    void EndAfterPortError();
    void SendAbortResets();
    void ShowTransferProgress();
    void Fetch(IMeasurementTarget *target);
    bool FetchChannel(IMeasurementTarget &target, int channel, int32_t elemSize, bool &outOfRange);
    void ApplyMeasuringState();
    void SetAnalogOutputs();
    void SendInitMacros();
    void AbortNow();
    void Finish(TRunOutcome outcome);
    void Panel(int panel, const QString &text);
    double Now() const { return m_host.Now(); }

    TCommandSet &m_link;
    TCompiler &m_compiler;
    const TInstrumentConfig &m_config;
    TMDIList &m_list;
    QTimer &m_timer;
    TMeasurementHost m_host;
    QMetaObject::Connection m_tick;

    TDeviceStatus m_state = stNoReply;
    int m_failuresLeft = 3;
    double m_startTime = 0, m_expectedEnd = 0, m_pauseStart = 0, m_pausedTotal = 0;
    bool m_fetching = false;
    bool m_inOperation = false; // inside Start, Poll or Abort: a nested timer tick waits for the next one
    bool m_abortPending = false;
    TRunReport m_report;
    // What the instrument was started with. A check in any editor during the
    // run rebuilds the shared compiler and the editor's last-check state; the
    // fetch must still read what the instrument measures.
    struct TStartedProgram {
        TSampleTimes TimesA, TimesB;
        TProtocolSnapshot Protocol;
    };
    std::optional<TStartedProgram> m_started;
};

} // namespace tessel
