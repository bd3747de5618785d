// The measurement run's rules as pure functions, and the engine on the
// in-memory port with a scripted instrument and a fake clock.
#include "../device/LinkTestSupport.h"
#include "app/InstrumentConfig.h"
#include "app/MDIList.h"
#include "app/MeasurementRun.h"
#include "app/ModelTarget.h"
#include "authoring/ProtocolDoc.h"
#include "common/Log.h"
#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "compiler/CompilerLibrary.h"
#include "compiler/FakeCompilerLibrary.h"
#include "compiler/ProgramImage.h"
#include "device/MemoryCommPort.h"
#include "settings/EnvSetup.h"
#include "support/TestSupport.h"

#include <QTimer>
#include <deque>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

constexpr double kSecond = 1.0 / 86400.0;

// ---------------------------------------------------------------- rules

struct PollCase {
    TDeviceStatus state;
    int failuresLeft;
    const char *text;
    bool fetch, ignored, notConnected;
    TPollStep::TControls controls;
    bool clearBusy;
    int failuresAfter;
};

TEST(MeasurementRunRules, PollStateTable) {
    using C = TPollStep::TControls;
    const PollCase cases[] = {
        {stReady, 3, "Ready", false, false, false, C::Idle, true, 3},
        {stDataReady, 3, "Data", true, false, false, C::Keep, true, 3},
        {stMeasuring, 3, "", false, false, false, C::Measuring, false, 3},
        {stWaiting, 3, "Waiting", false, false, false, C::Measuring, false, 3},
        {stEmpty, 3, "Empty", false, false, false, C::Idle, true, 3},
        {stTesting, 3, "Testing", false, false, false, C::Keep, true, 3},
        // Failures: the first two are silent, the third gives up; a good
        // answer starts the count again.
        {stNoReply, 3, "", false, true, false, C::Keep, false, 2},
        {stError, 2, "", false, true, false, C::Keep, false, 1},
        {stOutOfRange, 1, "Not Connected", false, false, true, C::Idle, true, 3},
        {stE2, 1, "Not Connected", false, false, true, C::Idle, true, 3},
        {stReady, 1, "Ready", false, false, false, C::Idle, true, 3},
    };
    for (const PollCase &c : cases) {
        const TPollStep s = PollStep(c.state, c.failuresLeft);
        const std::string name = std::to_string(int(c.state)) + "/" + std::to_string(c.failuresLeft);
        EXPECT_EQ(s.Text, QString::fromLatin1(c.text)) << name;
        EXPECT_EQ(s.Fetch, c.fetch) << name;
        EXPECT_EQ(s.Ignored, c.ignored) << name;
        EXPECT_EQ(s.NotConnected, c.notConnected) << name;
        EXPECT_EQ(s.Controls, c.controls) << name;
        EXPECT_EQ(s.ClearBusy, c.clearBusy) << name;
        EXPECT_EQ(s.FailuresLeft, c.failuresAfter) << name;
    }
    // Only waiting opens a pause; data and measuring close it.
    EXPECT_TRUE(PollStep(stWaiting, 3).OpenPause);
    EXPECT_TRUE(PollStep(stMeasuring, 3).ClosePause && PollStep(stMeasuring, 3).Progress);
    EXPECT_TRUE(PollStep(stDataReady, 3).ClosePause);
}

TEST(MeasurementRunRules, ProgressLeavesPausesOutAndStaysWithinBounds) {
    const double start = 45000.25, end = start + 100 * kSecond;
    const struct {
        double now, paused;
        int percent;
    } cases[] = {
        {start, 0, 0},
        {start + 50 * kSecond, 0, 50},
        {start + 119 * kSecond, 20 * kSecond, 99}, // two pauses of 10 s in a 100 s run
        {start + 120 * kSecond, 20 * kSecond, 100},
        {start + 500 * kSecond, 0, 100},          // overrun
        {start - 5 * kSecond, 0, 0},              // clock set back
        {start + 2.4 * kSecond, 0, 2},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RunProgress(c.now, start, end, c.paused), c.percent) << (c.now - start) / kSecond;
    EXPECT_EQ(RunProgress(start + kSecond, start, start, 0), 100); // nothing to wait for
}

