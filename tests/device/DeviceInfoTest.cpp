// The device information record: decoding, checksum, the three attempts.
#include "ScriptedPeer.h"
#include "SimConstants.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::MemoryLink;

namespace {

// A record with distinct values in its fields, from the virtual instrument's
// encoder (written independently, so each checks the other); delta spoils
// the checksum.
QByteArray SampleRecord(int delta = 0, int32_t maxEvents = 32768) {
    sim::TSimConstants c;
    c.TimerBits = 24;
    c.TimeBase = 1e-7;
    c.TimePropagation = 4e-7;
    c.MinTimer = 5e-6;
    c.MaxEvents = maxEvents;
    c.MaxASamples = 70000;
    c.MaxBSamples = 0x12345;
    c.SamplesPerEvent = 0xFFFE;
    c.SampleDistance = 2e-6;
    c.BitResA = 16;
    c.BitResB = 12;
    c.MoChA = 2.5;
    c.MoChB = -5;
    for (int i = 0; i < 16; ++i)
        c.Bounds[size_t(i)] = {{{(i + 1) * 1e-6, i == 2}, {2.0 * (i + 1)}, {-(i + 1) * 1e-3, i == 2}, {1e6}}};
    const std::vector<uint8_t> r = sim::BuildDeviceInfoRecord(c);
    QByteArray record(reinterpret_cast<const char *>(r.data()), qsizetype(r.size()));
    record[405] = char(record[405] + delta);
    return record;
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
    // SamplesPerEvent is unsigned 16-bit.
    EXPECT_EQ(std::make_tuple(r->TimerBits, r->MaxEvents, r->MaxASamples, r->MaxBSamples, r->BitResA,
                              r->SamplesPerEventA, r->BitResB, r->SamplesPerEventB),
              std::make_tuple(24, 32768, 70000, 0x12345, 16, 0xFFFE, 12, 0xFFFE));
    EXPECT_DOUBLE_EQ(r->TimeBase, 1e-7);
    EXPECT_DOUBLE_EQ(r->TimePropagation, 4e-7);
    EXPECT_DOUBLE_EQ(r->MinTimer, 5e-6);
    EXPECT_DOUBLE_EQ(r->MoChA, 2.5);
    EXPECT_DOUBLE_EQ(r->SampleDistanceA, 2e-6);
    EXPECT_DOUBLE_EQ(r->MoChB, -5.0);
    EXPECT_DOUBLE_EQ(r->SampleDistanceB, 2e-6);
    // Flags 05: both minima errors, both maxima warnings; the last line ends the record.
    EXPECT_EQ(BoundsRow(*r, 2), QStringList({"2", "E: 3e-06", "W: 6", "E: -0.003", "W: 1e+06"}));
    EXPECT_EQ(BoundsRow(*r, 15), QStringList({"15", "W: 1.6e-05", "W: 32", "W: -0.016", "W: 1e+06"}));
    EXPECT_EQ(BoundsHeader(), QStringList({"Bit No.", "Lo Min", "Lo Max", "Hi Min", "Hi Max"}));
}

// Three attempts at most; a status poll that fires during the pause before
// the record is read is refused instead of purging it.
TEST(DeviceInfoRead, AttemptsRefusalsAndLog) {
    const QByteArray outOfRange = SampleRecord(0, INT32_MAX); // MaxEvents near 2^31
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
