// Identification, instrument type and stored settings on the serial test double.
#include "ScriptedPeer.h"
#include "device/PortList.h"
#include "settings/Registry.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::MemoryLink;

namespace {
using test::Hex;

// An instrument that answers "WH" and "VER" at one line speed only.
void Instrument(MemoryLink &l, QByteArray id, QByteArray version, int baud) {
    l.peer = std::make_unique<test::ScriptedPeer>(*l.port);
    l.peer->SetRule([&l, id, version, baud](const QByteArray &w) -> QByteArray {
        if (int(l.port->State().BaudRate) != baud)
            return {};
        return w == "WH" ? id : w == "VER" ? version : QByteArray();
    });
}
} // namespace

TEST(Connection, BaudRateAndPortLists) {
    const std::pair<const char *, TEnumSet<TBaudrate>> cases[] = {
        {" 19200,abc, 57600", {br19200, br57600}},
        {"110,111,128000,128001", {br110, br300, br128000, br256000}}, // a value between rates rounds up
    };
    for (const auto &[text, rates] : cases)
        EXPECT_EQ(ParseBaudRates(text), rates) << text;
    // The port list: found ports first, then the stored ones, each once.
    EXPECT_EQ(BuildPortList({}, {}), QStringList({kFallbackPort}));
    EXPECT_EQ(BuildPortList({"/dev/ttyS0", "/dev/ttyUSB0"}, {" /dev/pts/3 ", "/dev/ttyUSB0", ""}),
              QStringList({"/dev/ttyS0", "/dev/ttyUSB0", "/dev/pts/3"}));
}

TEST(Connection, SearchFindsTheOneRateThatAnswers) {
    MemoryLink l(ModelF, false);
    l.link->Open();
    l.conn->SetBaudRates({br9600, br57600, br115200});
    Instrument(l, "ModelT  ", Hex("0102010a"), 57600);
    EXPECT_TRUE(l.conn->Connect(true, false));
    EXPECT_EQ(l.link->Device(), ModelT2);
    EXPECT_EQ(l.link->BaudRate(), br57600);
    EXPECT_EQ(l.messages, QStringList({"Searching on ttyMem at 9600 bauds", "Searching on ttyMem at 57600 bauds",
                                       "Found device ModelT  , version 1.2.1.10"}));
    EXPECT_EQ(std::pair(l.connectedChanges, l.deviceChanges), std::pair(1, 1));
    EXPECT_TRUE(l.cmd->NeedsResetMacros());
    EXPECT_EQ(l.port->TakeWritten(), "WHWHVER");
    EXPECT_EQ(l.Log(), QStringList({"id: ver:0 result:0", "id:ModelT   ver:258 result:1", "FConnected: 1"}));
    // Asked again with the same answer: no events.
    EXPECT_TRUE(l.conn->Connect(false, true));
    EXPECT_EQ(std::pair(l.connectedChanges, l.deviceChanges), std::pair(1, 1));
}

TEST(Connection, KnownAndUnknownTypes) {
    TKnownDevices withB2 = StoredKnownDevices();
    withB2.insert(ModelB2);
    const std::tuple<const char *, QByteArray, QByteArray, TKnownDevices, TDevice, QString, QByteArray> cases[] = {
        {"B2 known", "ModelB  ", Hex("01090000"), withB2, ModelB2, "Found device ModelB  , version 1.9.0.0", "WHVER"},
        {"B1 unknown", "ModelB  ", Hex("01080000"), StoredKnownDevices(), ModelB1,
         "Found device ModelB  , version 1.8.0.0 - device unknown", "WHVER"},
        {"F without version", "ModelF  ", Hex("09090909"), StoredKnownDevices(), ModelF,
         "Found device ModelF  , version 0.0.0.0", "WH"},
        {"unlisted version", "ModelB  ", Hex("07070000"), StoredKnownDevices(), ModelA, "Device not found", "WHVER"},
        {"silent", "", "", StoredKnownDevices(), ModelA, "Device not found", "WH"},
    };
    for (const auto &[name, id, version, known, type, message, written] : cases) {
        MemoryLink l(ModelA);
        l.link->SetConnected(false);
        l.conn->SetKnownDevices(known);
        l.conn->SetBaudRates({br115200});
        Instrument(l, id, version, 115200);
        const bool connected = known.contains(type) && type != ModelA;
        EXPECT_EQ(l.conn->Connect(true, false), connected) << name;
        // The type changes only with a connection.
        EXPECT_EQ(l.link->Device(), connected ? type : ModelA) << name;
        EXPECT_EQ(l.messages.last(), message) << name;
        EXPECT_EQ(l.port->TakeWritten(), written) << name;
        EXPECT_EQ(l.connectedChanges, connected ? 1 : 0) << name;
    }
}

