#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace tessel {

class TCompiler;

// The event table of the last successful build as (time, state of the 16
// output lines), what the signals view draws. Empty while there is none:
// after a failed build the event list still holds the raw actions.
std::vector<std::pair<double, uint32_t>> SignalEventsOf(const TCompiler &compiler);

} // namespace tessel
