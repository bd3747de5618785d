// Fluorescence parameters: every formula and each missing or degenerate input
// by hand, the marked groups of a channel, and the marks and light the real
// compiler library yields for a protocol.
#include "data/analysis/Analysis.h"
#include "compiler/CompilerLibrary.h"
#include "data/analysis/ProtocolMarks.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>

using namespace tessel;
using ::testing::DoubleNear;
using ::testing::Pointwise;

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// Compares the values from `first` on: the number where one is due, else
// the reason (when one is given).
template <size_t N>
void ExpectValues(const TParameters &p, int first, const char *name, const std::array<double, N> &values,
                  const std::array<const char *, N> &reasons) {
    for (size_t i = 0; i < N; ++i) {
        const TValue &v = p[first + i];
        SCOPED_TRACE(std::string(name) + ": " + ParameterName(first + int(i)).toStdString());
        if (std::isnan(values[i])) {
            EXPECT_FALSE(v.Value) << v.Value.value_or(0);
            if (reasons[i])
                EXPECT_EQ(v.Reason.toStdString(), reasons[i]);
        } else {
            ASSERT_TRUE(v.Value) << v.Reason.toStdString();
            EXPECT_NEAR(*v.Value, values[i], 1e-12);
        }
    }
}

// The values of the given parameters, NaN where one is missing.
std::vector<double> Numbers(const TParameters &p, std::initializer_list<int> ids) {
    std::vector<double> out;
    for (int id : ids)
        out.push_back(p[id].Value.value_or(std::numeric_limits<double>::quiet_NaN()));
    return out;
}

// The classic parameters, Fv/Fm to ETR, in the table below.
constexpr int kClassic = prETR + 1;

struct FormulaCase {
    const char *name;
    TGroupValues in;
    // Fv/Fm, PhiPSII, NPQ, qP, qN, qL, ETR; kNone where no value is due.
    std::array<double, kClassic> values;
    // The reasons of the missing ones, in the same order.
    std::array<const char *, kClassic> reasons;
};

const double inf = std::numeric_limits<double>::infinity();

// PSII share 0.5 and absorptance 0.84: ETR = PhiPSII x PAR x 0.42.
const FormulaCase kFormulas[] = {
    {"every input",
     {0.2, 1.0, 0.4, 0.8, 0.25, 100.0},
     {0.8, 0.5, 0.25, 0.4 / 0.55, 1 - 0.55 / 0.8, 0.4 / 0.55 * 0.25 / 0.4, 21.0},
     {}},
    {"light without Fo' or PAR",
     {0.2, 1.0, 0.4, 0.8, {}, {}},
     {0.8, 0.5, 0.25, kNone, kNone, kNone, kNone},
     {"", "", "", "no Fo'", "no Fo'", "no Fo'", "no PAR (actinic light not calibrated)"}},
    {"Fm and Fo zero",
     {0.0, 0.0, 0.4, 0.8, 0.25, 100.0},
     {kNone, 0.5, -1.0, 0.4 / 0.55, kNone, 0.4 / 0.55 * 0.25 / 0.4, 21.0},
     {"Fm is zero", "", "", "", "Fm - Fo is zero", "", ""}},
    {"Fm below Fo: no flash on this channel",
     {0.3, 0.28, {}, {}, {}, {}},
     {kNone, kNone, kNone, kNone, kNone, kNone, kNone},
     {"Fm below Fo: no rise at the flash", "no Fs", "no Fm'", "no Fs", "no Fm'", "no Fs", "no Fs"}},
    {"Fm' zero",
     {0.2, 1.0, 0.4, 0.0, 0.25, 100.0},
     {0.8, kNone, kNone, 1.6, 1 + 0.25 / 0.8, 1.0, kNone},
     {"", "Fm' is zero", "Fm' is zero", "", "", "", "Fm' is zero"}},
    {"Fm' equal to Fo'",
     {0.2, 1.0, 0.4, 0.5, 0.5, 100.0},
     {0.8, 0.2, 1.0, kNone, 1.0, kNone, 8.4},
     {"", "", "", "Fm' - Fo' is zero", "", "Fm' - Fo' is zero", ""}},
    {"Fs zero",
     {0.2, 1.0, 0.0, 0.8, 0.25, 100.0},
     {0.8, 1.0, 0.25, 0.8 / 0.55, 1 - 0.55 / 0.8, kNone, 42.0},
     {"", "", "", "", "", "Fs is zero", ""}},
    {"values that are not finite count as missing",
     {inf, kNone, 0.4, 0.8, 0.25, kNone},
     {kNone, 0.5, kNone, 0.4 / 0.55, kNone, 0.4 / 0.55 * 0.25 / 0.4, kNone},
     {"no Fo", "", "no Fm", "", "no Fo", "", "no PAR (actinic light not calibrated)"}},
};

