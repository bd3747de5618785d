#include "app/widgets/PrintCommands.h"
#include "ProgramWindowFixture.h"
#include "common/widgets/QtPrintDialogService.h"
#include "graph/widgets/FigureDialog.h"
#include "output/PageSetup.h"
#include "output/widgets/PageSetupDialog.h"
#include "support/PdfText.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMenu>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QToolBar>

using namespace tessel;
using namespace tessel::test;

namespace {

struct PrintCommandsTest : ProgramWindowFixture {
    RecordingPrintDialogService printDialogs;
    ScopedPrintDialogService printScope{&printDialogs};
    TPrintCommands *printing = nullptr;
    QString pdf = dir.path("out.pdf");

    void TearDown() override {
        Config().Instrument.DePrnCol.fill(true);
        ProgramWindowFixture::TearDown();
    }
    void start() override {
        ProgramWindowFixture::start();
        printing = program->Main().findChild<TPrintCommands *>();
        ASSERT_NE(printing, nullptr);
    }
    void stop() override {
        if (printing && printing->Preview())
            printing->ClosePreview();
        ProgramWindowFixture::stop();
    }
    // The print dialog as a user who prints into a PDF file.
    void printIntoPdf() {
        printDialogs.Answer = [this](QPrinter &p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(pdf);
            return true;
        };
    }
};

} // namespace

