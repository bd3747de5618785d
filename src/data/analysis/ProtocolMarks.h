#pragma once

// Which samples of a measurement a protocol marks, and the actinic light over
// its time, recovered by running the compiler library on the protocol kept
// with the measurement.

#include "data/analysis/Analysis.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace tessel {

class ICompilerLibrary;

// What the recovery needs to know of the instrument type the measurement was
// taken on (the caller reads it from the configuration).
struct TMarkSetup {
    QString IncludeDir;
    double TimeBase = 1e-7;
    int32_t SamplesPerEventA = 1, SamplesPerEventB = 1;
    double SampleDistanceA = 1e-7, SampleDistanceB = 1e-7;
    int32_t MaxDAValue = 4095;
    // Variables that set actinic lights 1 and 2 (aliases "DAC3", "DAC5").
    QString Actinic1Alias = QStringLiteral("ActinicLevel"), Actinic2Alias = QStringLiteral("Actinic2Level");
    bool LevelsFromVariables = true; // the analog outputs are set from the variables
    bool TimedMacros = true;         // the instrument runs timed macros
};

struct TProtocolMarks {
    QString Problem; // the protocol did not compile
    std::array<TChannelMarks, 2> Channels;
    TLightPlan Light;
};

// A variable "mark:NAME" reports a mark's number; bits 16 to 23 of a
// switch-on carry it.
constexpr uint32_t kMarkShift = 16;
inline const QString kMarkVariablePrefix = QStringLiteral("mark:");

TProtocolMarks RecoverMarks(ICompilerLibrary &lib, const QStringList &protocol, const TMarkSetup &setup,
                            const TAnalysisConfig &config);

} // namespace tessel
