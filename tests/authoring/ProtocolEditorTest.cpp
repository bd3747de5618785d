#include "ProtocolTestSupport.h"
#include "authoring/widgets/FontDialog.h"
#include "authoring/widgets/ProtocolEditor.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
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
    EXPECT_EQ(QStringList({w.pnlCaret->text(), w.pnlModified->text(), w.pnlCheck->text()}),
              QStringList({"  2:  18", "Modified", "Errors"}));
    fake->succeed = true;
    w.mniCheck->trigger();
    EXPECT_EQ(w.pnlModified->text() + w.pnlCheck->text(), "Checked");
    w.memCurrent->insertPlainText("x");
    EXPECT_TRUE(doc->Modified && doc->ChangedSinceCheck);
    EXPECT_EQ(w.pnlModified->text() + w.pnlCheck->text(), "Modified");
    // Undo back to the checked text: no longer modified, but changed since.
    w.mniUndo->trigger();
    EXPECT_FALSE(doc->Modified);
    EXPECT_TRUE(doc->ChangedSinceCheck);
    EXPECT_TRUE(w.pnlModified->text().isEmpty());

    // A check the measurement run starts shows its results here too.
    fake->variable("Light", 100);
    doc->SetText("changed elsewhere");
    doc->SyntaxCheck();
    EXPECT_EQ(w.grdVars->rowCount(), 2);
    EXPECT_EQ(w.grdVars->item(1, 0)->text(), "Light");
    EXPECT_EQ(w.pnlCheck->text(), "Checked");
}

TEST_F(ProtocolEditor, ReadOnlySheetsRefuseEveryEditingCommand) {
    auto doc = makeDoc();
    TfrmProtocol w(*doc);
    w.mniCheck->trigger();
    const QString current = doc->Text;
    w.AddMeasurementSheet("A: Fo\nB: Empty");
    w.pgProtocol->setCurrentIndex(1);
    auto *sheet = w.pgProtocol->widget(1)->findChild<QPlainTextEdit *>();
    const QString measured = sheet->toPlainText();
    w.mniReplace->trigger();
    w.edFind->setText("flash");
    w.edReplace->setText("pulse");
    const std::pair<const char *, std::function<void()>> commands[] = {
        {"Undo", [&] { w.mniUndo->trigger(); }},
        {"Cut", [&] { w.mniCut->trigger(); }},
        {"Paste", [&] { w.mniPaste->trigger(); }},
        {"Delete", [&] { w.mniDelete->trigger(); }},
        {"Replace", [&] { w.FindReplace(TFindMode::Replace); }},
        {"Replace All", [&] { w.FindReplace(TFindMode::ReplaceAll); }},
    };
    QApplication::clipboard()->setText("pasted");
    for (const auto &[name, run] : commands) {
        sheet->selectAll();
        run();
        EXPECT_EQ(sheet->toPlainText(), measured) << name;
        EXPECT_EQ(doc->Text, current) << name;
        EXPECT_EQ(w.memCurrent->toPlainText(), current) << name;
    }
    // Copy and Select All still work there.
    sheet->moveCursor(QTextCursor::Start);
    w.mniSelectAll->trigger();
    w.mniCopy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), measured);
}

