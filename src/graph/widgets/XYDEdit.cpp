#include "graph/widgets/XYDEdit.h"

#include "graph/GraphPainter.h"
#include "graph/widgets/XYGraph.h"

#include <QColorDialog>
#include <QDrag>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace tessel {

namespace {

// Draws the mark, line sample and swatch columns from the data set itself.
class TEditDelegate : public QStyledItemDelegate {
public:
    explicit TEditDelegate(TXYDEdit *owner) : QStyledItemDelegate(owner), m_owner(owner) {}
    void paint(QPainter *p, const QStyleOptionViewItem &opt, const QModelIndex &index) const override {
        QStyledItemDelegate::paint(p, opt, index);
        const TDependency *d = m_owner->Row(index.row() + 1);
        if (!d)
            return;
        p->save();
        const QRect &r = opt.rect;
        switch (index.column()) {
        case ecMark:
            DrawMark(*p, r.center().x(), r.center().y(), d->PointStyle, m_owner->MarkSize(), d->Color, d->Brush);
            break;
        case ecLineStyle:
            DrawLineSample(*p, r, d->LineStyle, d->Color, d->Thickness);
            break;
        case ecColor:
            DrawSwatch(*p, r, d->Color);
            break;
        case ecBrush:
            DrawSwatch(*p, r, d->Brush.Color);
            break;
        default:
            break;
        }
        p->restore();
    }

private:
    TXYDEdit *m_owner;
};

} // namespace

