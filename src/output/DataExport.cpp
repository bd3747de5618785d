#include "output/DataExport.h"

#include "common/MessageService.h"
#include "device/DeviceTypes.h"
#include "output/AsciiExport.h"
#include "output/CsvExport.h"
#include "output/JsonExport.h"
#include "output/LongCsvExport.h"

#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace tessel {
namespace {

// Two times are the same row when they differ by less than 1e-7.
bool sameTime(double a, double b) { return std::fabs(a - b) * 1e7 < 1; }

// Times as the graph shows them; the rows compare the same values, so a
// transformed x axis cannot leave a data set's values out of its rows.
std::vector<double> displayedTimes(const TDependency &d) {
    std::vector<double> t;
    if (!d.X)
        return t;
    const int32_t n = std::min(d.Count(), d.X->Count());
    t.reserve(size_t(n));
    for (int32_t i = 0; i < n; ++i)
        t.push_back(d.X->Value(i));
    return t;
}

// Points a data set can export: both vectors must hold them.
int32_t exportCount(const TDependency &d) { return d.X ? std::min(d.Count(), d.X->Count()) : 0; }

} // namespace

QString ExportSetsText(TExportSets s) {
    return s == TExportSets::All ? QStringLiteral("All Data Sets") : QStringLiteral("Visible Data Sets Only");
}

QString ExportRangeText(TExportRange r) {
    switch (r) {
    case TExportRange::All:
        return QStringLiteral("All Data");
    case TExportRange::GraphVisible:
        return QStringLiteral("Graph Visible Data Only");
    case TExportRange::BetweenCursors:
        return QStringLiteral("Data Between Cursors Only");
    }
    return {};
}

bool HasGainAndOffset(uint8_t t) { return t < kDeviceCount && HasMonitorGains(TDevice(t)); }

std::optional<TExportFormat> ExportFormatFromName(const QString &name) {
    if (name == QLatin1String("tsv"))
        return TExportFormat::Text;
    if (name == QLatin1String("csv"))
        return TExportFormat::Csv;
    if (name == QLatin1String("json"))
        return TExportFormat::Json;
    if (name == QLatin1String("long"))
        return TExportFormat::Long;
    return std::nullopt;
}

TExportFormat ExportFormatFromPath(const QString &path) {
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return TExportFormat::Csv;
    if (path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return TExportFormat::Json;
    return TExportFormat::Text;
}

std::unique_ptr<TDataExport> MakeExport(TExportFormat format, const TExperimentModel &model, QString fileName,
                                        const TCsvStyle &csv) {
    switch (format) {
    case TExportFormat::Csv: {
        auto e = std::make_unique<TCsvExport>(model, std::move(fileName));
        e->Style = csv;
        return e;
    }
    case TExportFormat::Json:
        return std::make_unique<TJsonExport>(model, std::move(fileName));
    case TExportFormat::Long:
        return std::make_unique<TLongCsvExport>(model, std::move(fileName));
    case TExportFormat::Text:
        break;
    }
    return std::make_unique<TAsciiExport>(model, std::move(fileName));
}

TDataExport::TDataExport(const TExperimentModel &model, QString fileName)
    : m_model(model), m_fileName(std::move(fileName)) {}

std::vector<TExportEntry> TDataExport::Selection() const {
    std::vector<TExportEntry> sel;
    for (int i = 1; i < m_model.RecordCount(); ++i) {
        const TMeasurementRecord &r = m_model.Record(i);
        for (int c : {1, 0}) { // channel B first
            const TDependency *d = r.Channel(c).Set.get();
            if (!d || d->Count() < 1 || (Options.Sets == TExportSets::Visible && !d->Visible))
                continue;
            TExportEntry e;
            e.Set = d;
            e.Time = r.Time;
            e.Gain = c == 1 ? r.Conditions.GainB : r.Conditions.GainA;
            e.Offset = c == 1 ? r.Conditions.OffsetB : r.Conditions.OffsetA;
            e.HasGainOffset = HasGainAndOffset(r.DeviceType);
            e.Record = i;
            e.Channel = c;
            sel.push_back(e);
        }
    }
    return sel;
}

std::vector<double> TDataExport::MergeTimes(const std::vector<double> &a, const std::vector<double> &b) {
    std::vector<double> out;
    out.reserve(a.size() + b.size());
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (sameTime(a[i], b[j])) {
            out.push_back(a[i++]);
            ++j;
        } else if (a[i] < b[j]) {
            out.push_back(a[i++]);
        } else {
            out.push_back(b[j++]);
        }
    }
    out.insert(out.end(), a.begin() + ptrdiff_t(i), a.end());
    out.insert(out.end(), b.begin() + ptrdiff_t(j), b.end());
    return out;
}