TEST(Parameters, FormulasByHand) {
    for (const FormulaCase &k : kFormulas)
        ExpectValues(ComputeParameters(k.in, TAnalysisConfig{}), 0, k.name, k.values, k.reasons);
}

// Kramer et al. (2004): PhiNO = 1 / (NPQ + 1 + qL (Fm/Fo - 1)), PhiNPQ the
// rest; Walters & Horton (1991): qI = (Fm - Fm'') / Fm'', qE = NPQ - qI.
// With Fo 0.2, Fm 1, Fs 0.4, Fm' 0.8, Fo' 0.25: NPQ 0.25, qL 0.4/0.55 x 0.25/0.4.
struct PartitionCase {
    const char *name;
    TGroupValues in;
    std::array<double, 4> values; // PhiNPQ, PhiNO, qE, qI
    std::array<const char *, 4> reasons;
};
const double kQL = 0.4 / 0.55 * 0.25 / 0.4, kPhiNO = 1 / (0.25 + 1 + kQL * 4);
const PartitionCase kPartitions[] = {
    {"every input", {0.2, 1.0, 0.4, 0.8, 0.25, {}, 0.9}, {1 - 0.5 - kPhiNO, kPhiNO, 0.25 - 0.1 / 0.9, 0.1 / 0.9}, {}},
    {"no Fo'", {0.2, 1.0, 0.4, 0.8, {}, {}, 0.9}, {kNone, kNone, 0.25 - 0.1 / 0.9, 0.1 / 0.9}, {"no Fo'", "no Fo'"}},
    {"no dark flash",
     {0.2, 1.0, 0.4, 0.8, 0.25, {}, {}},
     {1 - 0.5 - kPhiNO, kPhiNO, kNone, kNone},
     {"", "", "no Fm''", "no Fm''"}},
    {"Fo and Fm'' zero",
     {0.0, 1.0, 0.4, 0.8, 0.25, {}, 0.0},
     {kNone, kNone, kNone, kNone},
     {"Fo is zero", "Fo is zero", "Fm'' is zero", "Fm'' is zero"}},
};

TEST(Parameters, PartitioningAndRelaxationByHand) {
    for (const PartitionCase &k : kPartitions) {
        const TParameters p = ComputeParameters(k.in, TAnalysisConfig{});
        ExpectValues(p, prPhiNPQ, k.name, k.values, k.reasons);
        if (p[prPhiNO].Value)
            EXPECT_NEAR(*p[prPhiPSII].Value + *p[prPhiNPQ].Value + *p[prPhiNO].Value, 1.0, 1e-12) << k.name;
    }
}

// JIP-test (Strasser et al. 2004): Vj = (F2ms - Fo)/(FP - Fo), Vi at 30 ms,
// Mo = 4 (F300us - Fo)/(FP - Fo), PIabs = (phiPo Vj / Mo) (phiPo / (1 - phiPo))
// ((1 - Vj) / Vj) with phiPo = 1 - Fo/FP; F between samples is linear in log t.
struct InductionCase {
    const char *name;
    std::vector<std::pair<double, double>> trace;
    std::optional<double> fo;
    std::array<double, 8> values; // Fj, Fi, FP, Vj, Vi, Mo, PIabs, tFm
    const char *reason;           // of the first missing value
};
const std::vector<std::pair<double, double>> kOjip = {{50e-6, 1.0}, {300e-6, 1.5}, {2e-3, 3.0},
                                                      {30e-3, 4.0}, {0.2, 5.0},    {1.0, 4.5}};
const InductionCase kInductions[] = {
    {"Fo the first sample", kOjip, {}, {3, 4, 5, 0.5, 0.75, 0.5, 3.2, 0.2}, ""},
    {"Fo marked", kOjip, 0.5, {3, 4, 5, 2.5 / 4.5, 3.5 / 4.5, 4 / 4.5, 0.81 * (2 / 4.5) / (4 / 4.5 * 0.1), 0.2}, ""},
    {"between samples",
     {{50e-6, 1}, {300e-6, 1.5}, {1e-3, 2}, {4e-3, 4}, {30e-3, 5}},
     {},
     {3, 5, 5, 0.5, 1, 0.5, 0.64 * 0.5 / (0.5 * 0.2), 30e-3},
     ""},
    {"late first sample, no marked Fo",
     {{100e-6, 1}, {2e-3, 3}, {30e-3, 4}, {0.2, 5}},
     {},
     {3, 4, 5, kNone, kNone, kNone, kNone, 0.2},
     "no Fo (neither marked nor sampled by 50 us after light-on)"},
    {"too short for I",
     {{50e-6, 1}, {300e-6, 1.5}, {2e-3, 3}, {10e-3, 5}},
     {},
     {3, kNone, 5, 0.5, kNone, 0.5, 3.2, 10e-3},
     "no samples around 30 ms after light-on"},
    {"flat",
     {{50e-6, 2}, {300e-6, 2}, {2e-3, 2}, {30e-3, 2}},
     {},
     {2, 2, 2, kNone, kNone, kNone, kNone, 50e-6},
     "FP - Fo is zero"},
    {"no fast trace",
     {{2e-3, 3}, {30e-3, 4}},
     {},
     {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone},
     "no induction trace (no sample within 1 ms of light-on)"},
};

