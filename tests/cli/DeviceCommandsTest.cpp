// identify, device-info, status and selftest against the virtual instrument.
#include "../device/SimProcess.h"
#include "CliTestSupport.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::RunCliCommand;

namespace {
QString Ini() {
    return test::SourcePath("resources/Tessel.ini");
}
} // namespace

TEST(DeviceCommands, UsageAndPortErrors) {
    test::TestDir dir;
    for (const char *cmd : {"identify", "device-info", "status", "selftest"}) {
        const auto missing = RunCliCommand({cmd});
        EXPECT_EQ(missing.rc, 2) << cmd;
        EXPECT_TRUE(missing.err.contains("--port is required")) << cmd;
        const auto bad = RunCliCommand({cmd, "--port", dir.path("no-such-tty"), "--ini", Ini()});
        EXPECT_EQ(bad.rc, 1) << cmd;
        EXPECT_TRUE(bad.err.contains("(Error: ")) << bad.err.toStdString();
    }
}

TEST(DeviceCommands, AgainstTheVirtualInstrument) {
    test::TestDir dir;
    test::SimProcess sim({"--device", "ModelT2"});
    ASSERT_FALSE(sim.Terminal.isEmpty());
    const QStringList port{"--port", sim.Terminal, "--ini", Ini()};

    const auto id = RunCliCommand(QStringList{"identify"} + port);
    EXPECT_EQ(id.rc, 0) << id.err.toStdString();
    const QStringList lines = id.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "Searching on " + sim.Terminal + " at 9600 bauds");
    EXPECT_EQ(lines.last(), "Found device ModelT  , version 1.2.1.10");

    const auto info = RunCliCommand(QStringList{"device-info", "--json"} + port);
    ASSERT_EQ(info.rc, 0) << info.err.toStdString();
    const QJsonObject j = info.json().object();
    EXPECT_EQ(j["device"].toString(), "ModelT2");
    EXPECT_EQ(j["source"].toString(), "instrument");
    EXPECT_GT(j["TimerBits"].toInt(), 0);
    EXPECT_EQ(j["Bounds"].toArray().size(), 16);
    EXPECT_TRUE(j["Bounds"].toArray()[0].toObject()["SpaceMin"].toObject().contains("IsError"));

    const auto text = RunCliCommand(QStringList{"device-info"} + port);
    EXPECT_EQ(text.rc, 0);
    EXPECT_TRUE(text.out.contains("Timer Parameters\n  TimerBits "));
    EXPECT_TRUE(text.out.contains("Bit No.\tLo Min\tLo Max\tHi Min\tHi Max\n"));

    const auto status = RunCliCommand(QStringList{"status"} + port);
    EXPECT_EQ(status.rc, 0);
    EXPECT_EQ(status.out, "5 Empty\n");

    const auto self = RunCliCommand(QStringList{"selftest"} + port);
    EXPECT_EQ(self.rc, 0) << self.err.toStdString();
    EXPECT_FALSE(self.out.trimmed().isEmpty());
}

TEST(DeviceCommands, UnknownTypeIsNotConnected) {
    test::SimProcess sim({"--device", "ModelB1"});
    ASSERT_FALSE(sim.Terminal.isEmpty());
    const auto id = RunCliCommand({"identify", "--json", "--port", sim.Terminal, "--ini", Ini()});
    EXPECT_EQ(id.rc, 1);
    const QJsonObject j = id.json().object();
    EXPECT_FALSE(j["connected"].toBool());
    EXPECT_EQ(j["messages"].toArray().last().toString(), "Found device ModelB  , version 1.8.0.0 - device unknown");
    const auto status = RunCliCommand({"status", "--port", sim.Terminal, "--ini", Ini()});
    EXPECT_EQ(status.rc, 1);
    EXPECT_EQ(status.err, "Found device ModelB  , version 1.8.0.0 - device unknown\n");
}
