// Every error the language reports: message, line and column; and no input
// crashes or hangs the library.
#include "CompilerTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct ErrorCase {
    const char *source; // after the two definition lines below
    const char *message;
    int line, column; // line counted within source
};

const char *kDefs = "line L = 4\nconst SampleWidth = 0\n";

const ErrorCase kErrors[] = {
    {"frobnicate 1", "Unknown statement 'frobnicate'", 1, 1},
    {"= 1", "Unknown statement '='", 1, 1},
    {"var ms = 1", "'ms' is a reserved word", 1, 5},
    {"at 0 macro long(-1)", "long value must be from 0 to 4294967295", 1, 17},
    {"at 1e99999 on L", "Invalid number '1e99999'", 1, 4},
    {"at 0x on L", "Invalid number '0x'", 1, 4},
    {"at \"x\" on L", "Expected a value, found '\"x\"'", 1, 4},
    {"const X = 1e300\nat X*X on L", "Value is not a finite number", 2, 5},
    {"at 0 on L record A mark 'Fo", "Invalid character '''", 1, 25},
    {"at 1 on L ?", "Invalid character '?'", 1, 11},
    {"at 1 on Nope", "Unknown name 'Nope'", 1, 9},
    {"const X = 1\nat 1 on X", "'X' is not a line", 2, 9},
    {"line M = 16", "Line number must be a whole number from 0 to 15", 1, 10},
    {"line on = 1", "'on' is a reserved word", 1, 6},
    {"const L = 2", "'L' is already defined as a line", 1, 7},
    {"line = 2", "Expected a name, found '='", 1, 6},
    {"at 1/0 on L", "Division by zero", 1, 5},
    {"at 1 +", "Unexpected end of line", 1, 7},
    {"at 1", "Expected an action", 1, 5},
    {"at 1 on L extra", "Unexpected 'extra'", 1, 11},
    {"at 1 jump L", "Expected an action, found 'jump'", 1, 6},
    {"at 0 pulse L for 0", "Width must be positive", 1, 18},
    {"at 0 pulse L 5 ms", "Expected 'for', found '5'", 1, 14},
    {"at 0 sample C for 1 us", "Expected a channel (A, B or AB), found 'C'", 1, 13},
    {"at 0 pulse L for 1 unrecorded", "'unrecorded' needs a sampled channel", 1, 20},
    {"at 0 macro 256", "Byte value must be a whole number from 0 to 255", 1, 12},
    {"at 0 repeat 0 times", "Repeat count must be a whole number from 1 to 2147483647", 1, 13},
    {"at 0 repeat 3", "Expected 'times'", 1, 14},
    {"at 0 code -1", "Code must be a whole number from 0 to 4294967295", 1, 11},
    {"every 0 from 0 to 1 code 1", "Step must be positive", 1, 7},
    {"every 1 to 1 code 1", "Expected 'from', found 'to'", 1, 9},
    {"lin 0 from 0 to 1 code 1", "Count must be a whole number of at least 1", 1, 5},
    {"at 1 on L \\ x", "Unexpected '\\'", 1, 11},
    {"include nothing", "Expected a file name in quotes, found 'nothing'", 1, 9},
    {"at 0 on L unrecorded", "'unrecorded' is only allowed with pulse and sample", 1, 11},
    {"at 0 off L burst", "Options are not allowed with off", 1, 12},
    {"at 0 pulse L for 1 mark Fo", "'mark' needs a recorded channel", 1, 20},
    {"at 0 macro word(65536)", "word value must be from 0 to 65535", 1, 17},
    {"at 0 macro \"\"", "Macro must hold 1 to 255 bytes", 1, 6},
    {"bytes B = long(0), long(0), long(0), long(0), long(0), long(0), long(0), long(0), long(0), long(0)\n"
     "bytes C = B, B, B\nat -1 macro C",
     "Initial macro must hold at most 97 bytes", 3, 7},
    {"every 1 ns from 0 to 10 s code 1", "Too many actions (more than 1000000)", 1, 7},
    {"log 3 from 0 to 1 code 1", "Logarithmic series needs positive times", 1, 12},
    {"at 0 macro \"abc", "Unterminated string", 1, 12},
    {"at 0 macro \"\\q\"", "Invalid escape in string", 1, 13},
    {"at 1 on L \xE2\x82\xAC", "Invalid character '\xE2\x82\xAC'", 1, 11},
    {"at 1.2.3 on L", "Invalid number '1.2.'", 1, 4},
    {"at 1e308 pulse L for 1e308", "Value is not a finite number", 1, 10},
    {"include \"nothere.inc\"", "Include file 'nothere.inc' not found", 1, 9},
    {"# ok\n  at 1 on L \\\n  and on Nope", "Unknown name 'Nope'", 3, 10},
    {"at 1 on L\r\nat 2 on L\rat 3 on Nope\r\n", "Unknown name 'Nope'", 3, 9}, // CR LF and CR end lines
};

TEST(ProtocolErrors, ReportMessageFileLineAndColumn) {
    TestDir dir;
    for (const ErrorCase &c : kErrors) {
        SCOPED_TRACE(c.source);
        const TCompilerRun r = CompileText(dir, QString::fromUtf8(kDefs) + QString::fromUtf8(c.source));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(std::tuple(r.errorMsg, r.errorFile, r.errorLine, r.errorColumn),
                  std::tuple(QString::fromUtf8(c.message), dir.path("protocol.p"), c.line + 2, c.column));
        // Nothing claims success after an error.
        EXPECT_TRUE(std::none_of(r.calls.begin(), r.calls.end(), [](auto &x) { return x.kind == TCompilerCall::End; }));
    }
}

TEST(ProtocolErrorFiles, MissingSourceFile) {
    TestDir dir;
    const TCompilerRun r = RunCompiler(RealCompiler(), dir.path("absent.p"), {});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorMsg, "Cannot open file '" + dir.path("absent.p") + "'");
    EXPECT_EQ(r.errorLine, 0);
}

TEST(ProtocolErrorFiles, IncludeChainTooDeep) {
    TestDir dir;
    for (int i = 0; i < 20; ++i)
        WriteTextFile(dir.path(QStringLiteral("f%1.inc").arg(i)), QStringLiteral("include \"f%1.inc\"\n").arg(i + 1));
    WriteTextFile(dir.path("f20.inc"), "var Deep = 1\n");
    const TCompilerRun r = CompileText(dir, "include \"f0.inc\"\n");
    ASSERT_FALSE(r.ok);
    EXPECT_EQ(r.errorMsg, "Includes nested too deeply");
    EXPECT_EQ(r.errorLine, 1);
}

TEST(ProtocolErrorFiles, DeepBracketsAndSignsAreRefused) {
    TestDir dir;
    for (const QString &expr : {QString(70, '(') + "1" + QString(70, ')'), QString(200, '-') + "1"}) {
        const TCompilerRun r = CompileText(dir, "at " + expr + " code 1\n");
        ASSERT_FALSE(r.ok);
        EXPECT_EQ(r.errorMsg, "Expression nested too deeply");
    }
}

} // namespace
