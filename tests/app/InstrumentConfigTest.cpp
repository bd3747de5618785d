#include "app/InstrumentConfig.h"
#include "app/CommonObjs.h"
#include "common/IniFile.h"
#include "common/MessageService.h"
#include "device/DeviceTypes.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::TestDir;

namespace {
const QString kDev = "ModelF  /$0000/";

class ConfigTest : public ::testing::Test {
protected:
    TestDir dir;
    QString ini = dir.path("Tessel.ini");
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TInstrumentConfig read(const QString &consts, const QString &bounds = {}, const QString &rest = {}) {
        test::WriteTextFile(ini,
                            "[" + kDev + "Consts]\n" + consts + "\n[" + kDev + "EventBounds]\n" + bounds + "\n" + rest);
        return ReadInstrumentConfig(ini, kDev);
    }
};
} // namespace

TEST_F(ConfigTest, ClampsAndTolerantIntegers) {
    struct {
        QString line;
        int32_t TInstrumentConfig::*field;
        int32_t expected;
    } cases[] = {
        {"BitResA=100", &TInstrumentConfig::BitResA, 64},
        {"BitResB=0", &TInstrumentConfig::BitResB, 1},
        {"MaxDAValue=0xFFF", &TInstrumentConfig::MaxDAValue, 4095},
        {"MaxDAValue=twelve", &TInstrumentConfig::MaxDAValue, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(read(c.line).*c.field, c.expected) << c.line.toStdString();
    EXPECT_EQ(read("SamplesPerEvent=0").Compiler.SamplesPerEventB, 1);
    EXPECT_TRUE(messages.entries.empty()); // integers never report
    // The detector text must be exactly "unsigned".
    EXPECT_TRUE(read("DetectorA=unsigned").DetectorAUnsigned);
    EXPECT_FALSE(read("DetectorB=Unsigned").DetectorBUnsigned);
}

TEST_F(ConfigTest, UnreadableFloatReportsOnceAndKeepsDefault) {
    const TInstrumentConfig c = read("TimeBase=1,5e-7\nMoChA=2.5");
    EXPECT_EQ(c.Compiler.TimeBase, 1e-7);
    EXPECT_EQ(c.MoChA, 2.5);
    ASSERT_EQ(messages.entries.size(), 1u);
    EXPECT_EQ(messages.entries[0].text, "Error in Ini File: " + ini + "\n\r Section: " + kDev +
                                            "Consts,  Key: TimeBase  , Read: 1,5e-7  , Default 1e-07");
}

TEST_F(ConfigTest, EventBoundsFieldsAndFlags) {
    const TInstrumentConfig c = read("", "Bit3=1e-6; 2 ;0;5;EE\nBit4=;;;;\nBit5=1;x;3;4;eEwE");
    // Limits and error flags in the order space min, space max, pulse min, pulse max.
    const auto limits = [&](int line) {
        const TLineBounds &b = c.Compiler.Bounds[size_t(line)];
        return std::vector<double>{b.SpaceMin.Limit, b.SpaceMax.Limit, b.PulseMin.Limit, b.PulseMax.Limit};
    };
    const auto errors = [&](int line) {
        const TLineBounds &b = c.Compiler.Bounds[size_t(line)];
        return std::vector<bool>{b.SpaceMin.IsError, b.SpaceMax.IsError, b.PulseMin.IsError, b.PulseMax.IsError};
    };
    EXPECT_EQ(limits(3), (std::vector<double>{1e-6, 2, 0, 5}));
    EXPECT_EQ(errors(3), (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(limits(5), (std::vector<double>{1, 0, 3, 4})); // "x" is not a number: no report
    EXPECT_EQ(errors(5), (std::vector<bool>{false, true, false, true}));
    EXPECT_TRUE(messages.entries.empty());
}

TEST_F(ConfigTest, PrintColumnsAndThicknessRoundTrip) {
    test::WriteTextFile(ini, "; kept\n[Main]\nMaxSignals=12\n");
    std::array<bool, kPrintColumns> cols{};
    cols.fill(true);
    cols[2] = cols[16] = false;
    SavePrintColumns(ini, cols);
    SaveThickness(ini, 3);
    const TInstrumentConfig c = ReadInstrumentConfig(ini, kDev);
    EXPECT_EQ(c.DePrnCol, cols);
    EXPECT_EQ(c.MaxSignals, 12);
    EXPECT_EQ(ReadThickness(ini), 3);
    EXPECT_TRUE(test::ReadTextFile(ini).startsWith("; kept\n[Main]\nMaxSignals=12\nDePrnCol0=1\n"));
}

TEST_F(ConfigTest, ShippedIniHasSectionsForEveryKnownDevice) {
    // Each accepted instrument type ships its own constants.
    TIniFile2 shipped(test::SourcePath("resources/Tessel.ini"));
    const TKnownDevices known = StoredKnownDevices();
    for (int d = 0; d < kDeviceCount; ++d) {
        if (!known.contains(TDevice(d)))
            continue;
        const QString text = DeviceTextOf(TDevice(d));
        EXPECT_TRUE(shipped.SectionExists(text + "Consts")) << text.toStdString();
        EXPECT_TRUE(shipped.SectionExists(text + "EventBounds")) << text.toStdString();
        const int bits = ReadInstrumentConfig(shipped.FileName(), text).Compiler.TimerBits;
        EXPECT_TRUE(bits == 16 || bits == 22 || bits == 24 || bits == 32) << text.toStdString();
    }
    EXPECT_TRUE(messages.entries.empty()) << "every value reads";
}

TEST_F(ConfigTest, DefaultDeviceAppliedOnlyWhenKnown) {
    const TKnownDevices known = StoredKnownDevices();
    struct {
        int stored;
        TDevice expected;
    } cases[] = {{int(ModelW), ModelW}, {int(ModelB1), ModelF}, {99, ModelF}, {-3, ModelF}};
    for (const auto &c : cases) {
        TCommonObjs objs;
        objs.AppSettings.SetValue("DefaultDevice", c.stored);
        EXPECT_EQ(objs.DefaultDeviceToApply(known, ModelF), c.expected) << c.stored;
    }
}
