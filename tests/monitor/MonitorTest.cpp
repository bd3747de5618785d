#include "monitor/MonitorActions.h"
#include "monitor/MonitorRange.h"
#include "monitor/MonitorStream.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

// The port's input queue as the decoder sees it: notifications announce what
// is queued, the decoder reads part of it, the rest stays for the next one.
struct Queue {
    QByteArray bytes;
    std::vector<TMonitorSample> feed(TMonitorDecoder &d, const QByteArray &more) {
        bytes += more;
        return d.Decode(int32_t(bytes.size()), [this](char *buf, int32_t n) {
            const int32_t k = std::min<int32_t>(n, int32_t(bytes.size()));
            std::copy_n(bytes.constData(), k, buf);
            bytes.remove(0, k);
            return k;
        });
    }
};

const QByteArray kPacket = QByteArray::fromHex("53444d0201100002200033");
const TMonitorScale kScale{0.5, 0.25, 12, 12, false, false};

} // namespace

TEST(MonitorDecoder, StreamCases) {
    const QByteArray badSum = QByteArray::fromHex("53444d0201100002200034");
    const QByteArray three = QByteArray::fromHex("53444d030101000202000303000c");
    const QByteArray negative = QByteArray::fromHex("53444d0201feff02008080");
    const QByteArray tail = QByteArray::fromHex("00000000000000");
    const auto P = TMonitorForm::Packet, S = TMonitorForm::Simple;
    const TMonitorScale unsignedBoth{1, 1, 16, 16, true, true};
    struct {
        const char *name;
        TMonitorForm form;
        QByteArray stream;
        TMonitorScale scale;
        std::vector<std::pair<double, double>> shown;
    } cases[] = {
        // A packet is shown once more than a whole packet body waits behind it.
        {"a packet waits", P, kPacket + kPacket.left(6), kScale, {}},
        {"then it is shown", P, kPacket + kPacket.left(7), kScale, {{8, 8}}},
        {"bad checksum dropped, next found", P, badSum + kPacket + kPacket + tail, kScale, {{8, 8}, {8, 8}}},
        {"three items not shown", P, three + kPacket + tail, kScale, {{8, 8}}},
        {"garbage before header", P, QByteArray::fromHex("5344ff534d00") + kPacket + tail, kScale, {{8, 8}}},
        {"empty packet skipped", P, QByteArray::fromHex("53444d00") + kPacket + tail, kScale, {{8, 8}}},
        {"signed values", P, negative + tail, kScale, {{-1.0, -32768 * 0.25}}},
        {"unsigned detectors halve", P, negative + tail, unsignedBoth, {{0x7fff, 0x4000}}},
        // Pairs of signed words whatever the flags; half a pair waits for the rest.
        {"simple pairs",
         S,
         QByteArray::fromHex("ffff050001000080ff"),
         {0.5, 0.25, 16, 16, true, true},
         {{-0.5, 1.25}, {0.5, -8192}}},
    };
    for (const auto &c : cases) {
        // Whole stream at once and byte by byte must give the same pairs.
        for (int chunk : {1 << 20, 1, 5}) {
            SCOPED_TRACE(testing::Message() << c.name << " chunk " << chunk);
            TMonitorDecoder d(c.form, c.scale);
            Queue q;
            std::vector<std::pair<double, double>> got; // all exact in binary
            for (qsizetype i = 0; i < c.stream.size(); i += chunk)
                for (const auto &s : q.feed(d, c.stream.mid(i, chunk)))
                    got.emplace_back(s.A, s.B);
            EXPECT_EQ(got, c.shown);
        }
    }
    // Which types stream packets is the device table's; the two forms map through.
    EXPECT_EQ(QList({MonitorFormFor(ModelT2), MonitorFormFor(ModelF)}), QList({P, S}));
}