std::vector<double> TDataExport::MergedTimes(const std::vector<TExportEntry> &selection) {
    std::vector<double> merged;
    for (const TExportEntry &e : selection)
        merged = MergeTimes(merged, displayedTimes(*e.Set));
    return merged;
}

std::pair<int, int> TDataExport::RowRange(const std::vector<double> &t) const {
    const int last = int(t.size()) - 1;
    if (Options.Range == TExportRange::BetweenCursors) {
        if (!Cursors)
            return {0, -1};
        const double lo = std::min(Cursors->first, Cursors->second);
        const double hi = std::max(Cursors->first, Cursors->second);
        // Times at a cursor (within the merge tolerance) belong to the rows.
        const auto first = std::find_if(t.begin(), t.end(), [lo](double v) { return v >= lo || sameTime(v, lo); });
        const auto after = std::find_if(first, t.end(), [hi](double v) { return v > hi && !sameTime(v, hi); });
        return {int(first - t.begin()), int(after - t.begin()) - 1};
    }
    if (Options.Range == TExportRange::All || t.size() < 2)
        return {0, last};
    // Last time below RangeMin and first time above RangeMax, so the rows
    // take in the neighbouring point outside the range on each side.
    const auto lo = std::lower_bound(t.begin(), t.end(), RangeMin);
    const int start = lo == t.begin() ? 0 : int(lo - t.begin()) - 1;
    const auto hi = std::upper_bound(t.begin(), t.end(), RangeMax);
    const int end = hi == t.end() ? last : int(hi - t.begin());
    return {start, std::max(start, end)};
}

TDataExport::TPlan TDataExport::Plan() const {
    TPlan plan;
    plan.Sel = Selection();
    plan.Times = MergedTimes(plan.Sel);
    plan.Rows = RowRange(plan.Times);
    const auto [start, end] = plan.Rows;
    const int rows = std::max(0, end - start + 1);
    m_summary = {int(plan.Sel.size()), rows, rows ? plan.Times[size_t(start)] : 0, rows ? plan.Times[size_t(end)] : 0};
    return plan;
}

void TDataExport::VisitRows(const std::vector<TExportEntry> &sel, const std::vector<double> &times,
                            std::pair<int, int> rows, const TRowVisitor &row) {
    const auto [start, end] = rows;
    if (end < start)
        return;
    // Each data set starts at its first point that can meet the first row:
    // not earlier than its time, within the merge tolerance, so a point
    // merged into that row is not skipped.
    const double first = times[size_t(start)];
    std::vector<int32_t> pos(sel.size());
    for (size_t s = 0; s < sel.size(); ++s) {
        const TDependency &d = *sel[s].Set;
        int32_t lo = 0, hi = exportCount(d);
        while (lo < hi) {
            const int32_t mid = lo + (hi - lo) / 2;
            const double x = d.X->Value(mid);
            if (x < first && !sameTime(x, first))
                lo = mid + 1;
            else
                hi = mid;
        }
        pos[s] = lo;
    }
    std::vector<std::optional<double>> values(sel.size());
    for (int k = start; k <= end; ++k) {
        const double t = times[size_t(k)];
        for (size_t s = 0; s < sel.size(); ++s) {
            const TDependency &d = *sel[s].Set;
            values[s].reset();
            if (pos[s] < exportCount(d) && sameTime(t, d.X->Value(pos[s]))) {
                values[s] = d.Y->Value(pos[s]);
                ++pos[s];
            }
        }
        row(t, values);
    }
}

bool TDataExport::WriteFile(const QString &path) const {
    const QByteArray bytes = Bytes();
    QSaveFile f(path);
    // The temporary file is dropped when anything fails, so an old file of
    // that name survives a failed export.
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        Messages().error(path + QStringLiteral(": ") + f.errorString());
        return false;
    }
    return true;
}

} // namespace tessel
