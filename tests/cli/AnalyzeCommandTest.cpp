// tessel-cli analyze against the virtual instrument's model: the shipped
// protocols measured on a leaf of known parameters give back the values the
// model's equations predict.
#include "../device/SimProcess.h"
#include "CliTestSupport.h"

#include "compiler/CompilerLibrary.h"
#include "data/analysis/Analysis.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

// The leaf: dark-adapted Fv/Fm (Fm - F0) / Fm = 0.72; the other model
// parameters keep their defaults (docs/virtual-instrument.md).
constexpr double kF0 = 0.14, kFm = 0.5, kKClose = 120, kKOpen = 50, kSaturation = 200, kNpqMax = 2.5, kNpqHalf = 0.5,
                 kF0Quench = 0.3, kMinLamp = 0.1, kIk = 0.4;

double lamp(double level) { return kMinLamp + (1 - kMinLamp) * level; }
// Centres a flash closes.
double closed(double intensity) { return kKClose * intensity / (kKClose * intensity + kKOpen); }
double npqSteady(double light) { return kNpqMax * light * light / (light * light + kNpqHalf * kNpqHalf); }
// Under continuous light: PhiPSII = Fv/Fm (1 - exp(-I/Ik)) / (I/Ik) = (1 - q) Fv'/Fm'.
double closedSteady(double light) {
    const double n = npqSteady(light), f0 = kF0 / (1 + kF0Quench * n), fm = kFm / (1 + n);
    const double phi = (kFm - kF0) / kFm * -std::expm1(-light / kIk) / (light / kIk);
    return 1 - phi / ((fm - f0) / fm);
}
double fluorescence(double npq, double closedShare) {
    const double f0 = kF0 / (1 + kF0Quench * npq), fm = kFm / (1 + npq);
    return f0 + (fm - f0) * closedShare;
}

