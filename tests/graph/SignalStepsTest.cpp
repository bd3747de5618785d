#include "graph/SignalSteps.h"

#include <gtest/gtest.h>

using namespace tessel;

namespace {

using Points = std::vector<std::pair<double, uint32_t>>;

Points Of(const TSignalSteps &s) {
    Points p;
    for (int32_t i = 0; i < s.Count(); ++i)
        p.emplace_back(s.Time(i), s.Pattern(i));
    return p;
}

constexpr double e = TSignalSteps::kEdgeWidth;

TEST(SignalSteps, EveryChangeOfStateGetsAnEdgePointHoldingTheOldState) {
    struct Case {
        const char *name;
        Points events, points;
    } cases[] = {
        {"states equal to the running one add no point", {{0, 0x80}, {1, 0x80}}, {{0, 0x80}, {1, 0x80}}},
        {"change at 5", {{0, 0x80}, {5, 0x88}}, {{0, 0x80}, {5 - e, 0x80}, {5, 0x88}}},
        {"the running state starts at rest", {{0, 0x88}}, {{-e, 0x80}, {0, 0x88}}},
        {"walked in time order", {{5, 0x80}, {0, 0x88}}, {{-e, 0x80}, {0, 0x88}, {5 - e, 0x88}, {5, 0x80}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TSignalSteps s(c.events);
        EXPECT_EQ(Of(s), c.points);
        EXPECT_LE(s.Count(), 2 * int32_t(c.events.size()));
    }
}

} // namespace