TEST_F(ProtocolEditor, FindAndReplaceWorkOnThePageShown) {
    WriteTextFile(dir.path("include/Default.1st"), "flash A\nflash B\n");
    auto doc = makeDoc();
    TfrmProtocol w(*doc);
    w.mniCheck->trigger();
    w.AddMeasurementSheet("A: Fo\nB: Empty");
    w.memCurrent->setPlainText("pulse\nflash C\n");
    auto *sheet = w.pgProtocol->widget(1)->findChild<QPlainTextEdit *>();
    w.pgProtocol->setCurrentIndex(1);
    w.mniFind->trigger();
    w.edFind->setText("flash");
    w.FindReplace(TFindMode::Find);
    w.FindReplace(TFindMode::Find);
    // The second hit in the sheet, nothing selected in the current text.
    EXPECT_EQ(sheet->textCursor().selectionStart(), 8);
    EXPECT_EQ(sheet->textCursor().selectedText(), "flash");
    EXPECT_FALSE(w.memCurrent->textCursor().hasSelection());

    // Back on "Current" the search starts at its top and replaces there.
    w.pgProtocol->setCurrentIndex(0);
    w.edReplace->setText("pulse");
    w.FindReplace(TFindMode::Replace);
    EXPECT_EQ(doc->Text, "pulse\npulse C\n");
    EXPECT_EQ(w.memCurrent->textCursor().selectedText(), "pulse");
    EXPECT_EQ(sheet->toPlainText(), "flash A\nflash B\n");
    // One replacement is one step of Undo.
    w.mniUndo->trigger();
    EXPECT_EQ(doc->Text, "pulse\nflash C\n");
}

TEST_F(ProtocolEditor, FontDialogAppliesSizesFromFivePoints) {
    auto doc = makeDoc();
    TfrmProtocol w(*doc);
    w.AddMeasurementSheet("A: Fo\nB: Empty");
    int sizeWhileOpen = 0;
    WhenModal([&](QWidget *dlg) {
        auto *f = qobject_cast<TfrmFont *>(dlg);
        ASSERT_NE(f, nullptr);
        f->edSize->setValue(3);
        EXPECT_EQ(f->edSize->value(), TfrmFont::kMinSize);
        f->cbBold->setChecked(true);
        f->btnApply->click();
        sizeWhileOpen = w.memCurrent->font().pointSize();
        EXPECT_TRUE(f->isVisible());
        f->btnCancel->click(); // what was applied stays
    });
    w.mniFont->trigger();
    EXPECT_EQ(sizeWhileOpen, 5);
    EXPECT_EQ(w.memCurrent->font().pointSize(), 5);
    EXPECT_TRUE(w.memCurrent->font().bold());
    // Only the current text takes it; new sheets take it from there.
    w.mniCheck->trigger();
    w.AddMeasurementSheet("A: Fm\nB: Empty");
    EXPECT_EQ(w.pgProtocol->widget(1)->findChild<QPlainTextEdit *>()->font().pointSize(), 5);
    EXPECT_NE(w.pgProtocol->widget(2)->findChild<QPlainTextEdit *>()->font().pointSize(), 5);
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

// Pixels of text (dark on the light default palette) inside a child's area.
int DarkPixels(const QImage &img, const QWidget *window, const QWidget *child) {
    const QRect r(child->mapTo(window, QPoint(0, 0)), child->size());
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += qGray(img.pixel(x, y)) < 100;
    return n;
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
    // The protocol text, the variables beside it and the status bar's panels
    // carry text; the tabs have room for two-line captions.
    QImage img = w.grab().toImage();
    EXPECT_EQ(img.size(), w.size());
    EXPECT_GT(DarkPixels(img, &w, w.memCurrent->viewport()), 100);
    EXPECT_GT(DarkPixels(img, &w, w.grdVars->viewport()), 50);
    EXPECT_GT(DarkPixels(img, &w, w.pnlCheck), 20);
    EXPECT_GE(w.pgProtocol->tabBar()->height(), 30);
    if (!out.isEmpty())
        EXPECT_TRUE(img.save(QDir(out).filePath("protocol-editor.png")));

    doc->Title = "Quenching of leaf 3";
    doc->Description = "Dark adapted for 20 minutes.\nActinic light 500 umol/m2/s.";
    w.ReloadDescription();
    w.ShowDescriptionFace();
    QCoreApplication::processEvents();
    img = w.grab().toImage();
    EXPECT_EQ(w.windowTitle(), "Experiment1 - Description");
    EXPECT_GT(DarkPixels(img, &w, w.edTitle), 50);
    EXPECT_GT(DarkPixels(img, &w, w.memDescription->viewport()), 100);
    if (!out.isEmpty())
        EXPECT_TRUE(img.save(QDir(out).filePath("protocol-description.png")));
}