// A failed search on a connected link says so and announces the change.
TEST(Connection, NothingFoundEndsTheConnection) {
    MemoryLink l;
    l.conn->SetBaudRates({});
    EXPECT_FALSE(l.conn->Connect(true, true));
    EXPECT_EQ(l.messages, QStringList({"Device not found"}));
    EXPECT_EQ(l.connectedChanges, 1);
}

TEST(Connection, DeviceSelection) {
    MemoryLink l(ModelF);
    l.conn->SetDevice(ModelF); // the current type
    EXPECT_EQ(std::pair(l.connectedChanges, l.deviceChanges), std::pair(0, 1));
    EXPECT_TRUE(l.link->Connected());
    l.conn->SetDevice(ModelW);
    EXPECT_EQ(std::pair(l.connectedChanges, l.deviceChanges), std::pair(1, 2));
    EXPECT_FALSE(l.link->Connected());
    EXPECT_EQ(l.conn->DeviceText(), "ModelW  /$0000/");
    // The default type changes only while loading.
    l.conn->SetDefaultDevice(ModelA);
    EXPECT_EQ(l.conn->DefaultDevice(), ModelF);
    l.conn->BeginLoading();
    l.conn->SetDefaultDevice(ModelB3);
    l.conn->EndLoading();
    EXPECT_TRUE(l.conn->KnownDevices().contains(ModelB3));
    EXPECT_EQ(l.link->Device(), ModelB3);
}

TEST(Connection, StoredSettings) {
    const QString key = "Software\\KRT\\Tessel\\2.90\\frmMain";
    MemoryLink l(ModelF, false);
    l.conn->LoadSettings(key);
    EXPECT_FALSE(l.link->IsOpen()); // nothing stored, no --port
    // Nothing stored, a preferred port: opened and asked; saved for the next start.
    l.conn->SetPreferredPort("/dev/pts/77");
    l.conn->SetBaudRates({br115200});
    Instrument(l, "ModelF  ", "", 115200);
    l.conn->LoadSettings(key);
    EXPECT_EQ(l.port->OpenedName(), "/dev/pts/77");
    EXPECT_TRUE(l.link->Connected());
    l.conn->SaveSettings(key);
    TPRegistry reg;
    EXPECT_EQ(reg.ReadString(key + "\\Communication", "Port"), "/dev/pts/77");
    EXPECT_EQ(reg.ReadInteger(key + "\\Communication", "AskDevice"), 1);
    EXPECT_TRUE(StoredPortPaths(key).contains("/dev/pts/77"));
    // What is stored wins over the preferred port.
    reg.WriteString(key + "\\Communication", "Port", "ttyStored");
    reg.WriteInteger(key + "\\Communication", "AskDevice", 0);
    reg.Flush();
    l.conn->LoadSettings(key);
    EXPECT_EQ(l.port->OpenedName(), "ttyStored");
    EXPECT_FALSE(l.conn->AskDevice);
    // A port that fails to open, or a missing value, shows the dialog instead.
    int dialogs = 0;
    l.conn->SetupDialog = [&] { return ++dialogs > 0; };
    l.port->SetOpenError(2);
    l.conn->LoadSettings(key);
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(l.link->IsOpen());
    l.port->SetOpenError(0);
    reg.DeleteValue(key + "\\Communication", "AskDevice");
    reg.Flush();
    l.conn->LoadSettings(key);
    EXPECT_EQ(dialogs, 2);
    // The dialog's port choice: a failure closes the port quietly.
    l.port->SetOpenError(2);
    l.conn->ApplyPort("ttyBad");
    EXPECT_FALSE(l.link->IsOpen());
    EXPECT_EQ(l.link->DeviceName(), "ttyBad");
}
