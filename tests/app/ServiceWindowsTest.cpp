// The service windows and commands: "Test Keys", "Test unit result", the
// update commands and the navigator's entry, on the in-memory port and
// against the virtual instrument's self test.
#include "../device/LinkTestSupport.h"
#include "../device/ScriptedPeer.h"
#include "SimBridge.h"
#include "app/CommonObjs.h"
#include "app/widgets/MainWindow.h"
#include "app/widgets/Program.h"
#include "app/widgets/ServiceCommands.h"
#include "app/widgets/ServiceWindows.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "graph/widgets/Navigator.h"
#include "settings/EnvSetup.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

QString ScreenshotDir() { return qEnvironmentVariable("TESSEL_SCREENSHOT_DIR"); }

// A connected link on the in-memory port; pauses of the key test are recorded.
struct KeysBench {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TMemoryCommPort *port = nullptr;
    std::unique_ptr<test::TestLink> link;
    int pauses = 0;

    explicit KeysBench(TDevice device = ModelT2, std::array<uint8_t, 4> version = {1, 2, 1, 8}) {
        auto p = std::make_unique<TMemoryCommPort>();
        port = p.get();
        link = std::make_unique<test::TestLink>(std::move(p), "ttyMem");
        link->SetDeviceType(device);
        link->SetVersion(version);
        link->Open();
        link->SetConnected(true);
    }
    std::unique_ptr<TfrmTestKeys> Window() {
        return std::make_unique<TfrmTestKeys>(*link, nullptr, [this](int) { ++pauses; });
    }
};

QByteArray Levels(int l1, int l2, int l3, int l5, int l6) {
    QByteArray b;
    const std::pair<char, int> levels[] = {{'1', l1}, {'2', l2}, {'3', l3}, {'5', l5}, {'6', l6}};
    for (const auto &[n, v] : levels)
        b += QByteArray("SA") + n + char(v & 0xFF) + char(v >> 8);
    return b;
}

} // namespace

TEST(TestKeysWindow, SlidersLabelsAndTheLevelsTheySend) {
    KeysBench b;
    auto w = b.Window();
    for (int i = 0; i < kKeyLevelCount; ++i) {
        EXPECT_EQ(w->ScrB(i)->maximum(), 1023);
        EXPECT_EQ(w->ScrB(i)->pageStep(), 50);
        EXPECT_EQ(w->ScrBL(i)->text(), "0 %");
    }
    w->show();
    EXPECT_EQ(b.port->TakeWritten(), Levels(0, 0, 0, 0, 0)) << "showing sends the levels";
    w->ScrB(0)->setValue(1023);
    EXPECT_EQ(w->ScrBL(0)->text(), "100 %");
    EXPECT_EQ(b.port->TakeWritten(), Levels(1023, 0, 0, 0, 0)) << "a change sends every level";
    // One large step.
    w->ScrB(3)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(w->ScrBL(3)->text(), "4.9 %");
    EXPECT_EQ(b.port->TakeWritten(), Levels(1023, 0, 0, 50, 0));
    w->hide();
    // Reused: the positions stay, and showing again sends them.
    w->show();
    EXPECT_EQ(w->ScrB(0)->value(), 1023);
    EXPECT_EQ(b.port->TakeWritten(), Levels(1023, 0, 0, 50, 0));
    EXPECT_EQ(b.pauses, 4);
    EXPECT_TRUE(b.messages.entries.empty());
}

TEST(TestKeysWindow, SignalButtonsSendTheirCommandOnly) {
    KeysBench b;
    auto w = b.Window();
    const std::pair<const char *, QByteArray> buttons[] = {
        {"Button1", "BF1"}, {"Button2", "BF2"}, {"Button3", "SF1"}, {"BtnAx1", "AX1"}, {"BtnAx2", "AX2"},
        {"BtnAx3", "AX3"},  {"BtnAx4", "AX4"},  {"BtnAx5", "AX5"},  {"BtnAx6", "AX6"},
    };
    for (const auto &[name, bytes] : buttons) {
        QPushButton *button = w->Button(name);
        ASSERT_NE(button, nullptr) << name;
        button->click();
        EXPECT_EQ(b.port->TakeWritten(), bytes) << name;
    }
    EXPECT_EQ(w->Button("BtnAx3")->text(), "&IR Light");
    EXPECT_EQ(w->Button("BtnAx6")->text(), "&Stirrer");
    EXPECT_EQ(b.pauses, 0);
}

