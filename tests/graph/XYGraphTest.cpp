#include "graph/widgets/XYGraph.h"
#include "GraphTestSupport.h"
#include "graph/widgets/DepSel.h"
#include "graph/widgets/XYDEdit.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

using namespace tessel;
using namespace tessel::test;
using XYGraphTest = GraphWidgetTest;

TEST_F(XYGraphTest, IdleDrawingFinishesInStepsAndReportsDone) {
    Curve c(300000, [](double t) { return std::sin(40 * t); });
    TXYGraph g;
    g.DrawOnIdle = true;
    g.resize(500, 300);
    int done = 0;
    g.OnDone = [&] { ++done; };
    g.AddDependency(&c.d);
    g.AutoScaleXY();
    g.grab(); // the frame is laid out, the curve has just begun
    ASSERT_TRUE(g.Drawing());
    // Painted only once every curve is drawn; till then a click places no cursor.
    EXPECT_FALSE(g.Painted());
    QTest::mouseClick(&g, Qt::LeftButton, {}, g.Layout().Plot.center());
    EXPECT_FALSE(g.Model().LeftCursor().Visible);
    g.show();
    QTRY_COMPARE_WITH_TIMEOUT(done, 1, 10000);
    EXPECT_TRUE(g.Painted() && !g.Drawing());
}

TEST_F(XYGraphTest, MouseClickPlacesCursorAndDragZooms) {
    Curve c(
        101, [](double t) { return 2 * t; }, 0, 100);
    TXYGraph g;
    g.resize(500, 400);
    g.AddDependency(&c.d);
    g.AutoScaleXY();
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    QTRY_VERIFY(g.Painted());
    const QRect pl = g.Layout().Plot;
    const QPoint at = pl.center();
    QTest::mousePress(&g, Qt::LeftButton, {}, at);
    QTest::mouseRelease(&g, Qt::LeftButton, {}, at + QPoint(1, 0));
    EXPECT_TRUE(g.Model().LeftCursor().Visible);
    EXPECT_EQ(g.Model().LeftCursor().Column, at.x() + 1);

    const double x0 = g.XAxis()->RangeMin(), x1 = g.XAxis()->RangeMax();
    QTest::mousePress(&g, Qt::LeftButton, {}, pl.topLeft() + QPoint(50, 50));
    QTest::mouseMove(&g, pl.topLeft() + QPoint(150, 150));
    QTest::mouseRelease(&g, Qt::LeftButton, {}, pl.topLeft() + QPoint(150, 150));
    EXPECT_GT(g.XAxis()->RangeMin(), x0);
    EXPECT_LT(g.XAxis()->RangeMax(), x1);
    QTRY_VERIFY(g.Painted());
    QTest::keyClick(&g, Qt::Key_Backspace);
    EXPECT_DOUBLE_EQ(g.XAxis()->RangeMin(), x0);
    EXPECT_DOUBLE_EQ(g.XAxis()->RangeMax(), x1);
}

TEST_F(XYGraphTest, EditorListsAndEditsDataSets) {
    Curve a(5, [](double t) { return t; }), b(5, [](double t) { return -t; });
    a.d.Caption = "A";
    b.d.Caption = "B";
    TXYGraph g;
    g.AddDependency(&a.d);
    g.AddDependency(&b.d);
    TXYDEdit ed;
    ed.SetGraph(&g);
    ASSERT_EQ(ed.rowCount(), 2);
    std::vector<TDependency *> changed;
    ed.OnChange = [&](TXYDEdit *, TDependency *d) { changed.push_back(d); };
    ed.Choose = [](const QString &title, const QStringList &, int current) {
        EXPECT_EQ(title, "Draw style");
        EXPECT_EQ(current, int(dsAvg));
        return int(dsMinMax);
    };
    ed.CellAction(2, ecStyle);
    EXPECT_EQ(b.d.DrawStyle, dsMinMax);
    EXPECT_EQ(ed.item(1, ecStyle)->text(), "Min-Max");
    ed.item(0, ecMarkSize)->setText("3");
    ed.PickColor = [](TColor) { return std::optional<TColor>(0x00FF00); };
    ed.CellAction(1, ecColor);
    EXPECT_EQ(a.d.Color, 0x00FF00u);
    EXPECT_EQ(changed, (std::vector<TDependency *>{&b.d, &a.d, &a.d})); // style, mark size, colour
    msgs.answer(mbYes);
    ed.setCurrentCell(0, 0);
    ed.RemoveSelected();
    EXPECT_EQ(ed.rowCount(), 1);
    auto other = std::make_unique<TXYGraph>();
    ed.SetGraph(other.get());
    other.reset();
    EXPECT_EQ(ed.Graph(), nullptr);
}

TEST_F(XYGraphTest, SelectorAppliesChecksOnAcceptOnly) {
    Curve a(5, [](double t) { return t; }), b(5, [](double t) { return -t; });
    TXYGraph g;
    g.AddDependency(&a.d);
    g.AddDependency(&b.d);
    for (bool accept : {false, true}) {
        TfrmSelectCurve dlg;
        dlg.Fill(g.Model());
        ASSERT_EQ(dlg.ListBox()->count(), 2);
        dlg.ListBox()->item(0)->setCheckState(Qt::Unchecked);
        dlg.ListBox()->setCurrentRow(1);
        dlg.show();
        QTest::keyClick(dlg.ListBox(), accept ? Qt::Key_Return : Qt::Key_Escape);
        EXPECT_EQ(a.d.Visible, !accept);
        EXPECT_EQ(g.Selected(), accept ? &b.d : &a.d);
    }
}

TEST_F(XYGraphTest, Screenshot) {
    // Kept current by scripts/screenshots.sh; a plain run checks the picture.
    Curve f(
        2000, [](double t) { return 1200 * std::exp(-t / 0.35) + 300 + 15 * std::sin(60 * t); }, 0, 2);
    Curve s(
        2000, [](double t) { return 900 * (1 - std::exp(-t / 0.5)) + 150; }, 0, 2);
    f.d.Caption = "Channel A";
    s.d.Caption = "Channel B";
    s.d.Color = 0xC06000;
    s.d.PointStyle = ptCircle;
    s.d.DrawStyle = dsPoint;
    s.d.PointSize = 6;
    f.d.Thickness = 2;
    TXYGraph g;
    g.SetCaption("Signals");
    g.resize(720, 460);
    g.XAxis()->Caption = "Time [s]";
    g.YAxis()->Caption = "Fluorescence [mV]";
    g.AddDependency(&f.d);
    g.AddDependency(&s.d);
    g.AutoScaleXY();
    g.Model().SetPlot(QRect(0, 0, 0, 0));
    g.Render();
    g.Model().PlaceCursor(true, g.Layout().Plot.left() + g.Layout().Plot.width() * 33 / 100);
    g.Model().PlaceCursor(false, g.Layout().Plot.left() + g.Layout().Plot.width() * 57 / 100);
    const QImage img = g.Render();
    EXPECT_EQ(img.size(), g.size());
    // A black marker above each cursor (the curves are the painter's).
    for (const TGraphCursor *c : {&g.Model().LeftCursor(), &g.Model().RightCursor()})
        EXPECT_EQ(img.pixelColor(c->Column, g.Layout().Plot.top() - 5), QColor(Qt::black));
    const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR");
    if (!out.isEmpty())
        EXPECT_TRUE(img.save(QDir(out).filePath("xy-graph.png")));
}
