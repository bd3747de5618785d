#include "graph/widgets/Signals.h"
#include "GraphTestSupport.h"
#include "graph/widgets/XYDEdit.h"
#include "graph/widgets/XYGraph.h"

#include <QAction>
#include <QMimeData>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using SignalsTest = GraphWidgetTest;

namespace {

std::vector<double> Values(const TVector &v) {
    std::vector<double> out;
    for (int32_t i = 0; i < v.Count(); ++i)
        out.push_back(v.Value(i));
    return out;
}

TEST_F(SignalsTest, LinesFollowTheEventsAndTheOffsetItems) {
    TSignals w{TGraphBounds{}};
    // F1 (line 3) pulses from 5 to 10.
    w.LoadSignals({{0, 0x80}, {5, 0x88}, {10, 0x80}});
    constexpr double e = TSignalSteps::kEdgeWidth;
    EXPECT_EQ(Values(w.TimeVec), (std::vector<double>{0, 5 - e, 5, 10 - e, 10}));
    const TDependency &f1 = w.LineSet[0];
    EXPECT_EQ(Values(*f1.Y), (std::vector<double>{3, 3, 3.9, 3.9, 3}));
    EXPECT_EQ(w.DataEdit->item(0, ecPoints)->text(), "5");
    EXPECT_DOUBLE_EQ(w.LinAxisTrX.RangeMax(), 10);
    // m1 lies at 0 and Aux6 at 13.
    EXPECT_DOUBLE_EQ(w.LinAxisTrY.RangeMin(), 0);
    EXPECT_DOUBLE_EQ(w.LinAxisTrY.RangeMax(), 13);

    w.mniOffsetSmall->trigger();
    EXPECT_FALSE(w.mniOffsetLarge->isChecked());
    const double lo = 0.1 * 3, hi = 1 + 0.1 * 3;
    EXPECT_EQ(Values(*f1.Y), (std::vector<double>{lo, lo, hi, hi, lo}));
    EXPECT_DOUBLE_EQ(w.LinAxisTrY.RangeMax(), 1.3);
}

TEST_F(SignalsTest, LoadingFromTimeZeroLeavesTheLogScale) {
    const std::pair<std::vector<std::pair<double, uint32_t>>, bool> cases[] = {
        {{{0, 0x80}, {1, 0x88}}, false},
        {{{0.5, 0x80}, {1, 0x88}}, true},
        {{{0.5, 0x88}, {1, 0x80}}, true}, // the edge point before 0.5 is still above 0
    };
    for (const auto &[events, logAfter] : cases) {
        TSignals w{TGraphBounds{}};
        ASSERT_TRUE(w.SetLogScaleX(true));
        w.LoadSignals(events);
        EXPECT_EQ(w.LogScaleX(), logAfter) << events.front().first;
        EXPECT_DOUBLE_EQ(w.Graph->XAxis()->RangeMax(), 1);
    }
    EXPECT_TRUE(msgs.texts().isEmpty());
}

TEST_F(SignalsTest, DroppedDataSetsAreAddedOnceAndListed) {
    TDoubleVector x, y;
    TDependency other(&x, &y);
    TSignals w{TGraphBounds{}};
    TDragDependency drag;
    drag.Add(&w.LineSet[3]);
    drag.Add(&other);
    QMimeData foreign;
    EXPECT_EQ(w.Graph->DropDependencies(&foreign), 0);
    EXPECT_EQ(w.Graph->DropDependencies(&drag), 1);
    EXPECT_EQ(w.Graph->DropDependencies(&drag), 0);
    EXPECT_EQ(w.DataEdit->Model().RowOf(&other), 13);
}

} // namespace
