#pragma once

#include "common/GraphBounds.h"
#include "compiler/CompilerConstants.h"

#include <QString>
#include <array>

namespace tessel {

constexpr int kPrintColumns = 17;
// Keys of the analog-output aliases; there is no fourth output.
inline const std::array<QString, 5> kDacKeys = {QStringLiteral("DAC1"), QStringLiteral("DAC2"), QStringLiteral("DAC3"),
                                                QStringLiteral("DAC5"), QStringLiteral("DAC6")};

// The instrument configuration of the current instrument type. Replaced as a
// whole whenever the type changes.
struct TInstrumentConfig {
    QString DeviceText;
    double MoChA = 1.0, MoChB = 1.0;
    int32_t BitResA = 1, BitResB = 1;
    double MulA = 1.0, MulB = 1.0;
    double YShiftA = 0.0, YShiftB = 0.0;
    bool DetectorAUnsigned = false, DetectorBUnsigned = false;
    int32_t MaxDAValue = 1;
    std::array<QString, 5> DacAliases = kDacKeys;
    int32_t MaxSignals = 10;
    QString IncludeDir;
    // Unit of the displayed signal, for the graphs' y titles ("Main", "SignalUnit").
    QString SignalUnit = QStringLiteral("V");
    std::array<bool, kPrintColumns> DePrnCol = [] {
        std::array<bool, kPrintColumns> a{};
        a.fill(true);
        return a;
    }();
    // Constants handed to the event table builder.
    TCompilerConstants Compiler = [] {
        TCompilerConstants c;
        c.SampleDistanceA = c.SampleDistanceB = 1.0;
        c.MaxEvents = c.MaxASamples = c.MaxBSamples = 32768;
        for (TLineBounds &l : c.Bounds)
            l = TLineBounds{};
        return c;
    }();
};

// Reads the sections <deviceText>Consts and <deviceText>EventBounds, then
// "Aliases" and "Main", with the ini error report switched on.
TInstrumentConfig ReadInstrumentConfig(const QString &iniPath, const QString &deviceText);
// Parses one "EventBounds" value: SpaceMin;SpaceMax;PulseMin;PulseMax;flags.
TLineBounds ParseLineBounds(const QString &value);

// The program's include folder: "IncludeDir" below the program's folder, or
// "include/" when none is configured; always with a closing slash.
QString IncludeBaseDir(const TInstrumentConfig &c);

TGraphBounds ReadGraphBounds(const QString &iniPath, const QString &section);
int32_t ReadThickness(const QString &iniPath);
void SavePrintColumns(const QString &iniPath, const std::array<bool, kPrintColumns> &cols);
void SaveThickness(const QString &iniPath, int32_t thickness);

// The process-wide values other parts read.
struct TProcessConfig {
    TInstrumentConfig Instrument;
    TGraphBounds GraphBounds;
    TGraphBounds SignalBounds;
    int32_t Thickness = 1;
};
TProcessConfig &Config();

} // namespace tessel
