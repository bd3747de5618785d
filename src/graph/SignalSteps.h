#pragma once

#include "data/Dependency.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace tessel {

// One output line as the signals view shows it.
struct TSignalLine {
    const char *Caption;
    int Bit;
    TColor Color;
};

// How the lines are spread over the y axis so that they do not overlap.
enum class TSignalOffset { None = 0, Small = 1, Large = 2 };

// The output lines of a compiled protocol as a step function: every event
// (time, state of the 16 lines) becomes a point, and a change of state gets
// one more point just before it that still holds the old state, so that the
// lines are drawn with vertical edges.
class TSignalSteps {
public:
    using TEvent = std::pair<double, uint32_t>;

    // The lines are at rest (detector enable on) before the first event.
    static constexpr uint32_t kRestPattern = 0x80;
    // How far before a change the old state is repeated.
    static constexpr double kEdgeWidth = 1e-10;

    TSignalSteps() = default;
    // Events in any order; equal times keep their order.
    explicit TSignalSteps(std::vector<TEvent> events);

    int32_t Count() const { return int32_t(m_time.size()); }
    double Time(int32_t i) const { return m_time[size_t(i)]; }
    uint32_t Pattern(int32_t i) const { return m_pattern[size_t(i)]; }

    // The twelve lines shown, in the order of their data sets.
    static const std::array<TSignalLine, 12> &Lines();
    // Line `bit` at a pattern: 0 or 1 (the rest state reads 0 everywhere),
    // lifted by the offset.
    static double Value(uint32_t pattern, int bit, TSignalOffset offset);

private:
    std::vector<double> m_time;
    std::vector<uint32_t> m_pattern;
};

} // namespace tessel
