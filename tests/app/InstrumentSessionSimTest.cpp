// A session against the virtual instrument in-process, over the real link.
#include "SimBridge.h"
#include "app/InstrumentSession.h"
#include "common/MessageService.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tessel;

namespace {

// A session keeps its own configuration (the process-wide one stays as it
// was): the ini's values for the type, replaced by what the instrument says
// of itself unless that fails; the compiler and the conditions follow.
TEST(InstrumentSession, TakesTheConnectedInstrument) {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    const QString globalText = Config().Instrument.DeviceText;
    for (const bool badInfo : {false, true}) {
        sim::TSimOptions o;
        o.Device = "ModelT2";
        o.IniPath = test::SourcePath("resources/Tessel.ini").toStdString();
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
