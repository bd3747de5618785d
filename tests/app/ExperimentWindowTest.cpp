#include "ProgramWindowFixture.h"
#include "app/widgets/HelpWindow.h"
#include "app/widgets/ParametersView.h"
#include "authoring/widgets/ProtocolEditor.h"
#include "common/widgets/QtFileDialogService.h"
#include "compiler/CompilerLibrary.h"
#include "data/ExperimentFile.h"
#include "data/SampleExperiments.h"
#include "graph/widgets/DepSel.h"
#include "graph/widgets/ManualScale.h"
#include "graph/widgets/Signals.h"
#include "graph/widgets/XYDEdit.h"
#include "graph/widgets/XYGraph.h"
#include "output/widgets/ExportDialog.h"
#include "support/WindowPictures.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTreeWidget>

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

TEST_F(ExperimentWindowTest, NewNumbersExperimentsAndFollowsTheDocumentControls) {
    EXPECT_FALSE(main().Action("mniGraph")->isEnabled());
    TMDIChild *first = newExperiment();
    TMDIChild *second = newExperiment();
    EXPECT_EQ(first->Doc().DocName, "Experiment 1");
    EXPECT_EQ(second->windowTitle(), "Experiment 2 - Graph");
    EXPECT_EQ(second->Editor()->windowTitle(), "Experiment 2 - Protocol");
    EXPECT_TRUE(main().Action("mniGraph")->isEnabled());
    // The newest is the measurement target; only it shows the mark.
    EXPECT_EQ(main().Experiments().Active(), second);
    EXPECT_FALSE(first->ShActive->isVisibleTo(first));
    EXPECT_EQ(program->Navigator().Root()->childCount(), 4);
    // The target does not change while a measurement runs.
    main().Experiments().SetBusy(true);
    EXPECT_FALSE(commands().MakeActive(first));
    main().Experiments().SetBusy(false);
    EXPECT_TRUE(commands().MakeActive(first));
    EXPECT_TRUE(first->ShActive->isVisibleTo(first) && !second->ShActive->isVisibleTo(second));

    program->Env().ShowDialogs = false;
    trigger("mniCloseAll");
    EXPECT_TRUE(experiments().isEmpty());
    EXPECT_FALSE(main().Action("mniGraph")->isEnabled());
    EXPECT_EQ(program->Navigator().Root()->childCount(), 2);
    // The counter is never reset.
    EXPECT_EQ(newExperiment()->Doc().DocName, "Experiment 3");
}

TEST_F(ExperimentWindowTest, CloseAsksAndCancelOrAFailedSaveKeepsTheWindow) {
    TMDIChild *c = newExperiment();
    program->Env().ShowDialogs = true;
    messages.clear(); // the test folder has no protocol template
    messages.answer(mbCancel);
    EXPECT_FALSE(c->Frame->close());
    EXPECT_EQ(messages.texts(), QStringList{"Save Changes to Experiment 1"});
    // Yes, then cancelling the save dialog: still open, nothing lost.
    messages.answer(mbYes);
    dialogs.answer(QString());
    EXPECT_FALSE(c->Frame->close());
    // Yes with a name saves and closes.
    messages.answer(mbYes);
    dialogs.answer(dir.path("kept.exp"));
    EXPECT_TRUE(c->Frame->close());
    EXPECT_TRUE(QFile::exists(dir.path("kept.exp")));
    EXPECT_TRUE(experiments().isEmpty());
}

