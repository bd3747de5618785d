#include "graph/DataEditModel.h"

#include "common/MessageService.h"
#include "common/NumberText.h"

#include <algorithm>

namespace tessel {

const QStringList &TDataEditModel::DrawStyleNames() {
    static const QStringList n{"Average", "Min-Max", "Point"};
    return n;
}

const QStringList &TDataEditModel::LineStyleNames() {
    static const QStringList n{"Solid", "Dash", "Dot", "Dash-Dot", "Dash-Dot-Dot", "Clear", "Inside Frame"};
    return n;
}

// Named after how the marks are drawn: index 3 has its apex up.
const QStringList &TDataEditModel::PointStyleNames() {
    static const QStringList n{"Dot", "Circle", "Square", "Triangle up", "Triangle down", "Diamond", "Star"};
    return n;
}

QStringList TDataEditModel::DefaultTitles() {
    return {QString(),    "Show",       "Caption", "Style", "Mark",  "Mark size",
            "Line style", "Line width", "Color",   "Brush", "Points"};
}

TDataEditModel::TDataEditModel() { TGraphRegistry::Instance().Register(this); }

TDataEditModel::~TDataEditModel() { TGraphRegistry::Instance().Unregister(this); }

void TDataEditModel::RemoveDependency(TDependency *d) {
    auto it = std::find(m_rows.begin(), m_rows.end(), d);
    if (it == m_rows.end())
        return;
    m_rows.erase(it);
    if (OnRowsChanged)
        OnRowsChanged();
}

void TDataEditModel::RebuildRows() {
    m_rows.clear();
    if (Graph)
        for (int i = 0; i < Graph->DependencyCount(); ++i)
            if (Graph->Dependency(i)->Options & doShowInDataEd)
                m_rows.push_back(Graph->Dependency(i));
    if (OnRowsChanged)
        OnRowsChanged();
}

TDependency *TDataEditModel::Row(int r) const {
    return r >= 1 && r <= int(m_rows.size()) ? m_rows[size_t(r - 1)] : nullptr;
}

int TDataEditModel::RowOf(const TDependency *d) const {
    auto it = std::find(m_rows.begin(), m_rows.end(), d);
    return it == m_rows.end() ? -1 : int(it - m_rows.begin()) + 1;
}

static QString NameOf(const QStringList &names, int i) { return i >= 0 && i < names.size() ? names[i] : QString(); }

QString TDataEditModel::CellText(int r, int column) const {
    const TDependency *d = Row(r);
    if (!d)
        return {};
    switch (column) {
    case ecNumber:
        return QString::number((d->Options & doSkipNumber) && Graph ? Graph->IndexOf(d) + 1 : r);
    case ecShow:
        return d->Visible ? QStringLiteral("Yes") : QStringLiteral("No");
    case ecCaption:
        return d->Caption;
    case ecStyle:
        return NameOf(DrawStyleNames(), d->DrawStyle);
    case ecMarkSize:
        return QString::number(d->PointSize);
    case ecThickness:
        return QString::number(d->Thickness);
    case ecPoints:
        return QString::number(d->Count());
    default:
        return {};
    }
}

bool TDataEditModel::SetCellText(int r, int column, const QString &text) {
    TDependency *d = Row(r);
    if (!d || !IsTextColumn(column))
        return false;
    if (column == ecCaption) {
        d->Caption = text;
    } else {
        int32_t &field = column == ecMarkSize ? d->PointSize : d->Thickness;
        if (const auto v = ParseInt(text))
            field = std::max<int32_t>(1, *v);
    }
    Touched(d);
    return true;
}

void TDataEditModel::Touched(TDependency *d) {
    Redraw();
    if (OnChange)
        OnChange(d);
}

void TDataEditModel::Redraw() {
    if (OnRowsChanged)
        OnRowsChanged();
    if (Graph)
        Graph->Changed();
}

void TDataEditModel::VisibilityChanged() {
    Redraw();
    if (!Graph || !(Options2 & deYAutoScale))
        return;
    try {
        Graph->AutoScaleY();
    } catch (const ETesselError &e) {
        Messages().error(e.message());
    }
}

void TDataEditModel::ToggleVisible(int r) {
    if (TDependency *d = Row(r)) {
        d->Visible = !d->Visible;
        if (OnChange)
            OnChange(d);
        VisibilityChanged();
    }
}

template <typename E> static bool SetIndex(TDependency *d, E &field, int index, int count) {
    if (!d || index < 0 || index >= count)
        return false;
    field = E(index);
    return true;
}

void TDataEditModel::SetDrawStyle(int r, int i) {
    if (TDependency *d = Row(r); d && SetIndex(d, d->DrawStyle, i, DrawStyleNames().size()))
        Touched(d);
}

void TDataEditModel::SetLineStyle(int r, int i) {
    if (TDependency *d = Row(r); d && SetIndex(d, d->LineStyle, i, LineStyleNames().size()))
        Touched(d);
}

void TDataEditModel::SetPointStyle(int r, int i) {
    if (TDependency *d = Row(r); d && SetIndex(d, d->PointStyle, i, PointStyleNames().size()))
        Touched(d);
}

void TDataEditModel::SetColor(int r, TColor c) {
    if (TDependency *d = Row(r)) {
        d->Color = c;
        Touched(d);
    }
}

void TDataEditModel::SetBrushColor(int r, TColor c) {
    if (TDependency *d = Row(r)) {
        d->Brush.Color = c;
        Touched(d);
    }
}

void TDataEditModel::ShowAll() {
    for (TDependency *d : m_rows)
        if (!d->Visible) {
            d->Visible = true;
            if (OnChange)
                OnChange(d);
        }
    VisibilityChanged();
}

void TDataEditModel::HideAll() {
    for (TDependency *d : m_rows)
        if (d->Visible) {
            d->Visible = false;
            if (OnChange)
                OnChange(d);
        }
    VisibilityChanged();
}

void TDataEditModel::ToggleAll() {
    for (TDependency *d : m_rows) {
        d->Visible = !d->Visible;
        if (OnChange)
            OnChange(d);
    }
    VisibilityChanged();
}

std::vector<TDependency *> TDataEditModel::DependenciesOf(const std::vector<int> &rows) const {
    std::vector<TDependency *> out;
    for (int r : rows)
        if (TDependency *d = Row(r); d && std::find(out.begin(), out.end(), d) == out.end())
            out.push_back(d);
    return out;
}

int TDataEditModel::RemoveRows(const std::vector<int> &rows) {
    if (!Graph || !(Options2 & deAllowRemove))
        return 0;
    int removed = 0;
    // Collected first: each removal may rebuild the rows under us.
    for (TDependency *d : DependenciesOf(rows)) {
        if (!Graph->Contains(d))
            continue;
        if ((Options2 & deDialogs) && Messages().confirm(QStringLiteral("Remove Data Set ") + d->Caption) != mbYes)
            continue;
        Graph->RemoveDependency(d);
        ++removed;
    }
    if (removed > 0) {
        RebuildRows();
        Graph->Changed();
    }
    return removed;
}

std::vector<TSelectorLine> SelectorLines(const TGraphModel &g) {
    std::vector<TSelectorLine> out;
    for (int i = 0; i < g.DependencyCount(); ++i) {
        TDependency *d = g.Dependency(i);
        out.push_back({d, d->Visible, QStringLiteral("- ") + d->Caption});
    }
    return out;
}

bool ApplySelection(TGraphModel &g, const std::vector<TSelectorLine> &lines, int current,
                    std::vector<TDependency *> *changedSets) {
    bool changed = false;
    for (const TSelectorLine &l : lines)
        if (g.Contains(l.D) && l.D->Visible != l.Checked) {
            l.D->Visible = l.Checked;
            changed = true;
            if (changedSets)
                changedSets->push_back(l.D);
        }
    if (current >= 0 && current < int(lines.size()) && g.Contains(lines[size_t(current)].D))
        g.SetSelected(lines[size_t(current)].D);
    if (changed)
        g.Changed();
    return changed;
}

} // namespace tessel
