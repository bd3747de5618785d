#include "graph/GraphModel.h"

#include "common/DataList.h"
#include "data/Vector.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>

namespace tessel {

namespace {
constexpr double kSearchStart = 1.7e307;

double XOf(const TDependency &d, int32_t i) { return d.X->Value(i); }
double YOf(const TDependency &d, int32_t i) { return d.Y->Value(i); }
bool HasPoints(const TDependency *d) { return d && d->X && d->Y && d->Count() > 0; }
} // namespace

QString FormatDigits(double v, int digits) { return QString::number(v + 0.0, 'g', std::clamp(digits, 1, 17)); }

TGesture ClassifyGesture(QPoint press, QPoint release, TMouseButton button) {
    const int dx = std::abs(release.x() - press.x());
    const int dy = std::abs(release.y() - press.y());
    if (button == TMouseButton::Middle)
        return TGesture::Undo;
    if (dx < 2 && dy < 2)
        return TGesture::PlaceCursor;
    if (dx > 3 && dy > 3)
        return button == TMouseButton::Left ? TGesture::ZoomIn : TGesture::ZoomOut;
    return TGesture::None;
}

TGraphModel::TGraphModel() : m_x(&m_ownX), m_y(&m_ownY) {
    m_ownY.Reversed = true;
    TGraphRegistry::Instance().Register(this);
}

TGraphModel::~TGraphModel() { TGraphRegistry::Instance().Unregister(this); }

void TGraphModel::SetXAxis(TAxisTr *a) {
    m_x = a ? a : &m_ownX;
    Changed();
}

void TGraphModel::SetYAxis(TAxisTr *a) {
    m_y = a ? a : &m_ownY;
    m_y->Reversed = true;
    Changed();
}

void TGraphModel::Changed() {
    if (OnChanged)
        OnChanged();
}

void TGraphModel::AddDependency(TDependency *d) {
    if (!d)
        return;
    m_deps.push_back(d);
    if (m_deps.size() == 1)
        m_selected = d;
    Changed();
}

int TGraphModel::AddDependencies(const std::vector<TDependency *> &list) {
    int added = 0;
    for (TDependency *d : list)
        if (d && !Contains(d)) {
            AddDependency(d);
            ++added;
        }
    return added;
}

void TGraphModel::RemoveDependency(TDependency *d) {
    auto it = std::find(m_deps.begin(), m_deps.end(), d);
    if (it == m_deps.end())
        return;
    m_deps.erase(it);
    SetErrorBars(d, {});
    if (m_selected == d)
        m_selected = m_deps.empty() ? nullptr : m_deps.front();
    if (OnRemoveDependency)
        OnRemoveDependency(d);
    Changed();
}

void TGraphModel::SetErrorBars(const TDependency *d, std::vector<double> halfLengths) {
    auto it = std::find_if(m_errors.begin(), m_errors.end(), [d](const auto &e) { return e.first == d; });
    if (it != m_errors.end())
        m_errors.erase(it);
    if (!halfLengths.empty())
        m_errors.emplace_back(d, std::move(halfLengths));
}

const std::vector<double> *TGraphModel::ErrorBars(const TDependency *d) const {
    for (const auto &e : m_errors)
        if (e.first == d)
            return &e.second;
    return nullptr;
}

bool TGraphModel::Contains(const TDependency *d) const { return IndexOf(d) >= 0; }

int TGraphModel::IndexOf(const TDependency *d) const {
    auto it = std::find(m_deps.begin(), m_deps.end(), d);
    return it == m_deps.end() ? -1 : int(it - m_deps.begin());
}

TDependency *TGraphModel::Dependency(int index) const {
    if (index < 0 || index >= int(m_deps.size()))
        throw EDataListError(QStringLiteral("DataList index out of bounds (%1)").arg(index));
    return m_deps[size_t(index)];
}

void TGraphModel::SetSelected(TDependency *d) {
    if (d == nullptr || Contains(d))
        m_selected = d;
    Changed();
}

// --- ranges

void TGraphModel::PushUndo() {
    m_undo.push_back({m_x->RangeMin(), m_x->RangeMax(), m_y->RangeMin(), m_y->RangeMax()});
    while (int(m_undo.size()) > kMaxUndo)
        m_undo.pop_front();
}

void TGraphModel::RangesChanged() {
    if (OnSetLeftCursor)
        OnSetLeftCursor(LeftCursorIndex());
    if (OnSetRightCursor)
        OnSetRightCursor(RightCursorIndex());
    Changed();
}

void TGraphModel::SetRanges(double x0, double x1, double y0, double y1) {
    m_x->SetRange(std::min(x0, x1), std::max(x0, x1));
    m_y->SetRange(std::min(y0, y1), std::max(y0, y1));
}

int32_t TGraphModel::Lower(const TDependency &d, double v, bool after) const {
    int32_t lo = 0, hi = d.Count();
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        const double x = XOf(d, mid);
        if (after ? x <= v : x < v)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void TGraphModel::AutoScaleX() {
    if (!m_undo.empty())
        PushUndo();
    double lo = kSearchStart, hi = -kSearchStart;
    bool any = false;
    for (TDependency *d : m_deps) {
        if (!d->Visible || !HasPoints(d))
            continue;
        lo = std::min(lo, XOf(*d, 0));
        hi = std::max(hi, XOf(*d, d->Count() - 1));
        any = true;
    }
    if (any)
        m_x->SetRange(lo, hi);
    RangesChanged();
}

void TGraphModel::AutoScaleY() {
    if (!m_undo.empty())
        PushUndo();
    const double xmin = m_x->RangeMin(), xmax = m_x->RangeMax();
    double lo = kSearchStart, hi = -kSearchStart;
    bool any = false;
    for (TDependency *d : m_deps) {
        if (!d->Visible || !HasPoints(d))
            continue;
        const int32_t last = d->Count() - 1;
        if (XOf(*d, last) < xmin || XOf(*d, 0) > xmax)
            continue;
        const int32_t i1 = std::max(0, Lower(*d, xmin, false) - 1);
        const int32_t above = Lower(*d, xmax, true);
        const int32_t i2 = above > last ? last : above;
        const int32_t n = std::max(1, i2 - i1 + 1);
        lo = std::min(lo, d->Y->TrMin(i1, n));
        hi = std::max(hi, d->Y->TrMax(i1, n));
        if (const std::vector<double> *bars = ErrorBars(d))
            for (int32_t k = i1; k < i1 + n && k < int32_t(bars->size()); ++k) {
                lo = std::min(lo, d->Y->Value(k) - (*bars)[size_t(k)]);
                hi = std::max(hi, d->Y->Value(k) + (*bars)[size_t(k)]);
            }
        any = true;
    }
    if (any) {
        if (std::fabs(hi - lo) < 1e-5) {
            lo -= 10;
            hi += 10;
        }
        m_y->SetRange(lo, hi);
    }
    RangesChanged();
}

void TGraphModel::AutoScaleXY() {
    m_undo.clear();
    AutoScaleX();
    AutoScaleY();
}

void TGraphModel::Undo() {
    if (m_undo.empty())
        return;
    const TUndoEntry e = m_undo.back();
    m_undo.pop_back();
    SetRanges(e.XMin, e.XMax, e.YMin, e.YMax);
    RangesChanged();
}

static void ZoomAxis(TAxisTr &a, int p) {
    p = std::clamp(p, -100, 100);
    const int32_t d = int32_t(int64_t(p) * a.PixelLength / 200);
    a.SetRange(a.ShiftValue(d, a.RangeMin()), a.ShiftValue(-d, a.RangeMax()));
}

// Values at their pixels minus s: on a reversed axis a smaller pixel is a
// larger value.
static void ScrollAxis(TAxisTr &a, double f) {
    const int32_t s = int32_t(RoundEven(a.PixelLength * f));
    const int32_t n = a.Reversed ? s : -s;
    a.SetRange(a.ShiftValue(n, a.RangeMin()), a.ShiftValue(n, a.RangeMax()));
}

void TGraphModel::ZoomX(int p) {
    PushUndo();
    ZoomAxis(*m_x, p);
    RangesChanged();
}

void TGraphModel::ZoomY(int p) {
    PushUndo();
    ZoomAxis(*m_y, p);
    RangesChanged();
}

void TGraphModel::ScrollX(double f) {
    PushUndo();
    ScrollAxis(*m_x, f);
    RangesChanged();
}

void TGraphModel::ScrollY(double f) {
    PushUndo();
    ScrollAxis(*m_y, f);
    RangesChanged();
}

void TGraphModel::ZoomInRect(const QRect &r) {
    PushUndo();
    SetRanges(m_x->PixelToValue(r.left()), m_x->PixelToValue(r.right()), m_y->PixelToValue(r.bottom()),
              m_y->PixelToValue(r.top()));
    RangesChanged();
}

// The whole plot shrinks into the rectangle: the current span [0, L] is to
// land on [a, b], so the new span runs from -k*a to L + k*(L-b).
static std::pair<double, double> ZoomOutSpan(const TAxisTr &axis, int32_t p0, int32_t p1) {
    const double L = axis.PixelLength;
    const double a = p0 - axis.PixelStart, b = p1 - axis.PixelStart;
    const double k = L / std::max(1.0, b - a);
    const auto at = [&](double off) { return axis.PixelToValue(int32_t(RoundEven(axis.PixelStart + off))); };
    return {at(-k * a), at(L + k * (L - b))};
}

void TGraphModel::ZoomOutRect(const QRect &r) {
    PushUndo();
    const auto [x0, x1] = ZoomOutSpan(*m_x, r.left(), r.right());
    const auto [y0, y1] = ZoomOutSpan(*m_y, r.top(), r.bottom());
    SetRanges(x0, x1, y0, y1);
    RangesChanged();
}

bool TGraphModel::KeyCommand(int key, bool keypad) {
    switch (key) {
    case Qt::Key_Backspace:
        Undo();
        return true;
    case Qt::Key_Left:
        ScrollX(0.2);
        return true;
    case Qt::Key_Right:
        ScrollX(-0.2);
        return true;
    case Qt::Key_Up:
        ScrollY(0.2);
        return true;
    case Qt::Key_Down:
        ScrollY(-0.2);
        return true;
    case Qt::Key_PageUp:
        ScrollY(0.5);
        return true;
    case Qt::Key_PageDown:
        ScrollY(-0.5);
        return true;
    default:
        break;
    }
    if (!keypad)
        return false;
    switch (key) {
    case Qt::Key_Asterisk:
        ZoomX(25);
        return true;
    case Qt::Key_Slash:
        ZoomX(-25);
        return true;
    case Qt::Key_Plus:
        ZoomY(25);
        return true;
    case Qt::Key_Minus:
        ZoomY(-25);
        return true;
    default:
        return false;
    }
}

// --- cursors

void TGraphModel::SetPlot(const QRect &plot) {
    m_plot = plot;
    for (TGraphCursor &c : m_cursor)
        if (c.Placed) {
            c.Column = plot.left() + int32_t(RoundEven(c.Relative * (plot.width() - 1)));
            c.Visible = c.Column >= plot.left() + 3 && c.Column <= plot.right() - 3;
        }
}

TGraphModel::TView TGraphModel::SaveView() const {
    return {m_plot, {m_cursor[0], m_cursor[1]}, m_x->PixelStart, m_x->PixelLength, m_y->PixelStart, m_y->PixelLength};
}

void TGraphModel::RestoreView(const TView &v) {
    m_plot = v.Plot;
    m_cursor[0] = v.Cursors[0];
    m_cursor[1] = v.Cursors[1];
    m_x->PixelStart = v.XStart;
    m_x->PixelLength = v.XLength;
    m_y->PixelStart = v.YStart;
    m_y->PixelLength = v.YLength;
    m_x->BuildTicks();
    m_y->BuildTicks();
}

QPoint TGraphModel::ClampToPlot(QPoint p) const {
    return {std::clamp(p.x(), m_plot.left(), m_plot.right()), std::clamp(p.y(), m_plot.top(), m_plot.bottom())};
}

bool TGraphModel::PlaceCursor(bool left, int32_t column) {
    if (!(Options & grShowCursors) || column < m_plot.left() + 3 || column > m_plot.right() - 3)
        return false;
    TGraphCursor &c = m_cursor[left ? 0 : 1];
    c.Column = column;
    c.Visible = c.Placed = true;
    c.Relative = m_plot.width() > 1 ? double(column - m_plot.left()) / (m_plot.width() - 1) : 0;
    const auto &ev = left ? OnSetLeftCursor : OnSetRightCursor;
    if (ev)
        ev(column);
    return true;
}

int32_t TGraphModel::LeftCursorIndex() const {
    if (!(Options & grShowCursors) || !HasPoints(m_selected))
        return -1;
    const TGraphCursor *c = nullptr;
    for (const TGraphCursor &k : m_cursor)
        if (k.Visible && (!c || k.Column < c->Column))
            c = &k;
    if (!c)
        return -1;
    return Lower(*m_selected, m_x->PixelToValue(c->Column), false) - 1;
}

int32_t TGraphModel::RightCursorIndex() const {
    if (!(Options & grShowCursors) || !HasPoints(m_selected))
        return -1;
    const TGraphCursor *c = nullptr;
    for (const TGraphCursor &k : m_cursor)
        if (k.Visible && (!c || k.Column > c->Column))
            c = &k;
    if (!c)
        return -1;
    const int32_t i = Lower(*m_selected, m_x->PixelToValue(c->Column), true);
    return i < m_selected->Count() ? i : -1;
}

double TGraphModel::ValueAtColumn(const TDependency &d, int32_t column) const {
    if (!HasPoints(&d))
        return 0;
    // Points whose x maps into this pixel column (pixels grow with x).
    const double from = m_x->PixelToValue(column), to = m_x->PixelToValue(column + 1);
    int32_t i = Lower(d, std::min(from, to), false);
    // Step back over points of the previous value range that still round into the column.
    while (i > 0 && m_x->ValueToPixel(XOf(d, i - 1)) == column)
        --i;
    while (i < d.Count() && m_x->ValueToPixel(XOf(d, i)) < column)
        ++i;
    int32_t j = i;
    while (j < d.Count() && m_x->ValueToPixel(XOf(d, j)) == column)
        ++j;
    if (j > i)
        return d.Y->TrMean(i, j - i);
    if (i == 0 || i >= d.Count())
        return 0;
    const double x0 = XOf(d, i - 1), x1 = XOf(d, i), y0 = YOf(d, i - 1), y1 = YOf(d, i);
    const double x = from;
    return x1 == x0 ? y0 : y0 + (y1 - y0) * (x - x0) / (x1 - x0);
}

TReadout TGraphModel::Readout(const QPoint *mouse) const {
    TReadout r;
    if (mouse) {
        const QPoint p = ClampToPlot(*mouse);
        r.X = m_x->PixelToValue(p.x());
        r.Y = m_y->PixelToValue(p.y());
        r.HasMouse = true;
    }
    const TGraphCursor &a = m_cursor[0], &b = m_cursor[1];
    int32_t c1 = a.Column, c2 = b.Column;
    if (a.Visible && b.Visible && c1 > c2)
        std::swap(c1, c2);
    else if (!a.Visible)
        c1 = b.Column;
    else if (!b.Visible)
        c2 = a.Column;
    if (a.Visible || b.Visible) {
        r.X1 = m_x->PixelToValue(c1);
        r.X2 = m_x->PixelToValue(c2);
        if (m_selected) {
            r.Y1 = ValueAtColumn(*m_selected, c1);
            r.Y2 = ValueAtColumn(*m_selected, c2);
        }
    }
    r.DeltaX = r.X2 - r.X1;
    r.DeltaY = r.Y2 - r.Y1;
    r.Slope = r.DeltaX == 0 ? 0 : r.DeltaY / r.DeltaX;
    if (m_selected)
        r.Selected = m_selected->Caption;
    return r;
}

std::optional<std::pair<double, double>> TGraphModel::CursorRange() const {
    if (!(Options & grShowCursors) || !m_cursor[0].Visible || !m_cursor[1].Visible)
        return std::nullopt;
    const TReadout r = Readout(nullptr);
    return std::pair(r.X1, r.X2);
}

QStringList TGraphModel::ReadoutTexts(const TReadout &r) const {
    const int px = m_x->Precision, py = m_y->Precision;
    const auto mouse = [&](double v, int digits) { return r.HasMouse ? FormatDigits(v, digits) : QString(); };
    return {QStringLiteral("X: ") + mouse(r.X, px),
            QStringLiteral("X1: ") + FormatDigits(r.X1, px),
            QStringLiteral("X2: ") + FormatDigits(r.X2, px),
            QStringLiteral("DeltaX: ") + FormatDigits(r.DeltaX, px),
            QStringLiteral("Slope: ") + FormatDigits(r.Slope, 5),
            QStringLiteral("Y: ") + mouse(r.Y, py),
            QStringLiteral("Y1: ") + FormatDigits(r.Y1, py),
            QStringLiteral("Y2: ") + FormatDigits(r.Y2, py),
            QStringLiteral("DeltaY: ") + FormatDigits(r.DeltaY, py),
            QStringLiteral("Selected: ") + r.Selected};
}

TDependency *TGraphModel::HitTest(QPoint mouse) const {
    for (auto it = m_deps.rbegin(); it != m_deps.rend(); ++it) {
        TDependency *d = *it;
        if (!d->Visible || !HasPoints(d))
            continue;
        const double xl = m_x->PixelToValue(mouse.x() - 3), xr = m_x->PixelToValue(mouse.x() + 3);
        if (XOf(*d, d->Count() - 1) < xl || XOf(*d, 0) > xr)
            continue;
        // Probe only where the curve exists, so its ends never read as 0.
        const int32_t first = m_x->ValueToPixel(XOf(*d, 0)), last = m_x->ValueToPixel(XOf(*d, d->Count() - 1));
        const int32_t cl = std::max(mouse.x() - 3, first), cr = std::min(mouse.x() + 3, last);
        const int32_t p1 = m_y->ValueToPixel(ValueAtColumn(*d, cl));
        const int32_t p2 = m_y->ValueToPixel(ValueAtColumn(*d, cr));
        if (mouse.y() >= std::min(p1, p2) - 3 && mouse.y() <= std::max(p1, p2) + 3)
            return d;
    }
    return nullptr;
}

} // namespace tessel
