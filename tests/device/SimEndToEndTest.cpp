// The device classes against the virtual instrument on a pseudo-terminal,
// and the dialogs filled from them.
#include "SimProcess.h"
#include "common/Log.h"
#include "device/PosixCommPort.h"
#include "device/widgets/DeviceDialogs.h"

#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace tessel;

TEST(SimEndToEnd, IdentifyReadInfoPollAndSelfTest) {
    test::TestDir dir;
    OpenLog(dir.path("logfile.txt"));
    test::SimProcess sim({"--device", "ModelT2", "--baud", "57600"});
    ASSERT_FALSE(sim.Terminal.isEmpty());
    TCommunication link(std::make_unique<TPosixCommPort>(), sim.Terminal);
    TCommandSet commands(link);
    TConnectionManager connection(link, commands);
    connection.SetBaudRates({br9600, br57600, br115200});
    link.Open();
    QStringList messages;
    connection.OnMessage = [&](TCustomComm *, const QString &m) { messages.append(m); };
    ASSERT_TRUE(connection.Connect(true, false)) << messages.join('\n').toStdString();
    EXPECT_EQ(link.Device(), ModelT2);
    EXPECT_EQ(link.BaudRate(), br57600);
    EXPECT_TRUE(messages.last().startsWith("Found device ModelT  , version 1.2."));

    TDeviceInfoRecord r;
    ASSERT_TRUE(connection.ReadDeviceInfo(r));
    EXPECT_GT(r.TimerBits, 0);

    EXPECT_EQ(commands.GetStatus(), stEmpty);
    QStringList lines;
    EXPECT_TRUE(commands.TestUnit(lines));
    EXPECT_FALSE(lines.isEmpty());
    link.Close();
    CloseLog();
}

TEST(DeviceDialogs, SetDeviceListsKnownTypesAndSetsThem) {
    TCommunication link(std::make_unique<TPosixCommPort>());
    TCommandSet commands(link);
    TConnectionManager connection(link, commands);
    int stored = -1;
    TfrmSetDevice dlg(connection, [&](TDevice d) { stored = int(d); });
    EXPECT_EQ(dlg.windowTitle(), "Set Device");
    ASSERT_EQ(dlg.Devices()->count(), 17);
    EXPECT_EQ(dlg.Devices()->item(0)->text(), "ModelE  , $0000");
    EXPECT_EQ(dlg.Devices()->currentRow(), 0);
    dlg.Devices()->setCurrentRow(16);
    dlg.btnSetDeviceClick();
    EXPECT_EQ(link.Device(), ModelW);
    EXPECT_EQ(stored, -1);
    dlg.Devices()->setCurrentRow(4);
    dlg.btnSetAsDefaultClick();
    EXPECT_EQ(link.Device(), ModelG3);
    EXPECT_EQ(stored, int(ModelG3));
}

TEST(DeviceDialogs, DeviceInfoWindowShowsTheSource) {
    TDeviceInfoRecord r;
    r.TimerBits = 22;
    r.TimeBase = 1e-7;
    r.Bounds[15].PulseMax = {0.5, true};
    TfrmDeviceInfo dlg([&] { return r; });
    dlg.Fill();
    EXPECT_EQ(dlg.Value("TimerBits")->text(), "22");
    EXPECT_EQ(dlg.Value("TimeBase")->text(), "1e-07");
    ASSERT_EQ(dlg.Bounds()->rowCount(), 17);
    EXPECT_EQ(dlg.Bounds()->item(0, 0)->text(), "Bit No.");
    EXPECT_EQ(dlg.Bounds()->item(16, 0)->text(), "15");
    EXPECT_EQ(dlg.Bounds()->item(16, 4)->text(), "E: 0.5");
}
