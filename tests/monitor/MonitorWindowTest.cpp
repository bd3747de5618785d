// The monitor window on the in-memory port: what it sends, when it pauses,
// what it shows.
#include "../device/LinkTestSupport.h"
#include "../device/ScriptedPeer.h"
#include "monitor/MonitorRange.h"
#include "monitor/widgets/MonRangeDialog.h"
#include "monitor/widgets/MonitorWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QSlider>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

// Written commands in readable form ("MO 01 00"), in order with the pauses.
QString Command(const QByteArray &w) {
    QString s = QString::fromLatin1(w.left(2));
    for (char c : w.mid(2))
        s += QStringLiteral(" %1").arg(uint8_t(c), 2, 16, QChar('0'));
    return w == QByteArray(1, '\0') ? QStringLiteral("00") : s;
}

const TMonitorScale kVolts{0.0003125, 0.0003125, 16, 16, false, false};

struct MonitorWindowTest : ::testing::Test {
    std::unique_ptr<MemoryLink> l;
    std::unique_ptr<Tsmon> mon;
    QStringList log;          // commands and pauses
    std::vector<bool> polling;
    std::function<void(int)> duringPause;

    void open(TDevice device, bool gains, bool apd, const TMonitorScale &scale = kVolts) {
        l = std::make_unique<MemoryLink>(device);
        l->Peer({}).SetRule([this](const QByteArray &w) {
            log << Command(w);
            if (w == "SD")
                return QByteArray::fromHex("28292a2b"); // gains 40 41, offsets 42 43
            if (w == "SX")
                return QByteArray::fromHex("1e1f"); // APD 30 31
            return QByteArray();
        });
        mon = std::make_unique<Tsmon>(*l->link, scale);
        mon->SetStatusPolling = [this](bool on) { polling.push_back(on); };
        mon->PauseFor = [this](int ms) {
            log << QStringLiteral("pause %1").arg(ms);
            if (auto f = std::exchange(duringPause, nullptr)) {
                f(ms);
                log << QStringLiteral("resumed");
            }
        };
        mon->SetGainsEnabled(gains);
        mon->SetApdEnabled(apd);
    }
    void TearDown() override {
        mon.reset();
        l.reset();
    }
    void feed(const char *hex) { l->port->FeedReceived(QByteArray::fromHex(hex)); }
};

TEST_F(MonitorWindowTest, ShowsBothStreamFormsInVolts) {
    struct Case {
        TDevice device;
        const char *bytes;
        QString a, b;
    } cases[] = {
        // Simple stream: pairs of 16-bit values.
        {ModelF, "ffff0500", "A: -0.0003 V", "B: 0.0016 V"},
        // Packets show once the next bytes have come.
        {ModelT2, "53444d02011000022000" "33" "53444d02011000022000" "33", "A: 0.0050 V", "B: 0.0100 V"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.a.toStdString());
        open(c.device, false, false);
        mon->show();
        feed(c.bytes);
        ASSERT_TRUE(WaitUntil([&] { return mon->SamplesShown() >= 1; }));
        EXPECT_EQ(mon->NumLabA()->text(), c.a);
        EXPECT_EQ(mon->NumLabB()->text(), c.b);
        EXPECT_DOUBLE_EQ(mon->MeterA()->Value(), c.device == ModelF ? -0.0003125 : 16 * 0.0003125);
        mon->hide();
        TearDown();
    }
}

TEST_F(MonitorWindowTest, ShowReadsBackAndWritesOnlyTheApdValues) {
    open(ModelT2, true, true);
    mon->show();
    // Gains and offsets read are shown, not sent; the APD values read are
    // written back by their bars.
    EXPECT_EQ(log, QStringList({"SD", "SX", "SW 1e 01", "pause 50", "SW 1f 02", "pause 50", "pause 50", "pause 50",
                                "pause 50", "pause 50", "MO 00 00"}));
    EXPECT_EQ(mon->trGainA()->value(), 100 - 40);
    EXPECT_EQ(QList({mon->GainB, mon->OffsetA, mon->OffsetB, mon->Apd1, mon->Apd2}), QList({41, 42, 43, 30, 31}));
    EXPECT_EQ(polling, std::vector<bool>{false});
}

TEST_F(MonitorWindowTest, MeasuringFlashRestartsTheStream) {
    open(ModelT2, true, false);
    mon->show();
    for (bool flash : {true, false}) {
        log.clear();
        mon->ChB1()->click();
        EXPECT_EQ(log, QStringList({"MS", flash ? "MO 01 00" : "MO 00 00"}));
    }
    EXPECT_TRUE(mon->Streaming());
}

TEST_F(MonitorWindowTest, HidingStopsTheStreamAndGivesTheLinkBack) {
    for (bool gains : {true, false}) {
        SCOPED_TRACE(gains);
        open(ModelF, gains, false);
        polling.clear();
        mon->show();
        ASSERT_TRUE(l->link->OnRxChar);
        log.clear();
        mon->hide();
        // Without gain control the stream ends with a single 0 byte.
        EXPECT_EQ(log, QStringList({gains ? "MS" : "00", "pause 1000"}));
        EXPECT_FALSE(l->link->OnRxChar);
        EXPECT_EQ(polling, (std::vector<bool>{false, true}));
        // Destroyed while shown: the stream stops, but nothing pauses.
        mon->show();
        log.clear();
        mon.reset();
        EXPECT_EQ(log, QStringList{gains ? "MS" : "00"});
        EXPECT_FALSE(l->link->OnRxChar);
        TearDown();
    }
}

