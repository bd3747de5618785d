#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/ParametersView.h"
#include "app/widgets/Program.h"
#include "authoring/widgets/ProtocolEditor.h"
#include "common/FileDialogService.h"
#include "compiler/CompilerLibrary.h"
#include "common/MessageService.h"
#include "graph/widgets/ManualScale.h"
#include "graph/widgets/Signals.h"
#include "graph/widgets/XYDEdit.h"
#include "graph/widgets/XYGraph.h"
#include "data/ExperimentFile.h"
#include "data/SampleExperiments.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
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

TEST_F(ExperimentWindowTest, DescriptionFaceAndProtocolsRoundTripThroughTheFile) {
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
    TfrmProtocol *ed = c->Editor();
    trigger("mniDescription");
    EXPECT_FALSE(ed->menuBar()->actions().at(0)->isVisible()); // the face has no menu
    ed->edTitle->insert("Leaf 3"); // as typed
    EXPECT_EQ(c->Graph->Model().Caption, "Leaf 3");
    ed->memDescription->setPlainText("Dark adapted\nfor 20 min");
    trigger("mniProtocol");
    // A measurement ran with the checked text and its variables.
    c->Protocol().CompiledText = QStringList{"; run", "every 1 ms"};
    c->Protocol().Variables = {{"Gain", "3"}, {"Light", "500"}};
    c->PrepareMeasurementDataSets(2, 2, 0, 0);
    c->Model().Current().A.Set->SetCount(2);
    c->RecordMeasurement(46000.5, ModelT1, {});
    c->StartNextMeasurement();
    ed->memCurrent->setPlainText("; edited after the run");
    const QString path = dir.path("leaf.exp");
    dialogs.answer(path);
    trigger("mniSaveAs");
    EXPECT_TRUE(ed->pnlModified->text().isEmpty()); // saved: no longer modified

    dialogs.answer(path);
    trigger("mniOpen");
    TMDIChild *back = commands().Experiments().at(1);
    TfrmProtocol *shown = back->Editor();
    EXPECT_EQ(QStringList({back->Graph->Model().Caption, shown->memDescription->toPlainText(),
                           shown->memCurrent->toPlainText(), shown->SheetText(1)}),
              QStringList({"Leaf 3", "Dark adapted\nfor 20 min", "; edited after the run", "; run\nevery 1 ms"}));
    auto *vars = shown->pgProtocol->widget(1)->findChild<QTableWidget *>();
    EXPECT_EQ(vars->item(1, 0)->text() + "=" + vars->item(1, 1)->text(), "Light=500");
    // Read from the file: not modified, but to be checked again.
    EXPECT_TRUE(shown->pnlModified->text().isEmpty() && back->Protocol().ChangedSinceCheck);
}

TEST_F(ExperimentWindowTest, SignalsToggleAndManualScaleFollowTheExperiments) {
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
    QAction *toggle = main().Action("mniSignals");
    toggle->trigger();
    ASSERT_NE(commands().Signals(), nullptr);
    EXPECT_TRUE(commands().Signals()->isVisible());
    EXPECT_EQ(commands().Signals()->LineSet.size(), 12u);
    EXPECT_FALSE(main().Action("mniProtocol")->isEnabled());
    toggle->trigger();
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_TRUE(main().Action("mniProtocol")->isEnabled());

    c->mniManualScale->trigger();
    EXPECT_TRUE(program->ManualScale().isVisible());
    EXPECT_EQ(program->ManualScale().Graph(), c);

    // The last experiment takes the signals view and the dialog's graph with it.
    toggle->trigger();
    program->Env().ShowDialogs = false;
    trigger("mniCloseAll");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(commands().Signals(), nullptr);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(program->ManualScale().Graph(), nullptr);
}

// Colours of a picture other than white, black and greys: the curves.
int ColouredPixels(const QImage &img) {
    int n = 0;
    for (int y = 0; y < img.height(); y += 2)
        for (int x = 0; x < img.width(); x += 2) {
            const QColor c = img.pixelColor(x, y);
            n += std::abs(c.red() - c.green()) > 60 || std::abs(c.green() - c.blue()) > 60;
        }
    return n;
}

