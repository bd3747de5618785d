// tessel-cli compile: the event table and the program image of a protocol
// for a device type, written exactly as the download would send it.
#include "CliTestSupport.h"

#include "compiler/CompilerLibrary.h"
#include "compiler/ProgramImage.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

class CompileCommand : public ::testing::Test {
protected:
    void SetUp() override { SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR"))); }
    void TearDown() override { SetCompilerLibrary(nullptr); }

    CliRun Compile(const QString &protocol, const QString &device, const QString &folder, QStringList extra = {}) {
        return RunCliCommand(QStringList{"compile", SourcePath(protocol), "--device", device, "--ini",
                                         SourcePath("resources/Tessel.ini"), "--include",
                                         SourcePath("resources/include/" + folder + "/")} +
                             extra);
    }
    QByteArray Read(const QString &name) const {
        QFile f(QDir(dir.path("image")).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    bool Has(const QString &name) const { return QFile::exists(QDir(dir.path("image")).filePath(name)); }
    TestDir dir;
};

struct ImageCase {
    const char *protocol;
    const char *device;
    const char *folder;
    int timerWidth;
    bool macros;
    bool voltages;
};

TEST_F(CompileCommand, ImageFilesMatchTheTableForEachDeviceRule) {
    const ImageCase cases[] = {
        {"resources/protocols/LightCurve.p", "ModelG1", "ModelG_0101", 3, true, true},
        {"resources/protocols/LightCurve.p", "ModelE", "ModelE_0000", 2, false, true},
        {"resources/protocols/LightCurve.p", "ModelW", "ModelW_0000", 4, true, false},
        {"resources/protocols/FvFm.p", "ModelH", "ModelH_0100", 4, false, true},
    };
    for (const ImageCase &tc : cases) {
        const CliRun r = Compile(tc.protocol, tc.device, tc.folder, {"--json", "--image", dir.path("image")});
        ASSERT_EQ(r.rc, 0) << tc.device << r.err.toStdString();
        const QJsonObject j = r.json().object();
        EXPECT_EQ(j["result"].toInt(), 0);
        const QJsonArray events = j["events"].toArray();
        QByteArray expectEvents;
        for (const QJsonValue &e : events) {
            const uint state = e["state"].toString().toUInt(nullptr, 16);
            expectEvents += char(state & 0xFF);
            expectEvents += char(state >> 8);
        }
        EXPECT_EQ(Read("events.bin"), expectEvents) << tc.device;
        EXPECT_EQ(Read("timers.bin").size(), events.size() * tc.timerWidth) << tc.device;
        // Contents of these are covered where the image is built.
        EXPECT_EQ(Has("macros.bin"), tc.macros) << tc.device;
        EXPECT_EQ(Has("counts.bin"), tc.macros) << tc.device;
        EXPECT_EQ(Has("voltages.txt"), tc.voltages) << tc.device;
    }
}

TEST_F(CompileCommand, VoltagesComeFromTheAliasVariables) {
    WriteTextFile(dir.path("p.p"), "include \"device.inc\"\n"
                                   "var MeasuringLevel = 10\n"
                                   "var FarRedLevel = 150\n"
                                   "at 1 ms sample A\n");
    const CliRun r =
        RunCliCommand({"compile", dir.path("p.p"), "--device", "ModelG1", "--ini", SourcePath("resources/Tessel.ini"),
                       "--include", SourcePath("resources/include/ModelG_0101/"), "--image", dir.path("image")});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    // ModelG1 has a full scale of 4095: 10 % is 409.5, to the even 410.
    EXPECT_EQ(Read("voltages.txt"), "SA1 410\nSA2 0\nSA3 0\nSA5 0\nSA6 4095\n");
    EXPECT_TRUE(r.out.contains("Result: 0\n"));
    EXPECT_TRUE(r.out.contains("  0  0.001 s  0081\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Samples A: 1  skipped: 0\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("  FarRedLevel = 150\n"));
}

TEST_F(CompileCommand, FailuresAndUsage) {
    WriteTextFile(dir.path("bad.p"), "at 1 s pluse 3\n");
    WriteTextFile(dir.path("twice.p"), "line L = 2\nat 1 ms on L\nat 2 ms on L\n");
    struct Case {
        QStringList args;
        int rc;
        const char *err;
    };
    const Case cases[] = {
        {{"compile"}, 2, "give exactly one protocol file"},
        {{"compile", dir.path("bad.p"), "--device", "ModelZ"}, 2, "unknown device 'ModelZ'"},
        {{"compile", dir.path("bad.p"), "--ini", dir.path("none.ini")}, 1, "no such file"},
        {{"compile", dir.path("bad.p"), "--include", dir.path()}, 1, "Compilation aborted"},
        {{"compile", dir.path("twice.p"), "--include", dir.path()}, 1, "Compilation aborted"},
    };
    for (const Case &tc : cases) {
        const CliRun r = RunCliCommand(tc.args);
        EXPECT_EQ(r.rc, tc.rc) << tc.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(tc.err)) << r.err.toStdString();
    }
    // Errors name the user's file and line, and a bit its name and the lines using it.
    const CliRun r = RunCliCommand({"compile", dir.path("twice.p"), "--include", dir.path()});
    EXPECT_TRUE(r.out.contains("Error at time 0.002 s: Attemting to set bit 2, bit has been already set\n"
                               "  bit 2 is L\n  " +
                               dir.path("twice.p") + ":2: at 1 ms on L\n  " + dir.path("twice.p") +
                               ":3: at 2 ms on L\nResult: 2\n"))
        << r.out.toStdString();
    const CliRun syntax = RunCliCommand({"compile", dir.path("bad.p"), "--include", dir.path()});
    EXPECT_TRUE(syntax.out.contains(dir.path("bad.p") + ":1:8: Expected an action, found 'pluse'\n"))
        << syntax.out.toStdString();
    EXPECT_FALSE(syntax.out.contains("$$$")) << syntax.out.toStdString();
}

// A mark that names no parameter input is built but warned about; the
// duration and what "skipped" means are said.
TEST_F(CompileCommand, MarksDurationAndSkippedSamples) {
    WriteTextFile(dir.path("m.p"), "include \"device.inc\"\n"
                                   "every 1 ms from 0 to 10 ms sample A mark fm\n"
                                   "at 20 ms sample A mark F0\n");
    const CliRun r =
        RunCliCommand({"compile", dir.path("m.p"), "--device", "ModelT2", "--ini", SourcePath("resources/Tessel.ini"),
                       "--include", SourcePath("resources/include/ModelT_0102/")});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, "Warning: mark 'fm' names no parameter input (Fo, Fm, Fs, Fm', Fo'); did you mean Fm?\n");
    EXPECT_TRUE(r.out.contains("Duration: 0.820002 s (to the last event, the return to rest included)\n"));
    EXPECT_TRUE(r.out.contains("Samples B: 0  skipped: 12\n  (skipped: sample slots the instrument clocks but does "
                               "not keep"))
        << r.out.toStdString();
}

} // namespace