TEST_F(MonitorWindowTest, StayOnTopKeepsTheModalRunAndTheStream) {
    open(ModelT2, true, false);
    int checks = 0;
    // Once the modal run has started the stream (its start runs events itself).
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() != mon.get() || !mon->Streaming())
            return;
        poll.stop();
        log.clear();
        for (bool on : {true, false}) {
            mon->SetStayOnTop(on);
            QCoreApplication::processEvents();
            EXPECT_EQ(mon->StaysOnTop(), on);
            EXPECT_TRUE(mon->isVisible());
            EXPECT_EQ(QApplication::activeModalWidget(), mon.get());
            EXPECT_TRUE(mon->Streaming() && l->link->OnRxChar);
            ++checks;
        }
        EXPECT_TRUE(log.isEmpty()) << log.join(", ").toStdString(); // no MS, no pause
        EXPECT_EQ(polling, std::vector<bool>{false});
        mon->reject();
    });
    poll.start();
    mon->exec();
    EXPECT_EQ(checks, 2);
    EXPECT_EQ(polling, (std::vector<bool>{false, true}));
}

TEST_F(MonitorWindowTest, BarMovesDuringAPauseWaitTheirTurn) {
    open(ModelT2, true, false);
    mon->show();
    log.clear();
    // The user moves offset B while gain A's pause runs.
    duringPause = [this](int) { mon->trOfsB()->setValue(77); };
    mon->trGainA()->setValue(100 - 65);
    EXPECT_EQ(log, QStringList({"SG 41 01", "pause 50", "resumed", "SO 4d 02", "pause 50"}));
    EXPECT_EQ(QList({mon->GainA, mon->OffsetB}), QList({65, 77}));
}

TEST_F(MonitorWindowTest, ScaleChangesApplyWhileOpen) {
    open(ModelF, false, false, {1, 1, 16, 16, false, false});
    mon->show();
    EXPECT_DOUBLE_EQ(mon->MeterA()->Max(), 32768);
    mon->SetScale({0.0003125, 0.00125, 16, 14, false, false});
    EXPECT_DOUBLE_EQ(mon->MeterA()->Max(), 10.24);
    EXPECT_DOUBLE_EQ(mon->MeterB()->Min(), -10.24);
    EXPECT_EQ(mon->RangeDialog()->lbRangeA->text(), "-10.24 ... 10.24 V");
    feed("00080008");
    ASSERT_TRUE(WaitUntil([&] { return mon->SamplesShown() >= 1; }));
    EXPECT_EQ(mon->NumLabA()->text() + " " + mon->NumLabB()->text(), "A: 0.6400 V B: 2.5600 V");
}

TEST_F(MonitorWindowTest, RangeChangesAreStoredAtOnce) {
    open(ModelF, false, false);
    mon->RangeDialog()->AHigh()->setValue(-6);
    mon->RangeDialog()->BSymetrize()->click();
    EXPECT_DOUBLE_EQ(mon->MeterA()->Max(), 5.12);
    // Another dialog (the next run of the program) finds them.
    TfrmMonRange other;
    other.RestoreSettings();
    EXPECT_EQ(other.AHigh()->value(), -6);
    EXPECT_TRUE(other.BSymetrize()->isChecked());
}

int DarkPixels(const QImage &img, QRect r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += qGray(img.pixel(x, y)) < 100;
    return n;
}

TEST_F(MonitorWindowTest, Screenshot) {
    // Kept current by scripts/screenshots.sh; a plain run checks the pictures.
    open(ModelT2, true, true);
    mon->show();
    feed("53444d0201000f02000a" "1c" "53444d0201000f02000a" "1c");
    ASSERT_TRUE(WaitUntil([&] { return mon->SamplesShown() >= 1; }));
    QCoreApplication::processEvents();
    // A usable size at the first open, every control inside.
    EXPECT_GE(mon->width(), 560);
    EXPECT_GE(mon->height(), 460);
    for (QWidget *w : {static_cast<QWidget *>(mon->ChB1()), static_cast<QWidget *>(mon->trAPD2())})
        EXPECT_TRUE(mon->rect().contains(QRect(w->mapTo(mon.get(), QPoint(0, 0)), w->size())));
    const QImage img = mon->grab().toImage();
    // Each dial carries its numbered scale; the needle is red.
    for (TMonitorMeter *m : {mon->MeterA(), mon->MeterB()}) {
        const QRect r(m->mapTo(mon.get(), QPoint(0, 0)), m->size());
        EXPECT_GT(DarkPixels(img, r), 300);
        int red = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                red += img.pixelColor(x, y).red() > 200 && img.pixelColor(x, y).green() < 80;
        EXPECT_GT(red, 20);
    }
    TfrmMonRange *range = mon->RangeDialog();
    range->show();
    QCoreApplication::processEvents();
    const QImage rangeImg = range->grab().toImage();
    EXPECT_GT(DarkPixels(rangeImg, QRect(range->lbRangeA->mapTo(range, QPoint(0, 0)), range->lbRangeA->size())), 30);
    if (const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR"); !out.isEmpty()) {
        EXPECT_TRUE(img.save(QDir(out).filePath("monitor-window.png")));
        EXPECT_TRUE(rangeImg.save(QDir(out).filePath("monitor-range.png")));
    }
    range->hide();
}

} // namespace