// The print dialog's answer, the print options and the print columns reach
// the page (the page's layout is the printout's own suite's); the curves keep
// their colours on paper; the platform's dialog prints too. Kept current by
// scripts/screenshots.sh.
TEST_F(PrintCommandsTest, PrintedPageScreenshotFollowsThePrintOptions) {
    ASSERT_NE(openSample(4), nullptr);
    // Cancelled: nothing is printed.
    trigger("mniPrint");
    EXPECT_FALSE(QFile::exists(pdf));

    printIntoPdf();
    trigger("mniPrint");
    ASSERT_TRUE(QFile::exists(pdf)) << messages.texts().join('\n').toStdString();
    EXPECT_EQ(PdfInfo(pdf, "Title"), "Quenching analysis");
    // Neither the data table nor the notes without their options.
    const QString text = Simplified(PdfText(pdf));
    EXPECT_FALSE(text.contains("Caption") || text.contains("Leaf 3, dark adapted"));

    // With them; a column left out of print is not printed.
    program->Env().PrintData = true;
    program->Env().PrintNotes = true;
    Config().Instrument.DePrnCol[xcMultiplication] = false;
    trigger("mniPrint");
    const QString full = Simplified(PdfText(pdf));
    for (const char *shown : {"Show Caption Style Mark", "YShift Time Device", "Leaf 3, dark adapted 20 min"})
        EXPECT_TRUE(full.contains(QLatin1String(shown))) << shown << "\n" << full.toStdString();
    const QImage page = PdfPageImage(pdf, 1, 80, dir.path("printed-page.png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(CountPixels(page, Coloured), 200);
    SaveScreenshot(page, "printed-page.png");

    // The platform's own dialog as a user answers it: its PDF printer and the
    // file named.
    QtPrintDialogService platform(&main());
    ScopedPrintDialogService use(&platform);
    QFile::remove(pdf);
    WhenModal([this](QWidget *w) {
        auto *dlg = qobject_cast<QPrintDialog *>(w);
        ASSERT_NE(dlg, nullptr);
        auto *printers = dlg->findChild<QComboBox *>("printers");
        auto *file = dlg->findChild<QLineEdit *>("filename");
        ASSERT_TRUE(printers && file);
        const int toFile = printers->findText("Print to File (PDF)");
        ASSERT_GE(toFile, 0);
        printers->setCurrentIndex(toFile);
        file->setText(pdf);
        dlg->accept();
    });
    trigger("mniPrint");
    EXPECT_TRUE(PdfText(pdf).contains("Quenching analysis")) << messages.texts().join('\n').toStdString();
}

TEST_F(PrintCommandsTest, PreviewScreenshotTakesTheWindowUntilItsClose) {
    trigger("mniPreview"); // no experiment: nothing happens
    EXPECT_EQ(printing->Preview(), nullptr);
    TMDIChild *c = openSample(3);
    ASSERT_NE(c, nullptr);
    QToolBar *graphBar = main().Toolbar(MainToolbar::Graph);
    graphBar->hide();
    main().resize(1000, 700);

    trigger("mniPreview");
    TfrmPreview *preview = printing->Preview();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(main().menuBar()->isHidden() && main().Toolbar(MainToolbar::Main)->isHidden());
    QCoreApplication::processEvents();
    EXPECT_EQ(preview->geometry(), main().centralWidget()->geometry());

    // The window cannot be closed from the outside meanwhile.
    EXPECT_FALSE(main().close());

    // The bar's Print runs the dialog and prints what is shown.
    printIntoPdf();
    preview->btnPrint->trigger();
    EXPECT_EQ(PdfPages(pdf), 1);

    preview->btnZoomIn->trigger();
    QCoreApplication::processEvents();
    SaveScreenshot(main(), "print-preview.png");
    preview->btnClose->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(printing->Preview(), nullptr);
    EXPECT_FALSE(main().menuBar()->isHidden() || main().Toolbar(MainToolbar::Main)->isHidden());
    EXPECT_TRUE(graphBar->isHidden()) << "a toolbar hidden before stays hidden";

    // Closing the experiment ends its preview.
    trigger("mniPreview");
    ASSERT_NE(printing->Preview(), nullptr);
    program->Env().ShowDialogs = false;
    c->Frame->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(printing->Preview(), nullptr);
}

// Page Setup and Print Setup change the printer; the page setup is kept at
// close and read at the next start.
TEST_F(PrintCommandsTest, PageAndPrintSetupAreKeptForTheNextStart) {
    printDialogs.Answer = [](QPrinter &p) {
        p.setPageOrientation(QPageLayout::Landscape);
        return true;
    };
    trigger("mniPrintSetup");
    EXPECT_EQ(printDialogs.requests, std::vector<QString>{"setup"});
    EXPECT_EQ(printing->Printer().pageLayout().orientation(), QPageLayout::Landscape);

    WhenModal([](QWidget *w) {
        auto *dlg = static_cast<TfrmPrintSetup *>(w);
        dlg->edFooterCenter->setText("Lab book");
        dlg->btnOK->click();
    });
    trigger("mniPageSetup");
    EXPECT_EQ(printing->Prn().FriendlyFooter(), "&l &F &c Lab book &r &p");

    stop();
    TPageSetup stored;
    ASSERT_TRUE(LoadPageSetup(stored));
    EXPECT_EQ(stored.Orientation, poLandscape);
    start();
    EXPECT_EQ(printing->Prn().PageSetup(), stored);
}

TEST_F(PrintCommandsTest, ProtocolAndABChartPrint) {
    TMDIChild *c = openSample(3);
    ASSERT_NE(c, nullptr);
    c->Protocol().SetText("; my protocol\nmeasure 10ms\n");
    c->Editor()->ReloadText();
    printIntoPdf();

    // The toolbar button and the editor's menu item print the current text.
    trigger("btnPrintProtocol");
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
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, chart->mapToGlobal(at), Qt::RightButton,
                      type == QEvent::MouseButtonPress ? Qt::RightButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(chart, &e);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(menu->isVisible());
    menu->hide();

    ASSERT_EQ(menu->actions().size(), 3);
    menu->actions()[0]->trigger();
    const QString text = Simplified(PdfText(pdf));
    EXPECT_TRUE(text.contains("Graph A/B") && text.contains("Quenching analysis")) << text.toStdString();

    // Its pictures, and the Graph menu's on the A/B page, show the chart.
    c->ShowPage(TfrmGraph::TPage::AB);
    for (QAction *a : {menu->actions()[1], c->mniSavePicture}) {
        const QString svg = dir.path("ab.svg");
        QFile::remove(svg);
        dialogs.answer(svg);
        WhenModal([](QWidget *w) { static_cast<QDialog *>(w)->accept(); });
        a->trigger();
        EXPECT_TRUE(ReadTextFile(svg).contains(">Graph A/B</text>")) << a->text().toStdString();
    }
    // Copied at the size the size dialog proposes: the chart's.
    WhenModal([](QWidget *w) { static_cast<TfrmPictureSize *>(w)->accept(); });
    c->mniCopyPicture->trigger();
    EXPECT_EQ(QApplication::clipboard()->image().size(), c->ABGraph()->size());
}
