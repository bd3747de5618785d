// The service windows and their commands: "Test Keys", "Test unit result"
// against a report that does not end and the virtual instrument's report,
// and the menu and run wiring.
#include "app/widgets/ServiceWindows.h"
#include "../device/ScriptedPeer.h"
#include "SimBridge.h"
#include "app/CommonObjs.h"
#include "app/MeasurementRun.h"
#include "app/widgets/MainWindow.h"
#include "app/widgets/ServiceCommands.h"
#include "common/MessageService.h"
#include "settings/EnvSetup.h"
#include "support/RecordingServices.h"
#include "support/WindowPictures.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace tessel;

namespace {
sim::TSimOptions SimOptions() {
    sim::TSimOptions o;
    o.IniPath = test::SourcePath("resources/Tessel.ini").toStdString();
    return o;
}
} // namespace

// The levels' bytes and labels are the key test's (KeyTestTest); the window
// sends them when shown and when a slider moves, and keeps its place.
TEST(TestKeysWindow, SlidersButtonsTypeAndStoredPosition) {
    test::MemoryLink l(ModelT2);
    auto window = [&] { return std::make_unique<TfrmTestKeys>(*l.cmd, nullptr, [](int) {}); };
    {
        auto w = window();
        w->show();
        EXPECT_EQ(l.port->TakeWritten().left(5), QByteArray("SA1\0\0", 5)) << "showing sends the levels";
        w->ScrB(0)->setValue(1023);
        EXPECT_EQ(w->ScrBL(0)->text(), "100 %");
        const QByteArray all = l.port->TakeWritten();
        EXPECT_TRUE(all.startsWith("SA1\xff\x03SA2") && all.size() == 25) << "a change sends every level";
        w->Button("BtnAx3")->click();
        EXPECT_EQ(l.port->TakeWritten(), "AX3") << "\"&IR Light\" is output 3, and nothing else is sent";
        EXPECT_EQ(w->size(), w->sizeHint()) << "a fixed frame that fits its contents";
        w->move(123, 145);
        w->hide();
    }
    auto again = window();
    // Placed at the stored position before its first show, at its full size:
    // never an empty box of a widget's default size.
    EXPECT_EQ(again->size(), again->sizeHint());
    again->show();
    EXPECT_EQ(again->pos(), QPoint(123, 145));
    // A ModelW has no second actinic light and no infrared level.
    l.link->SetDeviceType(ModelW);
    again->SendVoltages();
    EXPECT_FALSE(again->ScrB(3)->isEnabled() || again->ScrB(4)->isEnabled());
    EXPECT_TRUE(again->ScrB(2)->isEnabled());
}

TEST(TestUnitWindow, AReportThatDoesNotEndIsBrokenOffOrCut) {
    struct Case {
        const char *what;
        bool flood, pressBreak;
        const char *note;
        bool dialog;
    };
    const Case cases[] = {
        {"Break", true, true, "Self test broken off.", false},
        {"time limit", true, false, "The report did not end within 0.4 s, so the self test was stopped.", true},
        {"silence", false, false,
         "The instrument stopped sending its report: nothing came for 0.3 s. The self test did not finish.", true},
    };
    for (const Case &c : cases) {
        RecordingMessageService messages;
        ScopedMessageService scope(&messages);
        test::MemoryLink l(ModelT2);
        l.link->WaitBounds().TestTotalMs = c.pressBreak ? 60000 : 400;
        l.link->WaitBounds().TestSilenceMs = 300;
        // "TST" is answered with a line; a flood then adds numbers and text for ever.
        QTimer flood;
        QObject::connect(&flood, &QTimer::timeout, [&] { l.port->FeedReceived(QByteArray("\0!\x2a\0#x", 6)); });
        l.port->SetOnWrite([&](const QByteArray &written) {
            if (written == "TST")
                QTimer::singleShot(1, [&] {
                    l.port->FeedReceived("#Lamp OK\r\n");
                    if (c.flood)
                        flood.start(5);
                });
        });
        TfrmTestUnit w(*l.cmd);
        if (c.pressBreak)
            QTimer::singleShot(150, [&] { w.BtnBreak()->click(); });
        w.show();
        ASSERT_TRUE(test::WaitUntil([&] { return w.Ran(); }, 5000)) << c.what;
        flood.stop();
        l.port->SetOnWrite(nullptr);
        EXPECT_EQ(w.Note()->text(), c.note) << c.what;
        EXPECT_TRUE(w.Memo()->toPlainText().startsWith("Lamp OK")) << c.what;
        EXPECT_TRUE(w.BtnClose()->isEnabled() && !w.BtnBreak()->isEnabled()) << c.what;
        EXPECT_EQ(messages.texts(), c.dialog ? QStringList{c.note} : QStringList{}) << c.what;
        l.Peer({"ND"});
        EXPECT_EQ(l.cmd->GetStatus(), stReady) << c.what << ": the link is free again";
    }
}

