// The main window's instrument and service commands and the service windows:
// "Test Keys", "Test unit result" against a report that does not end and the
// virtual instrument's report, and the menu and run wiring.
#include "app/widgets/ServiceWindows.h"
#include "../device/ScriptedPeer.h"
#include "SimBridge.h"
#include "app/CommonObjs.h"
#include "app/MeasurementRun.h"
#include "app/widgets/DeviceCommands.h"
#include "app/widgets/MainWindow.h"
#include "app/widgets/ServiceCommands.h"
#include "support/RecordingServices.h"
#include "support/WindowPictures.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

using namespace tessel;

namespace {
// The main window and the program's link objects on the in-memory port.
struct ServiceCommands : ::testing::Test {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TEnvSetup env;
    TMemoryCommPort *port = new TMemoryCommPort;
    TCommunication *link = new TCommunication(std::unique_ptr<TMemoryCommPort>(port), "ttyMem");
    TfrmMain main{nullptr, &env};
    TCommonObjs common{std::unique_ptr<TCommunication>(link)};
};
struct DeviceCommands : ServiceCommands {
    DeviceCommands() {
        link->WaitBounds().DeviceInfoPauseMs = 20;
        WireDeviceCommands(main, common, &env);
        link->Open();
    }
};
} // namespace

// The levels' bytes are the key test's (KeyTestTest); the window sends them
// when shown and when a slider moves, and labels the slider.
TEST(TestKeysWindow, SlidersButtonsAndType) {
    test::MemoryLink l(ModelT2);
    TfrmTestKeys w(*l.cmd, nullptr, [](int) {});
    w.show();
    EXPECT_EQ(l.port->TakeWritten().left(5), QByteArray("SA1\0\0", 5)) << "showing sends the levels";
    w.ScrB(0)->setValue(1023);
    EXPECT_EQ(w.ScrBL(0)->text(), "100 %");
    EXPECT_TRUE(l.port->TakeWritten().startsWith("SA1\xff\x03SA2")) << "a change sends the levels";
    w.Button("BtnAx3")->click();
    EXPECT_EQ(l.port->TakeWritten(), "AX3") << "\"&IR Light\" is output 3, and nothing else is sent";
    // A ModelW has no second actinic light and no infrared level.
    l.link->SetDeviceType(ModelW);
    w.SendVoltages();
    EXPECT_FALSE(w.ScrB(3)->isEnabled() || w.ScrB(4)->isEnabled());
}

TEST(TestUnitWindow, AReportThatDoesNotEndIsBrokenOffOrCut) {
    struct Case {
        const char *what;
        bool flood, pressBreak;
        const char *note;
    };
    const Case cases[] = {
        {"Break", true, true, "Self test broken off."},
        {"time limit", true, false, "The report did not end within 0.4 s, so the self test was stopped."},
        {"silence", false, false,
         "The instrument stopped sending its report: nothing came for 0.3 s. The self test did not finish."},
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
        EXPECT_TRUE(w.BtnClose()->isEnabled() && !w.BtnBreak()->isEnabled()) << c.what;
        // A broken-off test needs no dialog; the user pressed Break.
        EXPECT_EQ(messages.texts(), c.pressBreak ? QStringList{} : QStringList{c.note}) << c.what;
        l.Peer({"ND"});
        EXPECT_EQ(l.cmd->GetStatus(), stReady) << c.what << ": the link is free again";
    }
}

TEST_F(ServiceCommands, MenuPollingAndTheRun) {
    TfrmTestKeys keys(common.Commands, &main, [](int) {});
    const auto run = common.Session.NewRun(main.Experiments());
    auto *service = new TServiceCommands(main, common, env, keys, nullptr, run.get());
    link->Open();
    link->SetConnected(true);
    QTimer::singleShot(0, &keys, &QDialog::accept);
    main.Action("mniTestKeys")->trigger();
    EXPECT_TRUE(port->TakeWritten().startsWith("SA1")) << "the key test window was shown";

    // The self test runs with the status polling off; it resumes afterwards.
    common.StatusTimer.start(3600 * 1000);
    test::ScriptedPeer peer(*port);
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

    // After a ModelW run the flash and actinic sliders return to 0.
    keys.ScrB(1)->setValue(800);
    keys.ScrB(4)->setValue(300);
    run->Host().ResetKeySliders();
    EXPECT_EQ(keys.ScrB(1)->value(), 0);
    EXPECT_EQ(keys.ScrB(4)->value(), 300);
}