TEST(MeasurementRunRules, ExpectedDurationFromRepeatsOrTheLastEvent) {
    TCompiler c;
    c.Events.Add(0.0, 0x80);
    c.Events.Add(12.5, 0x80);
    EXPECT_DOUBLE_EQ(ExpectedRunSeconds(c), 12.5 + 1.7);
    c.RepeatCount = 4;
    c.RepeatTime = 10;
    c.RepeatExtra = 0.5;
    EXPECT_DOUBLE_EQ(ExpectedRunSeconds(c), 42.0);
}

TEST(MeasurementRunRules, CompileAndDownloadDecisions) {
    const struct {
        TDeviceStatus state;
        bool modified, changed, own;
        bool compile;
    } compile[] = {
        {stReady, false, false, true, false},
        {stEmpty, false, false, true, true}, // a loaded protocol forces the build
        {stReady, true, false, true, true},
        {stReady, false, true, true, true},
        {stReady, false, false, false, true}, // built for another editor
    };
    for (const auto &c : compile)
        EXPECT_EQ(NeedsCompile(c.state, c.modified, c.changed, c.own), c.compile)
            << int(c.state) << c.modified << c.changed << c.own;
    EXPECT_FALSE(NeedsDownload(stReady, false));
    EXPECT_TRUE(NeedsDownload(stReady, true));
    EXPECT_TRUE(NeedsDownload(stEmpty, false));

    EXPECT_EQ(PreparationFor(ModelT2, kStatusReady), TRunPreparation::InitMacros);
    EXPECT_EQ(PreparationFor(ModelT2, kStatusFailed), TRunPreparation::None);
    EXPECT_EQ(PreparationFor(ModelW, kStatusReady), TRunPreparation::AnalogOutputs);
    EXPECT_EQ(PreparationFor(ModelW, kStatusFailed), TRunPreparation::AnalogOutputs);
}

TEST(MeasurementRunRules, IdleAndMeasuringControls) {
    const struct {
        bool connected;
        TDevice type;
        bool bios, firmware, gains, apd;
    } idle[] = {
        {false, ModelU, false, false, false, false}, {true, ModelU, true, false, false, false},
        {true, ModelR1, false, true, false, false},  {true, ModelR2, false, true, true, false},
        {true, ModelS2, false, true, true, true},    {true, ModelT1, false, false, true, true},
        {true, ModelF, false, false, false, false},  {false, ModelS2, false, false, false, false},
    };
    for (const auto &c : idle) {
        const TControlState s = IdleControlState(c.connected, c.type);
        const std::string name = std::to_string(int(c.type)) + (c.connected ? " connected" : " offline");
        EXPECT_FALSE(s.Measuring);
        for (const std::optional<bool> &v : {s.StatusTimer, s.StartButton, s.AbortButton, s.StartMenu, s.TestKeysMenu,
                                             s.TestUnit, s.SystemMonitor, s.TestKeysWindow})
            EXPECT_EQ(v, c.connected) << name;
        for (const std::optional<bool> &v : {s.CheckButton, s.DeviceId, s.SetDevice, s.Communication, s.MakeActive})
            EXPECT_EQ(v, true) << name;
        EXPECT_EQ(s.AbortMenu, false) << name;
        EXPECT_EQ(s.UpdateBios, c.bios) << name;
        EXPECT_EQ(s.UpdateFirmware, c.firmware) << name;
        EXPECT_EQ(s.MonitorGains, c.gains) << name;
        EXPECT_EQ(s.MonitorApd, c.apd) << name;
    }
    const TControlState m = MeasuringControlState();
    EXPECT_TRUE(m.Measuring && m.RepaintStart);
    EXPECT_EQ(m.AbortMenu, true);
    for (const std::optional<bool> &v : {m.StartButton, m.CheckButton, m.StartMenu, m.TestKeysMenu, m.DeviceId,
                                         m.UpdateBios, m.TestUnit, m.SetDevice, m.SystemMonitor, m.Communication,
                                         m.TestKeysWindow, m.MakeActive})
        EXPECT_EQ(v, false);
    // What measuring does not mention keeps its idle state.
    for (const std::optional<bool> &v : {m.StatusTimer, m.AbortButton, m.UpdateFirmware, m.MonitorGains, m.MonitorApd})
        EXPECT_FALSE(v.has_value());
}

