// The program image: block encodings for every timer width, the device-type
// rules, the analog outputs, and the sending order with its results.
#include "compiler/ProgramImage.h"
#include "BuilderSupport.h"
#include "support/RecordingServices.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

// Records what was sent; refuses the block named in refuse.
struct RecordingLink : IProgramLoader {
    QStringList calls;
    QByteArray refuse;
    std::vector<std::pair<int, int>> voltages;
    bool LoadData(const QByteArray &mnemonic, const QByteArray &data) override {
        calls << QString::fromLatin1(mnemonic) + ":" + QString::fromLatin1(data.toHex());
        return mnemonic != refuse;
    }
    bool SetVoltage(int n, int value) override {
        calls << QStringLiteral("SA%1").arg(n);
        voltages.emplace_back(n, value);
        return true;
    }
    QStringList mnemonics() const {
        QStringList out;
        for (const QString &c : calls)
            out << c.section(':', 0, 0);
        return out;
    }
};

// A compiler holding a finished table, without running a build.
void SetTable(TCompiler &c, const std::vector<std::pair<double, uint32_t>> &events) {
    c.Events.Clear();
    for (const auto &[t, s] : events)
        c.Events.Add(t, s);
}

TProgramTarget Target(TDevice d) { return TProgramTarget{d, {"M", "F", "A1", "A2", "FR"}, 4095}; }

struct WidthCase {
    int32_t bits;
    int width;
    const char *secondEntry; // 1 ms after the first, TimeBase 1e-7, no propagation
    const char *logLine;
};

const WidthCase kWidths[] = {
    {16, 2, "f0d8", "Timer: D8F0; Event: 0001 -- 0.001"},
    {22, 3, "f0d83f", "Timer: 3FD8F0; Event: 0001 -- 0.001"},
    {24, 3, "f0d8ff", "Timer: FFD8F0; Event: 0001 -- 0.001"},
    {32, 4, "f0d8ffff", "Timer: FFFFD8F0; Event: 0001 -- 0.001"},
};

class TimerWidths : public ::testing::TestWithParam<WidthCase> {};

TEST_P(TimerWidths, EntriesAreTheComplementOfTheTicks) {
    const WidthCase &tc = GetParam();
    TCompiler c;
    c.Constants.TimerBits = tc.bits;
    c.Constants.TimeBase = 1e-7;
    c.Constants.TimePropagation = 0;
    c.Constants.MinTimer = 2e-6; // first entry spans MinTimer: 20 ticks
    SetTable(c, {{0, 0x80}, {1e-3, 0x1}, {2e-3, 0x80}, {2.3e-3, 0x80}, {2.8e-3, 0}});
    const TProgramImage img = BuildProgramImage(c, Target(ModelG1));
    ASSERT_EQ(img.Result, kSendOk);
    ASSERT_EQ(img.Timers.size(), 5 * tc.width);
    EXPECT_EQ(img.Timers.mid(tc.width, tc.width).toHex(), tc.secondEntry);
    // First entry: 2^bits - 20.
    uint64_t first = 0;
    for (int i = 0; i < tc.width; ++i)
        first |= uint64_t(uint8_t(img.Timers[i])) << (8 * i);
    EXPECT_EQ(first, ((uint64_t(1) << tc.bits) - 20) & 0xFFFFFFFFu);
    ASSERT_EQ(img.TimerLog.size(), 5);
    EXPECT_EQ(img.TimerLog[1], tc.logLine);
    EXPECT_EQ(img.Events.toHex(), "8000010080008000"
                                  "0000");
}

INSTANTIATE_TEST_SUITE_P(ProgramImage, TimerWidths, ::testing::ValuesIn(kWidths),
                         [](const auto &info) { return "Bits" + std::to_string(info.param.bits); });

TEST(ProgramImage, PropagationShortensEveryGapAndLengthensTheFirst) {
    TCompiler c;
    c.Constants.TimerBits = 16;
    c.Constants.TimeBase = 1e-6;
    c.Constants.TimePropagation = 4e-6;
    c.Constants.MinTimer = 10e-6;
    SetTable(c, {{0.5, 0x84}, {0.5001, 0x80}});
    const TProgramImage img = BuildProgramImage(c, Target(ModelG1));
    // First: MinTimer + propagation = 14 ticks; second: 100 - 4 = 96 ticks.
    EXPECT_EQ(img.Timers.toHex(), QByteArray("f2ff"
                                             "a0ff"));
}

TEST(ProgramImage, ClosingGapsBeyondTheTimerWaitItsLongest) {
    TCompiler c;
    c.Constants.TimerBits = 16;
    c.Constants.TimeBase = 1e-6;
    c.Constants.TimePropagation = 0;
    c.Constants.MinTimer = 2e-6;
    SetTable(c, {{0.25, 0x84}, {0.55, 0x80}, {1.05, 0}});
    const TProgramImage img = BuildProgramImage(c, Target(ModelE));
    ASSERT_EQ(img.Result, kSendOk);
    EXPECT_EQ(img.Timers.toHex(), QByteArray("feff"
                                             "0100"
                                             "0100"));
    EXPECT_EQ(img.TimerLog[2], "Timer: 0001; Event: 0000 -- 1.05");
}

