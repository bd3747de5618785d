// The wizard dialog's layout, computed without a window.
#include "authoring/WizardLayout.h"

#include <gtest/gtest.h>

using namespace tessel;

namespace {

// 6 pixels per character, 13 high; fields 21, check boxes 17.
TWizardMetrics Fixed() {
    TWizardMetrics m;
    m.TextSize = [](const QString &t) { return QSize(6 * int(t.size()), 13); };
    m.FieldHeight = 21;
    m.CheckBoxHeight = 17;
    return m;
}

TWizardLayout Layout(const QString &text) {
    TWizardFile w("test.wzd");
    w.LoadLines(text.split('\n'));
    return LayoutWizardDialog(w.Groups(), Fixed());
}

QString Var(const char *name, const char *type, const char *extra = "") {
    return QStringLiteral("%define_var('%1')\ntype(%2)\n%3\n%end_var\n").arg(name, type, extra);
}

QString Group(const char *caption, const QString &body, int column = -1) {
    return QStringLiteral("%define_group('%1')\n").arg(caption) +
           (column >= 0 ? QStringLiteral("x_position(%1)\n").arg(column) : QString()) + body + "%end_group\n";
}

TEST(WizardLayout, ColumnsFramesFieldsAndButtons) {
    const TWizardLayout l =
        Layout(Group("A", Var("x", "real", "caption('xx')") + Var("flag", "bool", "caption('flag flag')") +
                              Var("z", "real") + Var("h", "real", "no_display")) +
               Group("Empty", Var("hid", "int", "no_display")) + Group("B", Var("longer caption", "real"), 1) +
               Group("C", Var("y", "int"), 1));
    ASSERT_EQ(l.Frames.size(), 4u);
    // The two groups with column 1 share one new column: the counter
    // reached 2 with the first of them.
    EXPECT_EQ(l.Columns, 2);
    const int columns[] = {0, 0, 1, 1};
    const QRect frames[] = {{8, 8, 132, 120}, {8, 136, 132, 24}, {148, 8, 204, 56}, {148, 72, 204, 88}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(l.Frames[i].Column, columns[i]) << i;
        EXPECT_EQ(l.Frames[i].Rect, frames[i]) << i;
    }
    // A group without displayed variables: a 24-pixel frame, no rows. The
    // last frame of each column ends on the common line, tallest + 8.
    // Rows 32 pixels apart; labels 4 below their field's top; fields 16
    // pixels in from the frame's right edge whatever their label's width.
    const auto &a = l.Frames[0].Rows;
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].Label, QRect(16, 28, 12, 13));
    EXPECT_EQ(a[0].Field, QRect(36, 24, 80, 21));
    EXPECT_EQ(a[1].CheckBox, QRect(16, 56, 54 + 24, 17));
    EXPECT_EQ(a[2].Variable, 2);
    EXPECT_EQ(l.Frames[3].Rows[0].Field, QRect(108, 24, 80, 21));
    // Window: 24 + column widths + 8 per further column by tallest + 80;
    // the client area is 8 by 28 smaller.
    EXPECT_EQ(l.Client, QSize(360, 204));
    EXPECT_EQ(l.Ok, QRect(180 - 83, 204 - 33, 75, 25));
    EXPECT_EQ(l.Cancel, QRect(188, 171, 75, 25));
    // x_position is compared with a counter that each new column raises by
    // one; a first group right of column 0 still opens the first column.
    const QString v = Var("v", "int");
    EXPECT_EQ(Layout(Group("G", v) + Group("H", v, 3) + Group("I", v, 3)).Columns, 3);
    EXPECT_EQ(Layout(Group("G", v, 1) + Group("H", v, 1)).Columns, 1);
}

} // namespace
