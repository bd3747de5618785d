#include "authoring/widgets/ProtocolEditor.h"

#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "compiler/CompilerLibrary.h"
#include "compiler/FakeCompilerLibrary.h"
#include "settings/EnvSetup.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct EditorFixture : ::testing::Test {
    TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    RecordingFileDialogService dialogs;
    ScopedFileDialogService dialogScope{&dialogs};
    TFakeCompilerLibrary *fake = nullptr;
    std::unique_ptr<TCompiler> compiler;
    TEnvSetup env;
    std::unique_ptr<TProtocolDoc> doc;

    void SetUp() override {
        auto lib = std::make_unique<TFakeCompilerLibrary>();
        fake = lib.get();
        SetCompilerLibrary(std::move(lib));
        compiler = std::make_unique<TCompiler>();
        QDir().mkpath(dir.path("include"));
        WriteTextFile(dir.path("include/Default.1st"), "; protocol\ninclude \"std.inc\"\n\n0 s: flash\n");
        doc = std::make_unique<TProtocolDoc>(*compiler, env, dir.path("include"), ModelF);
    }
    void TearDown() override {
        doc.reset();
        compiler.reset();
        SetCompilerLibrary(nullptr);
    }
};

} // namespace

using ProtocolEditor = EditorFixture;

TEST_F(ProtocolEditor, CheckShowsVariablesLogAndSelectsTheErrorLine) {
    TfrmProtocol w(*doc);
    EXPECT_EQ(w.memCurrent->toPlainText(), doc->Text);
    fake->action(0, 1);
    fake->action(1, 0);
    fake->variable("Gain", 2);
    fake->succeed = false;
    fake->errorMsg = "Unknown name";
    fake->errorLine = 2;
    w.mniCheck->trigger();
    EXPECT_EQ(w.grdVars->rowCount(), 1);
    EXPECT_EQ(w.grdVars->item(0, 0)->text(), "Gain");
    EXPECT_GT(w.lbResults->count(), 0);
    EXPECT_EQ(w.memCurrent->textCursor().selectedText(), "include \"std.inc\"");
    EXPECT_EQ(w.pnlModified->text(), "Modified");
    EXPECT_EQ(w.pnlCaret->text(), "  2:  18");

    fake->succeed = true;
    w.mniCheck->trigger();
    EXPECT_TRUE(w.pnlModified->text().isEmpty());
    w.memCurrent->insertPlainText("x");
    EXPECT_TRUE(doc->Modified && doc->ChangedSinceCheck);
    EXPECT_EQ(w.pnlModified->text(), "Modified");
}

TEST_F(ProtocolEditor, MeasurementSheetKeepsTheCheckedTextAndCopiesBack) {
    TfrmProtocol w(*doc);
    w.mniCheck->trigger();
    const QString checked = doc->Text;
    w.memCurrent->setPlainText("edited after the check");
    w.AddMeasurementSheet("A: Empty\nB: Empty");
    EXPECT_FALSE(w.mniCopyToCurrent->isEnabled());
    w.pgProtocol->setCurrentIndex(1);
    EXPECT_TRUE(w.mniCopyToCurrent->isEnabled());
    // Opening a file while a sheet is shown puts it into that sheet.
    WriteTextFile(dir.path("other.p"), "other\n");
    dialogs.answer(dir.path("other.p"));
    w.mniOpen->trigger();
    EXPECT_EQ(w.pgProtocol->widget(1)->findChild<QPlainTextEdit *>()->toPlainText(), "other\n");
    EXPECT_EQ(doc->Text, "edited after the check");
    w.pgProtocol->setCurrentIndex(1);
    w.mniCopyToCurrent->trigger();
    EXPECT_EQ(w.pgProtocol->currentIndex(), 0);
    EXPECT_EQ(doc->Text, "other\n");
    EXPECT_EQ(w.memCurrent->toPlainText(), "other\n");
    EXPECT_NE(checked, doc->Text);
}

TEST_F(ProtocolEditor, ReplaceAllUpdatesTheDocument) {
    TfrmProtocol w(*doc);
    w.mniReplace->trigger();
    w.edFind->setText("flash");
    w.edReplace->setText("pulse");
    w.FindReplace(TFindMode::ReplaceAll);
    EXPECT_EQ(doc->Text, "; protocol\ninclude \"std.inc\"\n\n0 s: pulse\n");
    EXPECT_EQ(w.memCurrent->toPlainText(), doc->Text);
}

TEST_F(ProtocolEditor, Screenshot) {
    // Kept current by scripts/screenshots.sh; a plain run only checks that it renders.
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