TEST(MeasurementRunRules, Texts) {
    EXPECT_EQ(OutOfRangeText(true, false), "Some data on channel 1 out of range");
    EXPECT_EQ(OutOfRangeText(false, true), "Some data on channel 2 out of range");
    EXPECT_EQ(OutOfRangeText(true, true), "Some data on channel 1 and 2 out of range");
    EXPECT_EQ(OutOfRangeText(false, false), "");
    EXPECT_EQ(TransferFailedText(true, false), "Data transfer failed on channel 1");
    EXPECT_EQ(TransferFailedText(true, true), "Data transfer failed on channel 1 and 2");
    EXPECT_EQ(TransferFailedText(false, false), "");
    EXPECT_EQ(TransferProgressText(4096, 10000), "Received 4.000 of 9.766 KB");
    EXPECT_EQ(SizePanelText(2047), "1 kB");
    EXPECT_EQ(GainsPanelText(ModelT2, 50, 40, 30, 60, 70, 80), "G1=50  O1=40 S1=30  |  G2=60  O2=70  S2=80");
    EXPECT_EQ(GainsPanelText(ModelR2, 50, 40, 30, 60, 70, 80), "G1=50 ; O1=40   |   G2=60 ; O2=70");
    EXPECT_EQ(InitMacroLogLine(TMacroRec{0.25, QByteArray::fromHex("a40b")}), "`Timer: 0.250000; Init Macro: 02 A4 0B ");
}

// ---------------------------------------------------------------- engine

QByteArray WithSum(const QByteArray &b) {
    return b + char(TCommunication::Checksum(b.constData(), int32_t(b.size())));
}

// Header and checksum-protected blocks of a channel transfer (4096-byte blocks).
std::deque<QByteArray> TransferFrames(const QByteArray &data) {
    const int n = int(data.size());
    std::deque<QByteArray> frames;
    QByteArray header("SDA");
    header += char(n % 4096 & 0xFF);
    header += char(n % 4096 >> 8);
    header += char(n / 4096);
    int at = 0;
    for (; at + 4096 <= n; at += 4096)
        frames.push_back(WithSum(data.mid(at, 4096)));
    frames.push_back(WithSum(data.mid(at)));
    frames.front().prepend(header);
    return frames;
}

QByteArray Samples(const std::vector<uint16_t> &v) {
    QByteArray b;
    for (uint16_t s : v) {
        b += char(s & 0xFF);
        b += char(s >> 8);
    }
    return b;
}

class RunLink : public test::TestLink {
public:
    using TestLink::TestLink;
    void SetVersion(uint8_t hi, uint8_t lo) { FVersion = {1, 2, hi, lo}; }
};

// A target experiment with a finished build for its editor, on a link to a
// scripted ModelT2 answering "WD" from a list and "GDA"/"GDB" with frames.
class RunEngine : public ::testing::Test {
protected:
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TInstrumentConfig savedConfig = Config().Instrument;
    TMemoryCommPort *port = nullptr;
    std::unique_ptr<RunLink> link;
    QByteArray written;
    std::deque<QByteArray> statuses; // "" stays silent
    std::deque<QByteArray> transferA, transferB, *transfer = nullptr;
    TCompiler compiler;
    TEnvSetup env;
    std::unique_ptr<TProtocolDoc> doc;
    TExperimentModel model;
    std::unique_ptr<TModelTarget> target;
    TMDIList list;
    QTimer timer;
    double clock = 45000.5;
    std::map<int, QStringList> panels;
    std::vector<TControlState> controls;
    int searches = 0, downloads = 0;
    int32_t downloadResult = kSendOk;
    std::unique_ptr<TMeasurementRun> run;