// What the user typed and what the file holds come back on reopening: title,
// description, the edited and the measured protocol with its variables, the
// log axis and the active mark; the windows take the file's name.
TEST_F(ExperimentWindowTest, EditsAndTheLogAxisRoundTripThroughTheFile) {
    TMDIChild *c = newExperiment();
    TfrmProtocol *ed = c->Editor();
    trigger("mniDescription");
    EXPECT_FALSE(ed->menuBar()->actions().at(0)->isVisible()); // the face has no menu
    ed->edTitle->insert("Leaf 3");                             // as typed
    EXPECT_EQ(c->Graph->Model().Caption, "Leaf 3");
    ed->memDescription->setPlainText("Dark adapted\nfor 20 min");
    trigger("mniProtocol");
    // A measurement ran with the checked text and its variables.
    c->Protocol().CompiledText = QStringList{"; run", "every 1 ms"};
    c->Protocol().Variables = {{"Gain", "3"}, {"Light", "500"}};
    program->Env().ExcludeCh = true;
    measure(c, 2, 0);
    ASSERT_TRUE(c->SetLogScaleX(true));
    ed->memCurrent->setPlainText("; edited after the run");
    const QString path = dir.path("leaf.exp");
    dialogs.answer(path);
    trigger("mniSaveAs");
    EXPECT_EQ(dialogs.requests.at(0).title, "Save");
    EXPECT_EQ(QStringList({c->windowTitle(), ed->windowTitle(), main().RecentFiles().Items().value(0)}),
              QStringList({path + " - Graph", path + " - Protocol", path}));
    EXPECT_TRUE(ed->pnlModified->text().isEmpty()); // saved: no longer modified
    trigger("mniSave");
    EXPECT_EQ(dialogs.requests.size(), 1u) << "a named document is saved without asking";

    messages.clear();
    TMDIChild *back = open(path);
    EXPECT_EQ(dialogs.requests.at(1).filter, "Experiment Files (*.exp)|*.exp");
    TfrmProtocol *shown = back->Editor();
    EXPECT_EQ(QStringList({back->Graph->Model().Caption, shown->memDescription->toPlainText(),
                           shown->memCurrent->toPlainText(), shown->SheetText(1)}),
              QStringList({"Leaf 3", "Dark adapted\nfor 20 min", "; edited after the run", "; run\nevery 1 ms"}));
    auto *vars = shown->pgProtocol->widget(1)->findChild<QTableWidget *>();
    EXPECT_EQ(vars->item(1, 0)->text() + "=" + vars->item(1, 1)->text(), "Light=500");
    // Read from the file: not modified, but to be checked again.
    EXPECT_TRUE(shown->pnlModified->text().isEmpty() && back->Protocol().ChangedSinceCheck);
    EXPECT_TRUE(back->LogScaleX() && back->mniLogScaleX->isChecked());
    EXPECT_EQ(back->DataEdit->rowCount(), 2) << "the empty channel B keeps its row";
    QCoreApplication::processEvents();
    EXPECT_TRUE(markShown(back, back->ShActive));
    EXPECT_FALSE(messages.texts().join(' ').contains("log scale"));
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
    auto answer = [&](const QString &typed) { // empty: Cancel
        test::WhenModal([&, typed](QWidget *w) {
            auto *dlg = qobject_cast<QFileDialog *>(w);
            auto *name = dlg ? dlg->findChild<QLineEdit *>("fileNameEdit") : nullptr;
            ASSERT_NE(name, nullptr);
            proposed = name->text();
            filters = dlg->nameFilters();
            name->setText(typed);
            typed.isEmpty() ? dlg->reject() : static_cast<QDialog *>(dlg)->accept();
        });
    };
    trigger("mniNew");
    answer("leaf");
    trigger("mniSaveAs");
    EXPECT_EQ(QStringList({proposed, filters.join(";")}), QStringList({"NoName.exp", "Experiment Files (*.exp)"}));
    answer("proto");
    trigger("btnSaveProtocol");
    EXPECT_EQ(QDir(dir.path()).entryList({"leaf*", "proto*"}), QStringList({"leaf.exp", "proto.p"}));
    EXPECT_EQ(experiments().at(0)->Doc().DocName, dir.path("leaf.exp"));
    answer({});
    trigger("mniSaveAs");
    EXPECT_EQ(proposed, "leaf.exp");
    answer("leaf.exp");
    trigger("mniOpen");
    EXPECT_EQ(filters, QStringList{"Experiment Files (*.exp)"});
    EXPECT_EQ(experiments().size(), 2);
}

