#include "graph/GraphModel.h"
#include "GraphTestSupport.h"
#include "graph/DataEditModel.h"
#include "graph/GraphRules.h"
#include "support/RecordingServices.h"

#include <QtGlobal>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

using namespace tessel;
using namespace tessel::test;

namespace {

TEST(GraphModel, AutoScale) {
    struct Case {
        const char *name;
        Curve::Points pts;
        bool visible;
        double xlo, xhi; // x range before y is scaled (auto x when xlo > xhi)
        std::array<double, 4> want;
    } cases[] = {
        {"flat curve widens by 10", {{0, 5}, {1, 5}, {2, 5}}, true, 1, 0, {0, 2, -5, 15}},
        // The neighbours just outside the window count, farther points do not.
        {"neighbours count", {{0, 100}, {1, 2}, {2, 3}, {3, 4}, {4, 7}, {5, -100}}, true, 1.5, 2.5, {1.5, 2.5, 2, 4}},
        {"hidden set", {{-50, -50}, {500, 500}}, false, 1, 0, {0, 100, 0, 100}},
        {"empty set", {}, true, 1, 0, {0, 100, 0, 100}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Grid f;
        Curve k(c.pts);
        k.d.Visible = c.visible;
        f.g.AddDependency(&k.d);
        if (c.xlo > c.xhi) {
            f.g.AutoScaleXY();
        } else {
            f.g.XAxis()->SetRange(c.xlo, c.xhi);
            f.g.AutoScaleY();
        }
        EXPECT_EQ(f.Ranges(), c.want);
    }
}

TEST(GraphModel, UndoRestoresExactlyAndStackIsBounded) {
    Grid f;
    Curve c({{0, 0}, {100, 100}});
    f.g.AddDependency(&c.d);
    const auto start = f.Ranges();
    f.g.ZoomInRect(QRect(QPoint(30, 40), QPoint(70, 90)));
    EXPECT_NE(f.Ranges(), start);
    f.g.Undo();
    EXPECT_EQ(f.Ranges(), start);

    f.g.ZoomX(10);
    f.g.AutoScaleXY(); // clears the history
    const auto scaled = f.Ranges();
    f.g.Undo();
    EXPECT_EQ(f.Ranges(), scaled);

    f.g.XAxis()->SetRange(0, 100);
    for (int i = 0; i < TGraphModel::kMaxUndo + 1; ++i)
        f.g.ScrollX(i % 2 ? 0.01 : -0.01);
    EXPECT_EQ(f.g.UndoCount(), TGraphModel::kMaxUndo);
    for (int i = 0; i < TGraphModel::kMaxUndo; ++i)
        f.g.Undo();
    // The oldest entry (0..100) was dropped: the first scroll cannot be undone.
    EXPECT_DOUBLE_EQ(f.g.XAxis()->RangeMin(), 1);
}

TEST(GraphModel, ZoomScrollAndKeys) {
    struct Case {
        const char *name;
        std::function<void(TGraphModel &)> act;
        std::array<double, 4> expect;
    } cases[] = {
        {"ZoomX 20 narrows by 10 px each end", [](TGraphModel &g) { g.ZoomX(20); }, {10, 90, 0, 100}},
        {"ZoomY -300 clamps to -100", [](TGraphModel &g) { g.ZoomY(-300); }, {0, 100, -50, 150}},
        {"Left arrow shows lower x", [](TGraphModel &g) { g.KeyCommand(Qt::Key_Left, false); }, {-20, 80, 0, 100}},
        {"Up arrow shows higher y", [](TGraphModel &g) { g.KeyCommand(Qt::Key_Up, false); }, {0, 100, 20, 120}},
        {"Page Down", [](TGraphModel &g) { g.KeyCommand(Qt::Key_PageDown, false); }, {0, 100, -50, 50}},
        {"Right arrow", [](TGraphModel &g) { g.KeyCommand(Qt::Key_Right, false); }, {20, 120, 0, 100}},
        {"Down arrow", [](TGraphModel &g) { g.KeyCommand(Qt::Key_Down, false); }, {0, 100, -20, 80}},
        {"Page Up", [](TGraphModel &g) { g.KeyCommand(Qt::Key_PageUp, false); }, {0, 100, 50, 150}},
        {"keypad / widens x", [](TGraphModel &g) { g.KeyCommand(Qt::Key_Slash, true); }, {-12, 112, 0, 100}},
        {"keypad + zooms y", [](TGraphModel &g) { g.KeyCommand(Qt::Key_Plus, true); }, {0, 100, 12, 88}},
        {"keypad - widens y", [](TGraphModel &g) { g.KeyCommand(Qt::Key_Minus, true); }, {0, 100, -12, 112}},
        {"keypad * zooms x", [](TGraphModel &g) { g.KeyCommand(Qt::Key_Asterisk, true); }, {12, 88, 0, 100}},
        {"main * does nothing",
         [](TGraphModel &g) { EXPECT_FALSE(g.KeyCommand(Qt::Key_Asterisk, false)); },
         {0, 100, 0, 100}},
        {"zoom out of the middle half",
         [](TGraphModel &g) { g.ZoomOutRect(QRect(QPoint(35, 35), QPoint(85, 85))); },
         {-50, 150, -50, 150}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Grid f;
        c.act(f.g);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(f.Ranges()[size_t(i)], c.expect[size_t(i)], 1e-9) << i;
    }
}

TEST(GraphModel, GestureClassification) {
    struct Case {
        QPoint release;
        TMouseButton b;
        TGesture expect;
    } cases[] = {
        {{51, 50}, TMouseButton::Left, TGesture::PlaceCursor}, {{49, 51}, TMouseButton::Right, TGesture::PlaceCursor},
        {{53, 53}, TMouseButton::Left, TGesture::None},        {{54, 54}, TMouseButton::Left, TGesture::ZoomIn},
        {{46, 40}, TMouseButton::Right, TGesture::ZoomOut},    {{80, 51}, TMouseButton::Left, TGesture::None},
        {{50, 50}, TMouseButton::Middle, TGesture::Undo},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ClassifyGesture({50, 50}, c.release, c.b), c.expect) << c.release.x() << "," << c.release.y();
}

TEST(GraphModel, RemovingSelectedAndDestroyedDataSets) {
    Grid f;
    auto a = std::make_unique<Curve>(std::initializer_list<std::pair<double, double>>{{0, 0}});
    Curve b({{0, 0}}), c({{0, 0}});
    std::vector<TDependency *> removed;
    f.g.OnRemoveDependency = [&](TDependency *d) { removed.push_back(d); };
    f.g.AddDependency(&b.d);
    f.g.AddDependency(&a->d);
    f.g.AddDependency(&c.d);
    EXPECT_EQ(f.g.Selected(), &b.d);
    f.g.RemoveDependency(&b.d);
    EXPECT_EQ(f.g.Selected(), &a->d);
    TDependency *gone = &a->d;
    a.reset(); // a destroyed data set leaves the graph
    EXPECT_EQ(f.g.Selected(), &c.d);
    EXPECT_EQ(removed, (std::vector<TDependency *>{&b.d, gone}));
    EXPECT_EQ(f.g.DependencyCount(), 1);
    EXPECT_THROW(f.g.Dependency(1), ETesselError);
    EXPECT_EQ(f.g.AddDependencies({&c.d, &b.d}), 1);
    f.g.OnRemoveDependency = nullptr;
}

TEST(GraphModel, CursorValuesAndIndices) {
    Grid f;
    // x 20..60 in steps of 10, pixels 30..70; two points share pixel 50.
    Curve c({{20, 1}, {30, 2}, {40, 3}, {40.2, 5}, {60, 10}});
    f.g.AddDependency(&c.d);
    EXPECT_FALSE(f.g.PlaceCursor(true, 12)); // within 3 pixels of the edge
    const double y65 = 5 + 5 * (55 - 40.2) / (60 - 40.2);
    struct Case {
        int column;
        double y;
    } cases[] = {{20, 0}, {40, 2}, {50, 4}, {65, y65}, {100, 0}};
    for (const Case &k : cases)
        EXPECT_DOUBLE_EQ(f.g.ValueAtColumn(c.d, k.column), k.y) << k.column;

    ASSERT_TRUE(f.g.PlaceCursor(true, 20));
    EXPECT_EQ(f.g.LeftCursorIndex(), -1);
    EXPECT_EQ(f.g.Readout(nullptr).Y1, 0);
    ASSERT_TRUE(f.g.PlaceCursor(false, 45));
    ASSERT_TRUE(f.g.PlaceCursor(true, 65));
    // Left-most is now the right cursor.
    const TReadout r = f.g.Readout(nullptr);
    EXPECT_DOUBLE_EQ(r.X2, 55);
    EXPECT_DOUBLE_EQ(r.Slope, (y65 - 2.5) / 20);
    EXPECT_EQ(QList({f.g.LeftCursorIndex(), f.g.RightCursorIndex()}), QList({1, 4}));
    EXPECT_EQ(f.g.ReadoutTexts(r).value(1), "X1: 35");
    // Cursors keep their relative place when the plot grows.
    f.g.SetPlot(QRect(QPoint(10, 10), QPoint(210, 110)));
    EXPECT_EQ(f.g.LeftCursor().Column, 120);
    f.g.Options = grDrawGrid;
    EXPECT_EQ(f.g.RightCursorIndex(), -1);
}

TEST(GraphRules, ScaleFieldIsClampedOrKeepsThePreviousValue) {
    const std::pair<const char *, double> cases[] = {
        {"2.5", 2.5}, {" -3e5 ", -3e5}, {"1e200", 1e100}, {"-1e200", -1e100}, {"abc", 7}, {"", 7}, {"1,5", 7}};
    for (const auto &[text, value] : cases)
        EXPECT_EQ(ScaleFieldValue(text, 7), value) << text;
}

// --- data set editor and selector

struct EditFixture {
    Grid f;
    Curve a{{0, 0}}, b{{0, 0}, {1, 1}}, c{{0, 0}};
    TDataEditModel m;
    RecordingMessageService msgs;
    ScopedMessageService scope{&msgs};
    std::vector<TDependency *> changed;
    EditFixture() {
        a.d.Caption = "a";
        b.d.Caption = "b";
        c.d.Caption = "c";
        for (Curve *k : {&a, &b, &c})
            f.g.AddDependency(&k->d);
        m.Graph = &f.g;
        m.OnChange = [this](TDependency *d) { changed.push_back(d); };
        m.RebuildRows();
    }
};

TEST(DataEditModel, BulkVisibilityReportsChangedDataSets) {
    EditFixture e;
    e.b.d.Visible = false;
    e.m.ShowAll();
    EXPECT_EQ(e.changed, (std::vector<TDependency *>{&e.b.d}));
    EXPECT_EQ(e.f.g.YAxis()->RangeMax(), 1); // deYAutoScale follows what is shown
    e.changed.clear();
    e.m.ToggleAll();
    EXPECT_EQ(e.changed.size(), 3u);
    EXPECT_FALSE(e.a.d.Visible || e.b.d.Visible || e.c.d.Visible);
    e.m.SetPointStyle(1, 99); // out of range is refused
    EXPECT_EQ(e.a.d.PointStyle, ptDot);
    EXPECT_EQ(e.changed.size(), 3u);
}

TEST(DataEditModel, RemoveAsksPerDataSet) {
    EditFixture e;
    e.msgs.answer(mbYes);
    e.msgs.answer(mbNo);
    e.msgs.answer(mbYes);
    EXPECT_EQ(e.m.RemoveRows({1, 2, 3}), 2);
    EXPECT_EQ(e.msgs.texts(), (QStringList{"Remove Data Set a", "Remove Data Set b", "Remove Data Set c"}));
    ASSERT_EQ(e.m.DataRowCount(), 1);
    EXPECT_EQ(e.m.Row(1), &e.b.d);
    e.m.Options2 = 0;
    EXPECT_EQ(e.m.RemoveRows({1}), 0);
    e.m.Options2 = deAllowRemove;
    EXPECT_EQ(e.m.RemoveRows({1}), 1);
    EXPECT_EQ(e.msgs.texts().size(), 3);
}

} // namespace
