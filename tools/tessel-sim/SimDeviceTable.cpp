#include "SimDeviceTable.h"

#include <cstdio>

namespace tessel::sim {

const std::array<TSimDeviceType, kSimDeviceCount> kSimDevices = {{
    {"ModelA", "ModelA  ", 0x0200, 4096},   {"ModelB1", "ModelB  ", 0x0108, 16384},
    {"ModelB2", "ModelB  ", 0x0109, 4096},  {"ModelB3", "ModelB  ", 0x0200, 4096},
    {"ModelB4", "ModelB  ", 0x0300, 4096},  {"ModelC", "ModelC  ", 0x0200, 16384},
    {"ModelD", "ModelD  ", 0x0300, 16384},  {"ModelE", "ModelE  ", 0x0000, 16384},
    {"ModelF", "ModelF  ", 0x0000, 16384},  {"ModelG1", "ModelG  ", 0x0101, 16384},
    {"ModelG2", "ModelG  ", 0x0102, 16384}, {"ModelG3", "ModelG  ", 0x0103, 16384},
    {"ModelH", "ModelH  ", 0x0100, 16384},  {"ModelJ", "ModelJ  ", 0x0000, 16384},
    {"ModelK", "ModelK  ", 0x0100, 16384},  {"ModelL", "ModelL  ", 0x0100, 16384},
    {"ModelM", "ModelM  ", 0x0100, 16384},  {"ModelN", "ModelN  ", 0x0100, 16384},
    {"ModelP", "ModelP  ", 0x0102, 4096},   {"ModelQ", "ModelQ  ", 0x0100, 4096},
    {"ModelR1", "ModelR  ", 0x0100, 4096},  {"ModelR2", "ModelR  ", 0x0101, 4096},
    {"ModelS1", "ModelS  ", 0x0100, 4096},  {"ModelS2", "ModelS  ", 0x0101, 4096},
    {"ModelT1", "ModelT  ", 0x0101, 4096},  {"ModelT2", "ModelT  ", 0x0102, 4096},
    {"ModelU", "ModelU  ", 0x0100, 4096},   {"ModelV", "ModelV  ", 0x0100, 4096},
    {"ModelW", "ModelW  ", 0x0000, 16384},
}};

namespace {
enum : int { R1 = 20, R2 = 21, S1 = 22, S2 = 23, T1 = 24, T2 = 25, V = 27 };
}

std::optional<int> FindSimDevice(std::string_view name) {
    for (int i = 0; i < kSimDeviceCount; ++i)
        if (kSimDevices[size_t(i)].Name == name)
            return i;
    return std::nullopt;
}

bool HasGains(int t) { return t == R2 || t == S2 || t == T1 || t == T2 || t == V; }
bool HasApd(int t) { return t == S2 || t == T1 || t == T2 || t == V; }
bool HasDeviceInfo(int t) { return t == R1 || t == R2 || t == S1 || t == S2 || t == T1 || t == T2 || t == V; }
bool UsesPacketMonitor(int t) { return HasDeviceInfo(t); }

std::string SectionPrefix(int type) {
    const TSimDeviceType &d = kSimDevices[size_t(type)];
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*s/$%04X/", int(d.Ident.size()), d.Ident.data(), d.VersionWord);
    return buf;
}

} // namespace tessel::sim
