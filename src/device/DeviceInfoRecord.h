#pragma once

#include "common/InstrumentConstants.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace tessel {

// The instrument's self-description: timing and channel properties. Filled
// from the 406-byte record the instrument sends after "DI", or from the
// instrument configuration when it has none; the "Device Info" window and
// `tessel-cli device-info` show it.
struct TDeviceInfoRecord {
    int32_t TimerBits = 0;
    double TimeBase = 0;
    double TimePropagation = 0;
    double MinTimer = 0;
    int32_t MaxEvents = 0;
    int32_t MaxASamples = 0;
    int32_t MaxBSamples = 0;
    std::array<TLineBounds, kOutputLines> Bounds{};
    int32_t BitResA = 0;
    double MoChA = 0;
    int32_t SamplesPerEventA = 0;
    double SampleDistanceA = 0;
    int32_t BitResB = 0;
    double MoChB = 0;
    int32_t SamplesPerEventB = 0;
    double SampleDistanceB = 0;
};

constexpr int kDeviceInfoSize = 406;

// mantissa (32-bit, big-endian, two's complement) x 10^exponent (signed byte).
double DecodeDecimalFloat(const char *p);
// Sum of bytes 0..404 modulo 256 equals byte 405.
bool DeviceInfoChecksumOk(const QByteArray &record);
// The decoded record; nothing when it is short or its checksum is wrong.
std::optional<TDeviceInfoRecord> DecodeDeviceInfo(const QByteArray &record);
// Empty when every value lies in the range an instrument can have; else the
// first value outside it, as "MaxEvents 2147483647 outside 1 to 1048576". The
// checksum is one byte, so a damaged record passes it one time in 256.
QString DeviceInfoRangeError(const TDeviceInfoRecord &r);

// One shown value: the key used in JSON output, the window's label, the text.
struct TDeviceInfoItem {
    QString key;
    QString label;
    QString text;
};
// The timer group, then the channel group, in window order.
std::vector<TDeviceInfoItem> TimerItems(const TDeviceInfoRecord &r);
std::vector<TDeviceInfoItem> ChannelItems(const TDeviceInfoRecord &r);
// "E: " for an error bound, "W: " for a warning, then the limit in %g form.
QString BoundText(const TTimingBound &b);
// Header row of the bounds grid.
QStringList BoundsHeader();
// Row of line i: its number, then SpaceMin, SpaceMax, PulseMin, PulseMax.
QStringList BoundsRow(const TDeviceInfoRecord &r, int line);

} // namespace tessel
