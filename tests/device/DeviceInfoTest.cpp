// The device information record: decoding, checksum, the three attempts.
#include "ScriptedPeer.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::MemoryLink;

namespace {

void PutFloat(QByteArray &r, int at, int32_t mantissa, int8_t exponent) {
    const uint32_t m = uint32_t(mantissa);
    r[at] = char(m >> 24);
    r[at + 1] = char(m >> 16);
    r[at + 2] = char(m >> 8);
    r[at + 3] = char(m);
    r[at + 4] = char(exponent);
}
void Put32(QByteArray &r, int at, int32_t v) {
    for (int i = 0; i < 4; ++i)
        r[at + i] = char(uint32_t(v) >> (24 - 8 * i));
}
void Put16(QByteArray &r, int at, int v) {
    r[at] = char(v >> 8);
    r[at + 1] = char(v);
}
void Seal(QByteArray &r, int delta = 0) {
    uint8_t sum = 0;
    for (int i = 0; i < 405; ++i)
        sum = uint8_t(sum + uint8_t(r[i]));
    r[405] = char(sum + delta);
}

// A record with distinct values in every field; the uninterpreted bytes are noise.
QByteArray SampleRecord(int delta = 0) {
    QByteArray r(406, char(0x5A));
    r[2] = char(24);
    PutFloat(r, 3, 1, -7);  // 1e-7
    PutFloat(r, 8, 4, -7);  // 4e-7
    PutFloat(r, 13, 5, -6); // 5e-6
    Put32(r, 18, 32768);
    Put32(r, 22, 70000);
    Put32(r, 26, 0x12345);
    for (int i = 0; i < 16; ++i) {
        const int g = 38 + 21 * i;
        PutFloat(r, g, i + 1, -6);
        PutFloat(r, g + 5, 2 * (i + 1), 0);
        PutFloat(r, g + 10, -(i + 1), -3);
        PutFloat(r, g + 15, 1000, 3);
        r[g + 20] = char(i == 2 ? 0x05 : 0x0F);
    }
    r[376] = char(16);
    PutFloat(r, 377, 25, -1); // 2.5
    Put16(r, 382, 0xFFFE);
    PutFloat(r, 384, 2, -6);
    r[391] = char(12);
    PutFloat(r, 392, -5, 0);
    Put16(r, 397, 3);
    PutFloat(r, 399, 7, -7);
    Seal(r, delta);
    return r;
}

} // namespace

TEST(DeviceInfoRecord, DecimalFloats) {
    struct Case {
        const char *hex;
        double value;
    } cases[] = {
        {"00000005fa", 5e-6},   {"fffffffe00", -2.0}, {"7fffffff00", 2147483647.0}, {"8000000002", -214748364800.0},
        {"0000000c7f", 12e127},
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(DecodeDecimalFloat(QByteArray::fromHex(c.hex).constData()), c.value) << c.hex;
}

TEST(DeviceInfoRecord, DecodesEveryField) {
    const auto r = DecodeDeviceInfo(SampleRecord());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->TimerBits, 24);
    EXPECT_DOUBLE_EQ(r->TimeBase, 1e-7);
    EXPECT_DOUBLE_EQ(r->TimePropagation, 4e-7);
    EXPECT_DOUBLE_EQ(r->MinTimer, 5e-6);
    EXPECT_EQ(r->MaxEvents, 32768);
    EXPECT_EQ(r->MaxASamples, 70000);
    EXPECT_EQ(r->MaxBSamples, 0x12345);
    EXPECT_EQ(r->BitResA, 16);
    EXPECT_DOUBLE_EQ(r->MoChA, 2.5);
    EXPECT_EQ(r->SamplesPerEventA, 0xFFFE); // unsigned 16-bit
    EXPECT_DOUBLE_EQ(r->SampleDistanceA, 2e-6);
    EXPECT_EQ(r->BitResB, 12);
    EXPECT_DOUBLE_EQ(r->MoChB, -5.0);
    EXPECT_EQ(r->SamplesPerEventB, 3);
    EXPECT_DOUBLE_EQ(r->SampleDistanceB, 7e-7);
    for (int i = 0; i < 16; ++i) {
        const TLineBounds &b = r->Bounds[size_t(i)];
        EXPECT_DOUBLE_EQ(b.SpaceMin.Limit, (i + 1) * 1e-6) << i;
        EXPECT_DOUBLE_EQ(b.SpaceMax.Limit, 2.0 * (i + 1)) << i;
        EXPECT_DOUBLE_EQ(b.PulseMin.Limit, -(i + 1) * 1e-3) << i;
        EXPECT_DOUBLE_EQ(b.PulseMax.Limit, 1e6) << i;
    }
    // Flags 05: both minima errors, both maxima warnings.
    const TLineBounds &b2 = r->Bounds[2];
    EXPECT_EQ((std::array{b2.SpaceMin.IsError, b2.SpaceMax.IsError, b2.PulseMin.IsError, b2.PulseMax.IsError}),
              (std::array{true, false, true, false}));
    EXPECT_EQ(BoundsRow(*r, 2), QStringList({"2", "E: 3e-06", "W: 6", "E: -0.003", "W: 1e+06"}));
    EXPECT_EQ(BoundsHeader(), QStringList({"Bit No.", "Lo Min", "Lo Max", "Hi Min", "Hi Max"}));
}

