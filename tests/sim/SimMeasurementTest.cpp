// Programs loaded as blocks are decoded and sampled by the wire rules; a
// measurement clips, runs timed macros and encodes the detector's level.
#include "SimClient.h"

#include <gtest/gtest.h>

using namespace tessel::sim;
using namespace tessel::sim::test;

namespace {

using Events = std::vector<std::pair<double, uint16_t>>;

TSimOptions Fast() {
    TSimOptions o = Opt();
    o.Speed = 1000;
    return o;
}

// Filler events where a gap is longer than the timer can count, as the
// program's builder adds them.
Events WithFillers(const Events &in, double timeBase, int bits) {
    const double maxInterval = (std::ldexp(1.0, bits) - 1) * timeBase;
    Events out;
    for (const auto &e : in) {
        if (!out.empty())
            for (double t = out.back().first + maxInterval; t < e.first; t = out.back().first + maxInterval)
                out.emplace_back(t, out.back().second);
        out.push_back(e);
    }
    return out;
}

TEST(Decode, FullPeriodEntriesAndMismatchedBlocks) {
    TSimConstants k; // 22 bits: three bytes an entry
    EXPECT_FALSE(DecodeProgram({{1, 0, 2, 0}, {0, 0, 0, 0, 0}, {}, {}}, k));
    EXPECT_FALSE(DecodeProgram({{1, 0, 2}, {0, 0, 0}, {}, {}}, k));
    EXPECT_FALSE(DecodeProgram({{1, 0}, {0, 0, 0}, {3, 1, 2}, {}}, k)) << "macro cut short";
    EXPECT_FALSE(DecodeProgram({{1, 0}, {0, 0, 0}, {}, {1, 0, 0, 0}}, k)) << "counts are two 32-bit numbers";
    const auto p = DecodeProgram({{1, 0}, {0, 0, 0}, {2, 'a', 'b', 1, 'c'}, {3, 0, 0, 0, 1, 0, 0, 0}}, k);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Macros.size(), 2u);
    EXPECT_EQ(*p->SlotsA, 3);
    EXPECT_EQ(*p->SlotsB, 1);
    k.TimerBits = 16;
    k.TimeBase = 1e-7;
    k.MinTimer = 0;
    k.TimePropagation = 0;
    const auto q = DecodeProgram({{0x81, 0, 0x80, 0}, {0, 0, 0xF0, 0xD8}, {}, {}}, k);
    ASSERT_TRUE(q);
    EXPECT_NEAR(q->Events[1].Time - q->Events[0].Time, 1e-3, 1e-12);
    EXPECT_NEAR(q->Events[0].Time, 65536e-7, 1e-12) << "a zero entry counts a full period";
}