    void SetUp() override {
        OpenLog(dir.path("logfile.txt"));
        auto p = std::make_unique<TMemoryCommPort>();
        port = p.get();
        link = std::make_unique<RunLink>(std::move(p), "ttyMem");
        link->SetDeviceType(ModelT2);
        link->Open();
        link->SetConnected(true);
        port->SetOnWrite([this](const QByteArray &w) { Answer(w); });

        doc = std::make_unique<TProtocolDoc>(compiler, env, dir.path(), ModelT2);
        doc->Text = QStringLiteral("at 0 s  sample A\n");
        doc->CompiledText = doc->Text.split('\n');
        doc->Modified = doc->ChangedSinceCheck = doc->CheckDone = false;
        compiler.Status = kStatusReady;
        compiler.Owner = doc.get();
        compiler.Events.Add(0.0, 0x80);
        compiler.Events.Add(10.0, 0x80);
        target = std::make_unique<TModelTarget>(model, *doc);
        list.Add(target.get());
        list.SetActive(target.get());

        TMeasurementHost host;
        host.Now = [this] { return clock; };
        host.Wait = [](int) {};
        host.SetPanel = [this](int panel, const QString &text) { panels[panel] << text; };
        host.ApplyControls = [this](const TControlState &s) { controls.push_back(s); };
        host.DeviceId = [this] { ++searches; };
        host.SendProgram = [this] {
            ++downloads;
            return downloadResult;
        };
        run = std::make_unique<TMeasurementRun>(*link, compiler, list, timer, host);
        messages.clear();
    }
    void TearDown() override {
        run.reset();
        port->SetOnWrite(nullptr);
        Config().Instrument = savedConfig;
        CloseLog();
    }

    void Feed(const QByteArray &reply) {
        // After the turnaround of a real line: some requests purge their input
        // right after they are written.
        QTimer::singleShot(2, [this, reply] { port->FeedReceived(reply); });
    }
    void Answer(const QByteArray &w) {
        written += w;
        if (w == "WD") {
            if (!statuses.empty()) {
                const QByteArray s = statuses.front();
                statuses.pop_front();
                if (!s.isEmpty())
                    Feed(s);
            }
        } else if (w.startsWith("GDA") || w.startsWith("GDB")) {
            transfer = w.startsWith("GDA") ? &transferA : &transferB;
            NextFrame();
        } else if (w == "OK" || w == "ER") {
            NextFrame();
        }
    }
    void NextFrame() {
        if (transfer && !transfer->empty()) {
            Feed(transfer->front());
            transfer->pop_front();
        }
    }
    // One tick of the status timer a second after the previous one; the
    // instrument answers this poll and the "WD" after each channel's data.
    void PollAfter(double seconds, const QByteArray &status, std::initializer_list<QByteArray> afterData = {}) {
        clock += seconds * kSecond;
        statuses.push_back(status);
        statuses.insert(statuses.end(), afterData);
        run->Poll();
    }
    QStringList LogLines() const { return test::ReadTextFile(dir.path("logfile.txt")).split('\n'); }
};

TEST_F(RunEngine, StartSendsInitMacrosThenStartsAndABusyRunIgnoresASecondStart) {
    compiler.InitMacros = {TMacroRec{0.0, QByteArray::fromHex("a40b")}, TMacroRec{0.5, QByteArray::fromHex("72")}};
    run->SetInstrumentState(stReady);
    run->Start();
    EXPECT_EQ(written.toHex(), QByteArray("4543" "02a40b" "4543" "0172" "5354")); // EC, EC, ST
    EXPECT_EQ(downloads, 0);
    EXPECT_TRUE(list.Busy());
    EXPECT_TRUE(target->Measuring());
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(run->Report().Outcome, TRunOutcome::Started);
    EXPECT_DOUBLE_EQ(run->StartTime(), clock);
    EXPECT_DOUBLE_EQ(run->ExpectedEnd(), clock + 11.7 * kSecond);
    ASSERT_FALSE(controls.empty());
    EXPECT_TRUE(controls.back().Measuring);
    EXPECT_EQ(panels[3], QStringList{"0 kB"});
    EXPECT_EQ(panels[5], QStringList{StartTimeText(clock)});
    EXPECT_FALSE(panels[5].first().isEmpty());
    EXPECT_TRUE(LogLines().contains("`Timer: 0.500000; Init Macro: 01 72 "));

    written.clear();
    run->Start();
    EXPECT_TRUE(written.isEmpty());
    EXPECT_EQ(target->Runs, 1);
    EXPECT_EQ(messages.entries.size(), 0u);
}

