// Whole measurement runs against the virtual instrument in-process: the real
// compiler library, the program download, the status poll with a fake clock
// and the channel transfers, also under the instrument's faults.
#include "SimBridge.h"
#include "app/CommonObjs.h"
#include "app/InstrumentConfig.h"
#include "app/MDIList.h"
#include "app/MeasurementRun.h"
#include "app/ModelTarget.h"
#include "authoring/ProtocolDoc.h"
#include "common/Log.h"
#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "compiler/CompilerLibrary.h"
#include "settings/EnvSetup.h"
#include "support/TestSupport.h"

#include <QTimer>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

constexpr double kSecond = 1.0 / 86400.0;

// Both channels every millisecond, a saturating flash in the middle.
const QString kBothChannels = QStringLiteral("include \"device.inc\"\n"
                                             "var MeasuringLevel = 30\n"
                                             "var FlashLevel = 100\n"
                                             "every 1 ms from 0 to 99 ms  sample AB\n"
                                             "at 40 ms  pulse SaturatingFlash for 30 ms\n");

class MeasurementSim : public ::testing::Test {
protected:
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TInstrumentConfig savedConfig = Config().Instrument;
    std::unique_ptr<test::SimBridge> bridge;
    std::unique_ptr<TCompiler> compiler;
    TEnvSetup env;
    std::unique_ptr<TProtocolDoc> doc;
    std::unique_ptr<TExperimentModel> model;
    std::unique_ptr<TModelTarget> target;
    std::unique_ptr<TMDIList> list;
    QTimer timer;
    double clock = 45000.5;
    std::vector<TDeviceStatus> states;
    QStringList panel1;
    int searches = 0;
    std::unique_ptr<TMeasurementRun> run;

    void SetUp() override {
        // The test polls by the fake clock; the timer's own ticks stay out.
        timer.setInterval(24 * 3600 * 1000);
        OpenLog(dir.path("logfile.txt"));
        SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR")));
        ASSERT_NE(CompilerLibrary(), nullptr);
    }
    void TearDown() override {
        Disconnect();
        SetCompilerLibrary(nullptr);
        Config().Instrument = savedConfig;
        CloseLog();
    }
    void Disconnect() {
        run.reset();
        target.reset();
        list.reset();
        model.reset();
        doc.reset();
        compiler.reset();
        bridge.reset();
        states.clear();
        panel1.clear();
    }

    static sim::TSimOptions Options() {
        sim::TSimOptions o;
        o.Device = "ModelT2";
        o.IniPath = test::SourcePath("resources/Tessel.ini").toStdString();
        return o;
    }

    // Identifies the instrument, takes its configuration and device
    // information as the program does, and prepares an experiment whose
    // protocol is the given text.
    void Connect(const sim::TSimOptions &o, const QString &protocol) {
        Disconnect();
        bridge = std::make_unique<test::SimBridge>(o);
        TCommunication &link = *bridge->Link;
        ASSERT_TRUE(link.Connect(false, false));
        Config().Instrument = ReadInstrumentConfig(test::SourcePath("resources/Tessel.ini"), link.DeviceText());
        if (TCommonObjs::HasDeviceInfo(link.Device())) {
            link.WaitBounds().DeviceInfoPauseMs = 10;
            TDeviceInfoRecord r;
            ASSERT_TRUE(link.ReadDeviceInfo(r));
            TCommonObjs::ApplyDeviceInfo(r, Config().Instrument);
        }
        compiler = std::make_unique<TCompiler>();
        compiler->SetConstants(Config().Instrument.Compiler);
        doc = std::make_unique<TProtocolDoc>(*compiler, env, test::SourcePath("resources/include/"), link.Device());
        doc->SetText(protocol);
        model = std::make_unique<TExperimentModel>();
        target = std::make_unique<TModelTarget>(*model, *doc);
        list = std::make_unique<TMDIList>();
        list->Add(target.get());
        list->SetActive(target.get());

        TMeasurementHost host;
        host.Now = [this] { return clock; };
        host.Wait = [this](int ms) { bridge->Pass(ms / 1000.0); };
        host.SetPanel = [this](int panel, const QString &text) {
            if (panel == 1)
                panel1 << text;
        };
        host.DeviceId = [this] { ++searches; };
        host.Polled = [this](TDeviceStatus s) { states.push_back(s); };
        run = std::make_unique<TMeasurementRun>(link, *compiler, *list, timer, host);
        // The include folder has no "Default.1st": the editor's complaint is
        // no business of these tests.
        messages.clear();
        run->SetInstrumentState(link.GetStatus());
    }

