#include "output/CsvExport.h"

#include "common/NumberText.h"

namespace tessel {

QString TCsvExport::Field(const QString &text, QChar delimiter) {
    const bool quote = text.contains(delimiter) || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
    if (!quote)
        return text;
    QString q = text;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

QString TCsvExport::Neutralised(const QString &text) {
    static const QString risky = QStringLiteral("=+-@\t\r") + QChar(0x2212);
    if (!text.isEmpty() && risky.contains(text.front()))
        return u'\'' + text;
    return text;
}

QString TCsvExport::Number(double v, QChar decimal) {
    QString s = FormatMachine(v);
    if (decimal != u'.')
        s.replace(u'.', decimal);
    return s;
}

QString TCsvExport::Text() const {
    const TPlan plan = Plan();
    const QChar delim = Style.Delimiter;
    const QString eol = QStringLiteral("\r\n");
    QString out = QStringLiteral("Time");
    for (const TExportEntry &e : plan.Sel) {
        // The sample's identity goes with its columns: "Data Set A( 0 ) (Leaf 1; leaf=1)".
        const QString sample = e.Record > 0 ? MetadataText(m_model.Record(e.Record)) : QString();
        const QString caption =
            sample.isEmpty() ? e.Set->Caption : e.Set->Caption + QStringLiteral(" (%1)").arg(sample);
        out += delim + Field(Neutralised(caption), delim);
    }
    out += eol;
    VisitRows(plan.Sel, plan.Times, plan.Rows, [&](double t, const std::vector<std::optional<double>> &values) {
        out += Field(Number(t, Style.Decimal), delim);
        for (const std::optional<double> &v : values) {
            out += delim;
            if (v)
                out += Field(Number(*v, Style.Decimal), delim);
        }
        out += eol;
    });
    return out;
}

} // namespace tessel
