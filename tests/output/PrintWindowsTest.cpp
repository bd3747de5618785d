#include "common/PrintDialogService.h"
#include "output/widgets/PageSetupDialog.h"
#include "output/widgets/PrintProgress.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {
TPagePrinter &LaidOut(TPagePrinter &prn) {
    prn.SetFriendlyHeader("&c &i &r &t  &D");
    prn.SetFriendlyFooter("&l &F &r &p");
    prn.SetMeasureUnit(muMillimeters);
    prn.SetMarginTop(25);
    prn.SetMarginBottom(30);
    prn.SetMarginLeft(20);
    prn.SetMarginRight(20);
    return prn;
}
} // namespace

TEST(PageSetupDialog, ScreenshotOfThePartsAppliedOnlyOnOK) {
    RecordingPrintDialogService printDialogs;
    ScopedPrintDialogService scope(&printDialogs);
    TPagePrinter prn;
    LaidOut(prn);
    QPrinter printer;

    // Cancel leaves the page printer as it was, whatever was typed.
    WhenModal([](QWidget *w) {
        auto *dlg = qobject_cast<TfrmPrintSetup *>(w);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(QStringList({dlg->edHeaderLeft->text(), dlg->edHeaderCenter->text(), dlg->edHeaderRight->text(),
                               dlg->edFooterLeft->text(), dlg->edFooterRight->text()}),
                  QStringList({"", "&i", "&t  &D", "&F", "&p"}));
        EXPECT_TRUE(dlg->rbMillimeters->isChecked());
        EXPECT_EQ(dlg->edTop->maximum(), 1000);
        EXPECT_TRUE(dlg->rbTableProperties->isChecked());
        // Kept current by scripts/screenshots.sh.
        if (const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR"); !out.isEmpty())
            EXPECT_TRUE(dlg->grab().save(QDir(out).filePath("page-setup.png")));
        dlg->edHeaderLeft->setText("changed");
        dlg->btnPrinter->click();
        dlg->btnCancel->click();
    });
    EXPECT_FALSE(TPageSetupDlg::Execute(prn, &printer));
    EXPECT_EQ(prn.FriendlyHeader(), "&c &i &r &t  &D");
    EXPECT_EQ(printDialogs.requests, std::vector<QString>{"setup"});

    WhenModal([](QWidget *w) {
        auto *dlg = qobject_cast<TfrmPrintSetup *>(w);
        ASSERT_NE(dlg, nullptr);
        dlg->ChooseFont = [](const QFont &f, const QString &title) -> std::optional<QFont> {
            if (title != "Header Font")
                return std::nullopt;
            QFont bigger(f);
            bigger.setPointSize(20);
            return bigger;
        };
        dlg->btnHeaderFont->click();
        dlg->btnFooterFont->click();
        // The unit switch converts every margin; the boxes keep their width.
        dlg->rbInches->setChecked(true);
        EXPECT_DOUBLE_EQ(dlg->edBottom->value(), 1.2);
        const int width = dlg->edTop->width();
        dlg->rbMillimeters->setChecked(true);
        EXPECT_EQ(dlg->edTop->width(), width);
        // Leaving a field rounds what was typed to the unit's steps (0.05 in).
        dlg->rbInches->setChecked(true);
        dlg->edLeft->setValue(0.83);
        emit dlg->edLeft->editingFinished();
        EXPECT_DOUBLE_EQ(dlg->edLeft->value(), 0.85);
        dlg->rbMillimeters->setChecked(true);
        EXPECT_DOUBLE_EQ(dlg->edLeft->value(), 22);
        dlg->edLeft->setValue(12);
        dlg->edFooterCenter->setText("  Tessel  ");
        dlg->rbLandscape->setChecked(true);
        dlg->rbTableParameters->setChecked(true);
        dlg->btnOK->click();
    });
    EXPECT_TRUE(TPageSetupDlg::Execute(prn, &printer));
    EXPECT_EQ(prn.FriendlyHeader(), "&l  &c &i &r &t  &D");
    EXPECT_EQ(prn.FriendlyFooter(), "&l &F &c Tessel &r &p");
    EXPECT_EQ(prn.MarginLeft(), 12);
    EXPECT_EQ(prn.Orientation(), poLandscape);
    EXPECT_EQ(prn.DataTable(), ptParameters);
    EXPECT_EQ(prn.HeaderFont().pointSize(), 20);
    EXPECT_EQ(prn.FooterFont(), prn.Font);
}

// An OK that changed nothing keeps the exact margins (the program's own
// 1.5369... in), not the two decimals the fields show.
TEST(PageSetupDialog, UntouchedMarginsStayExact) {
    TPagePrinter prn;
    prn.SetMeasureUnit(muInches);
    prn.SetMarginTop(1.5369458128078817);
    QPrinter printer;
    WhenModal([](QWidget *w) { qobject_cast<TfrmPrintSetup *>(w)->btnOK->click(); });
    EXPECT_TRUE(TPageSetupDlg::Execute(prn, &printer));
    EXPECT_EQ(prn.MarginTop(), 1.5369458128078817);
}

TEST(PrintProgress, ShowsThePagesAndItsCancelEndsTheJob) {
    TestDir dir;
    QPdfWriter pdf(dir.path("progress.pdf"));
    TPagePrinter prn;
    prn.Title = "Leaf 3";
    prn.Copies = 2;
    TfrmPrintProgress progress;
    QStringList seen;
    bool cancelOnSecond = true;
    prn.BeginDoc(pdf);
    for (int i = 1; i <= 3; ++i) {
        if (i > 1)
            prn.NewPage();
        // The user presses Cancel while the second sheet goes out.
        prn.Draw([&progress, &seen, &cancelOnSecond, i](QPainter &) {
            seen << progress.lblPage->text();
            if (!cancelOnSecond)
                return;
            if (seen.size() == 1) {
                EXPECT_EQ(progress.windowTitle(), "Leaf 3");
                EXPECT_EQ(progress.lblMessage->text(), "Sending Pages To Printer");
                EXPECT_EQ(progress.pbPages->maximum(), 6);
                EXPECT_TRUE(progress.isVisible());
                EXPECT_TRUE(progress.btnCancel->isVisibleTo(&progress));
            }
            if (i == 2)
                progress.btnCancel->click();
        });
    }
    prn.EndDoc();
    try {
        prn.Print(pdf, &progress);
        ADD_FAILURE() << "the job went on after Cancel";
    } catch (const EPrinterError &e) {
        EXPECT_EQ(e.message(), "Printing Cancelled");
    }
    EXPECT_EQ(seen, (QStringList{"Page 1 of 3 x 2 Copies", "Page 2 of 3 x 2 Copies"}));
    EXPECT_FALSE(progress.isVisible());
    EXPECT_FALSE(prn.Printing());

    // Without cancelling the job runs to its end; ShowCancel hides the button.
    prn.ShowCancel = false;
    cancelOnSecond = false;
    prn.Print(pdf, &progress);
    EXPECT_EQ(seen.size(), 2 + 6);
    EXPECT_FALSE(progress.btnCancel->isVisibleTo(&progress));
}
