#include "app/widgets/MainWindow.h"
#include "app/CommonObjs.h"
#include "app/InstrumentConfig.h"
#include "app/MainCommands.h"
#include "app/widgets/Icons.h"
#include "common/AppPaths.h"
#include "common/MessageService.h"
#include "graph/widgets/Navigator.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"
#include "support/WindowPictures.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QTreeWidget>
#include <gtest/gtest.h>

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

TEST_F(MainWindowTest, FrameCaptionSizeMenusAndUniqueShortcuts) {
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

TEST_F(MainWindowTest, RecentFilesBeforeExitAndPersisted) {
    {
        TfrmMain w(nullptr, &env);
        w.RecentFiles().Add("/data/first.exp");
        w.RecentFiles().Add("/data/" + QString(200, 'x') + "/second.exp");
        w.RebuildRecentFiles();
        const QStringList items = menuCaptions(w.Menu(MainMenu::Experiment));
        const int exit = int(items.indexOf("E&xit"));
        // The newest first, a long name shortened to 300 pixels.
        EXPECT_TRUE(items[exit - 3].startsWith("&1 /data/") && items[exit - 3].contains(QChar(0x2026)));
        EXPECT_EQ(items.mid(exit - 2, 2), QStringList({"&2 /data/first.exp", "-"}));
        w.move(33, 44);
        w.resize(700, 500);
        w.SaveSettings();
    }
    TfrmMain again(nullptr, &env);
    again.RestoreSettings();
    EXPECT_EQ(again.RecentFiles().Items().value(1), "/data/first.exp");
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

TEST_F(MainWindowTest, NavigatorOpensTheMonitorOnlyWhenConnectedAndKeepsItsChecks) {
    {
        TNavigator nav;
        nav.Fill();
        QTreeWidgetItem *root = nav.Root();
        EXPECT_EQ(QStringList({root->text(0), root->child(0)->text(0), root->child(1)->text(0)}),
                  QStringList({"Tessel 3.0", "System Monitor", "Test Keys"}));
        EXPECT_TRUE(nav.windowFlags() & Qt::WindowStaysOnTopHint);
        int opened = 0;
        bool connected = false;
        nav.IsConnected = [&] { return connected; };
        nav.OpenMonitor = [&] { ++opened; };
        nav.Activate(root->child(0));
        connected = true;
        nav.Activate(root->child(0));
        EXPECT_EQ(opened, 1);
        nav.mniStayOnTop->setChecked(false);
        nav.mniAutoMin->setChecked(true);
        nav.SaveSettings();
    }
    TNavigator nav;
    nav.RestoreSettings();
    EXPECT_FALSE(nav.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(nav.mniAutoMin->isChecked() && !nav.mniAutoMax->isChecked());
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
            EXPECT_GT(test::CountPixels(img, [](const QColor &p) { return p.alpha() > 128; }), size * size / 12)
                << c.id << " at " << size;
        }
        const QString id = c.toolbar == MainToolbar::Control ? "btn" + QLatin1String(c.id).mid(3) : QLatin1String(c.id);
        const QWidget *button = w.Toolbar(c.toolbar)->widgetForAction(w.Action(id));
        ASSERT_NE(button, nullptr) << c.id;
        EXPECT_EQ(button->accessibleName(), QLatin1String(c.hint)) << c.id;
    }
    test::SaveScreenshot(pm.toImage(), "main-window.png");
}
