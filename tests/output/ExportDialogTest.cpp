#include "output/widgets/ExportDialog.h"

#include "common/FileDialogService.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
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
    dlg.btnExport->click(); // cancelled: nothing written
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].filter, "Text File|*.txt");
    // Typing "leaf" must give "leaf.txt".
    EXPECT_EQ(dialogs.requests[0].defaultExt, "txt");
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
    TChannel &a = m.Current().A;
    a.Set->SetCount(4);
    for (int i = 0; i < 4; ++i)
        a.X->SetItem(i, i);
    m.RecordMeasurement(43831.5, 8, {}, {}, {}, {});

    TfrmExport dlg;
    dlg.SetExperiment(m, "leaf.exp", "leaf.exp - Graph", 0, 3);
    EXPECT_FALSE(dlg.rbCursorData->isEnabled());
    dlg.SetExperiment(m, "leaf.exp", "leaf.exp - Graph", 0, 3, std::pair(0.5, 2.0));
    ASSERT_TRUE(dlg.rbCursorData->isEnabled());
    dlg.rbCursorData->setChecked(true);
    dlg.cbHeader->setChecked(true);
    const QString out = dir.path("cursors.txt");
    dialogs.answer(out);
    ASSERT_TRUE(dlg.btnExportClick());
    EXPECT_TRUE(ReadTextFile(out).contains("Data Lines        :2\r\n"));
    // A chosen cursor range falls back to all data where there are no cursors.
    dlg.SetExperiment(m, "leaf.exp", "leaf.exp - Graph", 0, 3);
    EXPECT_TRUE(dlg.rbAllData->isChecked());
}

TEST(ExportDialog, Screenshot) {
    // Kept current by scripts/screenshots.sh; a plain run checks the picture.
    TExperimentModel m;
    TfrmExport dlg;
    dlg.SetExperiment(m, "leaf.exp", "leaf.exp - Graph", 0, 1);
    dlg.show();
    QCoreApplication::processEvents();
    const QImage img = dlg.grab().toImage();
    // Every choice has its text; the cursor choice is greyed without cursors.
    for (QRadioButton *b : {dlg.rbAllSets, dlg.rbVisibleSets, dlg.rbAllData, dlg.rbGraphData, dlg.rbCursorData}) {
        const QRect r(b->mapTo(&dlg, QPoint(0, 0)), b->size());
        int dark = 0, grey = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left() + r.height(); x <= r.right(); ++x) {
                const int g = qGray(img.pixel(x, y));
                dark += g < 60;
                grey += g >= 60 && g < 200;
            }
        EXPECT_GT(b->isEnabled() ? dark : grey, 30) << b->text().toStdString();
    }
    if (const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR"); !out.isEmpty())
        EXPECT_TRUE(img.save(QDir(out).filePath("export-dialog.png")));
}
