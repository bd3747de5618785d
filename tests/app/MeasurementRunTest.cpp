// The measurement run's rules as pure functions, and the engine on the
// in-memory port with a scripted instrument and a fake clock.
#include "app/MeasurementRun.h"
#include "app/InstrumentConfig.h"
#include "app/MDIList.h"
#include "app/ModelTarget.h"
#include "authoring/ProtocolDoc.h"
#include "common/Log.h"
#include "common/MessageService.h"
#include "compiler/CompilerLibrary.h"
#include "compiler/ProgramImage.h"
#include "settings/EnvSetup.h"
#include "support/FakeCompilerLibrary.h"
#include "support/MemoryCommPort.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QTimer>
#include <deque>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

constexpr double kSecond = 1.0 / 86400.0;

TEST(MeasurementRunRules, PollStateTable) {
    using C = TPollStep::TControls;
    // state, failures left -> text, fetch, ignored, controls, busy cleared, failures left after
    const std::tuple<TDeviceStatus, int, const char *, bool, bool, C, bool, int> cases[] = {
        {stReady, 3, "Ready", false, false, C::Idle, true, 3},
        {stDataReady, 3, "Data", true, false, C::Keep, true, 3},
        {stMeasuring, 3, "", false, false, C::Measuring, false, 3},
        {stWaiting, 3, "Waiting", false, false, C::Measuring, false, 3},
        {stEmpty, 3, "Empty", false, false, C::Idle, true, 3},
        {stTesting, 3, "Testing", false, false, C::Keep, true, 3},
        {stNoReply, 3, "", false, true, C::Keep, false, 2}, // two misses pass silently
        {stOutOfRange, 1, "Not Connected", false, false, C::Idle, true, 3},
    };
    for (const auto &[state, left, text, fetch, ignored, controls, cleared, after] : cases) {
        const TPollStep s = PollStep(state, left);
        EXPECT_EQ(std::tie(s.Text, s.Fetch, s.Ignored, s.Controls, s.ClearBusy, s.FailuresLeft),
                  std::make_tuple(QString::fromLatin1(text), fetch, ignored, controls, cleared, after))
            << int(state);
    }
    EXPECT_TRUE(PollStep(stOutOfRange, 1).NotConnected);
}