TEST(TestKeysWindow, TypeAndFirmwareDecideWhatShowingSends) {
    struct Case {
        TDevice device;
        std::array<uint8_t, 4> version;
        bool macros;
        bool fiveAndSix;
    };
    for (const Case &c : {Case{ModelT2, {1, 2, 1, 8}, false, true}, Case{ModelT2, {1, 2, 1, 9}, true, true},
                          Case{ModelW, {0, 0, 0, 0}, false, false}}) {
        KeysBench b(c.device, c.version);
        auto w = b.Window();
        w->show();
        const QByteArray written = b.port->TakeWritten();
        EXPECT_EQ(written.startsWith("EC\x05\xA4"), c.macros) << int(c.device) << ' ' << int(c.version[3]);
        EXPECT_EQ(written.contains("SA5"), c.fiveAndSix);
        EXPECT_EQ(w->ScrB(3)->isEnabled(), c.fiveAndSix);
        EXPECT_EQ(w->ScrB(4)->isEnabled(), c.fiveAndSix);
        EXPECT_TRUE(w->ScrB(2)->isEnabled());
    }
}

TEST(TestKeysWindow, AfterAModelWRunTheFlashSlidersReturnToZero) {
    KeysBench b(ModelW, {0, 0, 0, 0});
    auto w = b.Window();
    for (int i = 0; i < 3; ++i)
        w->ScrB(i)->setValue(600 + i);
    b.port->TakeWritten();
    const int pausesBefore = b.pauses;
    w->ResetFlashLevels();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(w->ScrB(i)->value(), 0);
        EXPECT_EQ(w->ScrBL(i)->text(), "0 %");
    }
    // Sent once, with the rule of the type, not once per slider.
    EXPECT_EQ(b.port->TakeWritten(), Levels(0, 0, 0, 0, 0).left(15));
    EXPECT_EQ(b.pauses - pausesBefore, 3);
}

TEST(TestKeysWindow, FixedFrameAndStoredPosition) {
    KeysBench b;
    {
        auto w = b.Window();
        EXPECT_EQ(w->windowTitle(), "Test Keys");
        EXPECT_EQ(w->layout()->sizeConstraint(), QLayout::SetFixedSize);
        w->show();
        QCoreApplication::processEvents();
        // Everything fits on the first showing, without being stretched.
        EXPECT_EQ(w->size(), w->sizeHint());
        EXPECT_LT(w->width(), 800);
        EXPECT_LT(w->height(), 600);
        w->move(123, 145);
        w->hide();
    }
    auto again = b.Window();
    again->show();
    EXPECT_EQ(again->pos(), QPoint(123, 145));
}

namespace {

// The self test window on its own, against a link the test drives.
struct UnitBench {
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
};

sim::TSimOptions SimOptions(const char *device = "ModelT2") {
    sim::TSimOptions o;
    o.Device = device;
    o.IniPath = test::SourcePath("resources/Tessel.ini").toStdString();
    return o;
}

} // namespace

