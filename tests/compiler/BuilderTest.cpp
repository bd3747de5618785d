// The event table builder: the table for each kind of action, line rules and
// limits with their messages, sampling, macro grouping and the work file.
#include "CompilerTestSupport.h"
#include "common/AppPaths.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct Act {
    double time;
    uint32_t code;
};

// Each table is built from the actions in the given and in reversed order
// (the builder sorts them first), with a 16-bit timer: the longest interval is
// 6.5535 ms at the time base of 0.1 us.
struct TableCase {
    double timeBase;
    std::vector<Act> actions;
    const char *table; // "time:state" entries
};

const TableCase kTables[] = {
    // The state follows the actions; equal times make one event.
    {1e-7,
     {{1e-3, 0x10}, {0, 0x4}, {1e-3, kResetBit | 0x4}, {2e-3, kResetBit | 0x90}},
     "0:0084 0.001:0090 0.002:0000 0.302:0080 0.802:0000"},
    // Quantised with halves to even; negative times dropped.
    {0.5, {{-0.75, 0x4}, {1.25, 0x4}, {1.75, kResetBit | 0x4}}, "1:0084 2:0080 2.3:0080 2.8:0000"},
    // The closing events get no fillers (the image makes the timer wait its
    // longest); a gap of the longest interval needs none, a bit over three three.
    {1e-7, {{0, 0x10}, {0.0065535, kResetBit | 0x10}}, "0:0090 0.0065535:0080 0.306553:0080 0.806554:0000"},
    {1e-7,
     {{0, 0x10}, {0.019726, kResetBit | 0x10}},
     "0:0090 0.0065535:0090 0.013107:0090 0.0196605:0090 0.019726:0080 0.319726:0080 0.819726:0000"},
};

TEST(Builder, EventTables) {
    for (const TableCase &tc : kTables) {
        for (bool reversed : {false, true}) {
            SCOPED_TRACE(testing::Message() << tc.table << (reversed ? " reversed" : ""));
            BuilderHarness h;
            h.c().Constants.TimerBits = 16;
            h.c().Constants.TimeBase = tc.timeBase;
            for (size_t i = 0; i < tc.actions.size(); ++i) {
                const Act &a = tc.actions[reversed ? tc.actions.size() - 1 - i : i];
                h.fake->action(a.time, a.code);
            }
            ASSERT_EQ(h.Build(), kBuildOk) << h.log.join('\n').toStdString();
            EXPECT_EQ(h.Table().join(' ').toStdString(), tc.table);
        }
    }
}

// What a build ends with: result, the line in the log and the dialog. Every
// row runs with the same constants: bounds on line 0 (space 10 us to 0.5 s as
// errors, pulse from 2 us as a warning, to 50 us as an error), bursts of three
// on channel A, one sample on B, a 16-bit timer, 50 events at most and 1 us
// between events at least.
struct OutcomeCase {
    std::vector<Act> actions;
    int32_t result;
    const char *logLine; // empty: no line with an error, a warning or a hint
    const char *dialog;
};

const OutcomeCase kOutcomes[] = {
    {{{0, 1}}, kBuildOk, "Done", ""},
    {{{0, 0x80}, {2e-6, 0x80}}, kBuildOk, "", ""},          // line 7 may be set twice
    {{{1e-6, 1}, {3e-6, kResetBit | 1}}, kBuildOk, "", ""}, // the first set has no space before it
    {{{0, 1}, {5e-5, kResetBit | 1}}, kBuildOk, "", ""},    // a pulse at the limit passes
    {{{0, 0x4}, {2e-6, 0x4}},
     kBuildTimingError,
     "Error at time 2e-06 s: Attemting to set bit 2, bit has been already set",
     "Compilation aborted"},
    {{{0, 0x8}, {1e-6, kResetBit | 0x8}, {2e-6, kResetBit | 0x8}},
     kBuildOk,
     "Hint at time 2e-06 s: Attemting to reset bit 3, bit has been already reset",
     ""},
    {{{0, 0x4}, {0, kResetBit | 0x4}},
     kBuildTimingError,
     "Error at time 0 s: Attempting to set and reset bit 2 at the same time!",
     "Compilation aborted"},
    {{{0, 1}, {2e-6, kResetBit | 1}, {5e-6, 1}},
     kBuildTimingError,
     "Error at time 2e-06 s bit 0: Space too short! (current: 3e-06 s, min.: 1e-05 s)",
     "Compilation aborted"},
    {{{0, 1}, {2e-6, kResetBit | 1}, {1.002, 1}},
     kBuildTimingError,
     "Error at time 2e-06 s bit 0: Space too long! (current: 1.002 s, max.: 0.5 s)",
     "Compilation aborted"},
    {{{0, 1}, {1e-6, kResetBit | 1}},
     kBuildOk,
     "Warning at time 0 s bit 0: Pulse too short! (current: 1e-06 s, min.: 2e-06 s)",
     ""},
    {{{0, 1}, {1e-4, kResetBit | 1}},
     kBuildTimingError,
     "Error at time 0 s bit 0: Pulse too long! (current: 0.0001 s, max.: 5e-05 s)",
     "Compilation aborted"},
    {{{0, kMultiSampleBit | 0x1}, {2e-6, kResetBit | 0x1}, {1.5e-5, kMultiSampleBit | 0x1}},
     kBuildTimingError,
     "Error at time 1.5e-05: Time sequence not ascendent",
     "Compilation aborted"},
    {{{0, 1}, {5e-7, kResetBit | 1}},
     kBuildTimingError,
     "Error at time 0 s: Events too near (current: 5e-07 s, min.: 1e-06 s)",
     "Compilation aborted"},
    {{{-1, 1}}, kBuildNoEvent, "No event defined", "Compilation aborted"},
    {{{0, 2}, {1e-3, kResetBit | 2}, {2e-3, 2}},
     kBuildLimitExceeded,
     "Total Samples (B): 2",
     "Error: Too many samples"},
    // 15 million fillers: they stop once the table is over its limit.
    {{{0, 0x10}, {1e5, kResetBit | 0x10}}, kBuildLimitExceeded, "Maximum events: 50", "Error: Too many events"},
};

