// The live monitor's session on the in-memory port: what it sends, in which
// order, and when it pauses.
#include "monitor/MonitorSession.h"
#include "MonitorPeer.h"

using namespace tessel;
using namespace tessel::test;

namespace {

const TMonitorScale kScale{0.0003125, 0.0003125, 16, 16, false, false};

struct MonitorSessionTest : ::testing::Test {
    QStringList log; // commands and pauses, in order
    std::vector<bool> polling;
    std::function<void()> duringPause;
    std::unique_ptr<MemoryLink> l;
    std::unique_ptr<TMonitorSession> s; // goes first: its end still logs

    void open(TDevice device, bool gains, bool apd) {
        l = std::make_unique<MemoryLink>(device);
        LogMonitorCommands(*l, log);
        s = std::make_unique<TMonitorSession>(*l->cmd, kScale);
        s->SetStatusPolling = [this](bool on) { polling.push_back(on); };
        s->PauseFor = [this](int ms) {
            log << QStringLiteral("pause %1").arg(ms);
            if (auto f = std::exchange(duringPause, nullptr)) {
                f();
                log << QStringLiteral("resumed");
            }
        };
        s->SetGainsEnabled(gains);
        s->SetApdEnabled(apd);
    }
};

TEST_F(MonitorSessionTest, StreamFromStartToStop) {
    struct Case {
        TDevice device;
        bool gains, apd;
        QStringList start, restart, stop;
    };
    // Without gain control the values are not read and a single 0 byte ends the stream.
    const Case cases[] = {
        {ModelT2, true, true, {"SD", "SX", "MO 00 00"}, {"MS", "MO 01 00"}, {"MS", "pause 1000"}},
        {ModelF, false, false, {"MO 00 00"}, {"MS", "MO 01 00"}, {"00", "pause 1000"}},
    };
    for (const Case &c : cases) {
        open(c.device, c.gains, c.apd);
        QList<int> shown;
        s->ValuesRead = [&] { shown = {s->GainA, s->OffsetB, s->Apd2}; };
        s->Start(false);
        EXPECT_EQ(log, c.start) << c.device;
        EXPECT_EQ(shown, c.gains ? QList({40, 43, 31}) : QList({0, 0, 0}));
        log.clear();
        s->Restart(true);
        EXPECT_EQ(log, c.restart);
        log.clear();
        s->Stop(true);
        EXPECT_EQ(log, c.stop);
        EXPECT_EQ(polling, (std::vector<bool>{false, true}));
        polling.clear();
        log.clear();
    }
}

// Destroyed while streaming: stopped, but no pause.
TEST_F(MonitorSessionTest, DestroyedWhileStreamingStopsWithoutAPause) {
    open(ModelF, false, false);
    s->Start(false);
    log.clear();
    s.reset();
    EXPECT_EQ(log, QStringList({"00"}));
    EXPECT_FALSE(l->link->OnRxChar);
}

TEST_F(MonitorSessionTest, SettingsWaitTheirTurnAndSendTheLatestValue) {
    open(ModelT2, true, true);
    s->Start(false);
    log.clear();
    // The gain bar is inverted; an offset moved twice during the pause goes out once, with its last value.
    duringPause = [this] {
        s->OffsetMoved(1, 70);
        s->OffsetMoved(1, 77);
    };
    s->GainMoved(0, 100 - 65);
    EXPECT_EQ(log, QStringList({"SG 41 01", "pause 50", "resumed", "SO 4d 02", "pause 50"}));
    // What the instrument has already is not sent again; the pause stays.
    log.clear();
    s->GainMoved(0, 100 - 65);
    EXPECT_EQ(log, QStringList({"pause 50"}));
    // Closed during a photodiode's pause: nothing is touched afterwards.
    int sent = 0;
    s->ApdSent = [&](int, int) { ++sent; };
    duringPause = [this] { s.reset(); };
    s->ApdMoved(0, 12);
    EXPECT_EQ(sent, 0);
    EXPECT_FALSE(l->link->OnRxChar);
}

} // namespace
