#include "graph/widgets/DepSel.h"

#include "graph/GraphPainter.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace tessel {

TfrmSelectCurve::TfrmSelectCurve(QWidget *parent) : QDialog(parent), m_list(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Select Curve"));
    m_list->setObjectName(QStringLiteral("ListBox"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(m_list);
    lay->addWidget(buttons);
    // Double click on a line accepts it as well.
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

void TfrmSelectCurve::Fill(TGraphModel &g) {
    m_graph = &g;
    m_lines = SelectorLines(g);
    m_list->clear();
    for (const TSelectorLine &l : m_lines) {
        QPixmap pm(12, 12);
        pm.fill(Qt::transparent);
        {
            QPainter p(&pm);
            DrawMark(p, 6, 6, l.D->PointStyle, 8, l.D->Color, l.D->Brush);
        }
        auto *it = new QListWidgetItem(QIcon(pm), l.Text, m_list);
        it->setFlags(it->flags() | Qt::ItemIsUserCheckable);
        it->setCheckState(l.Checked ? Qt::Checked : Qt::Unchecked);
        if (l.D == g.Selected())
            m_list->setCurrentItem(it);
    }
}

void TfrmSelectCurve::accept() {
    if (m_graph) {
        for (int i = 0; i < int(m_lines.size()); ++i)
            m_lines[size_t(i)].Checked = m_list->item(i)->checkState() == Qt::Checked;
        m_changed.clear();
        ApplySelection(*m_graph, m_lines, m_list->currentRow(), &m_changed);
    }
    QDialog::accept();
}

bool TDependencySelector::Execute(QWidget *parent) {
    if (!Graph)
        return false;
    TfrmSelectCurve dlg(parent);
    dlg.Fill(*Graph);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    if (OnChange)
        for (TDependency *d : dlg.ChangedSets())
            OnChange(d);
    return true;
}

} // namespace tessel
