#include "graph/widgets/GraphWindow.h"
#include "GraphTestSupport.h"
#include "graph/widgets/XYDEdit.h"
#include "graph/widgets/XYGraph.h"

#include <QAction>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using GraphWindowTest = GraphWidgetTest;

namespace {

TEST_F(GraphWindowTest, LogScaleXRefusesDataSetsStartingAtZero) {
    Curve a(1.0, 10.0), b(0.0, 10.0);
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
    // The message says which data set is in the way.
    b.d.Caption = "Data Set B( 4 )";
    msgs.clear();
    w.mniLogScaleX->trigger();
    EXPECT_EQ(msgs.texts(), QStringList{"Unable to switch to log scale\n\n\"Data Set B( 4 )\" starts at x = 0; a "
                                        "logarithmic axis shows only x above 0."});
}

TEST_F(GraphWindowTest, AxesKeepTheBoundsGivenAtCreation) {
    TGraphBounds bounds;
    bounds.XLinFloor = 0;
    bounds.XLinCeil = 50;
    bounds.YLinFloor = -5;
    bounds.YLinCeil = 5;
    bounds.XLogFloor = 2;
    bounds.XLogCeil = 20;
    Curve a(-10.0, 100, -100, 100);
    TfrmGraph w(bounds);
    w.Graph->AddDependency(&a.d);
    w.mniAutoScaleXY->trigger();
    w.LogAxisTrX.SetRange(1, 100);
    EXPECT_EQ(QList({w.LinAxisTrX.RangeMin(), w.LinAxisTrX.RangeMax(), w.LinAxisTrY.RangeMin(), w.LinAxisTrY.RangeMax(),
                     w.LogAxisTrX.RangeMin(), w.LogAxisTrX.RangeMax()}),
              QList<double>({0, 50, -5, 5, 2, 20}));
}

} // namespace
