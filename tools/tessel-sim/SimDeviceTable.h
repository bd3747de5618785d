#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessel::sim {

// One type of instrument the simulator can act as. Written independently of
// the program's own table so that each checks the other.
struct TSimDeviceType {
    std::string_view Name;  // "ModelT2"
    std::string_view Ident; // 8 characters, padded with blanks
    uint16_t VersionWord;   // first two version bytes, high byte first
    int32_t BlockSize;      // 4096 or 16384
};

inline constexpr int kSimDeviceCount = 29;
extern const std::array<TSimDeviceType, kSimDeviceCount> kSimDevices;

std::optional<int> FindSimDevice(std::string_view name);

// What a type can do beyond the common command set.
bool HasGains(int type);          // "SG", "SO", "SD"
bool HasApd(int type);            // "SW", "SX"
bool HasDeviceInfo(int type);     // "DI"
bool UsesPacketMonitor(int type); // "MO" stream in "SDM" packets
// Ini section prefix of the type: identification, "/$", version word, "/".
std::string SectionPrefix(int type);

inline constexpr std::string_view kDefaultSimDevice = "ModelT2";

} // namespace tessel::sim
