// Identification, instrument type, stored settings and the device
// information record, on the serial test double.
#include "LinkTestSupport.h"
#include "ScriptedPeer.h"
#include "common/Log.h"
#include "device/MemoryCommPort.h"
#include "device/PortList.h"
#include "settings/Registry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::ScriptedPeer;
using tessel::test::TestLink;

namespace {

QByteArray Hex(const char *hex) {
    return QByteArray::fromHex(hex);
}

struct Link {
    test::TestDir dir;
    TMemoryCommPort *port = nullptr;
    std::unique_ptr<TestLink> link;
    QStringList messages;
    int connectedChanges = 0, deviceChanges = 0;
    Link() {
        OpenLog(dir.path("logfile.txt"));
        auto p = std::make_unique<TMemoryCommPort>();
        port = p.get();
        link = std::make_unique<TestLink>(std::move(p), "ttyMem");
        link->OnMessage = [this](TCustomComm *, const QString &m) { messages.append(m); };
        link->OnConnectedChanged = [this](TCustomComm *) { ++connectedChanges; };
        link->OnDeviceChanged = [this](TCustomComm *) { ++deviceChanges; };
    }
    ~Link() { CloseLog(); }
    // An instrument that answers "WH" and "VER" only at one line speed.
    void Instrument(QByteArray id, QByteArray version, int baud) {
        peer = std::make_unique<ScriptedPeer>(*port);
        peer->SetRule([this, id, version, baud](const QByteArray &w) -> QByteArray {
            if (int(port->State().BaudRate) != baud)
                return {};
            if (w == "WH")
                return id;
            if (w == "VER")
                return version;
            return {};
        });
    }
    std::unique_ptr<ScriptedPeer> peer;
};

} // namespace

