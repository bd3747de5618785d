#pragma once

// Deterministic experiments for the file tests, the CLI tests and the
// benchmark.
#include "data/Experiment.h"

#include <cmath>

namespace tessel::test {

// Fills `measurements` completed measurements of `samples` points per
// channel (channel B gets half as many in every second measurement).
inline void FillSampleExperiment(TExperimentModel &m, int measurements, int samples) {
    m.Title = QStringLiteral("Quenching analysis");
    m.Description = {QStringLiteral("Leaf 3, dark adapted 20 min"), QStringLiteral("Temperature 22 \u00b0C")};
    m.Protocol = {QStringLiteral("; quenching"), QStringLiteral("Gain = 3"), QStringLiteral("measure 10ms")};
    for (int k = 0; k < measurements; ++k) {
        const int nB = (k % 2) ? samples / 2 : samples;
        m.PrepareMeasurementDataSets(samples, nB);
        TMeasurementRecord &r = m.Current();
        const int counts[2] = {samples, nB};
        for (int c = 0; c < 2; ++c) {
            TChannel &ch = r.Channel(c);
            ch.Set->SetCount(counts[c]);
            for (int i = 0; i < counts[c]; ++i) {
                ch.X->SetItem(i, (i + 1) * 1e-3 * (k + 1));
                ch.Y->SetItem(i, int(std::lround(3000 * std::sin(0.01 * i + k) * (c + 1))) + 7 * k);
            }
        }
        r.A.Shift->AddKoef = 0.25 * k;
        r.B.Mul->MulKoef = 1.5 + k;
        TConditions cond;
        cond.SensA = uint8_t(1 + k);
        cond.SensB = uint8_t(2 + k);
        cond.GainA = 3;
        cond.OffsetA = 4;
        cond.GainB = 5;
        cond.OffsetB = uint8_t(200 + k);
        m.RecordMeasurement(46000.25 + k + k / 7.0, uint8_t(8 + k), cond, m.Protocol,
                            {QStringLiteral("Gain"), QStringLiteral("Light")},
                            {QString::number(3 + k), QStringLiteral("500")});
    }
}

} // namespace tessel::test
