#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/Program.h"
#include "common/AppPaths.h"
#include "common/MessageService.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"
#include "support/WindowPictures.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QScreen>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace tessel;

TEST(ProgramStartup, OptionsSeparateTheFileName) {
    const TProgramOptions o = TProgramOptions::Parse(
        {"Tessel", "--port", "/dev/pts/7", "My", "Experiment.exp", "--config-dir", "/tmp/c", "--protocol", "FvFm.p"});
    EXPECT_EQ(QStringList({o.port, o.configDir, o.file, o.protocol}),
              QStringList({"/dev/pts/7", "/tmp/c", "My Experiment.exp", "FvFm.p"}));
    EXPECT_EQ(TProgramOptions::Parse({"Tessel"}).file, "");
}

TEST(ProgramStartup, WindowsAreCreatedInOrderAndTheFirstShowRunsOnce) {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    {
        TProgram program(TProgramOptions{});
        EXPECT_EQ(program.Steps(), QStringList({"splash", "frmMain", "TCommonObjs", "Monitor", "Navigator", "TestKeys",
                                                "EnvSetup", "Export", "ManualScale", "navigator filled"}));
        // Without an instrument the idle state leaves the monitor and Start off.
        EXPECT_FALSE(program.Main().Action("mniMonitor")->isEnabled());
        EXPECT_FALSE(program.Main().Action("btnStart")->isEnabled());
        // Without a connected instrument the monitor has no gain or photodiode controls.
        EXPECT_FALSE(program.Monitor().Session().GainsEnabled());
        EXPECT_FALSE(program.Main().ShownOnce());
        // The navigator's two service nodes exist before the first show.
        EXPECT_EQ(program.Navigator().Root()->childCount(), 2);
        program.Start();
        EXPECT_TRUE(program.Main().ShownOnce());
        EXPECT_EQ(program.Steps().mid(10), QStringList({"first show", "splash freed", "start-up actions"}));
        program.Main().close();
    }
    // A start without a stored port shows the communication settings, nothing else.
    for (const auto &e : messages.entries)
        EXPECT_NE(e.type, MsgType::Error) << e.text.toStdString();
}

// scripts/screenshots.sh keeps docs/images/first-start.png from here: the
// --protocol option's new experiment in a frame at most of the screen.
TEST(ProgramStartup, FirstStartScreenshotAtMostOfTheScreenAndEveryWindowAtItsDesignedSize) {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    const QRect kLeft(30, 40, 700, 500);
    {
        TProgramOptions options;
        options.protocol = test::SourcePath("resources/protocols/FvFm.p");
        TProgram program(options);
        program.Start();
        ASSERT_EQ(program.ExperimentCommands().Experiments().size(), 1);
        EXPECT_EQ(program.ExperimentCommands().Experiments().at(0)->Protocol().Text,
                  test::ReadTextFile(options.protocol));
        TfrmMain &main = program.Main();
        test::SaveScreenshot(main, "first-start.png");
        const QRect avail = main.screen()->availableGeometry();
        const QSize expected = (avail.size() * 0.8).expandedTo(QSize(940, 439)).boundedTo(avail.size());
        EXPECT_EQ(main.size(), expected);
        EXPECT_LE((main.geometry().center() - avail.center()).manhattanLength(), 2);

        // Nothing stored yet: each window opens at its designed size, which
        // leaves room for every control, never at a few pixels, on the screen.
        // The monitor is sized before it opens: showing it would start the
        // stream on a port that is not there.
        const QSize monitor = program.Monitor().size();
        EXPECT_GE(monitor.width(), program.Monitor().sizeHint().width());
        EXPECT_GE(monitor.height(), program.Monitor().sizeHint().height());
        const std::pair<const char *, QWidget *> windows[] = {
            {"navigator", &program.Navigator()},           {"test keys", &program.TestKeys()},
            {"environment options", &program.EnvDialog()}, {"export", &program.ExportDialog()},
            {"manual scale", &program.ManualScale()},
        };
        for (const auto &[name, w] : windows) {
            w->show();
            QCoreApplication::processEvents();
            const QSize fits = w->minimumSizeHint().boundedTo(avail.size());
            EXPECT_GE(w->width(), fits.width()) << name;
            EXPECT_GE(w->height(), fits.height()) << name;
            EXPECT_GE(w->width() * w->height(), 200 * 120) << name;
            EXPECT_TRUE(avail.contains(w->geometry().center())) << name;
            w->hide();
        }
        main.setGeometry(kLeft);
        program.Env().ShowDialogs = false;
        main.close();
    }
    // A file named on the command line that is not there does not stop the start.
    TProgramOptions missing;
    missing.file = dir.path("no-such.exp");
    TProgram again(missing);
    again.Start();
    EXPECT_TRUE(again.Main().isVisible());
    EXPECT_EQ(again.Main().geometry(), kLeft) << "later starts keep what the user left";
    again.Env().ShowDialogs = false;
    again.Main().close();
}
