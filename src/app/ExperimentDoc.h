#pragma once

#include "authoring/ProtocolDoc.h"
#include "data/Experiment.h"
#include "data/FileOp.h"
#include "device/DeviceTypes.h"

#include <QPointF>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tessel {

class TCompiler;
class TGraphModel;
struct TEnvSetup;

// Columns of the experiment's data table after the data set editor's own.
enum TExperimentColumn : int {
    xcYShift = 11,
    xcMultiplication,
    xcTime,
    xcDevice,
    xcGain,
    xcOffset,
    xcSens,
    xcColumnCount
};
extern const std::array<int, xcColumnCount> kExperimentColumnWidths;
QStringList ExperimentTableTitles();

// A typed "YShift" or "Multiplication": nothing for unreadable text, else the
// number rounded to a multiple of 1e-9 and kept within -1e6 .. 1e6.
std::optional<double> ParseScaleText(const QString &text);

// The A/B curve of a record: channel A's displayed values against the last
// nA of channel B's, A's i-th against B's (Offset + i)-th. Empty unless both
// hold points and A no more than B.
struct TABPairing {
    int32_t Count = 0;
    int32_t Offset = 0;
    bool operator==(const TABPairing &) const = default;
};
TABPairing ABPairing(const TDependency &a, const TDependency &b);

// "A: <caption>" or "A: Empty", a line feed, then the same for B.
QString SheetCaption(const TMeasurementRecord &r);
// Titles and legends of an experiment's graph (time against signal) and its
// A/B chart; unit: of the displayed signal.
void TitleExperimentGraphs(TGraphModel &graph, TGraphModel &ab, const QString &unit);

enum class TCloseAnswer { Close, SaveAndClose, Keep };

// The experiment document without its windows: the model, the protocol
// editor's document, the file container, the A/B series and every operation
// that the measurement run, the data table and the main window call. The
// window passes in the graphs it shows and repaints on the callbacks.
class TExperimentDoc {
public:
    TExperimentDoc(TCompiler &compiler, TEnvSetup &env, const QString &includeBase, TDevice device,
                   const TChannelScaling &scaling);
    ~TExperimentDoc();
    TExperimentDoc(const TExperimentDoc &) = delete;
    TExperimentDoc &operator=(const TExperimentDoc &) = delete;

    TExperimentModel Model;
    TProtocolDoc Protocol;
    TFileOp FileOp;
    QString DocName;
    bool Modified = false;
    bool ShActive = false;    // receives the next measurement
    bool ShMeasuring = false; // a measurement into it runs

    // The experiment graph and the A/B chart; either may be null (tests, CLI).
    void SetGraphs(TGraphModel *graph, TGraphModel *ab);
    TGraphModel *Graph() const { return m_graph; }
    TGraphModel *ABGraph() const { return m_ab; }
    // The graph's x axis is the logarithmic one.
    bool LogX() const;

    // Measurement, in this order.
    void PrepareMeasurementDataSets(int32_t plannedA, int32_t plannedB, double firstTimeA, double firstTimeB);
    // The protocol as the last check left it, or as the run was built from.
    void RecordMeasurement(double time, uint8_t deviceType, const TConditions &conditions);
    void RecordMeasurement(double time, uint8_t deviceType, const TConditions &conditions,
                           const TProtocolSnapshot &protocol);
    void StartNextMeasurement();
    // Data sets the experiment shows (what "MaxSignals" limits).
    int DataSetCount() const;

    // Data table.
    QString CellText(const TDependency *d, int column) const;
    static bool IsScaleColumn(int column) { return column == xcYShift || column == xcMultiplication; }
    // Stores a typed YShift or Multiplication; false when the text was unreadable.
    bool SetScaleText(TDependency *d, int column, const QString &text);
    // A data set's flags were edited; may refuse visibility on a log axis.
    void DataSetChanged(TDependency *d);
    // The graph let a data set go (its OnRemoveDependency).
    void DataSetRemoved(TDependency *d);

    // The A/B series of a record, rebuilt from its data sets.
    void RebuildAB(TMeasurementRecord &r);
    TDependency *ABSeries(const TMeasurementRecord &r) const;
    // Fits the A/B chart's axes to every shown A/B point.
    void ScaleAB();

    // Reads the named file into the document; false (the message shown) when
    // it was refused or damaged. A damaged file keeps what was read, but
    // never its name, so that a save cannot overwrite the original.
    bool Load(const QString &fileName);
    // Save (or Save As): the container asks for a name when it needs one.
    bool Save(bool saveAs);
    // Writes the experiment to another file (a recovery copy) and leaves its
    // name and modified state alone; failures are logged, not shown.
    bool WriteCopy(const QString &fileName);
    // The close question (only with "Confirm actions"); a measurement into
    // the experiment keeps it open without asking.
    TCloseAnswer AskClose(bool confirmActions) const;
    bool NeedsSave() const { return Modified || Protocol.Modified; }
    // Title, description and protocol as edited, into the model that the
    // file, the export and the analysis read.
    void SyncTexts();

    // The window follows these.
    std::function<void()> OnChanged;              // repaint graph and table
    std::function<void()> OnSheetsChanged;        // measurement sheets: rebuild from the records
    std::function<void()> OnCaptionsChanged;      // DocName changed
    std::function<void(bool)> OnMeasuringChanged; // ShMeasuring
    std::function<void(bool)> OnLogXRead;         // the file's x axis differs from the graph's
    std::function<void()> OnSaved;                // after a successful Save

private:
    struct TABSeries;
    void changed();
    void notifySheets();
    void syncFromModel();
    void removeAB(const TMeasurementRecord *r);
    // Takes every data set and A/B series out of the graphs.
    void detachAll();

    TEnvSetup &m_env;
    TGraphModel *m_graph = nullptr;
    TGraphModel *m_ab = nullptr;
    std::map<const TMeasurementRecord *, std::unique_ptr<TABSeries>> m_abSeries;
    bool m_quiet = false;
};

} // namespace tessel
