// The instrument side of the wire protocol, byte for byte, one table per
// command family.
#include "SimClient.h"

#include <gtest/gtest.h>

using namespace tessel::sim;
using namespace tessel::sim::test;

namespace {

// A short program of three events: measuring flash A on and off, then rest.
void LoadSmallProgram(Client &c) {
    const TSimConstants &k = c.Sim.Constants();
    const Encoded e = EncodeProgram({{0.0, 0x81}, {0.001, 0x80}, {0.3, 0x80}, {0.8, 0x00}}, k.TimeBase, k.TimerBits,
                                    k.MinTimer, k.TimePropagation);
    ASSERT_TRUE(c.Load("LDE", e.Events));
    ASSERT_TRUE(c.Load("LDT", e.Timers));
}

TEST(SimIdentity, AnswersIdentificationAndVersionOfEachType) {
    // A type that describes itself runs firmware new enough for the reset macros.
    const std::tuple<const char *, const char *, Bytes> cases[] = {{"ModelA", "ModelA  ", {2, 0, 0, 0}},
                                                                   {"ModelR1", "ModelR  ", {1, 0, 1, 10}}};
    for (const auto &[device, ident, version] : cases) {
        Client c(Opt(device));
        EXPECT_EQ(c.Ask("WH"), B(ident)) << device;
        EXPECT_EQ(c.Ask("VER"), version) << device;
    }
}

TEST(SimLine, NoiseSplitAndStaleCommands) {
    Client c;
    EXPECT_EQ(c.Ask(Bytes{0x13, 0x00, 0xFE, 'W', 'D'}), B("FR")) << "noise in front of a command";
    // Split across reads: assembled.
    for (const Bytes &part : {B("S"), B("G"), Bytes{35}, Bytes{2}})
        EXPECT_TRUE(c.Ask(part).empty());
    EXPECT_EQ(c.Ask("SD"), (Bytes{50, 35, 50, 50}));
    c.Ask("V", 1.5); // never completed within a second: noise
    EXPECT_EQ(c.Ask("WH"), B("ModelT  "));
}

TEST(SimStatus, FollowsTheProgramFromEmptyToDataAndBack) {
    TSimOptions o = Opt();
    o.TriggerWait = 0.5;
    o.Speed = 10;
    Client c(o);
    c.Ask("ST");
    EXPECT_EQ(c.Ask("WD"), B("FR")) << "no program, no start";
    LoadSmallProgram(c);
    EXPECT_EQ(c.Ask("WD"), B("ND"));
    c.Ask("ST");
    EXPECT_EQ(c.Ask("WD"), B("WT"));
    c.Sim.Advance(0.5);
    EXPECT_EQ(c.Ask("WD"), B("BB"));
    c.Sim.Advance(0.1);
    EXPECT_EQ(c.Ask("WD"), B("EM"));
    EXPECT_TRUE(c.Fetch("GDA", 2).Ok);
    EXPECT_EQ(c.Ask("WD"), B("EM")) << "channel B not read yet";
    EXPECT_TRUE(c.Fetch("GDB", 0).Ok);
    EXPECT_EQ(c.Ask("WD"), B("ND"));
    // A stop during the run discards it.
    c.Ask("ST");
    c.Sim.Advance(0.5);
    EXPECT_EQ(c.Ask("WD"), B("BB"));
    c.Ask("SP");
    EXPECT_EQ(c.Ask("WD"), B("ND"));
}

TEST(SimLoad, RefusedAndAbandonedLoadsLeaveTheLineToCommands) {
    Client c;
    const Bytes data = {1, 2, 3, 4};
    EXPECT_TRUE(c.Ask(Cat(B("LDE"), Size(4, 4096))).empty());
    EXPECT_EQ(c.Ask(Cat(data, {uint8_t(Sum(data) + 1)})), B("ER"));
    EXPECT_EQ(c.Ask("WD"), B("FR")) << "the refused load is gone";
    c.Ask(Cat(B("LDE"), Size(100, 4096)));
    c.Ask(Bytes(10, 0x55), 2.0); // and this one times out
    EXPECT_EQ(c.Ask("WH"), B("ModelT  "));
}

TEST(SimDownload, HeaderBlocksAndChecksums) {
    // bytes asked for -> header, then the length of each block; a whole
    // number of blocks still ends with an empty one
    const std::tuple<size_t, Bytes, std::vector<size_t>> cases[] = {
        {10000, {'S', 'D', 'A', 0x10, 0x07, 0x02}, {4096, 4096, 1808}},
        {8192, {'S', 'D', 'A', 0, 0, 2}, {4096, 4096, 0}}};
    for (const auto &[size, header, blocks] : cases) {
        SCOPED_TRACE(size);
        Client c;
        Bytes in = c.Ask(Cat(B("GDA"), Size(size, 4096)));
        ASSERT_GE(in.size(), 6u);
        EXPECT_EQ(Bytes(in.begin(), in.begin() + 6), header);
        in.erase(in.begin(), in.begin() + 6);
        for (size_t len : blocks) {
            ASSERT_EQ(in.size(), len + 1);
            EXPECT_EQ(in[len], Sum(in, 0, len));
            in = c.Ask("OK");
        }
        EXPECT_TRUE(in.empty());
    }
}

TEST(SimDownload, ErResendsAndThreeRefusalsOrAnotherCommandEndTheTransfer) {
    Client c;
    Bytes in = c.Ask(Cat(B("GDA"), Size(20, 4096)));
    const Bytes first(in.begin() + 6, in.end());
    EXPECT_EQ(c.Ask("ER"), first);
    EXPECT_EQ(c.Ask("ER"), first);
    EXPECT_TRUE(c.Ask("ER").empty()) << "third refusal: the instrument gives up";
    EXPECT_EQ(c.Ask("WD"), B("FR"));
    c.Ask(Cat(B("GDA"), Size(20, 4096)));
    EXPECT_EQ(c.Ask("WH"), B("ModelT  "));
}

// Request, exact reply, and the seconds of line time it is given.
struct Step {
    Bytes Request, Reply;
    double Wait = 0.01;
};

TEST(SimFaults, RepliesUnderEachFault) {
    const Bytes wh = B("WH"), wd = B("WD"), ident = B("ModelT  ");
    const struct {
        const char *Name;
        void (*Set)(TSimFaults &);
        std::vector<Step> Steps;
    } cases[] = {
        {"dropped and truncated replies",
         [](TSimFaults &f) {
             f.DropReplies = {2};
             f.TruncateReplies = {3};
         },
         {{wh, ident}, {wh, {}}, {wh, B("Mode")}, {wh, ident}}},
        {"silent after two commands",
         [](TSimFaults &f) { f.SilentAfter = 2; },
         {{wd, B("FR")}, {wh, ident}, {wd, {}, 2.0}}},
        {"status reply on demand", [](TSimFaults &f) { f.StatusReply = "E2"; }, {{wd, B("E2")}}},
        {"asleep until woken, dozing off again",
         [](TSimFaults &f) { f.NeedWakeUp = true; },
         {{wh, {}}, {Cat(Bytes(200, 0xAA), wh), ident}, {{}, {}, 11.0}, {wh, {}}}},
        {"hang-up one byte into the status reply",
         [](TSimFaults &f) {
             f.HangupCommand = "WD";
             f.HangupBytes = 1;
         },
         {{wh, ident}, {wd, B("F")}, {wh, {}}}},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.Name);
        TSimOptions o = Opt();
        k.Set(o.Faults);
        Client c(o);
        for (size_t i = 0; i < k.Steps.size(); ++i)
            EXPECT_EQ(c.Ask(k.Steps[i].Request, k.Steps[i].Wait), k.Steps[i].Reply) << "step " << i;
        EXPECT_EQ(c.Sim.LineDown(), !o.Faults.HangupCommand.empty());
    }
}

