// The protocol language's subcommands: compile (the event table and the
// program image of a protocol for a device type, written exactly as the
// download would send it), parse (every callback printed in order, errors with
// position) and eval (one expression).
#include "CliTestSupport.h"

using namespace tessel;
using namespace tessel::test;

namespace {

class CompileCommand : public CompilingTest {
protected:
    static CliRun Compile(const QString &protocol, const char *device, const char *folder, QStringList extra = {}) {
        return RunCliCommand(QStringList{"compile", protocol, "--device", device, "--ini",
                                         SourcePath("resources/Tessel.ini"), "--include",
                                         SourcePath(QStringLiteral("resources/include/%1/").arg(folder))} +
                             extra);
    }
    QString Image(const QString &name) const { return QDir(dir.path("image")).filePath(name); }
    QString Hex(const QString &name) const { return QString::fromLatin1(ReadBytes(Image(name)).toHex(' ')).toUpper(); }
};

// The blocks a download would send, as the JSON shows them; one image after
// another in the same folder leaves no block of the earlier one.
TEST_F(CompileCommand, ImageFilesForEachDeviceRule) {
    const struct {
        const char *device, *folder;
        bool macros, voltages;
    } cases[] = {
        {"ModelW", "ModelW_0000", true, false},
        {"ModelE", "ModelE_0000", false, true},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.device);
        const CliRun r = Compile(SourcePath("resources/protocols/LightCurve.p"), tc.device, tc.folder,
                                 {"--json", "--image", dir.path("image")});
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        const QJsonObject image = r.json()["image"].toObject();
        EXPECT_EQ(Hex("events.bin"), image["events"].toString());
        EXPECT_EQ(Hex("timers.bin"), image["timers"].toString());
        EXPECT_EQ(QFile::exists(Image("macros.bin")), tc.macros);
        EXPECT_EQ(QFile::exists(Image("counts.bin")), tc.macros);
        if (tc.macros)
            EXPECT_EQ(Hex("counts.bin"), image["counts"].toString());
        EXPECT_EQ(QFile::exists(Image("voltages.txt")), tc.voltages);
    }
}

// The listing of a protocol of the user's own: variables as the voltages, a
// mark that names no parameter input built but warned about, the duration and
// what "skipped" means.
TEST_F(CompileCommand, ListingVoltagesAndMarks) {
    WriteTextFile(dir.path("p.p"), "include \"device.inc\"\n"
                                   "var MeasuringLevel = 10\n"
                                   "var FarRedLevel = 150\n"
                                   "every 1 ms from 0 to 10 ms sample A mark fm\n"
                                   "at 20 ms sample A mark F0\n");
    const CliRun r = Compile(dir.path("p.p"), "ModelG1", "ModelG_0101", {"--image", dir.path("image")});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    // ModelG1 has a full scale of 4095: 10 % is 409.5, to the even 410.
    EXPECT_EQ(ReadTextFile(Image("voltages.txt")), "SA1 410\nSA2 0\nSA3 0\nSA5 0\nSA6 4095\n");
    EXPECT_EQ(r.err, "Warning: mark 'fm' names no parameter input (Fo, Fm, Fs, Fm', Fo'); did you mean Fm?\n");
    for (const char *part : {"  0  0 s  0081\n", "Samples B: 0  skipped: 12\n  (skipped: sample slots the instrument "
                                                 "clocks but does not keep"})
        EXPECT_TRUE(r.out.contains(QLatin1String(part))) << part << "\n" << r.out.toStdString();
    // Event times as written, without arithmetic noise (not 0.0010019999999999999).
    const CliRun fvfm = Compile(SourcePath("resources/protocols/FvFm.p"), "ModelG1", "ModelG_0101");
    EXPECT_TRUE(fvfm.out.contains("\n  3  0.001002 s  0080\n")) << fvfm.out.toStdString();
}