TEST(ProgramImage, TimersThatCannotBeEncoded) {
    struct Case {
        const char *name;
        int32_t bits;
        double gap;
        const char *dialog;
    };
    const Case cases[] = {
        {"UnsupportedWidth", 20, 1e-3, "Oops, should not happen. Unsupported convertor timerbits."},
        {"GapBeyondAnyCount", 16, 1e300, "Too long time between commands"},
    };
    for (const Case &tc : cases) {
        RecordingMessageService messages;
        ScopedMessageService scope(&messages);
        TCompiler c;
        c.Constants.TimerBits = tc.bits;
        c.Constants.TimePropagation = 0;
        SetTable(c, {{0, 0x80}, {tc.gap, 0}});
        RecordingLink link;
        EXPECT_EQ(SendProgram(link, c, Target(ModelG1), {}), kSendTimersUnencodable) << tc.name;
        EXPECT_EQ(link.mnemonics(), QStringList{"LDE"}) << tc.name;
        EXPECT_EQ(messages.texts(), QStringList{tc.dialog}) << tc.name;
    }
}

struct DeviceCase {
    const char *name;
    TDevice device;
    bool withMacros;
    QStringList sent;
};

class DeviceRules : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(DeviceRules, WhatIsSent) {
    const DeviceCase &tc = GetParam();
    TCompiler c;
    SetTable(c, {{0, 0x81}, {1e-3, 0x80}});
    if (tc.withMacros)
        c.Macros.push_back({0.5, QByteArray("SA3\x9a\x01", 5)});
    RecordingLink link;
    int waited = 0;
    EXPECT_EQ(SendProgram(link, c, Target(tc.device), [&](int ms) { waited += ms; }), kSendOk);
    EXPECT_EQ(link.mnemonics(), tc.sent);
    EXPECT_EQ(waited, tc.device == ModelW ? 0 : 500);
}

const QStringList kVolts = {"SA1", "SA2", "SA3", "SA5", "SA6"};

INSTANTIATE_TEST_SUITE_P(
    ProgramImage, DeviceRules,
    ::testing::Values(DeviceCase{"MacrosToModelG", ModelG1, true, QStringList{"LDE", "LDT", "LDX", "LDC"} + kVolts},
                      DeviceCase{"NoMacrosNoBlocks", ModelG1, false, QStringList{"LDE", "LDT"} + kVolts},
                      DeviceCase{"ModelENeverMacros", ModelE, true, QStringList{"LDE", "LDT"} + kVolts},
                      DeviceCase{"ModelFNeverMacros", ModelF, true, QStringList{"LDE", "LDT"} + kVolts},
                      DeviceCase{"ModelWNoVoltages", ModelW, true, QStringList{"LDE", "LDT", "LDX", "LDC"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ProgramImage, RefusalsStopOrMarkTheResult) {
    struct Case {
        const char *refuse;
        int32_t result;
        QStringList sent;
    };
    const Case cases[] = {
        {"LDE", kSendEventsRefused, {"LDE"}},
        {"LDT", kSendTimersRefused, {"LDE", "LDT"}},
        {"LDX", kSendMacrosRefused, QStringList{"LDE", "LDT", "LDX"} + kVolts},
        {"LDC", kSendCountsRefused, QStringList{"LDE", "LDT", "LDX", "LDC"} + kVolts},
    };
    for (const Case &tc : cases) {
        TCompiler c;
        SetTable(c, {{0, 0x81}, {1e-3, 0x80}});
        c.Macros.push_back({0.5, "x"});
        RecordingLink link;
        link.refuse = tc.refuse;
        EXPECT_EQ(SendProgram(link, c, Target(ModelG1), {}), tc.result) << tc.refuse;
        EXPECT_EQ(link.mnemonics(), tc.sent) << tc.refuse;
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
    EXPECT_EQ(img.Macros.toHex(), "026002"
                                  "03534133"
                                  "00");
    EXPECT_EQ(img.Counts.toHex(), "05000000"
                                  "04030201");
    EXPECT_EQ(img.MacroLog[1], "`Timer: 0.100000; Macro: 03 53 41 33 ");
}

TEST(ProgramImage, AnalogOutputValues) {
    struct Case {
        double percent;
        int32_t full;
        int32_t value;
    };
    const Case cases[] = {{150, 4095, 4095}, {-5, 4095, 0}, {10, 4095, 410}, {12.5, 4, 0}, {37.5, 4, 2}, {100, 1, 1}};
    for (const Case &tc : cases)
        EXPECT_EQ(AnalogOutputValue(tc.percent, tc.full), tc.value) << tc.percent << " of " << tc.full;
}

} // namespace
