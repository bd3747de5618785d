#include "ProgramWindowFixture.h"

#include <QDeadlineTimer>

using namespace tessel;

namespace {

struct RecoveryTest : test::ProgramWindowFixture {
    QByteArray stateBefore = qgetenv("XDG_STATE_HOME");

    void SetUp() override {
        qputenv("XDG_STATE_HOME", dir.path("state").toUtf8());
        ProgramWindowFixture::SetUp();
    }
    void TearDown() override {
        if (program)
            ProgramWindowFixture::TearDown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        qputenv("XDG_STATE_HOME", stateBefore);
    }
    int Copies() const { return int(QDir(TRecoveryStore::DefaultFolder()).entryList({"*.exp"}, QDir::Files).size()); }
    TMDIChild *NewExperiment(const QString &protocol) {
        TMDIChild *c = newExperiment();
        c->Protocol().SetText(protocol);
        return c;
    }
    void Save(TMDIChild *c, const QString &name) {
        dialogs.answer(dir.path(name));
        main().MdiArea()->setActiveSubWindow(c->Frame);
        trigger("mniSave");
    }
};

// The timer writes a copy of a modified experiment, never of an untouched
// one; a save and a deliberate close take it away.
TEST_F(RecoveryTest, TimerWritesCopiesThatSaveAndCloseRemove) {
    program->Recovery().Timer().setInterval(10);
    newExperiment();
    TMDIChild *c = NewExperiment("var a = 1\n");
    auto waitForCopy = [&] {
        QDeadlineTimer deadline(20000);
        while (program->Recovery().CopyOf(c).isEmpty() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return Copies() == 1;
    };
    ASSERT_TRUE(waitForCopy()) << "one copy, none for the blank experiment";
    Save(c, "saved.exp");
    EXPECT_EQ(Copies(), 0);
    c->Protocol().SetText("var a = 2\n");
    ASSERT_TRUE(waitForCopy());
    messages.answer(mbNo); // "Save Changes to ...": no
    c->Frame->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Copies(), 0);
}

// SIGTERM's path asks nothing and keeps the copies; the next start offers
// each: Restore opens it modified, under its file name when it had one;
// Discard removes it.
TEST_F(RecoveryTest, TerminateKeepsCopiesThatTheNextStartRestoresOrDiscards) {
    NewExperiment("var a = 1\n");
    TMDIChild *named = NewExperiment("var a = 2\n");
    Save(named, "named.exp");
    named->Protocol().SetText("var a = 3\n");
    NewExperiment("var a = 4\n");
    messages.clear();
    program->Terminate();
    EXPECT_TRUE(messages.entries.empty()) << messages.texts().join('\n').toStdString();
    program.reset();
    ASSERT_EQ(Copies(), 3);
    // Experiment 3 is discarded, the others restored.
    struct Answers : RecordingMessageService {
        MsgButton show(MsgType type, const QString &text, int buttons) override {
            RecordingMessageService::show(type, text, buttons);
            if (buttons != (mbRestore | mbDiscard))
                return DefaultButton(buttons);
            return text.contains("Experiment 3") ? mbDiscard : mbRestore;
        }
    } answers;
    ScopedMessageService answering(&answers);
    start();
    const QString asked = answers.texts().join('\n');
    EXPECT_TRUE(asked.contains("Tessel ended without saving \"Experiment 1\".")) << asked.toStdString();
    const QList<TMDIChild *> restored = experiments();
    ASSERT_EQ(restored.size(), 2);
    const struct {
        QString text, name;
        bool asks;
    } expected[] = {{"var a = 1\n", "Experiment 1 (restored)", true}, {"var a = 3\n", dir.path("named.exp"), false}};
    for (int i = 0; i < 2; ++i) {
        TExperimentDoc &d = restored[i]->Doc();
        EXPECT_EQ(QStringList({d.Protocol.Text, d.DocName}), QStringList({expected[i].text, expected[i].name}));
        EXPECT_EQ(d.FileOp.ForceSaveAs, expected[i].asks);
    }
    EXPECT_EQ(Copies(), 2) << "the discarded one goes, the restored ones stay until saved or closed";
    stop();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Copies(), 0);
}

} // namespace