TEST(ServiceCommands, MenuPollingAndTheRun) {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    TEnvSetup env;
    auto port = std::make_unique<TMemoryCommPort>();
    TMemoryCommPort *p = port.get();
    auto link = std::make_unique<TCommunication>(std::move(port), "ttyMem");
    TCommunication *l = link.get();
    TfrmMain main(nullptr, &env);
    TCommonObjs common(std::move(link));
    TfrmTestKeys keys(common.Commands, &main, [](int) {});
    const auto run = common.Session.NewRun(main.Experiments());
    auto *service = new TServiceCommands(main, common, env, keys, nullptr, run.get());
    l->Open();
    l->SetConnected(true);
    QTimer::singleShot(0, &keys, &QDialog::accept);
    main.Action("mniTestKeys")->trigger();
    EXPECT_TRUE(p->TakeWritten().startsWith("SA1")) << "the key test window was shown";

    // The self test runs with the status polling off; it resumes afterwards.
    common.StatusTimer.start(3600 * 1000);
    test::ScriptedPeer peer(*p);
    peer.Replies({QByteArray("#Unit OK\0~", 10)});
    bool polling = true;
    service->OnTestUnitCreated = [&](TfrmTestUnit &w) {
        polling = common.StatusTimer.isActive();
        auto *closer = new QTimer(&w);
        QObject::connect(closer, &QTimer::timeout, &w, [&w] {
            if (w.Ran())
                w.BtnClose()->click();
        });
        closer->start(10);
    };
    main.Action("mniTestUnit")->trigger();
    EXPECT_FALSE(polling);
    EXPECT_TRUE(common.StatusTimer.isActive());
    EXPECT_TRUE(messages.entries.empty());

    // After a ModelW run the flash and actinic sliders return to 0.
    keys.ScrB(1)->setValue(800);
    keys.ScrB(4)->setValue(300);
    run->Host().ResetKeySliders();
    EXPECT_EQ(keys.ScrB(1)->value(), 0);
    EXPECT_EQ(keys.ScrB(4)->value(), 300);
}

// The self test against the virtual instrument, as the guide shows it (kept
// current by scripts/screenshots.sh): Close and Escape wait while the report
// comes in, which grows in view and fits the window.
TEST(ServiceWindows, SelfTestReportAndScreenshots) {
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    test::SimBridge bridge(SimOptions());
    ASSERT_TRUE(bridge.Connection->Connect(false, false));
    TfrmTestKeys keys(*bridge.Commands, nullptr, [&](int ms) { bridge.Pass(ms / 1000.0); });
    keys.show();
    keys.ScrB(0)->setValue(512);

    TfrmTestUnit w(*bridge.Commands);
    bool closeWhileRunning = false;
    QString partial;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!w.Running())
            return;
        closeWhileRunning = closeWhileRunning || w.BtnClose()->isEnabled() || !w.BtnBreak()->isEnabled();
        if (partial.isEmpty())
            partial = w.Memo()->toPlainText();
        w.reject(); // Escape waits for the end
    });
    probe.start(20);
    w.show();
    ASSERT_TRUE(test::WaitUntil([&] { return w.Ran(); }, 20000));
    EXPECT_FALSE(closeWhileRunning);
    EXPECT_TRUE(w.isVisible());
    const QString text = w.Memo()->toPlainText();
    EXPECT_TRUE(text.endsWith("\nSelf test passed")) << text.toStdString();
    EXPECT_LT(partial.size(), text.size()) << "the report grows while it comes in";
    EXPECT_TRUE(w.Note()->text().isEmpty() && messages.entries.empty());
    QCoreApplication::processEvents();
    EXPECT_LT(keys.width(), 800);
    EXPECT_EQ(w.Memo()->verticalScrollBar()->maximum(), 0);
    test::SaveScreenshot(keys, "test-keys.png");
    test::SaveScreenshot(w, "test-unit.png");
}
