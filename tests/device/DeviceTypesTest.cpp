// The capability columns of the instrument table, and their agreement with the
// virtual instrument's own table (written independently, so each checks the other).
#include "device/DeviceTypes.h"
#include "SimDeviceTable.h"

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

TEST(DeviceTypes, AgreesWithVirtualInstrument) {
    ASSERT_EQ(sim::kSimDeviceCount, kDeviceCount);
    for (int d = 0; d < kDeviceCount; ++d) {
        const TDevice t = TDevice(d);
        const TDeviceInfo &i = DeviceInfo(t);
        const auto s = sim::FindSimDevice(i.name);
        ASSERT_TRUE(s) << i.name;
        const sim::TSimDeviceType &r = sim::kSimDevices[size_t(*s)];
        EXPECT_EQ(std::make_tuple(std::string(i.identification), i.version, i.blockSize),
                  std::make_tuple(std::string(r.Ident), r.VersionWord, r.BlockSize))
            << i.name;
        EXPECT_EQ(
            std::make_tuple(HasMonitorGains(t), HasMonitorApd(t), HasDeviceInfo(t), UsesPacketMonitor(t)),
            std::make_tuple(sim::HasGains(*s), sim::HasApd(*s), sim::HasDeviceInfo(*s), sim::UsesPacketMonitor(*s)))
            << i.name;
    }
}
