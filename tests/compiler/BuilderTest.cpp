// The event table builder: line rules and their messages, sorting, sampling,
// timer-gap fillers, macro grouping, limits and the closing events.
#include "BuilderSupport.h"
#include "common/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct Act {
    double time;
    uint32_t code;
};

enum Bound { None, SpaceMin, SpaceMax, PulseMin, PulseMax };

struct LineRuleCase {
    const char *name;
    std::vector<Act> actions;
    Bound bound; // set on line 0 with the limit and kind below
    double limit;
    bool isError;
    int32_t result;
    const char *logLine; // expected somewhere in the log (empty: none)
};

TTimingBound &BoundRef(TCompiler &c, int line, Bound b) {
    TLineBounds &l = c.Constants.Bounds[size_t(line)];
    switch (b) {
    case SpaceMin:
        return l.SpaceMin;
    case SpaceMax:
        return l.SpaceMax;
    case PulseMin:
        return l.PulseMin;
    default:
        return l.PulseMax;
    }
}

const LineRuleCase kLineRules[] = {
    {"SetTwice",
     {{0, 0x4}, {2e-6, 0x4}},
     None,
     0,
     false,
     2,
     "Error at time 2e-06 s: Attemting to set bit 2, bit has been already set"},
    {"SetLine7Twice", {{0, 0x80}, {2e-6, 0x80}}, None, 0, false, 0, ""},
    {"ResetTwiceIsHint",
     {{0, 0x8}, {1e-6, kReset | 0x8}, {2e-6, kReset | 0x8}},
     None,
     0,
     false,
     0,
     "Hint at time 2e-06 s: Attemting to reset bit 3, bit has been already reset"},
    {"SetAndResetAtOneTime",
     {{0, 0x4}, {0, kReset | 0x4}},
     None,
     0,
     false,
     2,
     "Error at time 0 s: Attempting to set and reset bit 2 at the same time!"},
    {"SpaceTooShortError",
     {{0, 1}, {2e-6, kReset | 1}, {5e-6, 1}},
     SpaceMin,
     1e-5,
     true,
     2,
     "Error at time 2e-06 s bit 0: Space too short! (current: 3e-06 s, min.: 1e-05 s)"},
    {"SpaceTooShortWarning",
     {{0, 1}, {2e-6, kReset | 1}, {5e-6, 1}},
     SpaceMin,
     1e-5,
     false,
     0,
     "Warning at time 2e-06 s bit 0: Space too short! (current: 3e-06 s, min.: 1e-05 s)"},
    {"SpaceTooLong",
     {{0, 1}, {2e-6, kReset | 1}, {1.002, 1}},
     SpaceMax,
     0.5,
     true,
     2,
     "Error at time 2e-06 s bit 0: Space too long! (current: 1.002 s, max.: 0.5 s)"},
    {"PulseTooShort",
     {{0, 1}, {1e-6, kReset | 1}},
     PulseMin,
     2e-6,
     false,
     0,
     "Warning at time 0 s bit 0: Pulse too short! (current: 1e-06 s, min.: 2e-06 s)"},
    {"PulseTooLongError",
     {{0, 1}, {1e-4, kReset | 1}},
     PulseMax,
     5e-5,
     true,
     2,
     "Error at time 0 s bit 0: Pulse too long! (current: 0.0001 s, max.: 5e-05 s)"},
    {"PulseAtLimitPasses", {{0, 1}, {5e-5, kReset | 1}}, PulseMax, 5e-5, true, 0, ""},
    {"FirstSetHasNoSpace", {{1e-6, 1}, {3e-6, kReset | 1}}, SpaceMin, 1.0, true, 0, ""},
};

class LineRules : public ::testing::TestWithParam<LineRuleCase> {};

