#pragma once

#include "graph/GraphModel.h"

#include <QStringList>
#include <functional>
#include <vector>

namespace tessel {

enum TXYDEditOption : uint8_t { deDrag = 1, deDialogs = 2, deYAutoScale = 4, deAllowRemove = 8 };

// Columns of the data set editor's grid.
enum TDataEditColumn : int {
    ecNumber,
    ecShow,
    ecCaption,
    ecStyle,
    ecMark,
    ecMarkSize,
    ecLineStyle,
    ecThickness,
    ecColor,
    ecBrush,
    ecPoints,
    ecColumnCount
};

// The rows of the data set editor and every edit it can make, without the
// grid: row r >= 1 shows the r-th data set of the graph that is listed in the
// editor; row 0 is the header.
class TDataEditModel : public IDependencyHolder {
public:
    TDataEditModel();
    ~TDataEditModel() override;
    TDataEditModel(const TDataEditModel &) = delete;
    TDataEditModel &operator=(const TDataEditModel &) = delete;

    TGraphModel *Graph = nullptr;
    int MarkSize = 8;
    uint8_t Options2 = deDrag | deDialogs | deYAutoScale | deAllowRemove;
    // A data set's properties were changed here.
    std::function<void(TDependency *)> OnChange;
    // The grid has to show the rows again.
    std::function<void()> OnRowsChanged;

    static const QStringList &DrawStyleNames();
    static const QStringList &LineStyleNames();
    static const QStringList &PointStyleNames();
    static QStringList DefaultTitles();

    void RebuildRows();
    // Data rows; the grid has this plus the header row (one empty row when none).
    int DataRowCount() const { return int(m_rows.size()); }
    bool EditingEnabled() const { return !m_rows.empty(); }
    // None outside 1 .. DataRowCount.
    TDependency *Row(int r) const;
    int RowOf(const TDependency *d) const;

    QString CellText(int r, int column) const;
    static bool IsTextColumn(int column) {
        return column == ecCaption || column == ecMarkSize || column == ecThickness;
    }
    // Text edit of columns 2, 5 and 7; false when the cell takes no text.
    bool SetCellText(int r, int column, const QString &text);

    void ToggleVisible(int r);
    void SetDrawStyle(int r, int index);
    void SetLineStyle(int r, int index);
    void SetPointStyle(int r, int index);
    void SetColor(int r, TColor c);
    void SetBrushColor(int r, TColor c);
    void ShowAll();
    void HideAll();
    void ToggleAll();
    // Removes the data sets of the rows (asking first with deDialogs;
    // nothing without deAllowRemove); returns how many went.
    int RemoveRows(const std::vector<int> &rows);
    std::vector<TDependency *> DependenciesOf(const std::vector<int> &rows) const;
    // A data set being destroyed leaves the rows at once, so the grid never
    // draws a dead one before the owner rebuilds.
    void RemoveDependency(TDependency *d) override;

private:
    void Touched(TDependency *d);
    void Redraw();
    // With deYAutoScale the y axis follows what is shown.
    void VisibilityChanged();
    std::vector<TDependency *> m_rows;
};

// One line of the "Select Curve" list.
struct TSelectorLine {
    TDependency *D = nullptr;
    bool Checked = false;
    QString Text; // "- " and the caption
};

std::vector<TSelectorLine> SelectorLines(const TGraphModel &g);
// Visibility from the check marks, the current line's data set selected;
// redraws when any visibility changed. Returns whether one changed.
bool ApplySelection(TGraphModel &g, const std::vector<TSelectorLine> &lines, int current,
                    std::vector<TDependency *> *changedSets = nullptr);

} // namespace tessel
