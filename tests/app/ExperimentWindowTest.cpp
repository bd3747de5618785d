#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/Program.h"
#include "authoring/widgets/ProtocolEditor.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "graph/widgets/XYDEdit.h"
#include "graph/widgets/XYGraph.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

struct ExperimentWindowTest : ::testing::Test {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    RecordingFileDialogService dialogs;
    ScopedFileDialogService dialogScope{&dialogs};
    std::unique_ptr<TProgram> program;

    void SetUp() override {
        program = std::make_unique<TProgram>(TProgramOptions{});
        program->Start();
        messages.clear();
    }
    void TearDown() override {
        program->Env().ShowDialogs = false;
        program->Main().close();
        program.reset();
    }
    TfrmMain &main() { return program->Main(); }
    TExperimentCommands &commands() { return program->ExperimentCommands(); }
    void trigger(const char *id) { main().Action(QLatin1String(id))->trigger(); }
    QString golden(const char *name) {
        const QString to = dir.path(QLatin1String(name));
        QFile::copy(test::SourcePath(QStringLiteral("tests/data/golden/") + QLatin1String(name)), to);
        return to;
    }
};

TEST_F(ExperimentWindowTest, NewNumbersExperimentsAndFollowsTheDocumentControls) {
    EXPECT_FALSE(main().Action("mniGraph")->isEnabled());
    trigger("mniNew");
    trigger("mniNew");
    QList<TMDIChild *> all = commands().Experiments();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0]->Doc().DocName, "Experiment 1");
    EXPECT_EQ(all[1]->windowTitle(), "Experiment 2 - Graph");
    EXPECT_EQ(all[1]->Editor()->windowTitle(), "Experiment 2 - Protocol");
    EXPECT_TRUE(main().Action("mniGraph")->isEnabled());
    // The newest is the measurement target; only it shows the mark.
    EXPECT_EQ(main().Experiments().Active(), all[1]);
    EXPECT_TRUE(all[1]->ShActive->isVisibleTo(all[1]));
    EXPECT_FALSE(all[0]->ShActive->isVisibleTo(all[0]));
    EXPECT_EQ(program->Navigator().Root()->childCount(), 4);

    program->Env().ShowDialogs = false;
    trigger("mniCloseAll");
    EXPECT_TRUE(commands().Experiments().isEmpty());
    EXPECT_FALSE(main().Action("mniGraph")->isEnabled());
    EXPECT_EQ(program->Navigator().Root()->childCount(), 2);
    // The counter is never reset.
    trigger("mniNew");
    EXPECT_EQ(commands().Experiments().at(0)->Doc().DocName, "Experiment 3");
}

TEST_F(ExperimentWindowTest, OpenShowsTheGoldenFileOnItsThreePages) {
    const QString path = golden("three.exp");
    dialogs.answer(path);
    trigger("mniOpen");
    ASSERT_EQ(commands().Experiments().size(), 1);
    TMDIChild *c = commands().Experiments().at(0);
    EXPECT_EQ(dialogs.requests.at(0).filter, "Experiment Files (*.exp)|*.exp");
    EXPECT_EQ(c->windowTitle(), path + " - Graph");
    EXPECT_EQ(main().RecentFiles().Items().value(0), path);
    const int records = c->Doc().Model.RecordCount() - 1;
    ASSERT_GT(records, 0);
    EXPECT_EQ(c->Editor()->SheetCount(), records);
    EXPECT_EQ(main().Panel(3)->text(), QString::number(c->Doc().Model.SizeEstimate() / 1024) + " kB");

    main().Action("mniData")->trigger();
    EXPECT_EQ(c->windowTitle(), path + " - Data");
    {
        TXYDEdit *t = c->DataEdit;
        ASSERT_EQ(t->columnCount(), 18);
        EXPECT_EQ(t->horizontalHeaderItem(12)->text(), "Multiplication");
        ASSERT_GE(t->rowCount(), 1);
        const TDependency *d = t->Row(1);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(t->item(0, 2)->text(), d->Caption);
        EXPECT_EQ(t->item(0, xcDevice)->text(), c->Doc().CellText(d, xcDevice));
        EXPECT_NE(t->item(0, xcTime)->text(), "---");
        EXPECT_GE(t->columnWidth(xcTime), 70);
    }
    main().Action("btnGraphAB")->trigger();
    EXPECT_EQ(c->windowTitle(), path + " - Graph A/B");
    int filled = 0;
    for (int i = 0; i < c->ABGraph()->DependencyCount(); ++i)
        filled += c->ABGraph()->Dependency(i)->Count() > 0;
    EXPECT_EQ(c->ABGraph()->DependencyCount(), records);
    EXPECT_GT(filled, 0);
}

TEST_F(ExperimentWindowTest, MakeActiveIsRefusedWhileAMeasurementRuns) {
    trigger("mniNew");
    trigger("mniNew");
    TMDIChild *first = commands().Experiments().at(0);
    main().Experiments().SetBusy(true);
    EXPECT_FALSE(commands().MakeActive(first));
    EXPECT_NE(main().Experiments().Active(), first);
    main().Experiments().SetBusy(false);
    EXPECT_TRUE(commands().MakeActive(first));
    EXPECT_EQ(main().Experiments().Active(), first);
    EXPECT_FALSE(commands().Experiments().at(1)->ShActive->isVisibleTo(commands().Experiments().at(1)));
}

TEST_F(ExperimentWindowTest, CloseAsksAndCancelOrAFailedSaveKeepsTheWindow) {
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
    program->Env().ShowDialogs = true;
    messages.clear();
    messages.answer(mbCancel);
    EXPECT_FALSE(c->Frame->close());
    EXPECT_EQ(messages.texts(), QStringList{"Save Changes to Experiment 1"});
    // Yes, then cancelling the save dialog: still open, nothing lost.
    messages.answer(mbYes);
    dialogs.answer(QString());
    EXPECT_FALSE(c->Frame->close());
    ASSERT_EQ(commands().Experiments().size(), 1);
    // Yes with a name saves and closes.
    messages.answer(mbYes);
    dialogs.answer(dir.path("kept.exp"));
    EXPECT_TRUE(c->Frame->close());
    EXPECT_TRUE(QFile::exists(dir.path("kept.exp")));
    EXPECT_TRUE(commands().Experiments().isEmpty());
}

TEST_F(ExperimentWindowTest, SaveAsNamesTheDocumentAndItsWindows) {
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
    const QString path = dir.path("named.exp");
    dialogs.answer(path);
    trigger("mniSaveAs");
    EXPECT_EQ(dialogs.requests.at(0).title, "Save");
    EXPECT_EQ(c->windowTitle(), path + " - Graph");
    EXPECT_EQ(c->Editor()->windowTitle(), path + " - Protocol");
    main().Action("mniDescription")->trigger();
    EXPECT_EQ(c->Editor()->windowTitle(), path + " - Description");
    EXPECT_EQ(main().RecentFiles().Items().value(0), path);
    // Save of a named document does not ask again.
    trigger("mniSave");
    EXPECT_EQ(dialogs.requests.size(), 1u);
}

} // namespace