TEST(Sampling, SlotCountDecidesSamplesPerFlash) {
    TSimProgram p;
    p.Events = {{0.0, 0x81}, {0.01, 0x80}, {1.0, 0x83}, {1.01, 0x80}, {2.0, 0x80}};
    EXPECT_EQ(SampleInstants(p, kLineMeasuringA, 1e-3, 2), (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(SampleInstants(p, kLineMeasuringA, 1e-3, 1), (std::vector<double>{0.0}));
    // Slots of switch-ons that sample nothing do not double the flashes' samples.
    EXPECT_EQ(SampleInstants(p, kLineMeasuringA, 1e-3, 3), (std::vector<double>{0.0, 1.0}));
    const std::vector<double> b = SampleInstants(p, kLineMeasuringB, 1e-3, 5);
    ASSERT_EQ(b.size(), 5u) << "one flash on B: all five slots follow it";
    EXPECT_DOUBLE_EQ(b[0], 1.0);
    EXPECT_NEAR(b[4], 1.004, 1e-12);
    EXPECT_TRUE(SampleInstants(p, kLineFarRed, 1e-3, 5).empty());
}

// Builds a protocol: measuring flashes on both channels, lights switched.
struct Protocol {
    Events Ev;
    std::vector<double> FlashA; // times of the measuring flashes of channel A
    uint16_t Rest = 0x80;
    void Flash(double t) {
        Ev.emplace_back(t, uint16_t(Rest | kLineMeasuringA | kLineMeasuringB));
        Ev.emplace_back(t + 20e-6, Rest);
        FlashA.push_back(t);
    }
    void Light(double t, uint16_t line, bool on) {
        Rest = on ? uint16_t(Rest | line) : uint16_t(Rest & ~line);
        Ev.emplace_back(t, Rest);
    }
};

void Download(Client &c, const Events &events) {
    const TSimConstants &k = c.Sim.Constants();
    const Encoded e = EncodeProgram(WithFillers(events, k.TimeBase, k.TimerBits), k.TimeBase, k.TimerBits, k.MinTimer,
                                    k.TimePropagation);
    ASSERT_TRUE(c.Load("LDE", e.Events));
    ASSERT_TRUE(c.Load("LDT", e.Timers));
}

TEST(Fluorescence, ClippedChannelReportsOutOfRangeOnce) {
    Client c(Fast());
    c.Ask(Cat(B("SG"), {100, 1})); // channel A gain far too high
    Protocol p;                    // the dark level, then a saturating pulse: Fm
    p.Flash(0.0);
    p.Light(0.1, kLineSaturating, true);
    p.Flash(0.4);
    p.Light(0.6, kLineSaturating, false);
    p.Ev.emplace_back(1.0, 0);
    Download(c, p.Ev);
    c.Ask("ST");
    c.Sim.Advance(1.0);
    EXPECT_EQ(c.Ask("WD"), B("EM"));
    const Client::Fetched a = c.Fetch("GDA", 2 * p.FlashA.size());
    EXPECT_TRUE(a.Ok);
    EXPECT_EQ(c.Ask("WD"), B("SA"));
    EXPECT_TRUE(c.Fetch("GDB", 2 * p.FlashA.size()).Ok);
    const std::vector<int16_t> s = Samples(a.Data);
    EXPECT_EQ(*std::max_element(s.begin(), s.end()), 32767);
    EXPECT_EQ(c.Ask("WD"), B("ND")) << "channel B was in range; both read";
}

// Macro entries run at the rising edges of the macro line, a marked group at
// one edge; the levels they leave outlast the run, as "EC" macros' do.
TEST(Fluorescence, TimedMacrosRunAtMacroLineEdges) {
    Client c(Fast());
    const unsigned full = unsigned(c.Sim.Constants().MaxDAValue);
    c.Ask(Cat(B("EC"), Cat({5}, Cat(B("SA3"), U16(0)))));
    EXPECT_EQ(c.Sim.Lights().Level[3], 0.0) << "an initial macro";
    Protocol p;
    p.Light(0.0, kLineActinic1, true);
    p.Flash(0.9);
    p.Light(1.0, kLineMacro, true); // the light to full
    p.Light(1.001, kLineMacro, false);
    p.Flash(1.9);
    p.Light(2.0, kLineMacro, true); // both macros of the group
    p.Light(2.001, kLineMacro, false);
    p.Flash(2.9);
    p.Light(3.0, kLineActinic1, false);
    p.Ev.emplace_back(3.3, 0x80);
    p.Ev.emplace_back(3.8, 0);
    Download(c, p.Ev);
    const Bytes macros =
        Cat(Cat({5}, Cat(B("SA3"), U16(full))),
            Cat(Cat({2, '`', 2}, Cat({5}, Cat(B("SA3"), U16(full / 5)))), Cat({5}, Cat(B("SA6"), U16(full)))));
    ASSERT_TRUE(c.Load("LDX", macros));
    ASSERT_TRUE(c.Load("LDC", {3, 0, 0, 0, 3, 0, 0, 0}));
    c.Ask("ST");
    c.Sim.Advance(0.1);
    ASSERT_EQ(c.Ask("WD"), B("EM"));
    const std::vector<int16_t> s = Samples(c.Fetch("GDA", 6).Data);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_GT(s[1], s[0] * 1.3) << "full light closes more centres than the lamp at level 0";
    EXPECT_LT(s[2], s[1]) << "and a fifth of it fewer";
    EXPECT_NEAR(c.Sim.Lights().Level[3], 0.2, 1e-3);
    EXPECT_EQ(c.Sim.Lights().Level[6], 1.0);
}

// An unsigned detector rests at 0 in the dark, which is no clipping, and
// sends twice its level; a signed one goes below 0.
TEST(Fluorescence, UnsignedDetectorRestsAtZeroAndSendsItsLevelDoubled) {
    std::mt19937 rng(1);
    for (const bool isUnsigned : {false, true}) {
        TSimChannel ch;
        ch.Bits = 12;
        ch.Unsigned = isUnsigned;
        const int scale = isUnsigned ? 2 : 1;
        EXPECT_EQ(ch.Sample(0.25, true, 0, rng), scale * 512) << isUnsigned;
        EXPECT_EQ(ch.Sample(-0.25, true, 0, rng), isUnsigned ? 0 : -512);
        EXPECT_FALSE(ch.Clipped) << isUnsigned;
    }
}

} // namespace