TEST_F(RunEngine, PausesAreLeftOutOfTheProgress) {
    run->SetInstrumentState(stReady);
    compiler.Events.Clear();
    compiler.Events.Add(0.0, 0x80);
    compiler.Events.Add(100.0 - 1.7, 0x80); // a 100 s run
    run->Start();
    // Measuring, with two pauses of 10 s at 30 s and at 60 s.
    for (int t = 1; t <= 121; ++t) {
        const bool waiting = (t > 30 && t <= 40) || (t > 60 && t <= 70);
        PollAfter(1, waiting ? "WT" : "BB");
    }
    EXPECT_NEAR(run->PausedTotal(), 20 * kSecond, 1e-9);
    const QStringList &p1 = panels[1];
    ASSERT_GE(p1.size(), 3);
    EXPECT_EQ(p1[p1.size() - 3], "Measuring (99%)");  // 119 s
    EXPECT_EQ(p1[p1.size() - 2], "Measuring (100%)"); // 120 s
    EXPECT_EQ(p1.last(), "Measuring (100%)");         // overrun
    EXPECT_TRUE(p1.contains("Waiting"));
    EXPECT_TRUE(list.Busy()); // measuring and waiting keep it
}

TEST_F(RunEngine, MaxSignalsStartsOneMoreIsRefused) {
    Config().Instrument.MaxSignals = 2;
    run->SetInstrumentState(stReady);
    model.PrepareMeasurementDataSets(1, 1);
    for (int c = 0; c < 2; ++c) {
        model.Current().Channel(c).Set->SetCount(1);
    }
    model.RecordMeasurement(clock, ModelT2, {}, {}, {}, {});
    ASSERT_EQ(target->DataSetCount(), 2);
    run->Start();
    EXPECT_EQ(run->Report().Outcome, TRunOutcome::Started);
    EXPECT_TRUE(messages.texts().isEmpty());

    // Abort, let a poll clear the mark, then try with one data set more.
    run->SetInstrumentState(stMeasuring);
    run->Abort();
    model.Current().A.Set->SetCount(1);
    model.RecordMeasurement(clock, ModelT2, {}, {}, {}, {});
    ASSERT_EQ(target->DataSetCount(), 3);
    written.clear();
    run->Start();
    EXPECT_EQ(run->Report().Outcome, TRunOutcome::TooManyDataSets);
    EXPECT_EQ(messages.texts(), QStringList{"Too many Data Sets in experiment"});
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(list.Busy()); // until the next poll
    PollAfter(1, "ND");
    EXPECT_FALSE(list.Busy());
}

TEST_F(RunEngine, WithoutTargetNothingHappensAndTheNextPollClearsTheMark) {
    list.SetActive(nullptr);
    run->Start();
    EXPECT_EQ(run->Report().Outcome, TRunOutcome::NoTarget);
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(messages.texts().isEmpty());
    EXPECT_TRUE(controls.empty());
    EXPECT_TRUE(list.Busy());
    PollAfter(1, "ND");
    EXPECT_FALSE(list.Busy());
    EXPECT_EQ(panels[1], QStringList{"Ready"});
}

TEST_F(RunEngine, LoadedProtocolIsBuiltAndDownloadedAndAFailedBuildEndsInTheDownloadError) {
    auto lib = std::make_unique<TFakeCompilerLibrary>();
    TFakeCompilerLibrary *fake = lib.get();
    SetCompilerLibrary(std::move(lib));
    struct Uninstall {
        ~Uninstall() { SetCompilerLibrary(nullptr); }
    } uninstall;
    fake->action(0, 0x80);
    fake->action(1.0, 0x81);

    // Nothing changed, but the instrument lost its program.
    run->SetInstrumentState(stEmpty);
    run->Start();
    EXPECT_EQ(fake->compiled.size(), 1u);
    EXPECT_EQ(downloads, 1);
    EXPECT_FALSE(doc->CheckDone); // a good download is not repeated
    EXPECT_TRUE(panels[1].contains("Compiling..."));
    EXPECT_TRUE(panels[1].contains("Loading program..."));
    EXPECT_TRUE(written.endsWith("ST"));
    EXPECT_EQ(run->Report().Outcome, TRunOutcome::Started);

    // A source error: no init macros, no download, the error, idle state.
    PollAfter(1, "ND");
    ASSERT_FALSE(list.Busy());
    fake->succeed = false;
    fake->errorMsg = "bad line";
    doc->SetText(QStringLiteral("nonsense\n"));
    written.clear();
    run->Start();
    EXPECT_EQ(downloads, 1);
    EXPECT_EQ(messages.texts().last(), "Protocol download error");
    EXPECT_TRUE(doc->CheckDone); // the next Start tries again
    EXPECT_EQ(run->Report().Outcome, TRunOutcome::DownloadError);
    EXPECT_FALSE(written.contains("ST"));
    ASSERT_FALSE(controls.empty());
    EXPECT_FALSE(controls.back().Measuring);
    EXPECT_TRUE(timer.isActive()); // the idle state polls again, which clears the mark
    EXPECT_TRUE(list.Busy());
}

