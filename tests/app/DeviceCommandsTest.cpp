// The main window's instrument commands and the link's events.
#include "app/widgets/DeviceCommands.h"
#include "../device/LinkTestSupport.h"
#include "../device/ScriptedPeer.h"
#include "app/CommonObjs.h"
#include "app/InstrumentConfig.h"
#include "app/widgets/MainWindow.h"
#include "common/MessageService.h"
#include "support/MemoryCommPort.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tessel;

namespace {
struct Fixture {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TEnvSetup env;
    TMemoryCommPort *port = nullptr;
    TCommunication *link = nullptr;
    std::unique_ptr<TfrmMain> main;
    std::unique_ptr<TCommonObjs> common;
    Fixture() {
        auto p = std::make_unique<TMemoryCommPort>();
        port = p.get();
        auto l = std::make_unique<TCommunication>(std::move(p), "ttyMem");
        link = l.get();
        main = std::make_unique<TfrmMain>(nullptr, &env);
        common = std::make_unique<TCommonObjs>(std::move(l));
        link->WaitBounds().DeviceInfoPauseMs = 20;
        WireDeviceCommands(*main, *common, &env);
    }
};
} // namespace

TEST(DeviceCommands, TestKeysSendTheirCommandsAndClosingStops) {
    Fixture f;
    f.link->Open();
    f.link->SetConnected(true);
    const std::pair<const char *, QByteArray> keys[] = {
        {"mniActFlash1", "BF1"},
        {"mniActFlash2", "BF2"},
        {"mniMeasFlash", "SF1"},
        {"mniAux1", "AX1"},
        {"mniAux3", "AX3"},
        {"mniAux6", "AX6"},
        {"btnMacro", QByteArray("EC\x01\x50", 4)},
    };
    for (const auto &[id, bytes] : keys) {
        ASSERT_TRUE(f.main->Action(id)->isEnabled()) << id;
        f.main->Action(id)->trigger();
        EXPECT_EQ(f.port->TakeWritten(), bytes) << id;
    }
    for (const char *id : {"mniDeviceID", "mniDeviceInfo", "mniSetDevice", "mniCommunication"})
        EXPECT_TRUE(f.main->Action(id)->isEnabled()) << id;
    f.main->close();
    EXPECT_EQ(f.port->TakeWritten(), "SP");
    // A port failing under way ends the command with its message.
    f.port->SetWriteError(5);
    f.main->Action("mniAux2")->trigger();
    EXPECT_EQ(f.messages.texts(), QStringList({"Write error (Error: 5) "}));
}

TEST(DeviceCommands, ActingAsTextWhenNotConnected) {
    Fixture f;
    f.common->Connection.SetDevice(ModelB2);
    EXPECT_EQ(f.main->Panel(7)->text(), "Device not connected, acting as ModelB  , $0109");
    EXPECT_EQ(f.main->Panel(1)->text(), "Not connected");
    EXPECT_EQ(Config().Instrument.DeviceText, DeviceTextOf(ModelB2));
}

TEST(DeviceCommands, DeviceIdSearchesAndKeepsTheReconnectTimerWhileNotFound) {
    Fixture f;
    f.env.AutoReconnect = true;
    f.link->Open();
    f.common->Connection.SetBaudRates({br115200});
    f.main->Action("mniDeviceID")->trigger();
    EXPECT_EQ(f.main->Panel(7)->text(), "Device not found");
    EXPECT_TRUE(f.main->ReconnectTimer().isActive());
    test::ScriptedPeer peer(*f.port);
    peer.Replies({"ModelF  "});
    f.main->Action("mniDeviceID")->trigger();
    EXPECT_EQ(f.main->Panel(7)->text(), "Found device ModelF  , version 0.0.0.0");
    EXPECT_FALSE(f.main->ReconnectTimer().isActive());
    EXPECT_TRUE(f.messages.entries.empty());
}

TEST(DeviceCommands, FailedDeviceInformationIsReported) {
    Fixture f;
    f.link->Open();
    f.common->Connection.SetBaudRates({br115200});
    test::ScriptedPeer peer(*f.port);
    peer.Replies({"ModelT  ", QByteArray::fromHex("0102010a"), "", "", ""});
    f.main->Action("mniDeviceID")->trigger();
    EXPECT_TRUE(f.link->Connected());
    EXPECT_EQ(f.link->Device(), ModelT2);
    ASSERT_EQ(f.messages.entries.size(), 1u);
    EXPECT_EQ(f.messages.entries[0].text, "Unable to get device information");
    EXPECT_EQ(f.port->TakeWritten(), "WHVERDIDIDI");
}

// Set Device and Communication reach the user while an exchange waits (the
// waits process events): both must be refused, not change the port under it.
TEST(DeviceCommands, SetDeviceAndCommunicationAreRefusedDuringAnExchange) {
    Fixture f;
    f.link->Open();
    f.link->SetConnected(true);
    QTimer::singleShot(50, f.main.get(), [&f] {
        EXPECT_TRUE(f.link->InExchange());
        f.main->Action("mniSetDevice")->trigger();
        f.main->Action("mniCommunication")->trigger();
    });
    f.common->Commands.GetStatus(); // unanswered: waits for its time-out
    const QString busy = "The instrument is busy with a transfer. Wait until it ends, then try again.";
    EXPECT_EQ(f.messages.texts(), QStringList({busy, busy}));
    EXPECT_EQ(f.link->DeviceName(), "ttyMem");
}