TEST(MeasurementRunRules, ProgressLeavesPausesOutAndStaysWithinBounds) {
    const double start = 45000.25, end = start + 100 * kSecond;
    // seconds since start, paused seconds -> percent
    const int cases[][3] = {{0, 0, 0}, {119, 20, 99}, {120, 20, 100}, {500, 0, 100}, {-5, 0, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(RunProgress(start + c[0] * kSecond, start, end, c[1] * kSecond), c[2]) << c[0];
    EXPECT_EQ(RunProgress(start + kSecond, start, start, 0), 100); // nothing to wait for
}

TEST(MeasurementRunRules, CompileDownloadAndPreparation) {
    // state, modified, changed since check, built for this editor -> compile
    const std::tuple<TDeviceStatus, bool, bool, bool, bool> compile[] = {{stReady, false, false, true, false},
                                                                         {stEmpty, false, false, true, true},
                                                                         {stReady, true, false, true, true},
                                                                         {stReady, false, true, true, true},
                                                                         {stReady, false, false, false, true}};
    for (const auto &[state, modified, changed, own, expected] : compile)
        EXPECT_EQ(NeedsCompile(state, modified, changed, own), expected) << int(state) << modified << changed << own;
    EXPECT_FALSE(NeedsDownload(stReady, false));
    EXPECT_TRUE(NeedsDownload(stReady, true));
    EXPECT_TRUE(NeedsDownload(stEmpty, false));
    EXPECT_EQ(PreparationFor(ModelT2, kStatusFailed), TRunPreparation::None);
    EXPECT_EQ(PreparationFor(ModelW, kStatusFailed), TRunPreparation::AnalogOutputs);
}

TEST(MeasurementRunRules, IdleControls) {
    // connected, type -> Update BIOS, Update Firmware, monitor gains, monitor photodiodes
    const std::tuple<bool, TDevice, bool, bool, bool, bool> idle[] = {{true, ModelU, true, false, false, false},
                                                                      {true, ModelR2, false, true, true, false},
                                                                      {true, ModelT1, false, false, true, true},
                                                                      {false, ModelS2, false, false, false, false}};
    for (const auto &[c, type, bios, firmware, gains, apd] : idle) {
        const TControlState s = IdleControlState(c, type);
        EXPECT_EQ(std::tie(s.UpdateBios, s.UpdateFirmware, s.MonitorGains, s.MonitorApd, s.StartButton, s.AbortMenu),
                  std::make_tuple(std::optional(bios), std::optional(firmware), std::optional(gains),
                                  std::optional(apd), std::optional(c), std::optional(false)))
            << int(type) << c;
    }
}

TEST(MeasurementRunRules, ChannelTexts) {
    // channel 1, channel 2 -> out of range, transfer failed
    const std::tuple<bool, bool, const char *, const char *> cases[] = {
        {false, false, "", ""},
        {true, false, "Some data on channel 1 out of range", "Data transfer failed on channel 1"},
        {false, true, "Some data on channel 2 out of range", "Data transfer failed on channel 2"},
        {true, true, "Some data on channel 1 and 2 out of range", "Data transfer failed on channel 1 and 2"}};
    for (const auto &[ch1, ch2, range, failed] : cases)
        EXPECT_EQ(QStringList({OutOfRangeText(ch1, ch2), TransferFailedText(ch1, ch2)}), QStringList({range, failed}));
    EXPECT_EQ(GainsPanelText(ModelT2, 50, 40, 30, 60, 70, 80), "G1=50  O1=40 S1=30  |  G2=60  O2=70  S2=80");
    EXPECT_EQ(GainsPanelText(ModelR2, 50, 40, 30, 60, 70, 80), "G1=50 ; O1=40   |   G2=60 ; O2=70");
}

QByteArray WithSum(const QByteArray &b) { return b + char(TCommunication::Checksum(b.constData(), int32_t(b.size()))); }

// A ModelT2 that answers "WD" from a list and a channel request with the
// header and one block per answer; the target's editor has a fresh build.
class RunEngine : public ::testing::Test {
protected:
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TInstrumentConfig config;
    TMemoryCommPort *port = nullptr;
    std::unique_ptr<TCommunication> link;
    std::unique_ptr<TCommandSet> commands;
    QByteArray written;
    std::deque<QByteArray> statuses, frames; // "" stays silent
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
    int downloads = 0;
    std::unique_ptr<TMeasurementRun> run;

    void SetUp() override {
        OpenLog(dir.path("logfile.txt"));
        auto p = std::make_unique<TMemoryCommPort>();
        port = p.get();
        link = std::make_unique<TCommunication>(std::move(p), "ttyMem");
        commands = std::make_unique<TCommandSet>(*link);
        link->SetDeviceType(ModelT2);
        link->Open();
        link->SetConnected(true);
        port->SetOnWrite([this](const QByteArray &w) {
            written += w;
            const bool nextBlock = (w == "OK" || w == "ER") && !frames.empty() && !frames.front().startsWith("SDA");
            std::deque<QByteArray> &q = w == "WD" ? statuses : frames;
            if ((w == "WD" || w.startsWith("GD") || nextBlock) && !q.empty()) {
                const QByteArray reply = q.front();
                q.pop_front();
                // After a real line's turnaround: "WD" purges its input once written.
                if (!reply.isEmpty())
                    QTimer::singleShot(5, [this, reply] { port->FeedReceived(reply); });
            }
        });
        doc = std::make_unique<TProtocolDoc>(compiler, env, dir.path(), ModelT2);
        doc->Modified = doc->ChangedSinceCheck = doc->CheckDone = false;
        compiler.Status = kStatusReady;
        compiler.Owner = doc.get();
        compiler.Events.Add(0.0, 0x80);
        compiler.Events.Add(98.3, 0x80); // 100 s with the instrument's tail
        target = std::make_unique<TModelTarget>(model, *doc);
        list.Add(target.get());
        list.SetActive(target.get());
        TMeasurementHost host;
        host.Now = [this] { return clock; };
        host.Wait = [](int) {};
        host.SetPanel = [this](int panel, const QString &text) { panels[panel] << text; };
        host.ApplyControls = [this](const TControlState &s) { controls.push_back(s); };
        host.SendProgram = [this] { return ++downloads, kSendOk; };
        run = std::make_unique<TMeasurementRun>(*commands, compiler, config, list, timer, host);
        run->SetInstrumentState(stReady);
        messages.clear();
    }
    void TearDown() override {
        run.reset();
        port->SetOnWrite(nullptr);
        CloseLog();
    }
    // A timer tick a second after the previous one; afterData answers the
    // "WD" that follows each channel's transfer.
    void PollAfter(double seconds, const QByteArray &status, std::initializer_list<QByteArray> afterData = {}) {
        clock += seconds * kSecond;
        statuses.push_back(status);
        statuses.insert(statuses.end(), afterData);
        run->Poll();
    }
};

TEST_F(RunEngine, StartSendsInitMacrosAndStartsOnceWhileBusy) {
    compiler.InitMacros = {TMacroRec{0.0, QByteArray::fromHex("a40b")}, TMacroRec{0.5, QByteArray::fromHex("72")}};
    run->Start();
    run->Start(); // busy: nothing
    EXPECT_EQ(written.toHex(), "4543"
                               "02a40b"
                               "4543"
                               "0172"
                               "5354"); // EC, EC, ST
    EXPECT_EQ(downloads, 0);
    EXPECT_TRUE(list.Busy() && target->Measuring() && timer.isActive());
    EXPECT_EQ(target->Runs, 1);
    EXPECT_DOUBLE_EQ(run->ExpectedEnd(), clock + 100 * kSecond);
    EXPECT_TRUE(controls.back().Measuring);
    EXPECT_EQ(panels[5], QStringList{StartTimeText(clock)});
    EXPECT_TRUE(test::ReadTextFile(dir.path("logfile.txt")).contains("`Timer: 0.500000; Init Macro: 01 72 \n"));
}

TEST_F(RunEngine, MaxSignalsStartsOneMoreIsRefused) {
    config.MaxSignals = 2;
    model.Current().A.Set->SetCount(1);
    model.Current().B.Set->SetCount(1);
    model.RecordMeasurement(clock, ModelT2, {}, {}, {}, {});
    run->Start();
    EXPECT_EQ(run->Report().Outcome, TRunOutcome::Started);
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
}

TEST_F(RunEngine, LoadedProtocolIsBuiltAndSentAndAFailedBuildIsTheDownloadError) {
    auto lib = std::make_unique<TFakeCompilerLibrary>();
    TFakeCompilerLibrary *fake = lib.get();
    SetCompilerLibrary(std::move(lib));
    fake->action(0, 0x80);
    run->SetInstrumentState(stEmpty); // nothing changed, but the instrument lost its program
    run->Start();
    EXPECT_EQ(fake->compiled.size(), 1u);
    EXPECT_EQ(downloads, 1);
    EXPECT_FALSE(doc->CheckDone); // sent: not again
    EXPECT_EQ(panels[1], QStringList({"Compiling...", "Loading program..."}));

    PollAfter(1, "ND");
    fake->succeed = false;
    doc->SetText(QStringLiteral("nonsense\n"));
    written.clear();
    run->Start();
    SetCompilerLibrary(nullptr);
    EXPECT_EQ(downloads, 1);
    EXPECT_EQ(messages.texts().last(), "Protocol download error");
    EXPECT_TRUE(doc->CheckDone);    // the next Start tries again
    EXPECT_TRUE(written.isEmpty()); // no init macros, no "ST"
    EXPECT_FALSE(controls.back().Measuring);
    EXPECT_TRUE(timer.isActive() && list.Busy()); // the next poll clears the mark
}

TEST_F(RunEngine, AbortStopsOnlyARunAndSendsResetMacrosByVersion) {
    const QByteArray reset = QByteArray::fromHex("454305A4010B0FFF"
                                                 "454307A4010710244120"
                                                 "454303200040"
                                                 "4543027200");
    const std::tuple<TDeviceStatus, uint8_t, QByteArray> cases[] = {
        {stReady, 9, reset}, {stReady, 8, ""}, {stMeasuring, 8, "SP"}, {stWaiting, 10, "SP" + reset}};
    for (const auto &[state, version, bytes] : cases) {
        link->SetVersion({1, 2, 1, uint8_t(version)}); // 1.9 = 265
        list.SetBusy(true);
        run->SetInstrumentState(state);
        written.clear();
        run->Abort();
        EXPECT_EQ(written.toHex(), bytes.toHex()) << int(state);
        EXPECT_EQ(list.Busy(), state == stReady) << int(state);
    }
}

TEST_F(RunEngine, FetchScalesShiftsUnsignedSamplesAndShowsTheTransfer) {
    config.DetectorAUnsigned = true;
    config.MoChA = 0.5;
    config.MulB = 3;
    config.YShiftB = -7;
    QByteArray a(6000, '\0');
    for (int i = 0; i < 3000; ++i) {
        compiler.SampleTimesA.Add(0.001 * i);
        a[2 * i] = char(i * 20 & 0xFF);
        a[2 * i + 1] = char(i * 20 >> 8);
    }
    a[5998] = a[5999] = char(0xFF);
    compiler.SampleTimesB.Add(0.25);
    frames = {"SDA\x70\x07\x01" + WithSum(a.left(4096)), WithSum(a.mid(4096)), // channel A
              QByteArray("SDA\x02\0\0", 6) + WithSum(QByteArray("\xF0\xFF", 2))};
    run->Start();
    timer.setInterval(1);             // ticks between the blocks show the transfer, never a poll
    PollAfter(1, "EM", {"ND", "SA"}); // channel B was out of range
    ASSERT_EQ(run->Report().Outcome, TRunOutcome::Measured);
    ASSERT_EQ(messages.entries.size(), 1u);
    EXPECT_EQ(messages.entries[0].text, "Some data on channel 2 out of range");
    EXPECT_EQ(messages.entries[0].type, MsgType::Warning);
    EXPECT_TRUE(target->Modified && !list.Busy());
    const TMeasurementRecord &r = model.Record(1);
    ASSERT_EQ(r.A.Set->Count(), 3000);
    EXPECT_EQ(r.A.Y->GetItem(2999), 0x7FFF);
    EXPECT_DOUBLE_EQ(r.A.Y->Value(2), 10); // unsigned 40 halved, times MoChA
    EXPECT_DOUBLE_EQ(r.A.X->GetItem(2999), 2.999);
    ASSERT_EQ(r.B.Set->Count(), 1);
    EXPECT_DOUBLE_EQ(r.B.Y->Value(0), 3 * -16 - 7); // signed
    EXPECT_EQ(panels[1].last(), "Data");
    EXPECT_TRUE(panels[1].contains("Received 4.000 of 5.859 KB")) << panels[1].join('|').toStdString();
    EXPECT_EQ(written.count("WD"), 3); // the poll's and one after each channel
}

// A channel whose blocks are refused three times is lost alone: the other
// is read and the loss reported.
TEST_F(RunEngine, ARefusedChannelIsLostAloneAndReported) {
    compiler.SampleTimesA.Add(0.5);
    compiler.SampleTimesB.Add(0.5);
    const QByteArray bad = QByteArray("\x10\x00", 2) + char(0x77);
    frames = {QByteArray("SDA\x02\0\0", 6) + bad, bad, bad,
              QByteArray("SDA\x02\0\0", 6) + WithSum(QByteArray("\x20\x00", 2))};
    run->Start();
    PollAfter(1, "EM", {"ND"});
    ASSERT_EQ(run->Report().Outcome, TRunOutcome::Measured);
    EXPECT_EQ(messages.texts(), QStringList{"Data transfer failed on channel 1"});
    EXPECT_EQ(written.count("ER"), 3);
    EXPECT_EQ(model.Record(1).A.Set->Count(), 0);
    ASSERT_EQ(model.Record(1).B.Set->Count(), 1);
    EXPECT_EQ(model.Record(1).B.Y->GetItem(0), 0x20);
}

// What a run keeps whatever happens meanwhile: an Abort during the
// download, a port that fails under the poll.
TEST_F(RunEngine, ErrorPathsLeaveTheRunAndTheControlsSound) {
    // Abort while Start downloads: nothing starts, and the instrument is left
    // as any Abort leaves it (reset macros, ModelW's key sliders at 0).
    link->SetVersion({1, 2, 1, 9});
    link->SetDeviceType(ModelW);
    int sliderResets = 0;
    run->Host().ResetKeySliders = [&] { ++sliderResets; };
    run->Host().SendProgram = [this] {
        run->Abort();
        return kSendOk;
    };
    doc->CheckDone = true; // checked, not sent yet
    written.clear();
    run->Start();
    EXPECT_EQ(run->Report().Outcome, TRunOutcome::Aborted);
    EXPECT_EQ(written.count("EC"), 4);
    EXPECT_FALSE(written.contains("ST"));
    EXPECT_EQ(sliderResets, 1);
    EXPECT_FALSE(list.Busy());

    // A poll whose port fails: the run ends, the error is shown once, the
    // instrument is searched for, and nothing escapes.
    link->SetDeviceType(ModelT2);
    run->SetInstrumentState(stReady);
    run->Start();
    int searches = 0;
    run->Host().DeviceId = [&] { ++searches; };
    messages.clear();
    port->SetWriteError(EIO);
    PollAfter(1, "BB");
    port->SetWriteError(0);
    EXPECT_EQ(run->Report().Outcome, TRunOutcome::NotConnected);
    EXPECT_EQ(messages.texts(), QStringList{"Write error (Error: 5) "});
    EXPECT_EQ(searches, 1);
    EXPECT_FALSE(list.Busy() || target->Measuring() || timer.isActive());
}

} // namespace