// What the user or the configuration changed after the window opened counts:
// the curve selector reaches the table, the A/B chart and the save question;
// the export takes the edited title; a measurement the current scaling; the
// signals view and the manual scale dialog go with the last experiment.
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
    EXPECT_EQ(c->DataEdit->item(0, ecShow)->text(), c->DataEdit->Model().CellText(1, ecShow));
    EXPECT_TRUE(c->Doc().Modified);

    c->Editor()->edTitle->insert("Leaf 7"); // typed, not saved
    dialogs.answer(dir.path("out.txt"));
    test::WhenModal([](QWidget *w) {
        qobject_cast<TfrmExport *>(w)->btnExportClick();
        qobject_cast<TfrmExport *>(w)->accept();
    });
    trigger("mniExport");
    EXPECT_TRUE(test::ReadTextFile(dir.path("out.txt")).contains("Leaf 7"));

    const TProcessConfig saved = Config();
    Config().Instrument.MulA = 2;
    Config().Instrument.YShiftB = 5;
    Config().Thickness = 3;
    c->PrepareMeasurementDataSets(1, 1, 1, 1);
    const TMeasurementRecord &r = c->Model().Current();
    EXPECT_EQ(QList<double>({r.A.Mul->MulKoef, r.B.Shift->AddKoef, double(r.B.Set->Thickness)}),
              QList<double>({2, 5, 3}));
    Config() = saved;

    QAction *toggle = main().Action("mniSignals");
    toggle->trigger();
    ASSERT_NE(commands().Signals(), nullptr);
    EXPECT_EQ(commands().Signals()->LineSet.size(), 12u);
    EXPECT_FALSE(main().Action("mniProtocol")->isEnabled()) << "held off under the signals view";
    toggle->trigger();
    EXPECT_TRUE(main().Action("mniProtocol")->isEnabled());
    toggle->trigger();
    c->mniManualScale->trigger();
    EXPECT_EQ(program->ManualScale().Graph(), c);
    program->Env().ShowDialogs = false;
    trigger("mniCloseAll");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(commands().Signals(), nullptr);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(program->ManualScale().Graph(), nullptr);
}

// A new measurement moves the sheets along: the one looked at stays in view;
// when it goes, "Current" is shown.
TEST_F(ExperimentWindowTest, ProtocolEditorKeepsTheShownSheet) {
    TMDIChild *c = newExperiment();
    measure(c, 2, 0);
    QTabWidget *tabs = c->Editor()->pgProtocol;
    tabs->setCurrentIndex(1);
    const QString shown = tabs->tabText(1);
    measure(c, 3, 0);
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_EQ(tabs->tabText(2), shown);
    c->Doc().DataSetRemoved(c->Model().Record(2).A.Set.get());
    EXPECT_EQ(tabs->currentIndex(), 0);
}

// A user's first look: experiments take the free area, marks and variable
// names are not cut off, the protocol text has most of the width, Alt+letter
// reaches one menu, the navigator opens below the menus, new data outside the
// view is hinted, and Help shows the guide or names what is missing.
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
    QCoreApplication::processEvents();
    auto *vars = first->Editor()->pgProtocol->widget(1)->findChild<QTableWidget *>();
    EXPECT_GT(vars->columnWidth(0), vars->fontMetrics().horizontalAdvance("MeasuringLevel"));
    EXPECT_GT(first->Editor()->memCurrent->width(), 2 * first->Editor()->grdVars->width());

    // Higher than the view: kept, but said, until the view changes.
    measure(first, 3, 0, 500);
    first->ShowResult(false);
    EXPECT_EQ(main().Panel(6)->text(), "New data outside the view: Auto Scale XY (Ctrl+0)");
    first->mniAutoScaleXY->trigger();
    EXPECT_EQ(main().Panel(6)->text(), "");

    trigger("mniGraph");
    first->Frame->showNormal();
    TMDIChild *second = newExperiment();
    QCoreApplication::processEvents();
    for (TMDIChild *c : {first, second})
        EXPECT_EQ(c->Frame->size(), QSize(area.width() / 2, area.height()));

    QMap<QKeySequence, QStringList> menus;
    QList<QMenuBar *> bars{main().menuBar()};
    for (QMdiSubWindow *w : main().MdiArea()->subWindowList())
        bars << qobject_cast<QMainWindow *>(w->widget())->menuBar();
    for (QMenuBar *bar : bars)
        for (QAction *a : bar->actions())
            if (const QKeySequence k = QKeySequence::mnemonic(a->text()); !k.isEmpty() && a->isVisible())
                menus[k] << a->text();
    for (const QStringList &same : menus)
        EXPECT_EQ(same.size(), 1) << same.join(", ").toStdString();

    trigger("mniNavigator");
    EXPECT_GE(program->Navigator().frameGeometry().top(), main().centralWidget()->mapToGlobal(QPoint()).y());

    trigger("btnHelp");
    EXPECT_TRUE(messages.texts().join(' ').contains("user-guide.md"));
    QDir().mkpath(dir.path("doc"));
    test::WriteTextFile(dir.path("doc/user-guide.md"), "# Tessel user guide\n\nStart with **F9**.\n");
    main().Action("mniContents")->trigger();
    ASSERT_NE(main().HelpWindow(), nullptr);
    EXPECT_TRUE(main().HelpWindow()->isVisible());
    EXPECT_TRUE(main().HelpWindow()->Browser->toPlainText().contains("Start with F9"));
}

