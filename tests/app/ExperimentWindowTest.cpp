#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/HelpWindow.h"
#include "app/widgets/ParametersView.h"
#include "app/widgets/Program.h"
#include "authoring/widgets/ProtocolEditor.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
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
#include "support/TestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
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
    // A mark the user can see: shown, and inside its window (not pushed out
    // by the menu bar).
    static bool markShown(TMDIChild *c, QLabel *mark) {
        return mark->isVisible() && c->rect().contains(QRect(mark->mapTo(c, QPoint()), mark->size()));
    }
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

// The platform's own file dialog, answered as a user types: the files on
// disk carry the names typed, each dialog proposes the document's name and
// filters without repeating its pattern.
TEST_F(ExperimentWindowTest, FileDialogsWriteTheFilesUnderTheNamesTyped) {
    QtFileDialogService real(&main());
    ScopedFileDialogService realScope(&real);
    program->Env().LastDir = dir.path();
    // What the dialog proposes, then what the user types (empty: Cancel).
    auto answer = [](QString *proposed, QStringList *filters, const QString &typed) {
        test::WhenModal([=](QWidget *w) {
            auto *dlg = qobject_cast<QFileDialog *>(w);
            ASSERT_NE(dlg, nullptr);
            auto *name = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            *proposed = name->text();
            *filters = dlg->nameFilters();
            if (typed.isEmpty())
                return dlg->reject();
            name->setText(typed);
            static_cast<QDialog *>(dlg)->accept(); // as the Save or Open button does
        });
    };
    QString proposed;
    QStringList filters;
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
    answer(&proposed, &filters, "leaf");
    trigger("mniSaveAs");
    EXPECT_EQ(proposed, "NoName.exp");
    EXPECT_EQ(filters, QStringList{"Experiment Files (*.exp)"});
    EXPECT_EQ(QDir(dir.path()).entryList({"leaf*"}), QStringList{"leaf.exp"});
    EXPECT_EQ(c->Doc().DocName, dir.path("leaf.exp"));
    EXPECT_EQ(main().RecentFiles().Items().value(0), dir.path("leaf.exp"));
    answer(&proposed, &filters, {});
    trigger("mniSaveAs");
    EXPECT_EQ(proposed, "leaf.exp");

    answer(&proposed, &filters, "proto");
    trigger("btnSaveProtocol");
    EXPECT_EQ(QDir(dir.path()).entryList({"proto*"}), QStringList{"proto.p"});

    answer(&proposed, &filters, "leaf.exp");
    trigger("mniOpen");
    EXPECT_EQ(filters, QStringList{"Experiment Files (*.exp)"});
    ASSERT_EQ(commands().Experiments().size(), 2);
    EXPECT_EQ(commands().Experiments().at(1)->Doc().DocName, dir.path("leaf.exp"));
}

