#pragma once

#include "data/Experiment.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
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
    int Channel = 0; // 0 = A, 1 = B
};

// Instrument types whose channels report gain and offset.
bool HasGainAndOffset(uint8_t deviceType);

// What every export format shares: which data sets, which rows, and writing
// the file so that a failed write leaves an older file of that name intact.
class TDataExport {
public:
    // fileName: the experiment's file name as its file container holds it.
    TDataExport(const TExperimentModel &model, QString fileName);
    virtual ~TDataExport() = default;

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

    // Calls row(time, values) for each exported row: one value per entry of
    // the selection, empty where that data set has no point at the time.
    using TRowVisitor = std::function<void(double, const std::vector<std::optional<double>> &)>;
    static void VisitRows(const std::vector<TExportEntry> &selection, const std::vector<double> &times,
                          std::pair<int, int> rows, const TRowVisitor &row);

    // The whole file as written.
    virtual QByteArray Bytes() const = 0;
    // Writes Bytes() to the file; failures go to Messages().
    bool WriteFile(const QString &path) const;

    // Filled by Bytes(): what the last build wrote.
    struct TSummary {
        int DataSets = 0, Rows = 0;
        double StartTime = 0, EndTime = 0;
    };
    const TSummary &Summary() const { return m_summary; }

protected:
    // Selection, merged times and row range of one build; fills the summary.
    struct TPlan {
        std::vector<TExportEntry> Sel;
        std::vector<double> Times;
        std::pair<int, int> Rows{0, -1};
    };
    TPlan Plan() const;

    const TExperimentModel &m_model;
    QString m_fileName;
    mutable TSummary m_summary;
};

// The formats of the export dialog and of tessel-cli export.
enum class TExportFormat { Text, Csv, Json, Long };

// "tsv", "csv", "json", "long"; nullopt for anything else.
std::optional<TExportFormat> ExportFormatFromName(const QString &name);
// The format a file's ending stands for: ".csv" CSV, ".json" JSON, anything
// else the text format.
TExportFormat ExportFormatFromPath(const QString &path);

// The CSV choices: field delimiter and decimal separator.
struct TCsvStyle {
    QChar Delimiter = u',';
    QChar Decimal = u'.';
};

// The writer of a format, with the CSV choices where they apply.
std::unique_ptr<TDataExport> MakeExport(TExportFormat format, const TExperimentModel &model, QString fileName,
                                        const TCsvStyle &csv = {});

} // namespace tessel
