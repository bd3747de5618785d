#include "app/widgets/MainWindow.h"
#include "app/widgets/Icons.h"
#include "graph/widgets/Navigator.h"
#include "settings/widgets/EnvSetupDialog.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"
#include "support/WindowPictures.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolBar>
#include <QTreeWidget>

using namespace tessel;
using tessel::test::TestDir;

namespace {
struct MainWindowTest : ::testing::Test {
    TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TEnvSetup env;
};

// The environment options dialog over its settings, print columns and line width.
struct EnvDialogTest : MainWindowTest {
    std::array<bool, 17> cols;
    int32_t thickness = 1;
    int saves = 0;
    TEnvSetupDialog dlg{env, {&cols, &thickness, [this] { ++saves; }}};
    EnvDialogTest() { cols.fill(true); }
};

QStringList menuCaptions(QMenu *m) {
    QStringList out;
    for (QAction *a : m->actions())
        out.append(a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}
} // namespace

TEST(MainCommands, EnableRules) {
    struct Case {
        const char *id;
        bool any, active, suppressed, runOff, on;
    };
    // clang-format off
    const Case cases[] = {
        {"mniNew",      false, false, false, false, true},  // needs no experiment
        {"mniGraph",    true,  false, false, false, true},  // a document control works on the list
        {"mniSave",     true,  false, false, false, false}, // acts on the active one
        {"mniSaveAs",   false, true,  false, false, true},  // not a document control, yet needs the active one
        {"btnCheck",    true,  true,  true,  false, false}, // held off under the signals view
        {"mniStart",    false, false, false, true,  false}, // the run switched it off
        {"btnStart",    false, false, true,  false, true},  // the Control buttons follow the run alone
        {"mniUnknown",  true,  true,  false, false, false},
    };
    // clang-format on
    for (const Case &c : cases)
        EXPECT_EQ(CommandEnabled(c.id, {c.any, c.active, c.suppressed, c.runOff}), c.on)
            << c.id << ' ' << c.any << c.active << c.suppressed << c.runOff;
}

TEST_F(MainWindowTest, RecentFilesBeforeExit) {
    TfrmMain w(nullptr, &env);
    w.RecentFiles().Add("/data/first.exp");
    w.RecentFiles().Add("/data/" + QString(200, 'x') + "/second.exp");
    w.RebuildRecentFiles();
    const QStringList items = menuCaptions(w.Menu(MainMenu::Experiment));
    const int exit = int(items.indexOf("E&xit"));
    // The newest first, a long name shortened to 300 pixels.
    EXPECT_TRUE(items[exit - 3].startsWith("&1 /data/") && items[exit - 3].contains(QChar(0x2026)));
}

// Kept current by scripts/screenshots.sh; a plain run checks the window.
// The navigator's service node opens the monitor only while connected.
TEST_F(MainWindowTest, NavigatorOpensTheMonitorOnlyWhenConnected) {
    TNavigator nav;
    nav.Fill();
    int opened = 0;
    bool connected = false;
    nav.IsConnected = [&] { return connected; };
    nav.OpenMonitor = [&] { ++opened; };
    for (bool on : {false, true}) {
        connected = on;
        nav.Activate(nav.Root()->child(0));
    }
    EXPECT_EQ(opened, 1);
}

TEST_F(MainWindowTest, ScreenshotCaptionMenusIconsAndUniqueShortcuts) {
    TfrmMain w(nullptr, &env);
    EXPECT_EQ(w.windowTitle(), "Tessel for Windows v3.7");
    QStringList bar;
    for (QAction *a : w.menuBar()->actions())
        bar.append(a->text());
    EXPECT_EQ(bar, QStringList({"&Experiment", "&View", "&System", "Set&up", "&Window", "&Help"}));
    // One key must never be bound twice: Qt would then fire neither command.
    QHash<QKeySequence, QString> seen;
    for (const MainCommand &c : MainCommands()) {
        const QKeySequence k = w.Action(c.id)->shortcut();
        EXPECT_TRUE(k.isEmpty() || !seen.contains(k)) << c.id << " and " << seen.value(k).toStdString();
        seen.insert(k, c.id);
    }
    w.show();
    QCoreApplication::processEvents();
    // Every toolbar button shows a drawing of the program's set and is named
    // by its tip for screen readers.
    for (const MainCommand &c : MainCommands()) {
        if (c.toolbar == MainToolbar::None)
            continue;
        EXPECT_TRUE(HasShippedIcon(QLatin1String(c.icon))) << c.id;
        const QString id = c.toolbar == MainToolbar::Control ? "btn" + QLatin1String(c.id).mid(3) : QLatin1String(c.id);
        const QWidget *button = w.Toolbar(c.toolbar)->widgetForAction(w.Action(id));
        ASSERT_NE(button, nullptr) << c.id;
        EXPECT_EQ(button->accessibleName(), QLatin1String(c.hint)) << c.id;
    }
    test::SaveScreenshot(w, "main-window.png");
}

TEST_F(EnvDialogTest, ControlsShowTheSettingsAndOnlyOkAppliesThem) {
    env.AutoReconnect = true;
    env.ReorderOnNew = 2;
    dlg.LoadControls();
    EXPECT_TRUE(dlg.cbShowDialogs->isChecked() && dlg.cbAutoReconnect->isChecked() && dlg.rbReorder[2]->isChecked());

    for (bool ok : {false, true}) {
        dlg.LoadControls();
        dlg.cbAutoScale->setChecked(true);
        dlg.cbPrintData->setChecked(true);
        dlg.cbShowDialogs->setChecked(false);
        dlg.rbReorder[3]->setChecked(true);
        dlg.cbColumns[2]->setChecked(false);
        dlg.edThickness->setValue(3);
        ok ? dlg.Apply() : dlg.reject();
        EXPECT_EQ(env.AutoScaleAfterStop && env.PrintData && !env.ShowDialogs && !cols[2], ok);
        EXPECT_EQ(env.ReorderOnNew, ok ? 3 : 2);
        EXPECT_EQ(thickness, ok ? 3 : 1);
        EXPECT_EQ(saves, ok ? 1 : 0);
    }
    // A line width takes a short field, not the dialog's width.
    dlg.show();
    EXPECT_LT(dlg.edThickness->width(), dlg.width() / 4);
    dlg.hide();
}
