#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace tessel {

// Instrument types, in the order of the instrument table (the value is the row).
enum TDevice : uint8_t {
    ModelA, ModelB1, ModelB2, ModelB3, ModelB4, ModelC, ModelD, ModelE, ModelF, ModelG1,
    ModelG2, ModelG3, ModelH, ModelJ, ModelK, ModelL, ModelM, ModelN, ModelP, ModelQ,
    ModelR1, ModelR2, ModelS1, ModelS2, ModelT1, ModelT2, ModelU, ModelV, ModelW,
};
constexpr int kDeviceCount = 29;

struct TDeviceInfo {
    const char *name;           // the enum's name, "ModelB2"
    const char *identification; // exactly 8 characters, blank padded
    uint16_t version;           // $0000: the instrument is not asked for its version
    int32_t blockSize;
};

const TDeviceInfo &DeviceInfo(TDevice d);
// "%s/$%4.4x/" of identification and version word: "ModelF  /$0000/".
QString DeviceTextOf(TDevice d);
// Lookup by the enum's name ("ModelF"), case-insensitive; false when unknown.
bool DeviceFromName(const QString &name, TDevice &out);

// Set of device types.
class TKnownDevices {
public:
    constexpr TKnownDevices() = default;
    constexpr bool contains(TDevice d) const { return (m_bits >> d) & 1u; }
    constexpr void insert(TDevice d) { m_bits |= (1u << d); }
    constexpr void remove(TDevice d) { m_bits &= ~(1u << d); }
    constexpr bool operator==(const TKnownDevices &) const = default;

private:
    uint32_t m_bits = 0;
};

// The types accepted as connected, as the program ships.
TKnownDevices StoredKnownDevices();
constexpr TDevice kStoredDefaultDevice = ModelF;

} // namespace tessel
