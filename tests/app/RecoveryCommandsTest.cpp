#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/Program.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMdiArea>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

struct RecoveryTest : ::testing::Test {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    RecordingFileDialogService dialogs;
    ScopedFileDialogService dialogScope{&dialogs};
    QByteArray stateBefore = qgetenv("XDG_STATE_HOME");

    void SetUp() override { qputenv("XDG_STATE_HOME", dir.path("state").toUtf8()); }
    void TearDown() override { qputenv("XDG_STATE_HOME", stateBefore); }
    int Copies() const { return int(QDir(TRecoveryStore::DefaultFolder()).entryList({"*.exp"}, QDir::Files).size()); }
    static TMDIChild *NewExperiment(TProgram &p, const QString &protocol) {
        p.Main().Action("mniNew")->trigger();
        TMDIChild *c = p.ExperimentCommands().Experiments().constLast();
        c->Protocol().SetText(protocol);
        return c;
    }
    void Save(TProgram &p, TMDIChild *c, const QString &name) {
        dialogs.answer(dir.path(name));
        p.Main().MdiArea()->setActiveSubWindow(c->Frame);
        p.Main().Action("mniSave")->trigger();
    }
};

// The timer writes a copy of a modified experiment, never of an untouched
// one; a save and a deliberate close take it away.
TEST_F(RecoveryTest, TimerWritesCopiesThatSaveAndCloseRemove) {
    TProgram program(TProgramOptions{});
    program.Start();
    program.Recovery().Timer().setInterval(10);
    program.Main().Action("mniNew")->trigger();
    TMDIChild *c = NewExperiment(program, "var a = 1\n");
    auto waitForCopy = [&] {
        QDeadlineTimer deadline(20000);
        while (program.Recovery().CopyOf(c).isEmpty() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return Copies() == 1;
    };
    ASSERT_TRUE(waitForCopy()) << "one copy, none for the blank experiment";
    Save(program, c, "saved.exp");
    EXPECT_EQ(Copies(), 0);
    c->Protocol().SetText("var a = 2\n");
    ASSERT_TRUE(waitForCopy());
    messages.answer(mbNo); // "Save Changes to ...": no
    c->Frame->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Copies(), 0);
    program.Env().ShowDialogs = false;
    program.Main().close();
}

// SIGTERM's path asks nothing and keeps the copies; the next start offers
// each: Restore opens it modified, under its file name when it had one;
// Discard removes it.
TEST_F(RecoveryTest, TerminateKeepsCopiesThatTheNextStartRestoresOrDiscards) {
    {
        TProgram program(TProgramOptions{});
        program.Start();
        NewExperiment(program, "var a = 1\n");
        TMDIChild *named = NewExperiment(program, "var a = 2\n");
        Save(program, named, "named.exp");
        named->Protocol().SetText("var a = 3\n");
        NewExperiment(program, "var a = 4\n");
        messages.clear();
        program.Terminate();
        EXPECT_TRUE(messages.entries.empty()) << messages.texts().join('\n').toStdString();
        EXPECT_TRUE(program.Main().isHidden());
    }
    ASSERT_EQ(Copies(), 3);
    // Experiment 3 is discarded, the others restored.
    struct Answers : RecordingMessageService {
        MsgButton show(MsgType type, const QString &text, int buttons) override {
            RecordingMessageService::show(type, text, buttons);
            return buttons != (mbRestore | mbDiscard) ? DefaultButton(buttons)
                   : text.contains("Experiment 3")    ? mbDiscard
                                                      : mbRestore;
        }
    } answers;
    ScopedMessageService answering(&answers);
    TProgram again(TProgramOptions{});
    again.Start();
    QStringList questions;
    for (const auto &e : answers.entries)
        if (e.buttons == (mbRestore | mbDiscard))
            questions << e.text;
    ASSERT_EQ(questions.size(), 3) << answers.texts().join('\n').toStdString();
    EXPECT_TRUE(questions[0].startsWith("Tessel ended without saving \"Experiment 1\".")) << questions[0].toStdString();
    const QList<TMDIChild *> restored = again.ExperimentCommands().Experiments();
    ASSERT_EQ(restored.size(), 2);
    const struct {
        QString text, name;
        bool asks;
    } expected[] = {{"var a = 1\n", "Experiment 1 (restored)", true}, {"var a = 3\n", dir.path("named.exp"), false}};
    for (int i = 0; i < 2; ++i) {
        TExperimentDoc &d = restored[i]->Doc();
        EXPECT_EQ(d.Protocol.Text, expected[i].text);
        EXPECT_TRUE(d.NeedsSave());
        EXPECT_EQ(d.DocName, expected[i].name);
        EXPECT_EQ(d.FileOp.ForceSaveAs, expected[i].asks);
    }
    EXPECT_EQ(Copies(), 2) << "the discarded one goes, the restored ones stay until saved or closed";
    again.Env().ShowDialogs = false;
    again.Main().close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Copies(), 0);
}

} // namespace
