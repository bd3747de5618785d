#include "output/JsonExport.h"

#include "common/NumberText.h"
#include "data/ExperimentFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace tessel {
namespace {

QJsonObject scaling(const TLinTransformation *mul, const TLinTransformation *shift) {
    // displayed = (raw * multiply) + shift, as the data table's columns say.
    // A switched-off step passes its input on unchanged.
    return QJsonObject{{"multiply", mul && mul->Enabled ? mul->MulKoef : 1.0},
                       {"shift", shift && shift->Enabled ? shift->AddKoef : 0.0}};
}

QJsonArray lines(const QStringList &l) { return QJsonArray::fromStringList(l); }

} // namespace

TJsonExport::TJsonExport(const TExperimentModel &model, QString fileName)
    : TDataExport(model, std::move(fileName)), Parameters(DefaultParameters()) {}

TJsonExport::TParameterHook &TJsonExport::DefaultParameters() {
    static TParameterHook hook;
    return hook;
}

QJsonObject TJsonExport::Document() const {
    const TPlan plan = Plan();
    // The chosen rows as a time window; every exported channel keeps its
    // own points inside it.
    std::vector<std::vector<double>> xs(plan.Sel.size()), ys(plan.Sel.size());
    VisitRows(plan.Sel, plan.Times, plan.Rows, [&](double t, const std::vector<std::optional<double>> &values) {
        for (size_t s = 0; s < values.size(); ++s)
            if (values[s]) {
                xs[s].push_back(t);
                ys[s].push_back(*values[s]);
            }
    });

    QJsonArray records;
    for (size_t s = 0; s < plan.Sel.size();) {
        const int index = plan.Sel[s].Record;
        const TMeasurementRecord &r = m_model.Record(index);
        QJsonArray channels;
        // Selection order is B then A; the document lists A first.
        std::vector<size_t> mine;
        for (; s < plan.Sel.size() && plan.Sel[s].Record == index; ++s)
            mine.insert(mine.begin(), s);
        for (size_t k : mine) {
            const TExportEntry &e = plan.Sel[k];
            const TChannel &ch = r.Channel(e.Channel);
            QJsonArray x, y;
            for (size_t i = 0; i < xs[k].size(); ++i) {
                x.append(xs[k][i]);
                y.append(ys[k][i]);
            }
            channels.append(QJsonObject{{"channel", e.Channel == 0 ? "A" : "B"},
                                        {"caption", e.Set->Caption},
                                        {"visible", e.Set->Visible},
                                        {"points", e.Set->Count()},
                                        {"scaling", scaling(ch.Mul.get(), ch.Shift.get())},
                                        {"x", x},
                                        {"y", y}});
        }
        QJsonArray vars;
        for (qsizetype v = 0; v < r.VarNames.size(); ++v)
            vars.append(QJsonObject{{"name", r.VarNames[v]}, {"value", r.VarValues.value(v)}});
        const std::optional<QDateTime> when = DateTimeFromDays(r.Time);
        const TConditions &c = r.Conditions;
        const bool gain = HasGainAndOffset(r.DeviceType);
        QJsonObject conditions{{"logarithmicX", c.LogX != 0},
                               {"sensitivityA", c.SensA},
                               {"sensitivityB", c.SensB},
                               {"hasGainAndOffset", gain}};
        if (gain) {
            conditions["gainA"] = c.GainA;
            conditions["offsetA"] = c.OffsetA;
            conditions["gainB"] = c.GainB;
            conditions["offsetB"] = c.OffsetB;
        }
        QJsonObject meta;
        for (const auto &[key, value] : Metadata(r))
            meta[key] = value;
        records.append(QJsonObject{{"record", index},
                                   {"measurement", MeasurementNumber(m_model, index)},
                                   {"metadata", meta},
                                   {"time", when ? QJsonValue(when->toString(Qt::ISODateWithMs)) : QJsonValue()},
                                   {"timeDays", r.Time},
                                   {"deviceType", r.DeviceType},
                                   {"conditions", conditions},
                                   {"protocol", QJsonObject{{"text", lines(r.Protocol)}, {"variables", vars}}},
                                   {"parameters", Parameters ? Parameters(r) : QJsonObject{}},
                                   {"channels", channels}});
    }

    const TLinTransformation &tr = m_model.TrTime();
    QJsonObject selection{{"sets", Options.Sets == TExportSets::All ? "all" : "visible"},
                          {"data", ExportRangeText(Options.Range)},
                          {"rows", m_summary.Rows}};
    if (m_summary.Rows > 0) {
        selection["startTime"] = m_summary.StartTime;
        selection["endTime"] = m_summary.EndTime;
    }
    return QJsonObject{{"format", "tessel-export"},
                       {"version", kFormatVersion},
                       {"file", m_fileName},
                       {"title", m_model.Title},
                       {"description", lines(m_model.Description)},
                       {"timeScaling", scaling(&tr, &tr)},
                       {"selection", selection},
                       {"records", records}};
}

QByteArray TJsonExport::Bytes() const {
    return QJsonDocument(MachineJson(Document()).toObject()).toJson(QJsonDocument::Compact);
}

} // namespace tessel
