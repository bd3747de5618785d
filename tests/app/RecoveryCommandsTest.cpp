#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/Program.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
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
    QStringList Copies() const { return QDir(TRecoveryStore::DefaultFolder()).entryList({"*.exp"}, QDir::Files); }
    static TMDIChild *NewExperiment(TProgram &p, const QString &protocol) {
        p.Main().Action("mniNew")->trigger();
        TMDIChild *c = p.ExperimentCommands().Experiments().constLast();
        c->Protocol().SetText(protocol);
        return c;
    }
    static bool WaitForCopy(TProgram &p, TMDIChild *c) {
        QDeadlineTimer deadline(20000);
        while (p.Recovery().CopyOf(c).isEmpty() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return !p.Recovery().CopyOf(c).isEmpty();
    }
};

// The timer writes a copy of a modified experiment; a save and a deliberate
// close take it away, an untouched experiment never gets one.
TEST_F(RecoveryTest, TimerWritesCopiesThatSaveAndCloseRemove) {
    TProgram program(TProgramOptions{});
    program.Start();
    program.Recovery().Timer().setInterval(10);
    TfrmMain &main = program.Main();
    main.Action("mniNew")->trigger();
    TMDIChild *blank = program.ExperimentCommands().Experiments().constLast();
    TMDIChild *c = NewExperiment(program, "var a = 1\n");
    ASSERT_TRUE(WaitForCopy(program, c));
    EXPECT_TRUE(program.Recovery().CopyOf(blank).isEmpty()) << "a blank experiment has nothing to lose";

    dialogs.answer(dir.path("saved.exp"));
    main.MdiArea()->setActiveSubWindow(c->Frame);
    main.Action("mniSave")->trigger();
    EXPECT_TRUE(program.Recovery().CopyOf(c).isEmpty());
    EXPECT_EQ(Copies().size(), 0);

    c->Protocol().SetText("var a = 2\n");
    ASSERT_TRUE(WaitForCopy(program, c));
    messages.answer(mbNo); // "Save Changes to ...": no
    c->Frame->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Copies().size(), 0);
    program.Env().ShowDialogs = false;
    main.close();
}

// SIGTERM's path asks nothing and keeps the copies; the next start offers
// each: Restore opens it modified (under its file name when it had one),
// Discard removes it.
TEST_F(RecoveryTest, TerminateKeepsCopiesThatTheNextStartRestoresOrDiscards) {
    const struct {
        bool named;
        MsgButton answer;
    } cases[] = {{false, mbRestore}, {true, mbRestore}, {false, mbDiscard}};
    for (const auto &k : cases) {
        SCOPED_TRACE(testing::Message() << k.named << " " << k.answer);
        const QString saved = dir.path("named.exp");
        {
            TProgram program(TProgramOptions{});
            program.Start();
            TMDIChild *c = NewExperiment(program, "var a = 1\n");
            if (k.named) {
                dialogs.answer(saved);
                program.Main().Action("mniSave")->trigger();
                c->Protocol().SetText("var a = 3\n");
            }
            messages.clear();
            program.Terminate();
            EXPECT_TRUE(messages.entries.empty()) << messages.texts().join('\n').toStdString();
            EXPECT_TRUE(program.Main().isHidden());
        }
        ASSERT_EQ(Copies().size(), 1);
        messages.clear();
        messages.answer(k.answer);
        TProgram again(TProgramOptions{});
        again.Start();
        ASSERT_FALSE(messages.entries.empty());
        EXPECT_EQ(messages.entries[0].buttons, mbRestore | mbDiscard);
        EXPECT_TRUE(messages.entries[0].text.startsWith(
            QStringLiteral("Tessel ended without saving \"%1\".").arg(k.named ? saved : "Experiment 1")))
            << messages.entries[0].text.toStdString();
        const QList<TMDIChild *> restored = again.ExperimentCommands().Experiments();
        if (k.answer == mbRestore) {
            ASSERT_EQ(restored.size(), 1);
            TExperimentDoc &d = restored[0]->Doc();
            EXPECT_EQ(d.Protocol.Text, k.named ? "var a = 3\n" : "var a = 1\n");
            EXPECT_TRUE(d.NeedsSave());
            EXPECT_EQ(d.DocName, k.named ? saved : "Experiment 1 (restored)");
            EXPECT_EQ(d.FileOp.ForceSaveAs, !k.named);
            EXPECT_FALSE(again.Recovery().CopyOf(restored[0]).isEmpty()) << "kept until saved or closed";
        } else {
            EXPECT_TRUE(restored.isEmpty());
            EXPECT_EQ(Copies().size(), 0);
        }
        again.Env().ShowDialogs = false;
        again.Main().close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(Copies().size(), 0);
        QFile::remove(saved);
    }
}

} // namespace
