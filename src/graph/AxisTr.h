#pragma once

#include "common/Errors.h"
#include "common/GraphBounds.h"

#include <QString>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace tessel {

// Raised for ranges the configured bounds cannot hold ("Invalid Range") and
// for values a logarithmic axis cannot show.
class EAxisError : public ETesselError {
public:
    using ETesselError::ETesselError;
};

enum TTickKind : uint8_t { tkGrid = 0, tkShort = 1, tkLong = 2 };

struct TTick {
    int32_t Pos = 0; // pixel
    QString Label;   // at most 20 characters
    TTickKind Kind = tkGrid;
    bool HasLabel = false;
    bool operator==(const TTick &) const = default;
};

// Maps the values of one graph axis to pixels and back, keeps the range
// within its bounds and lists the ticks the graph draws.
class TAxisTr {
public:
    virtual ~TAxisTr() = default;

    bool Reversed = false; // vertical axis: pixels grow downwards
    int32_t PixelStart = 0;
    int32_t PixelLength = 0;
    int32_t Precision = 5; // significant digits of logarithmic labels
    QString Caption;
    // Labels show value x LabelScale (a time axis in ms reads its seconds x 1000).
    double LabelScale = 1;
    std::vector<TTick> Ticks;
    std::function<void()> OnSetRange;

    double RangeMin() const { return m_min; }
    double RangeMax() const { return m_max; }

    virtual int32_t ValueToPixel(double v) = 0;
    virtual double PixelToValue(int32_t p) const = 0;
    virtual void BuildTicks() = 0;
    virtual double ShiftValue(int32_t n, double v) const = 0;
    virtual void SetDefaultRange() = 0;
    // Descendants apply their bounds first; an error leaves the range as it was.
    virtual void SetRange(double lo, double hi);

    static constexpr int kMaxLabel = 20;

protected:
    TAxisTr(double lo, double hi) : m_min(lo), m_max(hi) {}
    // Pixel offset from the axis start, mirrored for a reversed axis.
    double PixelOffset(int32_t p) const {
        return Reversed ? double(PixelStart) + PixelLength - p : double(p) - PixelStart;
    }
    double PixelOf(double t) const { return Reversed ? double(PixelStart) + PixelLength - t : PixelStart + t; }
    bool InSpan(int64_t p) const { return p >= PixelStart && p <= int64_t(PixelStart) + PixelLength; }
    // Nice-step major ticks (and, for a linear axis, the minor marks).
    void BuildLinearTicks(int count, bool minor);
    void AddMinorTicks(int32_t q, int32_t p);

private:
    double m_min, m_max;
};

// Rounds halves to even, as everywhere in the program. rint does so without
// saving and restoring the floating-point environment, as nearbyint would.
inline double RoundEven(double x) { return std::rint(x); }

// A pixel position clamped to the int32 range before rounding; NaN maps to
// the low end so that a degenerate axis never yields an undefined conversion.
inline int32_t ClampedPixel(double p) {
    if (std::isnan(p) || p <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    if (p >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    return int32_t(RoundEven(p));
}

// Final and mapping inline: the curves put every point through it.
class TLinAxisTr final : public TAxisTr {
public:
    TLinAxisTr() : TAxisTr(-10, 10) {}
    bool UseRange = false;
    double Floor = -1e300, Ceil = 1e300, MinRange = 0;

    int32_t ValueToPixel(double v) override {
        const double t = (v - RangeMin()) * PixelLength / (RangeMax() - RangeMin());
        return ClampedPixel(PixelOf(t));
    }
    double PixelToValue(int32_t p) const override;
    void BuildTicks() override;
    double ShiftValue(int32_t n, double v) const override;
    void SetDefaultRange() override { SetRange(-10, 10); }
    void SetRange(double lo, double hi) override;
};

class TLogAxisTr : public TAxisTr {
public:
    TLogAxisTr() : TAxisTr(0.1, 10) {}
    bool UseRange = false;
    double Floor = 1e-300, Ceil = 1e300;
    // A ratio; below 1 is refused with "Hmm".
    double MinRange() const { return m_minRange; }
    void SetMinRange(double r);
    // Set when a value <= 0 was mapped.
    bool DomainError = false;

    static constexpr int32_t kDomainErrorPixel = -2147483645;

    int32_t ValueToPixel(double v) override;
    double PixelToValue(int32_t p) const override;
    void BuildTicks() override;
    double ShiftValue(int32_t n, double v) const override;
    void SetDefaultRange() override { SetRange(0.1, 10); }
    void SetRange(double lo, double hi) override;

private:
    double m_minRange = 10.0;
};

// Experiment graphs take their bounds from "GraphBounds", signal views from
// "SignalBounds"; both switch UseRange on.
void ApplyBounds(const TGraphBounds &b, TLinAxisTr &xLin, TLinAxisTr &yLin, TLogAxisTr &xLog);

} // namespace tessel
