#include "data/Experiment.h"

#include <algorithm>
#include <cstring>

namespace tessel {

void TConditions::ToBytes(uint8_t out[kSize]) const {
    out[0] = LogX;
    std::memcpy(out + 1, Reserved.data(), Reserved.size());
    out[22] = SensA;
    out[23] = SensB;
    out[24] = GainA;
    out[25] = OffsetA;
    out[26] = GainB;
    out[27] = OffsetB;
}

TConditions TConditions::FromBytes(const uint8_t in[kSize]) {
    TConditions c;
    c.LogX = in[0];
    std::memcpy(c.Reserved.data(), in + 1, c.Reserved.size());
    c.SensA = in[22];
    c.SensB = in[23];
    c.GainA = in[24];
    c.OffsetA = in[25];
    c.GainB = in[26];
    c.OffsetB = in[27];
    return c;
}

TExperimentModel::TExperimentModel(const TChannelScaling &scaling)
    : Scaling(scaling), m_trTime(std::make_unique<TLinTransformation>()) {
    ResetRecords();
}

TExperimentModel::~TExperimentModel() { m_records.clear(); }

std::unique_ptr<TMeasurementRecord> TExperimentModel::NewRecord() {
    auto r = std::make_unique<TMeasurementRecord>();
    for (int c = 0; c < 2; ++c) {
        TChannel &ch = r->Channel(c);
        ch.Base = std::make_unique<TLinTransformation>();
        ch.Mul = std::make_unique<TLinTransformation>();
        ch.Mul->MulKoef = c == 0 ? Scaling.MulA : Scaling.MulB;
        ch.Shift = std::make_unique<TLinTransformation>();
        ch.Shift->AddKoef = c == 0 ? Scaling.YShiftA : Scaling.YShiftB;
        ch.Shift->SetTransformBefore(ch.Mul.get());
        ch.Mul->SetTransformBefore(ch.Base.get());
        ch.Y = std::make_unique<TIntVector>();
        ch.Y->SetTransformation(ch.Shift.get());
        ch.X = std::make_unique<TDoubleVector>();
        ch.X->SetTransformation(m_trTime.get());
        ch.Set = std::make_unique<TDependency>(ch.X.get(), ch.Y.get());
        ch.Set->DrawStyle = dsPoint;
        if (c == 1)
            ch.Set->Thickness = Scaling.ThicknessB;
    }
    return r;
}

void TExperimentModel::ApplyScaling(const TChannelScaling &scaling) {
    Scaling = scaling;
    TMeasurementRecord &r = Current();
    r.A.Mul->MulKoef = scaling.MulA;
    r.B.Mul->MulKoef = scaling.MulB;
    r.A.Shift->AddKoef = scaling.YShiftA;
    r.B.Shift->AddKoef = scaling.YShiftB;
    r.B.Set->Thickness = scaling.ThicknessB;
}

void TExperimentModel::ResetRecords() {
    m_records.clear();
    m_records.push_back(NewRecord());
}

void TExperimentModel::Clear() {
    Title.clear();
    Description.clear();
    Protocol.clear();
    MeasurementCounter = 0;
    LogarithmicX = false;
    ResetRecords();
}

void TExperimentModel::PrepareMeasurementDataSets(int32_t plannedA, int32_t plannedB, double firstTimeA,
                                                  double firstTimeB) {
    TMeasurementRecord &r = Current();
    const TColor colour = kMeasurementPalette[size_t(uint32_t(MeasurementCounter) % kMeasurementPalette.size())];
    const int32_t planned[2] = {plannedA, plannedB};
    const double first[2] = {firstTimeA, firstTimeB};
    for (int c = 0; c < 2; ++c) {
        TDependency &d = *r.Channel(c).Set;
        d.Color = colour;
        d.Brush.Color = c == 0 ? colour : clWhite;
        d.PointStyle = c == 0 ? ptCircle : ptSquare;
        d.Caption = QStringLiteral("Data Set %1( %2 )").arg(QLatin1Char(c == 0 ? 'A' : 'B')).arg(MeasurementCounter);
        d.SetCapacity(std::max(0, planned[c]));
        if (LogarithmicX && planned[c] > 0 && first[c] <= 0)
            d.Visible = false;
    }
    ++MeasurementCounter;
}

void TExperimentModel::RecordMeasurement(double time, uint8_t deviceType, const TConditions &conditions,
                                         const QStringList &protocol, const QStringList &varNames,
                                         const QStringList &varValues) {
    TMeasurementRecord &r = Current();
    r.Time = time;
    r.DeviceType = deviceType;
    r.Conditions = conditions;
    r.Protocol = protocol;
    r.VarNames = varNames;
    r.VarValues = varValues;
    InsertFront(NewRecord());
}

int TExperimentModel::IndexOf(const TDependency *set) const {
    for (size_t i = 0; i < m_records.size(); ++i)
        if (m_records[i]->A.Set.get() == set || m_records[i]->B.Set.get() == set)
            return int(i);
    return -1;
}

bool TExperimentModel::RemoveDataSet(TDependency *set) {
    const int i = IndexOf(set);
    if (i < 0)
        return false;
    set->SetCapacity(0);
    TGraphRegistry::Instance().RemoveFromAll(set);
    TMeasurementRecord &r = Record(i);
    if (i > 0 && r.A.Set->Count() == 0 && r.B.Set->Count() == 0) {
        m_records.erase(m_records.begin() + i);
        return true;
    }
    return false;
}

void TExperimentModel::RemoveRecord(int i) { TakeRecord(i); }

std::unique_ptr<TMeasurementRecord> TExperimentModel::TakeRecord(int i) {
    if (i < 1 || i >= RecordCount())
        return nullptr;
    std::unique_ptr<TMeasurementRecord> r = std::move(m_records[size_t(i)]);
    TGraphRegistry::Instance().RemoveFromAll(r->A.Set.get());
    TGraphRegistry::Instance().RemoveFromAll(r->B.Set.get());
    m_records.erase(m_records.begin() + i);
    return r;
}

int64_t TExperimentModel::SizeEstimate() const {
    int64_t samples = 0;
    for (size_t i = 1; i < m_records.size(); ++i)
        samples += m_records[i]->A.Set->Count() + m_records[i]->B.Set->Count();
    return 50 * int64_t(m_records.size()) + 10 * samples;
}

TMetadata Metadata(const TMeasurementRecord &r) {
    TMetadata out;
    for (qsizetype i = 0; i < r.VarNames.size(); ++i)
        if (r.VarNames[i].startsWith(kMetaPrefix))
            out.emplace_back(r.VarNames[i].mid(kMetaPrefix.size()), r.VarValues.value(i));
    return out;
}

QString MetadataValue(const TMeasurementRecord &r, const QString &key) {
    const qsizetype i = r.VarNames.indexOf(kMetaPrefix + key);
    return i < 0 ? QString() : r.VarValues.value(i);
}

void SetMetadata(TMeasurementRecord &r, const QString &key, const QString &value) {
    const QString name = kMetaPrefix + key;
    // The names column fixes the rows; the values column may be short.
    while (r.VarValues.size() < r.VarNames.size())
        r.VarValues.append(QString());
    const qsizetype i = r.VarNames.indexOf(name);
    if (value.isEmpty()) {
        if (i >= 0) {
            r.VarNames.removeAt(i);
            r.VarValues.removeAt(i);
        }
    } else if (i >= 0) {
        r.VarValues[i] = value;
    } else {
        r.VarNames.append(name);
        r.VarValues.append(value);
    }
}

bool IsMetadataKey(const QString &key) {
    if (key.isEmpty())
        return false;
    for (QChar c : key)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'_' && c != u'-' && c != u'.')
            return false;
    return true;
}

QString MetadataText(const TMeasurementRecord &r) {
    QStringList parts, pairs;
    for (const auto &[key, value] : Metadata(r)) {
        if (key == kMetaTitle || key == kMetaNote)
            parts << value;
        else
            pairs << key + u'=' + value;
    }
    if (!pairs.isEmpty())
        parts << pairs.join(QStringLiteral(", "));
    return parts.join(QStringLiteral("; "));
}

} // namespace tessel
