#include "ProtocolTestSupport.h"
#include "authoring/widgets/ProtocolEditor.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>

using namespace tessel;
using namespace tessel::test;

using ProtocolEditor = ProtocolFixture;

TEST_F(ProtocolEditor, CheckShowsVariablesLogAndSelectsTheErrorLine) {
    auto doc = makeDoc();
    TfrmProtocol w(*doc);
    fake->action(0, 1);
    fake->action(1, 0);
    fake->variable("Gain", 2);
    fake->succeed = false;
    fake->errorLine = 2;
    w.mniCheck->trigger();
    EXPECT_EQ(w.grdVars->rowCount(), 1);
    EXPECT_EQ(w.grdVars->item(0, 0)->text(), "Gain");
    EXPECT_GT(w.lbResults->count(), 0);
    EXPECT_EQ(w.memCurrent->textCursor().selectedText(), "include \"std.inc\"");
    EXPECT_EQ(w.pnlCaret->text() + w.pnlModified->text(), "  2:  18Modified");
    fake->succeed = true;
    w.mniCheck->trigger();
    EXPECT_TRUE(w.pnlModified->text().isEmpty());
    w.memCurrent->insertPlainText("x");
    EXPECT_TRUE(doc->Modified && doc->ChangedSinceCheck);
}

TEST_F(ProtocolEditor, MeasurementSheetKeepsTheCheckedTextAndCopiesBack) {
    auto doc = makeDoc();
    TfrmProtocol w(*doc);
    w.mniCheck->trigger();
    const QString checked = doc->Text;
    w.memCurrent->setPlainText("edited after the check");
    w.AddMeasurementSheet("A: Empty\nB: Empty");
    auto *sheet = w.pgProtocol->widget(1)->findChild<QPlainTextEdit *>();
    EXPECT_EQ(sheet->toPlainText(), checked);
    EXPECT_FALSE(w.mniCopyToCurrent->isEnabled());
    w.pgProtocol->setCurrentIndex(1);
    EXPECT_TRUE(w.mniCopyToCurrent->isEnabled());
    // Opening a file while a sheet is shown puts it into that sheet.
    WriteTextFile(dir.path("other.p"), "other\n");
    dialogs.answer(dir.path("other.p"));
    w.mniOpen->trigger();
    EXPECT_EQ(sheet->toPlainText(), "other\n");
    EXPECT_EQ(doc->Text, "edited after the check");
    w.mniCopyToCurrent->trigger();
    EXPECT_EQ(w.pgProtocol->currentIndex(), 0);
    EXPECT_EQ(doc->Text + w.memCurrent->toPlainText(), "other\nother\n");
}

TEST_F(ProtocolEditor, Screenshot) {
    // Kept current by scripts/screenshots.sh; a plain run only checks that it renders.
    auto doc = makeDoc();
    TfrmProtocol w(*doc);
    w.SetExperimentName("Experiment1");
    fake->variable("Gain", 2.5);
    fake->variable("Repeats", 10);
    fake->action(0, 1);
    fake->action(1, 0);
    w.mniCheck->trigger();
    w.AddMeasurementSheet("A: Fo\nB: Empty");
    w.show();
    QCoreApplication::processEvents();
    const QPixmap pm = w.grab();
    EXPECT_EQ(pm.size(), w.size());
    const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR");
    if (!out.isEmpty())
        EXPECT_TRUE(pm.save(QDir(out).filePath("protocol-editor.png")));
}
