#pragma once

// The analysis of measurements with the configuration of the instrument type
// each was taken on: for the experiment window, tessel-cli and the exports.

#include "data/analysis/ProtocolMarks.h"
#include "device/DeviceTypes.h"

#include "data/Dependency.h"

#include <QJsonObject>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <array>
#include <map>
#include <vector>

namespace tessel {

class TExperimentModel;
class TGraphModel;
struct TMeasurementRecord;

// "Analysis" holds the ETR constants and the PAR tables every type uses unless
// its own section "<type>Analysis" has them.
TAnalysisConfig ReadAnalysisConfig(const QString &iniPath, const QString &deviceText);

struct TAnalysisSetup {
    TMarkSetup Marks;
    TAnalysisConfig Config;
};
// includeBase: the include folder in place of the configured one (empty: as configured).
TAnalysisSetup AnalysisSetupFor(const QString &iniPath, TDevice device, const QString &includeBase = {});

// Analyses records with the installed compiler library; the setup of each
// instrument type is read once and a protocol measured again and again is
// compiled once.
class TMeasurementAnalyser {
public:
    explicit TMeasurementAnalyser(QString iniPath, QString includeBase = {})
        : m_ini(std::move(iniPath)), m_includeBase(std::move(includeBase)) {}
    TRecordAnalysis Analyse(const TMeasurementRecord &r);
    // What the record's protocol marks (its problem set when it cannot be read).
    const TProtocolMarks &Marks(const TMeasurementRecord &r);
    // Every completed measurement of the experiment, newest first (record 1 on).
    std::vector<TRecordAnalysis> AnalyseAll(const TExperimentModel &m);
    // The user's choice of light-curve model over the configured one.
    void SetLightCurveModel(std::optional<TLightCurveModel> m) { m_model = m; }

private:
    const TAnalysisSetup &setup(TDevice d);
    QString m_ini, m_includeBase;
    std::optional<TLightCurveModel> m_model;
    std::map<TDevice, TAnalysisSetup> m_setups;
    std::map<std::pair<TDevice, QString>, TProtocolMarks> m_marks;
};

// The parameters table of the experiment window: one row per analysed
// channel of each measurement (oldest first), then one per flash of a series.
struct TParameterCell {
    QString Text;
    QString Tip; // why a value is missing
};
struct TParameterRow {
    std::vector<TParameterCell> Cells;
    bool Step = false;
};
QStringList ParameterTableTitles();
// A parameter's column title: its name with Greek letters ("ΦPSII", "α").
QString ParameterTitle(int p);
// "Platt (1980)", ... as the model is offered to choose.
QString LightCurveModelText(TLightCurveModel m);
std::vector<TParameterRow> ParameterTableRows(const TExperimentModel &m, const std::vector<TRecordAnalysis> &all);

// ETR against PAR of each channel whose flashes saw different light levels
// (a light curve), by rising PAR.
struct TEtrCurve {
    QString Caption;
    TColor Color = 0;
    std::vector<QPointF> Points;
    std::vector<QPointF> Fit; // the fitted curve, when the fit succeeded
    QString Model;            // its model's name
};
inline constexpr int kFitCurvePoints = 100;
std::vector<TEtrCurve> EtrCurves(const TExperimentModel &m, const std::vector<TRecordAnalysis> &all);

// Unit of a parameter as an axis title shows it; empty for ratios.
QString ParameterUnit(int p);
// Axis titles of a graph of ETR against PAR.
void TitleEtrGraph(TGraphModel &g);

// A parameter of the measurements of one channel gathered by their title, or
// by the value of one metadata key: measurements labelled alike are repeats
// of one sample. Groups in the order they first appear, oldest first.
struct TParameterGroup {
    QString Key;
    std::vector<double> Values;
    double Mean = 0, SD = 0; // SD with n - 1; 0 for one value
};
// byKey: the metadata key; empty: the title (a measurement without one is a
// group of its own).
std::vector<TParameterGroup> GroupParameter(const TExperimentModel &m, const std::vector<TRecordAnalysis> &all,
                                            int parameter, int channel, const QString &byKey = {});

// The mark of each sample of both channels; none where the protocol cannot be read.
std::array<std::vector<QString>, 2> SampleMarks(const TProtocolMarks &marks, const TMeasurementRecord &r);

// The measurements of one experiment file with their analyses, for the
// parameter table of tessel-cli analyze --csv and the Python module.
struct TAnalysedExperiment {
    QString Path;
    const TExperimentModel *Model = nullptr;
    std::vector<TRecordAnalysis> All; // by record: newest first
};
// ISO 8601 of a measurement's date-time; empty when it is out of range.
QString IsoDateTimeText(double days);
// Which flash the headline values come from: "flash K of N at T s", else
// "means" (of the marked groups).
QString HeadlineFrom(const TChannelAnalysis &ch);
// One row per measurement and channel, then one per flash of a series; the
// measurements of every file in one table, lines ending in CR LF.
QString AnalysisCsv(const std::vector<TAnalysedExperiment> &files);

// Makes every JSON export (dialog and tessel-cli) carry each measurement's
// parameters as AnalysisJson gives them, and every long CSV export each
// sample's mark, with the configuration read at the time of each export.
void InstallExportParameters();

} // namespace tessel
