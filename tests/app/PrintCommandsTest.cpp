#include "app/widgets/PrintCommands.h"
#include "app/InstrumentConfig.h"
#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/Program.h"
#include "authoring/widgets/ProtocolEditor.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "common/PrintDialogService.h"
#include "common/widgets/QtPrintDialogService.h"
#include "data/ExperimentFile.h"
#include "data/SampleExperiments.h"
#include "graph/widgets/FigureDialog.h"
#include "graph/widgets/XYGraph.h"
#include "output/PageSetup.h"
#include "output/widgets/PageSetupDialog.h"
#include "output/widgets/PrintPreview.h"
#include "support/PdfText.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct PrintCommandsTest : ::testing::Test {
    TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    RecordingPrintDialogService printDialogs;
    ScopedPrintDialogService printScope{&printDialogs};
    std::unique_ptr<TProgram> program;
    TPrintCommands *printing = nullptr;
    QString pdf;

    void SetUp() override {
        pdf = dir.path("out.pdf");
        start();
    }
    void TearDown() override {
        Config().Instrument.DePrnCol.fill(true);
        stop();
    }
    void start() {
        program = std::make_unique<TProgram>(TProgramOptions{});
        program->Start();
        printing = program->Main().findChild<TPrintCommands *>();
        ASSERT_NE(printing, nullptr);
        messages.clear();
    }
    void stop() {
        if (printing && printing->Preview())
            printing->ClosePreview();
        program->Env().ShowDialogs = false;
        program->Main().close();
        program.reset();
    }
    TfrmMain &main() { return program->Main(); }
    void trigger(const char *id) { main().Action(QLatin1String(id))->trigger(); }
    // The print dialog as a user who prints into a PDF file.
    void printIntoPdf() {
        printDialogs.Answer = [this](QPrinter &p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(pdf);
            return true;
        };
    }
    TMDIChild *openSample(int measurements = 3, const QString &folder = {}) {
        TExperimentModel m;
        FillSampleExperiment(m, measurements, 200);
        QDir().mkpath(dir.path(folder));
        const QString path = dir.path(folder.isEmpty() ? "leaf3.exp" : folder + "/leaf3.exp");
        EXPECT_TRUE(SaveExperimentFile(m, path));
        TMDIChild *c = program->ExperimentCommands().OpenFile(path);
        messages.clear(); // the test folder has no protocol template
        return c;
    }
};

} // namespace

TEST_F(PrintCommandsTest, PrintsTheExperimentThroughThePrintDialog) {
    // A file deep in folders: its path loses its middle, not its end, and
    // never runs into the page number.
    const QString deep = QString("a folder with a rather long name/").repeated(4) + "leaf";
    TMDIChild *c = openSample(3, deep);
    ASSERT_NE(c, nullptr);

    // Cancelled: nothing is printed.
    trigger("mniPrint");
    EXPECT_EQ(printDialogs.requests, std::vector<QString>{"print"});
    EXPECT_FALSE(QFile::exists(pdf));

    printIntoPdf();
    trigger("mniPrint");
    ASSERT_TRUE(QFile::exists(pdf)) << messages.texts().join('\n').toStdString();
    EXPECT_TRUE(messages.entries.empty()) << messages.texts().join('\n').toStdString();
    EXPECT_EQ(PdfInfo(pdf, "Title"), "Quenching analysis");
    const QString text = Simplified(PdfText(pdf));
    // Header: the title in the centre, then the time of printing and the
    // long date of the experiment's oldest measurement; footer: the file and
    // the page number.
    const QLocale locale;
    const QString oldest = locale.toString(DateTimeFromDays(46000.25)->date(), QLocale::LongFormat);
    const QString newest = locale.toString(DateTimeFromDays(46002 + 2 / 7.0 + 0.25)->date(), QLocale::LongFormat);
    EXPECT_TRUE(text.contains("Quenching analysis")) << text.toStdString();
    EXPECT_TRUE(text.contains(oldest)) << text.toStdString();
    EXPECT_FALSE(text.contains(newest));
    EXPECT_TRUE(text.endsWith("leaf3.exp 1") && text.contains(QChar(0x2026))) << text.toStdString();
    // Neither the data table nor the notes without their options.
    EXPECT_FALSE(text.contains("Caption"));
    EXPECT_FALSE(text.contains("Leaf 3, dark adapted"));

    program->Env().PrintData = true;
    program->Env().PrintNotes = true;
    Config().Instrument.DePrnCol[xcMultiplication] = false;
    trigger("mniPrint");
    const QString full = Simplified(PdfText(pdf));
    EXPECT_TRUE(full.contains("Show Caption Style Mark")) << full.toStdString();
    EXPECT_TRUE(full.contains("YShift Time Device")) << "Multiplication is left out";
    EXPECT_FALSE(full.contains("Multiplication"));
    EXPECT_TRUE(full.contains("Data Set A( 2 )"));
    EXPECT_TRUE(full.contains("Leaf 3, dark adapted 20 min"));
}

