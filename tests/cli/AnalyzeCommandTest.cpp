// tessel-cli analyze against the virtual instrument's model: the shipped
// protocols measured on a leaf of known parameters give back the values the
// model's equations predict.
#include "../device/SimProcess.h"
#include "CliTestSupport.h"

#include "compiler/CompilerLibrary.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

// The leaf: dark-adapted Fv/Fm (Fm - F0) / Fm = 0.72; the other model
// parameters keep their defaults.
constexpr double kF0 = 0.14, kFm = 0.5, kKClose = 120, kKOpen = 50, kSaturation = 200, kNpqMax = 2.5, kNpqHalf = 0.3,
                 kNpqRise = 20, kF0Quench = 0.3, kMinLamp = 0.1;

double lamp(double level) {
    return kMinLamp + (1 - kMinLamp) * level;
}
double closed(double intensity) {
    return kKClose * intensity / (kKClose * intensity + kKOpen);
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
    // after light-on, when quenching has all but reached its steady state.
    const QString quenching = dir.path("quenching.exp");
    ASSERT_EQ(measure(sim, "resources/protocols/Quenching.p", quenching).rc, 0);
    const double actinic = lamp(0.5), flash = kSaturation * lamp(1.0);
    const double npq = kNpqMax * actinic / (actinic + kNpqHalf) * (1 - std::exp(-150 / kNpqRise));
    const double fm = fluorescence(0, closed(flash));
    const double fmP = fluorescence(npq, closed(flash + actinic)), fs = fluorescence(npq, closed(actinic));
    const QJsonObject light = analyse(quenching);
    const QJsonObject p = light["parameters"].toObject();
    EXPECT_NEAR(p["NPQ"].toDouble() / ((fm - fmP) / fmP), 1.0, 0.05);
    EXPECT_NEAR(p["PhiPSII"].toDouble() / ((fmP - fs) / fmP), 1.0, 0.05);
    EXPECT_EQ(light["steps"].toArray().size(), 15); // one per flash under light
    // PAR from the shipped calibration: 100 + 900 x 50 %.
    EXPECT_DOUBLE_EQ(light["par"].toDouble(), 550);
    EXPECT_NEAR(p["ETR"].toDouble(), p["PhiPSII"].toDouble() * 550 * 0.5 * 0.84, 1e-9);

    // Both files in one CSV: a header and one row per measurement and
    // channel and per flash, all as wide; numbers without arithmetic noise.
    const CliRun csv = RunCliCommand(QStringList{"analyze", fvfm, quenching, "--csv"} + config());
    ASSERT_EQ(csv.rc, 0);
    const QStringList rows = csv.out.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 1 + 1 + 1 + 15);
    EXPECT_TRUE(rows[0].startsWith("file,measurement,measured,title,note,leaf,channel,step,time,from,Fo,Fm,Fs,Fm',"
                                   "Fo',PAR,Fv/Fm,PhiPSII,NPQ,qP,qN,qL,ETR"))
        << rows[0].toStdString();
    EXPECT_TRUE(rows[1].startsWith(fvfm + ",1,20")) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].contains(",1,A,,,means,")) << rows[1].toStdString();
    EXPECT_TRUE(rows[2].contains(",A,,,flash 15 of 15 at ")) << rows[2].toStdString(); // the headline's flash
    for (const QString &row : rows) {
        EXPECT_EQ(row.count(','), rows[0].count(',')) << row.toStdString();
        EXPECT_FALSE(row.contains(QRegularExpression("\\d{16}"))) << row.toStdString();
    }
    // The text names time, metadata and every parameter of each flash.
    const CliRun text = RunCliCommand(QStringList{"analyze", fvfm, quenching} + config());
    EXPECT_TRUE(
        text.out.contains(QRegularExpression("File .*fvfm.exp\nMeasurement 1 \\(ModelT2\\), 20\\d\\d-.*\n  leaf=1\n")))
        << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("Flashes: time, PAR, Fv/Fm, PhiPSII, NPQ, qP, qN, qL, ETR\n"));
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