TEST_F(RunEngine, RefusedDownloadIsRepeatedByTheNextStart) {
    doc->CheckDone = true;
    downloadResult = kSendTimersRefused;
    run->SetInstrumentState(stReady);
    run->Start();
    EXPECT_EQ(downloads, 1);
    EXPECT_EQ(messages.texts(), QStringList{"Protocol download error"});
    EXPECT_TRUE(doc->CheckDone);
    PollAfter(1, "ND");
    downloadResult = kSendOk;
    run->Start();
    EXPECT_EQ(downloads, 2);
    EXPECT_FALSE(doc->CheckDone);
}

TEST_F(RunEngine, AbortSendsStopOnlyWhileMeasuringAndResetMacrosByVersion) {
    const QByteArray resetMacros =
        QByteArray::fromHex("454305A4010B0FFF" "454307A4010710244120" "454303200040" "4543027200");
    const struct {
        TDeviceStatus state;
        uint8_t hi, lo;
        QByteArray bytes;
    } cases[] = {
        {stReady, 1, 9, resetMacros},          // idle, version 265: no stop, the reset macros
        {stReady, 1, 8, ""},                   // idle, version 264: nothing at all
        {stMeasuring, 1, 8, "SP"},
        {stWaiting, 1, 10, "SP" + resetMacros},
    };
    for (const auto &c : cases) {
        link->SetVersion(c.hi, c.lo);
        list.SetBusy(true);
        target->SetMeasuring(true);
        run->SetInstrumentState(c.state);
        written.clear();
        run->Abort();
        EXPECT_EQ(written.toHex(), c.bytes.toHex()) << int(c.state);
        const bool stopped = c.state == stMeasuring || c.state == stWaiting;
        EXPECT_EQ(list.Busy(), !stopped) << int(c.state);
        EXPECT_EQ(target->Measuring(), !stopped) << int(c.state);
    }
}

TEST_F(RunEngine, ThreeSilentPollsGiveNotConnected) {
    run->SetInstrumentState(stReady);
    run->Start();
    PollAfter(1, "BB");
    PollAfter(1, "");
    PollAfter(1, "XX");
    EXPECT_EQ(searches, 0);
    EXPECT_TRUE(list.Busy());
    EXPECT_EQ(run->PollFailuresLeft(), 1);
    PollAfter(1, "");
    EXPECT_EQ(searches, 1);
    EXPECT_EQ(panels[1].last(), "Not Connected");
    EXPECT_EQ(run->Report().Outcome, TRunOutcome::NotConnected);
    EXPECT_FALSE(list.Busy());
    EXPECT_FALSE(controls.back().Measuring);
    EXPECT_EQ(run->PollFailuresLeft(), 3);
}

