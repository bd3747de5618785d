// The Test Keys logic on the in-memory port: slider labels, the commands the
// levels become (bytes, order, pauses) by instrument type and firmware.
#include "../device/LinkTestSupport.h"
#include "app/KeyTest.h"
#include "device/MemoryCommPort.h"

#include <gtest/gtest.h>

using namespace tessel;

namespace {

// Written bytes and pauses in the order they happened.
struct KeyBench {
    TMemoryCommPort *port = nullptr;
    std::unique_ptr<test::TestLink> link;
    QStringList trace;
    std::function<void()> duringPause;
    std::unique_ptr<TKeyTest> keys;

    KeyBench(TDevice device, std::array<uint8_t, 4> version, bool connected = true) {
        auto p = std::make_unique<TMemoryCommPort>();
        port = p.get();
        link = std::make_unique<test::TestLink>(std::move(p), "ttyMem");
        link->SetDeviceType(device);
        link->SetVersion(version);
        link->Open();
        link->SetConnected(connected);
        keys = std::make_unique<TKeyTest>(*link, [this](int ms) {
            flush();
            trace << QStringLiteral("pause %1").arg(ms);
            if (auto f = std::exchange(duringPause, nullptr))
                f();
        });
    }
    // Each command on its own: the mnemonic, then its parameter bytes in hex.
    void flush() {
        QByteArray w = port->TakeWritten();
        while (!w.isEmpty()) {
            const bool macro = w.startsWith("EC");
            const int name = macro ? 2 : 3;
            const int n = macro ? 3 + uint8_t(w[2]) : 5;
            trace << QString::fromLatin1(w.left(name)) + ' ' + QString::fromLatin1(w.mid(name, n - name).toHex());
            w.remove(0, n);
        }
    }
    QStringList Take() {
        flush();
        return std::exchange(trace, {});
    }
};

const std::array<uint8_t, 4> kV108 = {1, 2, 1, 8}, kV109 = {1, 2, 1, 9};

} // namespace

TEST(KeyTest, SliderLabels) {
    const std::pair<int, const char *> cases[] = {
        {0, "0 %"},  {1, "0.1 %"},  {5, "0.5 %"},      {50, "4.9 %"},
        {511, "50 %"}, {100, "9.8 %"}, {1022, "99.9 %"}, {1023, "100 %"},
    };
    for (const auto &[position, text] : cases)
        EXPECT_EQ(KeyLevelText(position), QLatin1String(text)) << position;
}

TEST(KeyTest, ShowingSendsResetMacrosOnlyFromFirmware109) {
    const QStringList levels = {"SA1 ff03", "SA2 0000", "SA3 0000", "SA5 0000", "SA6 0000", "pause 100"};
    const QStringList macros = {"EC 05a4010b0fff", "EC 07a4010710244120", "EC 03200040", "EC 027200"};
    for (const auto &[version, expected] : {std::pair{kV108, levels}, std::pair{kV109, macros + levels}}) {
        KeyBench b(ModelT2, version);
        b.keys->SetLevel(0, 1023);
        EXPECT_TRUE(b.keys->Show());
        EXPECT_EQ(b.Take(), expected) << int(version[3]);
    }
}

TEST(KeyTest, LevelsByInstrumentType) {
    struct Case {
        TDevice device;
        const char *what;
        std::function<bool(TKeyTest &)> act;
        QStringList expected;
    };
    const Case cases[] = {
        {ModelT2, "every level, then one pause",
         [](TKeyTest &k) { return k.SendVoltages(); },
         {"SA1 e803", "SA2 0002", "SA3 3200", "SA5 bc02", "SA6 8403", "pause 100"}},
        {ModelW, "three levels, each followed by its pause",
         [](TKeyTest &k) { return k.SendVoltages(); },
         {"SA1 e803", "pause 100", "SA2 0002", "pause 100", "SA3 3200", "pause 100"}},
        {ModelW, "after a run: flashes and actinic light to 0",
         [](TKeyTest &k) { return k.ResetFlashLevels(); },
         {"SA1 0000", "pause 100", "SA2 0000", "pause 100", "SA3 0000", "pause 100"}},
    };
    for (const Case &c : cases) {
        KeyBench b(c.device, kV108);
        const int levels[kKeyLevelCount] = {1000, 512, 50, 700, 900};
        for (int i = 0; i < kKeyLevelCount; ++i)
            b.keys->SetLevel(i, levels[i]);
        EXPECT_TRUE(c.act(*b.keys)) << c.what;
        EXPECT_EQ(b.Take(), c.expected) << c.what;
        EXPECT_EQ(b.keys->LevelAvailable(3), c.device != ModelW) << c.what;
        EXPECT_EQ(b.keys->LevelAvailable(4), c.device != ModelW) << c.what;
        EXPECT_TRUE(b.keys->LevelAvailable(0)) << c.what;
        EXPECT_EQ(b.keys->Level(4), 900) << c.what;
    }
}

TEST(KeyTest, AChangeDuringThePauseIsSentAfterwardsWithTheNewLevels) {
    KeyBench b(ModelT2, kV108);
    b.duringPause = [&] {
        b.keys->SetLevel(1, 1023);
        EXPECT_TRUE(b.keys->SendVoltages());
    };
    EXPECT_TRUE(b.keys->SendVoltages());
    EXPECT_EQ(b.Take(), QStringList({"SA1 0000", "SA2 0000", "SA3 0000", "SA5 0000", "SA6 0000", "pause 100",
                                     "SA1 0000", "SA2 ff03", "SA3 0000", "SA5 0000", "SA6 0000", "pause 100"}));
}

TEST(KeyTest, RefusedByALinkWithoutInstrument) {
    KeyBench b(ModelT2, kV109, false);
    b.keys->SetLevel(0, 2000);
    EXPECT_EQ(b.keys->Level(0), 1023);
    EXPECT_FALSE(b.keys->Show());
    EXPECT_EQ(b.Take(), QStringList({"pause 100"}));
    EXPECT_FALSE(SendKeySignal(*b.link, "BF1"));
}

TEST(KeyTest, SignalCommands) {
    KeyBench b(ModelT2, kV108);
    const std::pair<const char *, QByteArray> sent[] = {
        {"BF1", "BF1"}, {"bf2", "BF2"}, {"SF1", "SF1"}, {"AX1", "AX1"}, {"ax3", "AX3"}, {"AX6", "AX6"},
    };
    for (const auto &[command, bytes] : sent) {
        EXPECT_TRUE(IsKeySignal(command)) << command;
        EXPECT_TRUE(SendKeySignal(*b.link, command)) << command;
        EXPECT_EQ(b.port->TakeWritten(), bytes) << command;
    }
    for (const char *bad : {"AX0", "AX7", "SF2", "BF", "SA1", ""}) {
        EXPECT_FALSE(IsKeySignal(bad)) << bad;
        EXPECT_FALSE(SendKeySignal(*b.link, bad)) << bad;
        EXPECT_TRUE(b.port->TakeWritten().isEmpty()) << bad;
    }
    // The window's buttons name the same commands; "&IR Light" is output 3.
    for (const TKeySignal &s : KeySignals())
        EXPECT_TRUE(IsKeySignal(s.command)) << s.name;
    EXPECT_STREQ(KeySignals()[5].caption, "&IR Light");
    EXPECT_STREQ(KeySignals()[5].command, "AX3");
}
