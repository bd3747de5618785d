#pragma once

// What a graph says about itself on paper: axis titles with units, the
// legend and the room kept round the data. Pure layout; the painter draws it.

#include "graph/GraphModel.h"

#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

namespace tessel {

// An axis title and the factor its labels show the values by.
struct TAxisText {
    QString Caption;
    double Scale = 1;
    bool operator==(const TAxisText &) const = default;
};
// "Fluorescence (V)", "Fv/Fm"; a time axis ("s") whose range lies within
// 1 s of zero reads in ms, its labels scaled to match.
TAxisText AxisText(const TAxisTitle &t, double lo, double hi);

// Pixels between the plot's frame and the ends of either axis's range: half
// the largest mark (or line) shown plus its outline, so that a point at the
// minimum or maximum is drawn whole.
int PlotMargin(const TGraphModel &g);

// One line of the legend: a shown data set with points and a caption.
struct TLegendEntry {
    const TDependency *D = nullptr;
    QString Text;
};
std::vector<TLegendEntry> LegendEntries(const TGraphModel &g);

// Sides of the sample drawn before each legend text, and the box's padding.
constexpr int kLegendSample = 28, kLegendPad = 4;

// Where the legend box goes: inside the plot at the first corner (top right,
// top left, bottom right, bottom left) that no point or line of a shown data
// set crosses; Below the plot when every corner is crossed.
enum class TLegendSpot { TopRight, TopLeft, BottomRight, BottomLeft, Below };
struct TLegendPlace {
    TLegendSpot Spot = TLegendSpot::TopRight;
    QRect Box;
};
// The box of that size at a corner of the plot (a few pixels in).
QRect LegendCorner(const QRect &plot, QSize box, TLegendSpot spot);
// Points and line segments of the shown data sets (axes as last laid out)
// that touch the box.
int LegendHits(TGraphModel &g, const QRect &box);
TLegendPlace PlaceLegend(TGraphModel &g, const QRect &plot, QSize box);

} // namespace tessel