TEST(Parameters, InductionJipTestByHand) {
    for (const InductionCase &k : kInductions) {
        TParameters p = ComputeParameters({}, TAnalysisConfig{});
        InductionParameters(k.trace, k.fo, p);
        std::array<const char *, 8> reasons{}; // the first missing value's
        const auto missing = std::find_if(k.values.begin(), k.values.end(), [](double v) { return std::isnan(v); });
        if (missing != k.values.end())
            reasons[size_t(missing - k.values.begin())] = k.reason;
        ExpectValues(p, prFj, k.name, k.values, reasons);
    }
    // Without a marked Fm the trace's maximum stands in for it.
    TParameters p = ComputeParameters({1.0, {}, {}, {}, {}, {}, {}}, TAnalysisConfig{});
    InductionParameters(kOjip, 1.0, p);
    EXPECT_DOUBLE_EQ(p[prFvFm].Value.value_or(-1), 0.8);
}

TEST(Parameters, ParCalibrationTables) {
    const auto t = ParseParTable(" 100:1000, 0:100");
    ASSERT_TRUE(t);
    // Between the points and beyond the last; one point is a constant.
    EXPECT_EQ(
        std::tuple(ParFromLevel(*t, 50), ParFromLevel(*t, 150), ParFromLevel({{0, 300}}, 70), ParFromLevel({}, 50)),
        std::tuple(550.0, 1450.0, 300.0, std::nullopt));
    for (const char *bad : {"0:100, 0:200", "abc", "0:100:5", "0:inf"})
        EXPECT_FALSE(ParseParTable(QString::fromLatin1(bad))) << bad;
    EXPECT_TRUE(ParseParTable({})->empty());
}

// Samples 0..2 Fo, 3..4 Fm, then two flashes under growing light, each an
// Fs and an Fm' step, with a trace sample in between.
TEST(Parameters, ChannelGroupsAndFlashSeries) {
    const std::vector<double> y = {1, 2, 3, 10, 10, 5, 8, 99, 6, 9, 4, 4, 7, 8};
    TChannelMarks marks;
    marks.SampleCount = int32_t(y.size());
    marks.Groups = {{"Fo", {{0.0, {0, 1, 2}}}},         {"Fm", {{1.0, {3, 4}}}},
                    {"Fs", {{10.0, {5}}, {20.0, {8}}}}, {"Fm'", {{11.0, {6}}, {21.0, {9}}}},
                    {"Fo'", {{30.0, {10, 11}}}},        {"Fm''", {{40.0, {12}}, {60.0, {13}}}}};
    TLightPlan light;
    light.Changes = {{9.0, 100.0}, {19.0, 200.0}, {29.0, 0.0}};
    const TChannelAnalysis a = AnalyseChannel(y, marks, light, TAnalysisConfig{});
    ASSERT_TRUE(a.Problem.isEmpty());
    ASSERT_EQ(a.Groups.size(), 6u);
    EXPECT_EQ(std::tuple(a.Groups[0].Count, a.Groups[0].Mean, a.Groups[0].SD, a.Groups[3].Mean),
              std::tuple(3, 2.0, 1.0, 8.5));
    ASSERT_EQ(a.Steps.size(), 4u); // two flashes under light, two in the dark
    // Each flash keeps the levels it comes from; qP takes Fo' of the whole group.
    EXPECT_EQ(std::vector({a.Steps[0].Inputs.Fs, a.Steps[1].Inputs.FmP, a.Steps[3].Inputs.FmPP}),
              std::vector<std::optional<double>>({5.0, 9.0, 8.0}));
    EXPECT_THAT(Numbers(a.Steps[0].Values, {prPhiPSII, prNPQ, prETR, prQP}),
                Pointwise(DoubleNear(1e-12), std::vector{3.0 / 8, 2.0 / 8, 3.0 / 8 * 100 * 0.42, 3.0 / 4}));
    // Relaxation: NPQ at each dark flash.
    EXPECT_TRUE(a.Steps[2].Dark);
    EXPECT_NEAR(a.Steps[2].Values[prNPQ].Value.value_or(-1), 3.0 / 7, 1e-12);
    // The last flash stands for the steady state; qI is what is left at the last dark flash.
    EXPECT_EQ(a.Par, 200.0);
    EXPECT_THAT(Numbers(a.Values, {prPhiPSII, prETR, prFvFm, prQI, prQE}),
                Pointwise(DoubleNear(1e-12), std::vector{1.0 / 3, 28.0, 0.8, 2.0 / 8, 1.0 / 9 - 2.0 / 8}));
    // Two PARs make a light curve, too few for a fit of three coefficients.
    ASSERT_TRUE(a.LightCurve);
    EXPECT_EQ(a.Values[prAlpha].Reason, "a fit needs 3 light levels, the curve has 2");
    EXPECT_EQ(a.Steps[0].Values[prEtrMax].Reason, "a value of the whole light curve");

    // Unpaired steps: the group means, PAR at the last Fm' flash.
    TChannelMarks single = marks;
    single.Groups[2].Steps.pop_back();
    single.Groups[2].Steps[0].Samples = {5, 8};
    const TChannelAnalysis s = AnalyseChannel(y, single, light, TAnalysisConfig{});
    ASSERT_EQ(s.Steps.size(), 2u);
    EXPECT_TRUE(s.Steps[0].Dark) << "only the dark flashes are steps";
    EXPECT_NEAR(s.Values[prPhiPSII].Value.value_or(-1), (8.5 - 5.5) / 8.5, 1e-12);
    EXPECT_EQ(s.Par, 200.0);

    // Data that do not fit the protocol give nothing at all.
    const TChannelAnalysis bad = AnalyseChannel({1, 2, 3}, marks, light, TAnalysisConfig{});
    EXPECT_EQ(bad.Problem, "The protocol gives 14 samples, the data hold 3");
    EXPECT_TRUE(std::none_of(bad.Values.begin(), bad.Values.end(), [](const TValue &v) { return v.Value; }));
}