class AnalyzeCommand : public ::testing::Test {
protected:
    void SetUp() override { SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR"))); }
    void TearDown() override { SetCompilerLibrary(nullptr); }
    QStringList config() const {
        return {"--ini", SourcePath("resources/Tessel.ini"), "--include", SourcePath("resources/include/")};
    }
    CliRun measure(const SimProcess &sim, const char *protocol, const QString &out, QStringList extra = {}) const {
        return RunCliCommand(QStringList{"measure", SourcePath(QLatin1String(protocol)), "--out", out, "--port",
                                         sim.Terminal, "--device", "ModelT2"} +
                             config() + extra);
    }
    QJsonObject analyse(const QString &file) const {
        const CliRun r = RunCliCommand(QStringList{"analyze", file, "--json"} + config());
        EXPECT_EQ(r.rc, 0) << r.err.toStdString();
        return r.json().object()["measurements"].toArray().at(0)["channels"].toArray().at(0).toObject();
    }
    TestDir dir;
};

TEST_F(AnalyzeCommand, ShippedProtocolsGiveTheModelsValues) {
    SimProcess sim({"--device", "ModelT2", "--speed", "100", "--model", "F0=0.14,Fm=0.5,Noise=0.001"});
    ASSERT_FALSE(sim.Terminal.isEmpty());

    const QString fvfm = dir.path("fvfm.exp");
    ASSERT_EQ(measure(sim, "resources/protocols/FvFm.p", fvfm, {"--set", "leaf=1"}).rc, 0);
    const QJsonObject dark = analyse(fvfm);
    EXPECT_NEAR(dark["parameters"]["Fv/Fm"].toDouble(), 0.72, 0.01);
    EXPECT_EQ(dark["reasons"]["NPQ"].toString(), "no Fm'");

    // Quenching: actinic light 1 at 50 %, the last flash under it 150 s
    // after light-on, when quenching has reached its steady state.
    const QString quenching = dir.path("quenching.exp");
    ASSERT_EQ(measure(sim, "resources/protocols/Quenching.p", quenching).rc, 0);
    const double actinic = lamp(0.5), flash = kSaturation * lamp(1.0);
    const double npq = npqSteady(actinic);
    const double fm = fluorescence(0, closed(flash));
    const double fmP = fluorescence(npq, closed(flash + actinic)), fs = fluorescence(npq, closedSteady(actinic));
    const QJsonObject light = analyse(quenching);
    const QJsonObject p = light["parameters"].toObject();
    EXPECT_NEAR(p["NPQ"].toDouble() / ((fm - fmP) / fmP), 1.0, 0.05);
    EXPECT_NEAR(p["PhiPSII"].toDouble() / ((fmP - fs) / fmP), 1.0, 0.05);
    const QJsonArray steps = light["steps"].toArray();
    EXPECT_EQ(steps.size(), 15 + 6); // one per flash under light, then the dark ones
    for (const QJsonValue &step : steps) {
        const QJsonObject v = step["parameters"].toObject();
        if (!step["dark"].toBool())
            EXPECT_NEAR(v["PhiPSII"].toDouble() + v["PhiNPQ"].toDouble() + v["PhiNO"].toDouble(), 1.0, 1e-9);
        EXPECT_TRUE(step["levels"].toObject().contains(step["dark"].toBool() ? "Fm''" : "Fs"));
    }
    // 40 s of dark relax the quenching by 1 - exp(-40 / 60) of the model's NpqRelax.
    EXPECT_NEAR(p["qI"].toDouble() / p["NPQ"].toDouble(), std::exp(-40.0 / 60), 0.08);
    EXPECT_NEAR(p["qE"].toDouble() + p["qI"].toDouble(), p["NPQ"].toDouble(), 1e-9);
    // PAR from the shipped calibration: 100 + 900 x 50 %.
    EXPECT_DOUBLE_EQ(light["par"].toDouble(), 550);
    EXPECT_NEAR(p["ETR"].toDouble(), p["PhiPSII"].toDouble() * 550 * 0.5 * 0.84, 1e-9);

    // Both files in one CSV: a header and one row per measurement and
    // channel and per flash, all as wide; numbers without arithmetic noise.
    const CliRun csv = RunCliCommand(QStringList{"analyze", fvfm, quenching, "--csv"} + config());
    ASSERT_EQ(csv.rc, 0);
    const QStringList rows = csv.out.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 1 + 1 + 1 + 15 + 6);
    EXPECT_TRUE(rows[0].startsWith("file,measurement,measured,title,note,leaf,channel,step,time,from,Fo,Fm,Fs,Fm',"
                                   "Fo',Fm'',PAR,Fv/Fm,PhiPSII,NPQ,qP,qN,qL,ETR"))
        << rows[0].toStdString();
    EXPECT_TRUE(rows[1].startsWith(fvfm + ",1,20")) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].contains(",1,A,,,means,")) << rows[1].toStdString();
    EXPECT_TRUE(rows[2].contains(",A,,,flash 15 of ")) << rows[2].toStdString(); // the headline's flash
    for (const QString &row : rows) {
        EXPECT_EQ(row.count(','), rows[0].count(',')) << row.toStdString();
        EXPECT_FALSE(row.contains(QRegularExpression("\\d{16}"))) << row.toStdString();
    }
    // The text names time, metadata and every parameter of each flash.
    const CliRun text = RunCliCommand(QStringList{"analyze", fvfm, quenching} + config());
    EXPECT_TRUE(
        text.out.contains(QRegularExpression("File .*fvfm.exp\nMeasurement 1 \\(ModelT2\\), 20\\d\\d-.*\n  leaf=1\n")))
        << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("Flashes: time, PAR, Fs, Fm', Fv/Fm, PhiPSII, NPQ, qP, qN, qL, ETR, "));

    // Repeats of one sample (measurements sharing a leaf= value) are drawn
    // as their mean with an error bar of one SD, each group named.
    const QString repeats = dir.path("repeats.exp");
    ASSERT_TRUE(QFile::copy(fvfm, repeats));
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(measure(sim, "resources/protocols/FvFm.p", repeats, {"--append", "--set", "leaf=2"}).rc, 0);
    const QString svg = dir.path("fvfm.svg");
    const struct {
        QStringList options;
        int sets;
        const char *text;
    } plots[] = {
        {{}, 1, ">Fv/Fm, channel A</text>"},
        {{"--group-by", "leaf"}, 2, "(n = 2)</text>"},
    };
    for (const auto &c : plots) {
        const CliRun r = RunCliCommand(QStringList{"plot", repeats, "--out", svg, "--parameters", "Fv/Fm", "--json"} +
                                       config() + c.options);
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        EXPECT_EQ(r.json().object()["DataSets"].toInt(), c.sets);
        EXPECT_TRUE(ReadTextFile(svg).contains(QLatin1String(c.text))) << c.text;
    }
}

