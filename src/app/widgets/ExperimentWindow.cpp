#include "app/widgets/ExperimentWindow.h"

#include "app/InstrumentConfig.h"
#include "app/widgets/ParametersView.h"
#include "authoring/widgets/ProtocolEditor.h"
#include "common/AppPaths.h"
#include "graph/GraphRules.h"
#include "graph/widgets/XYDEdit.h"
#include "graph/widgets/XYGraph.h"
#include "settings/EnvSetup.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>

namespace tessel {

namespace {

QLabel *marker(const QString &hint, const QString &colour, QWidget *parent) {
    auto *l = new QLabel(parent);
    l->setFixedSize(12, 12);
    l->setToolTip(hint);
    l->setStyleSheet(QStringLiteral("background:%1; border:1px solid #404040; border-radius:6px;").arg(colour));
    l->hide();
    return l;
}

} // namespace

TMDIChild::TMDIChild(TCompiler &compiler, TEnvSetup &env, const QString &includeBase, TDevice device,
                     const TChannelScaling &scaling, const TGraphBounds &bounds, const QString &name, QWidget *parent)
    : TfrmGraph(bounds, parent), m_env(env),
      m_doc(std::make_unique<TExperimentDoc>(compiler, env, includeBase, device, scaling)) {
    m_doc->DocName = name;

    // Channel B against channel A, one series per record.
    m_abGraph = new TXYGraph(pgAB);
    m_abGraph->SetCaption(QStringLiteral("Graph A/B"));
    pgAB->layout()->addWidget(m_abGraph);
    m_doc->SetGraphs(&Graph->Model(), &m_abGraph->Model());
    TitleExperimentGraphs(Graph->Model(), m_abGraph->Model(), Config().Instrument.SignalUnit);

    // Rows can be dragged onto the signals view.
    DataEdit->SetOptions2(deDrag | deDialogs | deYAutoScale | deAllowRemove);
    DataEdit->SetTitles(ExperimentTableTitles());
    DataEdit->SetColumnWidths(std::vector<int>(kExperimentColumnWidths.begin(), kExperimentColumnWidths.end()));
    DataEdit->ExtraText = [this](int r, int column) { return m_doc->CellText(DataEdit->Row(r), column); };
    DataEdit->ExtraEditable = [](int column) { return TExperimentDoc::IsScaleColumn(column); };
    DataEdit->ExtraEdited = [this](int r, int column, const QString &text) {
        m_doc->SetScaleText(DataEdit->Row(r), column, text);
    };

    // The parameters of every measurement below the data sets.
    m_params = new TParametersView(m_doc->Model, AppPaths::iniPath(), m_doc->Protocol.IncludeBase);
    auto *split = new QSplitter(Qt::Vertical, pgData);
    pgData->layout()->removeWidget(DataEdit);
    split->addWidget(DataEdit);
    split->addWidget(m_params);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    pgData->layout()->addWidget(split);

    mniManualScale = mnuGraph->addAction(QStringLiteral("&Manual Scale ..."), this, [this] {
        if (OnManualScale)
            OnManualScale(this);
    });
    // Alt+E belongs to the main window's Experiment menu.
    QMenu *edit = menuBar()->addMenu(QStringLiteral("E&dit"));
    mniRemoveDataSet = edit->addAction(QStringLiteral("&Remove Data Set"), this, [this] {
        ShowPage(TPage::Data);
        DataEdit->RemoveSelected();
    });

    ShActive = marker(QStringLiteral("Active Experiment"), QStringLiteral("#00c000"), this);
    ShMeasuring = marker(QStringLiteral("Measuring in Progress"), QStringLiteral("#e00000"), this);
    auto *marks = new QWidget(this);
    auto *ml = new QHBoxLayout(marks);
    ml->setContentsMargins(4, 0, 4, 0);
    ml->addWidget(ShActive);
    ml->addWidget(ShMeasuring);
    // The menu bar places its corner widget by the size hint it had when
    // laid out: hidden marks keep their room, so a mark shown later is
    // neither cut off nor left out.
    for (QLabel *l : {ShActive, ShMeasuring}) {
        QSizePolicy p = l->sizePolicy();
        p.setRetainSizeWhenHidden(true);
        l->setSizePolicy(p);
    }
    menuBar()->setCornerWidget(marks, Qt::TopRightCorner);

    m_editor = new TfrmProtocol(m_doc->Protocol);
    m_editor->setAttribute(Qt::WA_DeleteOnClose, false);
    m_editor->OnTitleChanged = [this](const QString &t) {
        Graph->SetCaption(t);
        m_doc->Modified = true;
    };
    m_editor->OnDescriptionChanged = [this] { m_doc->Modified = true; };

    m_doc->OnChanged = [this] {
        refreshTable();
        m_params->Invalidate();
    };
    m_doc->OnSheetsChanged = [this] {
        rebuildSheets();
        m_params->Invalidate();
    };
    m_doc->OnCaptionsChanged = [this] { UpdateCaptions(); };
    m_doc->OnLogXRead = [this](bool on) { SetLogScaleX(on); };
    m_doc->OnMeasuringChanged = [this](bool on) { ShMeasuring->setVisible(on); };
    connect(this, &TfrmGraph::PageChanged, this, &TMDIChild::UpdateCaptions);
    // Any new view of the graph answers the hint.
    connect(this, &TfrmGraph::RangesChanged, this, [this] {
        if (!m_viewHint.isEmpty())
            setViewHint({});
    });
    UpdateCaptions();
    resize(620, 400);
}

void TMDIChild::notifyGone() {
    if (m_gone)
        return;
    m_gone = true;
    if (OnDestroying)
        OnDestroying(this);
}

TMDIChild::~TMDIChild() {
    notifyGone();
    // The graph goes before the document (Qt children die after this body),
    // so its removal callback must not reach the document any more.
    DataEdit->ExtraText = nullptr;
    DataEdit->SetGraph(nullptr);
    m_doc->OnChanged = nullptr;
    m_doc->OnSheetsChanged = nullptr;
    m_doc.reset();
    // The editor's frame may already be gone with the MDI area.
    if (EditorFrame)
        delete EditorFrame.data();
    else if (m_editor)
        delete m_editor.data();
}

void TMDIChild::SetActiveMark(bool on) {
    m_doc->ShActive = on;
    ShActive->setVisible(on);
}

void TMDIChild::SetMeasuringMark(bool on) {
    m_doc->ShMeasuring = on;
    ShMeasuring->setVisible(on);
}

void TMDIChild::UpdateCaptions() {
    const char *suffix = Page() == TPage::Data ? " - Data" : Page() == TPage::AB ? " - Graph A/B" : " - Graph";
    setWindowTitle(m_doc->DocName + QLatin1String(suffix));
    if (Frame)
        Frame->setWindowTitle(windowTitle());
    m_editor->SetExperimentName(m_doc->DocName);
    if (EditorFrame)
        EditorFrame->setWindowTitle(m_editor->windowTitle());
    if (OnCaptionChanged)
        OnCaptionChanged(this);
}

void TMDIChild::DataEditChange(TXYDEdit *, TDependency *d) {
    m_doc->DataSetChanged(d);
    refreshSheetCaptions();
}

void TMDIChild::refreshTable() {
    DataEdit->RebuildRows();
    Graph->Changed();
}

void TMDIChild::rebuildSheets() {
    std::vector<TSheetContent> sheets;
    const TExperimentModel &m = m_doc->Model;
    for (int i = 1; i < m.RecordCount(); ++i) {
        const TMeasurementRecord &r = m.Record(i);
        TSheetContent s{SheetCaption(r), r.Protocol.join(QLatin1Char('\n')), {}, &r};
        for (int k = 0; k < r.VarNames.size(); ++k)
            s.variables.emplace_back(r.VarNames[k], r.VarValues.value(k));
        sheets.push_back(std::move(s));
    }
    m_editor->SetMeasurementSheets(sheets);
}

void TMDIChild::refreshSheetCaptions() {
    const TExperimentModel &m = m_doc->Model;
    for (int i = 1; i < m.RecordCount() && i <= m_editor->SheetCount(); ++i)
        m_editor->SetSheetCaption(i, SheetCaption(m.Record(i)));
}

void TMDIChild::RefreshAll() {
    m_editor->ReloadText();
    m_editor->ReloadDescription();
    Graph->SetCaption(m_doc->Protocol.Title.isEmpty() ? QStringLiteral("Signals") : m_doc->Protocol.Title);
    rebuildSheets();
    refreshTable();
    m_params->Invalidate();
    UpdateCaptions();
}

void TMDIChild::BeginRun() {
    ShowFrame(Frame);
    Model().Current().A.Set->SetCount(0);
    Model().Current().B.Set->SetCount(0);
}

void TMDIChild::PrepareMeasurementDataSets(int32_t plannedA, int32_t plannedB, double firstTimeA, double firstTimeB) {
    // Set Device, Device ID or the options may have changed the scaling
    // since the window opened.
    if (CurrentScaling)
        m_doc->Model.ApplyScaling(CurrentScaling());
    m_doc->PrepareMeasurementDataSets(plannedA, plannedB, firstTimeA, firstTimeB);
}

void TMDIChild::RecordMeasurement(double time, uint8_t deviceType, const TConditions &conditions,
                                  const TProtocolSnapshot &protocol) {
    m_doc->RecordMeasurement(time, deviceType, conditions, protocol);
}

void TMDIChild::StartNextMeasurement() { m_doc->StartNextMeasurement(); }

void TMDIChild::ShowResult(bool autoScale) {
    // The first curves of an experiment would lie outside the empty graph's
    // default range; they are always brought into view.
    int withPoints = 0;
    for (int i = 0; i < Graph->DependencyCount(); ++i)
        withPoints += Graph->Dependency(i)->Count() > 0;
    const TMeasurementRecord &last = Model().Record(Model().RecordCount() > 1 ? 1 : 0);
    const int newSets = (last.A.Set->Count() > 0) + (last.B.Set->Count() > 0);
    if (autoScale || withPoints <= newSets)
        Graph->AutoScaleXY();
    else
        Graph->Changed();
    m_doc->ScaleAB();
    // The view stays where the user put it, but the new curves must not be
    // cut off unnoticed.
    const bool outside = OutsideView(Graph->Model(), *last.A.Set) || OutsideView(Graph->Model(), *last.B.Set);
    setViewHint(outside ? QStringLiteral("New data outside the view: Auto Scale XY (Ctrl+0)") : QString());
}

void TMDIChild::setViewHint(const QString &text) {
    m_viewHint = text;
    if (OnViewHint)
        OnViewHint(this, text);
}

void TMDIChild::ShowFrame(QWidget *frame) {
    if (!frame)
        return;
    if (frame->isMinimized())
        frame->showNormal();
    frame->show();
    frame->raise();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(frame); sub && sub->mdiArea())
        sub->mdiArea()->setActiveSubWindow(sub);
}

void TMDIChild::closeEvent(QCloseEvent *e) {
    switch (m_doc->AskClose(m_env.ShowDialogs)) {
    case TCloseAnswer::Keep:
        e->ignore();
        return;
    case TCloseAnswer::SaveAndClose:
        // A save that was cancelled or failed keeps the window, so nothing is lost.
        if (!OnSaveRequest || !OnSaveRequest(this)) {
            e->ignore();
            return;
        }
        break;
    case TCloseAnswer::Close:
        break;
    }
    e->accept();
    // The frame deletes the window later; the lists forget it now.
    notifyGone();
}

} // namespace tessel
