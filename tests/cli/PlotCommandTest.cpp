// tessel-cli plot: the chosen data sets drawn at the chosen size.
#include "CliTestSupport.h"

#include <QFile>
#include <QImage>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

// Measurement 0 is drawn in black, measurement 1 in red.
int RedPixels(const QImage &img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixelColor(x, y) == QColor(Qt::red);
    return n;
}

} // namespace

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
        {{"--sets", "2"}, 2, true}, // measurement 2, the newer, is drawn red
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

    const std::pair<QStringList, int> failures[] = {
        {{"plot", exp, "--out", dir.path("p.gif")}, 2},
        {{"plot", exp, "--out", png, "--size", "10x200"}, 2},
        {{"plot", exp, "--out", png, "--sets", "3-9"}, 2},
        {{"plot", exp, "--out", png, "--sets", "Data Set C( 0 )"}, 2},
        {{"plot", dir.path("none.exp"), "--out", png}, 1},
        {{"plot", exp, "--out", dir.path("no/dir/p.png")}, 1},
    };
    QFile::remove(png);
    for (const auto &[args, rc] : failures) {
        const CliRun r = RunCliCommand(args);
        EXPECT_EQ(r.rc, rc) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << args.join(' ').toStdString();
    }
    EXPECT_FALSE(QFile::exists(png));
}