TEST(Builder, OutcomesAndTheirMessages) {
    for (const OutcomeCase &tc : kOutcomes) {
        SCOPED_TRACE(testing::Message() << "row " << &tc - kOutcomes << ": " << tc.logLine);
        BuilderHarness h;
        TCompilerConstants &k = h.c().Constants;
        k.Bounds[0] = {{1e-5, true}, {0.5, true}, {2e-6, false}, {5e-5, true}};
        k.SamplesPerEventA = 3;
        k.SampleDistanceA = 1e-5;
        k.MaxBSamples = 1;
        k.TimerBits = 16;
        k.MaxEvents = 50;
        k.MinTimer = 1e-6;
        for (const Act &a : tc.actions)
            h.fake->action(a.time, a.code);
        int owner = 0;
        EXPECT_EQ(h.Build(&owner), tc.result);
        EXPECT_EQ(h.c().Owner, &owner);
        const QString log = h.log.join('\n');
        if (*tc.logLine)
            EXPECT_TRUE(h.log.contains(QString::fromLatin1(tc.logLine))) << log.toStdString();
        else
            EXPECT_FALSE(log.contains("Error") || log.contains("Warning") || log.contains("Hint")) << log.toStdString();
        EXPECT_EQ(h.messages.texts(), *tc.dialog ? QStringList{tc.dialog} : QStringList{});
        EXPECT_EQ(h.c().Status, tc.result == kBuildOk ? kStatusReady : kStatusSourceEnd);
        EXPECT_LE(h.c().Events.Count(), 60);
    }
}

struct SamplingCase {
    const char *name;
    uint32_t code;
    int32_t perEventA, perEventB;
    std::vector<double> timesA, timesB;
    int32_t skippedA, skippedB;
};

const SamplingCase kSampling[] = {
    {"A", 0x1, 3, 2, {0.01}, {}, 0, 1},
    {"BurstAB", kMultiSampleBit | 0x3, 3, 2, {0.01, 0.01001, 0.01002}, {0.01, 0.01002}, 0, 0},
    {"UnrecordedA", kMultiSampleBit | 0x21, 3, 1, {}, {}, 3, 1},
    {"UnrecordedB", 0x42, 1, 1, {}, {}, 1, 1},
    {"NoChannel", 0x4, 3, 3, {}, {}, 1, 1},
};

TEST(Builder, SetActionsTakeSampleSlots) {
    for (const SamplingCase &tc : kSampling) {
        SCOPED_TRACE(tc.name);
        BuilderHarness h;
        h.c().Constants.SamplesPerEventA = tc.perEventA;
        h.c().Constants.SamplesPerEventB = tc.perEventB;
        h.c().Constants.SampleDistanceA = 1e-5;
        h.c().Constants.SampleDistanceB = 2e-5;
        h.fake->action(0.01, tc.code);
        h.fake->action(0.02, kResetBit | (tc.code & 0xFFFF)); // resets take no slots
        ASSERT_EQ(h.Build(), kBuildOk);
        for (auto [times, want] : {std::pair{&h.c().SampleTimesA, &tc.timesA}, {&h.c().SampleTimesB, &tc.timesB}}) {
            ASSERT_EQ(times->Count(), int32_t(want->size()));
            for (size_t i = 0; i < want->size(); ++i)
                EXPECT_NEAR((*times)[int32_t(i)], (*want)[i], 1e-12);
        }
        EXPECT_EQ(std::pair(h.c().SkippedA, h.c().SkippedB), std::pair(tc.skippedA, tc.skippedB));
        EXPECT_TRUE(h.log.contains(QString::asprintf("Total Samples (A): %d", int(tc.timesA.size()))));
    }
}

