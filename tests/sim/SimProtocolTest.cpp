// The instrument side of the wire protocol, byte for byte.
#include "SimClient.h"
#include "common/IniFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tessel::sim;
using namespace tessel::sim::test;

namespace {

TSimOptions Opt(std::string device = "ModelT2") {
    TSimOptions o;
    o.Device = std::move(device);
    o.IniPath = tessel::test::SourcePath("resources/Tessel.ini").toStdString();
    return o;
}

// A short program of three events: measuring flash A on and off, then rest.
void LoadSmallProgram(Client &c) {
    const TSimConstants &k = c.Sim.Constants();
    const Encoded e = EncodeProgram({{0.0, 0x81}, {0.001, 0x80}, {0.3, 0x80}, {0.8, 0x00}}, k.TimeBase, k.TimerBits,
                                    k.MinTimer, k.TimePropagation);
    ASSERT_TRUE(c.Load("LDE", e.Events));
    ASSERT_TRUE(c.Load("LDT", e.Timers));
}

struct IdentityCase {
    const char *Device;
    const char *Ident;
    Bytes Version;
};

class Identity : public testing::TestWithParam<IdentityCase> {};

TEST_P(Identity, AnswersIdentificationAndVersion) {
    Client c(Opt(GetParam().Device));
    EXPECT_EQ(c.Ask("WH"), B(GetParam().Ident));
    EXPECT_EQ(c.Ask("VER"), GetParam().Version);
}

INSTANTIATE_TEST_SUITE_P(Types, Identity,
                         testing::Values(IdentityCase{"ModelA", "ModelA  ", {2, 0, 0, 0}},
                                         IdentityCase{"ModelB1", "ModelB  ", {1, 8, 0, 0}},
                                         IdentityCase{"ModelB2", "ModelB  ", {1, 9, 0, 0}},
                                         IdentityCase{"ModelF", "ModelF  ", {0, 0, 0, 0}},
                                         IdentityCase{"ModelR1", "ModelR  ", {1, 0, 1, 10}},
                                         IdentityCase{"ModelT2", "ModelT  ", {1, 2, 1, 10}},
                                         IdentityCase{"ModelW", "ModelW  ", {0, 0, 0, 0}}));

TEST(SimLine, AnswersOnlyAtItsOwnBaudRateAndToleratesWakeUp) {
    Client c(Opt());
    c.Sim.Receive("WH", 9600);
    c.Sim.Advance(0.5);
    EXPECT_TRUE(c.Sim.TakeOutput().empty());
    EXPECT_EQ(c.Ask(Cat(Bytes(200, 0xAA), B("WH"))), B("ModelT  "));
    // Noise in front of a command does not hide it.
    EXPECT_EQ(c.Ask(Bytes{0x13, 0x00, 0xFE, 'W', 'D'}), B("FR"));
}

TEST(SimLine, CommandsSplitAcrossReadsAreAssembled) {
    Client c(Opt());
    EXPECT_TRUE(c.Ask("S").empty());
    EXPECT_TRUE(c.Ask("G").empty());
    EXPECT_TRUE(c.Ask(Bytes{35}).empty());
    EXPECT_TRUE(c.Ask(Bytes{2}).empty());
    EXPECT_EQ(c.Ask("SD"), (Bytes{50, 35, 50, 50}));
}

TEST(SimLine, IncompleteCommandIsDroppedAfterASecond) {
    Client c(Opt());
    c.Ask("V", 1.5); // never completed: noise
    EXPECT_EQ(c.Ask("WH"), B("ModelT  "));
}

TEST(SimStatus, FollowsTheProgramFromEmptyToDataAndBack) {
    TSimOptions o = Opt();
    o.TriggerWait = 0.5;
    o.Speed = 10;
    Client c(o);
    EXPECT_EQ(c.Ask("WD"), B("FR"));
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

TEST(SimLoad, ChecksumsDecideBetweenOkAndEr) {
    Client c(Opt());
    const Bytes data = {1, 2, 3, 4};
    EXPECT_TRUE(c.Ask(Cat(B("LDE"), Size(4, 4096))).empty());
    EXPECT_EQ(c.Ask(Cat(data, {uint8_t(Sum(data) + 1)})), B("ER"));
    // The refused load is gone: what follows is a command again.
    EXPECT_EQ(c.Ask("WD"), B("FR"));
}

TEST(SimLoad, ExactMultipleOfTheBlockSizeSendsNoEmptyBlock) {
    Client c(Opt());
    Bytes image(2 * 4096);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = uint8_t(i * 7);
    ASSERT_TRUE(c.Load("LDP", image));
    const Bytes px = c.Ask("PX");
    ASSERT_EQ(px.size(), 18u);
    EXPECT_NE(std::string(px.begin(), px.end()).find("8192"), std::string::npos);
    EXPECT_EQ(c.Ask("", 2.0), B("OK"));
    const Bytes pf = c.Ask("PF");
    EXPECT_EQ(std::string(pf.begin(), pf.begin() + 2), "OK");
    EXPECT_LE(pf.size(), 41u);
}

TEST(SimLoad, ProgrammingWithoutImageFails) {
    Client c(Opt());
    ASSERT_TRUE(c.Load("LDP", {}));
    EXPECT_EQ(c.Ask("PX").size(), 18u);
    EXPECT_EQ(c.Ask("", 2.0), B("ER"));
    const Bytes pf = c.Ask("PF");
    EXPECT_EQ(std::string(pf.begin(), pf.begin() + 2), "ER");
}

TEST(SimLoad, AbandonedLoadTimesOutAndCommandsWorkAgain) {
    Client c(Opt());
    c.Ask(Cat(B("LDE"), Size(100, 4096)));
    c.Ask(Bytes(10, 0x55), 2.0);
    EXPECT_EQ(c.Ask("WH"), B("ModelT  "));
}

struct DownloadCase {
    size_t Bytes;
    ::Bytes Header;
    std::vector<size_t> BlockSizes;
};

class Download : public testing::TestWithParam<DownloadCase> {};

TEST_P(Download, HeaderBlocksAndChecksums) {
    Client c(Opt());
    const size_t n = GetParam().Bytes;
    Bytes in = c.Ask(Cat(B("GDA"), Size(n, 4096)));
    ASSERT_GE(in.size(), 6u);
    EXPECT_EQ(Bytes(in.begin(), in.begin() + 6), GetParam().Header);
    in.erase(in.begin(), in.begin() + 6);
    for (size_t len : GetParam().BlockSizes) {
        ASSERT_EQ(in.size(), len + 1);
        EXPECT_EQ(in[len], Sum(in, 0, len));
        in = c.Ask("OK");
    }
    EXPECT_TRUE(in.empty());
    EXPECT_EQ(c.Ask("WH"), B("ModelT  "));
}

INSTANTIATE_TEST_SUITE_P(Sizes, Download,
                         testing::Values(DownloadCase{10000, {'S', 'D', 'A', 0x10, 0x07, 0x02}, {4096, 4096, 1808}},
                                         DownloadCase{8192, {'S', 'D', 'A', 0, 0, 2}, {4096, 4096, 0}},
                                         DownloadCase{0, {'S', 'D', 'A', 0, 0, 0}, {0}},
                                         DownloadCase{6, {'S', 'D', 'A', 6, 0, 0}, {6}}));

TEST(SimDownload, ChannelBHeaderAlsoStartsWithSDA) {
    Client c(Opt());
    const Bytes in = c.Ask(Cat(B("GDB"), Size(4, 4096)));
    EXPECT_EQ(Bytes(in.begin(), in.begin() + 6), (Bytes{'S', 'D', 'A', 4, 0, 0}));
}

TEST(SimDownload, ErResendsTheSameBlockAndThreeRefusalsEndTheTransfer) {
    Client c(Opt());
    Bytes in = c.Ask(Cat(B("GDA"), Size(20, 4096)));
    const Bytes first(in.begin() + 6, in.end());
    EXPECT_EQ(c.Ask("ER"), first);
    EXPECT_EQ(c.Ask("ER"), first);
    EXPECT_TRUE(c.Ask("ER").empty()) << "third refusal: the instrument gives up";
    EXPECT_EQ(c.Ask("WD"), B("FR"));
}

TEST(SimDownload, AnotherCommandInsteadOfAnAnswerEndsTheTransfer) {
    Client c(Opt());
    c.Ask(Cat(B("GDA"), Size(20, 4096)));
    EXPECT_EQ(c.Ask("WH"), B("ModelT  "));
}

TEST(SimFaults, EachFaultOptionActsAsDescribed) {
    struct Case {
        const char *Name;
        std::function<void(TSimFaults &)> Set;
        std::function<void(Client &)> Check;
    };
    const Case cases[] = {
        {"wrong checksum repaired by the resend", [](TSimFaults &f) { f.BadChecksumBlocks = {2}; },
         [](Client &c) {
             const Client::Fetched f = c.Fetch("GDA", 5000);
             EXPECT_TRUE(f.Ok);
             EXPECT_EQ(f.Resends, 1);
             EXPECT_EQ(f.Blocks, 3);
         }},
        {"three wrong checksums in a row",
         [](TSimFaults &f) {
             f.BadChecksumBlocks = {1, 2, 3};
         },
         [](Client &c) {
             EXPECT_FALSE(c.Fetch("GDA", 100).Ok);
             EXPECT_EQ(c.Ask("WD"), B("FR"));
         }},
        {"dropped download header", [](TSimFaults &f) { f.DropReplies = {1}; },
         [](Client &c) {
             EXPECT_TRUE(c.Ask(Cat(B("GDA"), Size(10, 4096))).empty());
             EXPECT_EQ(c.Ask("WD"), B("FR"));
         }},
        {"transfer stops once, half-way", [](TSimFaults &f) { f.HangupAfter = 5000; },
         [](Client &c) {
             EXPECT_EQ(c.Ask(Cat(B("GDA"), Size(10000, 4096))).size(), 6u + 4097u);
             EXPECT_EQ(c.Ask("OK").size(), 5000u - 4096u) << "the second block stops short, without checksum";
             EXPECT_TRUE(c.Ask("", 2.0).empty());
             EXPECT_TRUE(c.Fetch("GDA", 10000).Ok);
         }},
        {"dropped and truncated replies",
         [](TSimFaults &f) {
             f.DropReplies = {2};
             f.TruncateReplies = {3};
         },
         [](Client &c) {
             EXPECT_EQ(c.Ask("WH"), B("ModelT  "));
             EXPECT_TRUE(c.Ask("WH").empty());
             EXPECT_EQ(c.Ask("WH"), B("Mode"));
             EXPECT_EQ(c.Ask("WH"), B("ModelT  "));
         }},
        {"silent after two commands", [](TSimFaults &f) { f.SilentAfter = 2; },
         [](Client &c) {
             EXPECT_EQ(c.Ask("WD"), B("FR"));
             EXPECT_EQ(c.Ask("WH"), B("ModelT  "));
             EXPECT_TRUE(c.Ask("WD", 2.0).empty());
         }},
        {"garbage after every second reply", [](TSimFaults &f) { f.GarbageEvery = 2; },
         [](Client &c) {
             EXPECT_EQ(c.Ask("WD"), B("FR"));
             const Bytes second = c.Ask("WD");
             ASSERT_EQ(second.size(), 6u);
             EXPECT_EQ(Bytes(second.begin(), second.begin() + 2), B("FR"));
         }},
        {"status reply on demand", [](TSimFaults &f) { f.StatusReply = "E2"; },
         [](Client &c) {
             EXPECT_EQ(c.Ask("WD"), B("E2"));
             EXPECT_EQ(c.Ask("WD"), B("E2"));
         }},
        {"device information with a wrong checksum", [](TSimFaults &f) { f.BadInfoChecksum = true; },
         [](Client &c) {
             const Bytes r = c.Ask("DI");
             ASSERT_EQ(r.size(), 406u);
             EXPECT_EQ(uint8_t(Sum(r, 0, 405) + 1), r[405]);
         }},
        {"upload block not answered", [](TSimFaults &f) { f.IgnoreUploadBlocks = {1}; },
         [](Client &c) {
             EXPECT_FALSE(c.Load("LDE", Bytes(100, 7)));
             EXPECT_EQ(c.Ask("WD"), B("FR"));
             EXPECT_TRUE(c.Load("LDE", Bytes(100, 7)));
         }},
        {"line noise", [](TSimFaults &f) { f.NoiseRate = 100; },
         [](Client &c) {
             const size_t n = c.Ask("", 1.0).size();
             EXPECT_GE(n, 98u);
             EXPECT_LE(n, 101u);
         }},
        {"asleep until woken", [](TSimFaults &f) { f.NeedWakeUp = true; },
         [](Client &c) {
             EXPECT_TRUE(c.Ask("WH").empty());
             EXPECT_EQ(c.Ask(Cat(Bytes(200, 0xAA), B("WH"))), B("ModelT  "));
             c.Ask("", 11.0); // dozes off again
             EXPECT_TRUE(c.Ask("WH").empty());
         }},
        {"hang-up one byte into the status reply",
         [](TSimFaults &f) {
             f.HangupCommand = "WD";
             f.HangupBytes = 1;
         },
         [](Client &c) {
             EXPECT_EQ(c.Ask("WH"), B("ModelT  "));
             EXPECT_EQ(c.Ask("WD"), B("F"));
             EXPECT_TRUE(c.Sim.LineDown());
             EXPECT_TRUE(c.Ask("WH").empty());
         }},
        {"hang-up inside an upload",
         [](TSimFaults &f) {
             f.HangupCommand = "LDE";
             f.HangupBytes = 50;
         },
         [](Client &c) {
             EXPECT_FALSE(c.Load("LDE", Bytes(100, 7)));
             EXPECT_TRUE(c.Sim.LineDown());
         }},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.Name);
        TSimOptions o = Opt();
        k.Set(o.Faults);
        Client c(o);
        k.Check(c);
    }
}

TEST(SimSettings, GainsOffsetsAndApdAreKeptAndReadBack) {
    Client c(Opt());
    EXPECT_TRUE(c.Ask(Cat(B("SG"), {35, 2})).empty());
    c.Ask(Cat(B("SG"), {120, 1})); // kept within 0..100
    c.Ask(Cat(B("SO"), {7, 1}));
    c.Ask(Cat(B("SO"), {9, 3})); // no channel 3: ignored
    EXPECT_EQ(c.Ask("SD"), (Bytes{100, 35, 7, 50}));
    c.Ask(Cat(B("SW"), {80, 2}));
    EXPECT_EQ(c.Ask("SX"), (Bytes{50, 80}));
}

TEST(SimSettings, TypesWithoutGainsOrInformationStayQuiet) {
    Client c(Opt("ModelF"));
    EXPECT_TRUE(c.Ask("SD").empty());
    EXPECT_TRUE(c.Ask("SX").empty());
    EXPECT_TRUE(c.Ask("DI").empty());
    EXPECT_EQ(c.Ask("WH"), B("ModelF  "));
}

TEST(SimSettings, NoReplyCommandsLeaveTheLineQuiet) {
    Client c(Opt());
    for (const Bytes &cmd : {Cat(B("SA1"), U16(1023)), Cat(B("SA6"), U16(5)), B("BF1"), B("BF2"), B("SF1"), B("AX3"),
                             B("AX6"), Bytes{'E', 'C', 3, 0x20, 0, 0x40}, B("ST"), B("SP"), B("MS")})
        EXPECT_TRUE(c.Ask(cmd).empty()) << std::string(cmd.begin(), cmd.end());
    EXPECT_EQ(c.Sim.CommandCount(), 11);
}

TEST(SimDeviceInfo, RecordAgreesWithTheIniFileOfTheType) {
    Client c(Opt("ModelT2"));
    const Bytes r = c.Ask("DI");
    ASSERT_EQ(r.size(), 406u);
    EXPECT_EQ(r[405], Sum(r, 0, 405));
    tessel::TIniFile2 ini(tessel::test::SourcePath("resources/Tessel.ini"));
    const QString s = QStringLiteral("ModelT  /$0102/Consts");
    EXPECT_EQ(r[2], ini.ReadInteger(s, "TimerBits", 0));
    EXPECT_DOUBLE_EQ(DecodeDecimal(r, 3), ini.ReadFloat(s, "TimeBase", 0));
    EXPECT_DOUBLE_EQ(DecodeDecimal(r, 8), ini.ReadFloat(s, "TimePropagation", 0));
    EXPECT_DOUBLE_EQ(DecodeDecimal(r, 13), ini.ReadFloat(s, "MinTimer", 0));
    EXPECT_EQ(DecodeBE32(r, 18), ini.ReadInteger(s, "MaxEvents", 0));
    EXPECT_EQ(DecodeBE32(r, 22), ini.ReadInteger(s, "MaxASamples", 0));
    EXPECT_EQ(DecodeBE32(r, 26), ini.ReadInteger(s, "MaxBSamples", 0));
    EXPECT_EQ(r[376], ini.ReadInteger(s, "BitResA", 0));
    EXPECT_DOUBLE_EQ(DecodeDecimal(r, 377), ini.ReadFloat(s, "MoChA", 0));
    EXPECT_EQ(r[382] * 256 + r[383], ini.ReadInteger(s, "SamplesPerEvent", 0));
    EXPECT_DOUBLE_EQ(DecodeDecimal(r, 384), ini.ReadFloat(s, "SampleDistance", 0));
    EXPECT_EQ(r[391], ini.ReadInteger(s, "BitResB", 0));
    EXPECT_DOUBLE_EQ(DecodeDecimal(r, 399), ini.ReadFloat(s, "SampleDistance", 0));
    // Line 2 reads "0.5; 1e6; 1e-4; 2; wwEE": the pulse bounds are errors.
    const size_t line2 = 38 + 21 * 2;
    EXPECT_DOUBLE_EQ(DecodeDecimal(r, line2), 0.5);
    EXPECT_DOUBLE_EQ(DecodeDecimal(r, line2 + 5), 1e6);
    EXPECT_DOUBLE_EQ(DecodeDecimal(r, line2 + 10), 1e-4);
    EXPECT_DOUBLE_EQ(DecodeDecimal(r, line2 + 15), 2.0);
    EXPECT_EQ(r[line2 + 20], 0x0C);
}

TEST(SimDeviceInfo, DecimalFloatsUseTheShortestMantissa) {
    const std::vector<std::pair<double, Bytes>> cases = {
        {5e-6, {0, 0, 0, 5, 0xFA}},
        {-2.0, {0xFF, 0xFF, 0xFF, 0xFE, 0}},
        {1e6, {0, 0, 0, 1, 6}},
        {0.0, {0, 0, 0, 0, 0}},
        {2.5e-7, {0, 0, 0, 25, 0xF8}},
        {4095.0, {0, 0, 0x0F, 0xFF, 0}},
        {1.0 / 3.0, {0x13, 0xDE, 0x43, 0x55, 0xF7}},
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
    EXPECT_TRUE(c.Sim.MonitorRunning());
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
    Client c(Opt());
    Bytes s = c.Ask("TST", 0.05);
    EXPECT_EQ(c.Ask("WD"), B("TT"));
    const Bytes more = c.Ask("", 5.0);
    s.insert(s.end(), more.begin(), more.end());
    bool ended = false;
    const std::string text = DecodeTagged(s, ended);
    EXPECT_TRUE(ended);
    EXPECT_NE(text.find("Self test of ModelT   version 1.2.1.10\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Event memory [events]: 32768\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Self test passed"), std::string::npos);
    EXPECT_EQ(c.Ask("WD"), B("FR"));
}

} // namespace
