// The program image: block encodings for every timer width, the device-type
// rules, the analog outputs, and the sending order with its results.
#include "compiler/ProgramImage.h"
#include "CompilerTestSupport.h"
#include "support/RecordingServices.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

// Records the blocks sent, by mnemonic; refuses the one named in refuse.
struct RecordingLink : IProgramLoader {
    QStringList sent;
    QByteArray refuse;
    bool LoadData(const QByteArray &mnemonic, const QByteArray &) override {
        sent << QString::fromLatin1(mnemonic);
        return mnemonic != refuse;
    }
    bool SetVoltage(int n, int) override {
        sent << QStringLiteral("SA%1").arg(n);
        return true;
    }
};

// A compiler holding a finished table, without running a build.
void SetTable(TCompiler &c, const std::vector<std::pair<double, uint32_t>> &events) {
    c.Events.Clear();
    for (const auto &[t, s] : events)
        c.Events.Add(t, s);
}

TProgramTarget Target(TDevice d) { return TProgramTarget{d, {"M", "F", "A1", "A2", "FR"}, 4095}; }

// Each timer entry is the complement of the ticks since the previous event;
// the first spans the minimal timer and twice the propagation.
struct TimerCase {
    const char *name;
    int32_t bits;
    double timeBase, propagation;
    std::vector<std::pair<double, uint32_t>> events;
    const char *timers;
    const char *logLine; // the second entry's
};

const std::vector<std::pair<double, uint32_t>> kFive = {
    {0, 0x80}, {1e-3, 0x1}, {2e-3, 0x80}, {2.3e-3, 0x80}, {2.8e-3, 0}};

const TimerCase kTimers[] = {
    {"Bits16", 16, 1e-7, 0, kFive, "ecff f0d8 f0d8 48f4 78ec", "Timer: D8F0; Event: 0001 -- 0.001"},
    {"Bits24", 24, 1e-7, 0, kFive, "ecffff f0d8ff f0d8ff 48f4ff 78ecff", "Timer: FFD8F0; Event: 0001 -- 0.001"},
    {"Bits32", 32, 1e-7, 0, kFive, "ecffffff f0d8ffff f0d8ffff 48f4ffff 78ecffff",
     "Timer: FFFFD8F0; Event: 0001 -- 0.001"},
    // First: 2 + 4 ticks more; second: 100 - 4 ticks.
    {"Propagation", 16, 1e-6, 4e-6, {{0.5, 0x84}, {0.5001, 0x80}}, "faff a0ff", "Timer: FFA0; Event: 0080 -- 0.5001"},
    {"ClosingGapsBeyondTheTimerWaitItsLongest",
     16,
     1e-6,
     0,
     {{0.25, 0x84}, {0.55, 0x80}, {1.05, 0}},
     "feff 0100 0100",
     "Timer: 0001; Event: 0080 -- 0.55"},
};

TEST(ProgramImage, TimerAndEventBlocks) {
    for (const TimerCase &tc : kTimers) {
        SCOPED_TRACE(tc.name);
        TCompiler c;
        c.Constants.TimerBits = tc.bits;
        c.Constants.TimeBase = tc.timeBase;
        c.Constants.TimePropagation = tc.propagation;
        c.Constants.MinTimer = 2e-6;
        SetTable(c, tc.events);
        const TProgramImage img = BuildProgramImage(c, Target(ModelG1));
        ASSERT_EQ(img.Result, kSendOk);
        QByteArray events;
        for (const auto &[t, code] : tc.events)
            events.append(char(code & 0xFF)).append(char(code >> 8));
        EXPECT_EQ(img.Events, events);
        EXPECT_EQ(img.Timers.toHex(), QByteArray(tc.timers).replace(' ', ""));
        ASSERT_EQ(img.TimerLog.size(), qsizetype(tc.events.size()));
        EXPECT_EQ(img.TimerLog[1], tc.logLine);
    }
}

TEST(ProgramImage, GapBeyondAnyTimerCountIsRefused) {
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    TCompiler c;
    c.Constants.TimerBits = 16;
    SetTable(c, {{0, 0x80}, {1e300, 0}});
    RecordingLink link;
    EXPECT_EQ(SendProgram(link, c, Target(ModelG1), {}), kSendTimersUnencodable);
    EXPECT_EQ(link.sent, QStringList{"LDE"});
    EXPECT_EQ(messages.texts(), QStringList{"Too long time between commands"});
}

// What each device type is sent, and where a refused block stops the sending.
TEST(ProgramImage, SendingOrderAndRefusals) {
    const QStringList volts = {"SA1", "SA2", "SA3", "SA5", "SA6"};
    struct Case {
        const char *name;
        TDevice device;
        bool withMacros;
        const char *refuse;
        int32_t result;
        QStringList sent;
    };
    const Case cases[] = {
        {"MacrosToModelG", ModelG1, true, "", kSendOk, QStringList{"LDE", "LDT", "LDX", "LDC"} + volts},
        {"NoMacrosNoBlocks", ModelG1, false, "", kSendOk, QStringList{"LDE", "LDT"} + volts},
        {"ModelEAndFNeverMacros", ModelE, true, "", kSendOk, QStringList{"LDE", "LDT"} + volts},
        {"ModelWNoVoltages", ModelW, true, "", kSendOk, {"LDE", "LDT", "LDX", "LDC"}},
        {"EventsRefused", ModelG1, true, "LDE", kSendEventsRefused, {"LDE"}},
        {"TimersRefused", ModelG1, true, "LDT", kSendTimersRefused, {"LDE", "LDT"}},
        {"MacrosRefused", ModelG1, true, "LDX", kSendMacrosRefused, QStringList{"LDE", "LDT", "LDX"} + volts},
        {"CountsRefused", ModelG1, true, "LDC", kSendCountsRefused, QStringList{"LDE", "LDT", "LDX", "LDC"} + volts},
    };
    for (const Case &tc : cases) {
        SCOPED_TRACE(tc.name);
        TCompiler c;
        SetTable(c, {{0, 0x81}, {1e-3, 0x80}});
        if (tc.withMacros)
            c.Macros.push_back({0.5, QByteArray("SA3\x9a\x01", 5)});
        RecordingLink link;
        link.refuse = tc.refuse;
        int waited = 0;
        EXPECT_EQ(SendProgram(link, c, Target(tc.device), [&](int ms) { waited += ms; }), tc.result);
        EXPECT_EQ(link.sent, tc.sent);
        EXPECT_EQ(waited, tc.sent.contains("SA1") ? 500 : 0);
    }
}

TEST(ProgramImage, MacroAndCountBlocks) {
    TCompiler c;
    SetTable(c, {{0, 0x81}});
    c.Macros.push_back({0.1, QByteArray("`\x02", 2)});
    c.Macros.push_back({0.1, "SA3"});
    c.Macros.push_back({0.1, QByteArray()});
    c.SampleTimesA.Add(0);
    c.SampleTimesA.Add(1);
    c.SkippedA = 3;
    c.SkippedB = 0x01020304;
    const TProgramImage img = BuildProgramImage(c, Target(ModelG1));
    EXPECT_EQ(img.Macros.toHex(' '), "02 60 02 03 53 41 33 00");
    EXPECT_EQ(img.Counts.toHex(' '), "05 00 00 00 04 03 02 01");
    EXPECT_EQ(img.MacroLog[1], "`Timer: 0.100000; Macro: 03 53 41 33 ");
}

} // namespace