    // Start, then one poll a second until the run has ended.
    TRunOutcome Measure(int maxPolls = 30) {
        run->Start();
        for (int i = 0; i < maxPolls && run->Report().Outcome == TRunOutcome::Started; ++i) {
            clock += kSecond;
            bridge->Pass(1.0);
            run->Poll();
        }
        return run->Report().Outcome;
    }

    double MeanA(const TMeasurementRecord &r, double from, double to) const {
        double sum = 0;
        int n = 0;
        for (int32_t i = 0; i < r.A.Set->Count(); ++i)
            if (r.A.X->GetItem(i) >= from && r.A.X->GetItem(i) < to) {
                sum += r.A.Y->Value(i);
                ++n;
            }
        return n ? sum / n : 0;
    }
};

TEST_F(MeasurementSim, ShippedFvFmProtocolFromStartToTheRecord) {
    Connect(Options(), test::ReadTextFile(test::SourcePath("resources/protocols/FvFm.p")));
    ASSERT_EQ(run->InstrumentState(), stEmpty);
    ASSERT_EQ(Measure(), TRunOutcome::Measured) << panel1.join('|').toStdString();
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join('|').toStdString();
    EXPECT_FALSE(run->Report().LostData());
    EXPECT_FALSE(list->Busy());
    EXPECT_EQ(states.back(), stDataReady);
    EXPECT_NE(std::find(states.begin(), states.end(), stMeasuring), states.end());
    EXPECT_TRUE(panel1.contains("Compiling...") && panel1.contains("Loading program..."));
    EXPECT_EQ(panel1.last(), "Data");

    ASSERT_EQ(model->RecordCount(), 2);
    const TMeasurementRecord &r = model->Record(1);
    const int32_t planned = compiler->SampleTimesA.Count();
    ASSERT_GT(planned, 500);
    ASSERT_EQ(r.A.Set->Count(), planned);
    EXPECT_EQ(r.B.Set->Count(), 0);
    for (int32_t i = 0; i < planned; ++i)
        ASSERT_DOUBLE_EQ(r.A.X->GetItem(i), compiler->SampleTimesA[i]) << i;
    // F0 before the saturating flash, Fm during it: the leaf's Fv/Fm of 0.8.
    const double f0 = MeanA(r, 0, 0.2), fm = MeanA(r, 0.21, 0.99);
    EXPECT_GT(f0, 500);
    EXPECT_NEAR((fm - f0) / fm, 0.8, 0.05) << f0 << ' ' << fm;
    EXPECT_EQ(r.DeviceType, ModelT2);
    EXPECT_EQ(r.Protocol, doc->CompiledText);

    // The next Start neither builds nor downloads again; the instrument
    // still has the program.
    run->Poll();
    EXPECT_EQ(panel1.last(), "Ready");
    panel1.clear();
    ASSERT_EQ(Measure(), TRunOutcome::Measured);
    EXPECT_FALSE(panel1.contains("Compiling...") || panel1.contains("Loading program..."));
    EXPECT_EQ(model->RecordCount(), 3);
    EXPECT_EQ(model->Record(1).A.Set->Count(), planned);
}

struct FaultCase {
    const char *name;
    void (*apply)(sim::TSimFaults &);
    bool lostA, lostB;
    const char *message;
    const char *simLogged;
};

