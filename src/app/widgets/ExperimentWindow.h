#pragma once

#include "app/ExperimentDoc.h"
#include "app/MeasurementRun.h"
#include "authoring/widgets/ProtocolEditor.h"
#include "graph/widgets/GraphWindow.h"

#include <QPointer>
#include <functional>
#include <memory>

class QLabel;
class QMdiSubWindow;

namespace tessel {

class TfrmProtocol;
class TParametersView;
class TXYGraph;

// The experiment window: a graph window whose three pages show the
// document's data sets (graph, data table with the measurements'
// fluorescence parameters below it, channel B against channel A).
// It owns the document and the protocol editor; the logic is TExperimentDoc's.
class TMDIChild : public TfrmGraph, public IMeasurementTarget {
    Q_OBJECT
public:
    TMDIChild(TCompiler &compiler, TEnvSetup &env, const QString &includeBase, TDevice device,
              const TChannelScaling &scaling, const TGraphBounds &bounds, const QString &name,
              QWidget *parent = nullptr);
    ~TMDIChild() override;

    TExperimentDoc &Doc() { return *m_doc; }
    TfrmProtocol *Editor() const { return m_editor; }
    TXYGraph *ABGraph() const { return m_abGraph; }
    TParametersView *Parameters() const { return m_params; }
    // On the A/B page the Graph menu's pictures show the A/B chart.
    TXYGraph *PictureGraph() const override { return Page() == TPage::AB ? m_abGraph : Graph; }
    QLabel *ShActive = nullptr;
    QLabel *ShMeasuring = nullptr;
    QAction *mniManualScale = nullptr, *mniRemoveDataSet = nullptr;

    // The sub-windows the main window put the two windows in.
    QPointer<QMdiSubWindow> Frame, EditorFrame;
    // The frame as the navigator knows it; only compared, also while the
    // frame is being destroyed.
    QWidget *NavigatorKey = nullptr;

    void SetActiveMark(bool on);
    void SetMeasuringMark(bool on);
    // DocName changed: captions of both windows and of the navigator node.
    void UpdateCaptions();
    // Table, sheets and graph show the document again.
    void RefreshAll();
    void DataEditChange(TXYDEdit *sender, TDependency *d) override;
    // Shows a window from minimised and in front.
    static void ShowFrame(QWidget *frame);

    // The main window's handlers: save (true when saved) and the manual scale dialog.
    std::function<bool(TMDIChild *)> OnSaveRequest;
    std::function<void(TMDIChild *)> OnManualScale;
    // Called from the destructor so the main window forgets the window.
    std::function<void(TMDIChild *)> OnDestroying;
    std::function<void(TMDIChild *)> OnCaptionChanged;
    // The instrument configuration's channel scaling at this moment.
    std::function<TChannelScaling()> CurrentScaling;
    // A hint for the status bar (empty: none any more).
    std::function<void(TMDIChild *, const QString &)> OnViewHint;
    QString ViewHint() const { return m_viewHint; }

    // The experiment as the target of a measurement.
    TExperimentModel &Model() override { return m_doc->Model; }
    TProtocolDoc &Protocol() override { return m_doc->Protocol; }
    int DataSetCount() const override { return m_doc->DataSetCount(); }
    void BeginRun() override;
    void SetMeasuring(bool on) override { SetMeasuringMark(on); }
    void PrepareMeasurementDataSets(int32_t plannedA, int32_t plannedB, double firstTimeA, double firstTimeB) override;
    void RecordMeasurement(double time, uint8_t deviceType, const TConditions &conditions,
                           const TProtocolSnapshot &protocol) override;
    void StartNextMeasurement() override;
    void ShowResult(bool autoScale) override;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    // Tells the main window once that the window is gone.
    void notifyGone();
    void rebuildSheets();
    void refreshSheetCaptions();
    void refreshTable();
    void setViewHint(const QString &text);

    TEnvSetup &m_env;
    std::unique_ptr<TExperimentDoc> m_doc;
    QPointer<TfrmProtocol> m_editor;
    TXYGraph *m_abGraph = nullptr;
    TParametersView *m_params = nullptr;
    bool m_gone = false;
    QString m_viewHint;
};

} // namespace tessel