TEST(ProtocolMarks, SamplesStepsAndLightFromTheProtocol) {
    const auto lib = LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR"));
    ASSERT_TRUE(lib);
    const QStringList protocol = {
        "line MA = 0",
        "line L = 4",
        "line M = 15",
        "const SampleWidth = 2 us",
        "var ActinicLevel = 50",
        "at -1 ms macro \"SA5\", word(4095)",
        "every 1 ms from 0 to 2 ms sample A mark F0     # the other spelling of Fo",
        "at 5 ms sample AB burst mark Fm",
        "at 6 ms sample B unrecorded",
        "at 20 ms on L",
        "at 24 ms sample A mark Fo",
        "at 25 ms pulse MA for 1 us mark Fo",
        "at 30 ms macro \"SA3\", word(4095)     # runs when the macro line rises",
        "at 31 ms pulse M for 1 ms",
        "at 36 ms macro \"SA3\", word(0)        # never runs: no second rise",
        "at 40 ms off L",
    };
    TMarkSetup setup;
    setup.SamplesPerEventA = 2;
    setup.SampleDistanceA = 1e-5;
    TAnalysisConfig config;
    config.Actinic1Par = {{0, 100}, {100, 1000}};
    const TProtocolMarks m = RecoverMarks(*lib, protocol, setup, config);
    ASSERT_TRUE(m.Problem.isEmpty()) << m.Problem.toStdString();

    // Channel A: Fo in two runs, the first three samples and the two after
    // the Fm burst; channel B: one sample per burst, none for the unrecorded.
    const TChannelMarks &a = m.Channels[0];
    ASSERT_EQ(a.Groups.size(), 2u);
    ASSERT_EQ(a.Groups[0].Steps.size(), 2u);
    EXPECT_EQ(std::tuple(a.SampleCount, a.Groups[0].Name, a.Groups[0].Steps[1].Time, m.Channels[1].SampleCount),
              std::tuple(3 + 2 + 2, QString("Fo"), 0.024, 1));
    EXPECT_EQ(
        std::vector({a.Groups[0].Steps[0].Samples, a.Groups[0].Steps[1].Samples, a.Groups[1].Steps.at(0).Samples}),
        std::vector<std::vector<int32_t>>({{0, 1, 2}, {5, 6}, {3, 4}}));
    EXPECT_EQ(m.Channels[1].Groups.at(0).Name, "Fm");

    // Actinic 2 is set by the initial macro but never switched on.
    const std::pair<double, double> par[] = {{0.01, 0}, {0.02, 550}, {0.0305, 550}, {0.035, 1000}, {0.045, 0}};
    for (auto [t, p] : par)
        EXPECT_DOUBLE_EQ(m.Light.ParAt(t).value_or(-1), p) << t;

    config.Actinic1Par.clear();
    EXPECT_FALSE(RecoverMarks(*lib, protocol, setup, config).Light.ParAt(0.025)) << "uncalibrated light";
    const TProtocolMarks broken = RecoverMarks(*lib, {"at 1 on Nope"}, setup, config);
    EXPECT_EQ(broken.Problem, "The protocol does not compile: Unknown name 'Nope' (line 1, column 9)");
}

} // namespace
