#include "device/DeviceTypes.h"

#include <QStringList>
#include <iterator>

namespace tessel {

namespace {
// Capability sets shared by several rows:
// The types that describe themselves and stream the monitor in packets.
constexpr uint16_t kPacket = capShipped | capDeviceInfo | capPacketMonitor;
constexpr uint16_t kGainsApd = capMonitorGains | capMonitorApd;

// The instrument table: one row per TDevice, in its order.
constexpr TDeviceInfo kTable[] = {
    {"ModelA", "ModelA  ", 0x0200, 4096, capWakeUp},
    {"ModelB1", "ModelB  ", 0x0108, 16384, 0},
    {"ModelB2", "ModelB  ", 0x0109, 4096, 0},
    {"ModelB3", "ModelB  ", 0x0200, 4096, 0},
    {"ModelB4", "ModelB  ", 0x0300, 4096, 0},
    {"ModelC", "ModelC  ", 0x0200, 16384, 0},
    {"ModelD", "ModelD  ", 0x0300, 16384, 0},
    {"ModelE", "ModelE  ", 0x0000, 16384, capShipped | capUntimedMacros},
    {"ModelF", "ModelF  ", 0x0000, 16384, capShipped | capUntimedMacros},
    {"ModelG1", "ModelG  ", 0x0101, 16384, capShipped},
    {"ModelG2", "ModelG  ", 0x0102, 16384, capShipped},
    {"ModelG3", "ModelG  ", 0x0103, 16384, capShipped},
    {"ModelH", "ModelH  ", 0x0100, 16384, capShipped},
    {"ModelJ", "ModelJ  ", 0x0000, 16384, capShipped},
    {"ModelK", "ModelK  ", 0x0100, 16384, 0},
    {"ModelL", "ModelL  ", 0x0100, 16384, 0},
    {"ModelM", "ModelM  ", 0x0100, 16384, 0},
    {"ModelN", "ModelN  ", 0x0100, 16384, capShipped},
    {"ModelP", "ModelP  ", 0x0102, 4096, 0},
    {"ModelQ", "ModelQ  ", 0x0100, 4096, 0},
    {"ModelR1", "ModelR  ", 0x0100, 4096, kPacket | capFirmware},
    {"ModelR2", "ModelR  ", 0x0101, 4096, kPacket | capFirmware | capMonitorGains},
    {"ModelS1", "ModelS  ", 0x0100, 4096, kPacket | capFirmware},
    {"ModelS2", "ModelS  ", 0x0101, 4096, kPacket | capFirmware | kGainsApd},
    {"ModelT1", "ModelT  ", 0x0101, 4096, kPacket | kGainsApd},
    {"ModelT2", "ModelT  ", 0x0102, 4096, kPacket | kGainsApd},
    {"ModelU", "ModelU  ", 0x0100, 4096, capShipped | capBootImage},
    {"ModelV", "ModelV  ", 0x0100, 4096, kPacket | kGainsApd},
    {"ModelW", "ModelW  ", 0x0000, 16384, capShipped | capHostOutputs},
};
static_assert(std::size(kTable) == kDeviceCount, "one row per TDevice");
} // namespace

const TDeviceInfo &DeviceInfo(TDevice d) { return kTable[d < kDeviceCount ? d : 0]; }

QString DeviceTextOf(TDevice d) {
    const TDeviceInfo &i = DeviceInfo(d);
    return QString::asprintf("%s/$%4.4X/", i.identification, unsigned(i.version));
}

bool DeviceFromName(const QString &name, TDevice &out) {
    for (int i = 0; i < kDeviceCount; ++i)
        if (name.compare(QLatin1String(kTable[i].name), Qt::CaseInsensitive) == 0) {
            out = TDevice(i);
            return true;
        }
    return false;
}

bool HasCapability(TDevice d, TCapability c) { return (DeviceInfo(d).capabilities & c) != 0; }

QString DeviceNamesWith(TCapability c, const QString &last) {
    QStringList names;
    for (int i = 0; i < kDeviceCount; ++i)
        if (kTable[i].capabilities & c)
            names << QLatin1String(kTable[i].name);
    if (names.size() < 2)
        return names.join(QString());
    const QString tail = names.takeLast();
    return names.join(QStringLiteral(", ")) + last + tail;
}

TKnownDevices StoredKnownDevices() {
    TKnownDevices k;
    for (int i = 0; i < kDeviceCount; ++i)
        if (kTable[i].capabilities & capShipped)
            k.insert(TDevice(i));
    return k;
}

} // namespace tessel
