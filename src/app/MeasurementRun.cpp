#include "app/MeasurementRun.h"

#include "app/InstrumentConfig.h"
#include "app/MDIList.h"
#include "authoring/ProtocolDoc.h"
#include "common/ActionGuard.h"
#include "common/Errors.h"
#include "common/Finally.h"
#include "common/Log.h"
#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "compiler/ProgramImage.h"
#include "data/ExperimentFile.h"

#include <QEventLoop>
#include <QLocale>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>

namespace tessel {

namespace {
constexpr double kSecondsPerDay = 86400.0;
// The instrument needs this long after its last event before it reports data.
constexpr double kRunTailSeconds = 1.7;
constexpr int kPollFailures = 3;

// "Some data on channel" + " 1" / " 2" / " 1 and 2" + tail.
QString ChannelsText(const QString &head, bool ch1, bool ch2, const QString &tail) {
    if (!ch1 && !ch2)
        return {};
    QString s = head;
    if (ch1)
        s += QStringLiteral(" 1");
    if (ch1 && ch2)
        s += QStringLiteral(" and");
    if (ch2)
        s += QStringLiteral(" 2");
    return s + tail;
}

void NestedWait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

TControlState IdleControlState(bool c, TDevice t) {
    TControlState s;
    s.StatusTimer = c;
    s.StartButton = s.AbortButton = s.StartMenu = s.TestKeysMenu = c;
    s.TestUnit = s.SystemMonitor = s.TestKeysWindow = c;
    s.AbortMenu = false;
    s.CheckButton = s.DeviceId = s.SetDevice = s.Communication = s.MakeActive = true;
    s.UpdateBios = c && TakesBootImage(t);
    s.UpdateFirmware = c && TakesFirmware(t);
    s.MonitorGains = c && HasMonitorGains(t);
    s.MonitorApd = c && HasMonitorApd(t);
    return s;
}

TControlState MeasuringControlState() {
    TControlState s;
    s.Measuring = true;
    s.RepaintStart = true;
    s.StartButton = s.CheckButton = false;
    s.AbortMenu = true;
    s.StartMenu = s.TestKeysMenu = s.DeviceId = s.UpdateBios = s.TestUnit = s.SetDevice = false;
    s.SystemMonitor = s.Communication = s.TestKeysWindow = s.MakeActive = false;
    return s;
}

TPollStep PollStep(TDeviceStatus state, int failuresLeft) {
    using C = TPollStep::TControls;
    TPollStep s;
    s.FailuresLeft = kPollFailures;
    switch (state) {
    case stReady:
        s.Text = QStringLiteral("Ready");
        s.Controls = C::Idle;
        s.ClearBusy = true;
        break;
    case stDataReady:
        s.Text = QStringLiteral("Data");
        s.Fetch = s.ClosePause = true;
        s.ClearBusy = true;
        break;
    case stMeasuring:
        s.ClosePause = s.Progress = true;
        s.Controls = C::Measuring;
        break;
    case stWaiting:
        s.Text = QStringLiteral("Waiting");
        s.OpenPause = true;
        s.Controls = C::Measuring;
        break;
    case stEmpty:
        s.Text = QStringLiteral("Empty");
        s.Controls = C::Idle;
        s.ClearBusy = true;
        break;
    case stTesting:
        s.Text = QStringLiteral("Testing");
        s.ClearBusy = true;
        break;
    default:
        // No usable answer: a single miss is not worth a word, the third in
        // a row means the instrument is gone.
        if (failuresLeft - 1 > 0) {
            s.Ignored = true;
            s.FailuresLeft = failuresLeft - 1;
            return s;
        }
        s.Text = QStringLiteral("Not Connected");
        s.NotConnected = true;
        s.Controls = C::Idle;
        s.ClearBusy = true;
        break;
    }
    return s;
}

int RunProgress(double now, double start, double expectedEnd, double pausedTotal) {
    const double span = expectedEnd - start;
    if (!(span > 0))
        return 100;
    const double p = std::nearbyint((now - start - pausedTotal) * 100.0 / span);
    if (!std::isfinite(p))
        return 100;
    return int(std::clamp(p, 0.0, 100.0));
}

double ExpectedRunSeconds(const TCompiler &c) {
    if (c.RepeatCount > 0)
        return double(c.RepeatCount * (c.RepeatTime + c.RepeatExtra));
    const double last = c.Events.Count() > 0 ? c.Events.At(c.Events.Count() - 1).Time : 0.0;
    return last + kRunTailSeconds;
}

bool NeedsCompile(TDeviceStatus state, bool modified, bool changedSinceCheck, bool builtForThisEditor) {
    return state == stEmpty || modified || changedSinceCheck || !builtForThisEditor;
}

bool NeedsDownload(TDeviceStatus state, bool checkDone) { return checkDone || state == stEmpty; }

TRunPreparation PreparationFor(TDevice device, int32_t buildStatus) {
    if (HostSetsOutputs(device))
        return TRunPreparation::AnalogOutputs;
    return buildStatus == kStatusReady ? TRunPreparation::InitMacros : TRunPreparation::None;
}

QString OutOfRangeText(bool ch1, bool ch2) {
    return ChannelsText(QStringLiteral("Some data on channel"), ch1, ch2, QStringLiteral(" out of range"));
}

QString TransferFailedText(bool ch1, bool ch2) {
    return ChannelsText(QStringLiteral("Data transfer failed on channel"), ch1, ch2, {});
}

QString TransferProgressText(int32_t received, int32_t expected) {
    return QString::asprintf("Received %4.3f of %4.3f KB", received / 1024.0, expected / 1024.0);
}

QString SizePanelText(int64_t sizeEstimate) { return QString::number(sizeEstimate / 1024) + QStringLiteral(" kB"); }

QString StartTimeText(double days) {
    const std::optional<QDateTime> dt = DateTimeFromDays(days);
    if (!dt)
        return {};
    const QLocale loc;
    // The stored time has no zone, so the locale's long form goes without one.
    QString fmt = loc.timeFormat(QLocale::LongFormat);
    fmt.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
    return loc.toString(dt->date(), QLocale::ShortFormat) + u' ' + loc.toString(dt->time(), fmt.trimmed());
}

QString InitMacroLogLine(const TMacroRec &m) {
    QString hex = QString::asprintf("%2.2X ", unsigned(uint8_t(m.Bytes.size())));
    for (char b : m.Bytes)
        hex += QString::asprintf("%2.2X ", unsigned(uint8_t(b)));
    return QString::asprintf("`Timer: %f; Init Macro: ", m.Time) + hex;
}

QString GainsPanelText(TDevice device, int g1, int o1, int s1, int g2, int o2, int s2) {
    if (HasMonitorApd(device))
        return QString::asprintf("G1=%d  O1=%d S1=%d  |  G2=%d  O2=%d  S2=%d", g1, o1, s1, g2, o2, s2);
    return QString::asprintf("G1=%d ; O1=%d   |   G2=%d ; O2=%d", g1, o1, g2, o2);
}

TMeasurementRun::TMeasurementRun(TCommandSet &link, TCompiler &compiler, const TInstrumentConfig &config,
                                 TMDIList &experiments, QTimer &statusTimer, TMeasurementHost host)
    : m_link(link), m_compiler(compiler), m_config(config), m_list(experiments), m_timer(statusTimer),
      m_host(std::move(host)) {
    if (!m_host.Now)
        m_host.Now = NowDays;
    if (!m_host.Wait)
        m_host.Wait = NestedWait;
    if (!m_host.Hourglass)
        m_host.Hourglass = [](bool on) { on ? Messages().beginBusy() : Messages().endBusy(); };
    if (!m_host.SendProgram)
        m_host.SendProgram = [this] {
            const TInstrumentConfig &c = m_config;
            TProgramLink<TCommandSet> loader(m_link);
            return tessel::SendProgram(loader, m_compiler,
                                       TProgramTarget{m_link.Link().Device(), c.DacAliases, c.MaxDAValue}, m_host.Wait);
        };
    // One handler for the timer's whole life; during a fetch it shows the
    // transfer instead of polling, so no poll runs inside the fetch.
    m_tick = QObject::connect(&m_timer, &QTimer::timeout, [this] { OnTimer(); });
}

TMeasurementRun::~TMeasurementRun() { QObject::disconnect(m_tick); }

IMeasurementTarget *TMeasurementRun::Target() const { return dynamic_cast<IMeasurementTarget *>(m_list.Active()); }

void TMeasurementRun::Panel(int panel, const QString &text) {
    if (m_host.SetPanel)
        m_host.SetPanel(panel, text);
}

void TMeasurementRun::ApplyIdleState() {
    if (!m_link.Link().Connected() && m_list.Busy()) {
        // An instrument that is gone ends the run it was doing: nothing polls
        // it any more, and the busy mark would keep every later Start out.
        m_list.SetBusy(false);
        if (IMeasurementTarget *t = Target())
            t->SetMeasuring(false);
        // Start, a fetch or an Abort under way reports its own end.
        if (!m_inOperation && m_report.Outcome == TRunOutcome::Started)
            Finish(TRunOutcome::NotConnected);
    }
    const TControlState s = IdleControlState(m_link.Link().Connected(), m_link.Link().Device());
    if (*s.StatusTimer)
        m_timer.start();
    else
        m_timer.stop();
    if (m_host.ApplyControls)
        m_host.ApplyControls(s);
}

void TMeasurementRun::ApplyMeasuringState() {
    if (m_host.ApplyControls)
        m_host.ApplyControls(MeasuringControlState());
}

void TMeasurementRun::Finish(TRunOutcome outcome) {
    m_report.Outcome = outcome;
    m_report.EndTime = Now();
    if (m_host.Finished)
        m_host.Finished(m_report);
}

void TMeasurementRun::OnTimer() {
    if (m_fetching) {
        ShowTransferProgress();
        return;
    }
    Poll();
}

void TMeasurementRun::Poll() {
    const bool ok = RunGuarded([this] {
        try {
            PollStatus();
        } catch (const ETesselError &) {
            EndAfterPortError();
            throw;
        }
    });
    if (!ok && m_host.DeviceId)
        m_host.DeviceId();
}

void TMeasurementRun::EndAfterPortError() {
    // The port itself failed (an adapter pulled out): polling stops until the
    // instrument is found again, and no run is left marked as going on.
    m_timer.stop();
    m_list.SetBusy(false);
    if (IMeasurementTarget *t = Target())
        t->SetMeasuring(false);
    Panel(1, QStringLiteral("Not Connected"));
    Finish(TRunOutcome::NotConnected);
}

void TMeasurementRun::ShowTransferProgress() {
    Panel(1, TransferProgressText(m_link.Link().Received(), m_link.Link().Expected()));
}

void TMeasurementRun::SetAnalogOutputs() {
    const TInstrumentConfig &c = m_config;
    const int pauses[] = {100, 100, 500};
    for (int k = 0; k < 3; ++k) {
        m_link.SetVoltage(k + 1, AnalogOutputValue(m_compiler.FindVar(c.DacAliases[size_t(k)]), c.MaxDAValue));
        m_host.Wait(pauses[k]);
    }
}

void TMeasurementRun::SendInitMacros() {
    for (const TMacroRec &m : m_compiler.InitMacros) {
        WriteLog(InitMacroLogLine(m));
        m_link.SendMacro(char(uint8_t(m.Bytes.size())) + m.Bytes);
        m_host.Wait(kMacroPauseMs);
    }
}

void TMeasurementRun::Start() {
    if (m_list.Busy())
        return;
    m_list.SetBusy(true);
    m_report = {};
    IMeasurementTarget *target = Target();
    if (!target) {
        // The next poll clears the busy mark.
        Finish(TRunOutcome::NoTarget);
        return;
    }
    if (target->DataSetCount() > m_config.MaxSignals) {
        Messages().error(QStringLiteral("Too many Data Sets in experiment"));
        Finish(TRunOutcome::TooManyDataSets);
        return;
    }
    m_inOperation = true;
    Finally leave([this] { m_inOperation = false; });
    m_host.Hourglass(true);
    Finally cursor([this] { m_host.Hourglass(false); });
    try {
        Prepare(*target);
    } catch (const ETesselError &) {
        // The port failed under way; the caller reports it. Nothing runs, and
        // an Abort that came meanwhile has nothing left to stop.
        m_abortPending = false;
        m_list.SetBusy(false);
        ApplyIdleState();
        throw;
    }
}

void TMeasurementRun::Prepare(IMeasurementTarget &t) {
    ApplyMeasuringState();
    m_timer.stop();
    t.BeginRun();

    TProtocolDoc &doc = t.Protocol();
    if (NeedsCompile(m_state, doc.Modified, doc.ChangedSinceCheck,
                     m_compiler.Owner == static_cast<const void *>(&doc))) {
        Panel(1, QStringLiteral("Compiling..."));
        if (m_host.RepaintStatusBar)
            m_host.RepaintStatusBar();
        doc.SyntaxCheck();
    }
    switch (PreparationFor(m_link.Link().Device(), m_compiler.Status)) {
    case TRunPreparation::AnalogOutputs:
        SetAnalogOutputs();
        break;
    case TRunPreparation::InitMacros:
        SendInitMacros();
        break;
    case TRunPreparation::None:
        break;
    }
    if (NeedsDownload(m_state, doc.CheckDone)) {
        int32_t result = kSendTimersRefused;
        if (m_compiler.Status == kStatusReady) {
            Panel(1, QStringLiteral("Loading program..."));
            result = m_host.SendProgram();
        }
        // A failed download must be repeated by the next Start.
        doc.CheckDone = result != kSendOk;
        if (result != kSendOk) {
            if (std::exchange(m_abortPending, false))
                SendAbortResets();
            if (m_host.ErrorSound)
                m_host.ErrorSound();
            Messages().error(QStringLiteral("Protocol download error"));
            ApplyIdleState();
            Finish(TRunOutcome::DownloadError);
            return;
        }
    }
    if (m_abortPending) {
        // Abort came while the program was being prepared: do not start it,
        // but leave the instrument as any Abort does.
        m_abortPending = false;
        SendAbortResets();
        m_list.SetBusy(false);
        ApplyIdleState();
        Finish(TRunOutcome::Aborted);
        return;
    }
    t.SetMeasuring(true);
    Panel(3, SizePanelText(t.Model().SizeEstimate()));
    m_pausedTotal = 0;
    m_pauseStart = 0;
    m_startTime = Now();
    m_report.StartTime = m_startTime;
    Panel(5, StartTimeText(m_startTime));
    m_started = TStartedProgram{m_compiler.SampleTimesA, m_compiler.SampleTimesB, doc.Snapshot()};
    m_link.StartMeasurement();
    m_expectedEnd = m_startTime + ExpectedRunSeconds(m_compiler) / kSecondsPerDay;
    m_report.Outcome = TRunOutcome::Started;
    m_timer.start();
}

void TMeasurementRun::PollStatus() {
    if (m_inOperation)
        return; // a tick that came inside a wait; the next one polls
    m_inOperation = true;
    Finally leave([this] {
        m_inOperation = false;
        if (std::exchange(m_abortPending, false))
            AbortNow();
    });
    const TDeviceStatus state = m_link.GetStatus();
    m_state = state;
    if (m_host.Polled)
        m_host.Polled(state);
    const TPollStep step = PollStep(state, m_failuresLeft);
    m_failuresLeft = step.FailuresLeft;
    if (step.Ignored)
        return;
    if (step.Fetch)
        Fetch(Target());
    if (step.ClosePause && m_pauseStart != 0) {
        m_pausedTotal += Now() - m_pauseStart;
        m_pauseStart = 0;
    }
    if (step.OpenPause && m_pauseStart == 0)
        m_pauseStart = Now();
    QString text = step.Text;
    if (step.Progress)
        text = QString::asprintf("Measuring (%d%%)", RunProgress(Now(), m_startTime, m_expectedEnd, m_pausedTotal));
    if (step.NotConnected) {
        WriteLog(QStringLiteral("Not Connected"));
        if (m_host.DeviceId)
            m_host.DeviceId();
    } else if (!m_link.Link().Connected()) {
        // The line went during the fetch: the state read before it is past.
        text = QStringLiteral("Not connected");
    }
    Panel(1, text);
    switch (step.Controls) {
    case TPollStep::TControls::Idle:
        ApplyIdleState();
        break;
    case TPollStep::TControls::Measuring:
        ApplyMeasuringState();
        break;
    case TPollStep::TControls::Keep:
        break;
    }
    if (step.ClearBusy)
        m_list.SetBusy(false);
    if (step.NotConnected)
        Finish(TRunOutcome::NotConnected);
}

void TMeasurementRun::Fetch(IMeasurementTarget *target) {
    if (!target) {
        m_link.StopMeasurement();
        if (HostSetsOutputs(m_link.Link().Device()) && m_host.ResetKeySliders)
            m_host.ResetKeySliders();
        Finish(TRunOutcome::NoTarget);
        return;
    }
    m_fetching = true;
    Finally restore([this] { m_fetching = false; });
    // An instrument started before this program ran has only the last build to go by.
    if (!m_started)
        m_started = TStartedProgram{m_compiler.SampleTimesA, m_compiler.SampleTimesB, target->Protocol().Snapshot()};
    const TSampleTimes &ta = m_started->TimesA, &tb = m_started->TimesB;
    m_report.PlannedA = ta.Count();
    m_report.PlannedB = tb.Count();
    target->PrepareMeasurementDataSets(ta.Count(), tb.Count(), ta.IsEmpty() ? 1.0 : ta[0], tb.IsEmpty() ? 1.0 : tb[0]);
    TMeasurementRecord &rec = target->Model().Current();
    const TInstrumentConfig &c = m_config;
    rec.A.Base->MulKoef = c.MoChA;
    rec.A.Mul->MulKoef = c.MulA;
    rec.A.Shift->AddKoef = c.YShiftA;
    rec.B.Base->MulKoef = c.MoChB;
    rec.B.Mul->MulKoef = c.MulB;
    rec.B.Shift->AddKoef = c.YShiftB;
    const int32_t w = rec.A.Y->ElemSize();
    m_report.LostA = !FetchChannel(*target, 0, w, m_report.OutOfRangeA);
    m_report.LostB = !FetchChannel(*target, 1, w, m_report.OutOfRangeB);

    if (m_host.RefreshMonitor)
        m_host.RefreshMonitor();
    target->RecordMeasurement(Now(), uint8_t(m_link.Link().Device()),
                              m_host.Conditions ? m_host.Conditions() : TConditions{}, m_started->Protocol);
    target->StartNextMeasurement();
    target->ShowResult(m_host.AutoScaleAfterStop && m_host.AutoScaleAfterStop());
    Panel(3, SizePanelText(target->Model().SizeEstimate()));
    m_fetching = false;
    // Lost data must never pass for a complete measurement.
    const QString lost = TransferFailedText(m_report.LostA, m_report.LostB);
    if (!lost.isEmpty()) {
        WriteLog(lost);
        Messages().error(lost);
    }
    const QString range = OutOfRangeText(m_report.OutOfRangeA, m_report.OutOfRangeB);
    if (!range.isEmpty())
        Messages().warning(range);
    if (HostSetsOutputs(m_link.Link().Device()) && m_host.ResetKeySliders)
        m_host.ResetKeySliders();
    Finish(TRunOutcome::Measured);
}

bool TMeasurementRun::FetchChannel(IMeasurementTarget &target, int channel, int32_t w, bool &outOfRange) {
    const TSampleTimes &times = channel == 0 ? m_started->TimesA : m_started->TimesB;
    const bool unsignedDetector = channel == 0 ? m_config.DetectorAUnsigned : m_config.DetectorBUnsigned;
    TChannel &ch = target.Model().Current().Channel(channel);
    const int32_t n = times.Count();
    const int64_t bytes = int64_t(n) * w;
    QByteArray buffer(qsizetype(bytes), '\0');
    const bool ok = bytes <= INT32_MAX && (channel == 0 ? m_link.GetDataA(buffer.data(), int32_t(bytes))
                                                        : m_link.GetDataB(buffer.data(), int32_t(bytes)));
    if (!ok) {
        WriteLog(QStringLiteral("%1 failed: %2 of %3 bytes")
                     .arg(channel == 0 ? QStringLiteral("GDA") : QStringLiteral("GDB"))
                     .arg(m_link.Link().Received())
                     .arg(bytes));
        ch.Set->SetCount(0);
        return false;
    }
    ch.Set->SetCount(n);
    for (int32_t i = 0; i < n; ++i)
        ch.X->SetItem(i, times[i]);
    const auto *raw = reinterpret_cast<const uint8_t *>(buffer.constData());
    for (int32_t i = 0; i < n; ++i) {
        uint16_t v = uint16_t(raw[2 * i] | raw[2 * i + 1] << 8);
        // An unsigned detector's full scale is 16 bits; halving keeps it
        // within the signed samples the data sets hold.
        if (unsignedDetector && w == 2)
            v = uint16_t(v >> 1);
        ch.Y->SetItem(i, int16_t(v));
    }
    outOfRange = m_link.GetStatus() == stOutOfRange;
    return true;
}

void TMeasurementRun::Abort() {
    if (m_inOperation) {
        // Never interleave with a download or a fetch: carried out when the
        // exchange in progress ends.
        m_abortPending = true;
        return;
    }
    AbortNow();
}

void TMeasurementRun::AbortNow() {
    m_inOperation = true;
    Finally leave([this] { m_inOperation = false; });
    const bool running = m_state == stMeasuring || m_state == stWaiting;
    if (running) {
        m_link.StopMeasurement();
        m_list.SetBusy(false);
        if (IMeasurementTarget *t = Target())
            t->SetMeasuring(false);
    }
    // Every command purges the output queue first: the stop must be on the
    // line before the macros follow it.
    if (running && m_link.NeedsResetMacros())
        m_host.Wait(kMacroPauseMs);
    SendAbortResets();
    if (running)
        Finish(TRunOutcome::Aborted);
}

void TMeasurementRun::SendAbortResets() {
    if (m_link.NeedsResetMacros())
        m_link.SendResetMacros();
    if (HostSetsOutputs(m_link.Link().Device()) && m_host.ResetKeySliders)
        m_host.ResetKeySliders();
}

} // namespace tessel
