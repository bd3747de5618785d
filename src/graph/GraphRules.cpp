#include "graph/GraphRules.h"

#include "common/NumberText.h"
#include "data/Vector.h"
#include "graph/AxisTr.h"
#include "graph/GraphModel.h"

#include <algorithm>

namespace tessel {

std::optional<double> FirstX(const TDependency &d) {
    if (!d.X || !d.Y || d.Count() <= 0 || d.X->Count() <= 0)
        return std::nullopt;
    return d.X->Value(0);
}

static bool StartsAtOrBelowZero(const TDependency &d) {
    const std::optional<double> x = FirstX(d);
    return x && !(*x > 0);
}

bool CanSwitchToLogX(const TGraphModel &g) {
    for (int i = 0; i < g.DependencyCount(); ++i)
        if (StartsAtOrBelowZero(*g.Dependency(i)))
            return false;
    return true;
}

QString LogXRefusalDetail(const TGraphModel &g) {
    for (int i = 0; i < g.DependencyCount(); ++i)
        if (const TDependency &d = *g.Dependency(i); StartsAtOrBelowZero(d))
            return QStringLiteral("\"%1\" starts at x = %2; a logarithmic axis shows only x above 0.")
                .arg(d.Caption, FormatShortest(*FirstX(d)));
    return {};
}

bool OutsideView(const TGraphModel &g, const TDependency &d) {
    if (!d.Visible || !d.X || !d.Y || !g.XAxis() || !g.YAxis())
        return false;
    const TAxisTr &x = *g.XAxis(), &y = *g.YAxis();
    const int32_t n = std::min({d.Count(), d.X->Count(), d.Y->Count()});
    for (int32_t i = 0; i < n; ++i) {
        const double vx = d.X->Value(i), vy = d.Y->Value(i);
        if (vx < x.RangeMin() || vx > x.RangeMax() || vy < y.RangeMin() || vy > y.RangeMax())
            return true;
    }
    return false;
}

bool MustHideOnLogX(const TDependency &d, bool logX) { return logX && d.Visible && StartsAtOrBelowZero(d); }

double ScaleFieldValue(const QString &text, double previous) {
    const std::optional<double> v = ParseFloat(text);
    if (!v)
        return previous;
    return std::clamp(*v, -kScaleFieldLimit, kScaleFieldLimit);
}

} // namespace tessel