TEST(SimSettings, GainsOffsetsAndApdAreKeptAndReadBack) {
    Client c;
    EXPECT_TRUE(c.Ask(Cat(B("SG"), {35, 2})).empty());
    c.Ask(Cat(B("SG"), {120, 1})); // kept within 0..100
    c.Ask(Cat(B("SO"), {7, 1}));
    c.Ask(Cat(B("SO"), {9, 3})); // no channel 3: ignored
    EXPECT_EQ(c.Ask("SD"), (Bytes{100, 35, 7, 50}));
    c.Ask(Cat(B("SW"), {80, 2}));
    EXPECT_EQ(c.Ask("SX"), (Bytes{50, 80}));
    // A type without gains or information stays quiet.
    Client f(Opt("ModelF"));
    for (const char *cmd : {"SD", "SX", "DI"})
        EXPECT_TRUE(f.Ask(cmd).empty()) << cmd;
}

TEST(SimDeviceInfo, DecimalFloatsUseTheShortestMantissa) {
    const std::vector<std::pair<double, Bytes>> cases = {
        {5e-6, {0, 0, 0, 5, 0xFA}}, {-2.0, {0xFF, 0xFF, 0xFF, 0xFE, 0}},         {1e6, {0, 0, 0, 1, 6}},
        {0.0, {0, 0, 0, 0, 0}},     {1.0 / 3.0, {0x13, 0xDE, 0x43, 0x55, 0xF7}},
    };
    for (const auto &[value, bytes] : cases) {
        Bytes out;
        AppendDecimalFloat(out, value);
        EXPECT_EQ(out, bytes) << value;
    }
}

