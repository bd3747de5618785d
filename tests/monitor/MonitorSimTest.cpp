// The monitor window against the virtual instrument on a pseudo-terminal.
#include "../device/LinkTestSupport.h"
#include "../device/SimProcess.h"
#include "common/Log.h"
#include "device/ConnectionManager.h"
#include "device/PosixCommPort.h"
#include "monitor/widgets/MonitorWindow.h"

#include <QSlider>

using namespace tessel;

// The monitor's workflow once, end to end: the samples reach the window, a
// gain and an offset moved there reach the instrument, and closing gives the
// link back. The bytes, the scaling and the range are pinned on the memory port.
TEST(MonitorSim, StreamsSetsGainsAndGivesTheLinkBack) {
    test::TestDir dir;
    OpenLog(dir.path("logfile.txt"));
    test::SimProcess sim({"--device", "ModelT2", "--baud", "57600"});
    ASSERT_FALSE(sim.Terminal.isEmpty());
    TCommunication link(std::make_unique<TPosixCommPort>(), sim.Terminal);
    TCommandSet commands(link);
    TConnectionManager connection(link, commands);
    connection.SetBaudRates({br57600});
    link.Open();
    ASSERT_TRUE(connection.Connect(false, false));
    ASSERT_EQ(link.Device(), ModelT2);

    {
        Tsmon mon(commands, {0.001, 0.001, 16, 16, false, false});
        mon.SetGainsEnabled(true);
        mon.SetApdEnabled(true);
        mon.show();
        EXPECT_TRUE(test::WaitUntil([&] { return mon.SamplesShown() >= 6; }, 5000)) << "no monitor packets decoded";

        const int newGain = mon.Session().GainA == 35 ? 36 : 35;
        mon.trGainA()->setValue(100 - newGain);
        mon.trOfsB()->setValue(mon.Session().OffsetB == 20 ? 21 : 20);
        const int newOffset = mon.Session().OffsetB;
        mon.hide();
        EXPECT_FALSE(link.OnRxChar);

        // The stream has ended: ordinary exchanges work again and read the new values.
        int gA = -1, gB = -1, oA = -1, oB = -1;
        ASSERT_TRUE(commands.GetGains(gA, gB, oA, oB));
        EXPECT_EQ(QList({gA, oB}), QList({newGain, newOffset}));
        EXPECT_EQ(commands.GetStatus(), stEmpty);
    }
    link.Close();
    CloseLog();
}