// A light curve on a leaf whose electron transport saturates at Ik = 250
// µmol m⁻² s⁻¹ (intensity 0.25; the shipped calibration gives 1000 per unit):
// the model's alpha is 0.42 Fv/Fm and its ETRmax 0.42 Fv/Fm Ik.
TEST_F(AnalyzeCommand, LightCurveFitGivesTheModelsAlphaAndEtrMax) {
    SimProcess sim({"--device", "ModelT2", "--speed", "100", "--model", "Ik=0.25,Noise=0.0005"});
    ASSERT_FALSE(sim.Terminal.isEmpty());
    const QString file = dir.path("lightcurve.exp");
    ASSERT_EQ(measure(sim, "resources/protocols/LightCurve.p", file).rc, 0);
    const double alpha = 0.42 * 0.8, etrMax = alpha * 250;
    const QJsonObject a = analyse(file);
    EXPECT_EQ(a["lightCurve"]["model"].toString(), "Platt");
    EXPECT_NEAR(a["parameters"]["alpha"].toDouble() / alpha, 1, 0.05);
    EXPECT_NEAR(a["parameters"]["ETRmax"].toDouble() / etrMax, 1, 0.05);
    EXPECT_GT(a["errors"]["alpha"].toDouble(), 0);

    // Another model on request; an unknown one is a usage error.
    const CliRun ep = RunCliCommand(QStringList{"analyze", file, "--json", "--fit", "eilerspeeters"} + config());
    ASSERT_EQ(ep.rc, 0);
    const QJsonObject c = ep.json().object()["measurements"][0]["channels"][0].toObject();
    EXPECT_EQ(c["lightCurve"]["model"].toString(), "EilersPeeters");
    EXPECT_NEAR(c["parameters"]["ETRmax"].toDouble() / etrMax, 1, 0.05);
    EXPECT_EQ(RunCliCommand(QStringList{"analyze", file, "--fit", "Webb"} + config()).rc, 2);

    // plot --etr draws the points and the fit; --parameters a value per measurement.
    const QString png = dir.path("etr.png");
    const CliRun etr = RunCliCommand(QStringList{"plot", file, "--out", png, "--etr", "--json"} + config());
    ASSERT_EQ(etr.rc, 0) << etr.err.toStdString();
    EXPECT_EQ(etr.json().object()["DataSets"].toInt(), 2);
    const CliRun par =
        RunCliCommand(QStringList{"plot", file, "--out", png, "--parameters", "ETRmax", "--json"} + config());
    ASSERT_EQ(par.rc, 0) << par.err.toStdString();
    EXPECT_EQ(par.json().object()["DataSets"].toInt(), 1);
    EXPECT_EQ(RunCliCommand(QStringList{"plot", file, "--out", png, "--parameters", "Fv/Fm"} + config()).rc, 1)
        << "no dark levels";
    EXPECT_EQ(RunCliCommand({"plot", file, "--out", png, "--parameters", "nope"}).rc, 2);
}

// The induction protocol's fast rise: centres close at k = KClose I + KOpen
// under actinic light 1 at 80 %, so F - Fo grows as 1 - exp(-k t) to its
// peak: Vj = 1 - exp(-k 2 ms), Mo = 4 (1 - exp(-k 300 us)) per ms.
TEST_F(AnalyzeCommand, InductionJipTestFollowsTheModelsRise) {
    SimProcess sim({"--device", "ModelT2", "--speed", "100", "--model", "Noise=0"});
    ASSERT_FALSE(sim.Terminal.isEmpty());
    const QString file = dir.path("induction.exp");
    ASSERT_EQ(measure(sim, "resources/protocols/Induction.p", file).rc, 0);
    const double k = kKClose * lamp(0.8) + kKOpen;
    const QJsonObject p = analyse(file)["parameters"].toObject();
    EXPECT_NEAR(p["Vj"].toDouble() / -std::expm1(-k * 2e-3), 1, 0.05);
    EXPECT_NEAR(p["Mo"].toDouble() / (4 * -std::expm1(-k * 300e-6)), 1, 0.05);
    EXPECT_GT(p["PIabs"].toDouble(), 0);
    EXPECT_GT(p["tFm"].toDouble(), 0.02) << "the peak comes after the rise";
    EXPECT_LT(p["tFm"].toDouble(), 1);
}

TEST_F(AnalyzeCommand, UsageAndUnreadableInput) {
    const std::pair<QStringList, int> cases[] = {
        {{"analyze"}, 2},
        {{"analyze", "a.exp", "--json", "--csv"}, 2},
        {{"analyze", dir.path("missing.exp")}, 1},
        {{"analyze", SourcePath("tests/data/golden/three.exp"), dir.path("missing.exp")}, 1},
        {{"analyze", "a.exp", "--ini", dir.path("none.ini")}, 1},
    };
    for (const auto &[args, rc] : cases)
        EXPECT_EQ(RunCliCommand(args).rc, rc) << args.join(' ').toStdString();
    // Protocols the language cannot read: each measurement says why.
    const CliRun r = RunCliCommand(QStringList{"analyze", SourcePath("tests/data/golden/three.exp")} + config());
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count("The protocol does not compile: Invalid character"), 3) << r.out.toStdString();
}

} // namespace
