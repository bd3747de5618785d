#include "graph/GraphPainter.h"

#include "common/Finally.h"
#include "data/Transformation.h"
#include "data/Vector.h"
#include "graph/GraphLabels.h"

#include <QFontMetrics>
#include <QPaintEngine>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <array>
#include <cmath>
#include <typeinfo>

namespace tessel {

QColor ToQColor(TColor c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

TColor FromQColor(const QColor &c) { return TColor(c.red()) | TColor(c.green()) << 8 | TColor(c.blue()) << 16; }

Qt::PenStyle ToQtPenStyle(TPenStyle s) {
    switch (s) {
    case psDash:
        return Qt::DashLine;
    case psDot:
        return Qt::DotLine;
    case psDashDot:
        return Qt::DashDotLine;
    case psDashDotDot:
        return Qt::DashDotDotLine;
    case psClear:
        return Qt::NoPen;
    default:
        return Qt::SolidLine;
    }
}

Qt::BrushStyle ToQtBrushStyle(TBrushStyle s) {
    switch (s) {
    case bsSolid:
        return Qt::SolidPattern;
    case bsHorizontal:
        return Qt::HorPattern;
    case bsVertical:
        return Qt::VerPattern;
    case bsFDiagonal:
        return Qt::FDiagPattern;
    case bsBDiagonal:
        return Qt::BDiagPattern;
    case bsCross:
        return Qt::CrossPattern;
    case bsDiagCross:
        return Qt::DiagCrossPattern;
    default:
        return Qt::NoBrush;
    }
}

void DrawMark(QPainter &p, int x, int y, TPointStyle style, int size, TColor color, const TBrush &brush) {
    const QColor c = ToQColor(color);
    if (style == ptDot) {
        p.setPen(QPen(c, 1));
        p.drawPoint(x, y);
        return;
    }
    const int h = size / 2;
    p.setPen(QPen(c, 1, Qt::SolidLine));
    p.setBrush(QBrush(ToQColor(brush.Color), ToQtBrushStyle(brush.Style)));
    switch (style) {
    case ptCircle:
        p.drawEllipse(QRect(QPoint(x - h, y - h), QPoint(x + h, y + h)));
        break;
    case ptSquare:
        p.drawRect(QRect(QPoint(x - h, y - h), QPoint(x + h - 1, y + h - 1)));
        break;
    case ptTriangleUp:
        p.drawPolygon(QPolygon({QPoint(x - h, y + h), QPoint(x + h, y + h), QPoint(x, y - h)}));
        break;
    case ptTriangleDown:
        p.drawPolygon(QPolygon({QPoint(x - h, y - h), QPoint(x + h, y - h), QPoint(x, y + h)}));
        break;
    case ptDiamond:
        p.drawPolygon(QPolygon({QPoint(x - h, y), QPoint(x, y - h), QPoint(x + h, y), QPoint(x, y + h)}));
        break;
    case ptStar: {
        const int t = h / 3;
        p.drawPolygon(QPolygon({QPoint(x - h, y - t + h), QPoint(x + h, y - t + h), QPoint(x, y - t - h)}));
        p.drawPolygon(QPolygon({QPoint(x - h, y + t - h), QPoint(x + h, y + t - h), QPoint(x, y + t + h)}));
        break;
    }
    default:
        break;
    }
}

void DrawLineSample(QPainter &p, const QRect &r, TPenStyle style, TColor color, int thickness) {
    p.setPen(QPen(ToQColor(color), std::max(1, thickness), ToQtPenStyle(style)));
    const int y = r.center().y();
    p.drawLine(r.left() + 4, y, r.right() - 4, y);
}

void DrawSwatch(QPainter &p, const QRect &cell, TColor color) {
    const QRect s(cell.left() + cell.width() / 4, cell.top() + cell.height() / 4, cell.width() / 2, cell.height() / 2);
    p.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    p.setBrush(ToQColor(color));
    p.drawRect(s);
}

std::vector<bool> LabelsToDraw(const std::vector<QRect> &rects, int gap) {
    std::vector<bool> draw(rects.size(), false);
    QRect last;
    for (size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].isNull())
            continue;
        if (!last.isNull() && rects[i].adjusted(-gap, 0, gap, 0).intersects(last))
            continue;
        draw[i] = true;
        last = rects[i];
    }
    return draw;
}

