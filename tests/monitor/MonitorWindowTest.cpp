// The monitor window on the in-memory port: what it shows, and what its
// controls hand to the session.
#include "monitor/widgets/MonitorWindow.h"
#include "MonitorPeer.h"
#include "monitor/widgets/MonRangeDialog.h"
#include "support/WindowPictures.h"

#include <QCheckBox>
#include <QLabel>
#include <QSlider>

using namespace tessel;
using namespace tessel::test;

namespace {

struct MonitorWindowTest : ::testing::Test {
    QStringList log; // commands and pauses, in order
    std::unique_ptr<MemoryLink> l;
    std::unique_ptr<Tsmon> mon; // goes first: its end still logs

    void open(TDevice device, bool gains, bool apd = false) {
        l = std::make_unique<MemoryLink>(device);
        LogMonitorCommands(*l, log);
        mon = std::make_unique<Tsmon>(*l->cmd, TMonitorScale{0.0003125, 0.0003125, 16, 16, false, false});
        mon->Session().PauseFor = [this](int ms) { log << QStringLiteral("pause %1").arg(ms); };
        mon->SetGainsEnabled(gains);
        mon->SetApdEnabled(apd);
    }
};

TEST_F(MonitorWindowTest, ScaleAndRangeChangesApplyAndAreStored) {
    open(ModelF, false);
    mon->show();
    mon->SetScale({0.0003125, 0.00125, 16, 14, false, false});
    EXPECT_DOUBLE_EQ(mon->MeterB()->Min(), -10.24);
    mon->RangeDialog()->AHigh()->setValue(-6);
    EXPECT_DOUBLE_EQ(mon->MeterA()->Max(), 5.12);
    EXPECT_EQ(mon->RangeDialog()->lbRangeA->text(), "-10.24 ... 5.12 V");
    l->port->FeedReceived(QByteArray::fromHex("00080008"));
    ASSERT_TRUE(WaitUntil([&] { return mon->SamplesShown() >= 1; }));
    EXPECT_EQ(mon->NumLabB()->text(), "B: 2.5600 V"); // the decoder took the new scale
    TfrmMonRange next;                                // as the next run of the program finds it
    next.RestoreSettings();
    EXPECT_EQ(next.AHigh()->value(), -6);
}

// Kept current by scripts/screenshots.sh. The session's commands are pinned
// on their own; the window shows what it read, sends its photodiode bars
// back, draws its dials, restarts for a channel and stops.
TEST_F(MonitorWindowTest, ScreenshotShowsTheValuesReadAndSendsThePhotodiodesBack) {
    open(ModelT2, true, true);
    mon->show();
    EXPECT_EQ(log.mid(0, 5), QStringList({"SD", "SX", "SW 1e 01", "pause 50", "SW 1f 02"}));
    EXPECT_EQ(QList({mon->trGainA()->value(), mon->trOfsB()->value(), mon->trAPD2()->value()}),
              QList({100 - 40, 43, 31}));
    l->port->FeedReceived(QByteArray::fromHex("53444d0201000f02000a1c53444d0201000f02000a1c"));
    ASSERT_TRUE(WaitUntil([&] { return mon->SamplesShown() >= 1; }));
    // Usable at the first open: every control inside.
    EXPECT_TRUE(mon->rect().contains(QRect(mon->ChB1()->mapTo(mon.get(), QPoint()), mon->ChB1()->size())));
    const QImage img = mon->grab().toImage();
    // Each dial's red needle.
    for (TMonitorMeter *m : {mon->MeterA(), mon->MeterB()}) {
        const QImage dial = img.copy(QRect(m->mapTo(mon.get(), QPoint()), m->size()));
        EXPECT_GT(CountPixels(dial, [](const QColor &c) { return c.red() > 200 && c.green() < 80; }), 20);
    }
    SaveScreenshot(img, "monitor-window.png");
    mon->RangeDialog()->show();
    SaveScreenshot(*mon->RangeDialog(), "monitor-range.png");
    log.clear();
    mon->ChB1()->click();
    EXPECT_EQ(log, QStringList({"MS", "MO 01 00"}));
    mon->hide();
    EXPECT_FALSE(mon->Streaming());
}

} // namespace
