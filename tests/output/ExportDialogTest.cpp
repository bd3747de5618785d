#include "output/widgets/ExportDialog.h"

#include "common/FileDialogService.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

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
    // Between the cursors takes the cursors' times.
    dlg.rbCursorData->setChecked(true);
    dialogs.answer(dir.path("cursors.txt"));
    ASSERT_TRUE(dlg.btnExportClick());
    EXPECT_TRUE(ReadTextFile(dir.path("cursors.txt")).contains("Data Lines        :2\r\n"));

    dlg.cbHeader->setChecked(false);
    dlg.rbVisibleSets->setChecked(true);
    const QString out = dir.path("out.txt");
    dlg.btnExport->click(); // cancelled: nothing written
    ASSERT_EQ(dialogs.requests.size(), 2u);
    EXPECT_FALSE(QFile::exists(out));
    dialogs.answer(out);
    dlg.btnExport->click();
    const QStringList lines = ReadTextFile(out).split(QStringLiteral("\r\n"));
    ASSERT_GT(lines.size(), 3);
    EXPECT_EQ(lines[2], "File Name         :leaf.exp");
    EXPECT_EQ(lines[3], "-----------------------------------"); // header off
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    // Without cursors the choice is greyed and all data are chosen.
    dlg.SetExperiment(m, "leaf.exp", "leaf.exp - Graph", 0, 3);
    EXPECT_FALSE(dlg.rbCursorData->isEnabled());
    EXPECT_TRUE(dlg.rbAllData->isChecked());
    TfrmExport again; // the choices stay within the run
    EXPECT_FALSE(again.cbHeader->isChecked());
    EXPECT_TRUE(again.rbVisibleSets->isChecked());
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
