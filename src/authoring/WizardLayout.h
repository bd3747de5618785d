#pragma once

#include "authoring/WizardFile.h"

#include <QFont>
#include <QRect>
#include <QSize>
#include <functional>
#include <vector>

namespace tessel {

// Measured sizes the dialog layout needs from the controls.
struct TWizardMetrics {
    // Width and height of a caption's text: a label's size (real and int),
    // the text part of a check box (bool).
    std::function<QSize(const QString &)> TextSize;
    int FieldHeight = 22;
    int CheckBoxHeight = 20;
    // The layout's window sizes include the border and the caption bar, as
    // the window system counts them; the client area is smaller by this.
    QSize NonClient{8, 28};
};

// Sizes from the metrics of a font: labels as wide as their text, fields
// and check boxes as high as the platform's controls for that font.
TWizardMetrics WizardMetricsFor(const QFont &font);

// A displayed variable's controls, relative to its frame.
struct TWizardRowLayout {
    int Variable = 0; // index in the group's variables
    TWizardVarType Type = TWizardVarType::None;
    QRect Label;    // real and int
    QRect Field;    // real and int
    QRect CheckBox; // bool
};

struct TWizardFrameLayout {
    QRect Rect;     // in the client area
    int Column = 0; // dialog column, counted from 0
    std::vector<TWizardRowLayout> Rows;
};

struct TWizardLayout {
    QSize Window; // including border and caption
    QSize Client;
    int Columns = 0;
    std::vector<TWizardFrameLayout> Frames; // one per group, file order
    QRect Ok, Cancel;
};

// The wizard dialog's layout: groups in file order fill columns from the
// top. A counter starts at 1; a group whose column is at least the counter
// raises it by one and starts a new column, so two groups with column 1
// after a group of column 0 share the second column. Frames are as wide as
// the widest of their column, the last frame of each column reaches the
// common bottom line, and the numeric fields stand 16 pixels from their
// frame's right edge.
TWizardLayout LayoutWizardDialog(const std::vector<TWizardGroup> &groups, const TWizardMetrics &metrics);

} // namespace tessel
