#pragma once

// A started program driven through its menus, with the recording message and
// file dialog services, for the window suites.

#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/Program.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QAction>
#include <gtest/gtest.h>

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
};

} // namespace tessel::test