// An opened file on its three pages: the page buttons name the window, the
// data table has its columns and the charts draw curves. Kept current by
// scripts/screenshots.sh.
TEST_F(ExperimentWindowTest, ScreenshotOfEachPageShowsTheOpenedFile) {
    TExperimentModel sample;
    test::FillSampleExperiment(sample, 4, 400);
    const QString path = dir.path("Quenching.exp");
    ASSERT_TRUE(SaveExperimentFile(sample, path));
    TMDIChild *c = open(path);
    EXPECT_EQ(main().RecentFiles().Items().value(0), path);
    EXPECT_EQ(c->Editor()->SheetCount(), 4);
    EXPECT_EQ(main().Panel(3)->text(), QString::number(c->Doc().Model.SizeEstimate() / 1024) + " kB");
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
    EXPECT_EQ(c->ABGraph()->DependencyCount(), 4);
    TXYDEdit *t = c->DataEdit;
    ASSERT_EQ(t->columnCount(), 18);
    EXPECT_EQ(t->horizontalHeaderItem(12)->text(), "Multiplication");
    const TDependency *d = t->Row(1);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(QStringList({t->item(0, 2)->text(), t->item(0, xcDevice)->text()}),
              QStringList({d->Caption, c->Doc().CellText(d, xcDevice)}));
    EXPECT_GE(t->columnWidth(xcTime), 70);
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
    // The last flash is under 1000 µmol m⁻² s⁻¹, where the leaf's PhiPSII is
    // about 0.3.
    int col = 0;
    while (col < t->columnCount() && t->horizontalHeaderItem(col)->text() != QString::fromUtf8("\u03A6PSII"))
        ++col;
    ASSERT_LT(col, t->columnCount());
    const double v = t->item(0, col)->text().toDouble();
    EXPECT_TRUE(v > 0.25 && v < 0.35) << v;
    // One point per light step, and the fitted curve of the model chosen.
    TXYGraph *g = c->Parameters()->EtrGraph;
    EXPECT_TRUE(g->isVisibleTo(c));
    ASSERT_EQ(g->DependencyCount(), 2);
    EXPECT_EQ(g->Dependency(0)->Count(), 7);
    c->Parameters()->FitModel->setCurrentIndex(2);
    ASSERT_EQ(g->DependencyCount(), 2);
    EXPECT_TRUE(g->Dependency(1)->Caption.endsWith("(JassbyPlatt fit)")) << g->Dependency(1)->Caption.toStdString();
    c->Parameters()->FitModel->setCurrentIndex(0);
    c->Frame->showMaximized();
    main().resize(1000, 640);
    QCoreApplication::processEvents();
    test::SaveScreenshot(main(), "experiment-parameters.png");
    SetCompilerLibrary(nullptr);
}

} // namespace
