#include "graph/GraphLabels.h"
#include "GraphTestSupport.h"
#include "graph/GraphPainter.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <deque>

using namespace tessel;
using namespace tessel::test;

namespace {

TEST(GraphLabels, AxisTitles) {
    const struct {
        TAxisTitle title;
        double lo, hi;
        TAxisText want;
    } cases[] = {
        {{"Time", "s"}, 0, 1.5, {"Time (s)", 1}},
        {{"Time", "s"}, 0, 0.5, {"Time (ms)", 1000}},
        {{"Time", "s"}, -0.999, 0.2, {"Time (ms)", 1000}},
        {{"Time", "s"}, 0, 1, {"Time (s)", 1}},                   // a whole second reads in s
        {{"Time", "s"}, 1e-5, 20, {"Time (s)", 1}},               // log axis of an induction
        {{"Fluorescence", "V"}, 0, 0.5, {"Fluorescence (V)", 1}}, // only time changes unit
        {{"Fv/Fm", ""}, 0, 1, {"Fv/Fm", 1}},
        {{"", "s"}, 0, 0.5, {}}, // no title: the axis caption stays as set
    };
    for (const auto &c : cases)
        EXPECT_EQ(AxisText(c.title, c.lo, c.hi), c.want) << c.title.Quantity.toStdString() << " " << c.hi;
}

// Laid out for real: both ranges end far enough inside the plot that a mark
// at the smallest and largest value is drawn whole, the titles and scaled
// labels reach the axes, the caption sits above the plot and the cursor
// read-out below it.
TEST(GraphLabels, MarginKeepsEdgeMarksWhole) {
    const struct {
        TPointStyle mark;
        int size, thickness;
        TPenStyle line;
        bool visible;
        int margin;
    } cases[] = {
        {ptCircle, 4, 1, psSolid, true, 4},
        {ptSquare, 12, 1, psClear, true, 8},
        {ptDot, 4, 6, psSolid, true, 5},
        {ptCircle, 30, 1, psSolid, false, 2}, // hidden: takes no room
    };
    QFont font;
    font.setPixelSize(12);
    const QFontMetrics fm(font);
    for (const auto &c : cases) {
        Curve curve(0, 0.5, -3, 7);
        curve.d.PointStyle = c.mark;
        curve.d.PointSize = c.size;
        curve.d.Thickness = c.thickness;
        curve.d.LineStyle = c.line;
        curve.d.Visible = c.visible;
        TGraphModel g;
        g.XTitle = {"Time", "s"};
        g.YTitle = {"Fluorescence", "V"};
        g.Caption = "Level";
        g.AddDependency(&curve.d);
        g.XAxis()->SetRange(0, 0.5);
        g.YAxis()->SetRange(-3, 7);
        const TGraphLayout l = TGraphLayout::Compute(g, QRect(0, 0, 400, 300), fm);
        TAxisTr &y = *g.YAxis();
        EXPECT_EQ(y.PixelStart - l.Plot.top(), c.margin) << c.size;
        EXPECT_EQ(l.Plot.bottom() - (y.PixelStart + y.PixelLength), c.margin) << c.size;
        EXPECT_EQ(g.XAxis()->PixelStart - l.Plot.left(), c.margin) << c.size;
        if (c.visible) {
            const int reach = c.mark == ptDot ? c.thickness / 2 : c.size / 2;
            EXPECT_GT(y.ValueToPixel(7) - reach, l.Plot.top());
            EXPECT_LT(y.ValueToPixel(-3) + reach, l.Plot.bottom());
        }
        EXPECT_TRUE(l.Plot.top() > l.CaptionRect.bottom() && l.ReadoutRect.top() > l.Plot.bottom());
        EXPECT_EQ(QStringList({g.XAxis()->Caption, y.Caption}), QStringList({"Time (ms)", "Fluorescence (V)"}));
        const auto &ticks = g.XAxis()->Ticks;
        EXPECT_TRUE(std::any_of(ticks.begin(), ticks.end(), [](const TTick &t) { return t.Label == "500"; }));
    }
}

// The legend takes the first free corner of the plot; points, lines between
// points and error bars all count; with no corner free it goes below.
TEST(GraphLabels, LegendPlacement) {
    using Pts = Curve::Points;
    const QSize box(40, 20);
    const struct {
        const char *name;
        std::vector<Pts> sets;
        TPenStyle line;
        double errorBar; // on every point of the first set
        QSize box;
        TLegendSpot want;
    } cases[] = {
        {"empty corners", {{{10, 10}, {50, 50}}}, psClear, 0, box, TLegendSpot::TopRight},
        {"point top right", {{{95, 95}}}, psClear, 0, box, TLegendSpot::TopLeft},
        {"line through top right", {{{60, 100}, {100, 60}}}, psSolid, 0, box, TLegendSpot::TopLeft},
        {"same points, no line", {{{60, 100}, {100, 60}}}, psClear, 0, box, TLegendSpot::TopRight},
        {"error bar reaches up", {{{95, 50}}}, psClear, 45, box, TLegendSpot::TopLeft},
        {"top row taken", {{{0, 95}, {100, 95}}}, psSolid, 0, box, TLegendSpot::BottomRight},
        {"every corner", {{{8, 8}, {8, 92}, {92, 92}, {92, 8}}}, psSolid, 0, box, TLegendSpot::Below},
        {"box wider than the plot", {{{50, 50}}}, psClear, 0, QSize(100, 20), TLegendSpot::Below},
    };
    for (const auto &c : cases) {
        Grid f;
        std::deque<Curve> curves;
        for (const Pts &pts : c.sets) {
            Curve &cv = curves.emplace_back(pts);
            cv.d.LineStyle = c.line;
            cv.d.PointStyle = ptCircle;
            cv.d.PointSize = 4;
            f.g.AddDependency(&cv.d);
        }
        if (c.errorBar > 0)
            f.g.SetErrorBars(&curves.front().d, std::vector<double>(c.sets.front().size(), c.errorBar));
        // A hidden set in every corner changes nothing.
        Curve hidden{{0, 0}, {0, 100}, {100, 100}, {100, 0}};
        hidden.d.Visible = false;
        f.g.AddDependency(&hidden.d);
        const TLegendPlace place = PlaceLegend(f.g, f.plot, c.box);
        EXPECT_EQ(place.Spot, c.want) << c.name;
        if (place.Spot != TLegendSpot::Below)
            EXPECT_TRUE(f.plot.contains(place.Box)) << c.name;
    }
}

} // namespace
