#include "graph/SignalSteps.h"

#include <algorithm>

namespace tessel {

TSignalSteps::TSignalSteps(std::vector<TEvent> events) {
    std::stable_sort(events.begin(), events.end(), [](const TEvent &a, const TEvent &b) { return a.first < b.first; });
    m_time.reserve(2 * events.size());
    m_pattern.reserve(2 * events.size());
    uint32_t running = kRestPattern;
    for (const auto &[t, b] : events) {
        if (b != running) {
            m_time.push_back(t - kEdgeWidth);
            m_pattern.push_back(running);
            running = b;
        }
        m_time.push_back(t);
        m_pattern.push_back(b);
    }
}

const std::array<TSignalLine, 12> &TSignalSteps::Lines() {
    constexpr TColor red = 0x0000FF, blue = 0xFF0000, lime = 0x00FF00, green = 0x008000, violet = 0x8000FF;
    static const std::array<TSignalLine, 12> lines{{
        {"F1", 3, red},
        {"F2", 4, red},
        {"Aux1", 8, blue},
        {"Aux2", 9, blue},
        {"Aux3", 10, blue},
        {"Aux4", 11, blue},
        {"Aux5", 12, blue},
        {"Aux6", 13, blue},
        {"m1", 0, lime},
        {"m2", 1, lime},
        {"Macro", 7, violet},
        {"f", 2, green},
    }};
    return lines;
}

double TSignalSteps::Value(uint32_t pattern, int bit, TSignalOffset offset) {
    const double v = ((pattern ^ kRestPattern) >> bit) & 1u ? 1.0 : 0.0;
    switch (offset) {
    case TSignalOffset::Small:
        return v + 0.1 * bit;
    case TSignalOffset::Large:
        return 0.9 * v + bit;
    case TSignalOffset::None:
        break;
    }
    return v;
}

} // namespace tessel
