// The capability columns of the instrument table.
#include "device/DeviceTypes.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace tessel;

namespace {
QStringList TypesWith(bool (*has)(TDevice)) {
    QStringList names;
    for (int d = 0; d < kDeviceCount; ++d)
        if (has(TDevice(d)))
            names << QLatin1String(DeviceInfo(TDevice(d)).name);
    return names;
}
} // namespace

TEST(DeviceTypes, CapabilityColumns) {
    const struct {
        const char *column;
        bool (*has)(TDevice);
        QString types;
    } columns[] = {
        {"monitor gains", HasMonitorGains, "ModelR2 ModelS2 ModelT1 ModelT2 ModelV"},
        {"monitor photodiodes", HasMonitorApd, "ModelS2 ModelT1 ModelT2 ModelV"},
        {"device information", HasDeviceInfo, "ModelR1 ModelR2 ModelS1 ModelS2 ModelT1 ModelT2 ModelV"},
        {"packet monitor", UsesPacketMonitor, "ModelR1 ModelR2 ModelS1 ModelS2 ModelT1 ModelT2 ModelV"},
        {"firmware image", TakesFirmware, "ModelR1 ModelR2 ModelS1 ModelS2"},
        {"boot image", TakesBootImage, "ModelU"},
        {"host sets outputs", HostSetsOutputs, "ModelW"},
        {"wake-up", WantsWakeUp, "ModelA"},
        {"untimed macros", [](TDevice d) { return !HasTimedMacros(d); }, "ModelE ModelF"},
        {"shipped", [](TDevice d) { return StoredKnownDevices().contains(d); },
         "ModelE ModelF ModelG1 ModelG2 ModelG3 ModelH ModelJ ModelN ModelR1 ModelR2 ModelS1 ModelS2 ModelT1 ModelT2 "
         "ModelU ModelV ModelW"},
    };
    for (const auto &c : columns)
        EXPECT_EQ(TypesWith(c.has).join(QLatin1Char(' ')), c.types) << c.column;

    EXPECT_EQ(DeviceNamesWith(capFirmware), "ModelR1, ModelR2, ModelS1 and ModelS2");
    EXPECT_EQ(DeviceNamesWith(capFirmware, QStringLiteral(", ")), "ModelR1, ModelR2, ModelS1, ModelS2");
}