bool ClipLine(QLineF &line, const QRectF &r) {
    double t0 = 0, t1 = 1;
    const double x0 = line.x1(), y0 = line.y1(), dx = line.dx(), dy = line.dy();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - r.left(), r.right() - x0, y0 - r.top(), r.bottom() - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    line = QLineF(x0 + t0 * dx, y0 + t0 * dy, x0 + t1 * dx, y0 + t1 * dy);
    return true;
}

// --- layout and frame

namespace {
int WidestLabel(const TAxisTr &a, const QFontMetrics &fm) {
    int w = 0;
    for (const TTick &t : a.Ticks)
        if (t.HasLabel)
            w = std::max(w, fm.horizontalAdvance(t.Label));
    return w;
}
} // namespace

namespace {
// Legend rows: as tall as the text or the largest mark.
int LegendRowHeight(const std::vector<TLegendEntry> &entries, int th) {
    int h = th;
    for (const TLegendEntry &e : entries)
        h = std::max(h, e.D->PointSize + 2);
    return h;
}

int LegendItemWidth(const TLegendEntry &e, const QFontMetrics &fm) {
    return kLegendSample + 4 + fm.horizontalAdvance(e.Text);
}

// The parts of the layout apart from the legend; reserve: pixels kept free
// under the x axis title.
TGraphLayout LayOut(TGraphModel &g, const QRect &bounds, const QFontMetrics &fm, int reserve) {
    TGraphLayout l;
    l.Bounds = bounds;
    const int th = fm.height();
    l.TextHeight = th;
    const int frame = (g.Options & grDrawFrame) ? std::max(0, g.BevelWidth) + 2 : 2;
    const QRect in = bounds.adjusted(frame, frame, -frame, -frame);
    const bool cursors = g.Options & grShowCursors;
    TAxisTr &x = *g.XAxis();
    TAxisTr &y = *g.YAxis();
    for (auto [axis, title] : {std::pair{&x, &g.XTitle}, std::pair{&y, &g.YTitle}})
        if (!title->Quantity.isEmpty()) {
            const TAxisText t = AxisText(*title, axis->RangeMin(), axis->RangeMax());
            axis->Caption = t.Caption;
            axis->LabelScale = t.Scale;
        }

    int top = in.top() + th / 2;
    if (!g.Caption.isEmpty()) {
        l.CaptionRect = QRect(in.left(), in.top(), in.width(), th + 2);
        top = l.CaptionRect.bottom() + 2 + th / 2;
    }
    if (cursors)
        top = std::max(top, in.top() + (g.Caption.isEmpty() ? 0 : th + 2) + 8);
    int bottom = in.bottom() - th / 2 - 2 - th - 2; // tick marks and x labels
    if (!x.Caption.isEmpty())
        bottom -= th + 2;
    bottom -= reserve;
    if (cursors) {
        l.ReadoutRect = QRect(in.left(), in.bottom() - 2 * th - 5, in.width(), 2 * th + 6);
        bottom -= 2 * th + 6;
    }
    bottom = std::max(bottom, top + 1);
    // Both ranges end a margin inside the frame, so that marks at the
    // smallest and largest value are not cut.
    const int reach = PlotMargin(g);
    const int margin = std::min(reach, (bottom - top) / 4);
    y.PixelStart = top + margin;
    y.PixelLength = bottom - top - 2 * margin;
    y.BuildTicks();

    int left = in.left() + WidestLabel(y, fm) + th / 2 + 6;
    if (!y.Caption.isEmpty())
        left += th + 2;
    const int right =
        std::max(left + 1, in.right() - std::max(10, fm.horizontalAdvance(QStringLiteral("0.00000")) / 2));
    const int xMargin = std::min(reach, (right - left) / 4);
    x.PixelStart = left + xMargin;
    x.PixelLength = right - left - 2 * xMargin;
    x.BuildTicks();
    l.Plot = QRect(QPoint(left, top), QPoint(right, bottom));
    g.SetPlot(l.Plot);
    return l;
}
} // namespace

