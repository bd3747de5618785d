// Every construct of the protocol language, checked at the callbacks the
// real library makes.
#include "CompilerTestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct Case {
    const char *name;
    const char *source;
    const char *calls; // without the final "|E"
};

const char *kLines = "line L = 4\nline F = 2\nconst SampleWidth = 2 us\n";

const Case kCases[] = {
    {"on", "at 1 s on L", "A 1 00000010"},
    {"off", "at 2 off L", "A 2 10000010"},
    {"pulse", "at 0 pulse F for 800 ms", "A 0 00000004|A 0.8 10000004"},
    {"several lines", "at 0 on L, F", "A 0 00000014"},
    {"group of lines and numbers", "line G = L, F, 8\nat 0 on G", "A 0 00000114"},
    {"sample A with default width", "at 0 sample A", "A 0 00000001|A 2e-06 10000001"},
    {"sample B with width", "at 1 sample b for 5 us", "A 1 00000002|A 1.000005 10000002"},
    {"sample AB burst", "at 0 sample AB burst", "A 0 01000003|A 2e-06 10000003"},
    {"unrecorded A marks both halves", "at 0 sample A unrecorded", "A 0 00000021|A 2e-06 10000021"},
    {"record with burst on a pulse", "at 0 pulse F for 1 ms record A burst", "A 0 01000005|A 0.001 10000005"},
    {"raw code", "at 3 code 0xFFFFFFFF", "A 3 ffffffff"},
    {"marks numbered by first use, on the switch-on only",
     "at 0 sample A mark Fo\nat 1 sample AB burst mark Fm'\nat 2 on L record B mark Fo",
     "V mark:Fo 1|A 0 00010001|A 2e-06 10000001|V mark:Fm' 2|A 1 01020003|A 1.000002 10000003|A 2 00010012"},
    {"units", "at 1.5 ms on L\nat 10us on L\nat 250 ns on L\nat 3 \xC2\xB5s on L\nat 2 MS on L",
     "A 0.0015 00000010|A 1e-05 00000010|A 2.5e-07 00000010|A 3e-06 00000010|A 0.002 00000010"},
    {"arithmetic and precedence", "const T = 2\nat (T + 3) ms on L\nat -(T - 3) * 2 + 1 / 4 on L",
     "A 0.005 00000010|A 2.25 00000010"},
    {"every stops before an end off the grid", "every 1 from 0 to 2.5 code 1",
     "A 0 00000001|A 1 00000001|A 2 00000001"},
    {"every with fractional step keeps the end", "every 0.1 from 0 to 0.3 code 1",
     "A 0 00000001|A 0.1 00000001|A 0.2 00000001|A 0.3 00000001"},
    {"every with end before start", "every 1 from 5 to 1 code 1", ""},
    {"lin", "lin 3 from 1 to 2 code 1", "A 1 00000001|A 1.5 00000001|A 2 00000001"},
    {"lin one instant", "lin 1 from 4 to 9 code 1", "A 4 00000001"},
    {"log", "log 3 from 1 ms to 100 ms code 1", "A 0.001 00000001|A 0.01 00000001|A 0.1 00000001"},
    {"after and before", "at 10 on L and after 1 off L and before 2 code 5",
     "A 10 00000010|A 11 10000010|A 8 00000005"},
    {"series with offsets", "every 10 from 0 to 10 pulse F for 1 and after 0.5 sample A",
     "A 0 00000004|A 1 10000004|A 0.5 00000001|A 0.500002 10000001|A 10 00000004|A 11 10000004|A 10.5 00000001|A "
     "10.500002 10000001"},
    {"variables reported in order and usable", "var X = 3\nvar X = X * 2\nvar ActinicLevel = 40",
     "V X 3|V X 6|V ActinicLevel 40"},
    {"macro bytes", "at 1 macro 0x41, \"BC\", word(0x1234), long(1)", "M 1 41 42 43 34 12 01 00 00 00"},
    {"string escapes", "at 0 macro \"\\x41\\\"\\\\\"", "M 0 41 22 5c"},
    {"word rounds ties to even", "at 0 macro word(409.5), word(410.5)", "M 0 9a 01 9a 01"},
    {"named bytes and negative time", "bytes Cmd = \"SA\", 3\nat -1 ms macro Cmd, 7", "M -0.001 53 41 03 07"},
    {"repeat p", "at 10 repeat 5 times", "M 10 70 05 00 00 00"},
    {"repeat q", "at 10 repeat 0x01020304 TIMES Quick", "M 10 71 04 03 02 01"},
    {"keywords are case-insensitive", "AT 1 S On L AND After 1 OFF L", "A 1 00000010|A 2 10000010"},
    {"names are case-sensitive", "line l = 0\nat 0 on l\nat 1 on L", "A 0 00000001|A 1 00000010"},
    {"comments and continuation", "# first\nat 1 on L \\   # continued\n  and off F // done\n\n",
     "A 1 00000010|A 1 10000004"},
    {"constants redefined, not reported", "const C = 1\nconst C = 2\nat C on L", "A 2 00000010"},
    {"empty protocol", "", ""},
};

TEST(ProtocolLanguage, ReportsTheIntendedCallbacks) {
    TestDir dir;
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        const TCompilerRun r = CompileText(dir, QString::fromUtf8(kLines) + QString::fromUtf8(c.source));
        EXPECT_TRUE(r.ok) << r.errorMsg.toStdString() << " at " << r.errorLine << ":" << r.errorColumn;
        const QString calls = QString::fromUtf8(c.calls);
        EXPECT_EQ(CallsText(r), calls.isEmpty() ? QStringLiteral("E") : calls + QStringLiteral("|E"));
    }
}

// The include folder comes before the including file's folder (also with a
// Windows separator); a path relative to a device folder reaches its parent;
// a file included twice or in a circle is read once.
TEST(ProtocolLanguageFiles, IncludeSearchAndRepeats) {
    TestDir dir;
    QDir().mkpath(dir.path("inc/ModelX_0100"));
    WriteTextFile(dir.path("inc/defs.inc"), "line L = 3\n");
    WriteTextFile(dir.path("defs.inc"), "line L = 9\n");
    WriteTextFile(dir.path("inc/lines.inc"), "line Flash = 2\n");
    WriteTextFile(dir.path("inc/ModelX_0100/device.inc"), "include \"../lines.inc\"\n");
    WriteTextFile(dir.path("a.inc"), "include \"b.inc\"\nvar A = 1\n");
    WriteTextFile(dir.path("b.inc"), "include \"a.inc\"\nvar B = 2\n");
    const struct {
        const char *source, *includeDir, *calls;
    } cases[] = {
        {"include \"defs.inc\"\nat 0 on L\n", "inc/", "A 0 00000008|E"},
        {"include \"defs.inc\"\nat 0 on L\n", "inc\\", "A 0 00000008|E"},
        {"include \"defs.inc\"\nat 0 on L\n", "nothere", "A 0 00000200|E"},
        {"include \"device.inc\"\nat 0 on Flash\n", "inc/ModelX_0100/", "A 0 00000004|E"},
        {"include \"a.inc\"\ninclude \"a.inc\"\ninclude \"b.inc\"\n", "", "V B 2|V A 1|E"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.source) + " from " + c.includeDir);
        const QString includeDir = *c.includeDir ? dir.path(c.includeDir) : QString();
        EXPECT_EQ(CallsText(CompileText(dir, c.source, includeDir)), c.calls);
    }
}

} // namespace
