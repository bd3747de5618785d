#include "common/FileDialogService.h"
#include "common/PrintDialogService.h"
#include "output/widgets/ExportDialog.h"
#include "output/widgets/PageSetupDialog.h"
#include "output/widgets/PrintProgress.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
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

TEST(PageSetupDialog, ScreenshotOfThePartsAppliedOnlyOnOK) {
    RecordingPrintDialogService printDialogs;
    ScopedPrintDialogService scope(&printDialogs);
    TPagePrinter prn;
    prn.SetFriendlyHeader("&c &i &r &t  &D");
    prn.SetMeasureUnit(muMillimeters);
    prn.SetMarginBottom(30);
    QPrinter printer;

    // Cancel leaves the page printer as it was, whatever was typed.
    WhenModal([](QWidget *w) {
        auto *dlg = qobject_cast<TfrmPrintSetup *>(w);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(QStringList({dlg->edHeaderLeft->text(), dlg->edHeaderCenter->text(), dlg->edHeaderRight->text()}),
                  QStringList({"", "&i", "&t  &D"}));
        EXPECT_TRUE(dlg->rbMillimeters->isChecked());
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
        // The unit switch converts every margin; leaving a field rounds what
        // was typed to the unit's steps (0.05 in).
        dlg->rbInches->setChecked(true);
        EXPECT_DOUBLE_EQ(dlg->edBottom->value(), 1.2);
        dlg->edLeft->setValue(0.83);
        emit dlg->edLeft->editingFinished();
        EXPECT_DOUBLE_EQ(dlg->edLeft->value(), 0.85);
        dlg->edFooterCenter->setText("  Tessel  ");
        dlg->rbLandscape->setChecked(true);
        dlg->rbTableParameters->setChecked(true);
        dlg->btnOK->click();
    });
    EXPECT_TRUE(TPageSetupDlg::Execute(prn, &printer));
    EXPECT_EQ(prn.FriendlyHeader(), "&l  &c &i &r &t  &D");
    EXPECT_EQ(prn.FriendlyFooter(), "&l  &c Tessel &r ");
    EXPECT_EQ(prn.MeasureUnit(), muInches);
    EXPECT_EQ(prn.MarginLeft(), 0.85);
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
                EXPECT_EQ(QStringList({progress.windowTitle(), progress.lblMessage->text(),
                                       QString::number(progress.pbPages->maximum())}),
                          QStringList({"Leaf 3", "Sending Pages To Printer", "6"}));
                EXPECT_TRUE(progress.isVisible() && progress.btnCancel->isVisibleTo(&progress));
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

namespace {

// One measurement whose channel A has points at the given times.
struct ExportDialogTest : ::testing::Test {
    TestDir dir;
    RecordingFileDialogService dialogs;
    ScopedFileDialogService scope{&dialogs};
    TExperimentModel m;
    void Measure(const std::vector<double> &times) {
        m.PrepareMeasurementDataSets(int(times.size()), 0);
        m.Current().A.Set->SetCount(int(times.size()));
        for (size_t i = 0; i < times.size(); ++i)
            m.Current().A.X->SetItem(int(i), times[i]);
        m.RecordMeasurement(43831.5, 8, {}, {}, {}, {});
    }
};

TEST_F(ExportDialogTest, ExportAsksForTheFileAndKeepsTheChoices) {
    Measure({0, 1, 2, 3});
    TfrmExport dlg;
    EXPECT_TRUE(dlg.rbAllSets->isChecked() && dlg.rbAllData->isChecked() && dlg.cbHeader->isChecked());
    dlg.SetExperiment(m, "leaf.exp", "leaf.exp - Graph", 0, 3, std::pair(0.5, 2.0));
    EXPECT_EQ(dlg.windowTitle(), "Data Export - leaf.exp - Graph");
    // Between the cursors, header off, visible sets; the first request is
    // cancelled and writes nothing.
    dlg.rbCursorData->setChecked(true);
    dlg.cbHeader->setChecked(false);
    dlg.rbVisibleSets->setChecked(true);
    const QString out = dir.path("out.txt");
    dlg.btnExport->click();
    EXPECT_FALSE(QFile::exists(out));
    dialogs.answer(out);
    dlg.btnExport->click();
    const QStringList lines = ReadTextFile(out).split(QStringLiteral("\r\n"));
    // The file name is followed by the line that ends the header.
    EXPECT_EQ(lines.value(3), "-----------------------------------");
    EXPECT_EQ(lines.mid(lines.size() - 3), (QStringList{"1\t0", "2\t0", ""}));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    // Without cursors the choice is greyed and all data are chosen.
    dlg.SetExperiment(m, "leaf.exp", "leaf.exp - Graph", 0, 3);
    EXPECT_FALSE(dlg.rbCursorData->isEnabled());
    EXPECT_TRUE(dlg.rbAllData->isChecked());
    TfrmExport again; // the choices stay within the run
    EXPECT_TRUE(!again.cbHeader->isChecked() && again.rbVisibleSets->isChecked());
}

TEST_F(ExportDialogTest, FormatChoosesFilterWriterAndControls) {
    Measure({0.5});
    const struct {
        int format, csvChoice; // delimiter and decimal rows
        QString ext, start;
    } cases[] = {
        {1, 1, "csv", "Time;Data Set A( 0 )\r\n0,5;0\r\n"},
        {2, 0, "json", "{"},
        {3, 1, "csv", "# Tessel long table of leaf.exp"}, // comma and point whatever the choices
        {0, 0, "txt", "Tessel ASCII Export File\r\n"},    // last: the dialog is left as a user starts it
    };
    for (const auto &c : cases) {
        TfrmExport dlg;
        dlg.SetExperiment(m, "leaf.exp", "leaf.exp - Graph", 0, 1);
        dlg.cbFormat->setCurrentIndex(c.format);
        dlg.cbDelimiter->setCurrentIndex(c.csvChoice);
        dlg.cbDecimal->setCurrentIndex(c.csvChoice);
        // The header belongs to the text, delimiter and separator to CSV.
        EXPECT_EQ(dlg.cbHeader->isEnabled(), c.ext == "txt");
        EXPECT_EQ(dlg.cbDecimal->isEnabled(), c.format == 1);
        const QString out = dir.path("out." + c.ext);
        dialogs.answer(out);
        ASSERT_TRUE(dlg.btnExportClick());
        EXPECT_TRUE(dialogs.requests.back().filter.endsWith("|*." + c.ext));
        EXPECT_EQ(dialogs.requests.back().defaultExt, c.ext); // typing "leaf" gives "leaf.<ext>"
        EXPECT_TRUE(ReadTextFile(out).startsWith(c.start)) << c.ext.toStdString();
        EXPECT_EQ(TfrmExport().cbFormat->currentIndex(), c.format); // kept for the next use
    }
}

} // namespace