TEST_P(LineRules, ResultAndMessage) {
    const LineRuleCase &tc = GetParam();
    BuilderHarness h;
    for (const Act &a : tc.actions)
        h.fake->action(a.time, a.code);
    if (tc.bound != None)
        BoundRef(h.c(), 0, tc.bound) = {tc.limit, tc.isError};
    EXPECT_EQ(h.Build(), tc.result) << h.log.join('\n').toStdString();
    if (*tc.logLine)
        EXPECT_TRUE(h.log.contains(QString::fromLatin1(tc.logLine))) << h.log.join('\n').toStdString();
    else
        for (const QString &l : h.log)
            EXPECT_FALSE(l.contains("Error") || l.contains("Warning") || l.contains("Hint")) << l.toStdString();
    if (tc.result == 2) {
        EXPECT_EQ(h.messages.texts(), QStringList{"Compilation aborted"});
        EXPECT_EQ(h.c().Status, kStatusSourceEnd);
    } else {
        EXPECT_TRUE(h.messages.texts().isEmpty());
        EXPECT_EQ(h.c().Status, kStatusReady);
    }
}

INSTANTIATE_TEST_SUITE_P(Builder, LineRules, ::testing::ValuesIn(kLineRules),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Builder, StateFollowsTheActionsAndEqualTimesMakeOneEvent) {
    BuilderHarness h;
    h.fake->action(1e-3, 0x10);          // actinic on
    h.fake->action(0, 0x4);              // saturating on
    h.fake->action(1e-3, kReset | 0x4);  // saturating off, same instant
    h.fake->action(2e-3, kReset | 0x90); // actinic and detector off
    ASSERT_EQ(h.Build(), 0);
    EXPECT_EQ(h.Table(), (QStringList{"0:0084", "0.001:0090", "0.002:0000", "0.302:0080", "0.802:0000"}));
}

TEST(Builder, OrderOfActionsDoesNotMatter) {
    const std::vector<Act> acts = {{0, 1},     {2e-6, kReset | 1},       {1e-3, 0x4},  {0.5, kReset | 0x4},
                                   {0.6, 0x2}, {0.600002, kReset | 0x2}, {0.7, 0x100}, {0.8, kReset | 0x100}};
    QStringList reference;
    for (int rotation = 0; rotation < int(acts.size()); ++rotation) {
        BuilderHarness h;
        for (size_t i = 0; i < acts.size(); ++i) {
            const Act &a = acts[(i * 3 + size_t(rotation)) % acts.size()]; // a different shuffle each time
            h.fake->action(a.time, a.code);
        }
        ASSERT_EQ(h.Build(), 0);
        if (reference.isEmpty())
            reference = h.Table();
        EXPECT_EQ(h.Table(), reference) << rotation;
        EXPECT_EQ(h.c().SampleTimesA.Values(), std::vector<double>{0});
        EXPECT_EQ(h.c().SampleTimesB.Values(), std::vector<double>{Quantise(1e-7, 0.6)});
    }
}

TEST(Builder, TimesAreQuantisedAndNegativeActionsDropped) {
    BuilderHarness h;
    h.c().Constants.TimeBase = 0.5;
    h.fake->action(-0.75, 0x4);         // -1.0: dropped
    h.fake->action(1.25, 0x4);          // halves go to the even multiple: 1.0
    h.fake->action(1.75, kReset | 0x4); // 2.0
    ASSERT_EQ(h.Build(), 0);
    EXPECT_EQ(h.Table(), (QStringList{"1:0084", "2:0080", "2.3:0080", "2.8:0000"}));
    EXPECT_TRUE(h.log.contains("Events   :2"));
}

struct FillerCase {
    const char *name;
    double gapInIntervals;
    int fillers;
};

class Fillers : public ::testing::TestWithParam<FillerCase> {};