class MeasurementSimFaults : public MeasurementSim, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(MeasurementSimFaults, EndsAsTheFaultDemands) {
    const FaultCase &c = GetParam();
    sim::TSimOptions o = Options();
    c.apply(o.Faults);
    Connect(o, kBothChannels);
    ASSERT_EQ(Measure(), TRunOutcome::Measured);
    EXPECT_EQ(run->Report().LostA, c.lostA);
    EXPECT_EQ(run->Report().LostB, c.lostB);
    EXPECT_EQ(messages.texts().join('|'), QString::fromLatin1(c.message));
    EXPECT_TRUE(bridge->Logged(c.simLogged)) << c.simLogged;
    const TMeasurementRecord &r = model->Record(1);
    EXPECT_EQ(r.A.Set->Count(), c.lostA ? 0 : run->Report().PlannedA);
    EXPECT_EQ(r.B.Set->Count(), c.lostB ? 0 : run->Report().PlannedB);
    EXPECT_EQ(run->Report().PlannedB, 100);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MeasurementSimFaults,
    ::testing::Values(
        // A spoilt block is asked for again and nothing is lost.
        FaultCase{"BadChecksum", [](sim::TSimFaults &f) { f.BadChecksumBlocks = {1}; }, false, false, "",
                  "(resent)"},
        // Channel A's transfer breaks off; B is still read.
        FaultCase{"HangupInA", [](sim::TSimFaults &f) { f.HangupAfter = 100; }, true, false,
                  "Data transfer failed on channel 1", "(fault: hang-up"},
        // Three spoilt sends of B's only block: B lost, A kept.
        FaultCase{"ChannelBRefused", [](sim::TSimFaults &f) { f.BadChecksumBlocks = {2, 3, 4}; }, false, true,
                  "Data transfer failed on channel 2", "(fault: wrong checksum)"}),
    [](const ::testing::TestParamInfo<FaultCase> &i) { return std::string(i.param.name); });

TEST_F(MeasurementSim, OutOfRangeChannelsAreNamedInOneWarning) {
    const std::pair<std::vector<std::pair<const char *, double>>, const char *> cases[] = {
        {{{"Fm", 3.0}}, "Some data on channel 1 out of range"},
        {{{"B0", 3.0}}, "Some data on channel 2 out of range"},
        {{{"Fm", 3.0}, {"B0", 3.0}}, "Some data on channel 1 and 2 out of range"},
    };
    for (const auto &[params, text] : cases) {
        sim::TSimOptions o = Options();
        for (const auto &[name, value] : params)
            ASSERT_TRUE(o.Model.Set(name, value));
        Connect(o, kBothChannels);
        ASSERT_EQ(Measure(), TRunOutcome::Measured) << text;
        EXPECT_EQ(messages.texts(), QStringList{QString::fromLatin1(text)});
        EXPECT_EQ(messages.entries.back().type, MsgType::Warning);
        // Clipped, but kept.
        EXPECT_EQ(model->Record(1).A.Set->Count(), 100) << text;
    }
}

TEST_F(MeasurementSim, SilentInstrumentIsNotConnectedAfterThreePolls) {
    // A faultless twin tells how many commands lead up to "ST".
    Connect(Options(), kBothChannels);
    run->Start();
    ASSERT_EQ(run->Report().Outcome, TRunOutcome::Started);
    const int commands = bridge->Sim.CommandCount();

    sim::TSimOptions o = Options();
    o.Faults.SilentAfter = commands;
    Connect(o, kBothChannels);
    ASSERT_EQ(Measure(), TRunOutcome::NotConnected);
    EXPECT_EQ(states, std::vector<TDeviceStatus>(3, stNoReply));
    EXPECT_EQ(searches, 1);
    EXPECT_EQ(panel1.last(), "Not Connected");
    EXPECT_FALSE(list->Busy());
    EXPECT_EQ(model->RecordCount(), 1);
}

} // namespace