TEST(TestUnitWindow, RunsOnceAndShowsTheInstrumentsReport) {
    UnitBench u;
    test::SimBridge bridge(SimOptions());
    ASSERT_TRUE(bridge.Link->Connect(false, false));
    TfrmTestUnit w(*bridge.Link);
    EXPECT_EQ(w.windowTitle(), "Test unit result");
    EXPECT_TRUE(w.Memo()->isReadOnly());
    EXPECT_TRUE(QFontInfo(w.Memo()->font()).fixedPitch()) << QFontInfo(w.Memo()->font()).family().toStdString();
    // What the user sees while the report comes in.
    bool seenRunning = false, closeWhileRunning = true, breakWhileRunning = false;
    QString partial;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!w.Running())
            return;
        seenRunning = true;
        closeWhileRunning = closeWhileRunning && w.BtnClose()->isEnabled();
        breakWhileRunning = w.BtnBreak()->isEnabled();
        if (partial.isEmpty())
            partial = w.Memo()->toPlainText();
        w.reject(); // Escape waits for the end
    });
    probe.start(20);
    w.show();
    ASSERT_TRUE(test::WaitUntil([&] { return w.Ran(); }, 20000));
    probe.stop();
    EXPECT_TRUE(seenRunning);
    EXPECT_FALSE(closeWhileRunning);
    EXPECT_TRUE(breakWhileRunning);
    EXPECT_TRUE(w.isVisible());
    const QString text = w.Memo()->toPlainText();
    EXPECT_TRUE(text.startsWith("Self test of ModelT   version 1.2.1.10")) << text.toStdString();
    EXPECT_TRUE(text.contains("Event memory [events]: ")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("Self test passed")) << text.toStdString();
    EXPECT_LT(partial.size(), text.size()) << "the report grows while it comes in";
    EXPECT_EQ(w.End(), TTestEnd::Complete);
    EXPECT_TRUE(w.BtnClose()->isEnabled());
    EXPECT_FALSE(w.BtnBreak()->isEnabled());
    EXPECT_TRUE(w.Note()->text().isEmpty());
    EXPECT_TRUE(u.messages.entries.empty());
    // Once per window.
    w.hide();
    w.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.Running());
    EXPECT_TRUE(bridge.Logged("> TST"));
    int tests = 0;
    for (const std::string &l : bridge.SimLog)
        tests += l.find("> TST") != std::string::npos;
    EXPECT_EQ(tests, 1);
}

TEST(TestUnitWindow, AReportThatDoesNotEndIsBrokenOffOrCutByTheLimits) {
    struct Case {
        const char *what;
        bool flood; // pieces keep coming; else one piece, then silence
        bool pressBreak;
        TTestEnd end;
        const char *note;
        bool dialog;
    };
    const Case cases[] = {
        {"Break while the report floods in", true, true, TTestEnd::Aborted, "Self test broken off.", false},
        {"report longer than the limit", true, false, TTestEnd::TooLong,
         "The report did not end within 0.4 s, so the self test was stopped.", true},
        {"instrument falls silent", false, false, TTestEnd::Silent,
         "The instrument stopped sending its report: nothing came for 0.3 s. The self test did not finish.", true},
    };
    for (const Case &c : cases) {
        UnitBench u;
        test::MemoryLink l(ModelT2);
        l.link->WaitBounds().TestTotalMs = c.pressBreak ? 60000 : 400;
        l.link->WaitBounds().TestSilenceMs = 300;
        // One piece of text answers "TST"; a flood keeps adding numbers and text.
        QTimer feed;
        QObject::connect(&feed, &QTimer::timeout, [&] { l.port->FeedReceived(QByteArray("\0!\x2a\0#x", 6)); });
        l.port->SetOnWrite([&](const QByteArray &written) {
            if (written != "TST")
                return;
            QTimer::singleShot(1, [&] {
                l.port->FeedReceived("#Lamp OK\r\n");
                if (c.flood)
                    feed.start(5);
            });
        });
        TfrmTestUnit w(*l.link);
        if (c.pressBreak)
            QTimer::singleShot(150, [&] { w.BtnBreak()->click(); });
        w.show();
        ASSERT_TRUE(test::WaitUntil([&] { return w.Ran(); }, 5000)) << c.what;
        feed.stop();
        l.port->SetOnWrite(nullptr);
        EXPECT_EQ(w.End(), c.end) << c.what;
        EXPECT_EQ(w.Note()->text(), c.note) << c.what;
        EXPECT_TRUE(w.Memo()->toPlainText().startsWith("Lamp OK")) << c.what;
        EXPECT_TRUE(w.BtnClose()->isEnabled()) << c.what;
        EXPECT_FALSE(w.BtnBreak()->isEnabled()) << c.what;
        if (c.dialog) {
            ASSERT_EQ(u.messages.entries.size(), 1u) << c.what;
            EXPECT_EQ(u.messages.entries[0].type, MsgType::Warning) << c.what;
            EXPECT_EQ(u.messages.entries[0].text, c.note) << c.what;
        } else {
            EXPECT_TRUE(u.messages.entries.empty()) << c.what;
        }
        // The link is free again.
        l.Peer({"ND"});
        EXPECT_EQ(l.link->GetStatus(), stReady) << c.what;
        w.BtnClose()->click();
        EXPECT_FALSE(w.isVisible()) << c.what;
    }
}

