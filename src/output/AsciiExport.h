#pragma once

#include "data/Experiment.h"

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace tessel {

// "Which Data Sets" of the export dialog.
enum class TExportSets { All, Visible };
// "Which Data": everything, the graph's current x range (with the
// neighbouring point on each side), or the times from the left-most to the
// right-most cursor.
enum class TExportRange { All, GraphVisible, BetweenCursors };

QString ExportSetsText(TExportSets s);
QString ExportRangeText(TExportRange r);

struct TExportOptions {
    TExportSets Sets = TExportSets::All;
    TExportRange Range = TExportRange::All;
    bool IncludeHeader = true;
};

// One exported data set with what the header says about its measurement.
struct TExportEntry {
    const TDependency *Set = nullptr;
    double Time = 0; // days since 30 Dec 1899
    // The records keep no lamp settings; the header shows them as 0 %.
    int Settings[3] = {0, 0, 0};
    uint8_t Gain = 0, Offset = 0;
    bool HasGainOffset = false;
    int Record = 0;
};

// Instrument types whose channels report gain and offset.
bool HasGainAndOffset(uint8_t deviceType);

// Writes the data sets of one experiment as tab-separated text: fixed lines,
// optional header, the protocol variables of each measurement, then one row
// per time point and one column per data set.
class TAsciiExport {
public:
    // fileName: the experiment's file name as its file container holds it.
    TAsciiExport(const TExperimentModel &model, QString fileName);

    TExportOptions Options;
    // The graph's x range ("Graph Visible Data Only").
    double RangeMin = 0, RangeMax = 0;
    // The x values of the two cursors ("Data Between Cursors Only"); without
    // them that choice exports no rows.
    std::optional<std::pair<double, double>> Cursors;
    // Number texts use this locale's decimal separator and nothing else of
    // it (whatever the process's C locale says); dates use its formats.
    QLocale Locale;

    std::vector<TExportEntry> Selection() const;
    // Union of two ascending time lists; times closer than 1e-7 count once.
    static std::vector<double> MergeTimes(const std::vector<double> &a, const std::vector<double> &b);
    static std::vector<double> MergedTimes(const std::vector<TExportEntry> &selection);
    // Inclusive row indices; first > second when no row is exported.
    std::pair<int, int> RowRange(const std::vector<double> &times) const;

    // The whole file, lines ending in CR LF.
    QString Text() const;
    // Writes Text() to the file (UTF-8); failures go to Messages().
    bool WriteFile(const QString &path) const;

    // Filled by Text(): what the last build wrote.
    struct TSummary {
        int DataSets = 0, Rows = 0;
        double StartTime = 0, EndTime = 0;
    };
    const TSummary &Summary() const { return m_summary; }

private:
    QString number(double v, int digits) const;
    QString dateTime(double days) const;

    const TExperimentModel &m_model;
    QString m_fileName;
    mutable TSummary m_summary;
};

} // namespace tessel