TGraphLayout TGraphLayout::Compute(TGraphModel &g, const QRect &bounds, const QFontMetrics &fm) {
    TGraphLayout l = LayOut(g, bounds, fm, 0);
    const std::vector<TLegendEntry> entries = g.ShowLegend ? LegendEntries(g) : std::vector<TLegendEntry>();
    if (entries.empty())
        return l;
    const int rowH = LegendRowHeight(entries, l.TextHeight);
    int w = 0;
    for (const TLegendEntry &e : entries)
        w = std::max(w, LegendItemWidth(e, fm));
    const QSize box(w + 2 * kLegendPad, int(entries.size()) * rowH + 2 * kLegendPad);
    const TLegendPlace place = PlaceLegend(g, l.Plot, box);
    if (place.Spot != TLegendSpot::Below) {
        l.Legend = place.Box;
        for (size_t i = 0; i < entries.size(); ++i)
            l.LegendItems.push_back(
                QRect(place.Box.left() + kLegendPad, place.Box.top() + kLegendPad + int(i) * rowH, w, rowH));
        return l;
    }
    // Every corner holds data: the entries go in rows under the graph.
    const int gap = fm.horizontalAdvance(QStringLiteral("000"));
    const int avail = std::max(1, l.Plot.width() - 2 * kLegendPad);
    std::vector<QPoint> at;
    int cx = 0, cy = 0, widest = 0;
    for (const TLegendEntry &e : entries) {
        const int iw = LegendItemWidth(e, fm);
        if (cx > 0 && cx + iw > avail) {
            cx = 0;
            cy += rowH;
        }
        at.emplace_back(cx, cy);
        widest = std::max(widest, cx + iw);
        cx += iw + gap;
    }
    const int height = cy + rowH + 2 * kLegendPad;
    l = LayOut(g, bounds, fm, height + 2);
    const int top = l.Plot.bottom() + l.TextHeight / 2 + 2 + l.TextHeight + 2 +
                    (g.XAxis()->Caption.isEmpty() ? 0 : l.TextHeight + 2);
    l.Legend = QRect(l.Plot.left(), top, std::min(l.Plot.width(), widest + 2 * kLegendPad), height);
    for (size_t i = 0; i < entries.size(); ++i)
        l.LegendItems.push_back(QRect(l.Legend.topLeft() + QPoint(kLegendPad, kLegendPad) + at[i],
                                      QSize(LegendItemWidth(entries[i], fm), rowH)));
    return l;
}

