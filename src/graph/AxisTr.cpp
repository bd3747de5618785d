#include "graph/AxisTr.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace tessel {

namespace {

const QString kInvalidRange = QStringLiteral("Invalid Range");

QString Label(double v, int digits) {
    QString s = QString::number(v + 0.0, 'g', digits);
    s.truncate(TAxisTr::kMaxLabel);
    return s;
}

} // namespace

void TAxisTr::SetRange(double lo, double hi) {
    m_min = lo;
    m_max = hi;
    if (OnSetRange)
        OnSetRange();
}

void TAxisTr::AddMinorTicks(int32_t q, int32_t p) {
    const double d = (double(q) - double(p)) / 10;
    const bool dense = std::fabs(d) > 3;
    for (int i = 0; i < 10; ++i) {
        if (!dense && i != 0 && i != 5)
            continue;
        int k = i == 0 ? 10 : i == 5 ? 8 : 5;
        if (!dense)
            k -= 4;
        const double pos = double(q) + RoundEven(i * d);
        if (InSpan(int64_t(pos)))
            Ticks.push_back({int32_t(pos), QString(), k > 5 ? tkLong : tkShort, false});
    }
}

void TAxisTr::BuildLinearTicks(int count, bool minor) {
    Ticks.clear();
    const double r = (RangeMax() - RangeMin()) / 10;
    const double e = r == 0 ? 0 : RoundEven(std::log10(std::fabs(r)) + 0.5);
    const double m = r / std::pow(10.0, e);
    const double nice = m > 0.5 ? 1.0 : m > 0.2 ? 0.5 : m > 0.1 ? 0.2 : 0.1;
    const double s = nice * std::pow(10.0, e);
    // An empty or non-finite range has no ticks.
    if (!(s > 0) || !std::isfinite(s) || !std::isfinite(RangeMin()))
        return;
    double v = s * std::ceil(RangeMin() / s);
    int32_t q = ValueToPixel(v - s);
    for (int i = 0; i < count; ++i) {
        const int32_t p = ValueToPixel(v);
        if (InSpan(p))
            Ticks.push_back({p, Label(RoundEven(v / s) * s * LabelScale, 15), tkGrid, true});
        if (minor)
            AddMinorTicks(q, p);
        q = p;
        v += s;
    }
}

// --- linear

double TLinAxisTr::PixelToValue(int32_t p) const {
    if (PixelLength == 0)
        return RangeMin();
    return (RangeMax() - RangeMin()) * PixelOffset(p) / PixelLength + RangeMin();
}

double TLinAxisTr::ShiftValue(int32_t n, double v) const {
    if (PixelLength == 0)
        return v;
    return v + n * (RangeMax() - RangeMin()) / PixelLength;
}

void TLinAxisTr::BuildTicks() { BuildLinearTicks(12, true); }

void TLinAxisTr::SetRange(double lo, double hi) {
    if (UseRange) {
        if (Ceil - Floor < MinRange)
            throw EAxisError(kInvalidRange);
        if (hi - lo < MinRange) {
            const double d = (MinRange - (hi - lo)) / 2;
            lo -= d;
            hi += d;
        }
        if (lo < Floor) {
            hi += Floor - lo;
            lo = Floor;
            if (hi > Ceil)
                hi = Ceil;
        }
        if (hi > Ceil) {
            lo -= hi - Ceil;
            hi = Ceil;
            if (lo < Floor)
                lo = Floor;
        }
    }
    TAxisTr::SetRange(lo, hi);
}

// --- logarithmic

void TLogAxisTr::SetMinRange(double r) {
    if (r < 1.0)
        throw EAxisError(QStringLiteral("Hmm"));
    m_minRange = r;
}

int32_t TLogAxisTr::ValueToPixel(double v) {
    if (v <= 0 || std::isnan(v)) {
        DomainError = true;
        return kDomainErrorPixel;
    }
    const double t =
        (std::log10(v) - std::log10(RangeMin())) * PixelLength / (std::log10(RangeMax()) - std::log10(RangeMin()));
    return ClampedPixel(PixelOf(t));
}

