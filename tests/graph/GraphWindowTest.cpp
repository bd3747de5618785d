#include "graph/widgets/GraphWindow.h"
#include "GraphTestSupport.h"
#include "graph/widgets/ManualScale.h"
#include "graph/widgets/Signals.h"
#include "graph/widgets/XYDEdit.h"
#include "graph/widgets/XYGraph.h"

#include <QAction>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>

using namespace tessel;
using namespace tessel::test;
using GraphWindowTest = GraphWidgetTest;
using ManualScaleTest = GraphWidgetTest;
using SignalsTest = GraphWidgetTest;

namespace {

TEST_F(GraphWindowTest, LogScaleXRefusesDataSetsStartingAtZero) {
    Curve a(1.0, 10.0), b(0.0, 10.0);
    TfrmGraph w{TGraphBounds{}};
    w.Graph->AddDependency(&a.d);
    w.mniLogScaleX->trigger();
    ASSERT_TRUE(w.LogScaleX());
    EXPECT_TRUE(w.mniLogScaleX->isChecked());

    // Added hidden, b cannot be shown from the editor while the axis is log.
    b.d.Visible = false;
    w.Graph->AddDependency(&b.d);
    w.DataEdit->RebuildRows();
    w.DataEdit->CellAction(2, ecShow);
    EXPECT_FALSE(b.d.Visible);
    EXPECT_EQ(msgs.texts(), QStringList{"Can't make signal visible while in logarithmic scale"});

    msgs.clear();
    w.mniLogScaleX->trigger();
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

TEST_F(ManualScaleTest, SetOrdersEachPairAndKeepsWhatItCannotRead) {
    Curve a(1.0, 10, 0, 4);
    TfrmGraph w{TGraphBounds{}};
    w.Graph->AddDependency(&a.d);
    w.Graph->AutoScaleXY();
    TGraphMscl dlg;
    dlg.SetGraph(&w);
    EXPECT_EQ(dlg.edXMax->text(), "10");
    // x: minimum above maximum is swapped; y: unreadable keeps the 0 shown.
    dlg.edXMin->setText("10");
    dlg.edXMax->setText("2");
    dlg.edYMin->setText("abc");
    dlg.edYMax->setText("-5");
    dlg.btnSet->click();
    const TAxisTr &x = *w.Graph->XAxis(), &y = *w.Graph->YAxis();
    EXPECT_EQ(QList({x.RangeMin(), x.RangeMax(), y.RangeMin(), y.RangeMax()}), QList<double>({2, 10, -5, 0}));
    // The fields show what the axes took.
    EXPECT_EQ(QStringList({dlg.edXMin->text(), dlg.edYMax->text()}), QStringList({"2", "0"}));
    EXPECT_TRUE(msgs.texts().isEmpty());
}

TEST_F(ManualScaleTest, FollowsTheAttachedWindowUntilDetachedOrDestroyed) {
    Curve a(1.0, 10, 0, 4);
    auto w = std::make_unique<TfrmGraph>(TGraphBounds{});
    w->Graph->AddDependency(&a.d);
    TGraphMscl dlg;
    dlg.SetGraph(w.get());
    dlg.show();
    ASSERT_TRUE(w->SetLogScaleX(true));
    EXPECT_EQ(dlg.edXMin->text(), "1");

    dlg.SetGraph(nullptr);
    EXPECT_FALSE(dlg.isVisible());
    w->LogAxisTrX.SetRange(2, 5);
    EXPECT_EQ(dlg.edXMin->text(), "1");
    dlg.Set();
    EXPECT_DOUBLE_EQ(w->LogAxisTrX.RangeMin(), 2);

    dlg.SetGraph(w.get());
    dlg.show();
    w.reset();
    EXPECT_EQ(dlg.Graph(), nullptr);
    EXPECT_FALSE(dlg.isVisible());
}

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
    const TDependency &f1 = w.LineSet[0];
    EXPECT_EQ(Values(*f1.X),
              (std::vector<double>{0, 5 - TSignalSteps::kEdgeWidth, 5, 10 - TSignalSteps::kEdgeWidth, 10}));
    EXPECT_EQ(Values(*f1.Y), (std::vector<double>{3, 3, 3.9, 3.9, 3}));
    EXPECT_DOUBLE_EQ(w.LinAxisTrX.RangeMax(), 10);
    // m1 lies at 0 and Aux6 at 13.
    EXPECT_DOUBLE_EQ(w.LinAxisTrY.RangeMin(), 0);
    EXPECT_DOUBLE_EQ(w.LinAxisTrY.RangeMax(), 13);

    w.mniOffsetSmall->trigger();
    EXPECT_FALSE(w.mniOffsetLarge->isChecked());
    EXPECT_DOUBLE_EQ(f1.Y->Value(2), 1.3);
    EXPECT_DOUBLE_EQ(w.LinAxisTrY.RangeMax(), 1.3);
}

TEST_F(SignalsTest, LoadingFromTimeZeroLeavesTheLogScale) {
    const std::pair<std::vector<std::pair<double, uint32_t>>, bool> cases[] = {
        {{{0, 0x80}, {1, 0x88}}, false}, {{{0.5, 0x88}, {1, 0x80}}, true}, // the edge point before 0.5 is still above 0
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
