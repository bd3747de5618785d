#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/Program.h"
#include "common/AppPaths.h"
#include "common/MessageService.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QLabel>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace tessel;

TEST(ProgramStartup, OptionsSeparateTheFileName) {
    const TProgramOptions o =
        TProgramOptions::Parse({"Tessel", "--port", "/dev/pts/7", "My", "Experiment.exp", "--config-dir", "/tmp/c",
                                "--protocol", "FvFm.p"});
    EXPECT_EQ(o.port, "/dev/pts/7");
    EXPECT_EQ(o.configDir, "/tmp/c");
    EXPECT_EQ(o.file, "My Experiment.exp");
    EXPECT_EQ(o.protocol, "FvFm.p");
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
        EXPECT_FALSE(program.Monitor().GainsEnabled);
        EXPECT_FALSE(program.Main().ShownOnce());
        // The navigator's root and its two service nodes exist before the first show.
        EXPECT_EQ(program.Navigator().Root()->text(0), "Tessel 3.0");
        EXPECT_EQ(program.Navigator().Root()->childCount(), 2);
        program.Start();
        EXPECT_TRUE(program.Main().ShownOnce());
        EXPECT_EQ(program.Steps().mid(10), QStringList({"first show", "splash freed", "start-up actions"}));
        // Without an instrument the program acts as the default type and says so.
        EXPECT_EQ(program.Main().Panel(1)->text(), "Not connected");
        program.Main().close();
    }
    // A start without a stored port shows the communication settings, nothing else.
    for (const auto &e : messages.entries)
        EXPECT_NE(e.type, MsgType::Error) << e.text.toStdString();
}

TEST(ProgramStartup, MissingCommandLineFileDoesNotStopTheStart) {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    TProgramOptions o;
    o.file = dir.path("no-such.exp");
    TProgram program(o);
    program.Start();
    EXPECT_TRUE(program.Main().isVisible());
    program.Main().close();
}

TEST(ProgramStartup, ProtocolOptionOpensANewExperimentWithIt) {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    TProgramOptions o;
    o.protocol = test::SourcePath("resources/protocols/FvFm.p");
    TProgram program(o);
    program.Start();
    ASSERT_EQ(program.ExperimentCommands().Experiments().size(), 1);
    EXPECT_EQ(program.ExperimentCommands().Experiments().at(0)->Protocol().Text,
              test::ReadTextFile(o.protocol));
    program.Env().ShowDialogs = false;
    program.Main().close();
}
