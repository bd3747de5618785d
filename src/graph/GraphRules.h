#pragma once

#include "data/Dependency.h"

#include <QString>
#include <optional>

namespace tessel {

class TGraphModel;

// Decisions of the graph windows that need no window.

// First displayed x of a data set; none while it has no point.
std::optional<double> FirstX(const TDependency &d);

// A logarithmic x axis cannot place a point at x <= 0, so it is refused while
// any data set of the graph with points, shown or not, starts there.
bool CanSwitchToLogX(const TGraphModel &g);
// Why the switch is refused: the first data set in the way and where it starts.
QString LogXRefusalDetail(const TGraphModel &g);

// A shown data set has points beyond the graph's present x or y range.
bool OutsideView(const TGraphModel &g, const TDependency &d);

// After an edit under a logarithmic x axis a data set that is now visible but
// starts at x <= 0 has to be hidden again.
bool MustHideOnLogX(const TDependency &d, bool logX);

// Limits of the manual scale dialog's fields.
constexpr double kScaleFieldLimit = 1e100;

// A number typed into a manual scale field: clamped to the field's limits;
// text that is no number keeps the previous value.
double ScaleFieldValue(const QString &text, double previous);

} // namespace tessel
