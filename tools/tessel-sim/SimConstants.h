#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tessel::sim {

// Timing limit of one output line; IsError marks a hard limit.
struct TSimBound {
    double Limit = 0.0;
    bool IsError = false;
};

// The timing and channel constants an instrument type works with. The
// simulator reads them from the same Tessel.ini the program uses, so that the
// device information it reports agrees with the program's configuration.
struct TSimConstants {
    double TimeBase = 1e-7;
    int32_t TimerBits = 22;
    double MinTimer = 0.0;
    double TimePropagation = 4e-7;
    int32_t MaxEvents = 32768;
    int32_t MaxASamples = 32768;
    int32_t MaxBSamples = 32768;
    int32_t SamplesPerEvent = 1;
    double SampleDistance = 1.0;
    int32_t BitResA = 16, BitResB = 16;
    double MoChA = 1.0, MoChB = 1.0;
    bool UnsignedA = false, UnsignedB = false; // "DetectorA"/"DetectorB" = unsigned
    int32_t MaxDAValue = 4095;
    // Per output line: SpaceMin, SpaceMax, PulseMin, PulseMax.
    std::array<std::array<TSimBound, 4>, 16> Bounds{};
};

// Reads "<prefix>Consts" and "<prefix>EventBounds"; missing keys keep the
// defaults above. An empty path or a missing file gives the defaults.
TSimConstants ReadSimConstants(const std::string &iniPath, const std::string &sectionPrefix);

// Byte width of one timer entry for a timer width in bits (0 when unsupported).
int TimerEntryWidth(int32_t timerBits);

// Decimal float of the device information record: 32-bit mantissa (big-endian)
// and a signed decimal exponent, the shortest pair that reads back exactly
// (or as near as a 32-bit mantissa allows).
void AppendDecimalFloat(std::vector<uint8_t> &out, double value);

// The 406-byte device information record, checksum in the last byte.
std::vector<uint8_t> BuildDeviceInfoRecord(const TSimConstants &c);
inline constexpr size_t kDeviceInfoSize = 406;

} // namespace tessel::sim
