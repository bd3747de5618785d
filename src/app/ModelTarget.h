#pragma once

#include "app/MeasurementRun.h"

#include <QObject>

namespace tessel {

// Data sets of the completed measurements as the experiment window's graph
// holds them (what "MaxSignals" limits): both channels of each, an empty one
// left out when excludeEmpty (the option "ExcludeCh"), channel A kept when
// both are empty.
int ShownDataSetCount(const TExperimentModel &model, bool excludeEmpty);

// An experiment without a window as the target of a measurement: what the
// command line measures into, and what the tests watch.
class TModelTarget : public QObject, public IMeasurementTarget {
public:
    TModelTarget(TExperimentModel &model, TProtocolDoc &protocol, QObject *parent = nullptr);

    TExperimentModel &Model() override { return m_model; }
    TProtocolDoc &Protocol() override { return m_protocol; }
    // As the window counts them (ShownDataSetCount).
    int DataSetCount() const override { return ShownDataSetCount(m_model, ExcludeEmptyChannels); }
    bool ExcludeEmptyChannels = true;
    void BeginRun() override;
    void SetMeasuring(bool on) override { m_measuring = on; }
    void PrepareMeasurementDataSets(int32_t plannedA, int32_t plannedB, double firstTimeA, double firstTimeB) override;
    // The measurement keeps the protocol as last checked and its variables;
    // the experiment's current protocol becomes the editor's text.
    void RecordMeasurement(double time, uint8_t deviceType, const TConditions &conditions,
                           const TProtocolSnapshot &protocol) override;
    void StartNextMeasurement() override;
    void ShowResult(bool autoScale) override;

    bool Measuring() const { return m_measuring; }
    bool Modified = false;
    int Runs = 0;    // BeginRun calls
    int Results = 0; // ShowResult calls
    bool AutoScaled = false;

private:
    TExperimentModel &m_model;
    TProtocolDoc &m_protocol;
    bool m_measuring = false;
};

} // namespace tessel