TEST(MonitorRange, MeterScales) {
    struct {
        int32_t bitRes;
        double moCh;
        int32_t low, high;
        double min, max;
    } cases[] = {
        {12, 0.001, 6, -6, -1.024, 1.024},
        {12, -0.001, 12, -12, -2.048, 2.048},
        {16, 1.0, 12, 1, -32768, -32768.0 / 12},
        {0, 2.0, 12, -12, -2, 2}, // nonsense resolution counts as one bit
        {40, 1.0, 12, -12, -549755813888.0, 549755813888.0},
    };
    for (const auto &c : cases) {
        TMonitorRange r;
        r.SetLow(TMonitorRange::A, c.low);
        r.SetHigh(TMonitorRange::A, c.high);
        const double fs = MonitorFullScale(c.bitRes, c.moCh);
        EXPECT_DOUBLE_EQ(r.MeterMin(TMonitorRange::A, fs), c.min) << c.bitRes;
        EXPECT_DOUBLE_EQ(r.MeterMax(TMonitorRange::A, fs), c.max) << c.bitRes;
    }
}

TEST(MonitorRange, BarRules) {
    enum Op { Low, High, Sym };
    struct {
        const char *name;
        int32_t low0, high0;
        bool sym;
        Op op;
        int32_t value;
        int32_t low, high;
    } cases[] = {
        {"sym high to 0", 12, -12, true, High, 0, 1, -1},
        {"low above high pushes high", 12, -2, false, Low, -4, -4, -5},
        {"low onto top high moves low", 12, -12, false, Low, -12, -11, -12},
        {"high below low pushes low", 3, -12, false, High, 5, 6, 5},
        {"high onto bottom low moves high", 12, -12, false, High, 12, 12, 11},
        {"clamped to bar range", 6, -12, false, Low, 40, 12, -12},
        {"symetrize takes the wider side", 3, -7, false, Sym, 1, 7, -7},
        {"symetrize of a centred pair", 1, 0, false, Sym, 1, 1, -1},
    };
    for (const auto &c : cases) {
        TMonitorRange r;
        r.SetLow(TMonitorRange::B, c.low0);
        r.SetHigh(TMonitorRange::B, c.high0);
        if (c.sym)
            r.SetSymetrize(TMonitorRange::B, true);
        if (c.op == Low)
            r.SetLow(TMonitorRange::B, c.value);
        else if (c.op == High)
            r.SetHigh(TMonitorRange::B, c.value);
        else
            r.SetSymetrize(TMonitorRange::B, true);
        EXPECT_EQ(QList({r.Low(TMonitorRange::B), r.High(TMonitorRange::B)}), QList({c.low, c.high})) << c.name;
        EXPECT_EQ(r.Low(TMonitorRange::A), 0) << c.name; // the other channel stays
    }
}

TEST(MonitorRange, RestoredDefaultsAndRules) {
    test::TestDir dir;
    const auto a = TMonitorRange::A, b = TMonitorRange::B;
    auto positions = [&](const TMonitorRange &r) {
        return QList({r.Low(a), r.High(a), int(r.Symetrize(a)), r.Low(b), r.High(b), int(r.Symetrize(b))});
    };
    auto restored = [&](const TPFormSettings &s) {
        TMonitorRange r;
        r.RestoreFrom(s);
        return positions(r);
    };
    // Saving and restoring positions goes through the range dialog (MonitorWindowTest).
    TPFormSettings s = TMonitorRange::MakeStore();
    s.Restore();
    EXPECT_EQ(restored(s), QList({12, -12, 0, 12, -12, 0})) << "nothing stored: the full range";

    // A ticked box runs its rule: its pair comes out mirrored even when only
    // the other channel's positions were stored (a pair at 0 has no range).
    TPFormSettings partial = TMonitorRange::MakeStore();
    partial.SetValue("ASymetrize", true);
    partial.SetValue("BLowPossition", 5);
    partial.SetValue("BHighPossition", -5);
    EXPECT_EQ(restored(partial), QList({1, -1, 1, 5, -5, 0}));
}

TEST(MonitorMeter, MarksAtRoundSteps) {
    const std::pair<double, QStringList> cases[] = {
        {10.24, {"-10", "-5", "0", "5", "10"}},
        {0.06, {"-0.06", "-0.04", "-0.02", "0.00", "0.02", "0.04", "0.06"}},
    };
    for (const auto &[fullScale, expected] : cases) {
        QStringList labels;
        int minor = 0;
        for (const TMeterMark &m : MeterMarks(-fullScale, fullScale))
            m.Label.isEmpty() ? void(++minor) : void(labels << m.Label);
        EXPECT_EQ(labels, expected);
        EXPECT_EQ(minor, 4 * (expected.size() - 1)) << fullScale; // four between two numbers
    }
    EXPECT_TRUE(MeterMarks(1, 1).empty());
}
