#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/Program.h"
#include "common/AppPaths.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"
#include "support/WindowPictures.h"

#include <QAction>
#include <QCoreApplication>
#include <QScreen>

using namespace tessel;

TEST(ProgramStartup, OptionsSeparateTheFileName) {
    const TProgramOptions o = TProgramOptions::Parse(
        {"Tessel", "--port", "/dev/pts/7", "My", "Experiment.exp", "--config-dir", "/tmp/c", "--protocol", "FvFm.p"});
    EXPECT_EQ(QStringList({o.port, o.configDir, o.file, o.protocol}),
              QStringList({"/dev/pts/7", "/tmp/c", "My Experiment.exp", "FvFm.p"}));
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
        // The windows in their order; the first show's work runs once.
        EXPECT_EQ(program.Steps(), QStringList({"splash", "frmMain", "TCommonObjs", "Monitor", "Navigator", "TestKeys",
                                                "EnvSetup", "Export", "ManualScale", "navigator filled", "first show",
                                                "splash freed", "start-up actions"}));
        ASSERT_EQ(program.ExperimentCommands().Experiments().size(), 1);
        TfrmMain &main = program.Main();
        EXPECT_TRUE(main.ShownOnce());
        test::SaveScreenshot(main, "first-start.png");
        const QRect avail = main.screen()->availableGeometry();
        const QSize expected = (avail.size() * 0.8).expandedTo(QSize(940, 439)).boundedTo(avail.size());
        EXPECT_EQ(main.size(), expected);

        // Nothing stored yet: each window opens at its designed size, which
        // leaves room for every control, never at a few pixels, on the screen.
        const std::pair<const char *, QWidget *> windows[] = {
            {"navigator", &program.Navigator()},           {"test keys", &program.TestKeys()},
            {"environment options", &program.EnvDialog()}, {"export", &program.ExportDialog()},
            {"manual scale", &program.ManualScale()},
        };
        for (const auto &[name, w] : windows) {
            w->show();
            QCoreApplication::processEvents();
            const QSize fits = w->minimumSizeHint().boundedTo(avail.size());
            EXPECT_TRUE(w->width() >= fits.width() && w->height() >= fits.height()) << name;
            EXPECT_TRUE(avail.contains(w->geometry().center())) << name;
            w->hide();
        }
        main.setGeometry(kLeft);
        program.Env().ShowDialogs = false;
        Config().Thickness = 2;
        main.close();
    }
    EXPECT_EQ(ReadThickness(AppPaths::iniPath()), 2) << "closing saves the line width";
    // Only the width goes back: a real second start finds the configuration
    // the first one read, never an empty one.
    Config().Thickness = 1;
    // A file named on the command line that is not there does not stop the start.
    TProgramOptions missing;
    missing.file = dir.path("no-such.exp");
    TProgram again(missing);
    again.Start();
    EXPECT_EQ(again.Main().geometry(), kLeft) << "later starts keep what the user left";
    again.Env().ShowDialogs = false;
    again.Main().close();
}
