#include "app/widgets/MainWindow.h"
#include "app/CommonObjs.h"
#include "app/InstrumentConfig.h"
#include "app/MainCommands.h"
#include "app/StartServer.h"
#include "app/widgets/Icons.h"
#include "common/AppPaths.h"
#include "common/MessageService.h"
#include "graph/widgets/Navigator.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <thread>

using namespace tessel;
using tessel::test::TestDir;

namespace {
class MainWindowTest : public ::testing::Test {
protected:
    TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TEnvSetup env;
};

QStringList menuCaptions(QMenu *m) {
    QStringList out;
    for (QAction *a : m->actions())
        out.append(a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}
} // namespace

TEST_F(MainWindowTest, FrameCaptionSizeMenusAndToolbars) {
    TfrmMain w(nullptr, &env);
    EXPECT_EQ(w.windowTitle(), "Tessel for Windows v3.7");
    EXPECT_EQ(w.size(), QSize(940, 439));
    QStringList bar;
    for (QAction *a : w.menuBar()->actions())
        bar.append(a->text());
    EXPECT_EQ(bar, QStringList({"&Experiment", "&View", "&System", "Set&up", "&Window", "&Help"}));
    EXPECT_EQ(menuCaptions(w.Menu(MainMenu::Setup)), QStringList({"&Communication...", "&Environment Options..."}));
    EXPECT_EQ(menuCaptions(w.Menu(MainMenu::Experiment)).last(), "E&xit");
    EXPECT_TRUE(menuCaptions(w.Menu(MainMenu::System)).contains("Test &Keys"));
    struct {
        MainToolbar t;
        int buttons;
    } toolbars[] = {{MainToolbar::Main, 6},
                    {MainToolbar::Graph, 7},
                    {MainToolbar::Protocol, 6},
                    {MainToolbar::Window, 9},
                    {MainToolbar::Control, 2}};
    for (const auto &t : toolbars) {
        ASSERT_NE(w.Toolbar(t.t), nullptr);
        EXPECT_EQ(w.Toolbar(t.t)->actions().size(), t.buttons) << ToolbarName(t.t).toStdString();
        for (QAction *a : w.Toolbar(t.t)->actions())
            EXPECT_FALSE(a->icon().isNull()) << a->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, ShortcutsAreUnique) {
    TfrmMain w(nullptr, &env);
    // One key must never be bound twice: Qt would then fire neither command.
    QHash<QKeySequence, QString> seen;
    for (const MainCommand &c : MainCommands()) {
        const QKeySequence k = w.Action(c.id)->shortcut();
        if (k.isEmpty())
            continue;
        EXPECT_FALSE(seen.contains(k)) << c.id << " and " << seen.value(k).toStdString();
        seen.insert(k, c.id);
    }
}

TEST(MainCommands, EnableRules) {
    struct Case {
        const char *id;
        bool any, active, suppressed, runOff, on;
    };
    // clang-format off
    const Case cases[] = {
        {"mniNew",      false, false, false, false, true},  // needs no experiment
        {"mniGraph",    false, false, false, false, false}, // a document control
        {"mniGraph",    true,  false, false, false, true},  // ... that works on the list
        {"mniSave",     true,  false, false, false, false}, // acts on the active one
        {"mniSave",     true,  true,  false, false, true},
        {"mniSaveAs",   false, true,  false, false, true},  // not a document control, yet needs the active one
        {"mniMakeActive", true, false, false, false, false},
        {"btnCheck",    true,  true,  true,  false, false}, // held off under the signals view
        {"mniStart",    false, false, false, true,  false}, // the run switched it off
        {"btnStart",    false, false, true,  false, true},  // the Control buttons follow the run alone
        {"btnAbort",    true,  true,  false, true,  false},
        {"mniUnknown",  true,  true,  false, false, false},
    };
    // clang-format on
    for (const Case &c : cases)
        EXPECT_EQ(CommandEnabled(c.id, {c.any, c.active, c.suppressed, c.runOff}), c.on)
            << c.id << ' ' << c.any << c.active << c.suppressed << c.runOff;
}

TEST_F(MainWindowTest, DocumentControlsFollowTheExperimentList) {
    TfrmMain w(nullptr, &env);
    QObject experiment;
    w.Experiments().Add(&experiment);
    w.Experiments().SetActive(&experiment);
    w.UpdateDocumentControls();
    for (const MainCommand &c : MainCommands())
        if (c.documentControl)
            EXPECT_TRUE(w.Action(c.id)->isEnabled()) << c.id;
    w.Experiments().Remove(&experiment);
    for (const MainCommand &c : MainCommands())
        if (c.documentControl)
            EXPECT_FALSE(w.Action(c.id)->isEnabled()) << c.id;
}

TEST_F(MainWindowTest, StatusBarPanels) {
    TfrmMain w(nullptr, &env);
    const char *texts[] = {"Status:", "Not connected", "File Size:", "0 kB", "Date:"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w.Panel(i)->text(), texts[i]);
    EXPECT_GE(w.Panel(1)->minimumWidth(), 150);
    EXPECT_NE(w.GainPanel(), nullptr);
}

TEST_F(MainWindowTest, RecentFilesBeforeExitAndPersisted) {
    {
        TfrmMain w(nullptr, &env);
        w.RecentFiles().Add("/data/first.exp");
        w.RecentFiles().Add("/data/" + QString(200, 'x') + "/second.exp");
        w.RebuildRecentFiles();
        const QStringList items = menuCaptions(w.Menu(MainMenu::Experiment));
        const int exit = int(items.indexOf("E&xit"));
        EXPECT_TRUE(items[exit - 3].startsWith("&1 /data/"));
        EXPECT_TRUE(items[exit - 3].contains(QChar(0x2026))); // shortened to 300 pixels
        EXPECT_EQ(items[exit - 2], "&2 /data/first.exp");
        EXPECT_EQ(items[exit - 1], "-");
        w.move(33, 44);
        w.resize(700, 500);
        w.SaveSettings();
    }
    TfrmMain again(nullptr, &env);
    again.RestoreSettings();
    EXPECT_EQ(again.RecentFiles().Count(), 2);
    EXPECT_EQ(again.RecentFiles().Items().last(), "/data/first.exp");
    EXPECT_EQ(again.size(), QSize(700, 500));
}

TEST_F(MainWindowTest, StartupActions) {
    struct {
        QString file;
        bool showWizard, createExp, wizardMakesExperiment;
        QStringList expected;
    } cases[] = {
        {"/x/run.exp", true, true, false, {"open /x/run.exp"}},
        {"", true, true, true, {"wizard"}},
        {"", true, true, false, {"wizard", "new"}},
        {"", false, true, false, {"new"}},
        {"", false, false, false, {}},
    };
    for (const auto &c : cases) {
        TEnvSetup e;
        e.ShowWizard = c.showWizard;
        e.CreateExp = c.createExp;
        TfrmMain w(nullptr, &e);
        QStringList calls;
        QObject made;
        w.OpenExperimentFile = [&](const QString &f) {
            calls << "open " + f;
            return true;
        };
        w.RunWizard = [&] {
            calls << "wizard";
            if (c.wizardMakesExperiment)
                w.Experiments().Add(&made);
        };
        w.NewExperiment = [&] { calls << "new"; };
        w.RunStartupActions(c.file);
        EXPECT_EQ(calls, c.expected) << c.file.toStdString();
    }
}

TEST_F(MainWindowTest, TesselStartIsConsumedAndIgnoredWhileStartIsDisabled) {
    TfrmMain w(nullptr, &env);
    const QString name = QStringLiteral("TesselStartMain-%1").arg(QCoreApplication::applicationPid());
    ASSERT_TRUE(w.ListenForStart(name));
    int starts = 0;
    QObject::connect(&w, &TfrmMain::StartRequested, [&] { ++starts; });
    auto send = [&] {
        QString reply;
        std::atomic<bool> done{false};
        std::thread t([&] {
            TStartServer::Send(&reply, name, 2000);
            done = true;
        });
        QDeadlineTimer deadline(5000);
        while (!done && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        t.join();
        QCoreApplication::processEvents();
        return reply;
    };
    w.SetRunEnabled("btnStart", false);
    w.UpdateDocumentControls();
    EXPECT_EQ(send(), "ignored");
    EXPECT_EQ(starts, 0);
    w.SetRunEnabled("btnStart", true);
    w.UpdateDocumentControls();
    EXPECT_EQ(send(), "started");
    QCoreApplication::processEvents();
    EXPECT_EQ(starts, 1);
}

TEST_F(MainWindowTest, NavigatorTreeAndStoredChecks) {
    {
        TNavigator nav;
        nav.Fill();
        ASSERT_EQ(nav.Tree()->topLevelItemCount(), 1);
        QTreeWidgetItem *root = nav.Root();
        EXPECT_EQ(root->text(0), "Tessel 3.0");
        ASSERT_EQ(root->childCount(), 2);
        EXPECT_EQ(root->child(0)->text(0), "System Monitor");
        EXPECT_EQ(root->child(1)->text(0), "Test Keys");
        EXPECT_TRUE(nav.mniStayOnTop->isChecked());
        EXPECT_TRUE(nav.windowFlags() & Qt::WindowStaysOnTopHint);
        // The monitor opens only while connected.
        int opened = 0;
        bool connected = false;
        nav.IsConnected = [&] { return connected; };
        nav.OpenMonitor = [&] { ++opened; };
        nav.Activate(root->child(0));
        connected = true;
        nav.Activate(root->child(0));
        EXPECT_EQ(opened, 1);
        QWidget experiment, protocol;
        nav.AddExperiment(&experiment, &protocol, "Experiment 1");
        EXPECT_EQ(root->childCount(), 3);
        EXPECT_EQ(root->child(2)->child(1)->text(0), "Protocol");
        nav.RemoveExperiment(&experiment);
        EXPECT_EQ(root->childCount(), 2);
        nav.mniStayOnTop->setChecked(false);
        nav.mniAutoMin->setChecked(true);
        nav.SaveSettings();
    }
    TNavigator nav;
    nav.RestoreSettings();
    EXPECT_FALSE(nav.mniStayOnTop->isChecked());
    EXPECT_FALSE(nav.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(nav.mniAutoMin->isChecked());
    EXPECT_FALSE(nav.mniAutoMax->isChecked());
}

TEST_F(MainWindowTest, ClosingSavesPrintColumnsThicknessAndSettings) {
    const QString ini = AppPaths::iniPath();
    test::WriteTextFile(ini, "[Main]\nMaxSignals=10\n");
    Config().Instrument.DePrnCol.fill(true);
    Config().Instrument.DePrnCol[4] = false;
    {
        TfrmMain w(nullptr, &env);
        w.show();
        EXPECT_TRUE(w.ShownOnce());
        Config().Thickness = 2;
        w.close();
    }
    EXPECT_EQ(ReadThickness(ini), 2);
    EXPECT_FALSE(ReadInstrumentConfig(ini, "x/").DePrnCol[4]);
    EXPECT_TRUE(messages.entries.empty());
    Config() = TProcessConfig{};
}

TEST_F(MainWindowTest, Screenshot) {
    // Kept current by scripts/screenshots.sh; a plain run checks the picture.
    TfrmMain w(nullptr, &env);
    w.show();
    QCoreApplication::processEvents();
    const QPixmap pm = w.grab();
    EXPECT_EQ(pm.size(), w.size());
    // Every toolbar button shows a drawing of the program's set, at each size
    // a toolbar may ask for, and is named by its tip for screen readers.
    for (const MainCommand &c : MainCommands()) {
        if (c.toolbar == MainToolbar::None)
            continue;
        EXPECT_TRUE(HasShippedIcon(QLatin1String(c.icon))) << c.id;
        for (int size : {16, 24, 32}) {
            const QImage img = TesselIcon(QLatin1String(c.icon)).pixmap(size).toImage();
            int inked = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    inked += qAlpha(img.pixel(x, y)) > 128;
            EXPECT_GT(inked, size * size / 12) << c.id << " at " << size;
        }
        const QString id = c.toolbar == MainToolbar::Control ? "btn" + QLatin1String(c.id).mid(3) : QLatin1String(c.id);
        const QWidget *button = w.Toolbar(c.toolbar)->widgetForAction(w.Action(id));
        ASSERT_NE(button, nullptr) << c.id;
        EXPECT_EQ(button->accessibleName(), QLatin1String(c.hint)) << c.id;
    }
    const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR");
    if (!out.isEmpty())
        EXPECT_TRUE(pm.save(QDir(out).filePath("main-window.png")));
}