// What the file holds comes back as it was: the log axis, a stored record's
// empty channel B, and the active mark; a refused file keeps no name.
TEST_F(ExperimentWindowTest, ReopenedExperimentShowsWhatWasSaved) {
    program->Env().ExcludeCh = true;
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
    c->PrepareMeasurementDataSets(3, 0, 1, 1);
    TMeasurementRecord &r = c->Model().Current();
    r.A.Set->SetCount(3);
    for (int i = 0; i < 3; ++i)
        r.A.X->SetItem(i, 1 + i);
    c->RecordMeasurement(46000.5, ModelT1, {});
    c->StartNextMeasurement();
    ASSERT_TRUE(c->SetLogScaleX(true));
    const QString path = dir.path("log.exp");
    dialogs.answer(path);
    ASSERT_TRUE(commands().Save(c, true));

    messages.clear();
    dialogs.answer(path);
    trigger("mniOpen");
    TMDIChild *back = commands().Experiments().at(1);
    EXPECT_TRUE(back->LogScaleX());
    EXPECT_TRUE(back->mniLogScaleX->isChecked());
    EXPECT_EQ(back->Graph->DependencyCount(), 2) << "the empty channel B keeps its row";
    EXPECT_EQ(back->DataEdit->rowCount(), 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(markShown(back, back->ShActive));
    EXPECT_FALSE(c->ShActive->isVisible());
    EXPECT_FALSE(messages.texts().join('\n').contains("log scale"));

    const QString bad = dir.path("bad.exp");
    test::WriteTextFile(bad, "not an experiment file at all");
    dialogs.answer(bad);
    trigger("mniOpen");
    TMDIChild *refused = commands().Experiments().at(2);
    EXPECT_FALSE(refused->windowTitle().contains(bad)) << refused->windowTitle().toStdString();
    EXPECT_FALSE(refused->Editor()->windowTitle().contains(bad));
    QStringList names;
    for (int i = 0; i < program->Navigator().Root()->childCount(); ++i)
        names << program->Navigator().Root()->child(i)->text(0);
    EXPECT_FALSE(names.contains(bad)) << names.join(", ").toStdString();
}

// Views that show a data set's visibility follow the curve selector, and the
// change is one the close question asks about.
TEST_F(ExperimentWindowTest, SelectSignalReachesTableChartAndModifiedFlag) {
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
    c->PrepareMeasurementDataSets(3, 3, 1, 1);
    for (int ch = 0; ch < 2; ++ch) {
        TChannel &k = c->Model().Current().Channel(ch);
        k.Set->SetCount(3);
        for (int i = 0; i < 3; ++i) {
            k.X->SetItem(i, 1 + i);
            k.Y->SetItem(i, 10 * (ch + 1) + i);
        }
    }
    c->RecordMeasurement(46000.5, ModelT1, {});
    c->StartNextMeasurement();
    c->Doc().Modified = false;
    const TMeasurementRecord &rec = c->Model().Record(1);
    ASSERT_TRUE(c->Doc().ABSeries(rec)->Visible);
    test::WhenModal([](QWidget *w) {
        auto *dlg = qobject_cast<TfrmSelectCurve *>(w);
        ASSERT_NE(dlg, nullptr);
        dlg->ListBox()->item(0)->setCheckState(Qt::Unchecked); // channel A
        dlg->accept();
    });
    trigger("btnSelectSignal");
    EXPECT_FALSE(rec.A.Set->Visible);
    EXPECT_EQ(c->DataEdit->item(0, ecShow)->text(), c->DataEdit->Model().CellText(1, ecShow));
    EXPECT_FALSE(c->Doc().ABSeries(rec)->Visible);
    EXPECT_TRUE(c->Doc().Modified);
}

// Values the user or the configuration changed after the window opened are
// the ones used: the export's title and the scaling of the next measurement.
TEST_F(ExperimentWindowTest, ExportAndNewMeasurementsUseTheValuesOfTheMoment) {
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
    c->Editor()->edTitle->insert("Leaf 7"); // as typed, not saved
    const QString out = dir.path("out.txt");
    dialogs.answer(out);
    test::WhenModal([](QWidget *w) {
        auto *dlg = qobject_cast<TfrmExport *>(w);
        ASSERT_NE(dlg, nullptr);
        dlg->btnExportClick();
        dlg->accept();
    });
    trigger("mniExport");
    EXPECT_TRUE(test::ReadTextFile(out).contains("Leaf 7")) << test::ReadTextFile(out).toStdString();

    const TProcessConfig saved = Config();
    Config().Instrument.MulA = 2;
    Config().Instrument.YShiftB = 5;
    Config().Thickness = 3;
    c->PrepareMeasurementDataSets(1, 1, 1, 1);
    const TMeasurementRecord &r = c->Model().Current();
    EXPECT_EQ(QList<double>({r.A.Mul->MulKoef, r.B.Shift->AddKoef, double(r.B.Set->Thickness)}),
              QList<double>({2, 5, 3}));
    Config() = saved;
}

// A new measurement moves the sheets along: the one looked at stays in view,
// and when it goes, "Current" is shown.
TEST_F(ExperimentWindowTest, ProtocolEditorKeepsTheShownSheet) {
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
    auto measure = [c] {
        c->PrepareMeasurementDataSets(2, 0, 1, 1);
        c->Model().Current().A.Set->SetCount(2);
        c->RecordMeasurement(46000.5, ModelT1, {});
        c->StartNextMeasurement();
    };
    measure();
    QTabWidget *tabs = c->Editor()->pgProtocol;
    tabs->setCurrentIndex(1);
    const QString shown = tabs->tabText(1);
    measure();
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_EQ(tabs->tabText(tabs->currentIndex()), shown);
    c->Doc().DataSetRemoved(c->Model().Record(2).A.Set.get());
    EXPECT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->currentIndex(), 0);
}

