// identify, device-info, status, selftest, upload and keys against the virtual
// instrument.
#include "../device/SimProcess.h"
#include "CliTestSupport.h"

#include <QElapsedTimer>
#include <QThread>

using namespace tessel;
using namespace tessel::test;

namespace {
QString Ini() { return SourcePath("resources/Tessel.ini"); }

// At the first rate the shipped ini tries, so that identification takes no time of its own.
struct Instrument {
    SimProcess sim;
    QStringList port;
    explicit Instrument(const QStringList &args)
        : sim(QStringList{"--baud", "9600"} + args), port{"--port", sim.Terminal, "--ini", Ini()} {}
};

// The instrument's log once it holds `last`: it reads the line a moment after the command returned.
QString LogHolding(const QString &log, const QString &last) {
    for (int i = 0; i < 500 && !ReadTextFile(log).contains(last); ++i)
        QThread::msleep(20);
    return ReadTextFile(log);
}
} // namespace

TEST(DeviceCommands, AgainstTheVirtualInstrument) {
    TestDir dir;
    const CliRun bad = RunCliCommand({"status", "--port", dir.path("no-such-tty"), "--ini", Ini()});
    EXPECT_EQ(bad.rc, 1);
    EXPECT_TRUE(bad.err.startsWith("Error accessing specified device (Error: 2): " + dir.path("no-such-tty") +
                                   ": No such file or directory\n"))
        << bad.err.toStdString();

    const Instrument t({"--device", "ModelT2"});
    ASSERT_FALSE(t.sim.Terminal.isEmpty());
    const CliRun id = RunCliCommand(QStringList{"identify"} + t.port);
    EXPECT_EQ(id.rc, 0) << id.err.toStdString();
    EXPECT_TRUE(id.out.startsWith("Searching on " + t.sim.Terminal + " at 9600 bauds\n")) << id.out.toStdString();
    EXPECT_TRUE(id.out.endsWith("\nFound device ModelT  , version 1.2.1.10\n")) << id.out.toStdString();

    const QJsonObject info = RunCliCommand(QStringList{"device-info", "--json"} + t.port).json().object();
    EXPECT_EQ(info["device"].toString(), "ModelT2");
    EXPECT_EQ(info["Bounds"].toArray().size(), 16);
    const CliRun text = RunCliCommand(QStringList{"device-info"} + t.port);
    EXPECT_TRUE(text.out.contains("Bit No.\tLo Min\tLo Max\tHi Min\tHi Max\n")) << text.err.toStdString();

    EXPECT_EQ(RunCliCommand(QStringList{"status"} + t.port).out, "5 Empty\n");
    const CliRun selfJson = RunCliCommand(QStringList{"selftest", "--json"} + t.port);
    EXPECT_TRUE(selfJson.json()["passed"].toBool()) << selfJson.err.toStdString();
}

// A fault of the virtual instrument per subcommand: the exit code and message
// the command gives. The link's own handling of each fault is pinned with the
// link; here a run must only end: the bound is many times the link's 1 s
// time-outs, so that only a hang exceeds it.
TEST(DeviceCommands, FaultMatrix) {
    struct Case {
        QStringList simArgs;
        QStringList command;
        int rc;
        const char *message; // part of stderr ("" for none)
    };
    TestDir dir;
    const QString image = dir.path("boot.bin");
    WriteTextFile(image, QString(10000, QChar('x')));
    const QStringList upload{"upload", "--bios", image};
    const Case cases[] = {
        {{"--hangup-in", "WH"}, {"identify", "--json"}, 1, "Connection lost on "},
        {{"--device", "ModelB1"}, {"status"}, 1, "Found device ModelB  , version 1.8.0.0 - device unknown\n"},
        {{"--device", "ModelU", "--ignore-block", "1"}, upload, 1, "Upload failed"},
        {{"--hangup-in", "TST:20"}, {"selftest"}, 1, "Connection lost on "},
        {{"--garbage-every", "1"}, {"selftest"}, 1, "Self test did not pass: "},
        {{"--bad-info-checksum"}, {"device-info"}, 1, "Unable to get device information: no valid record"},
        {{"--status-reply", "E1"}, {"status", "--json"}, 1, "The instrument reports E1"},
        {{"--status-reply", "WE"}, {"status"}, 0, ""},
        {{"--need-wakeup"}, {"identify"}, 1, "baud. Check that the instrument is switched on"},
        {{"--need-wakeup"}, {"identify", "--wake"}, 0, ""},
    };
    constexpr qint64 kNoHangMs = 30000;
    for (const Case &c : cases) {
        SCOPED_TRACE((c.simArgs + c.command).join(' ').toStdString());
        const Instrument i(QStringList{"--device", "ModelT2"} + c.simArgs);
        ASSERT_FALSE(i.sim.Terminal.isEmpty());
        QElapsedTimer t;
        t.start();
        const CliRun r = RunCliCommand(c.command + i.port);
        EXPECT_LT(t.elapsed(), kNoHangMs);
        EXPECT_EQ(r.rc, c.rc) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.message))) << r.err.toStdString();
    }
}

