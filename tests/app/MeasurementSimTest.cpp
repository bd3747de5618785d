// Whole measurement runs against the virtual instrument in-process: the real
// compiler library, the download, the poll by a fake clock and the channel
// transfers, also under the instrument's faults.
#include "SimBridge.h"
#include "app/InstrumentSession.h"
#include "app/MDIList.h"
#include "app/MeasurementRun.h"
#include "app/ModelTarget.h"
#include "authoring/ProtocolDoc.h"
#include "common/Log.h"
#include "common/MessageService.h"
#include "compiler/CompilerLibrary.h"
#include "settings/EnvSetup.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tessel;

namespace {

// Both channels every millisecond, a saturating flash in the middle.
const QString kBothChannels = QStringLiteral("include \"device.inc\"\nvar MeasuringLevel = 30\nvar FlashLevel = 100\n"
                                             "every 1 ms from 0 to 99 ms  sample AB\n"
                                             "at 40 ms  pulse SaturatingFlash for 30 ms\n");

// One experiment, its editor and the run of a session on a freshly
// identified ModelT2.
struct Bench {
    test::SimBridge bridge;
    TInstrumentSession session{*bridge.Link, test::SourcePath("resources/Tessel.ini")};
    TCompiler &compiler = session.Compiler();
    TEnvSetup env;
    TProtocolDoc doc{compiler, env, test::SourcePath("resources/include/"), ModelT2};
    TExperimentModel model;
    TModelTarget target{model, doc};
    TMDIList list;
    double clock = 45000.5;
    std::vector<TDeviceStatus> states;
    QStringList panel1;
    std::unique_ptr<TMeasurementRun> run;

    Bench(const sim::TSimOptions &o, const QString &protocol) : bridge(o) {
        TCommunication &link = *bridge.Link;
        TConnectionManager &connection = *bridge.Connection;
        if (!connection.Connect(false, false))
            return;
        session.ReadConfiguration();
        link.WaitBounds().DeviceInfoPauseMs = 10;
        session.ReadDeviceInfo();
        doc.SetText(protocol);
        list.Add(&target);
        list.SetActive(&target);
        session.StatusTimer().setInterval(24 * 3600 * 1000); // the test polls by the fake clock
        TMeasurementHost host;
        host.Now = [this] { return clock; };
        host.Wait = [this](int ms) { bridge.Pass(ms / 1000.0); };
        host.SetPanel = [this](int panel, const QString &text) {
            if (panel == 1)
                panel1 << text;
        };
        host.Polled = [this](TDeviceStatus s) { states.push_back(s); };
        run = session.NewRun(list, host);
        run->SetInstrumentState(session.Commands().GetStatus());
    }
    // Start, then a poll a second until the run has ended.
    TRunOutcome Measure() {
        run->Start();
        for (int i = 0; i < 30 && run->Report().Outcome == TRunOutcome::Started; ++i) {
            clock += 1.0 / 86400;
            bridge.Pass(1.0);
            run->Poll();
        }
        return run->Report().Outcome;
    }
};

class MeasurementSim : public ::testing::Test {
protected:
    void SetUp() override {
        OpenLog(dir.path("logfile.txt"));
        SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR")));
    }
    void TearDown() override {
        SetCompilerLibrary(nullptr);
        CloseLog();
    }
    static sim::TSimOptions Options() {
        sim::TSimOptions o;
        o.Device = "ModelT2";
        o.IniPath = test::SourcePath("resources/Tessel.ini").toStdString();
        return o;
    }
    std::unique_ptr<Bench> Connect(const sim::TSimOptions &o, const QString &protocol) {
        auto b = std::make_unique<Bench>(o, protocol);
        EXPECT_TRUE(b->run) << "not identified";
        messages.clear();
        return b;
    }
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
};

TEST_F(MeasurementSim, ShippedFvFmProtocolGivesTheLeafsFvFm) {
    auto b = Connect(Options(), test::ReadTextFile(test::SourcePath("resources/protocols/FvFm.p")));
    ASSERT_EQ(b->run->InstrumentState(), stEmpty);
    ASSERT_EQ(b->Measure(), TRunOutcome::Measured);
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join('|').toStdString();
    EXPECT_EQ(b->states.front(), stMeasuring);
    EXPECT_EQ(b->states.back(), stDataReady);
    const TMeasurementRecord &r = b->model.Record(1);
    const int32_t n = b->compiler.SampleTimesA.Count();
    ASSERT_EQ(r.A.Set->Count(), n);
    double f0 = 0, fm = 0; // before and during the saturating flash
    int n0 = 0, nm = 0;
    for (int32_t i = 0; i < n; ++i) {
        const double t = r.A.X->GetItem(i), y = r.A.Y->Value(i);
        ASSERT_DOUBLE_EQ(t, b->compiler.SampleTimesA[i]);
        if (t < 0.2) {
            f0 += y;
            ++n0;
        } else if (t > 0.21 && t < 0.99) {
            fm += y;
            ++nm;
        }
    }
    f0 /= n0;
    fm /= nm;
    EXPECT_NEAR((fm - f0) / fm, 0.8, 0.05) << f0 << ' ' << fm;
}

TEST_F(MeasurementSim, FaultsLoseAChannelOrNothing) {
    // fault, channel A lost, channel B lost, message, what the instrument logged
    const std::tuple<void (*)(sim::TSimFaults &), bool, bool, const char *, const char *> cases[] = {
        {[](sim::TSimFaults &f) { f.BadChecksumBlocks = {1}; }, false, false, "", "(resent)"},
        {[](sim::TSimFaults &f) { f.HangupAfter = 100; }, true, false, "Data transfer failed on channel 1",
         "(fault: hang-up"},
        {[](sim::TSimFaults &f) {
             f.BadChecksumBlocks = {2, 3, 4};
         },
         false, true, "Data transfer failed on channel 2", "block refused 3 times"},
    };
    for (const auto &[fault, lostA, lostB, message, logged] : cases) {
        sim::TSimOptions o = Options();
        fault(o.Faults);
        auto b = Connect(o, kBothChannels);
        ASSERT_EQ(b->Measure(), TRunOutcome::Measured) << message;
        EXPECT_EQ(messages.texts().join('|'), QString::fromLatin1(message));
        EXPECT_TRUE(b->bridge.Logged(logged)) << logged;
        EXPECT_EQ(b->model.Record(1).A.Set->Count(), lostA ? 0 : 100) << message;
        EXPECT_EQ(b->model.Record(1).B.Set->Count(), lostB ? 0 : 100) << message;
    }
}

TEST_F(MeasurementSim, OutOfRangeChannelsAreNamedInOneWarning) {
    const std::tuple<double, double, const char *> cases[] = {{3, 0.2, "Some data on channel 1 out of range"},
                                                              {0.6, 3, "Some data on channel 2 out of range"},
                                                              {3, 3, "Some data on channel 1 and 2 out of range"}};
    for (const auto &[fm, b0, text] : cases) {
        sim::TSimOptions o = Options();
        o.Model.Fm = fm;
        o.Model.B0 = b0;
        auto b = Connect(o, kBothChannels);
        ASSERT_EQ(b->Measure(), TRunOutcome::Measured) << text;
        ASSERT_EQ(messages.entries.size(), 1u) << text;
        EXPECT_EQ(messages.entries[0].text, text);
        EXPECT_EQ(messages.entries[0].type, MsgType::Warning);
        EXPECT_EQ(b->model.Record(1).A.Set->Count(), 100) << text; // clipped, but kept
    }
}

TEST_F(MeasurementSim, SilentInstrumentIsNotConnectedAfterThreePolls) {
    int commands = 0; // up to "ST", counted on a faultless twin
    {
        auto twin = Connect(Options(), kBothChannels);
        twin->run->Start();
        commands = twin->bridge.Sim.CommandCount();
    }
    sim::TSimOptions o = Options();
    o.Faults.SilentAfter = commands;
    auto b = Connect(o, kBothChannels);
    ASSERT_EQ(b->Measure(), TRunOutcome::NotConnected);
    EXPECT_EQ(b->states, std::vector<TDeviceStatus>(3, stNoReply));
    EXPECT_EQ(b->panel1.last(), "Not Connected");
    EXPECT_FALSE(b->list.Busy());
    EXPECT_EQ(b->model.RecordCount(), 1);
}

} // namespace

