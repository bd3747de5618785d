#include "device/DeviceTypes.h"

namespace tessel {

namespace {
constexpr std::array<TDeviceInfo, kDeviceCount> kTable = {{
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

TKnownDevices StoredKnownDevices() {
    TKnownDevices k;
    for (TDevice d : {ModelE, ModelF, ModelG1, ModelG2, ModelG3, ModelH, ModelJ, ModelN, ModelR1, ModelR2,
                      ModelS1, ModelS2, ModelT1, ModelT2, ModelU, ModelV, ModelW})
        k.insert(d);
    return k;
}

} // namespace tessel
