#include "ProgramWindowFixture.h"
#include "app/widgets/HelpWindow.h"
#include "app/widgets/ParametersView.h"
#include "common/widgets/QtFileDialogService.h"
#include "graph/widgets/DepSel.h"
#include "graph/widgets/Signals.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>

using namespace tessel;

namespace {

struct ExperimentWindowTest : test::ProgramWindowFixture {
    // One completed measurement: nA and nB points at x = 1, 2, ...; a peak
    // puts channel A's second point that high.
    static void measure(TMDIChild *c, int nA, int nB, int peak = 0) {
        c->PrepareMeasurementDataSets(nA, nB, 1, 1);
        for (int ch = 0; ch < 2; ++ch) {
            TChannel &k = c->Model().Current().Channel(ch);
            k.Set->SetCount(ch == 0 ? nA : nB);
            for (int i = 0; i < k.Set->Count(); ++i) {
                k.X->SetItem(i, 1 + i);
                k.Y->SetItem(i, ch == 0 && i == 1 && peak ? peak : 10 * (ch + 1) + i);
            }
        }
        c->RecordMeasurement(46000.5, ModelT1, {}, c->Protocol().Snapshot());
        c->StartNextMeasurement();
    }
    // A mark the user can see: shown, and inside its window (not pushed out
    // by the menu bar).
    static bool markShown(TMDIChild *c, QLabel *mark) {
        return mark->isVisible() && c->rect().contains(QRect(mark->mapTo(c, QPoint()), mark->size()));
    }
};

TEST_F(ExperimentWindowTest, NewNumbersExperimentsFollowsTheControlsAndCloseAsks) {
    TMDIChild *first = newExperiment();
    TMDIChild *second = newExperiment();
    // The measurement target does not change while a measurement runs; only
    // the target shows the mark.
    main().Experiments().SetBusy(true);
    EXPECT_FALSE(commands().MakeActive(first));
    main().Experiments().SetBusy(false);
    EXPECT_TRUE(commands().MakeActive(first));
    EXPECT_TRUE(first->ShActive->isVisibleTo(first) && !second->ShActive->isVisibleTo(second));

    program->Env().ShowDialogs = false;
    trigger("mniCloseAll");
    EXPECT_TRUE(experiments().isEmpty());
    EXPECT_FALSE(main().Action("mniGraph")->isEnabled());
    // The counter is never reset.
    TMDIChild *c = newExperiment();
    EXPECT_EQ(c->Doc().DocName, "Experiment 3");

    // Closing asks; Cancel or a failed save keeps the window.
    program->Env().ShowDialogs = true;
    messages.clear(); // the test folder has no protocol template
    messages.answer(mbCancel);
    EXPECT_FALSE(c->Frame->close());
    EXPECT_EQ(messages.texts(), QStringList{"Save Changes to Experiment 3"});
    // Yes, then cancelling the save dialog: still open, nothing lost.
    messages.answer(mbYes);
    dialogs.answer(QString());
    EXPECT_FALSE(c->Frame->close());
    // Yes with a name saves and closes.
    messages.answer(mbYes);
    dialogs.answer(dir.path("kept.exp"));
    EXPECT_TRUE(c->Frame->close());
    EXPECT_TRUE(QFile::exists(dir.path("kept.exp")));
}

// What the user typed and what the file holds come back on reopening: title,
// description, the edited and the measured protocol and the log axis; the
// windows take the file's name.
TEST_F(ExperimentWindowTest, EditsAndTheLogAxisRoundTripThroughTheFile) {
    TMDIChild *c = newExperiment();
    TfrmProtocol *ed = c->Editor();
    trigger("mniDescription");
    ed->edTitle->insert("Leaf 3"); // as typed
    ed->memDescription->setPlainText("Dark adapted\nfor 20 min");
    trigger("mniProtocol");
    // A measurement ran with the checked text.
    c->Protocol().CompiledText = QStringList{"; run", "every 1 ms"};
    program->Env().ExcludeCh = true;
    measure(c, 2, 0);
    ASSERT_TRUE(c->SetLogScaleX(true));
    ed->memCurrent->setPlainText("; edited after the run");
    const QString path = dir.path("leaf.exp");
    dialogs.answer(path);
    trigger("mniSaveAs");
    EXPECT_EQ(QStringList({c->windowTitle(), ed->windowTitle(), main().RecentFiles().Items().value(0)}),
              QStringList({path + " - Graph", path + " - Protocol", path}));
    trigger("mniSave");
    EXPECT_EQ(dialogs.requests.size(), 1u) << "a named document is saved without asking";

    TMDIChild *back = open(path);
    TfrmProtocol *shown = back->Editor();
    EXPECT_EQ(QStringList({back->Graph->Model().Caption, shown->memDescription->toPlainText(),
                           shown->memCurrent->toPlainText(), shown->SheetText(1)}),
              QStringList({"Leaf 3", "Dark adapted\nfor 20 min", "; edited after the run", "; run\nevery 1 ms"}));
    EXPECT_TRUE(back->LogScaleX() && back->mniLogScaleX->isChecked());
}

// The platform's own file dialog as a user answers it: the files carry the
// names typed, the dialog proposes the document's name and names each
// filter's pattern once.
TEST_F(ExperimentWindowTest, FileDialogsWriteTheNamesTyped) {
    QtFileDialogService real(&main());
    ScopedFileDialogService realScope(&real);
    program->Env().LastDir = dir.path();
    QString proposed;
    QStringList filters;
    auto answer = [&](const QString &typed) {
        test::WhenModal([&, typed](QWidget *w) {
            auto *dlg = qobject_cast<QFileDialog *>(w);
            auto *name = dlg ? dlg->findChild<QLineEdit *>("fileNameEdit") : nullptr;
            ASSERT_NE(name, nullptr);
            proposed = name->text();
            filters = dlg->nameFilters();
            name->setText(typed);
            static_cast<QDialog *>(dlg)->accept();
        });
    };
    trigger("mniNew");
    answer("leaf");
    trigger("mniSaveAs");
    EXPECT_EQ(QStringList({proposed, filters.join(";")}), QStringList({"NoName.exp", "Experiment Files (*.exp)"}));
    answer("proto");
    trigger("btnSaveProtocol");
    EXPECT_EQ(QDir(dir.path()).entryList({"leaf*", "proto*"}), QStringList({"leaf.exp", "proto.p"}));
    answer("leaf.exp");
    trigger("mniOpen");
}

// What the user changed after the window opened counts: the curve selector
// reaches the A/B chart and the save question; the export takes the edited
// title; the signals view and the manual scale dialog go with the last
// experiment.
TEST_F(ExperimentWindowTest, LaterChangesReachEveryView) {
    TMDIChild *c = newExperiment();
    measure(c, 3, 3);
    c->Doc().Modified = false;
    const TMeasurementRecord &rec = c->Model().Record(1);
    test::WhenModal([](QWidget *w) {
        auto *dlg = qobject_cast<TfrmSelectCurve *>(w);
        ASSERT_NE(dlg, nullptr);
        dlg->ListBox()->item(0)->setCheckState(Qt::Unchecked); // channel A
        dlg->accept();
    });
    trigger("btnSelectSignal");
    EXPECT_FALSE(rec.A.Set->Visible || c->Doc().ABSeries(rec)->Visible);
    EXPECT_TRUE(c->Doc().Modified);

    c->Editor()->edTitle->insert("Leaf 7"); // typed, not saved
    dialogs.answer(dir.path("out.txt"));
    test::WhenModal([](QWidget *w) {
        qobject_cast<TfrmExport *>(w)->btnExportClick();
        qobject_cast<TfrmExport *>(w)->accept();
    });
    trigger("mniExport");
    EXPECT_TRUE(test::ReadTextFile(dir.path("out.txt")).contains("Leaf 7"));

    QAction *toggle = main().Action("mniSignals");
    toggle->trigger();
    ASSERT_NE(commands().Signals(), nullptr);
    EXPECT_FALSE(main().Action("mniProtocol")->isEnabled()) << "held off under the signals view";
    toggle->trigger();
    toggle->trigger();
    c->mniManualScale->trigger();
    EXPECT_EQ(program->ManualScale().Graph(), c);
    program->Env().ShowDialogs = false;
    trigger("mniCloseAll");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(commands().Signals() || toggle->isChecked());
    EXPECT_EQ(program->ManualScale().Graph(), nullptr);
}

// A user's first look: experiments take the free area, marks are not cut
// off, the sheet looked at stays in view, new data outside the view is
// hinted, and Help shows the guide or names what is missing.
TEST_F(ExperimentWindowTest, FirstLookAtTheWindows) {
    main().move(40, 40);
    main().resize(1000, 700);
    QCoreApplication::processEvents();
    const QSize area = main().MdiArea()->viewport()->size();
    TMDIChild *first = newExperiment();
    first->SetMeasuringMark(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(first->Frame->size(), area);
    EXPECT_TRUE(markShown(first, first->ShActive) && markShown(first, first->ShMeasuring));

    first->Protocol().Variables = {{"MeasuringLevel", "20"}};
    measure(first, 3, 0, 100);
    first->ShowResult(false);
    trigger("mniProtocol");

    // Higher than the view: kept, but said. The sheet looked at moves along;
    // when its data goes, "Current" is shown.
    QTabWidget *tabs = first->Editor()->pgProtocol;
    tabs->setCurrentIndex(1);
    measure(first, 3, 0, 500);
    first->ShowResult(false);
    EXPECT_EQ(main().Panel(6)->text(), "New data outside the view: Auto Scale XY (Ctrl+0)");
    first->mniAutoScaleXY->trigger();
    EXPECT_EQ(tabs->currentIndex(), 2);
    first->Doc().DataSetRemoved(first->Model().Record(2).A.Set.get());
    EXPECT_EQ(tabs->currentIndex(), 0);

    trigger("mniGraph");
    first->Frame->showNormal();
    TMDIChild *second = newExperiment();
    QCoreApplication::processEvents();
    for (TMDIChild *c : {first, second})
        EXPECT_EQ(c->Frame->size(), QSize(area.width() / 2, area.height()));
    trigger("mniNavigator");
    trigger("btnHelp");
    EXPECT_TRUE(messages.texts().join(' ').contains("user-guide.md"));
    QDir().mkpath(dir.path("doc"));
    test::WriteTextFile(dir.path("doc/user-guide.md"), "# Tessel user guide\n\nStart with **F9**.\n");
    main().Action("mniContents")->trigger();
    ASSERT_NE(main().HelpWindow(), nullptr);
    EXPECT_TRUE(main().HelpWindow()->Browser->toPlainText().contains("Start with F9"));
}

// An opened file on its three pages: the page buttons name the window, the
// data table has its columns and the charts draw curves. Kept current by
// scripts/screenshots.sh.
TEST_F(ExperimentWindowTest, ScreenshotOfEachPageShowsTheOpenedFile) {
    const QString path = dir.path("Quenching.exp");
    TMDIChild *c = openSample(4, 400, "Quenching.exp");
    c->Frame->showMaximized();
    main().resize(1000, 640);
    const struct {
        const char *action, *title, *file;
        TXYGraph *graph;
    } pages[] = {{"mniData", " - Data", "experiment-data.png", nullptr},
                 {"mniGraph", " - Graph", "experiment-graph.png", c->Graph},
                 {"btnGraphAB", " - Graph A/B", "experiment-ab.png", c->ABGraph()}};
    for (const auto &p : pages) {
        trigger(p.action);
        QCoreApplication::processEvents();
        EXPECT_EQ(c->windowTitle(), path + p.title);
        if (p.graph)
            EXPECT_GT(test::CountPixels(p.graph->Render(), test::Coloured, 2), 20) << p.file;
        test::SaveScreenshot(main(), p.file);
    }
}

// A shipped example, measured on the virtual instrument's default leaf,
// shows its parameters below the data sets; the light curve also plots ETR
// against PAR with the fit of the model chosen. Kept current by
// scripts/screenshots.sh.
TEST_F(ExperimentWindowTest, ParametersScreenshotShowsTheLightCurve) {
    SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR")));
    // The program's folder with the shipped configuration and include files.
    ASSERT_TRUE(QFile::copy(test::SourcePath("resources/Tessel.ini"), dir.path("Tessel.ini")));
    ASSERT_TRUE(QFile::link(test::SourcePath("resources/include"), dir.path("include")));
    const QString path = dir.path("LightCurve.exp");
    TExperimentModel m;
    ASSERT_TRUE(LoadExperimentFile(m, test::SourcePath("resources/examples/LightCurve.exp")));
    // The sample's identity as tessel-cli measure --title/--set keeps it.
    SetMetadata(m.Record(1), kMetaTitle, "Leaf 3");
    SetMetadata(m.Record(1), "genotype", "wt");
    ASSERT_TRUE(SaveExperimentFile(m, path));
    TMDIChild *c = open(path);
    trigger("mniData");
    c->Parameters()->Refresh();
    const QTableWidget *t = c->Parameters()->Table;
    ASSERT_EQ(t->rowCount(), 8);
    EXPECT_EQ(t->horizontalHeaderItem(1)->text() + ": " + t->item(0, 1)->text(), "Sample: Leaf 3; genotype=wt");
    // One point per light step, and the fitted curve of the model chosen.
    TXYGraph *g = c->Parameters()->EtrGraph;
    ASSERT_EQ(g->DependencyCount(), 2);
    EXPECT_EQ(g->Dependency(0)->Count(), 7);
    c->Parameters()->FitModel->setCurrentIndex(2);
    EXPECT_TRUE(g->Dependency(1)->Caption.endsWith("(JassbyPlatt fit)")) << g->Dependency(1)->Caption.toStdString();
    c->Parameters()->FitModel->setCurrentIndex(0);
    c->Frame->showMaximized();
    main().resize(1000, 640);
    QCoreApplication::processEvents();
    test::SaveScreenshot(main(), "experiment-parameters.png");
    SetCompilerLibrary(nullptr);
}

} // namespace