TEST_F(PrintCommandsTest, PreviewTakesTheWindowUntilItsClose) {
    trigger("mniPreview"); // no experiment: nothing happens
    EXPECT_EQ(printing->Preview(), nullptr);
    TMDIChild *c = openSample();
    ASSERT_NE(c, nullptr);
    QToolBar *graphBar = main().Toolbar(MainToolbar::Graph);
    graphBar->hide();

    trigger("mniPreview");
    TfrmPreview *preview = printing->Preview();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_TRUE(main().menuBar()->isHidden());
    for (MainToolbar t :
         {MainToolbar::Main, MainToolbar::Graph, MainToolbar::Protocol, MainToolbar::Window, MainToolbar::Control})
        EXPECT_TRUE(main().Toolbar(t)->isHidden());
    QCoreApplication::processEvents();
    EXPECT_EQ(preview->Pages->pageCount(), 1);
    EXPECT_EQ(preview->geometry(), main().centralWidget()->geometry());
    EXPECT_DOUBLE_EQ(preview->Pages->zoomFactor(), 0.25);

    // The window cannot be closed from the outside meanwhile.
    EXPECT_FALSE(main().close());
    EXPECT_TRUE(main().isVisible());

    // The bar's Print runs the dialog and prints what is shown.
    printIntoPdf();
    preview->btnPrint->trigger();
    EXPECT_EQ(PdfPages(pdf), 1);

    preview->btnZoomIn->trigger();
    preview->btnClose->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(printing->Preview(), nullptr);
    EXPECT_FALSE(main().menuBar()->isHidden());
    EXPECT_FALSE(main().Toolbar(MainToolbar::Main)->isHidden());
    EXPECT_TRUE(graphBar->isHidden()) << "a toolbar hidden before stays hidden";
    EXPECT_EQ(printing->Prn().ZoomPercent, 45);

    // Closing the experiment ends its preview.
    trigger("mniPreview");
    ASSERT_NE(printing->Preview(), nullptr);
    program->Env().ShowDialogs = false;
    c->Frame->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(printing->Preview(), nullptr);
    EXPECT_FALSE(main().menuBar()->isHidden());
}

TEST_F(PrintCommandsTest, PageSetupIsReadAtFirstShowAndKeptAtClose) {
    TPagePrinter &prn = printing->Prn();
    EXPECT_EQ(QStringList({prn.FriendlyHeader(), prn.FriendlyFooter(), prn.Font.family()}),
              QStringList({"&c &i &r &t  &D", "&l &F &r &p", "Courier New"}));
    EXPECT_EQ(QList({prn.MarginLeft(), prn.MarginTop()}), QList({1.0, 1.5369458128078817}));

    WhenModal([](QWidget *w) {
        auto *dlg = qobject_cast<TfrmPrintSetup *>(w);
        ASSERT_NE(dlg, nullptr);
        dlg->edFooterCenter->setText("Lab book");
        dlg->rbMillimeters->setChecked(true);
        dlg->rbLandscape->setChecked(true);
        dlg->btnOK->click();
    });
    trigger("mniPageSetup");
    EXPECT_EQ(prn.FriendlyFooter(), "&l &F &c Lab book &r &p");
    EXPECT_EQ(QList({double(prn.MeasureUnit()), prn.MarginTop()}), QList({double(muMillimeters), 39.0}));

    stop();
    TPageSetup stored;
    ASSERT_TRUE(LoadPageSetup(stored));
    EXPECT_EQ(stored.FriendlyFooter, "&l &F &c Lab book &r &p");
    EXPECT_EQ(stored.Orientation, poLandscape);

    start();
    EXPECT_EQ(printing->Prn().PageSetup(), stored);
}

TEST_F(PrintCommandsTest, PrintSetupChoosesThePrinterAndItsOrientation) {
    printDialogs.Answer = [](QPrinter &p) {
        p.setPageOrientation(QPageLayout::Landscape);
        return true;
    };
    trigger("mniPrintSetup");
    EXPECT_EQ(printDialogs.requests, std::vector<QString>{"setup"});
    EXPECT_EQ(printing->Prn().Orientation(), poLandscape);
    EXPECT_EQ(printing->Printer().pageLayout().orientation(), QPageLayout::Landscape);
}