TEST(Connection, BaudRateList) {
    struct Case {
        const char *text;
        TEnumSet<TBaudrate> rates;
    } cases[] = {
        {"9600, 115200", {br9600, br115200}},
        {"19200,abc,57600", {br19200, br57600}},
        {"10000", {br14400}},
        {"110,111,128000,128001", {br110, br300, br128000, br256000}},
        {"", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ParseBaudRates(c.text), c.rates) << c.text;
    test::TestDir dir;
    const QString ini = dir.path("Tessel.ini");
    test::WriteTextFile(ini, "[Communication]\nBaudRates= 2400 , 38400\n");
    TestLink link(std::make_unique<TMemoryCommPort>());
    link.LoadBaudRates(ini);
    EXPECT_EQ(link.BaudRates(), (TEnumSet<TBaudrate>{br2400, br38400}));
    link.LoadBaudRates(dir.path("missing.ini"));
    EXPECT_TRUE(link.BaudRates().empty());
}

TEST(Connection, SearchFindsTheOneRateThatAnswers) {
    Link l;
    l.link->Open();
    l.link->SetBaudRates({br9600, br57600, br115200});
    l.Instrument("ModelT  ", Hex("0102010a"), 57600);
    EXPECT_TRUE(l.link->Connect(true, false));
    EXPECT_EQ(l.link->Device(), ModelT2);
    EXPECT_EQ(l.link->BaudRate(), br57600);
    EXPECT_EQ(l.messages, QStringList({"Searching on ttyMem at 9600 bauds", "Searching on ttyMem at 57600 bauds",
                                       "Found device ModelT  , version 1.2.1.10"}));
    EXPECT_EQ(l.connectedChanges, 1);
    EXPECT_EQ(l.deviceChanges, 1);
    EXPECT_TRUE(l.link->NeedsResetMacros());
    EXPECT_EQ(l.port->TakeWritten(), "WHWHVER");
    const QStringList log = test::ReadTextFile(l.dir.path("logfile.txt")).split('\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(log.contains("id: ver:0 result:0"));
    EXPECT_TRUE(log.contains("id:ModelT   ver:258 result:1"));
    EXPECT_EQ(log.last(), "FConnected: 1");
    // Asked again: connected already, same type: no events.
    EXPECT_TRUE(l.link->Connect(false, false));
    EXPECT_EQ(l.connectedChanges, 1);
    EXPECT_EQ(l.deviceChanges, 1);
}

TEST(Connection, KnownAndUnknownTypes) {
    TKnownDevices withB2 = StoredKnownDevices();
    withB2.insert(ModelB2);
    struct Case {
        const char *name;
        QByteArray id, version;
        TKnownDevices known;
        bool connected;
        TDevice device;
        QString message;
        QByteArray written;
    } cases[] = {
        {"B2 known", "ModelB  ", Hex("01090000"), withB2, true, ModelB2, "Found device ModelB  , version 1.9.0.0",
         "WHVER"},
        {"B1 unknown", "ModelB  ", Hex("01080000"), StoredKnownDevices(), false, ModelF,
         "Found device ModelB  , version 1.8.0.0 - device unknown", "WHVER"},
        {"F without version", "ModelF  ", Hex("09090909"), StoredKnownDevices(), true, ModelF,
         "Found device ModelF  , version 0.0.0.0", "WH"},
        {"B with unlisted version", "ModelB  ", Hex("07070000"), StoredKnownDevices(), false, ModelF,
         "Device not found", "WHVER"},
        {"silent", "", "", StoredKnownDevices(), false, ModelF, "Device not found", "WH"},
        {"wrong case", "modelF  ", "", StoredKnownDevices(), false, ModelF, "Device not found", "WH"},
    };
    for (const Case &c : cases) {
        Link l;
        l.link->Open();
        l.link->SetKnownDevices(c.known);
        l.link->SetBaudRates({br115200});
        l.Instrument(c.id, c.version, 115200);
        EXPECT_EQ(l.link->Connect(true, false), c.connected) << c.name;
        EXPECT_EQ(l.link->Device(), c.device) << c.name;
        EXPECT_EQ(l.messages.last(), c.message) << c.name;
        EXPECT_EQ(l.port->TakeWritten(), c.written) << c.name;
        EXPECT_EQ(l.connectedChanges, c.connected ? 1 : 0) << c.name;
    }
    EXPECT_EQ(DeviceInfo(ModelB2).blockSize, 4096);
    EXPECT_EQ(DeviceInfo(ModelB1).blockSize, 16384);
}

TEST(Connection, NoRatesOrClosedPortFindNothingAndLoseTheConnection) {
    Link l;
    l.link->Open();
    l.link->SetConnected(true);
    l.link->SetBaudRates({});
    EXPECT_FALSE(l.link->Connect(true, true));
    EXPECT_EQ(l.messages, QStringList({"Device not found"}));
    EXPECT_EQ(l.connectedChanges, 1);
    EXPECT_TRUE(l.port->TakeWritten().isEmpty());
}

TEST(Connection, WakeUpPrecedesEachIdentification) {
    Link l;
    l.link->Open();
    l.link->SetBaudRates({br115200});
    l.Instrument("ModelF  ", "", 115200);
    EXPECT_TRUE(l.link->Connect(false, true));
    EXPECT_EQ(l.port->TakeWritten(), QByteArray(200, char(0xAA)) + "WH");
    EXPECT_TRUE(l.messages.isEmpty());
}

TEST(Connection, SetDeviceEvents) {
    Link l;
    l.link->SetConnected(true);
    l.link->SetDevice(ModelF); // the current type
    EXPECT_EQ(l.connectedChanges, 0);
    EXPECT_EQ(l.deviceChanges, 1);
    EXPECT_TRUE(l.link->Connected());
    l.link->SetDevice(ModelW);
    EXPECT_EQ(l.connectedChanges, 1);
    EXPECT_EQ(l.deviceChanges, 2);
    EXPECT_FALSE(l.link->Connected());
    EXPECT_EQ(l.link->DeviceText(), "ModelW  /$0000/");
}

TEST(Connection, DefaultDeviceOnlyWhileLoading) {
    TestLink link(std::make_unique<TMemoryCommPort>());
    link.SetDefaultDevice(ModelA);
    EXPECT_EQ(link.DefaultDevice(), ModelF);
    EXPECT_FALSE(link.KnownDevices().contains(ModelA));
    link.BeginLoading();
    link.SetDefaultDevice(ModelB3);
    link.EndLoading();
    EXPECT_EQ(link.DefaultDevice(), ModelB3);
    EXPECT_TRUE(link.KnownDevices().contains(ModelB3));
    EXPECT_EQ(link.Device(), ModelB3);
}

TEST(Connection, StoredSettings) {
    const QString key = "Software\\KRT\\Tessel\\2.90\\frmMain";
    // Nothing stored and no --port: the port stays closed.
    {
        Link l;
        l.link->LoadSettings(key);
        EXPECT_FALSE(l.link->IsOpen());
    }
    // Nothing stored, a preferred port: opened and asked.
    {
        Link l;
        l.link->SetPreferredPort("/dev/pts/77");
        l.link->SetBaudRates({br115200});
        l.Instrument("ModelF  ", "", 115200);
        l.link->LoadSettings(key);
        EXPECT_EQ(l.port->OpenedName(), "/dev/pts/77");
        EXPECT_TRUE(l.link->Connected());
        // Saved, then read back by the next start.
        l.link->SaveSettings(key);
        TPRegistry reg;
        EXPECT_EQ(reg.ReadString(key + "\\Communication", "Port"), "/dev/pts/77");
        EXPECT_EQ(reg.ReadInteger(key + "\\Communication", "AskDevice"), 1);
        EXPECT_TRUE(StoredPortPaths(key).contains("/dev/pts/77"));
        reg.WriteString(key + "\\Communication", "Port", "ttyStored");
        reg.WriteInteger(key + "\\Communication", "AskDevice", 0);
        reg.Flush();
        l.link->LoadSettings(key);
        EXPECT_EQ(l.port->OpenedName(), "ttyStored");
        EXPECT_FALSE(l.link->AskDevice);
        // Failing to open shows the dialog instead.
        int dialogs = 0;
        l.link->SetupDialog = [&] {
            ++dialogs;
            return false;
        };
        l.port->SetOpenError(2);
        l.link->LoadSettings(key);
        EXPECT_EQ(dialogs, 1);
        EXPECT_FALSE(l.link->IsOpen());
        // A missing value shows it too.
        l.port->SetOpenError(0);
        reg.DeleteValue(key + "\\Communication", "AskDevice");
        reg.Flush();
        l.link->LoadSettings(key);
        EXPECT_EQ(dialogs, 2);
        // The dialog's port choice: a failure closes the port quietly.
        l.port->SetOpenError(2);
        l.link->ApplyPort("ttyBad");
        EXPECT_FALSE(l.link->IsOpen());
        EXPECT_EQ(l.link->DeviceName(), "ttyBad");
    }
}

TEST(Connection, PortList) {
    EXPECT_EQ(BuildPortList({}, {}), QStringList({kFallbackPort}));
    EXPECT_EQ(BuildPortList({"/dev/ttyS0", "/dev/ttyUSB0"}, {" /dev/pts/3 ", "/dev/ttyUSB0", ""}),
              QStringList({"/dev/ttyS0", "/dev/ttyUSB0", "/dev/pts/3"}));
}
