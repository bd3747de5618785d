#pragma once

// Fluorescence parameters of a measurement from the marked groups of its
// samples. No widgets and no compiler here: what the protocol says about the
// samples comes in as TChannelMarks and TLightPlan (see ProtocolMarks.h).

#include "data/analysis/LightCurveFit.h"

#include <QJsonObject>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace tessel {

struct TMeasurementRecord;

// The standard quantities a protocol marks.
inline const QString kMarkFo = QStringLiteral("Fo");
inline const QString kMarkFm = QStringLiteral("Fm");
inline const QString kMarkFs = QStringLiteral("Fs");
inline const QString kMarkFmP = QStringLiteral("Fm'");
inline const QString kMarkFoP = QStringLiteral("Fo'");
// Flashes in the dark after actinic light, for the relaxation of quenching.
inline const QString kMarkFmPP = QStringLiteral("Fm''");
// "F0" is as common a spelling as "Fo"; both name the same group.
QString NormalMarkName(const QString &name);

// Calibration and constants of the analysis (Tessel.ini, "Analysis").
struct TAnalysisConfig {
    // PAR (µmol photons m⁻² s⁻¹) of actinic lights 1 and 2 by level (% of
    // full scale), ascending levels; empty = not calibrated.
    std::vector<std::pair<double, double>> Actinic1Par, Actinic2Par;
    double PsiiShare = 0.5;    // share of absorbed light that reaches PSII
    double Absorptance = 0.84; // share of incident light the leaf absorbs
    TLightCurveModel LightCurveModel = TLightCurveModel::Platt;
};

// PAR of a lamp at a level (%) by linear interpolation in the table, and
// extrapolation from its end segments; a one-point table is a constant.
// Nothing for an empty table.
std::optional<double> ParFromLevel(const std::vector<std::pair<double, double>> &table, double level);
// "LEVEL:PAR, LEVEL:PAR, ..." sorted by level; nothing when unreadable.
std::optional<std::vector<std::pair<double, double>>> ParseParTable(const QString &text);

// A run of neighbouring samples of a channel with one mark (the samples of
// one flash, say): their indices and the time of the first.
struct TMarkedStep {
    double Time = 0;
    std::vector<int32_t> Samples;
};
struct TMarkGroupDef {
    QString Name;
    std::vector<TMarkedStep> Steps; // by time
};
// What the protocol says about the samples of one channel.
struct TChannelMarks {
    int32_t SampleCount = 0;
    std::vector<TMarkGroupDef> Groups;
    std::vector<double> Times{}; // of every sample, when known (for the induction trace)
};

// The actinic PAR the leaf sees, as it changes over the protocol's time.
struct TLightPlan {
    struct Change {
        double Time = 0;
        std::optional<double> Par; // nothing: a lamp without calibration is on
    };
    std::vector<Change> Changes;     // by time; before the first one the PAR is 0
    std::optional<double> FirstOn{}; // when an actinic light is first switched on
    std::optional<double> ParAt(double time) const;
};

// A value, or the reason there is none: a missing input ("no Fm'") or a zero
// denominator ("Fm is zero").
struct TValue {
    TValue() = default;
    TValue(std::optional<double> value, QString reason, std::optional<double> se = std::nullopt)
        : Value(value), Reason(std::move(reason)), SE(se) {}
    std::optional<double> Value;
    QString Reason;
    std::optional<double> SE; // standard error, for fitted values
};

enum TParameter {
    prFvFm,
    prPhiPSII,
    prNPQ,
    prQP,
    prQN,
    prQL,
    prETR,
    prPhiNPQ, // quantum yield of regulated non-photochemical loss
    prPhiNO,  // of non-regulated loss
    prQE,     // quenching that relaxed in the dark after the light
    prQI,     // quenching left at the last dark flash
    prAlpha,  // the light curve's fit: initial slope
    prEtrMax, // its maximal ETR
    prIk,     // its saturation PAR, ETRmax / alpha
    prBeta,   // its photoinhibition (Platt's model)
    prR2,     // the fit's coefficient of determination
    prFj,     // induction (JIP-test): F at 2 ms after light-on
    prFi,     // F at 30 ms
    prFP,     // the trace's maximum (the test's Fm)
    prVj,     // relative variable fluorescence at J
    prVi,     // at I
    prMo,     // initial slope, per ms
    prPIabs,  // performance index on absorption basis
    prTFm,    // time of the maximum after light-on, s
    kParameterCount
};
// Names as shown and as keys in JSON and CSV: "Fv/Fm", "PhiPSII", ...
QString ParameterName(int p);
// The fitted parameters, which carry a standard error.
bool HasStandardError(int p);
using TParameters = std::array<TValue, kParameterCount>;

// The group values the formulas use; nothing where the group is missing.
struct TGroupValues {
    std::optional<double> Fo, Fm, Fs, FmP, FoP, Par;
    std::optional<double> FmPP{}; // Fm'' of the last dark flash after the light
};
// The level of the group with this mark name ("Fo", "Fm'" ...); Fm'' for any other.
std::optional<double> GroupLevel(const TGroupValues &v, const QString &mark);
TParameters ComputeParameters(const TGroupValues &v, const TAnalysisConfig &config);
// The JIP-test of a fast induction trace: (time after light-on in s, F) by
// time; fo the marked dark level, else the first sample (by 50 µs) is Fo.
// Fills Fj ... tFm of p, and Fv/Fm from the trace's maximum where no Fm is
// marked.
void InductionParameters(const std::vector<std::pair<double, double>> &trace, std::optional<double> fo, TParameters &p);

struct TStepStats {
    double Time = 0;
    int32_t Count = 0;
    double Mean = 0;
};
struct TGroupStats {
    QString Name;
    int32_t Count = 0;
    double Mean = 0, SD = 0; // SD with n - 1; 0 for a single sample
    std::vector<TStepStats> Steps;
};
// Parameters at one saturating flash of a series.
struct TStepParameters {
    double Time = 0;
    std::optional<double> Par;
    TParameters Values;
    TGroupValues Inputs; // the levels its values come from
    bool Dark = false;   // a flash of the relaxation in the dark (Fm'')
};
struct TChannelAnalysis {
    QString Problem; // set when the channel could not be analysed
    std::vector<TGroupStats> Groups;
    std::optional<double> Par; // at the flash the headline values come from
    TParameters Values;
    // One per flash of a series under light (when Fm' has several steps paired
    // with Fs), then one per dark relaxation flash (Fm'').
    std::vector<TStepParameters> Steps;
    std::optional<TLightCurveFit> LightCurve; // when the flashes saw several PARs
};
// y: the channel's displayed values.
TChannelAnalysis AnalyseChannel(const std::vector<double> &y, const TChannelMarks &marks, const TLightPlan &light,
                                const TAnalysisConfig &config);

struct TRecordAnalysis {
    QString Problem; // the protocol could not be read; no channel was analysed
    std::array<TChannelAnalysis, 2> Channels;
    bool HasMarks() const;
};
TRecordAnalysis AnalyseRecord(const TMeasurementRecord &r, const std::array<TChannelMarks, 2> &marks,
                              const TLightPlan &light, const TAnalysisConfig &config);

// {"channels": [{"channel": "A", "groups": [...], "parameters": {...},
// "steps": [...]}, ...]} or {"problem": "..."}; parameters without a value
// are null with their reason under "reasons".
QJsonObject AnalysisJson(const TRecordAnalysis &a);

} // namespace tessel
