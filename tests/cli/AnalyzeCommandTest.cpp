// tessel-cli analyze and plot: the commands' forms and options on the shipped
// example measurements and a sample experiment. The values themselves are the
// analysis's and pinned where it is tested.
#include "CliTestSupport.h"

#include <QImage>
#include <QRegularExpression>

using namespace tessel;
using namespace tessel::test;

namespace {

using AnalyzeCommand = CompilingTest;

QString Example(const char *name) { return SourcePath(QStringLiteral("resources/examples/%1.exp").arg(name)); }

// The shipped configuration first: an --ini of the case's own comes later and wins.
CliRun Cli(const QStringList &args) { return RunCliCommand(args.mid(0, 1) + ShippedConfig() + args.mid(1)); }

const QJsonObject FirstChannel(const QStringList &args) {
    const CliRun r = Cli(args + QStringList{"--json"});
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    return r.json()["measurements"][0]["channels"][0].toObject();
}

// Measurement 0 is drawn in black, measurement 1 in red.
int RedPixels(const QImage &img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixelColor(x, y) == QColor(Qt::red);
    return n;
}

TEST_F(AnalyzeCommand, JsonCsvAndText) {
    const QString fvfm = Example("FvFm"), quenching = Example("Quenching");
    EXPECT_EQ(FirstChannel({"analyze", fvfm})["reasons"]["NPQ"].toString(), "no Fm'");
    const QJsonArray steps = FirstChannel({"analyze", quenching})["steps"].toArray();
    ASSERT_EQ(steps.size(), 15 + 6); // one per flash under light, then the dark ones
    for (const QJsonValue &step : steps)
        EXPECT_TRUE(step["levels"].toObject().contains(step["dark"].toBool() ? "Fm''" : "Fs"));

    // Every example in one CSV: a header and one row per measurement and
    // channel and per flash, all as wide; numbers without arithmetic noise
    // (0.30000000000000004). The metadata columns are the screening day's.
    const CliRun csv = Cli({"analyze", fvfm, quenching, Example("Induction"), Example("LightCurve"), "--csv"});
    ASSERT_EQ(csv.rc, 0) << csv.err.toStdString();
    const QStringList rows = csv.out.split("\r\n", Qt::SkipEmptyParts);
    EXPECT_TRUE(rows[0].startsWith("file,measurement,measured,title,note,channel,step,time,from,Fo,Fm,Fs,Fm',Fo',"
                                   "Fm'',PAR,Fv/Fm,PhiPSII,NPQ,qP,qN,qL,ETR,"))
        << rows[0].toStdString();
    EXPECT_TRUE(rows[1].startsWith(fvfm + ",1,20")) << rows[1].toStdString();
    EXPECT_TRUE(rows[2].contains(",A,,,flash 15 of ")) << rows[2].toStdString(); // the headline's flash
    for (const QString &row : rows) {
        EXPECT_EQ(row.count(','), rows[0].count(',')) << row.toStdString();
        EXPECT_FALSE(row.contains(QRegularExpression("(0{9}|9{9})[1-8]"))) << row.toStdString();
    }
}

TEST_F(AnalyzeCommand, FitsPlotsAndFailures) {
    const QString file = Example("LightCurve"), three = SourcePath("tests/data/golden/three.exp");
    EXPECT_EQ(FirstChannel({"analyze", file})["lightCurve"]["model"].toString(), "Platt");
    EXPECT_EQ(FirstChannel({"analyze", file, "--fit", "eilerspeeters"})["lightCurve"]["model"].toString(),
              "EilersPeeters");

    // plot --etr draws the points and the fit; --parameters a value per
    // measurement (groups of repeats are measured for); a value no
    // measurement has fails.
    const QString png = dir.path("etr.png");
    const struct {
        QStringList args;
        int rc, sets;
    } cases[] = {
        {{"plot", file, "--out", png, "--etr", "--json"}, 0, 2},
        {{"plot", file, "--out", png, "--parameters", "ETRmax", "--json"}, 0, 1},
        {{"plot", file, "--out", png, "--parameters", "Fv/Fm"}, 1, 0}, // no dark levels
        {{"plot", file, "--out", png, "--parameters", "nope"}, 2, 0},
        {{"analyze", file, "--json", "--csv"}, 2, 0},
        {{"analyze", three, "--ini", dir.path("none.ini")}, 1, 0},
    };
    for (const auto &c : cases) {
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.rc, c.rc) << c.args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_EQ(r.json()["DataSets"].toInt(), c.sets) << c.args.join(' ').toStdString();
    }
    // Protocols the language cannot read: each measurement says why.
    const CliRun r = Cli({"analyze", three});
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count("The protocol does not compile: Invalid character"), 3) << r.out.toStdString();
}

TEST(CliPlot, DrawsTheChosenSetsAtTheChosenSizeOrFails) {
    TestDir dir;
    const QString exp = SavedSample(dir, 50);
    const QString png = dir.path("plot.png");
    const struct {
        QStringList options;
        int sets;
        bool red;
    } cases[] = {
        {{}, 4, true},
        {{"--sets", "Data Set A( 0 ),Data Set B( 0 )"}, 2, false},
        {{"--sets", "1A,1B"}, 2, false},
        {{"--sets", "1-2B"}, 2, true},
    };
    for (const auto &c : cases) {
        const CliRun r =
            RunCliCommand(QStringList{"plot", exp, "--out", png, "--size", "300x200", "--json"} + c.options);
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        EXPECT_EQ(r.json().object()["DataSets"].toInt(), c.sets) << c.options.join(' ').toStdString();
        const QImage img(png);
        EXPECT_EQ(img.size(), QSize(300, 200));
        EXPECT_EQ(RedPixels(img) > 20, c.red) << c.options.join(' ').toStdString();
    }

    const QString svg = dir.path("ab.svg");
    ASSERT_EQ(RunCliCommand({"plot", exp, "--out", svg, "--ab"}).rc, 0);
    const QString drawn = ReadTextFile(svg);
    EXPECT_TRUE(drawn.contains(">Graph A/B</text>") && drawn.contains("viewBox=\"0 0 800 600\""))
        << drawn.left(400).toStdString();

    QFile::remove(png);
    ExpectExitCodes({
        {{"plot", exp, "--out", dir.path("p.gif")}, 2},
        {{"plot", exp, "--out", png, "--sets", "3-9"}, 2},
        {{"plot", exp, "--out", png, "--sets", "Data Set C( 0 )"}, 2},
        {{"plot", exp, "--out", dir.path("no/dir/p.png")}, 1},
    });
    EXPECT_FALSE(QFile::exists(png));
}

} // namespace
