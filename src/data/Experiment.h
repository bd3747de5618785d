#pragma once

#include "data/Dependency.h"
#include "data/Transformation.h"
#include "data/Vector.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace tessel {

// Channel conditions of a measurement as stored in the file (28 bytes).
struct TConditions {
    uint8_t LogX = 0; // logarithmic x axis when the file was written
    std::array<uint8_t, 21> Reserved{};
    uint8_t SensA = 0, SensB = 0;
    uint8_t GainA = 0, OffsetA = 0;
    uint8_t GainB = 0, OffsetB = 0;

    static constexpr int kSize = 28;
    void ToBytes(uint8_t out[kSize]) const;
    static TConditions FromBytes(const uint8_t in[kSize]);
    bool operator==(const TConditions &) const = default;
};

// Per-channel scaling of new measurements, from the instrument configuration.
struct TChannelScaling {
    double MulA = 1, MulB = 1;
    double YShiftA = 0, YShiftB = 0;
    int32_t ThicknessB = 1; // channel B's line width (section "DataSet")
};

// One detector channel of a measurement: displayed y = Shift(Mul(Base(raw))).
// Members are declared so that the data set goes first and the
// transformations last.
struct TChannel {
    std::unique_ptr<TLinTransformation> Base, Mul, Shift;
    std::unique_ptr<TIntVector> Y;
    std::unique_ptr<TDoubleVector> X;
    std::unique_ptr<TDependency> Set;
};

// A measurement: two channel data sets, when and on what it was taken, and
// the protocol with its variable table as they were at that moment.
struct TMeasurementRecord {
    TChannel A, B;
    TConditions Conditions;
    double Time = 0; // days since 30 Dec 1899, fraction = time of day
    uint8_t DeviceType = 0;
    QStringList Protocol;
    QStringList VarNames, VarValues;

    TChannel &Channel(int c) { return c == 0 ? A : B; }
    const TChannel &Channel(int c) const { return c == 0 ? A : B; }
};

// Colours of successive measurements, red in the low byte.
constexpr std::array<TColor, 13> kMeasurementPalette = {0x000000, 0x0000FF, 0xFF0000, 0x008000, 0x000080,
                                                        0x800080, 0xFFFF00, 0x00FF00, 0xFF00FF, 0x008080,
                                                        0x800000, 0x808000, 0x00FFFF};

// The experiment without any window: title, description, the protocol, the
// measurement records and the counter. Record 0 is always the one prepared
// for the next measurement; 1 .. N-1 are the completed ones, newest first.
class TExperimentModel {
public:
    explicit TExperimentModel(const TChannelScaling &scaling = {});
    ~TExperimentModel();
    TExperimentModel(const TExperimentModel &) = delete;
    TExperimentModel &operator=(const TExperimentModel &) = delete;

    TChannelScaling Scaling;
    QString Title;
    QStringList Description;
    QStringList Protocol;
    int32_t MeasurementCounter = 0;
    bool LogarithmicX = false;

    // The x transformation shared by every x vector of the experiment.
    TLinTransformation &TrTime() { return *m_trTime; }
    const TLinTransformation &TrTime() const { return *m_trTime; }

    // N: the records including the prepared one.
    int RecordCount() const { return int(m_records.size()); }
    TMeasurementRecord &Record(int i) { return *m_records.at(size_t(i)); }
    const TMeasurementRecord &Record(int i) const { return *m_records.at(size_t(i)); }
    TMeasurementRecord &Current() { return Record(0); }

    // Fresh vectors, chains and data sets of the model's scaling.
    std::unique_ptr<TMeasurementRecord> NewRecord();
    // New scaling for the prepared record and every later one.
    void ApplyScaling(const TChannelScaling &scaling);
    // Back to one prepared record, no measurements; title, texts and
    // counter are kept.
    void ResetRecords();
    // Everything back to a new experiment.
    void Clear();

    // Before the data arrive: colour, marks, captions and capacities of the
    // current data sets; advances the counter. With a logarithmic x axis a
    // channel whose first planned time is <= 0 starts invisible.
    void PrepareMeasurementDataSets(int32_t plannedA, int32_t plannedB, double firstTimeA = 1, double firstTimeB = 1);
    // Once the data are in: the prepared record becomes a completed one and
    // a fresh prepared record takes its place.
    void RecordMeasurement(double time, uint8_t deviceType, const TConditions &conditions, const QStringList &protocol,
                           const QStringList &varNames, const QStringList &varValues);
    // Empties a data set; a completed record whose two sets then hold no
    // points is removed. Returns true when a record went.
    bool RemoveDataSet(TDependency *set);
    // Drops completed record i (1 .. N-1) with its data sets; the others and
    // the counter stay as they are.
    void RemoveRecord(int i);
    // The same, handing the record to the caller (null for no such record).
    std::unique_ptr<TMeasurementRecord> TakeRecord(int i);
    // Index of the record owning the data set, -1 when none.
    int IndexOf(const TDependency *set) const;
    // 50 per record plus 10 per sample of the completed records.
    int64_t SizeEstimate() const;

    // For the file reader.
    void ClearRecordsForLoad() { m_records.clear(); }
    void InsertFront(std::unique_ptr<TMeasurementRecord> r) { m_records.insert(m_records.begin(), std::move(r)); }

private:
    std::unique_ptr<TLinTransformation> m_trTime;
    std::vector<std::unique_ptr<TMeasurementRecord>> m_records;
};

// What identifies the sample of a measurement: a title, a note and the
// user's KEY=VALUE pairs (leaf, genotype, treatment ...). They ride in the
// measurement's variable table as rows named "meta:KEY", so that files keep
// their layout and older readers show them as variables.
inline const QString kMetaPrefix = QStringLiteral("meta:");
inline const QString kMetaTitle = QStringLiteral("title");
inline const QString kMetaNote = QStringLiteral("note");
using TMetadata = std::vector<std::pair<QString, QString>>;
// The pairs in the order stored, keys without the prefix.
TMetadata Metadata(const TMeasurementRecord &r);
QString MetadataValue(const TMeasurementRecord &r, const QString &key);
// Replaces the key's value, or adds it at the end; an empty value removes it.
void SetMetadata(TMeasurementRecord &r, const QString &key, const QString &value);
// A usable key: letters, digits, '_', '-' and '.'.
bool IsMetadataKey(const QString &key);
// "title; note; leaf=3, genotype=wt" for one line of text.
QString MetadataText(const TMeasurementRecord &r);

// Measurements are numbered 1 .. N-1 from the oldest, the order in which
// their captions count; records are indexed from the newest.
inline int MeasurementNumber(const TExperimentModel &m, int record) { return m.RecordCount() - record; }
// The record of measurement number n, -1 when there is none.
inline int RecordOfMeasurement(const TExperimentModel &m, int n) {
    return n >= 1 && n < m.RecordCount() ? m.RecordCount() - n : -1;
}

} // namespace tessel
