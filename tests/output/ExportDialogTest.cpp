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

TEST(ExportDialog, ExportAsksForTheFileAndKeepsTheChoices) {
    TestDir dir;
    RecordingFileDialogService dialogs;
    ScopedFileDialogService scope(&dialogs);
    TExperimentModel m;
    m.PrepareMeasurementDataSets(1, 1);
    m.Current().A.Set->SetCount(1);
    m.RecordMeasurement(43831.5, 8, {}, {}, {}, {});

    TfrmExport dlg;
    EXPECT_TRUE(dlg.rbAllSets->isChecked() && dlg.rbAllData->isChecked() && dlg.cbHeader->isChecked());
    dlg.SetExperiment(m, QStringLiteral("leaf.exp"), QStringLiteral("leaf.exp - Graph"), 0, 1);
    EXPECT_EQ(dlg.windowTitle(), "Data Export - leaf.exp - Graph");

    dlg.cbHeader->setChecked(false);
    dlg.rbVisibleSets->setChecked(true);
    dlg.btnExport->click();                 // cancelled: nothing written
    ASSERT_EQ(dialogs.requests.size(), 1u); // filters: FormatChoosesFilterWriterAndControls
    EXPECT_FALSE(QFile::exists(dir.path("out.txt")));

    const QString out = dir.path("out.txt");
    dialogs.answer(out);
    dlg.btnExport->click();
    ASSERT_TRUE(QFile::exists(out));
    const QStringList lines = ReadTextFile(out).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines[2], "File Name         :leaf.exp");
    EXPECT_EQ(lines[3], "-----------------------------------"); // header off
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    TfrmExport again; // the choices stay within the run
    EXPECT_FALSE(again.cbHeader->isChecked());
    EXPECT_TRUE(again.rbVisibleSets->isChecked());
}

TEST(ExportDialog, BetweenCursorsNeedsBothCursorsAndUsesThem) {
    TestDir dir;
    RecordingFileDialogService dialogs;
    ScopedFileDialogService scope(&dialogs);
    TExperimentModel m;
    m.PrepareMeasurementDataSets(4, 0);
    m.Current().A.Set->SetCount(4);
    for (int i = 0; i < 4; ++i)
        m.Current().A.X->SetItem(i, i);
    m.RecordMeasurement(43831.5, 8, {}, {}, {}, {});
    TfrmExport dlg;
    dlg.SetExperiment(m, "leaf.exp", "leaf.exp - Graph", 0, 3, std::pair(0.5, 2.0));
    dlg.rbCursorData->setChecked(true);
    dlg.cbHeader->setChecked(true);
    dialogs.answer(dir.path("cursors.txt"));
    ASSERT_TRUE(dlg.btnExportClick());
    EXPECT_TRUE(ReadTextFile(dir.path("cursors.txt")).contains("Data Lines        :2\r\n"));
    // Without cursors the choice is greyed and all data are chosen.
    dlg.SetExperiment(m, "leaf.exp", "leaf.exp - Graph", 0, 3);
    EXPECT_FALSE(dlg.rbCursorData->isEnabled());
    EXPECT_TRUE(dlg.rbAllData->isChecked());
}

TEST(ExportDialog, FormatChoosesFilterWriterAndControls) {
    TestDir dir;
    RecordingFileDialogService dialogs;
    ScopedFileDialogService scope(&dialogs);
    TExperimentModel m;
    m.PrepareMeasurementDataSets(1, 0);
    m.Current().A.Set->SetCount(1);
    m.Current().A.X->SetItem(0, 0.5);
    m.RecordMeasurement(43831.5, 8, {}, {}, {}, {});
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