TEST_F(PrintCommandsTest, ProtocolAndABChartPrint) {
    TMDIChild *c = openSample();
    ASSERT_NE(c, nullptr);
    c->Protocol().SetText("; my protocol\nmeasure 10ms\n");
    c->Editor()->ReloadText();
    printIntoPdf();

    // The toolbar button and the editor's menu item print the current text.
    EXPECT_EQ(c->Editor()->mniPrint->text(), "&Print...");
    trigger("btnPrintProtocol");
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_EQ(PdfInfo(pdf, "Title"), "Protocol:");
    EXPECT_TRUE(PdfText(pdf).contains("measure 10ms"));
    QFile::remove(pdf);
    c->Editor()->mniPrint->trigger();
    EXPECT_TRUE(PdfText(pdf).contains("; my protocol"));

    // A right click (no drag) on the A/B chart opens its popup menu.
    TXYGraph *chart = c->ABGraph();
    auto *menu = chart->findChild<QMenu *>("mnuABChart");
    ASSERT_NE(menu, nullptr);
    const QPointF at(40, 40);
    QMouseEvent press(QEvent::MouseButtonPress, at, chart->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, chart->mapToGlobal(at), Qt::RightButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(chart, &press);
    QApplication::sendEvent(chart, &release);
    QCoreApplication::processEvents();
    EXPECT_TRUE(menu->isVisible());
    menu->hide();

    QFile::remove(pdf);
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[0]->text(), "Print");
    menu->actions()[0]->trigger();
    const QString text = Simplified(PdfText(pdf));
    EXPECT_TRUE(text.contains("Graph A/B")) << text.toStdString();
    EXPECT_TRUE(text.contains("Quenching analysis"));

    // Its pictures, and the Graph menu's on the A/B page, show the chart.
    RecordingFileDialogService files;
    ScopedFileDialogService filesScope(&files);
    c->ShowPage(TfrmGraph::TPage::AB);
    for (QAction *a : {menu->actions()[1], c->mniSavePicture}) {
        const QString svg = dir.path("ab.svg");
        QFile::remove(svg);
        files.answer(svg);
        WhenModal([](QWidget *w) { static_cast<QDialog *>(w)->accept(); });
        a->trigger();
        EXPECT_TRUE(ReadTextFile(svg).contains(">Graph A/B</text>")) << a->text().toStdString();
    }
    // The size dialog starts from the size chosen last.
    WhenModal([](QWidget *w) {
        auto *dlg = static_cast<TfrmPictureSize *>(w);
        dlg->sbWidth->setValue(dlg->sbWidth->value() + 10);
        dlg->accept();
    });
    const QSize last = c->ABGraph()->size() + QSize(10, 0);
    c->mniCopyPicture->trigger();
    EXPECT_EQ(QApplication::clipboard()->image().size(), last);
}

TEST_F(PrintCommandsTest, ScreenshotOfAPrintedPageShowsTheColouredCurves) {
    // Kept current by scripts/screenshots.sh; a plain run checks the page.
    TMDIChild *c = openSample(4);
    ASSERT_NE(c, nullptr);
    program->Env().PrintData = true;
    program->Env().PrintNotes = true;
    printIntoPdf();
    trigger("mniPrint");
    const QString png = dir.path("printed-page.png");
    const QImage page = PdfPageImage(pdf, 1, 80, png);
    ASSERT_FALSE(page.isNull());
    // A4 at 80 per inch; the curves keep their colours on paper.
    EXPECT_NEAR(page.width(), 661, 2);
    int coloured = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor px = page.pixelColor(x, y);
            coloured += std::max({px.red(), px.green(), px.blue()}) - std::min({px.red(), px.green(), px.blue()}) > 80;
        }
    EXPECT_GT(coloured, 200);

    main().resize(1000, 700);
    trigger("mniPreview");
    QCoreApplication::processEvents();
    ASSERT_NE(printing->Preview(), nullptr);
    printing->Preview()->btnZoomIn->trigger();
    QCoreApplication::processEvents();
    const QPixmap preview = main().grab();
    printing->ClosePreview();
    if (const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR"); !out.isEmpty()) {
        QFile::remove(QDir(out).filePath("printed-page.png"));
        EXPECT_TRUE(QFile::copy(png, QDir(out).filePath("printed-page.png")));
        EXPECT_TRUE(preview.save(QDir(out).filePath("print-preview.png")));
    }
}

TEST_F(PrintCommandsTest, ThePlatformsPrintDialogPrintsIntoAPdfFile) {
    QtPrintDialogService platform(&main());
    ScopedPrintDialogService use(&platform);
    ASSERT_NE(openSample(), nullptr);
    // The user picks the dialog's PDF printer and names the file.
    WhenModal([this](QWidget *w) {
        auto *dlg = qobject_cast<QPrintDialog *>(w);
        ASSERT_NE(dlg, nullptr);
        auto *printers = dlg->findChild<QComboBox *>("printers");
        ASSERT_NE(printers, nullptr);
        const int toFile = printers->findText("Print to File (PDF)");
        ASSERT_GE(toFile, 0);
        printers->setCurrentIndex(toFile);
        auto *file = dlg->findChild<QLineEdit *>("filename");
        ASSERT_NE(file, nullptr);
        file->setText(pdf);
        dlg->accept();
    });
    trigger("mniPrint");
    ASSERT_TRUE(QFile::exists(pdf)) << messages.texts().join('\n').toStdString();
    EXPECT_EQ(PdfPages(pdf), 1);
    EXPECT_TRUE(PdfText(pdf).contains("Quenching analysis"));
}