TEST_F(ExperimentWindowTest, ScreenshotOfEachPageShowsTheCurves) {
    // Kept current by scripts/screenshots.sh; a plain run checks the pages draw curves.
    TExperimentModel sample;
    test::FillSampleExperiment(sample, 4, 400);
    const QString path = dir.path("Quenching.exp");
    ASSERT_TRUE(SaveExperimentFile(sample, path));
    dialogs.answer(path);
    trigger("mniOpen");
    TMDIChild *c = commands().Experiments().at(0);
    c->Frame->showMaximized();
    main().resize(1000, 640);
    const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR");
    const std::pair<TfrmGraph::TPage, const char *> pages[] = {{TfrmGraph::TPage::Graph, "experiment-graph.png"},
                                                               {TfrmGraph::TPage::Data, "experiment-data.png"},
                                                               {TfrmGraph::TPage::AB, "experiment-ab.png"}};
    for (const auto &[page, file] : pages) {
        c->ShowPage(page);
        QCoreApplication::processEvents();
        if (page != TfrmGraph::TPage::Data) {
            TXYGraph *g = page == TfrmGraph::TPage::Graph ? c->Graph : c->ABGraph();
            EXPECT_GT(ColouredPixels(g->Render()), 20) << file;
        }
        const QPixmap pm = main().grab();
        if (!out.isEmpty())
            EXPECT_TRUE(pm.save(QDir(out).filePath(QLatin1String(file))));
    }
}

// The shipped examples, measured on the virtual instrument's default leaf
// (Fv/Fm 0.8), show their parameters below the data sets; the light curve
// also plots ETR against PAR.
TEST_F(ExperimentWindowTest, DataPageShowsTheParametersOfEachMeasurement) {
    struct Case {
        const char *example;
        const char *column;
        double low, high;
        int rows;
        bool etr;
    };
    SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR")));
    // The program's folder with the shipped configuration and include files.
    ASSERT_TRUE(QFile::copy(test::SourcePath("resources/Tessel.ini"), dir.path("Tessel.ini")));
    ASSERT_TRUE(QFile::link(test::SourcePath("resources/include"), dir.path("include")));
    const Case cases[] = {{"FvFm", "Fv/Fm", 0.78, 0.82, 1, false}, {"LightCurve", "\u03A6PSII", 0.4, 0.7, 8, true}};
    for (const Case &k : cases) {
        const QString path = dir.path(QLatin1String(k.example) + ".exp");
        {
            // The sample's identity as tessel-cli measure --title/--set keeps it.
            TExperimentModel m;
            ASSERT_TRUE(
                LoadExperimentFile(m, test::SourcePath(QStringLiteral("resources/examples/%1.exp").arg(k.example))));
            SetMetadata(m.Record(1), kMetaTitle, "Leaf 3");
            SetMetadata(m.Record(1), "genotype", "wt");
            ASSERT_TRUE(SaveExperimentFile(m, path));
        }
        dialogs.answer(path);
        trigger("mniOpen");
        TMDIChild *c = commands().Experiments().at(0);
        main().Action("mniData")->trigger();
        c->Parameters()->Refresh();
        const QTableWidget *t = c->Parameters()->Table;
        ASSERT_EQ(t->rowCount(), k.rows) << k.example << ": " << t->item(0, 1)->text().toStdString();
        int col = 0;
        while (col < t->columnCount() && t->horizontalHeaderItem(col)->text() != QString::fromUtf8(k.column))
            ++col;
        ASSERT_LT(col, t->columnCount()) << k.example;
        const double v = t->item(0, col)->text().toDouble();
        EXPECT_EQ(t->horizontalHeaderItem(1)->text(), "Sample");
        EXPECT_EQ(t->item(0, 1)->text(), "Leaf 3; genotype=wt") << k.example;
        EXPECT_GT(v, k.low) << k.example;
        EXPECT_LT(v, k.high) << k.example;
        EXPECT_EQ(c->Parameters()->EtrGraph->isVisibleTo(c), k.etr) << k.example;
        if (k.etr) {
            ASSERT_EQ(c->Parameters()->EtrGraph->DependencyCount(), 1);
            EXPECT_EQ(c->Parameters()->EtrGraph->Dependency(0)->Count(), 7); // one point per light step
            const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR");
            c->Frame->showMaximized();
            main().resize(1000, 640);
            QCoreApplication::processEvents();
            if (!out.isEmpty())
                EXPECT_TRUE(main().grab().save(QDir(out).filePath("experiment-parameters.png")));
        }
        program->Env().ShowDialogs = false;
        c->Frame->close();
        QCoreApplication::processEvents();
    }
    SetCompilerLibrary(nullptr);
}

} // namespace
