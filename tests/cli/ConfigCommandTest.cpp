#include "CliTestSupport.h"
#include "device/DeviceTypes.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

TEST(CliConfig, JsonUsesTheConfigurationNames) {
    TestDir dir;
    const QString ini = dir.path("Tessel.ini");
    WriteTextFile(ini, "[ModelW  /$0000/Consts]\nTimeBase=2.5e-8\nBitResA=99\n"
                       "[ModelW  /$0000/EventBounds]\nBit2=1e-6;1;2e-6;3;EwEw\n[Aliases]\nDAC1=ActinicLevel\n");
    const CliRun r = RunCliCommand({"config", "--ini", ini, "--device", "ModelW", "--json"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    const QJsonObject j = r.json().object();
    EXPECT_EQ(j["DeviceText"].toString(), "ModelW  /$0000/");
    EXPECT_EQ(j["Consts"]["TimeBase"].toDouble(), 2.5e-8);
    EXPECT_EQ(j["Consts"]["BitResA"].toInt(), 64);
    EXPECT_EQ(j["Consts"]["SamplesPerEventA"].toInt(), 1);
    const QJsonObject bit2 = j["EventBounds"].toArray()[2].toObject();
    EXPECT_EQ(bit2["SpaceMin"]["Limit"].toDouble(), 1e-6);
    EXPECT_TRUE(bit2["SpaceMin"]["IsError"].toBool());
    EXPECT_FALSE(bit2["SpaceMax"]["IsError"].toBool());
    EXPECT_TRUE(bit2["PulseMin"]["IsError"].toBool());
    EXPECT_EQ(j["Aliases"]["DAC1"].toString(), "ActinicLevel");
    EXPECT_EQ(j["Aliases"]["DAC6"].toString(), "DAC6");
    EXPECT_EQ(j["Main"]["MaxSignals"].toInt(), 10);
    EXPECT_EQ(j["Main"]["DePrnCol"].toArray().size(), 17);
    EXPECT_EQ(j["GraphBounds"]["XLogFloor"].toDouble(), 1e-9);
    EXPECT_EQ(j["SignalBounds"]["YLinCeil"].toDouble(), 1e6);
}

TEST(CliConfig, IniReportGoesToStderrWordForWord) {
    TestDir dir;
    const QString ini = dir.path("Tessel.ini");
    WriteTextFile(ini, "[X/Consts]\nMoChA=abc\n");
    const CliRun r = RunCliCommand({"config", "--ini", ini, "--device-text", "X/"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.err, "Error in Ini File: " + ini + "\n\r Section: X/Consts,  Key: MoChA  , Read: abc  , Default 1\n");
    EXPECT_TRUE(r.out.contains("MoChA = 1\n"));
}

TEST(CliConfig, UsageAndFailureExitCodes) {
    struct {
        QStringList args;
        int rc;
    } cases[] = {
        {{}, 2},
        {{"nosuch"}, 2},
        {{"--version"}, 0},
        {{"config", "--bogus"}, 2},
        {{"config", "extra"}, 2},
        {{"config", "--device", "ModelZZ"}, 2},
        {{"config", "--device", "ModelF", "--device-text", "x"}, 2},
        {{"config", "--ini", "/no/such/Tessel.ini"}, 1},
        {{"config", "--help"}, 0},
    };
    for (const auto &c : cases) {
        const CliRun r = RunCliCommand(c.args);
        EXPECT_EQ(r.rc, c.rc) << c.args.join(' ').toStdString();
        if (c.rc != 0) {
            EXPECT_FALSE(r.err.isEmpty());
        }
    }
}

TEST(CliConfig, ShippedIniDescribesEveryKnownDevice) {
    const QString ini = SourcePath("resources/Tessel.ini");
    for (int d = 0; d < kDeviceCount; ++d) {
        if (!StoredKnownDevices().contains(TDevice(d)))
            continue;
        const CliRun r = RunCliCommand({"config", "--ini", ini, "--device-text", DeviceTextOf(TDevice(d)), "--json"});
        ASSERT_EQ(r.rc, 0);
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        EXPECT_GT(r.json()["Consts"]["MaxEvents"].toInt(), 1024);
    }
}