TEST(DeviceInfoRecord, ValuesOutsideTheirRangeAreNamed) {
    const auto sample = DecodeDeviceInfo(SampleRecord());
    ASSERT_TRUE(sample);
    EXPECT_EQ(DeviceInfoRangeError(*sample), "");
    const std::pair<std::function<void(TDeviceInfoRecord &)>, const char *> cases[] = {
        {[](TDeviceInfoRecord &r) { r.MaxEvents = INT32_MAX; }, "MaxEvents 2.14748e+09 outside 1 to 1.04858e+06"},
        {[](TDeviceInfoRecord &r) { r.MaxEvents = 0; }, "MaxEvents"},
        {[](TDeviceInfoRecord &r) { r.TimeBase = 1e-15; }, "TimeBase"},
        {[](TDeviceInfoRecord &r) { r.TimerBits = 0; }, "TimerBits"},
        {[](TDeviceInfoRecord &r) { r.MaxASamples = -1; }, "MaxASamples"},
        {[](TDeviceInfoRecord &r) { r.BitResB = 40; }, "BitResB"},
        {[](TDeviceInfoRecord &r) { r.SamplesPerEventA = 0; }, "SamplesPerEventA"},
        {[](TDeviceInfoRecord &r) { r.MinTimer = std::nan(""); }, "MinTimer"},
        {[](TDeviceInfoRecord &r) { r.Bounds[3].PulseMax.Limit = HUGE_VAL; }, "timing bound of line 3"},
    };
    for (const auto &[spoil, name] : cases) {
        TDeviceInfoRecord r = *sample;
        spoil(r);
        EXPECT_TRUE(DeviceInfoRangeError(r).startsWith(QLatin1String(name)))
            << name << " / " << DeviceInfoRangeError(r).toStdString();
    }
}

TEST(DeviceInfoRecord, ChecksumAndLength) {
    EXPECT_FALSE(DecodeDeviceInfo(SampleRecord(1)));
    EXPECT_FALSE(DecodeDeviceInfo(SampleRecord().left(405)));
    EXPECT_TRUE(DecodeDeviceInfo(SampleRecord() + "extra"));
}

namespace {
struct InfoLink : MemoryLink {
    QStringList shown;
    InfoLink() : MemoryLink(ModelT2) {
        link->WaitBounds().DeviceInfoPauseMs = 60;
        conn->ShowProgress = [this](const QString &t) { shown.append(t); };
    }
};
} // namespace

TEST(DeviceInfoRead, RefusesABadChecksumThenAcceptsTheNextRecord) {
    InfoLink l;
    l.Peer({SampleRecord(1), SampleRecord()});
    // A status poll that fires during the pause is refused instead of purging the record.
    TDeviceStatus polled = stReady;
    QTimer::singleShot(20, [&] { polled = l.cmd->GetStatus(); });
    TDeviceInfoRecord r;
    ASSERT_TRUE(l.conn->ReadDeviceInfo(r));
    EXPECT_EQ(polled, stNoReply);
    EXPECT_EQ(r.TimerBits, 24);
    EXPECT_EQ(l.port->TakeWritten(), "DIDI");
    EXPECT_EQ(l.shown, QStringList({"Getting device information (1)", "Getting device information (2)", ""}));
    EXPECT_EQ(l.Log(), QStringList({"DI: 1", "WD: __", "Count: 406", "Size: 406", "Read: 1", "CRC: 0", "DI: 1",
                                    "Count: 406", "Size: 406", "Read: 1", "CRC: 1"}));
}

TEST(DeviceInfoRead, RecordOutOfRangeIsRefusedAtOnce) {
    InfoLink l;
    QByteArray bad = SampleRecord();
    Put32(bad, 18, INT32_MAX); // MaxEvents near 2^31
    Seal(bad);
    l.Peer({bad, SampleRecord()});
    TDeviceInfoRecord r;
    r.MaxEvents = 7;
    EXPECT_FALSE(l.conn->ReadDeviceInfo(r));
    EXPECT_EQ(r.MaxEvents, 7);
    EXPECT_TRUE(l.conn->DeviceInfoError().startsWith("MaxEvents"));
    EXPECT_EQ(l.port->TakeWritten(), "DI"); // no second attempt: the instrument would say the same
    EXPECT_EQ(l.shown.last(), "");
}

TEST(DeviceInfoRead, ThreeFailedAttempts) {
    struct Case {
        const char *name;
        std::vector<QByteArray> replies;
        bool connected;
        QStringList log;
    } cases[] = {
        {"short",
         {SampleRecord().left(300), SampleRecord().left(10), SampleRecord().left(405)},
         true,
         {"DI: 1", "Count: 300", "Size: 406", "Read: 0", "DI: 1", "Count: 10", "Size: 406", "Read: 0", "DI: 1",
          "Count: 405", "Size: 406", "Read: 0"}},
        {"not connected", {}, false, {"DI: 0", "DI: 0", "DI: 0"}},
    };
    for (const Case &c : cases) {
        InfoLink l;
        l.link->SetConnected(c.connected);
        l.Peer(c.replies);
        TDeviceInfoRecord r;
        r.TimerBits = 7;
        EXPECT_FALSE(l.conn->ReadDeviceInfo(r)) << c.name;
        EXPECT_EQ(r.TimerBits, 7) << c.name;
        EXPECT_EQ(l.Log(), c.log) << c.name;
        EXPECT_EQ(l.shown.size(), 4) << c.name;
    }
}
