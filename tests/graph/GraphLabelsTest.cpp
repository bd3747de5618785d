#include "graph/GraphLabels.h"
#include "GraphTestSupport.h"
#include "graph/GraphPainter.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <deque>

using namespace tessel;
using namespace tessel::test;

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