namespace {

// A session keeps its own configuration (the process-wide one stays as it
// was): the ini's values for the type, replaced by what the instrument says
// of itself unless that fails; the compiler and the conditions follow.
TEST_F(MeasurementSim, SessionTakesTheConnectedInstrument) {
    const QString globalText = Config().Instrument.DeviceText;
    for (const bool badInfo : {false, true}) {
        sim::TSimOptions o = Options();
        o.Faults.BadInfoChecksum = badInfo;
        test::SimBridge bridge(o);
        TCommunication &link = *bridge.Link;
        link.WaitBounds().DeviceInfoPauseMs = 10;
        // Without an ini the configured limits are the defaults, unlike the instrument's.
        TInstrumentSession session(link, dir.path("absent.ini"));
        session.Connection().SetBaudRates(bridge.Connection->BaudRates());
        ASSERT_TRUE(session.Identify(false));
        session.ReadConfiguration();
        const TInstrumentConfig &c = session.Configuration();
        EXPECT_EQ(c.DeviceText, session.Connection().DeviceText());
        const TInstrumentConfig instrument =
            ReadInstrumentConfig(test::SourcePath("resources/Tessel.ini"), session.Connection().DeviceText());
        ASSERT_NE(c.BitResA, instrument.BitResA);
        EXPECT_EQ(session.ReadDeviceInfo(),
                  badInfo ? TInstrumentSession::TDeviceInfoRead::Failed : TInstrumentSession::TDeviceInfoRead::Applied);
        EXPECT_EQ(c.BitResA, badInfo ? TInstrumentConfig().BitResA : instrument.BitResA);
        EXPECT_EQ(c.Compiler.SampleDistanceA, badInfo ? 1.0 : instrument.Compiler.SampleDistanceA);
        EXPECT_EQ(session.Compiler().Constants.SampleDistanceA, c.Compiler.SampleDistanceA);
        TCommandSet &commands = session.Commands();
        ASSERT_TRUE(commands.SetGain(70, 2) && commands.SetOffset(20, 1) && commands.SetApd(35, 2));
        const TConditions k = session.ReadConditions();
        EXPECT_EQ(QList<int>({k.GainA, k.GainB, k.OffsetA, k.SensA, k.SensB}), QList<int>({50, 70, 20, 50, 35}));
    }
    EXPECT_EQ(Config().Instrument.DeviceText, globalText);
}

} // namespace