TEST(ServiceCommands, UploadAndKeysOnlyWhatTheTypeTakes) {
    TestDir dir;
    const QString image = dir.path("boot.bin");
    WriteTextFile(image, QString(10000, QChar('Z')));
    // Usage errors come before the instrument is asked.
    ExpectExitCodes({{{"upload", "--bios", "a", "--firmware", "b", "--port", "/dev/null"}, 2},
                     {{"keys", "--level", "4=10", "--port", "/dev/null"}, 2},
                     {{"keys", "--fire", "AX7", "--port", "/dev/null"}, 2}});
    const Instrument u({"--device", "ModelU"});
    const auto r = RunCliCommand(QStringList{"upload", "--bios", image, "--json"} + u.port);
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.json()["result"].toString(), "programmed");
    EXPECT_EQ(r.json()["sent"].toInt(), 10000);
    EXPECT_TRUE(r.err.contains("Uploading program...\nSent 4096 of 10000 bytes (40 %)\n"
                               "Sent 8192 of 10000 bytes (80 %)\nSent 10000 of 10000 bytes (100 %)\n"
                               "Programming flash...\nProgramming completed successfully.\n"))
        << r.err.toStdString();

    const QString tLog = dir.path("t.log"), wLog = dir.path("w.log");
    const Instrument t({"--device", "ModelT2", "--log", tLog});
    const auto refused = RunCliCommand(QStringList{"upload", "--firmware", image} + t.port);
    EXPECT_EQ(refused.rc, 1);
    EXPECT_EQ(refused.out, "refused\n");
    EXPECT_EQ(refused.err, "ModelT2 takes no firmware image; firmware updates are for ModelR1, ModelR2, ModelS1 "
                           "and ModelS2\n");
    const auto keys = RunCliCommand(
        QStringList{"keys", "--level", "1=512", "--level", "6=1023", "--fire", "BF1", "--fire", "ax3"} + t.port);
    ASSERT_EQ(keys.rc, 0) << keys.err.toStdString();
    EXPECT_EQ(keys.out,
              "reset macros\nSA1 512 (50 %)\nSA2 0 (0 %)\nSA3 0 (0 %)\nSA5 0 (0 %)\nSA6 1023 (100 %)\nBF1\nAX3\n");
    const QString sent = LogHolding(tLog, "> AX3");
    EXPECT_TRUE(sent.contains("> AX3 (line 6 on)")); // the instrument got the last one
    EXPECT_FALSE(sent.contains("> LDP"));            // nor the refused image

    const Instrument w({"--device", "ModelW", "--log", wLog});
    const auto five = RunCliCommand(QStringList{"keys", "--level", "5=100"} + w.port);
    EXPECT_EQ(five.rc, 1);
    EXPECT_EQ(five.err, "ModelW has no level 5\n");
    EXPECT_FALSE(LogHolding(wLog, "> WH").contains("> SA"));
}