// A user's first look: experiments take the free area, their marks and
// variable names are not cut off, the protocol text has most of the width,
// Alt+letter reaches one menu, and the navigator opens below the menus.
TEST_F(ExperimentWindowTest, WindowsUseTheFreeAreaAndShowAllTheyHold) {
    main().move(40, 40);
    main().resize(1000, 700);
    QCoreApplication::processEvents();
    const QSize area = main().MdiArea()->viewport()->size();
    trigger("mniNew");
    TMDIChild *first = commands().Experiments().at(0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(first->Frame->isMaximized());
    EXPECT_EQ(first->Frame->size(), area);
    first->SetMeasuringMark(true);
    QCoreApplication::processEvents();
    for (QLabel *mark : {first->ShActive, first->ShMeasuring})
        EXPECT_TRUE(markShown(first, mark)) << mark->toolTip().toStdString();

    // A variable's name fits its column; the text keeps most of the page.
    first->Protocol().Variables = {{"MeasuringLevel", "20"}};
    first->PrepareMeasurementDataSets(1, 0, 1, 1);
    first->RecordMeasurement(46000.5, ModelT1, {});
    first->StartNextMeasurement();
    trigger("mniProtocol");
    QCoreApplication::processEvents();
    QWidget *sheet = first->Editor()->pgProtocol->widget(1);
    auto *vars = sheet->findChild<QTableWidget *>();
    EXPECT_GT(vars->columnWidth(0), vars->fontMetrics().horizontalAdvance("MeasuringLevel"));
    first->Editor()->pgProtocol->setCurrentIndex(0);
    EXPECT_GT(first->Editor()->memCurrent->width(), 2 * first->Editor()->grdVars->width());

    trigger("mniGraph");
    first->Frame->showNormal();
    trigger("mniNew");
    TMDIChild *second = commands().Experiments().at(1);
    QCoreApplication::processEvents();
    EXPECT_FALSE(second->Frame->isMaximized());
    for (TMDIChild *c : {first, second}) {
        EXPECT_EQ(c->Frame->height(), area.height());
        EXPECT_NEAR(c->Frame->width(), area.width() / 2, 1);
    }
    EXPECT_NE(first->Frame->x(), second->Frame->x());

    // Every Alt+letter reaches one menu: the main window's and the active child's.
    QMap<QKeySequence, QStringList> menus;
    QList<QMenuBar *> bars{main().menuBar()};
    for (QMdiSubWindow *w : main().MdiArea()->subWindowList())
        if (auto *mw = qobject_cast<QMainWindow *>(w->widget()))
            bars << mw->menuBar();
    for (QMenuBar *bar : bars)
        for (QAction *a : bar->actions())
            if (const QKeySequence k = QKeySequence::mnemonic(a->text()); !k.isEmpty() && a->isVisible())
                menus[k] << a->text();
    for (auto it = menus.begin(); it != menus.end(); ++it)
        EXPECT_EQ(it.value().size(), 1) << it.value().join(", ").toStdString();

    trigger("mniNavigator");
    QCoreApplication::processEvents();
    const int below = main().centralWidget()->mapToGlobal(QPoint()).y();
    EXPECT_GE(program->Navigator().frameGeometry().top(), below);
    program->Navigator().close();
}

// A second measurement that leaves the view keeps the view (no auto-scale)
// but says so in the status bar until the view changes.
TEST_F(ExperimentWindowTest, NewDataOutsideTheViewIsHinted) {
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
    auto measure = [c](int peak) {
        c->PrepareMeasurementDataSets(3, 0, 1, 1);
        TChannel &a = c->Model().Current().A;
        a.Set->SetCount(3);
        for (int i = 0; i < 3; ++i) {
            a.X->SetItem(i, 1 + i);
            a.Y->SetItem(i, i == 1 ? peak : 10);
        }
        c->RecordMeasurement(46000.5, ModelT1, {});
        c->StartNextMeasurement();
        c->ShowResult(false);
    };
    measure(100);
    EXPECT_EQ(main().Panel(6)->text(), "");
    measure(90);
    EXPECT_EQ(main().Panel(6)->text(), "");
    measure(500);
    EXPECT_EQ(main().Panel(6)->text(), "New data outside the view: Auto Scale XY (Ctrl+0)");
    EXPECT_EQ(c->mniAutoScaleXY->shortcut(), QKeySequence("Ctrl+0"));
    c->mniAutoScaleXY->trigger();
    EXPECT_EQ(main().Panel(6)->text(), "");
}

// Help shows the shipped guide in the program's own window, or names what is
// missing.
TEST_F(ExperimentWindowTest, HelpShowsTheUserGuideOrNamesWhatIsMissing) {
    trigger("btnHelp");
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.texts().at(0).contains("user-guide.md")) << messages.texts().at(0).toStdString();
    QDir().mkpath(dir.path("doc"));
    test::WriteTextFile(dir.path("doc/user-guide.md"), "# Tessel user guide\n\nStart with **F9**.\n");
    messages.clear();
    trigger("btnHelp");
    EXPECT_TRUE(messages.entries.empty());
    ASSERT_NE(main().HelpWindow(), nullptr);
    EXPECT_TRUE(main().HelpWindow()->isVisible());
    EXPECT_TRUE(main().HelpWindow()->Browser->toPlainText().contains("Start with F9"));
    main().HelpWindow()->close();
    main().Action("mniContents")->trigger();
    EXPECT_TRUE(main().HelpWindow()->isVisible());
    main().HelpWindow()->close();
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
        QFile::copy(test::SourcePath(QStringLiteral("resources/examples/%1.exp").arg(k.example)), path);
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