// The self test against the virtual instrument, as the guide shows it (kept
// current by scripts/screenshots.sh): Close and Escape wait while the report
// comes in.
TEST(ServiceWindows, SelfTestReportAndScreenshots) {
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    sim::TSimOptions options;
    options.IniPath = test::SourcePath("resources/Tessel.ini").toStdString();
    test::SimBridge bridge(options);
    ASSERT_TRUE(bridge.Connection->Connect(false, false));
    TfrmTestKeys keys(*bridge.Commands, nullptr, [&](int ms) { bridge.Pass(ms / 1000.0); });
    keys.show();
    keys.ScrB(0)->setValue(512);

    TfrmTestUnit w(*bridge.Commands);
    bool closeWhileRunning = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!w.Running())
            return;
        closeWhileRunning = closeWhileRunning || w.BtnClose()->isEnabled() || !w.BtnBreak()->isEnabled();
        w.reject(); // Escape waits for the end
    });
    probe.start(20);
    w.show();
    ASSERT_TRUE(test::WaitUntil([&] { return w.Ran(); }, 20000));
    EXPECT_FALSE(closeWhileRunning);
    EXPECT_TRUE(w.isVisible());
    const QString text = w.Memo()->toPlainText();
    EXPECT_TRUE(text.endsWith("\nSelf test passed")) << text.toStdString();
    QCoreApplication::processEvents();
    test::SaveScreenshot(keys, "test-keys.png");
    test::SaveScreenshot(w, "test-unit.png");
}

TEST_F(DeviceCommands, TestKeysSendTheirCommandsAndClosingStops) {
    link->SetConnected(true);
    const std::pair<const char *, QByteArray> keys[] = {
        {"mniActFlash2", "BF2"},
        {"mniMeasFlash", "SF1"},
        {"mniAux6", "AX6"},
        {"btnMacro", QByteArray("EC\x01\x50", 4)},
    };
    for (const auto &[id, bytes] : keys) {
        main.Action(id)->trigger();
        EXPECT_EQ(port->TakeWritten(), bytes) << id;
    }
    main.close();
    EXPECT_EQ(port->TakeWritten(), "SP");
    // A port failing under way ends the command with its message.
    port->SetWriteError(5);
    main.Action("mniAux2")->trigger();
    EXPECT_EQ(messages.texts(), QStringList({"Write error (Error: 5) "}));
}

TEST_F(DeviceCommands, DeviceIdSearchesAndKeepsTheReconnectTimerWhileNotFound) {
    env.AutoReconnect = true;
    common.Connection.SetBaudRates({br115200});
    main.Action("mniDeviceID")->trigger();
    EXPECT_EQ(main.Panel(7)->text(), "Device not found");
    EXPECT_TRUE(main.ReconnectTimer().isActive());
    test::ScriptedPeer peer(*port);
    peer.Replies({"ModelF  "});
    main.Action("mniDeviceID")->trigger();
    EXPECT_EQ(main.Panel(7)->text(), "Found device ModelF  , version 0.0.0.0");
    EXPECT_FALSE(main.ReconnectTimer().isActive());
}

TEST_F(DeviceCommands, FailedDeviceInformationIsReported) {
    common.Connection.SetBaudRates({br115200});
    test::ScriptedPeer peer(*port);
    peer.Replies({"ModelT  ", QByteArray::fromHex("0102010a"), "", "", ""});
    main.Action("mniDeviceID")->trigger();
    EXPECT_EQ(link->Device(), ModelT2);
    EXPECT_EQ(messages.texts(), QStringList{"Unable to get device information"});
}

// Set Device and Communication reach the user while an exchange waits (the
// waits process events): both must be refused, not change the port under it.
TEST_F(DeviceCommands, SetDeviceAndCommunicationAreRefusedDuringAnExchange) {
    link->SetConnected(true);
    QTimer::singleShot(50, &main, [this] {
        EXPECT_TRUE(link->InExchange());
        main.Action("mniSetDevice")->trigger();
        main.Action("mniCommunication")->trigger();
    });
    common.Commands.GetStatus(); // unanswered: waits for its time-out
    const QString busy = "The instrument is busy with a transfer. Wait until it ends, then try again.";
    EXPECT_EQ(messages.texts(), QStringList({busy, busy}));
    EXPECT_EQ(link->DeviceName(), "ttyMem");
}
