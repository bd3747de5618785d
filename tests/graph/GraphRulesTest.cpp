#include "graph/GraphRules.h"
#include "GraphTestSupport.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

TEST(GraphRules, LogScaleXAndTheDataSetsThatBlockIt) {
    // A graph of one curve starting at 1 and a second one as below.
    struct Case {
        const char *name;
        Curve::Points xs;
        bool visible;
        double shift; // added to x through the x vector's transformation
        bool canSwitch, mustHide;
    } cases[] = {
        {"starts above zero", {{0.001, 0}, {1, 0}}, true, 0, true, false},
        {"starts at zero", {{0, 0}, {1, 0}}, true, 0, false, true},
        {"starts below zero", {{-2, 0}, {1, 0}}, true, 0, false, true},
        {"hidden still blocks the switch", {{0, 0}, {1, 0}}, false, 0, false, false},
        {"no point yet", {}, true, 0, true, false},
        {"displayed x decides, not raw", {{0, 0}, {1, 0}}, true, 1, true, false},
        {"shifted to zero", {{1, 0}, {2, 0}}, true, -1, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TLinTransformation shift;
        shift.AddKoef = c.shift;
        Curve first{{1, 0}, {2, 0}}, k(c.xs);
        k.x.SetTransformation(&shift);
        k.d.Visible = c.visible;
        TGraphModel g;
        g.AddDependency(&first.d);
        g.AddDependency(&k.d);
        EXPECT_EQ(CanSwitchToLogX(g), c.canSwitch);
        EXPECT_EQ(MustHideOnLogX(k.d, true), c.mustHide);
        EXPECT_FALSE(MustHideOnLogX(k.d, false));
    }
}

TEST(GraphRules, ScaleFieldIsClampedOrKeepsThePreviousValue) {
    const std::pair<const char *, double> cases[] = {
        {"2.5", 2.5}, {" -3e5 ", -3e5}, {"1e200", 1e100}, {"-1e200", -1e100}, {"abc", 7}, {"", 7}, {"1,5", 7}};
    for (const auto &[text, value] : cases)
        EXPECT_EQ(ScaleFieldValue(text, 7), value) << text;
}

} // namespace