// The order of the calls to the library is pinned where the run drives it;
// here what the build makes of a source error.
TEST(Builder, SourceErrorGoesToTheLog) {
    BuilderHarness h;
    h.fake->succeed = false;
    h.fake->errorMsg = "Unknown word";
    h.fake->errorFile = "inc.p";
    h.fake->errorLine = 4;
    h.fake->errorColumn = 9;
    ASSERT_EQ(h.Build(), kBuildSourceError);
    EXPECT_EQ(std::pair(h.c().ErrorLine, h.c().ErrorColumn), std::pair(4, 9));
    EXPECT_EQ(h.log.mid(1), (QStringList{"Unknown word", "inc.p", "Error in source file at line: 4 column: 9"}));
    EXPECT_EQ(h.messages.texts(), QStringList{"Compilation aborted"});
}

TEST(Builder, WorkFileIsWrittenBesideTheProgramOrPerUser) {
    BuilderHarness h;
    h.fake->action(0, 1);
    ASSERT_EQ(h.c().CompileProtocol({"line one", "line two"}, h.log, nullptr), 0);
    const QString inProgram = AppPaths::programDir() + "$$$code.$$$";
    EXPECT_EQ(h.log.first(), "Compiling " + inProgram);
    EXPECT_EQ(ReadTextFile(inProgram), "line one\nline two\n");
    EXPECT_EQ(QString::fromStdString(h.fake->compiled.back()), inProgram + "|");

    // A program folder that cannot be written: the per-user folder serves.
    AppPaths::setProgramDir(h.dir.path("not-there/"));
    AppPaths::setConfigDir(h.dir.path("user"));
    h.c().IncludeDir = "/inc/";
    ASSERT_EQ(h.c().CompileProtocol({"x"}, h.log, nullptr), 0);
    const QString perUser = QDir(h.dir.path("user")).filePath("$$$code.$$$");
    EXPECT_EQ(ReadTextFile(perUser), "x\n");
    EXPECT_EQ(QString::fromStdString(h.fake->compiled.back()), perUser + "|/inc/");
    EXPECT_TRUE(h.messages.texts().isEmpty());
}

TEST(Builder, MacrosRepeatDataAndGroupMarkers) {
    BuilderHarness h;
    h.c().Constants.TimeBase = 1e-6;
    h.fake->action(0, 1);
    h.fake->macro(-1, "SA1"); // initial
    h.fake->macro(0.5, "x");
    h.fake->macro(0.1, "a");
    h.fake->macro(0.1000004, "b"); // same quantised instant
    h.fake->macro(0.1, "c");
    h.fake->macro(0.2000004, QByteArray("p\x05\x01\x00\x00", 5)); // repeat 261 times
    ASSERT_EQ(h.Build(), kBuildOk);
    QStringList macros;
    for (const TMacroRec &m : h.c().Macros)
        macros << QString::asprintf("%g:", m.Time) + QString::fromLatin1(m.Bytes.toHex());
    ASSERT_EQ(macros.size(), 6);
    EXPECT_EQ(macros[0], "0.1:6003");
    EXPECT_EQ(QStringList(macros.mid(1, 3)).join(',').count("0.1:"), 3);
    EXPECT_EQ(macros.mid(4), (QStringList{"0.2:7005010000", "0.5:78"}));
    ASSERT_EQ(h.c().InitMacros.size(), 1u);
    EXPECT_EQ(h.c().InitMacros[0].Bytes, "SA1");
    // The repeat's time is not quantised.
    EXPECT_EQ(std::tuple(h.c().RepeatCount, h.c().RepeatTime, h.c().RepeatExtra),
              std::tuple(261, (long double)0.2000004, 2.0L));

    // A quick repeat whose macro is too short for the count reads no further.
    BuilderHarness q;
    q.fake->action(0, 1);
    q.fake->macro(0.2, QByteArray("q\x02", 2));
    ASSERT_EQ(q.Build(), kBuildOk);
    EXPECT_EQ(std::pair(q.c().RepeatCount, q.c().RepeatExtra), std::pair(2, 1.73L));
}

} // namespace