namespace {

// The main window with the service commands wired to a scripted instrument.
struct MainBench {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    RecordingFileDialogService files;
    ScopedFileDialogService fileScope{&files};
    TEnvSetup env;
    TMemoryCommPort *port = nullptr;
    test::TestLink *link = nullptr;
    std::unique_ptr<TfrmMain> main;
    std::unique_ptr<TCommonObjs> common;
    std::unique_ptr<TNavigator> navigator;
    std::unique_ptr<TfrmTestKeys> keys;
    TServiceCommands *service = nullptr;

    MainBench() {
        auto p = std::make_unique<TMemoryCommPort>();
        port = p.get();
        auto l = std::make_unique<test::TestLink>(std::move(p), "ttyMem");
        link = l.get();
        main = std::make_unique<TfrmMain>(nullptr, &env);
        common = std::make_unique<TCommonObjs>(std::move(l));
        navigator = std::make_unique<TNavigator>();
        navigator->Fill();
        navigator->IsConnected = [this] { return link->Connected(); };
        keys = std::make_unique<TfrmTestKeys>(*link, main.get(), [](int) {});
        service = new TServiceCommands(*main, *common, env, *keys, navigator.get(), nullptr);
        common->StatusTimer.setInterval(3600 * 1000);
    }
    ~MainBench() {
        keys.reset();
        navigator.reset();
    }
    void Connect(TDevice device) {
        link->Open();
        link->SetDeviceType(device);
        link->SetConnected(true);
    }
    // Closes the modal window that opens next, after it was seen.
    void CloseNextModal(bool &seen) {
        QTimer::singleShot(0, [&seen] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                seen = true;
                w->close();
            }
        });
    }
};

} // namespace

TEST(ServiceCommands, TestKeysFromTheMenuAndTheNavigator) {
    MainBench b;
    for (const char *id : {"mniTestKeys", "mniTestUnit", "mniUpdateBIOS", "mniUpdateFirmware"})
        EXPECT_TRUE(b.main->IsCommandBuilt(id)) << id;
    QTreeWidgetItem *node = b.navigator->Root()->child(1);
    ASSERT_EQ(node->text(0), "Test Keys");
    bool seen = false;
    // The navigator opens it only while an instrument is connected.
    b.CloseNextModal(seen);
    b.navigator->Activate(node);
    QCoreApplication::processEvents();
    EXPECT_FALSE(seen);
    b.Connect(ModelT2);
    b.CloseNextModal(seen);
    b.navigator->Activate(node);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(b.port->TakeWritten().startsWith("SA1")) << "showing sent the levels";
    seen = false;
    b.CloseNextModal(seen);
    b.main->Action("mniTestKeys")->trigger();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(b.port->TakeWritten().startsWith("SA1"));
}

