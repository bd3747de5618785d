#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace tessel {

// Instrument types, in the order of the instrument table (the value is the row).
// clang-format off
enum TDevice : uint8_t {
    ModelA, ModelB1, ModelB2, ModelB3, ModelB4, ModelC, ModelD, ModelE, ModelF, ModelG1,
    ModelG2, ModelG3, ModelH, ModelJ, ModelK, ModelL, ModelM, ModelN, ModelP, ModelQ,
    ModelR1, ModelR2, ModelS1, ModelS2, ModelT1, ModelT2, ModelU, ModelV, ModelW,
};
// clang-format on
constexpr int kDeviceCount = ModelW + 1;

// Every type takes this long to carry out a macro before it reads the next command.
constexpr int kMacroPauseMs = 50;

// What a type can do beyond the common command set: the capability columns of
// the instrument table. Code asks the queries below, never for model names.
enum TCapability : uint16_t {
    capShipped = 1u << 0,       // accepted as connected as the program ships
    capMonitorGains = 1u << 1,  // gain and offset per channel: set while monitoring, kept with the data
    capMonitorApd = 1u << 2,    // photodiode (APD) sensitivity per channel, likewise
    capDeviceInfo = 1u << 3,    // keeps a device-information record
    capPacketMonitor = 1u << 4, // the live monitor stream comes in packets
    capFirmware = 1u << 5,      // takes a device program (firmware) image
    capBootImage = 1u << 6,     // takes a boot image into its flash
    capUntimedMacros = 1u << 7, // the program image sends no timed macros
    capHostOutputs = 1u << 8,   // the host sets the analog outputs, not the program
    capWakeUp = 1u << 9,        // wants the wake-up bytes before identification
};

struct TDeviceInfo {
    const char *name;           // the enum's name, "ModelB2"
    const char *identification; // exactly 8 characters, blank padded
    uint16_t version;           // $0000: the instrument is not asked for its version
    int32_t blockSize;
    uint16_t capabilities; // TCapability bits
};

const TDeviceInfo &DeviceInfo(TDevice d);
// "%s/$%4.4x/" of identification and version word: "ModelF  /$0000/".
QString DeviceTextOf(TDevice d);
// Lookup by the enum's name ("ModelF"), case-insensitive; false when unknown.
bool DeviceFromName(const QString &name, TDevice &out);

bool HasCapability(TDevice d, TCapability c);
inline bool HasMonitorGains(TDevice d) { return HasCapability(d, capMonitorGains); }
inline bool HasMonitorApd(TDevice d) { return HasCapability(d, capMonitorApd); }
inline bool HasDeviceInfo(TDevice d) { return HasCapability(d, capDeviceInfo); }
inline bool UsesPacketMonitor(TDevice d) { return HasCapability(d, capPacketMonitor); }
inline bool TakesFirmware(TDevice d) { return HasCapability(d, capFirmware); }
inline bool TakesBootImage(TDevice d) { return HasCapability(d, capBootImage); }
inline bool HasTimedMacros(TDevice d) { return !HasCapability(d, capUntimedMacros); }
// Only three key levels (flash and actinic), each sent with a pause; set
// before a run and back to 0 after it.
inline bool HostSetsOutputs(TDevice d) { return HasCapability(d, capHostOutputs); }
inline bool WantsWakeUp(TDevice d) { return HasCapability(d, capWakeUp); }
// The enum names of the types with c in table order, for messages and help:
// "ModelR1, ModelR2 and ModelS1" (last is the separator before the last name).
QString DeviceNamesWith(TCapability c, const QString &last = QStringLiteral(" and "));

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
