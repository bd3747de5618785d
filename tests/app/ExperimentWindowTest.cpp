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
#include "support/RecordingServices.h"
#include "support/TestSupport.h"
#include <QComboBox>

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
    ed->edTitle->insert("Leaf 3");                             // as typed
    EXPECT_EQ(c->Graph->Model().Caption, "Leaf 3");
    ed->memDescription->setPlainText("Dark adapted\nfor 20 min");
    trigger("mniProtocol");
    // A measurement ran with the checked text and its variables.
    c->Protocol().CompiledText = QStringList{"; run", "every 1 ms"};
    c->Protocol().Variables = {{"Gain", "3"}, {"Light", "500"}};
    c->PrepareMeasurementDataSets(2, 2, 0, 0);
    c->Model().Current().A.Set->SetCount(2);
    c->RecordMeasurement(46000.5, ModelT1, {}, c->Protocol().Snapshot());
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
    EXPECT_EQ(commands().Experiments().at(0)->Doc().DocName, dir.path("leaf.exp"));
    answer({});
    trigger("mniSaveAs");
    EXPECT_EQ(proposed, "leaf.exp");
    answer("leaf.exp");
    trigger("mniOpen");
    EXPECT_EQ(filters, QStringList{"Experiment Files (*.exp)"});
    EXPECT_EQ(commands().Experiments().size(), 2);
}

// What the file holds comes back: the log axis, a stored record's empty
// channel B, the active mark; a refused file keeps no name.
TEST_F(ExperimentWindowTest, ReopenedExperimentShowsWhatWasSaved) {
    program->Env().ExcludeCh = true;
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
    measure(c, 3, 0);
    ASSERT_TRUE(c->SetLogScaleX(true));
    const QString path = dir.path("log.exp"), bad = dir.path("bad.exp");
    dialogs.answer(path);
    ASSERT_TRUE(commands().Save(c, true));
    messages.clear();
    dialogs.answer(path);
    trigger("mniOpen");
    TMDIChild *back = commands().Experiments().at(1);
    EXPECT_TRUE(back->LogScaleX() && back->mniLogScaleX->isChecked());
    EXPECT_EQ(back->DataEdit->rowCount(), 2) << "the empty channel B keeps its row";
    QCoreApplication::processEvents();
    EXPECT_TRUE(markShown(back, back->ShActive));
    EXPECT_FALSE(messages.texts().join(' ').contains("log scale"));

    test::WriteTextFile(bad, "not an experiment file at all");
    dialogs.answer(bad);
    trigger("mniOpen");
    TMDIChild *refused = commands().Experiments().at(2);
    EXPECT_FALSE(refused->windowTitle().contains(bad) || refused->Editor()->windowTitle().contains(bad));
    QTreeWidgetItem *root = program->Navigator().Root();
    EXPECT_NE(root->child(root->childCount() - 1)->text(0), bad);
}

// What the user or the configuration changed after the window opened counts:
// the curve selector reaches the table, the A/B chart and the save question;
// the export takes the edited title; a measurement the current scaling.
TEST_F(ExperimentWindowTest, LaterChangesReachEveryView) {
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
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
}

// A new measurement moves the sheets along: the one looked at stays in view;
// when it goes, "Current" is shown.
TEST_F(ExperimentWindowTest, ProtocolEditorKeepsTheShownSheet) {
    trigger("mniNew");
    TMDIChild *c = commands().Experiments().at(0);
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
    trigger("mniNew");
    TMDIChild *first = commands().Experiments().at(0);
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
    trigger("mniNew");
    TMDIChild *second = commands().Experiments().at(1);
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
    // The light curve's last flash is under 1000 µmol m⁻² s⁻¹, where the leaf's
    // PhiPSII is about 0.3; its fit gives ETRmax near 130.
    const Case cases[] = {{"FvFm", "Fv/Fm", 0.78, 0.82, 1, false},
                          {"LightCurve", "\u03A6PSII", 0.25, 0.35, 8, true},
                          {"LightCurve", "ETRmax", 110, 150, 8, true}};
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
            // One point per light step, and the fitted curve of the model chosen.
            TXYGraph *g = c->Parameters()->EtrGraph;
            ASSERT_EQ(g->DependencyCount(), 2);
            EXPECT_EQ(g->Dependency(0)->Count(), 7);
            c->Parameters()->FitModel->setCurrentIndex(2);
            ASSERT_EQ(g->DependencyCount(), 2);
            EXPECT_TRUE(g->Dependency(1)->Caption.endsWith("(JassbyPlatt fit)"))
                << g->Dependency(1)->Caption.toStdString();
            c->Parameters()->FitModel->setCurrentIndex(0);
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