TXYDEdit::TXYDEdit(QWidget *parent) : QTableWidget(parent), m_titles(TDataEditModel::DefaultTitles()) {
    setItemDelegate(new TEditDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    setDragDropMode(QAbstractItemView::DragOnly);
    Choose = [this](const QString &title, const QStringList &names, int current) {
        bool ok = false;
        const QString s = QInputDialog::getItem(this, title, title, names, std::max(0, current), false, &ok);
        return ok ? int(names.indexOf(s)) : -1;
    };
    PickColor = [this](TColor c) -> std::optional<TColor> {
        const QColor q = QColorDialog::getColor(ToQColor(c), this);
        if (!q.isValid())
            return std::nullopt;
        return FromQColor(q);
    };
    m_model.OnRowsChanged = [this] { Refill(); };
    m_model.OnChange = [this](TDependency *d) {
        if (OnChange)
            OnChange(this, d);
    };
    connect(this, &QTableWidget::itemChanged, this, &TXYDEdit::OnItemChanged);
    connect(this, &QTableWidget::cellDoubleClicked, this, [this](int row, int col) { CellAction(row + 1, col); });
    connect(this, &QTableWidget::currentCellChanged, this, [this](int, int col) {
        setEditTriggers(editable(col) && m_model.EditingEnabled()
                            ? QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed
                            : QAbstractItemView::NoEditTriggers);
    });
    RebuildRows();
}

TXYDEdit::~TXYDEdit() { m_model.OnRowsChanged = nullptr; }

void TXYDEdit::SetGraph(TXYGraph *g) {
    if (m_graph)
        disconnect(m_graph, &QObject::destroyed, this, nullptr);
    m_graph = g;
    if (g)
        connect(g, &QObject::destroyed, this, [this] { SetGraph(nullptr); });
    m_model.Graph = g ? &g->Model() : nullptr;
    RebuildRows();
}

void TXYDEdit::SetMarkSize(int s) {
    m_model.MarkSize = s;
    viewport()->update();
}

void TXYDEdit::SetTitles(const QStringList &titles) {
    m_titles = titles;
    Refill();
}

void TXYDEdit::RebuildRows() { m_model.RebuildRows(); }

void TXYDEdit::Refill() {
    m_filling = true;
    const int cols = std::max<int>(ecColumnCount, int(m_titles.size()));
    setColumnCount(cols);
    setHorizontalHeaderLabels(m_titles);
    const int rows = m_model.DataRowCount();
    setRowCount(std::max(1, rows));
    for (int r = 0; r < std::max(1, rows); ++r)
        for (int c = 0; c < cols; ++c) {
            const QString text = c < ecColumnCount ? m_model.CellText(r + 1, c) : ExtraCellText(r + 1, c);
            QTableWidgetItem *it = item(r, c);
            if (!it) {
                it = new QTableWidgetItem;
                setItem(r, c, it);
            }
            it->setText(text);
            Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
            if (rows > 0 && editable(c))
                f |= Qt::ItemIsEditable;
            if (rows > 0 && (m_model.Options2 & deDrag))
                f |= Qt::ItemIsDragEnabled;
            it->setFlags(f);
        }
    setEnabled(true);
    setDragEnabled(rows > 0 && (m_model.Options2 & deDrag));
    if (rows == 0)
        setEditTriggers(QAbstractItemView::NoEditTriggers);
    resizeColumnsToContents();
    for (int c = 0; c < cols && c < int(m_widths.size()); ++c)
        setColumnWidth(c, std::max(m_widths[size_t(c)], columnWidth(c)));
    m_filling = false;
    viewport()->update();
}

bool TXYDEdit::editable(int column) const {
    return TDataEditModel::IsTextColumn(column) || (column >= ecColumnCount && ExtraEditable && ExtraEditable(column));
}

void TXYDEdit::SetColumnWidths(const std::vector<int> &widths) {
    m_widths = widths;
    Refill();
}

void TXYDEdit::OnItemChanged(QTableWidgetItem *it) {
    if (m_filling)
        return;
    const int r = it->row() + 1, c = it->column();
    if (c >= ecColumnCount) {
        if (ExtraEdited && Row(r))
            ExtraEdited(r, c, it->text());
        Refill();
        return;
    }
    if (!m_model.SetCellText(r, c, it->text()))
        Refill();
}

void TXYDEdit::ToggleVisible() { m_model.ToggleVisible(CurrentDataRow()); }

void TXYDEdit::ChooseDrawStyle() {
    if (const TDependency *d = Row(CurrentDataRow()))
        m_model.SetDrawStyle(CurrentDataRow(), Choose("Draw style", TDataEditModel::DrawStyleNames(), d->DrawStyle));
}

void TXYDEdit::ChooseLineStyle() {
    if (const TDependency *d = Row(CurrentDataRow()))
        m_model.SetLineStyle(CurrentDataRow(), Choose("Line style", TDataEditModel::LineStyleNames(), d->LineStyle));
}

void TXYDEdit::ChoosePointStyle() {
    if (const TDependency *d = Row(CurrentDataRow()))
        m_model.SetPointStyle(CurrentDataRow(),
                              Choose("Point style", TDataEditModel::PointStyleNames(), d->PointStyle));
}

void TXYDEdit::ChooseColor() {
    if (const TDependency *d = Row(CurrentDataRow()))
        if (const auto c = PickColor(d->Color))
            m_model.SetColor(CurrentDataRow(), *c);
}

void TXYDEdit::ChooseBrushColor() {
    if (const TDependency *d = Row(CurrentDataRow()))
        if (const auto c = PickColor(d->Brush.Color))
            m_model.SetBrushColor(CurrentDataRow(), *c);
}

void TXYDEdit::CellAction(int r, int column) {
    if (!Row(r))
        return;
    setCurrentCell(r - 1, column);
    switch (column) {
    case ecShow:
        ToggleVisible();
        break;
    case ecStyle:
        ChooseDrawStyle();
        break;
    case ecMark:
        ChoosePointStyle();
        break;
    case ecLineStyle:
        ChooseLineStyle();
        break;
    case ecColor:
        ChooseColor();
        break;
    case ecBrush:
        ChooseBrushColor();
        break;
    case ecCaption:
    case ecMarkSize:
    case ecThickness:
        editItem(item(r - 1, column));
        break;
    default:
        if (editable(column))
            editItem(item(r - 1, column));
        break;
    }
}

std::vector<int> TXYDEdit::SelectedRows() const {
    std::vector<int> rows;
    for (const QTableWidgetSelectionRange &s : selectedRanges())
        for (int r = s.topRow(); r <= s.bottomRow(); ++r)
            rows.push_back(r + 1);
    if (rows.empty() && currentRow() >= 0)
        rows.push_back(currentRow() + 1);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TXYDEdit::RemoveSelected() { m_model.RemoveRows(SelectedRows()); }

void TXYDEdit::keyPressEvent(QKeyEvent *e) {
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && state() != QAbstractItemView::EditingState &&
        currentRow() >= 0) {
        CellAction(currentRow() + 1, currentColumn());
        return;
    }
    QTableWidget::keyPressEvent(e);
}

void TXYDEdit::startDrag(Qt::DropActions) {
    if (!(m_model.Options2 & deDrag))
        return;
    const std::vector<TDependency *> list = m_model.DependenciesOf(SelectedRows());
    if (list.empty())
        return;
    auto *data = new TDragDependency;
    for (TDependency *d : list)
        data->Add(d);
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction);
}

} // namespace tessel
