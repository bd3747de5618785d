#include "graph/GraphLabels.h"

#include "data/Vector.h"
#include "graph/GraphPainter.h"

#include <QLineF>
#include <algorithm>
#include <cmath>

namespace tessel {

TAxisText AxisText(const TAxisTitle &t, double lo, double hi) {
    if (t.Quantity.isEmpty())
        return {};
    QString unit = t.Unit;
    double scale = 1;
    // Below a second the labels would be runs of zeros after the point.
    if (unit == QLatin1String("s") && std::max(std::fabs(lo), std::fabs(hi)) < 1) {
        unit = QStringLiteral("ms");
        scale = 1000;
    }
    return {unit.isEmpty() ? t.Quantity : QStringLiteral("%1 (%2)").arg(t.Quantity, unit), scale};
}

namespace {
bool Shown(const TDependency *d) { return d->Visible && d->X && d->Y && d->Count() > 0; }

// How far a data set's drawing reaches beyond its points, in pixels.
int Reach(const TDependency &d) {
    int r = d.LineStyle == psClear ? 0 : std::max(1, d.Thickness) / 2;
    if (d.PointStyle != ptDot) // a dot is one pixel
        r = std::max(r, std::max(0, d.PointSize) / 2);
    return r;
}
} // namespace

int PlotMargin(const TGraphModel &g) {
    int r = 0;
    for (int i = 0; i < g.DependencyCount(); ++i)
        if (const TDependency *d = g.Dependency(i); Shown(d))
            r = std::max(r, Reach(*d));
    // One more for the mark's outline, one for the frame line.
    return r + 2;
}

std::vector<TLegendEntry> LegendEntries(const TGraphModel &g) {
    std::vector<TLegendEntry> out;
    for (int i = 0; i < g.DependencyCount(); ++i)
        if (const TDependency *d = g.Dependency(i); Shown(d)) {
            const QString text = g.LegendText ? g.LegendText(*d) : QString();
            if (!text.isEmpty() || !d->Caption.isEmpty())
                out.push_back({d, text.isEmpty() ? d->Caption : text});
        }
    return out;
}

QRect LegendCorner(const QRect &plot, QSize box, TLegendSpot spot) {
    constexpr int in = 6;
    const bool right = spot == TLegendSpot::TopRight || spot == TLegendSpot::BottomRight;
    const bool top = spot == TLegendSpot::TopRight || spot == TLegendSpot::TopLeft;
    const int x = right ? plot.right() - in - box.width() + 1 : plot.left() + in;
    const int y = top ? plot.top() + in : plot.bottom() - in - box.height() + 1;
    return QRect(QPoint(x, y), box);
}

int LegendHits(TGraphModel &g, const QRect &box) {
    TAxisTr &xa = *g.XAxis();
    TAxisTr &ya = *g.YAxis();
    const bool logX = dynamic_cast<TLogAxisTr *>(&xa) != nullptr;
    int hits = 0;
    for (int i = 0; i < g.DependencyCount(); ++i) {
        const TDependency *d = g.Dependency(i);
        if (!Shown(d))
            continue;
        const QRectF area = QRectF(box).adjusted(-Reach(*d), -Reach(*d), Reach(*d), Reach(*d));
        const std::vector<double> *bars = g.ErrorBars(d);
        // Long traces are sampled; a legend is many pixels tall, so a run of
        // neighbouring points crossing it is not missed.
        const int32_t n = d->Count(), stride = std::max<int32_t>(1, n / 4000);
        QPointF last;
        bool first = true;
        for (int32_t k = 0; k < n; k += stride) {
            const double xv = d->X->Value(k);
            if (logX && xv <= 0)
                continue;
            const double yv = d->Y->Value(k);
            const QPointF v(xa.ValueToPixel(xv), ya.ValueToPixel(yv));
            QLineF seg(first ? v : last, v);
            if (area.contains(v) || (d->LineStyle != psClear && ClipLine(seg, area)))
                ++hits;
            if (bars && k < int32_t(bars->size())) {
                QLineF bar(v.x(), ya.ValueToPixel(yv - (*bars)[size_t(k)]), v.x(),
                           ya.ValueToPixel(yv + (*bars)[size_t(k)]));
                hits += ClipLine(bar, area);
            }
            last = v;
            first = false;
        }
    }
    return hits;
}

TLegendPlace PlaceLegend(TGraphModel &g, const QRect &plot, QSize box) {
    if (box.width() > plot.width() - 12 || box.height() > plot.height() - 12)
        return {TLegendSpot::Below, {}};
    for (TLegendSpot s :
         {TLegendSpot::TopRight, TLegendSpot::TopLeft, TLegendSpot::BottomRight, TLegendSpot::BottomLeft}) {
        const QRect r = LegendCorner(plot, box, s);
        if (LegendHits(g, r) == 0)
            return {s, r};
    }
    return {TLegendSpot::Below, {}};
}

} // namespace tessel