TEST_F(RunEngine, FetchFillsTheRecordShiftsUnsignedSamplesAndReportsALostChannel) {
    Config().Instrument.DetectorAUnsigned = true;
    Config().Instrument.MoChA = 0.5;
    Config().Instrument.MulB = 3;
    Config().Instrument.YShiftB = -7;
    for (int i = 0; i < 3000; ++i)
        compiler.SampleTimesA.Add(0.001 * i);
    compiler.SampleTimesB.Add(0.25);
    compiler.SampleTimesB.Add(0.5);
    std::vector<uint16_t> a(3000);
    for (int i = 0; i < 3000; ++i)
        a[size_t(i)] = uint16_t(i * 20);
    a[2999] = 0xFFFE;
    transferA = TransferFrames(Samples(a));
    transferB = TransferFrames(Samples({0xFFF0, 100}));
    run->SetInstrumentState(stReady);
    run->Start();
    // The transfer progress takes over the timer while the data come.
    timer.setInterval(1);
    PollAfter(1, "EM", {"ND", "ND"});
    ASSERT_EQ(run->Report().Outcome, TRunOutcome::Measured);
    EXPECT_FALSE(run->Report().LostData());
    EXPECT_FALSE(list.Busy());
    EXPECT_FALSE(run->Fetching());
    EXPECT_TRUE(messages.texts().isEmpty());
    EXPECT_TRUE(target->Modified);
    EXPECT_EQ(target->Results, 1);

    ASSERT_EQ(model.RecordCount(), 2);
    const TMeasurementRecord &r = model.Record(1);
    ASSERT_EQ(r.A.Set->Count(), 3000);
    EXPECT_EQ(r.A.Y->GetItem(1), 10);        // unsigned: halved
    EXPECT_EQ(r.A.Y->GetItem(2999), 0x7FFF);
    EXPECT_DOUBLE_EQ(r.A.Y->Value(2), 10);   // 40 halved, times MoChA
    EXPECT_DOUBLE_EQ(r.A.X->GetItem(2999), 2.999);
    ASSERT_EQ(r.B.Set->Count(), 2);
    EXPECT_EQ(r.B.Y->GetItem(0), -16);      // signed
    EXPECT_DOUBLE_EQ(r.B.Y->Value(1), 3 * 100 - 7);
    EXPECT_DOUBLE_EQ(r.B.X->GetItem(1), 0.5);
    EXPECT_EQ(r.Protocol, doc->CompiledText);
    EXPECT_EQ(r.DeviceType, ModelT2);
    EXPECT_DOUBLE_EQ(r.Time, clock);
    EXPECT_EQ(panels[1].last(), "Data"); // after the transfer's progress
    EXPECT_EQ(panels[3].last(), SizePanelText(model.SizeEstimate()));
    // No poll ran inside the fetch: one "WD" per channel after its data, and the poll's own.
    EXPECT_EQ(written.count("WD"), 3);

    // Channel A lost (its last block spoilt three times), B still read.
    transferA = TransferFrames(Samples(a));
    const QByteArray rest = transferA.back();
    transferA.pop_back();
    for (int i = 0; i < 3; ++i)
        transferA.push_back(rest.left(rest.size() - 1) + char(rest.back() + 1));
    transferB = TransferFrames(Samples({1, 2}));
    run->Start();
    PollAfter(1, "EM", {"ND"});
    EXPECT_TRUE(run->Report().LostA);
    EXPECT_FALSE(run->Report().LostB);
    EXPECT_EQ(messages.texts(), QStringList{"Data transfer failed on channel 1"});
    ASSERT_EQ(model.RecordCount(), 3);
    EXPECT_EQ(model.Record(1).A.Set->Count(), 0);
    EXPECT_EQ(model.Record(1).A.X->Count(), 0);
    EXPECT_EQ(model.Record(1).B.Set->Count(), 2);
    EXPECT_TRUE(LogLines().contains("Data transfer failed on channel 1"));
}

TEST_F(RunEngine, TransferProgressIsShownWhileTheDataCome) {
    for (int i = 0; i < 6000; ++i)
        compiler.SampleTimesA.Add(i);
    transferA = TransferFrames(QByteArray(12000, 'x'));
    transferB = TransferFrames({});
    run->SetInstrumentState(stReady);
    run->Start();
    timer.setInterval(1);
    // Slow the blocks down so that the timer ticks between them.
    port->SetOnWrite([this](const QByteArray &w) {
        if (w == "OK")
            QThread::msleep(20);
        Answer(w);
    });
    PollAfter(1, "EM", {"ND", "ND"});
    ASSERT_EQ(run->Report().Outcome, TRunOutcome::Measured);
    const QStringList shown = panels[1].filter("Received");
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_TRUE(shown.contains("Received 4.000 of 11.719 KB") || shown.contains("Received 8.000 of 11.719 KB"))
        << shown.join('|').toStdString();
    EXPECT_EQ(panels[1].filter("Measuring").size(), 0);
}

} // namespace
