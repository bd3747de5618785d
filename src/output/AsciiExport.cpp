#include "output/AsciiExport.h"

#include "data/ExperimentFile.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace tessel {
namespace {

const QString kRule = QStringLiteral("-----------------------------------");
const QString kEol = QStringLiteral("\r\n");
const QChar kTab = u'\t';

} // namespace

QString TAsciiExport::number(double v, int digits) const {
    // Qt's own formatting never looks at the process's C locale.
    QString s = QString::number(v + 0.0, 'g', digits);
    s.replace(u'.', Locale.decimalPoint());
    return s;
}

QString TAsciiExport::dateTime(double days) const {
    const std::optional<QDateTime> dt = DateTimeFromDays(days);
    if (!dt)
        return {};
    QString text = Locale.toString(dt->date(), QLocale::ShortFormat);
    if (dt->time() != QTime(0, 0)) {
        // The locale's long time form without a time zone, which the stored
        // time does not have.
        QString fmt = Locale.timeFormat(QLocale::LongFormat);
        fmt.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
        text += u' ' + Locale.toString(dt->time(), fmt.trimmed());
    }
    return text;
}

QString TAsciiExport::Text() const {
    const TPlan plan = Plan();
    const std::vector<TExportEntry> &sel = plan.Sel;
    const int rows = m_summary.Rows;

    QString out;
    auto line = [&out](const QString &s) { out += s + kEol; };
    line(QStringLiteral("Tessel ASCII Export File"));
    line(kRule);
    line(QStringLiteral("File Name         :") + m_fileName);
    if (Options.IncludeHeader) {
        line(QStringLiteral("Title             :") + m_model.Title);
        line(QStringLiteral("Time Selection    :") + ExportRangeText(Options.Range));
        // Without rows there is no start or end: the lines stay empty.
        line(QStringLiteral("Start time        :") + (rows ? number(m_summary.StartTime, 15) : QString()));
        line(QStringLiteral("End time          :") + (rows ? number(m_summary.EndTime, 15) : QString()));
        line(QStringLiteral("Data Lines        :") + QString::number(rows));
        line(QStringLiteral("Selected Data Sets: ") +
             (Options.Sets == TExportSets::All ? QStringLiteral("All") : QStringLiteral("Visible")));
        for (auto it = sel.rbegin(); it != sel.rend(); ++it) {
            QString s = QStringLiteral("  ") + it->Set->Caption + kTab + u':' + QString::number(it->Set->Count()) +
                        kTab + dateTime(it->Time) + kTab + u'[';
            for (int k = 0; k < 3; ++k) {
                // Tenths of a percent, halves to even (the default rounding mode).
                const double pct = std::nearbyint(it->Settings[k] * 1000.0 / 1023.0) / 10.0;
                s += number(pct, 15) + u'%' + (k < 2 ? QStringLiteral(",") : QString());
            }
            const QString na = QStringLiteral("---");
            s += u']' + QString(kTab) + QStringLiteral("Gain:") + (it->HasGainOffset ? QString::number(it->Gain) : na) +
                 kTab + QStringLiteral("Offs:") + (it->HasGainOffset ? QString::number(it->Offset) : na);
            line(s);
        }
    }
    line(kRule);
    for (const TExportEntry &e : sel) {
        const TMeasurementRecord &r = m_model.Record(e.Record);
        // A completed measurement carries its protocol sheet; one without
        // protocol or variables has none.
        if (r.Protocol.isEmpty() && r.VarNames.isEmpty())
            continue;
        line(e.Set->Caption);
        QString names = QStringLiteral("Param"), values = QStringLiteral("Value");
        for (qsizetype v = 0; v < r.VarNames.size(); ++v) {
            names += kTab + r.VarNames[v];
            values += kTab + r.VarValues.value(v);
        }
        line(names);
        line(values);
        line({});
    }
    line(kRule);
    QString columns = QStringLiteral("Time");
    for (const TExportEntry &e : sel)
        columns += kTab + e.Set->Caption;
    line(columns);

    VisitRows(sel, plan.Times, plan.Rows, [&](double t, const std::vector<std::optional<double>> &values) {
        QString row = number(t, 15);
        for (const std::optional<double> &v : values) {
            row += kTab;
            if (v)
                row += number(*v, 5);
        }
        line(row);
    });
    return out;
}

} // namespace tessel
