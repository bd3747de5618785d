// The device information record: decoding, checksum, the three attempts.
#include "ScriptedPeer.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::MemoryLink;

namespace {

// Big-endian, as the record carries its integers.
void Put(QByteArray &r, int at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        r[at + i] = char(v >> (8 * (bytes - 1 - i)));
}
// A decimal float: 32-bit mantissa, then the decimal exponent.
void PutFloat(QByteArray &r, int at, int32_t mantissa, int8_t exponent) {
    Put(r, at, uint32_t(mantissa), 4);
    r[at + 4] = char(exponent);
}
// The checksum of the first 405 bytes goes last; delta spoils it.
QByteArray Sealed(const QByteArray &r, int delta = 0) { return test::WithSum(r.left(405), delta); }

// A record with distinct values in every field; the uninterpreted bytes are noise.
QByteArray SampleRecord(int delta = 0) {
    QByteArray r(406, char(0x5A));
    r[2] = char(24);
    PutFloat(r, 3, 1, -7);  // 1e-7
    PutFloat(r, 8, 4, -7);  // 4e-7
    PutFloat(r, 13, 5, -6); // 5e-6
    Put(r, 18, 32768, 4);
    Put(r, 22, 70000, 4);
    Put(r, 26, 0x12345, 4);
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
    Put(r, 382, 0xFFFE, 2);
    PutFloat(r, 384, 2, -6);
    r[391] = char(12);
    PutFloat(r, 392, -5, 0);
    Put(r, 397, 3, 2);
    PutFloat(r, 399, 7, -7);
    return Sealed(r, delta);
}

} // namespace

