#include "authoring/widgets/ProtocolEditor.h"
#include "ProtocolTestSupport.h"
#include "authoring/widgets/FontDialog.h"

#include <QtWidgets>

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
    EXPECT_EQ(w.grdVars->item(0, 0)->text(), "Gain");
    EXPECT_GT(w.lbResults->count(), 0);
    EXPECT_EQ(w.memCurrent->textCursor().selectedText(), "include \"std.inc\"");
    auto panels = [&w] { return QStringList({w.pnlCaret->text(), w.pnlModified->text(), w.pnlCheck->text()}); };
    EXPECT_EQ(panels(), QStringList({"  2:  18", "Modified", "Errors"}));
    fake->succeed = true;
    w.mniCheck->trigger();
    w.memCurrent->insertPlainText("x");
    // Undo back to the checked text: not modified, but changed since.
    w.mniUndo->trigger();
    EXPECT_EQ(panels().mid(1), QStringList({"", ""}));
}

TEST_F(ProtocolEditor, MeasurementSheetIsReadOnlySearchedAndCopiedBack) {
    WriteTextFile(dir.path("include/Default.1st"), "flash A\nflash B\n");
    auto doc = makeDoc();
    TfrmProtocol w(*doc);
    w.mniCheck->trigger();
    w.memCurrent->setPlainText("pulse\nflash C\n");
    w.AddMeasurementSheet("A: Fo\nB: Empty");
    // The sheet shows the checked text, not what was edited since.
    auto *sheet = w.pgProtocol->widget(1)->findChild<QPlainTextEdit *>();
    EXPECT_EQ(sheet->toPlainText(), "flash A\nflash B\n");
    w.pgProtocol->setCurrentIndex(1);
    EXPECT_TRUE(w.mniCopyToCurrent->isEnabled() && !w.mniPaste->isEnabled());
    w.mniReplace->trigger();
    w.edFind->setText("flash");
    w.edReplace->setText("pulse");
    w.FindReplace(TFindMode::ReplaceAll);
    EXPECT_EQ(sheet->toPlainText(), "flash A\nflash B\n");
    // Find searches the sheet: its second hit, nothing in the current text.
    w.FindReplace(TFindMode::Find);
    w.FindReplace(TFindMode::Find);
    EXPECT_EQ(sheet->textCursor().selectionStart(), 8);
    EXPECT_FALSE(w.memCurrent->textCursor().hasSelection());
    // On "Current" the search starts at its top; a replacement is one Undo.
    w.pgProtocol->setCurrentIndex(0);
    w.FindReplace(TFindMode::Replace);
    EXPECT_EQ(doc->Text, "pulse\npulse C\n");
    w.mniUndo->trigger();
    EXPECT_EQ(doc->Text, "pulse\nflash C\n");
    // Copy to Current takes the sheet's text into the document and the editor.
    w.pgProtocol->setCurrentIndex(1);
    w.mniCopyToCurrent->trigger();
    EXPECT_EQ(w.pgProtocol->currentIndex(), 0);
    EXPECT_EQ(doc->Text + w.memCurrent->toPlainText(), "flash A\nflash B\nflash A\nflash B\n");
}

TEST_F(ProtocolEditor, FontDialogAppliesSizesFromFivePoints) {
    auto doc = makeDoc();
    TfrmProtocol w(*doc);
    int sizeWhileOpen = 0;
    WhenModal([&](QWidget *dlg) {
        auto *f = qobject_cast<TfrmFont *>(dlg);
        ASSERT_NE(f, nullptr);
        f->edSize->setValue(3);
        f->cbBold->setChecked(true);
        f->btnApply->click();
        sizeWhileOpen = w.memCurrent->font().pointSize();
        f->btnCancel->click(); // what was applied stays
    });
    w.mniFont->trigger();
    EXPECT_EQ(sizeWhileOpen, TfrmFont::kMinSize);
    EXPECT_TRUE(w.memCurrent->font().bold() && w.memCurrent->font().pointSize() == 5);
}

TEST_F(ProtocolEditor, ScreenshotsOfBothFaces) {
    // Kept current by scripts/screenshots.sh; a plain run checks the pictures.
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
    const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR");
    // The tabs fit captions of two lines.
    EXPECT_GE(w.pgProtocol->tabBar()->height(), 30);
    QImage img = w.grab().toImage();
    if (!out.isEmpty())
        EXPECT_TRUE(img.save(QDir(out).filePath("protocol-editor.png")));

    doc->Title = "Quenching of leaf 3";
    doc->Description = "Dark adapted for 20 minutes.\nActinic light 500 umol/m2/s.";
    w.ReloadDescription();
    w.ShowDescriptionFace();
    QCoreApplication::processEvents();
    img = w.grab().toImage();
    if (!out.isEmpty())
        EXPECT_TRUE(img.save(QDir(out).filePath("protocol-description.png")));
}
