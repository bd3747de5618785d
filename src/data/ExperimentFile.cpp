#include "data/ExperimentFile.h"

#include "common/MessageService.h"

#include <cmath>

namespace tessel {

namespace {

// A data set of an experiment takes at least: style block, caption length,
// x vector with one transformation level and y vector with three.
constexpr int64_t kMinDataSetBytes = TDependency::kStyleBlockSize + 4 + (8 + 16) + (8 + 48);
constexpr int64_t kMinMeasurementBytes = 2 * kMinDataSetBytes + 8 + 4 + 4;

void WriteConditions(TStream &s, const TConditions &c) {
    uint8_t bytes[TConditions::kSize];
    c.ToBytes(bytes);
    s.WriteBuffer(bytes, TConditions::kSize);
}

TConditions ReadConditions(TStream &s) {
    uint8_t bytes[TConditions::kSize];
    s.ReadBuffer(bytes, TConditions::kSize);
    return TConditions::FromBytes(bytes);
}

bool ReadBody(TFileOp &f, TExperimentModel &m, bool &prepared) {
    const QString version = f.ReadString();
    if (f.ErrorCode() != 0)
        return false;
    if (version != QLatin1String(kExperimentVersionTag)) {
        Messages().error(kUnsupportedFormatMessage);
        return false;
    }
    m.Title = f.ReadString();
    f.ReadStrings(m.Description);
    const int32_t n = f.ReadInteger();
    if (f.ErrorCode() != 0)
        return false;
    if (n < 1 || int64_t(n - 1) * kMinMeasurementBytes + int64_t(n) * TConditions::kSize > f.Remaining()) {
        f.ReportError(feReading);
        return false;
    }

    TStream &s = f.Stream();
    for (int32_t i = 1; i < n; ++i) {
        // Only completely read measurements join the model.
        std::unique_ptr<TMeasurementRecord> r = m.NewRecord();
        r->A.Set->LoadFromStream(s);
        r->B.Set->LoadFromStream(s);
        r->Time = f.ReadDouble();
        r->DeviceType = uint8_t(f.ReadInteger() & 0xFF);
        f.ReadInteger();
        if (f.ErrorCode() != 0)
            return false;
        m.InsertFront(std::move(r));
    }
    m.InsertFront(m.NewRecord());
    prepared = true;

    for (int i = 0; i < n; ++i)
        m.Record(i).Conditions = ReadConditions(s);
    m.LogarithmicX = m.Record(n - 1).Conditions.LogX != 0;

    f.ReadStrings(m.Protocol);
    for (int i = 1; i < n && f.ErrorCode() == 0; ++i)
        f.ReadStrings(m.Record(i).Protocol);
    if (f.ErrorCode() != 0)
        return false;
    // Older files end right after the measurement protocols with the counter
    // and the reserved word.
    if (f.Remaining() > 8) {
        for (int i = 1; i < n && f.ErrorCode() == 0; ++i) {
            TMeasurementRecord &r = m.Record(i);
            f.ReadStrings(r.VarNames);
            f.ReadStrings(r.VarValues);
            // The names fix the table's row count.
            while (r.VarValues.size() < r.VarNames.size())
                r.VarValues.append(QString());
            while (r.VarValues.size() > r.VarNames.size())
                r.VarValues.removeLast();
        }
    }
    m.MeasurementCounter = f.ReadInteger();
    f.ReadInteger();
    return f.ErrorCode() == 0;
}

} // namespace

bool WriteExperiment(TFileOp &f, TExperimentModel &m) {
    const int n = m.RecordCount();
    f.WriteString(QLatin1String(kExperimentVersionTag));
    f.WriteString(m.Title);
    f.WriteStrings(m.Description);
    f.WriteInteger(n);
    try {
        TStream &s = f.Stream();
        for (int i = n - 1; i >= 1 && f.ErrorCode() == 0; --i) {
            const TMeasurementRecord &r = m.Record(i);
            r.A.Set->SaveToStream(s);
            r.B.Set->SaveToStream(s);
            f.WriteDouble(r.Time);
            f.WriteInteger(r.DeviceType);
            f.WriteInteger(0);
        }
        for (int i = 0; i < n && f.ErrorCode() == 0; ++i) {
            TMeasurementRecord &r = m.Record(i);
            r.Conditions.LogX = m.LogarithmicX ? 1 : 0;
            WriteConditions(s, r.Conditions);
        }
    } catch (const EWriteError &) {
        f.ReportError(feWriting);
    }
    f.WriteStrings(m.Protocol);
    for (int i = 1; i < n; ++i)
        f.WriteStrings(m.Record(i).Protocol);
    for (int i = 1; i < n; ++i) {
        f.WriteStrings(m.Record(i).VarNames);
        f.WriteStrings(m.Record(i).VarValues);
    }
    f.WriteInteger(m.MeasurementCounter);
    f.WriteInteger(0);
    return f.Close();
}

bool ReadExperiment(TFileOp &f, TExperimentModel &m) {
    m.ClearRecordsForLoad();
    m.Title.clear();
    m.Description.clear();
    m.Protocol.clear();
    bool ok = false;
    bool prepared = false;
    try {
        ok = ReadBody(f, m, prepared);
    } catch (const EReadError &) {
        // A short or inconsistent data set or condition block.
        f.ReportError(feReading);
    }
    // The measurements read completely stay; a fresh prepared record leads.
    if (!prepared)
        m.InsertFront(m.NewRecord());
    f.Close();
    return ok;
}

bool LoadExperimentFile(TExperimentModel &model, const QString &fileName, TFileOp *file) {
    TFileOp local;
    TFileOp &f = file ? *file : local;
    f.FileName = fileName;
    if (!f.Open()) {
        model.Clear();
        return false;
    }
    return ReadExperiment(f, model);
}

bool SaveExperimentFile(TExperimentModel &model, const QString &fileName, TFileOp *file) {
    TFileOp local;
    TFileOp &f = file ? *file : local;
    f.FileName = fileName;
    f.ForceSaveAs = false;
    if (!f.Save())
        return false;
    return WriteExperiment(f, model);
}

namespace {
const QDateTime &Epoch() {
    static const QDateTime e(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return e;
}
constexpr double kMsPerDay = 86400000.0;
} // namespace

double DaysFromDateTime(const QDateTime &t) {
    const QDateTime naive(t.date(), t.time(), Qt::UTC);
    const qint64 ms = Epoch().msecsTo(naive);
    const qint64 dayMs = qint64(kMsPerDay);
    qint64 days = ms / dayMs;
    qint64 rest = ms % dayMs;
    if (rest < 0) {
        --days;
        rest += dayMs;
    }
    // Before the epoch the whole days count backwards while the time of day
    // still counts forwards: -1.25 is 29 Dec 1899, 06:00.
    if (days < 0)
        return double(days) - double(rest) / kMsPerDay;
    return double(days) + double(rest) / kMsPerDay;
}

std::optional<QDateTime> DateTimeFromDays(double days) {
    // 1 Jan 0001 .. 31 Dec 9999
    if (!std::isfinite(days) || days < -693593.0 || days >= 2958466.0)
        return std::nullopt;
    const double whole = std::trunc(days);
    const qint64 ms = qint64(std::llround(std::fabs(days - whole) * kMsPerDay));
    const QDateTime d = Epoch().addDays(qint64(whole)).addMSecs(ms);
    return QDateTime(d.date(), d.time());
}

double NowDays() { return DaysFromDateTime(QDateTime::currentDateTime()); }

} // namespace tessel
