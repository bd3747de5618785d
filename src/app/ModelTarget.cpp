#include "app/ModelTarget.h"

#include "authoring/ProtocolDoc.h"

namespace tessel {

TModelTarget::TModelTarget(TExperimentModel &model, TProtocolDoc &protocol, QObject *parent)
    : QObject(parent), m_model(model), m_protocol(protocol) {}

int ShownDataSetCount(const TExperimentModel &model, bool excludeEmpty) {
    int n = 0;
    for (int i = 1; i < model.RecordCount(); ++i) {
        const TMeasurementRecord &r = model.Record(i);
        const bool a = r.A.Set->Count() > 0, b = r.B.Set->Count() > 0;
        n += (!excludeEmpty || a || !b) + (!excludeEmpty || b);
    }
    return n;
}

void TModelTarget::BeginRun() {
    ++Runs;
    m_model.Current().A.Set->SetCount(0);
    m_model.Current().B.Set->SetCount(0);
}

void TModelTarget::PrepareMeasurementDataSets(int32_t plannedA, int32_t plannedB, double firstTimeA,
                                              double firstTimeB) {
    m_model.PrepareMeasurementDataSets(plannedA, plannedB, firstTimeA, firstTimeB);
}

void TModelTarget::RecordMeasurement(double time, uint8_t deviceType, const TConditions &conditions,
                                     const TProtocolSnapshot &protocol) {
    QStringList names, values;
    for (const auto &[name, value] : protocol.Variables) {
        names << name;
        values << value;
    }
    m_model.Protocol = m_protocol.Text.split(QLatin1Char('\n'));
    m_model.RecordMeasurement(time, deviceType, conditions, protocol.Text, names, values);
}

void TModelTarget::StartNextMeasurement() {
    m_measuring = false;
    Modified = true;
}

void TModelTarget::ShowResult(bool autoScale) {
    ++Results;
    AutoScaled = autoScale;
}

} // namespace tessel