double TLogAxisTr::PixelToValue(int32_t p) const {
    if (PixelLength == 0)
        return RangeMin();
    const double f = std::min(PixelOffset(p) / PixelLength, 307.2304489);
    return RangeMin() * std::pow(10.0, f * std::log10(RangeMax() / RangeMin()));
}

double TLogAxisTr::ShiftValue(int32_t n, double v) const {
    if (PixelLength == 0)
        return v;
    return v * std::pow(RangeMax() / RangeMin(), double(n) / PixelLength);
}

void TLogAxisTr::SetRange(double lo, double hi) {
    if (!UseRange) {
        if (lo <= 0)
            throw EAxisError(QStringLiteral("Negative or zero values can not be set while using Log Scale"));
    } else {
        if (Ceil <= 0 || Floor <= 0 || Ceil / Floor < m_minRange)
            throw EAxisError(kInvalidRange);
        if (lo <= 0)
            lo = Floor;
        if (hi / lo < m_minRange) {
            const double gm = std::sqrt(hi * lo);
            hi = gm * std::sqrt(m_minRange);
            lo = gm / std::sqrt(m_minRange);
        }
        if (lo < Floor) {
            hi = hi * Floor / lo;
            lo = Floor;
            if (hi > Ceil)
                hi = Ceil;
        }
        if (hi > Ceil) {
            lo = lo / (hi / Ceil);
            hi = Ceil;
            if (lo < Floor)
                lo = Floor;
        }
    }
    TAxisTr::SetRange(lo, hi);
}

void TLogAxisTr::BuildTicks() {
    Ticks.clear();
    if (!(RangeMax() / RangeMin() >= 10)) {
        BuildLinearTicks(10, false);
        return;
    }
    const double top = std::pow(10.0, RoundEven(std::log10(RangeMax()) + 0.5));
    double bottom = 0.01;
    if (RangeMin() > 0)
        bottom = std::max(std::pow(10.0, RoundEven(std::log10(RangeMin()) + 0.5) - 1),
                          std::numeric_limits<double>::denorm_min());
    const double g = PixelLength / std::log10(top / bottom);
    if (!(g > 0) || !std::isfinite(top))
        return;
    const double factor = g >= 20 ? 10.0 : std::pow(10.0, RoundEven(20 / g));
    if (!(factor > 1) || !std::isfinite(factor))
        return;

    const double d = std::fabs(double(ValueToPixel(top)) - double(ValueToPixel(top / factor))) * 0.1;
    DomainError = false;
    double v = top;
    // v falls by at least a decade each pass and reaches 0 after at most
    // about 630 passes; the bound is a guard only.
    for (int pass = 0; pass < 2000; ++pass) {
        const int32_t p = ValueToPixel(v);
        if (DomainError)
            break;
        const QString label = Label(v * LabelScale, Precision);
        v /= factor;
        if (!InSpan(p))
            continue;
        Ticks.push_back({p, label, tkGrid, true});
        for (int i = 2; i <= 9; ++i) {
            if (!(d >= 2 && (d > 4 || i == 5)))
                continue;
            const double off = RoundEven(std::log10(double(i)) * d * 10);
            const double pos = Reversed ? p - off : p + off;
            if (InSpan(int64_t(pos)))
                Ticks.push_back({int32_t(pos), QString(), tkGrid, false});
        }
    }
}

void ApplyBounds(const TGraphBounds &b, TLinAxisTr &xLin, TLinAxisTr &yLin, TLogAxisTr &xLog) {
    xLin.UseRange = yLin.UseRange = xLog.UseRange = true;
    xLin.Floor = b.XLinFloor;
    xLin.Ceil = b.XLinCeil;
    xLin.MinRange = b.XLinMinRange;
    yLin.Floor = b.YLinFloor;
    yLin.Ceil = b.YLinCeil;
    yLin.MinRange = b.YLinMinRange;
    xLog.Floor = b.XLogFloor;
    xLog.Ceil = b.XLogCeil;
    xLog.SetMinRange(b.XLogMinRange);
}

} // namespace tessel
