#include "common/MessageService.h"
#include "data/Vector.h"
#include "graph/widgets/GraphWindow.h"
#include "graph/widgets/XYDEdit.h"
#include "graph/widgets/XYGraph.h"

#include <QAction>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

struct Line {
    TDoubleVector x, y;
    TDependency d{&x, &y};
    Line(double x0, double x1, double y0 = 0, double y1 = 1) {
        for (int i = 0; i <= 10; ++i) {
            x.Add(x0 + (x1 - x0) * i / 10);
            y.Add(y0 + (y1 - y0) * i / 10);
        }
    }
};

class GraphWindowTest : public ::testing::Test {
protected:
    void SetUp() override { SetMessageService(&msgs); }
    void TearDown() override { SetMessageService(nullptr); }
    RecordingMessageService msgs;
};

TEST_F(GraphWindowTest, LogScaleXRefusesDataSetsStartingAtZero) {
    Line a(1, 10), b(0, 10);
    TfrmGraph w{TGraphBounds{}};
    w.Graph->AddDependency(&a.d);
    w.mniLogScaleX->trigger();
    ASSERT_TRUE(w.LogScaleX());
    EXPECT_TRUE(w.mniLogScaleX->isChecked());
    EXPECT_DOUBLE_EQ(w.LogAxisTrX.RangeMin(), 1);
    EXPECT_DOUBLE_EQ(w.LogAxisTrX.RangeMax(), 10);

    // Added hidden, b cannot be shown from the editor while the axis is log.
    b.d.Visible = false;
    w.Graph->AddDependency(&b.d);
    w.DataEdit->RebuildRows();
    w.DataEdit->CellAction(2, ecShow);
    EXPECT_FALSE(b.d.Visible);
    EXPECT_EQ(w.DataEdit->item(1, ecShow)->text(), "No");
    EXPECT_EQ(msgs.texts(), QStringList{"Can't make signal visible while in logarithmic scale"});

    msgs.clear();
    w.mniLogScaleX->trigger();
    EXPECT_EQ(w.Graph->XAxis(), &w.LinAxisTrX);
    EXPECT_DOUBLE_EQ(w.LinAxisTrX.RangeMin(), 1);
    w.DataEdit->CellAction(2, ecShow);
    EXPECT_TRUE(b.d.Visible);
    // Now b blocks the switch back, and a refused click leaves no check mark.
    w.mniLogScaleX->trigger();
    EXPECT_FALSE(w.LogScaleX());
    EXPECT_FALSE(w.mniLogScaleX->isChecked());
    EXPECT_EQ(msgs.texts(), QStringList{"Unable to switch to log scale"});
}

TEST_F(GraphWindowTest, AxesKeepTheBoundsGivenAtCreation) {
    TGraphBounds bounds;
    bounds.XLinFloor = 0;
    bounds.XLinCeil = 50;
    bounds.YLinFloor = -5;
    bounds.YLinCeil = 5;
    bounds.XLogFloor = 2;
    bounds.XLogCeil = 20;
    Line a(-10, 100, -100, 100);
    TfrmGraph w(bounds);
    w.Graph->AddDependency(&a.d);
    w.mniAutoScaleXY->trigger();
    EXPECT_DOUBLE_EQ(w.LinAxisTrX.RangeMin(), 0);
    EXPECT_DOUBLE_EQ(w.LinAxisTrX.RangeMax(), 50);
    EXPECT_DOUBLE_EQ(w.LinAxisTrY.RangeMin(), -5);
    EXPECT_DOUBLE_EQ(w.LinAxisTrY.RangeMax(), 5);
    w.LogAxisTrX.SetRange(1, 100);
    EXPECT_DOUBLE_EQ(w.LogAxisTrX.RangeMin(), 2);
    EXPECT_DOUBLE_EQ(w.LogAxisTrX.RangeMax(), 20);
}

} // namespace
