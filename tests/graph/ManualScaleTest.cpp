#include "graph/widgets/ManualScale.h"
#include "GraphTestSupport.h"
#include "common/NumberText.h"
#include "graph/widgets/GraphWindow.h"
#include "graph/widgets/XYGraph.h"

#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>

using namespace tessel;
using namespace tessel::test;

namespace {

struct ManualScaleTest : GraphWidgetTest {
    static void Enter(TGraphMscl &dlg, const char *x0, const char *x1, const char *y0, const char *y1) {
        dlg.edXMin->setText(x0);
        dlg.edXMax->setText(x1);
        dlg.edYMin->setText(y0);
        dlg.edYMax->setText(y1);
    }
};

TEST_F(ManualScaleTest, SetOrdersEachPairAndLetsTheAxisBoundsApply) {
    // The window starts auto-scaled to x 1 .. 10, y 0 .. 4; the log axis's
    // floor is 1e-9. The bounds and the field's limits are pinned where the
    // axis and the field rule are tested.
    struct Case {
        const char *name;
        bool logX;
        const char *x0, *x1, *y0, *y1;
        double xlo, xhi, ylo, yhi;
    } cases[] = {
        {"minimum above maximum is swapped", false, "10", "2", "5", "-5", 2, 10, -5, 5},
        {"unreadable keeps the value shown", false, "abc", "5", "0", "x", 1, 5, 0, 4},
        {"log axis takes its floor for zero", true, "0", "100", "0", "1", 1e-9, 100, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Curve a(1.0, 10, 0, 4);
        TfrmGraph w{TGraphBounds{}};
        w.Graph->AddDependency(&a.d);
        if (c.logX)
            ASSERT_TRUE(w.SetLogScaleX(true));
        else
            w.Graph->AutoScaleXY();
        TGraphMscl dlg;
        dlg.SetGraph(&w);
        EXPECT_EQ(dlg.edXMax->text(), "10");
        Enter(dlg, c.x0, c.x1, c.y0, c.y1);
        dlg.btnSet->click();
        const TAxisTr &x = *w.Graph->XAxis(), &y = *w.Graph->YAxis();
        EXPECT_DOUBLE_EQ(x.RangeMin(), c.xlo);
        EXPECT_DOUBLE_EQ(x.RangeMax(), c.xhi);
        EXPECT_DOUBLE_EQ(y.RangeMin(), c.ylo);
        EXPECT_DOUBLE_EQ(y.RangeMax(), c.yhi);
        // The fields show what the axes took.
        EXPECT_EQ(dlg.edXMin->text(), FormatShortest(x.RangeMin()));
        EXPECT_EQ(dlg.edYMax->text(), FormatShortest(y.RangeMax()));
        EXPECT_TRUE(msgs.texts().isEmpty());
    }
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

} // namespace
