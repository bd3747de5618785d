#include "graph/GraphRules.h"

#include "common/NumberText.h"
#include "data/Vector.h"
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

bool MustHideOnLogX(const TDependency &d, bool logX) { return logX && d.Visible && StartsAtOrBelowZero(d); }

double ScaleFieldValue(const QString &text, double previous) {
    const std::optional<double> v = ParseFloat(text);
    if (!v)
        return previous;
    return std::clamp(*v, -kScaleFieldLimit, kScaleFieldLimit);
}

} // namespace tessel
