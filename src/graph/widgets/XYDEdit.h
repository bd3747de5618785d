#pragma once

#include "graph/DataEditModel.h"

#include <QTableWidget>
#include <functional>
#include <optional>

namespace tessel {

class TXYGraph;

// The data set editor: a grid with one row per data set of a graph whose
// cells show and change visibility, caption, styles and colours. The edits
// themselves are TDataEditModel's; this class draws and asks.
class TXYDEdit : public QTableWidget {
    Q_OBJECT
public:
    explicit TXYDEdit(QWidget *parent = nullptr);
    ~TXYDEdit() override;

    TDataEditModel &Model() { return m_model; }
    void SetGraph(TXYGraph *g);
    TXYGraph *Graph() const { return m_graph; }
    int MarkSize() const { return m_model.MarkSize; }
    void SetMarkSize(int s);
    uint8_t Options2() const { return m_model.Options2; }
    void SetOptions2(uint8_t o) { m_model.Options2 = o; }
    std::function<void(TXYDEdit *, TDependency *)> OnChange;

    // Windows give their own titles; more titles than the editor's columns
    // add columns that ExtraCellText fills.
    void SetTitles(const QStringList &titles);
    virtual QString ExtraCellText(int r, int column) const { return ExtraText ? ExtraText(r, column) : QString(); }
    // Owners fill and edit the extra columns through these.
    std::function<QString(int r, int column)> ExtraText;
    std::function<bool(int column)> ExtraEditable;
    // A typed extra cell; the grid shows the stored value again afterwards.
    std::function<void(int r, int column, const QString &text)> ExtraEdited;
    // Widths per column, widened where the title or a cell needs more.
    void SetColumnWidths(const std::vector<int> &widths);

    // Choice dialog (title, names, current) returning the chosen index or -1;
    // colour dialog returning the chosen colour. Tests replace them.
    std::function<int(const QString &, const QStringList &, int)> Choose;
    std::function<std::optional<TColor>(TColor)> PickColor;

    virtual void RebuildRows();
    virtual void ToggleVisible();
    virtual void ChooseDrawStyle();
    virtual void ChooseLineStyle();
    virtual void ChoosePointStyle();
    virtual void ChooseColor();
    virtual void ChooseBrushColor();
    virtual void ShowAll() { m_model.ShowAll(); }
    virtual void HideAll() { m_model.HideAll(); }
    virtual void ToggleAll() { m_model.ToggleAll(); }
    virtual void RemoveSelected();
    TDependency *Row(int i) const { return m_model.Row(i); }
    // The action of a cell, as a double click or Enter runs it (data row r >= 1).
    void CellAction(int r, int column);
    // Data rows (1-based) covered by the selection.
    std::vector<int> SelectedRows() const;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void startDrag(Qt::DropActions actions) override;

private:
    void Refill();
    void OnItemChanged(QTableWidgetItem *item);
    int CurrentDataRow() const { return currentRow() + 1; }

    TDataEditModel m_model;
    TXYGraph *m_graph = nullptr;
    QStringList m_titles;
    std::vector<int> m_widths;
    bool editable(int column) const;
    bool m_filling = false;
};

} // namespace tessel