TEST_F(CompileCommand, FailuresAndUsage) {
    const QString bad = dir.path("bad.p"), twice = dir.path("twice.p");
    WriteTextFile(bad, "at 1 s pluse 3\n");
    WriteTextFile(twice, "line L = 2\nat 1 ms on L\nat 2 ms on L\n");
    const struct {
        QStringList args;
        int rc;
        QString err, out;
    } cases[] = {
        {{"compile"}, 2, "give exactly one protocol file", ""},
        {{"compile", bad, "--device", "ModelZ"}, 2, "unknown device 'ModelZ'", ""},
        {{"compile", bad, "--ini", dir.path("none.ini")}, 1, "no such file", ""},
        // Errors name the user's file and line, and a bit its name and the lines using it.
        {{"compile", bad, "--include", dir.path()},
         1,
         "Compilation aborted",
         bad + ":1:8: Expected an action, found 'pluse'\n"},
        {{"compile", twice, "--include", dir.path()},
         1,
         "Compilation aborted",
         "Error at time 0.002 s: Attemting to set bit 2, bit has been already set\n  bit 2 is L\n  " + twice +
             ":2: at 1 ms on L\n  " + twice + ":3: at 2 ms on L\nResult: 2\n"},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.args.join(' ').toStdString());
        const CliRun r = RunCliCommand(tc.args);
        EXPECT_EQ(r.rc, tc.rc);
        EXPECT_TRUE(r.err.contains(tc.err)) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(tc.out)) << r.out.toStdString();
        EXPECT_FALSE(r.out.contains("$$$")) << r.out.toStdString(); // no work file's name
    }
}

using ParseCommand = CompilingTest;

TEST_F(ParseCommand, CallbacksInOrderAndErrorsWithPosition) {
    const QString good = dir.path("p.p"), bad = dir.path("bad.p");
    WriteTextFile(good, "line Flash = 2\n"
                        "var ActinicLevel = 40\n"
                        "at 1 s pulse Flash for 0.5 s\n"
                        "at -2 ms macro \"p\", long(3)\n");
    WriteTextFile(bad, "line L = 1\nat 1 on Nope\n");
    ExpectCliCases("parse", {
                                {{good, "--include", dir.path()},
                                 0,
                                 "variable ActinicLevel = 40\n"
                                 "action   1 s  0x00000004\n"
                                 "action   1.5 s  0x10000004\n"
                                 "macro    -0.002 s  70 03 00 00 00\n"
                                 "end\n",
                                 ""},
                                {{bad}, 1, "", bad + ":2:9: Unknown name 'Nope'\n"},
                                {{"a.p", "b.p"}, 2, "", "*"},
                            });
    const QJsonObject calls = RunCliCommand({"parse", good, "--json"}).json().object();
    EXPECT_TRUE(calls["ok"].toBool());
    EXPECT_EQ(calls["calls"][3]["bytes"].toString(), "70 03 00 00 00");
    const CliRun failed = RunCliCommand({"parse", bad, "--json"});
    EXPECT_EQ(failed.rc, 1);
    EXPECT_FALSE(failed.json()["ok"].toBool());
    EXPECT_EQ(
        failed.json()["error"].toObject(),
        (QJsonObject{{"message", "Unknown name 'Nope'"}, {"exitCode", 1}, {"file", bad}, {"line", 2}, {"column", 9}}));
}

} // namespace

TEST(CliEval, PrintsValuesAndErrors) {
    const std::vector<CliCase> cases = {
        {{"--", "-7 # 2"}, 0, "-3\n", ""},
        {{"gain*2", "--var", "Gain=4"}, 0, "8\n", ""},
        {{"1/0"}, 1, "", "Arithmetic error: division by zero.\n"},
        {{}, 2, "", "tessel-cli eval: give exactly one expression\n"},
        {{"x", "--var", "=1"}, 2, "", "tessel-cli eval: --var needs NAME=NUMBER, got '=1'\n"},
        {{"x", "--var", "x=abc"}, 2, "", "tessel-cli eval: --var needs NAME=NUMBER, got 'x=abc'\n"},
    };
    ExpectCliCases("eval", cases);
    const CliRun r = RunCliCommand({"eval", "round(2.5)", "--json"});
    EXPECT_EQ(r.json().object(), (QJsonObject{{"expression", "round(2.5)"}, {"value", 2}}));
}