TEST(ServiceCommands, TestUnitHoldsTheStatusPollingWhileItsWindowExists) {
    MainBench b;
    b.Connect(ModelT2);
    b.common->StatusTimer.start();
    test::ScriptedPeer peer(*b.port);
    peer.Replies({QByteArray("#Unit OK") + char(0) + "~"});
    bool pollingDuringTest = true;
    QString report;
    b.service->OnTestUnitCreated = [&](TfrmTestUnit &w) {
        pollingDuringTest = b.common->StatusTimer.isActive();
        auto *closer = new QTimer(&w);
        QObject::connect(closer, &QTimer::timeout, &w, [&w, &report] {
            if (!w.Ran())
                return;
            report = w.Memo()->toPlainText();
            w.BtnClose()->click();
        });
        closer->start(10);
    };
    b.main->Action("mniTestUnit")->trigger();
    EXPECT_FALSE(pollingDuringTest);
    EXPECT_EQ(report, "Unit OK");
    EXPECT_TRUE(b.common->StatusTimer.isActive());
    EXPECT_TRUE(b.messages.entries.empty());
}

TEST(ServiceCommands, UpdatesAskForTheirFileOnlyWithAnInstrument) {
    MainBench b;
    b.main->Action("mniUpdateBIOS")->trigger();
    b.main->Action("mniUpdateFirmware")->trigger();
    EXPECT_TRUE(b.files.requests.empty());
    b.Connect(ModelU);
    b.env.LastDir = b.dir.path();
    b.files.answer(QString());
    b.files.answer(QString());
    b.main->Action("mniUpdateBIOS")->trigger();
    b.main->Action("mniUpdateFirmware")->trigger();
    ASSERT_EQ(b.files.requests.size(), 2u);
    EXPECT_EQ(b.files.requests[0].title, "Update BIOS");
    EXPECT_EQ(b.files.requests[1].title, "Update Firmware");
    EXPECT_EQ(b.files.requests[0].dir, b.dir.path());
    EXPECT_TRUE(b.messages.entries.empty());
}

TEST(ServiceCommands, ProgramWiresTheKeyTestIntoTheRun) {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    TProgram program(TProgramOptions{});
    TfrmTestKeys &keys = program.TestKeys();
    {
        const QSignalBlocker quiet(keys.ScrB(1));
        keys.ScrB(1)->setValue(800);
    }
    keys.ScrB(4)->setValue(300);
    ASSERT_TRUE(program.RunCommands().Run().Host().ResetKeySliders);
    program.RunCommands().Run().Host().ResetKeySliders();
    EXPECT_EQ(keys.ScrB(1)->value(), 0);
    EXPECT_EQ(keys.ScrB(4)->value(), 300);
    EXPECT_TRUE(program.Navigator().OpenTestKeys != nullptr);
    program.Env().ShowDialogs = false;
    program.Main().close();
}

TEST(ServiceWindows, Screenshot) {
    // Kept current by scripts/screenshots.sh; a plain run only checks that they render.
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    test::SimBridge bridge(SimOptions());
    ASSERT_TRUE(bridge.Link->Connect(false, false));
    TfrmTestKeys keys(*bridge.Link, nullptr, [&](int ms) { bridge.Pass(ms / 1000.0); });
    keys.show();
    keys.ScrB(0)->setValue(512);
    keys.ScrB(2)->setValue(300);
    QCoreApplication::processEvents();
    const QPixmap k = keys.grab();
    EXPECT_EQ(k.size(), keys.size());

    TfrmTestUnit unit(*bridge.Link);
    unit.show();
    ASSERT_TRUE(test::WaitUntil([&] { return unit.Ran(); }, 20000));
    QCoreApplication::processEvents();
    const QPixmap u = unit.grab();
    EXPECT_EQ(u.size(), unit.size());
    EXPECT_TRUE(unit.Memo()->verticalScrollBar()->maximum() == 0) << "the whole report fits the first showing";
    if (const QString out = ScreenshotDir(); !out.isEmpty()) {
        EXPECT_TRUE(k.save(QDir(out).filePath("test-keys.png")));
        EXPECT_TRUE(u.save(QDir(out).filePath("test-unit.png")));
    }
}