TEST_P(Fillers, GapsBeyondTheTimerGetRepeatedStates) {
    BuilderHarness h;
    h.c().Constants.TimerBits = 16;
    h.c().Constants.TimeBase = 1e-7;
    const double maxInterval = 65535 * 1e-7;
    const double end = Quantise(1e-7, GetParam().gapInIntervals * maxInterval);
    h.fake->action(0, 0x10);
    h.fake->action(end, kReset | 0x10);
    ASSERT_EQ(h.Build(), 0);
    const int n = GetParam().fillers;
    int upToEnd = 0; // the closing gaps get fillers of their own
    for (int i = 0; i < h.c().Events.Count(); ++i)
        upToEnd += h.c().Events.At(i).Time <= end;
    ASSERT_EQ(upToEnd, 2 + n);
    for (int k = 1; k <= n; ++k) {
        EXPECT_NEAR(h.c().Events.At(k).Time, k * maxInterval, 1e-12);
        EXPECT_EQ(h.c().Events.At(k).Code, 0x90u);
    }
    EXPECT_EQ(h.c().Events.At(n + 1).Time, end);
    EXPECT_EQ(h.c().Events.At(n + 1).Code, 0x80u);
}

INSTANTIATE_TEST_SUITE_P(Builder, Fillers,
                         ::testing::Values(FillerCase{"Within", 0.5, 0}, FillerCase{"Exactly", 1.0, 0},
                                           FillerCase{"TwoAndAHalf", 2.5, 2}, FillerCase{"Three", 3.0, 2},
                                           FillerCase{"ThreeAndABit", 3.01, 3}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Builder, OneActionGivesThreeEvents) {
    for (int32_t bits : {16, 32}) {
        BuilderHarness h;
        h.c().Constants.TimerBits = bits;
        h.c().Constants.TimeBase = 1e-6;
        h.fake->action(0.25, 0x4);
        ASSERT_EQ(h.Build(), 0);
        EXPECT_EQ(h.Table(), (QStringList{"0.25:0084", "0.55:0080", "1.05:0000"})) << bits;
    }
}

TEST(Builder, FillersStopOnceTheTableIsOverItsLimit) {
    BuilderHarness h;
    h.c().Constants.TimerBits = 16;
    h.c().Constants.MaxEvents = 50;
    h.fake->action(0, 0x10);
    h.fake->action(1e5, kReset | 0x10); // would need 15 million fillers
    EXPECT_EQ(h.Build(), kBuildLimitExceeded);
    EXPECT_LE(h.c().Events.Count(), 60);
    EXPECT_EQ(h.messages.texts(), QStringList{"Error: Too many events"});
    EXPECT_TRUE(h.log.contains("Maximum events: 50"));
}

TEST(Builder, EventsCloserThanTheMinimalTimerAbort) {
    BuilderHarness h;
    h.c().Constants.MinTimer = 1e-5;
    h.fake->action(0, 0x1);
    h.fake->action(2e-6, kReset | 0x1);
    EXPECT_EQ(h.Build(), kBuildTimingError);
    EXPECT_TRUE(h.log.contains("Error at time 0 s: Events too near (current: 2e-06 s, min.: 1e-05 s)"))
        << h.log.join('\n').toStdString();
    EXPECT_EQ(h.messages.texts(), QStringList{"Compilation aborted"});
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
    {"BurstA", kMultiSampleBit | 0x1, 3, 2, {0.01, 0.01001, 0.01002}, {}, 0, 2},
    {"BurstAB", kMultiSampleBit | 0x3, 3, 2, {0.01, 0.01001, 0.01002}, {0.01, 0.01002}, 0, 0},
    {"UnrecordedA", kMultiSampleBit | 0x21, 3, 1, {}, {}, 3, 1},
    {"UnrecordedB", 0x42, 1, 1, {}, {}, 1, 1},
    {"NoChannel", 0x4, 3, 3, {}, {}, 1, 1},
};

class Sampling : public ::testing::TestWithParam<SamplingCase> {};

TEST_P(Sampling, SetActionsTakeSampleSlots) {
    const SamplingCase &tc = GetParam();
    BuilderHarness h;
    h.c().Constants.SamplesPerEventA = tc.perEventA;
    h.c().Constants.SamplesPerEventB = tc.perEventB;
    h.c().Constants.SampleDistanceA = 1e-5;
    h.c().Constants.SampleDistanceB = 2e-5;
    h.fake->action(0.01, tc.code);
    h.fake->action(0.02, kReset | (tc.code & 0xFFFF)); // resets take no slots
    ASSERT_EQ(h.Build(), 0);
    ASSERT_EQ(h.c().SampleTimesA.Count(), int32_t(tc.timesA.size()));
    for (size_t i = 0; i < tc.timesA.size(); ++i)
        EXPECT_NEAR(h.c().SampleTimesA[int32_t(i)], tc.timesA[i], 1e-12);
    ASSERT_EQ(h.c().SampleTimesB.Count(), int32_t(tc.timesB.size()));
    for (size_t i = 0; i < tc.timesB.size(); ++i)
        EXPECT_NEAR(h.c().SampleTimesB[int32_t(i)], tc.timesB[i], 1e-12);
    EXPECT_EQ(h.c().SkippedA, tc.skippedA);
    EXPECT_EQ(h.c().SkippedB, tc.skippedB);
    EXPECT_TRUE(h.log.contains(QString::asprintf("Total Samples (A): %d", int(tc.timesA.size()))));
}

INSTANTIATE_TEST_SUITE_P(Builder, Sampling, ::testing::ValuesIn(kSampling),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Builder, OverlappingBurstsAbort) {
    BuilderHarness h;
    h.c().Constants.SamplesPerEventA = 3;
    h.c().Constants.SampleDistanceA = 1e-5;
    h.fake->action(0, kMultiSampleBit | 0x1);
    h.fake->action(2e-6, kReset | 0x1);
    h.fake->action(1e-5, kMultiSampleBit | 0x1);
    EXPECT_EQ(h.Build(), kBuildTimingError);
    EXPECT_TRUE(h.log.contains("Error at time 1e-05: Time sequence not ascendent")) << h.log.join('\n').toStdString();
}

TEST(Builder, OutcomesOfABuild) {
    struct Case {
        const char *name;
        std::function<void(BuilderHarness &)> setup;
        int32_t result;
        int32_t status;
        QStringList dialogs;
        QString logLine;
    };
    const std::vector<Case> cases = {
        {"Success", [](BuilderHarness &h) { h.fake->action(0, 1); }, 0, kStatusReady, {}, "Done"},
        {"OnlyNegativeTimes",
         [](BuilderHarness &h) { h.fake->action(-1, 1); },
         3,
         kStatusSourceEnd,
         {"Compilation aborted"},
         "No event defined"},
        {"TooManySamplesB",
         [](BuilderHarness &h) {
             h.c().Constants.MaxBSamples = 1;
             h.fake->action(0, 2);
             h.fake->action(1e-3, kReset | 2);
             h.fake->action(2e-3, 2);
         },
         4,
         kStatusSourceEnd,
         {"Error: Too many samples"},
         "Total Samples (B): 2"},
    };
    for (const Case &tc : cases) {
        BuilderHarness h;
        tc.setup(h);
        int owner = 0;
        EXPECT_EQ(h.Build(&owner), tc.result) << tc.name;
        EXPECT_EQ(h.c().Status, tc.status) << tc.name;
        EXPECT_EQ(h.c().Owner, &owner) << tc.name;
        EXPECT_EQ(h.messages.texts(), tc.dialogs) << tc.name;
        EXPECT_TRUE(h.log.contains(tc.logLine)) << tc.name << ": " << h.log.join('\n').toStdString();
    }
}

TEST(Builder, SourceErrorIsReadInTheLibrarysOrder) {
    BuilderHarness h;
    h.fake->succeed = false;
    h.fake->errorMsg = "Unknown word";
    h.fake->errorFile = "inc.p";
    h.fake->errorLine = 4;
    h.fake->errorColumn = 9;
    ASSERT_EQ(h.Build(), -1);
    EXPECT_EQ(h.fake->errorQueries, (QStringList{"GetErrorMsg", "GetErrorFile", "GetErrorLine", "GetErrorColumn"}));
    EXPECT_EQ(h.c().ErrorLine, 4);
    EXPECT_EQ(h.c().ErrorColumn, 9);
    EXPECT_EQ(h.log.mid(1), (QStringList{"Unknown word", "inc.p", "Error in source file at line: 4 column: 9"}));
}

TEST(Builder, RegistersCallbacksAtCreationInTheLibrarysOrder) {
    BuilderHarness h;
    EXPECT_EQ(h.fake->setOrder.mid(0, 6), (QStringList{"SetAddPrimAction", "SetAddCompAction", "SetAddVar",
                                                       "SetInfoEnd", "SetInfoFileName", "SetInfoLineNum"}));
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
    ASSERT_EQ(h.Build(), 0);
    QStringList macros;
    for (const TMacroRec &m : h.c().Macros)
        macros << QString::asprintf("%g:", m.Time) + QString::fromLatin1(m.Bytes.toHex());
    ASSERT_EQ(macros.size(), 6);
    EXPECT_EQ(macros[0], "0.1:6003");
    EXPECT_EQ(QStringList(macros.mid(1, 3)).join(',').count("0.1:"), 3);
    EXPECT_EQ(macros.mid(4), (QStringList{"0.2:7005010000", "0.5:78"}));
    ASSERT_EQ(h.c().InitMacros.size(), 1u);
    EXPECT_EQ(h.c().InitMacros[0].Bytes, "SA1");
    EXPECT_EQ(h.c().RepeatCount, 261);
    EXPECT_EQ(h.c().RepeatTime, (long double)0.2000004); // not quantised
    EXPECT_EQ(h.c().RepeatExtra, 2.0L);
}

TEST(Builder, QuickRepeatWithAShortMacroReadsNoFurther) {
    BuilderHarness h;
    h.fake->action(0, 1);
    h.fake->macro(0.2, QByteArray("q\x02", 2));
    ASSERT_EQ(h.Build(), 0);
    EXPECT_EQ(h.c().RepeatCount, 2);
    EXPECT_EQ(h.c().RepeatExtra, 1.73L);
}

TEST(Builder, VariablesAndClear) {
    BuilderHarness h;
    h.fake->action(0, 1);
    h.fake->variable("Level", 10);
    h.fake->variable("level", 20);
    h.fake->variable("Level", 30);
    ASSERT_EQ(h.Build(), 0);
    EXPECT_EQ(h.c().FindVar("Level"), 30);
    EXPECT_EQ(h.c().FindVar("level"), 20);
    EXPECT_EQ(h.c().FindVar("LEVEL"), 0);
    h.c().Clear();
    EXPECT_EQ(h.c().Vars.Count(), 0);
    EXPECT_EQ(h.c().FindVar("Level"), 0);
    EXPECT_EQ(h.c().Events.Count(), 0);
    EXPECT_TRUE(h.c().SampleTimesA.IsEmpty());
}

TEST(Builder, SortKeepsEveryRecord) {
    TEvents e;
    uint32_t seed = 12345;
    std::vector<double> times;
    for (int i = 0; i < 5000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const double t = double((seed >> 8) % 700); // many equal times
        times.push_back(t);
        e.Add(t, uint32_t(i));
    }
    e.Sort();
    std::sort(times.begin(), times.end());
    std::vector<bool> seen(5000);
    for (int i = 0; i < e.Count(); ++i) {
        EXPECT_EQ(e.At(i).Time, times[size_t(i)]);
        seen[e.At(i).Code] = true;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 5000);
}

} // namespace
