#include "app/widgets/ParametersView.h"

#include "app/MeasurementAnalysis.h"
#include "data/Experiment.h"
#include "graph/GraphModel.h"
#include "graph/widgets/XYGraph.h"

#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace tessel {

TParametersView::TParametersView(const TExperimentModel &model, QString iniPath, QString includeBase, QWidget *parent)
    : QWidget(parent), m_model(model), m_ini(std::move(iniPath)), m_includeBase(std::move(includeBase)) {
    setObjectName(QStringLiteral("Parameters"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *split = new QSplitter(Qt::Horizontal, this);
    Table = new QTableWidget(split);
    Table->setObjectName(QStringLiteral("ParameterTable"));
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->verticalHeader()->hide();
    EtrGraph = new TXYGraph(split);
    EtrGraph->setObjectName(QStringLiteral("EtrGraph"));
    EtrGraph->SetCaption(QStringLiteral("ETR against PAR"));
    EtrGraph->hide();
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    layout->addWidget(split);
}

TParametersView::~TParametersView() {
    for (const auto &c : m_curves)
        EtrGraph->Model().RemoveDependency(&c->Set);
}

void TParametersView::Invalidate() {
    m_dirty = true;
    if (isVisible())
        QTimer::singleShot(0, this, [this] {
            if (m_dirty)
                Refresh();
        });
}

void TParametersView::showEvent(QShowEvent *e) {
    QWidget::showEvent(e);
    if (m_dirty)
        Refresh();
}

void TParametersView::Refresh() {
    m_dirty = false;
    TMeasurementAnalyser analyser(m_ini, m_includeBase);
    const std::vector<TRecordAnalysis> all = analyser.AnalyseAll(m_model);

    const QStringList titles = ParameterTableTitles();
    const std::vector<TParameterRow> rows = ParameterTableRows(m_model, all);
    Table->clear();
    Table->setColumnCount(int(titles.size()));
    Table->setHorizontalHeaderLabels(titles);
    Table->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < int(rows[size_t(r)].Cells.size()); ++c) {
            const TParameterCell &cell = rows[size_t(r)].Cells[size_t(c)];
            auto *item = new QTableWidgetItem(cell.Text);
            item->setToolTip(cell.Tip);
            if (c > 1) // numbers after the caption and the sample
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (rows[size_t(r)].Step)
                item->setForeground(palette().color(QPalette::PlaceholderText));
            Table->setItem(r, c, item);
        }
    Table->resizeColumnsToContents();

    for (const auto &c : m_curves)
        EtrGraph->Model().RemoveDependency(&c->Set);
    m_curves.clear();
    for (const TEtrCurve &e : EtrCurves(m_model, all)) {
        auto c = std::make_unique<TCurve>();
        c->Set.Caption = e.Caption;
        c->Set.Color = e.Color;
        c->Set.DrawStyle = dsPoint;
        c->Set.PointStyle = ptCircle;
        c->X.SetCount(int32_t(e.Points.size()));
        c->Y.SetCount(int32_t(e.Points.size()));
        for (int32_t i = 0; i < int32_t(e.Points.size()); ++i) {
            c->X.SetItem(i, e.Points[size_t(i)].x());
            c->Y.SetItem(i, e.Points[size_t(i)].y());
        }
        EtrGraph->Model().AddDependency(&c->Set);
        m_curves.push_back(std::move(c));
    }
    EtrGraph->setVisible(!m_curves.empty());
    if (!m_curves.empty())
        EtrGraph->AutoScaleXY();
    EtrGraph->Changed();
}

} // namespace tessel
