#include "app/widgets/ParametersView.h"

#include "app/MeasurementAnalysis.h"
#include "data/Experiment.h"
#include "graph/GraphModel.h"
#include "graph/widgets/XYGraph.h"
#include "settings/Registry.h"
#include "settings/SettingsStore.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace tessel {

namespace {
const QString kFitModelKey = QStringLiteral("LightCurveModel");
}

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
    m_etrPane = new QWidget(split);
    auto *pane = new QVBoxLayout(m_etrPane);
    pane->setContentsMargins(0, 0, 0, 0);
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("Light curve model:"), m_etrPane);
    FitModel = new QComboBox(m_etrPane);
    FitModel->setObjectName(QStringLiteral("FitModel"));
    for (TLightCurveModel m : kLightCurveModels)
        FitModel->addItem(LightCurveModelText(m), LightCurveModelName(m));
    label->setBuddy(FitModel);
    row->addWidget(label);
    row->addWidget(FitModel, 1);
    pane->addLayout(row);
    EtrGraph = new TXYGraph(m_etrPane);
    EtrGraph->setObjectName(QStringLiteral("EtrGraph"));
    EtrGraph->SetCaption(QStringLiteral("ETR against PAR"));
    TitleEtrGraph(EtrGraph->Model());
    pane->addWidget(EtrGraph, 1);
    m_etrPane->hide();
    const TLightCurveModel chosen =
        LightCurveModelFromName(TPRegistry().ReadString(TPAppSettings().KeyName(), kFitModelKey).value_or(QString()))
            .value_or(ReadAnalysisConfig(m_ini, QString()).LightCurveModel);
    FitModel->setCurrentIndex(FitModel->findData(LightCurveModelName(chosen)));
    connect(FitModel, &QComboBox::currentIndexChanged, this, [this] {
        TPRegistry store;
        store.WriteString(TPAppSettings().KeyName(), kFitModelKey, FitModel->currentData().toString());
        store.Flush();
        Refresh();
    });
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

std::optional<TLightCurveModel> TParametersView::ChosenModel() const {
    return LightCurveModelFromName(FitModel->currentData().toString());
}

void TParametersView::Refresh() {
    m_dirty = false;
    TMeasurementAnalyser analyser(m_ini, m_includeBase);
    analyser.SetLightCurveModel(ChosenModel());
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
    auto add = [this](const QString &caption, TColor color, const std::vector<QPointF> &points, bool line) {
        auto c = std::make_unique<TCurve>();
        c->Set.Caption = caption;
        c->Set.Color = color;
        c->Set.DrawStyle = line ? dsAvg : dsPoint;
        c->Set.PointStyle = line ? ptDot : ptCircle;
        c->X.SetCount(int32_t(points.size()));
        c->Y.SetCount(int32_t(points.size()));
        for (int32_t i = 0; i < int32_t(points.size()); ++i) {
            c->X.SetItem(i, points[size_t(i)].x());
            c->Y.SetItem(i, points[size_t(i)].y());
        }
        EtrGraph->Model().AddDependency(&c->Set);
        m_curves.push_back(std::move(c));
    };
    for (const TEtrCurve &e : EtrCurves(m_model, all)) {
        add(e.Caption, e.Color, e.Points, false);
        if (!e.Fit.empty())
            add(QStringLiteral("%1 (%2 fit)").arg(e.Caption, e.Model), e.Color, e.Fit, true);
    }
    m_etrPane->setVisible(!m_curves.empty());
    if (!m_curves.empty())
        EtrGraph->AutoScaleXY();
    EtrGraph->Changed();
}

} // namespace tessel