TEST(SimMonitor, PacketStreamAtTheConfiguredRate) {
    TSimOptions o = Opt("ModelT2");
    o.MonitorRate = 20;
    Client c(o);
    EXPECT_TRUE(c.Ask(Cat(B("MO"), U16(1))).empty());
    const Bytes s = c.Ask("", 1.0);
    ASSERT_EQ(s.size(), 20u * 11u);
    for (size_t at = 0; at < s.size(); at += 11) {
        EXPECT_EQ(Bytes(s.begin() + std::ptrdiff_t(at), s.begin() + std::ptrdiff_t(at + 4)), (Bytes{'S', 'D', 'M', 2}));
        EXPECT_EQ(s[at + 4], 1);
        EXPECT_EQ(s[at + 7], 2);
        EXPECT_EQ(s[at + 10], Sum(s, at + 4, 6));
    }
    c.Ask("MS");
    EXPECT_TRUE(c.Ask("", 1.0).empty());
}

TEST(SimMonitor, SimpleStreamStopsOnAZeroByteAndShowsTheFlash) {
    TSimOptions o = Opt("ModelF");
    o.MonitorRate = 50;
    Client c(o);
    c.Ask(Cat(B("MO"), U16(1)));
    const std::vector<int16_t> dark = Samples(c.Ask("", 0.2));
    ASSERT_GE(dark.size(), 2u * 9u);
    c.Ask("BF1"); // saturating flash
    const std::vector<int16_t> lit = Samples(c.Ask("", 0.2));
    ASSERT_GE(lit.size(), 2u * 9u);
    EXPECT_GT(lit[2], 2 * dark[0]) << "channel A rises under the flash";
    c.Ask(Bytes{0});
    EXPECT_FALSE(c.Sim.MonitorRunning());
    EXPECT_TRUE(c.Ask("", 0.5).empty());
}

TEST(SimSelfTest, TaggedReportEndsWithItsMarker) {
    Client c;
    Bytes s = c.Ask("TST", 0.05);
    EXPECT_EQ(c.Ask("WD"), B("TT"));
    const Bytes more = c.Ask("", 5.0);
    s.insert(s.end(), more.begin(), more.end());
    bool ended = false;
    const std::string text = DecodeTagged(s, ended);
    EXPECT_TRUE(ended);
    for (const char *line :
         {"Self test of ModelT   version 1.2.1.10\r\n", "Event memory [events]: 32768\r\n", "Self test passed"})
        EXPECT_NE(text.find(line), std::string::npos) << text;
    EXPECT_EQ(c.Ask("WD"), B("FR"));
}

} // namespace
