#include "authoring/WizardLayout.h"

#include <QFontMetrics>
#include <algorithm>

namespace tessel {

TWizardMetrics WizardMetricsFor(const QFont &font) {
    const QFontMetrics fm(font);
    TWizardMetrics m;
    m.TextSize = [fm](const QString &text) { return QSize(fm.horizontalAdvance(text), fm.height()); };
    m.FieldHeight = fm.height() + 8;
    m.CheckBoxHeight = fm.height() + 6;
    return m;
}

TWizardLayout LayoutWizardDialog(const std::vector<TWizardGroup> &groups, const TWizardMetrics &metrics) {
    constexpr int kFieldWidth = 80;
    TWizardLayout out;
    QSize window(24, 49);
    int x = 8, y = 8, tallest = 0, counter = 1, columnWidth = 0, columnHeight = 0, column = 0;
    size_t sized = 0; // frames before this index have their final width
    auto sizeFrames = [&] {
        for (; sized < out.Frames.size(); ++sized)
            out.Frames[sized].Rect.setWidth(columnWidth);
    };
    for (size_t gi = 0; gi < groups.size(); ++gi) {
        const TWizardGroup &g = groups[gi];
        if (g.Column >= counter) {
            ++counter;
            // A first group placed right of column 0 still opens the first
            // column: an empty column before it would only widen the margin.
            if (gi > 0) {
                x += columnWidth + 8;
                tallest = std::max(tallest, columnHeight);
                y = 8;
                columnHeight = 0;
                window.rwidth() += columnWidth;
                sizeFrames();
                columnWidth = 0;
                ++column;
            }
        }
        TWizardFrameLayout frame;
        frame.Column = column;
        int r = 24, width = 24, height = 24;
        for (size_t vi = 0; vi < g.Variables.size(); ++vi) {
            const TWizardVariable &v = g.Variables[vi];
            if (v.NoDisplay)
                continue;
            TWizardRowLayout row;
            row.Variable = int(vi);
            row.Type = v.Type;
            const QSize text = metrics.TextSize(v.Caption);
            if (v.Type == TWizardVarType::Bool) {
                row.CheckBox = QRect(16, r, text.width() + 24, metrics.CheckBoxHeight);
                width = std::max(width, row.CheckBox.width() + 32);
            } else {
                row.Label = QRect(QPoint(16, r + 4), text);
                row.Field = QRect(text.width() + 24, r, kFieldWidth, metrics.FieldHeight);
                width = std::max(width, text.width() + 24 + kFieldWidth + 16);
            }
            frame.Rows.push_back(row);
            r += 32;
            height = r;
        }
        frame.Rect = QRect(x, y, width, height);
        out.Frames.push_back(std::move(frame));
        y += height + 8;
        window.rheight() = std::max(window.height(), y + 64);
        columnHeight += height + (columnHeight > 0 ? 8 : 0);
        columnWidth = std::max(columnWidth, width);
    }
    tallest = std::max(tallest, columnHeight);
    window.rwidth() += columnWidth;
    sizeFrames();
    window.rwidth() += column * 8;
    out.Columns = column + 1;

    // Every column ends on one line: the last frame of each reaches it.
    auto stretch = [&](TWizardFrameLayout &f) { f.Rect.setHeight(tallest + 8 - f.Rect.top()); };
    counter = 1;
    for (size_t gi = 0; gi < groups.size(); ++gi) {
        if (groups[gi].Column >= counter) {
            if (gi > 0)
                stretch(out.Frames[gi - 1]);
            ++counter;
        }
        TWizardFrameLayout &f = out.Frames[gi];
        for (TWizardRowLayout &row : f.Rows)
            if (row.Type != TWizardVarType::Bool)
                row.Field.moveLeft(f.Rect.width() - 16 - row.Field.width());
    }
    if (!out.Frames.empty())
        stretch(out.Frames.back());

    out.Window = window;
    out.Client = window - metrics.NonClient;
    const int top = out.Client.height() - 25 - 8;
    out.Ok = QRect(out.Client.width() / 2 - 75 - 8, top, 75, 25);
    out.Cancel = QRect(out.Client.width() / 2 + 8, top, 75, 25);
    return out;
}

} // namespace tessel