void PaintFrame(QPainter &p, const TGraphModel &g, const TGraphLayout &l) {
    const TGraphColors &c = g.Colors;
    const QRect &pl = l.Plot;
    const int th = l.TextHeight;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(l.Bounds, ToQColor(c.FrameColor()));
    p.fillRect(pl, ToQColor(c.BackGroundColor()));
    const QColor axis = ToQColor(c.AxisColor());
    const QPen grid(axis, 1, Qt::DotLine);
    const QPen black(Qt::black, 1);
    const TAxisTr &x = *g.XAxis();
    const TAxisTr &y = *g.YAxis();
    auto labelRects = [&](const TAxisTr &a, auto rectOf) {
        std::vector<QRect> rects;
        for (const TTick &t : a.Ticks)
            rects.push_back(t.Kind == tkGrid && t.HasLabel ? rectOf(t) : QRect());
        return rects;
    };
    const auto xRect = [&](const TTick &t) {
        const int w = p.fontMetrics().horizontalAdvance(t.Label);
        return QRect(t.Pos - w / 2 - 1, pl.bottom() + th / 2 + 2, w + 2, th);
    };
    const std::vector<QRect> xRects = labelRects(x, xRect);
    const std::vector<bool> xDraw = LabelsToDraw(xRects, p.fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    for (size_t i = 0; i < x.Ticks.size(); ++i) {
        const TTick &t = x.Ticks[i];
        if (t.Kind == tkGrid) {
            if ((g.Options & grDrawGrid) && t.Pos > pl.left() && t.Pos < pl.right()) {
                p.setPen(grid);
                p.drawLine(t.Pos, pl.top() + 1, t.Pos, pl.bottom() - 1);
            }
            if (xDraw[i]) {
                p.setPen(axis);
                p.drawText(xRects[i], Qt::AlignCenter, t.Label);
            }
        } else {
            p.setPen(black);
            p.drawLine(t.Pos, pl.bottom() + 1, t.Pos, pl.bottom() + (t.Kind == tkLong ? th / 2 : th / 3));
        }
    }
    const std::vector<QRect> yRects = labelRects(y, [&](const TTick &t) {
        return QRect(l.Bounds.left(), t.Pos - th / 2, pl.left() - th / 2 - 3 - l.Bounds.left(), th);
    });
    const std::vector<bool> yDraw = LabelsToDraw(yRects, 0);
    for (size_t i = 0; i < y.Ticks.size(); ++i) {
        const TTick &t = y.Ticks[i];
        if (t.Kind == tkGrid) {
            if ((g.Options & grDrawGrid) && t.Pos > pl.top() && t.Pos < pl.bottom()) {
                p.setPen(grid);
                p.drawLine(pl.left() + 1, t.Pos, pl.right() - 1, t.Pos);
            }
            if (yDraw[i]) {
                p.setPen(axis);
                p.drawText(yRects[i], Qt::AlignRight | Qt::AlignVCenter, t.Label);
            }
        } else {
            p.setPen(black);
            p.drawLine(pl.left() - 1, t.Pos, pl.left() - (t.Kind == tkLong ? th / 2 : th / 3), t.Pos);
        }
    }
    p.setPen(QPen(axis, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(pl);
    if (!x.Caption.isEmpty()) {
        const int top = pl.bottom() + th / 2 + 2 + th + 2;
        p.drawText(QRect(pl.left(), top, pl.width(), th), Qt::AlignCenter, x.Caption);
    }
    if (!y.Caption.isEmpty()) {
        p.save();
        p.translate(l.Bounds.left() + ((g.Options & grDrawFrame) ? g.BevelWidth : 0) + 2, pl.center().y());
        p.rotate(-90);
        p.drawText(QRect(-pl.height() / 2, 0, pl.height(), th), Qt::AlignCenter, y.Caption);
        p.restore();
    }
    if (!g.Caption.isEmpty()) {
        QFont f = p.font();
        f.setBold(true);
        p.setFont(f);
        p.drawText(l.CaptionRect, Qt::AlignCenter, g.Caption);
    }
    PaintErrorBars(p, g, l);
    if (g.Options & grDrawFrame) {
        const int bw = std::max(1, g.BevelWidth);
        const QRect b = l.Bounds;
        for (int i = 0; i < bw; ++i) {
            const QRect r = b.adjusted(i, i, -i, -i);
            p.setPen(ToQColor(c.HighlightColor()));
            p.drawLine(r.topLeft(), r.topRight());
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.setPen(ToQColor(c.ShadowColor()));
            p.drawLine(r.bottomLeft(), r.bottomRight());
            p.drawLine(r.topRight(), r.bottomRight());
        }
    }
    p.restore();
}

void PaintErrorBars(QPainter &p, const TGraphModel &g, const TGraphLayout &l) {
    const QRectF area(l.Plot.left(), l.Plot.top(), l.Plot.width() - 1, l.Plot.height() - 1);
    TAxisTr &xa = *g.XAxis();
    TAxisTr &ya = *g.YAxis();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < g.DependencyCount(); ++i) {
        const TDependency *d = g.Dependency(i);
        const std::vector<double> *bars = g.ErrorBars(d);
        if (!bars || !d->Visible || !d->X || !d->Y)
            continue;
        p.setPen(QPen(ToQColor(d->Color), 1));
        const int cap = std::max(3, d->PointSize / 2 + 2);
        for (int32_t k = 0; k < d->Count() && k < int32_t(bars->size()); ++k) {
            const double x = xa.ValueToPixel(d->X->Value(k)), y = d->Y->Value(k), e = (*bars)[size_t(k)];
            const double lo = ya.ValueToPixel(y - e), hi = ya.ValueToPixel(y + e);
            for (QLineF line :
                 {QLineF(x, lo, x, hi), QLineF(x - cap, lo, x + cap, lo), QLineF(x - cap, hi, x + cap, hi)})
                if (ClipLine(line, area))
                    p.drawLine(line);
        }
    }
    p.restore();
}

void PaintLegend(QPainter &p, const TGraphModel &g, const TGraphLayout &l) {
    if (l.Legend.isEmpty())
        return;
    const std::vector<TLegendEntry> entries = LegendEntries(g);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(l.Legend, ToQColor(g.Colors.BackGroundColor()));
    p.setPen(QPen(ToQColor(g.Colors.AxisColor()), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(l.Legend.adjusted(0, 0, -1, -1));
    const QFontMetrics fm = p.fontMetrics();
    for (size_t i = 0; i < entries.size() && i < l.LegendItems.size(); ++i) {
        const TDependency &d = *entries[i].D;
        const QRect r = l.LegendItems[i];
        const QRect sample(r.left(), r.top(), kLegendSample, r.height());
        if (d.LineStyle != psClear)
            DrawLineSample(p, sample, d.LineStyle, d.Color, d.Thickness);
        if (d.PointStyle != ptDot || d.LineStyle == psClear)
            DrawMark(p, sample.center().x(), sample.center().y(), d.PointStyle == ptDot ? ptSquare : d.PointStyle,
                     d.PointStyle == ptDot ? 3 : d.PointSize, d.Color, d.Brush);
        p.setPen(ToQColor(g.Colors.AxisColor()));
        p.drawText(QRect(sample.right() + 5, r.top(), r.width() - kLegendSample - 4, r.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, fm.elidedText(entries[i].Text, Qt::ElideRight, r.width()));
    }
    p.restore();
}

void PaintCursors(QPainter &p, const TGraphModel &g, const TGraphLayout &l) {
    if (!(g.Options & grShowCursors))
        return;
    p.save();
    const QRect &pl = l.Plot;
    for (const TGraphCursor *c : {&g.LeftCursor(), &g.RightCursor()}) {
        if (!c->Visible)
            continue;
        p.setCompositionMode(QPainter::CompositionMode_Difference);
        p.setPen(QPen(Qt::white, 1, Qt::DotLine));
        p.drawLine(c->Column, pl.top() + 1, c->Column, pl.bottom() - 1);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(Qt::black);
        p.setBrush(Qt::black);
        const int x = c->Column, y = pl.top() - 2;
        p.drawPolygon(QPolygon({QPoint(x - 4, y - 5), QPoint(x + 4, y - 5), QPoint(x, y - 1)}));
    }
    p.restore();
}

void PaintReadout(QPainter &p, const TGraphModel &g, const TGraphLayout &l, const QPoint *mouse) {
    if (!(g.Options & grShowCursors) || l.ReadoutRect.isEmpty())
        return;
    p.save();
    p.fillRect(l.ReadoutRect, ToQColor(g.Colors.FrameColor()));
    const QStringList t = g.ReadoutTexts(g.Readout(mouse));
    const QFontMetrics fm = p.fontMetrics();
    const int gap = fm.horizontalAdvance(QStringLiteral("000"));
    int x = l.ReadoutRect.left() + 4;
    const int y0 = l.ReadoutRect.top() + 3, th = l.TextHeight;
    p.setPen(ToQColor(g.Colors.AxisColor()));
    for (int col = 0; col < 5; ++col) {
        p.drawText(QPoint(x, y0 + fm.ascent()), t[col]);
        p.drawText(QPoint(x, y0 + th + fm.ascent()), t[col + 5]);
        x += std::max(fm.horizontalAdvance(t[col]), fm.horizontalAdvance(t[col + 5])) + gap;
    }
    p.restore();
}

// --- curves

void TCurveDrawer::Start(const TGraphModel &g) {
    m_list.clear();
    const TAxisTr &x = *g.XAxis();
    for (int i = 0; i < g.DependencyCount(); ++i) {
        TDependency *d = g.Dependency(i);
        if (!d->Visible || !d->X || !d->Y || d->Count() == 0)
            continue;
        // Begin at the last point left of the plot so that the line enters it.
        int32_t lo = 0, hi = d->Count();
        while (lo < hi) {
            const int32_t mid = lo + (hi - lo) / 2;
            if (d->X->Value(mid) < x.RangeMin())
                lo = mid + 1;
            else
                hi = mid;
        }
        TEntry e;
        e.D = d;
        e.Next = std::max(0, lo - 1);
        e.LastX = d->X->Value(e.Next);
        m_list.push_back(e);
    }
}

bool TCurveDrawer::Done() const {
    return std::all_of(m_list.begin(), m_list.end(), [](const TEntry &e) { return e.Done; });
}

namespace {
QPen CurvePen(const TDependency &d) {
    return QPen(ToQColor(d.Color), std::max(1, d.Thickness), ToQtPenStyle(d.LineStyle));
}

// The displayed values of a stored vector without two virtual calls per
// point: the raw block and its chain of linear steps, applied innermost
// first exactly as Value() applies them, so every number is the same to the
// last bit. Not usable for computed vectors or other transformations.
class TDirectValues {
public:
    explicit TDirectValues(const TVector &v) {
        if (auto *dv = dynamic_cast<const TDoubleVector *>(&v))
            m_doubles = dv->Items();
        else if (auto *iv = dynamic_cast<const TIntVector *>(&v))
            m_ints = iv->Items();
        else
            return;
        for (const TTransformation *t = &v.ActiveTransformation(); t && t != &SharedIdentity();) {
            auto *lin = dynamic_cast<const TLinTransformation *>(t);
            if (!lin || m_count == int(m_steps.size()) || typeid(*lin) != typeid(TLinTransformation)) {
                m_doubles = nullptr;
                m_ints = nullptr;
                return;
            }
            m_steps[size_t(m_count++)] = lin;
            t = lin->TransformBefore();
        }
        // The enabled steps' factors, innermost first; they hold still while
        // a step of the drawing runs.
        for (int k = m_count - 1; k >= 0; --k)
            if (m_steps[size_t(k)]->Enabled)
                m_lin[size_t(m_enabled++)] = {m_steps[size_t(k)]->MulKoef, m_steps[size_t(k)]->AddKoef};
    }
    bool Usable() const { return m_doubles || m_ints; }
    // Index below the vector's count.
    double operator()(int32_t i) const {
        double x = m_doubles ? m_doubles[i] : double(m_ints[i]);
        for (int k = 0; k < m_enabled; ++k)
            x = m_lin[size_t(k)].first * x + m_lin[size_t(k)].second;
        return x;
    }

private:
    const double *m_doubles = nullptr;
    const int16_t *m_ints = nullptr;
    std::array<const TLinTransformation *, 8> m_steps{};
    std::array<std::pair<double, double>, 8> m_lin{};
    int m_count = 0;
    int m_enabled = 0;
};

// First index from j on (below n) whose x is not below end.
template <typename Read> int32_t ColumnEnd(const Read &x, int32_t j, int32_t n, double end) {
    while (j < n && x(j) < end)
        ++j;
    return j;
}
} // namespace

// What drawing one curve needs, set up once per step rather than per point:
// its pen, its mark as a picture, and its stored vectors.
struct TCurveDrawer::TCurvePaint {
    TCurvePaint(const TGraphModel &g, const TDependency &d, const TMarkImage *mark)
        : Pen(CurvePen(d)), Mark(mark), X(*d.X), Y(*d.Y), XLin(dynamic_cast<TLinAxisTr *>(g.XAxis())),
          YLin(dynamic_cast<TLinAxisTr *>(g.YAxis())), LogX(dynamic_cast<TLogAxisTr *>(g.XAxis())) {}
    QPen Pen;
    const TMarkImage *Mark;
    TDirectValues X, Y;
    // Linear axes map without a virtual call.
    TLinAxisTr *XLin, *YLin;
    bool LogX;
};

namespace {
// Copying a prepared mark gives the very pixels of drawing it only on a
// raster device without scaling, blending as usual.
bool MarksCopyExactly(const QPainter &p) {
    const QPaintEngine *engine = p.paintEngine();
    const QTransform t = p.deviceTransform();
    return engine && engine->type() == QPaintEngine::Raster && t.type() <= QTransform::TxTranslate &&
           t.dx() == std::trunc(t.dx()) && t.dy() == std::trunc(t.dy()) && p.opacity() == 1 &&
           p.compositionMode() == QPainter::CompositionMode_SourceOver;
}
} // namespace

const TCurveDrawer::TMarkImage *TCurveDrawer::MarkImage(const TDependency &d) {
    // Circles and squares come out of integer rasterisers that are the same
    // wherever they draw; a hatched brush is aligned to the device instead.
    const bool shape = d.PointStyle == ptCircle || d.PointStyle == ptSquare;
    const bool brush = d.Brush.Style == bsSolid || d.Brush.Style == bsClear;
    if (!shape || !brush || d.PointSize < 0 || d.PointSize > 64)
        return nullptr;
    const std::array<uint32_t, 5> key = {uint32_t(d.PointStyle), uint32_t(d.PointSize), d.Color, d.Brush.Color,
                                         uint32_t(d.Brush.Style)};
    auto it = m_marks.find(key);
    if (it != m_marks.end())
        return &it->second;
    if (m_marks.size() >= 256)
        m_marks.clear();
    const int c = d.PointSize / 2 + 2; // room for the outline all round
    QImage img(2 * c + 1, 2 * c + 1, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        DrawMark(p, c, c, d.PointStyle, d.PointSize, d.Color, d.Brush);
    }
    // Only the pixels drawn are copied; a mark without see-through pixels
    // is copied without blending.
    QRect used;
    bool opaque = true;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) != 0)
                used |= QRect(x, y, 1, 1);
    for (int y = used.top(); y <= used.bottom(); ++y)
        for (int x = used.left(); x <= used.right(); ++x)
            opaque = opaque && qAlpha(img.pixel(x, y)) == 255;
    TMarkImage mark{used.isEmpty() ? QImage() : img.copy(used), QPoint(c, c) - used.topLeft()};
    if (opaque && !mark.Image.isNull())
        mark.Image.convertTo(QImage::Format_RGB32);
    return &m_marks.emplace(key, std::move(mark)).first->second;
}

void TCurveDrawer::Vertex(QPainter &p, const TGraphModel &g, TEntry &e, QPointF v) {
    const TDependency &d = *e.D;
    const QRectF plot(g.Plot());
    const QRectF area(plot.left(), plot.top(), plot.width() - 1, plot.height() - 1);
    if (!e.First && d.LineStyle != psClear) {
        QLineF line(e.Last, v);
        if (ClipLine(line, area)) {
            p.setPen(m_paint->Pen);
            p.drawLine(line);
        }
    }
    e.First = false;
    e.Last = v;
    if ((d.PointStyle != ptDot || d.LineStyle == psClear) && area.contains(v)) {
        if (const TMarkImage *mark = m_paint->Mark) {
            if (!mark->Image.isNull())
                p.drawImage(QPoint(int(v.x()), int(v.y())) - mark->Centre, mark->Image);
        } else {
            DrawMark(p, int(v.x()), int(v.y()), d.PointStyle, d.PointSize, d.Color, d.Brush);
        }
    }
}

// One column of one curve; returns the points consumed.
int TCurveDrawer::Column(QPainter &p, const TGraphModel &g, TEntry &e) {
    const TDependency &d = *e.D;
    TAxisTr &xa = *g.XAxis();
    TAxisTr &ya = *g.YAxis();
    const int32_t n = d.Count();
    const int w = (d.PointStyle == ptDot || d.DrawStyle == dsMinMax) ? 1 : (std::max(1, d.PointSize) + 1) / 2;
    const int32_t i = e.Next;
    const double x0 = d.X->Value(i);
    const double end = xa.ShiftValue(w, x0);
    // The scan touches every point; it reads stored vectors directly.
    const TDirectValues &direct = m_paint->X;
    const int32_t j = direct.Usable() && n <= d.X->Count()
                          ? ColumnEnd(direct, i + 1, n, end)
                          : ColumnEnd([&d](int32_t k) { return d.X->Value(k); }, i + 1, n, end);
    TLinAxisTr *xLin = m_paint->XLin, *yLin = m_paint->YLin;
    const auto px = [&](double v) -> double { return xLin ? xLin->ValueToPixel(v) : xa.ValueToPixel(v); };
    const auto py = [&](double v) -> double { return yLin ? yLin->ValueToPixel(v) : ya.ValueToPixel(v); };
    // Points a logarithmic axis cannot show are skipped.
    if (m_paint->LogX && x0 <= 0) {
        e.Next = j;
    } else if (j - i == 1) {
        Vertex(p, g, e, {px(x0), py(d.Y->Value(i))});
    } else {
        switch (d.DrawStyle) {
        case dsAvg:
            Vertex(p, g, e, {px(x0), py(d.Y->TrMean(i, j - i))});
            break;
        case dsMinMax: {
            Vertex(p, g, e, {px(x0), py(d.Y->Value(i))});
            QLineF stroke(px(x0), py(d.Y->TrMax(i, j - i)), px(x0), py(d.Y->TrMin(i, j - i)));
            const QRectF plot(g.Plot());
            // The vertex may have drawn nothing (first column, clear line, a
            // line outside the plot), so the pen is set here.
            if (ClipLine(stroke, QRectF(plot.left(), plot.top(), plot.width() - 1, plot.height() - 1))) {
                p.setPen(CurvePen(d));
                p.drawLine(stroke);
            }
            e.Last = {px(d.X->Value(j - 1)), py(d.Y->Value(j - 1))};
            break;
        }
        case dsPoint: {
            const TDirectValues &dx = m_paint->X, &dy = m_paint->Y;
            const bool fast = dx.Usable() && dy.Usable() && n <= d.X->Count() && n <= d.Y->Count();
            // A value less than 2w - 1 pixels from the last vertex's before
            // rounding lands at most 2w - 1 whole pixels from it (rounding
            // and clamping move each by at most half a pixel), so it is
            // skipped without the exact mapping. The margin covers the
            // arithmetic's error; NaN (a log axis, an empty range, odd
            // values) never skips.
            const double perValue =
                yLin ? std::fabs(yLin->PixelLength / (yLin->RangeMax() - yLin->RangeMin())) : std::nan("");
            const double near = 2 * w - 1 - 1e-3;
            bool drawn = false;
            double lastY = 0, lastV = 0;
            for (int32_t k = i; k < j; ++k) {
                const double v = fast ? dy(k) : d.Y->Value(k);
                if (drawn && std::fabs(v - lastV) * perValue <= near)
                    continue;
                const double y = py(v);
                if (drawn && std::fabs(y - lastY) <= 2 * w)
                    continue;
                Vertex(p, g, e, {px(fast ? dx(k) : d.X->Value(k)), y});
                drawn = true;
                lastY = y;
                lastV = v;
            }
            break;
        }
        }
    }
    e.Next = j;
    e.LastX = d.X->Value(j - 1);
    if (j >= n || e.LastX >= xa.RangeMax())
        e.Done = true;
    return j - i;
}

bool TCurveDrawer::Step(QPainter &p, const TGraphModel &g, int pointBudget) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const bool copyMarks = MarksCopyExactly(p);
    for (TEntry &e : m_list) {
        if (e.Done)
            continue;
        const TCurvePaint paint(g, *e.D, copyMarks ? MarkImage(*e.D) : nullptr);
        m_paint = &paint;
        int used = 0;
        while (!e.Done && used < pointBudget)
            used += Column(p, g, e);
    }
    m_paint = nullptr;
    p.restore();
    return Done();
}

int TCurveDrawer::DrawAll(QPainter &p, const TGraphModel &g, int pointBudget) {
    int steps = 0;
    while (!Done()) {
        Step(p, g, pointBudget);
        ++steps;
    }
    return steps;
}

void RenderGraph(QPainter &p, TGraphModel &g, const QRect &r) {
    const TGraphModel::TView view = g.SaveView();
    const uint8_t options = g.Options;
    Finally restore([&] {
        g.Options = options;
        g.RestoreView(view);
    });
    g.Options &= uint8_t(~grShowCursors);
    const TGraphLayout l = TGraphLayout::Compute(g, r, p.fontMetrics());
    PaintFrame(p, g, l);
    TCurveDrawer d;
    d.Start(g);
    d.DrawAll(p, g);
    PaintLegend(p, g, l);
}

} // namespace tessel