TEST(DeviceInfoRecord, DecimalFloatsChecksumAndLength) {
    struct Case {
        const char *hex;
        double value;
    } cases[] = {
        {"00000005fa", 5e-6},   {"fffffffe00", -2.0}, {"7fffffff00", 2147483647.0}, {"8000000002", -214748364800.0},
        {"0000000c7f", 12e127},
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(DecodeDecimalFloat(QByteArray::fromHex(c.hex).constData()), c.value) << c.hex;
    // A record is 406 bytes with its checksum last; what follows is ignored.
    EXPECT_FALSE(DecodeDeviceInfo(SampleRecord(1)));
    EXPECT_FALSE(DecodeDeviceInfo(SampleRecord().left(405)));
    EXPECT_TRUE(DecodeDeviceInfo(SampleRecord() + "extra"));
}

TEST(DeviceInfoRecord, DecodesEveryField) {
    const auto r = DecodeDeviceInfo(SampleRecord());
    ASSERT_TRUE(r);
    // SamplesPerEventA is unsigned 16-bit.
    EXPECT_EQ(std::make_tuple(r->TimerBits, r->MaxEvents, r->MaxASamples, r->MaxBSamples, r->BitResA,
                              r->SamplesPerEventA, r->BitResB, r->SamplesPerEventB),
              std::make_tuple(24, 32768, 70000, 0x12345, 16, 0xFFFE, 12, 3));
    EXPECT_DOUBLE_EQ(r->TimeBase, 1e-7);
    EXPECT_DOUBLE_EQ(r->TimePropagation, 4e-7);
    EXPECT_DOUBLE_EQ(r->MinTimer, 5e-6);
    EXPECT_DOUBLE_EQ(r->MoChA, 2.5);
    EXPECT_DOUBLE_EQ(r->SampleDistanceA, 2e-6);
    EXPECT_DOUBLE_EQ(r->MoChB, -5.0);
    EXPECT_DOUBLE_EQ(r->SampleDistanceB, 7e-7);
    for (int i = 0; i < 16; ++i) {
        const TLineBounds &b = r->Bounds[size_t(i)];
        EXPECT_DOUBLE_EQ(b.SpaceMin.Limit, (i + 1) * 1e-6) << i;
        EXPECT_DOUBLE_EQ(b.SpaceMax.Limit, 2.0 * (i + 1)) << i;
        EXPECT_DOUBLE_EQ(b.PulseMin.Limit, -(i + 1) * 1e-3) << i;
        EXPECT_DOUBLE_EQ(b.PulseMax.Limit, 1e6) << i;
    }
    // Flags 05: both minima errors, both maxima warnings.
    EXPECT_EQ(BoundsRow(*r, 2), QStringList({"2", "E: 3e-06", "W: 6", "E: -0.003", "W: 1e+06"}));
    EXPECT_EQ(BoundsHeader(), QStringList({"Bit No.", "Lo Min", "Lo Max", "Hi Min", "Hi Max"}));
}

TEST(DeviceInfoRecord, ValuesOutsideTheirRangeAreNamed) {
    const auto sample = DecodeDeviceInfo(SampleRecord());
    ASSERT_TRUE(sample);
    EXPECT_EQ(DeviceInfoRangeError(*sample), "");
    const std::pair<std::function<void(TDeviceInfoRecord &)>, const char *> cases[] = {
        {[](TDeviceInfoRecord &r) { r.MaxEvents = INT32_MAX; }, "MaxEvents 2.14748e+09 outside 1 to 1.04858e+06"},
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

// Three attempts at most; a status poll that fires during the pause before
// the record is read is refused instead of purging it.
TEST(DeviceInfoRead, AttemptsRefusalsAndLog) {
    QByteArray outOfRange = SampleRecord();
    Put(outOfRange, 18, INT32_MAX, 4); // MaxEvents near 2^31
    outOfRange = Sealed(outOfRange);
    const QStringList read = {"Count: 406", "Size: 406", "Read: 1"};
    struct Case {
        const char *name;
        std::vector<QByteArray> replies;
        bool connected, ok;
        int attempts;
        QStringList log;
        QString error;
    };
    const Case cases[] = {
        {"bad checksum, then good",
         {SampleRecord(1), SampleRecord()},
         true,
         true,
         2,
         QStringList{"DI: 1", "WD: __"} + read + QStringList{"CRC: 0", "DI: 1"} + read + QStringList{"CRC: 1"},
         ""},
        // No second attempt: the instrument would say the same.
        {"out of range",
         {outOfRange, SampleRecord()},
         true,
         false,
         1,
         QStringList{"DI: 1", "WD: __"} + read +
             QStringList{"CRC: 1", "DI: refused, MaxEvents 2.14748e+09 outside 1 to 1.04858e+06"},
         "MaxEvents 2.14748e+09 outside 1 to 1.04858e+06"},
        {"not connected", {}, false, false, 3, {"DI: 0", "DI: 0", "DI: 0"}, "no valid record"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MemoryLink l(ModelT2);
        l.link->WaitBounds().DeviceInfoPauseMs = 60;
        l.link->SetConnected(c.connected);
        QStringList shown, expectShown;
        for (int i = 1; i <= c.attempts; ++i)
            expectShown << QStringLiteral("Getting device information (%1)").arg(i);
        l.conn->ShowProgress = [&](const QString &t) { shown.append(t); };
        TDeviceStatus polled = stReady;
        bool poll = true;
        l.link->SetProcessEvents([&] {
            if (std::exchange(poll, false))
                polled = l.cmd->GetStatus();
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        });
        l.Peer(c.replies, 0);
        TDeviceInfoRecord r;
        r.TimerBits = 7;
        EXPECT_EQ(l.conn->ReadDeviceInfo(r), c.ok);
        EXPECT_EQ(r.TimerBits, c.ok ? 24 : 7);
        EXPECT_EQ(polled, c.connected ? stNoReply : stReady);
        EXPECT_EQ(l.port->TakeWritten(), QByteArray("DI").repeated(c.connected ? c.attempts : 0));
        EXPECT_EQ(l.Log(), c.log);
        EXPECT_EQ(shown, expectShown << "");
        EXPECT_EQ(l.conn->DeviceInfoError(), c.error);
    }
}
