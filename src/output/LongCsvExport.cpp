#include "output/LongCsvExport.h"

#include "common/NumberText.h"
#include "data/ExperimentFile.h"
#include "output/CsvExport.h"

#include <algorithm>

namespace tessel {

TLongCsvExport::TMarkHook &TLongCsvExport::DefaultMarks() {
    static TMarkHook hook;
    return hook;
}

TLongCsvExport::TLongCsvExport(const TExperimentModel &model, QString fileName)
    : TDataExport(model, std::move(fileName)), Marks(DefaultMarks()) {}

QString TLongCsvExport::Text() const {
    TPlan plan = Plan();
    // Oldest measurement first, A before B (the selection runs newest first, B before A).
    std::stable_sort(plan.Sel.begin(), plan.Sel.end(), [](const TExportEntry &a, const TExportEntry &b) {
        return a.Record != b.Record ? a.Record > b.Record : a.Channel < b.Channel;
    });
    const bool anyRow = plan.Rows.first <= plan.Rows.second;
    const double from = anyRow ? plan.Times[size_t(plan.Rows.first)] : 0;
    const double to = anyRow ? plan.Times[size_t(plan.Rows.second)] : -1;
    // The same tolerance as the rows of the wide table.
    auto inside = [&](double t) { return (t - from) * 1e7 > -1 && (to - t) * 1e7 > -1; };

    // Title and note first, then the keys as they first appear.
    QStringList keys;
    for (const TExportEntry &e : plan.Sel)
        for (const auto &kv : Metadata(m_model.Record(e.Record)))
            if (!keys.contains(kv.first))
                keys << kv.first;
    for (const QString &k : {kMetaNote, kMetaTitle})
        if (keys.removeAll(k) > 0)
            keys.prepend(k);
    static const QStringList fixed{"measurement", "measured", "channel", "t", "value", "mark"};

    const QChar comma = u',';
    const QString eol = QStringLiteral("\r\n");
    auto field = [&](const QString &s) { return TCsvExport::Field(TCsvExport::Neutralised(s), comma); };
    QString out;
    out += QStringLiteral("# Tessel long table of ") + m_fileName + QStringLiteral(": one row per sample") + eol;
    out += QStringLiteral("# units: t in s; value as the graph shows it: the channel's signal in V times its "
                          "Multiplication plus its YShift") +
           eol;
    QStringList head{"measurement", "measured"};
    for (const QString &k : keys)
        head << field(fixed.contains(k) ? kMetaPrefix + k : k);
    head << "channel"
         << "t"
         << "value"
         << "mark";
    out += head.join(comma) + eol;

    int rows = 0;
    int lastRecord = -1;
    std::array<std::vector<QString>, 2> marks;
    for (const TExportEntry &e : plan.Sel) {
        const TMeasurementRecord &r = m_model.Record(e.Record);
        if (e.Record != lastRecord) {
            marks = Marks && e.Record > 0 ? Marks(r) : std::array<std::vector<QString>, 2>{};
            lastRecord = e.Record;
        }
        const std::optional<QDateTime> when = e.Record > 0 ? DateTimeFromDays(r.Time) : std::nullopt;
        QString lead = QString::number(MeasurementNumber(m_model, e.Record)) + comma +
                       (when ? when->toString(Qt::ISODate) : QString());
        for (const QString &k : keys)
            lead += comma + field(MetadataValue(r, k));
        lead += comma + (e.Channel == 0 ? u'A' : u'B') + comma;
        const TDependency &d = *e.Set;
        const int32_t n = d.X ? std::min(d.Count(), d.X->Count()) : 0;
        const std::vector<QString> &mark = marks[size_t(e.Channel)];
        for (int32_t i = 0; i < n; ++i) {
            const double t = d.X->Value(i);
            if (!inside(t))
                continue;
            out += lead + FormatMachine(t) + comma + FormatMachine(d.Y->Value(i)) + comma +
                   (size_t(i) < mark.size() ? field(mark[size_t(i)]) : QString()) + eol;
            ++rows;
        }
    }
    m_summary.Rows = rows;
    return out;
}

} // namespace tessel
