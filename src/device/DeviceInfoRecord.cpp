#include "device/DeviceInfoRecord.h"

#include "common/NumberText.h"

#include <cmath>

namespace tessel {

namespace {
uint8_t U8(const char *p) { return uint8_t(*p); }
int32_t BE16(const char *p) { return int32_t(uint16_t((U8(p) << 8) | U8(p + 1))); }
int32_t BE32(const char *p) {
    return int32_t((uint32_t(U8(p)) << 24) | (uint32_t(U8(p + 1)) << 16) | (uint32_t(U8(p + 2)) << 8) | U8(p + 3));
}
QString Int(int32_t v) { return QString::number(v); }
} // namespace

double DecodeDecimalFloat(const char *p) {
    const int32_t mantissa = BE32(p);
    const int exponent = int8_t(U8(p + 4));
    return double(mantissa) * std::pow(10.0, exponent);
}

bool DeviceInfoChecksumOk(const QByteArray &record) {
    if (record.size() < kDeviceInfoSize)
        return false;
    uint8_t sum = 0;
    for (int i = 0; i < kDeviceInfoSize - 1; ++i)
        sum = uint8_t(sum + uint8_t(record[i]));
    return sum == uint8_t(record[kDeviceInfoSize - 1]);
}

std::optional<TDeviceInfoRecord> DecodeDeviceInfo(const QByteArray &record) {
    if (!DeviceInfoChecksumOk(record))
        return std::nullopt;
    const char *p = record.constData();
    TDeviceInfoRecord r;
    r.TimerBits = U8(p + 2);
    r.TimeBase = DecodeDecimalFloat(p + 3);
    r.TimePropagation = DecodeDecimalFloat(p + 8);
    r.MinTimer = DecodeDecimalFloat(p + 13);
    r.MaxEvents = BE32(p + 18);
    r.MaxASamples = BE32(p + 22);
    r.MaxBSamples = BE32(p + 26);
    for (int i = 0; i < kOutputLines; ++i) {
        const char *g = p + 38 + 21 * i;
        const uint8_t flags = U8(g + 20);
        TLineBounds &b = r.Bounds[size_t(i)];
        b.SpaceMin = {DecodeDecimalFloat(g), (flags & 1) != 0};
        b.SpaceMax = {DecodeDecimalFloat(g + 5), (flags & 2) != 0};
        b.PulseMin = {DecodeDecimalFloat(g + 10), (flags & 4) != 0};
        b.PulseMax = {DecodeDecimalFloat(g + 15), (flags & 8) != 0};
    }
    r.BitResA = U8(p + 376);
    r.MoChA = DecodeDecimalFloat(p + 377);
    r.SamplesPerEventA = BE16(p + 382);
    r.SampleDistanceA = DecodeDecimalFloat(p + 384);
    r.BitResB = U8(p + 391);
    r.MoChB = DecodeDecimalFloat(p + 392);
    r.SamplesPerEventB = BE16(p + 397);
    r.SampleDistanceB = DecodeDecimalFloat(p + 399);
    return r;
}

QString DeviceInfoRangeError(const TDeviceInfoRecord &r) {
    struct Range {
        const char *name;
        double value, low, high;
    };
    const Range ranges[] = {
        {"TimerBits", double(r.TimerBits), 8, 32},
        {"TimeBase", r.TimeBase, 1e-9, 1e-2},
        {"MinTimer", r.MinTimer, 0, 1},
        {"TimePropagation", r.TimePropagation, 0, 1},
        {"MaxEvents", double(r.MaxEvents), 1, 1 << 20},
        {"MaxASamples", double(r.MaxASamples), 0, 1 << 22},
        {"MaxBSamples", double(r.MaxBSamples), 0, 1 << 22},
        {"BitResA", double(r.BitResA), 1, 32},
        {"BitResB", double(r.BitResB), 1, 32},
        {"SamplesPerEventA", double(r.SamplesPerEventA), 1, 65535},
        {"SamplesPerEventB", double(r.SamplesPerEventB), 1, 65535},
        {"SampleDistanceA", r.SampleDistanceA, 0, 1},
        {"SampleDistanceB", r.SampleDistanceB, 0, 1},
        {"MoChA", std::fabs(r.MoChA), 0, 1e6},
        {"MoChB", std::fabs(r.MoChB), 0, 1e6},
    };
    for (const Range &x : ranges)
        if (!(x.value >= x.low && x.value <= x.high)) // NaN fails too
            return QStringLiteral("%1 %2 outside %3 to %4")
                .arg(QLatin1String(x.name), FormatG(x.value), FormatG(x.low), FormatG(x.high));
    for (int i = 0; i < kOutputLines; ++i) {
        const TLineBounds &b = r.Bounds[size_t(i)];
        for (const TTimingBound *t : {&b.SpaceMin, &b.SpaceMax, &b.PulseMin, &b.PulseMax})
            if (!std::isfinite(t->Limit))
                return QStringLiteral("timing bound of line %1 is %2").arg(i).arg(FormatG(t->Limit));
    }
    return {};
}

std::vector<TDeviceInfoItem> TimerItems(const TDeviceInfoRecord &r) {
    return {
        {"TimerBits", "TimerBits", Int(r.TimerBits)},
        {"TimeBase", "Timer Step:", FormatG(r.TimeBase)},
        {"MinTimer", "Minimal Event Distance:", FormatG(r.MinTimer)},
        {"TimePropagation", "TimePropagation", FormatG(r.TimePropagation)},
        {"MaxEvents", "MaxEvents", Int(r.MaxEvents)},
        {"MaxASamples", "MaxASamples", Int(r.MaxASamples)},
        {"MaxBSamples", "MaxBSamples", Int(r.MaxBSamples)},
    };
}

std::vector<TDeviceInfoItem> ChannelItems(const TDeviceInfoRecord &r) {
    return {
        {"BitResA", "PocetBitu1", Int(r.BitResA)},
        {"MoChA", "Konstanta1", FormatG(r.MoChA)},
        {"SamplesPerEventA", "FastSmpl1", Int(r.SamplesPerEventA)},
        {"SampleDistanceA", "SampleDistance1", FormatG(r.SampleDistanceA)},
        {"BitResB", "PocetBitu2", Int(r.BitResB)},
        {"MoChB", "Konstanta2", FormatG(r.MoChB)},
        {"SamplesPerEventB", "FastSmpl2", Int(r.SamplesPerEventB)},
        {"SampleDistanceB", "SampleDistance2", FormatG(r.SampleDistanceB)},
    };
}

QString BoundText(const TTimingBound &b) {
    return (b.IsError ? QStringLiteral("E: ") : QStringLiteral("W: ")) + FormatG(b.Limit);
}

QStringList BoundsHeader() {
    return {QStringLiteral("Bit No."), QStringLiteral("Lo Min"), QStringLiteral("Lo Max"), QStringLiteral("Hi Min"),
            QStringLiteral("Hi Max")};
}

QStringList BoundsRow(const TDeviceInfoRecord &r, int line) {
    const TLineBounds &b = r.Bounds[size_t(line)];
    return {Int(line), BoundText(b.SpaceMin), BoundText(b.SpaceMax), BoundText(b.PulseMin), BoundText(b.PulseMax)};
}

} // namespace tessel
