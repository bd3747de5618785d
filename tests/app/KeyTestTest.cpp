// The Test Keys levels on the in-memory port: the commands and pauses they
// become by instrument type and firmware.
#include "app/KeyTest.h"
#include "../device/LinkTestSupport.h"
#include "support/MemoryCommPort.h"

using namespace tessel;

namespace {
// Every command written ("SA1 ff03", "EC 027200") and every pause, in order.
struct KeyBench {
    TMemoryCommPort *port = new TMemoryCommPort;
    TCommunication link{std::unique_ptr<TMemoryCommPort>(port), "ttyMem"};
    TCommandSet commands{link};
    QStringList trace;
    TKeyTest keys{commands, [this](int ms) {
                      flush();
                      trace << QStringLiteral("pause %1").arg(ms);
                  }};
    KeyBench(TDevice device, uint8_t versionLow) {
        link.SetDeviceType(device);
        link.SetVersion({1, 2, 1, versionLow});
        link.Open();
        link.SetConnected(true);
    }
    void flush() {
        for (QByteArray w = port->TakeWritten(); !w.isEmpty();) {
            const bool macro = w.startsWith("EC");
            const int name = macro ? 2 : 3, n = macro ? 3 + uint8_t(w[2]) : 5;
            trace << QString::fromLatin1(w.left(name) + ' ' + w.mid(name, n - name).toHex());
            w.remove(0, n);
        }
    }
    QStringList Take() {
        flush();
        return std::exchange(trace, {});
    }
};
} // namespace

TEST(KeyTest, LevelsSentByTypeAndFirmware) {
    const QStringList five = {"SA1 e803", "SA2 0002", "SA3 3200", "SA5 bc02", "SA6 8403", "pause 100"};
    const QStringList macros = {"EC 05a4010b0fff", "EC 07a4010710244120", "EC 03200040", "EC 027200"};
    const QStringList three = {"SA1 e803", "pause 100", "SA2 0002", "pause 100", "SA3 3200", "pause 100"};
    const QStringList zeros = {"SA1 0000", "pause 100", "SA2 0000", "pause 100", "SA3 0000", "pause 100"};
    struct Case {
        const char *what;
        TDevice device;
        uint8_t version;
        bool (TKeyTest::*act)();
        QStringList expected;
    };
    const Case cases[] = {
        {"firmware 1.8: no reset macros", ModelT2, 8, &TKeyTest::Show, five},
        {"firmware 1.9: reset macros first", ModelT2, 9, &TKeyTest::Show, macros + five},
        {"ModelW: three levels, 100 ms apart", ModelW, 8, &TKeyTest::SendVoltages, three},
        {"ModelW after a run: those three to 0", ModelW, 8, &TKeyTest::ResetFlashLevels, zeros},
    };
    for (const Case &c : cases) {
        KeyBench b(c.device, c.version);
        for (int i = 0; i < kKeyLevelCount; ++i)
            b.keys.SetLevel(i, std::array{1000, 512, 50, 700, 900}[size_t(i)]);
        EXPECT_TRUE((b.keys.*c.act)()) << c.what;
        EXPECT_EQ(b.Take(), c.expected) << c.what;
    }
}
