#pragma once

// A started program driven through its menus, with the recording message and
// file dialog services, for the window suites.

#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/Program.h"
#include "compiler/CompilerLibrary.h"
#include "data/ExperimentFile.h"
#include "data/SampleExperiments.h"
#include "graph/widgets/XYGraph.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"
#include "support/WindowPictures.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>

namespace tessel::test {

struct ProgramWindowFixture : ::testing::Test {
    TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    RecordingFileDialogService dialogs;
    ScopedFileDialogService dialogScope{&dialogs};
    std::unique_ptr<TProgram> program;

    void SetUp() override { start(); }
    void TearDown() override { stop(); }
    virtual void start() {
        program = std::make_unique<TProgram>(TProgramOptions{});
        program->Start();
        messages.clear();
    }
    virtual void stop() {
        program->Env().ShowDialogs = false;
        program->Main().close();
        program.reset();
    }
    TfrmMain &main() { return program->Main(); }
    void trigger(const char *id) { main().Action(QLatin1String(id))->trigger(); }
    TExperimentCommands &commands() { return program->ExperimentCommands(); }
    QList<TMDIChild *> experiments() { return commands().Experiments(); }
    TMDIChild *newExperiment() {
        trigger("mniNew");
        return experiments().constLast();
    }
    TMDIChild *open(const QString &path) {
        dialogs.answer(path);
        trigger("mniOpen");
        return experiments().constLast();
    }
    // The sample quenching analysis, saved and opened.
    TMDIChild *openSample(int measurements, int points = 200, const QString &name = "leaf3.exp") {
        TExperimentModel m;
        FillSampleExperiment(m, measurements, points);
        EXPECT_TRUE(SaveExperimentFile(m, dir.path(name)));
        TMDIChild *c = open(dir.path(name));
        messages.clear(); // the test folder has no protocol template
        return c;
    }
};

} // namespace tessel::test
