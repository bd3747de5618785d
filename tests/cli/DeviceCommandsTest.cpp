// identify, device-info, status and selftest against the virtual instrument.
#include "../device/SimProcess.h"
#include "CliTestSupport.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::RunCliCommand;

namespace {
QString Ini() { return test::SourcePath("resources/Tessel.ini"); }
} // namespace

TEST(DeviceCommands, UsageAndPortErrors) {
    test::TestDir dir;
    for (const char *cmd : {"identify", "device-info", "status", "selftest"}) {
        const auto missing = RunCliCommand({cmd});
        EXPECT_EQ(missing.rc, 2) << cmd;
        EXPECT_TRUE(missing.err.contains("--port is required")) << cmd;
        const auto bad = RunCliCommand({cmd, "--port", dir.path("no-such-tty"), "--ini", Ini()});
        EXPECT_EQ(bad.rc, 1) << cmd;
        EXPECT_TRUE(bad.err.startsWith("Error accessing specified device (Error: 2): " + dir.path("no-such-tty") +
                                       ": No such file or directory\n"))
            << bad.err.toStdString();
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

// Every fault of the virtual instrument against the subcommands: no hang (each
// run ends within its bound), the right exit code and message, and, where the
// line still exists, the instrument answers again afterwards.
TEST(DeviceCommands, FaultMatrix) {
    struct Case {
        QStringList simArgs;
        QStringList command;
        int rc;
        const char *message; // part of stderr ("" for none)
        qint64 boundMs;
        bool lineStays;
    };
    test::TestDir dir;
    const QString image = dir.path("boot.bin");
    test::WriteTextFile(image, QString(10000, QChar('x')));
    const QStringList upload{"upload", "--bios", image};
    const Case cases[] = {
        {{"--hangup-in", "WH"}, {"identify"}, 1, "Connection lost on ", 3000, false},
        // A hang-up armed for a command identification never sends leaves it alone.
        {{"--hangup-in", "MO"}, {"identify"}, 0, "", 3000, true},
        {{"--device", "ModelU", "--hangup-in", "LDP:100"}, upload, 1, "Upload failed", 4000, false},
        {{"--device", "ModelU", "--ignore-block", "1"}, upload, 1, "Upload failed", 4000, true},
        {{"--hangup-in", "WD"}, {"status"}, 1, "Connection lost on ", 3000, false},
        {{"--hangup-in", "TST:20"}, {"selftest"}, 1, "Connection lost on ", 3000, false},
        {{"--hangup-in", "DI:100"}, {"device-info"}, 1, "Connection lost on ", 4000, false},
        {{"--garbage-every", "1"}, {"selftest"}, 1, "Self test did not pass: ", 4000, false},
        {{"--bad-info-checksum"}, {"device-info"}, 1, "Unable to get device information: no valid record", 6000, true},
        {{"--status-reply", "E1"}, {"status", "--json"}, 1, "The instrument reports E1", 3000, false},
        {{"--status-reply", "ER"}, {"status"}, 1, "The instrument reports Error", 3000, false},
        {{"--status-reply", "WE"}, {"status"}, 0, "", 3000, false},
        {{"--need-wakeup"}, {"identify"}, 1, "baud. Check that the instrument is switched on", 6000, false},
        {{"--need-wakeup"}, {"identify", "--wake"}, 0, "", 6000, true},
    };
    for (const Case &c : cases) {
        const QString name = (c.simArgs + c.command).join(' ');
        // At the first rate tried, so that identification takes no time of its own.
        test::SimProcess sim(QStringList{"--device", "ModelT2", "--baud", "9600"} + c.simArgs);
        ASSERT_FALSE(sim.Terminal.isEmpty()) << name.toStdString();
        const QStringList port{"--port", sim.Terminal, "--ini", Ini()};
        QElapsedTimer t;
        t.start();
        const auto r = RunCliCommand(c.command + port);
        EXPECT_LT(t.elapsed(), c.boundMs) << name.toStdString();
        EXPECT_EQ(r.rc, c.rc) << name.toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.message))) << name.toStdString() << ": " << r.err.toStdString();
        if (c.lineStays) {
            const auto again = RunCliCommand(QStringList{"status"} + port);
            EXPECT_EQ(again.rc, 0) << name.toStdString() << ": " << again.err.toStdString();
        }
    }
    // The JSON forms of status and selftest.
    test::SimProcess sim({"--device", "ModelT2"});
    const QStringList port{"--port", sim.Terminal, "--ini", Ini()};
    const auto status = RunCliCommand(QStringList{"status", "--json"} + port);
    EXPECT_EQ(status.json().object()["text"].toString(), "Empty");
    const auto self = RunCliCommand(QStringList{"selftest", "--json"} + port);
    EXPECT_EQ(self.rc, 0) << self.err.toStdString();
    EXPECT_TRUE(self.json().object()["passed"].toBool());
    EXPECT_FALSE(self.json().object()["lines"].toArray().isEmpty());
}
