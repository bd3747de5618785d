#include "authoring/ProtocolDoc.h"

#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "compiler/CompilerLibrary.h"
#include "compiler/FakeCompilerLibrary.h"
#include "settings/EnvSetup.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct ProtocolDocFixture : ::testing::Test {
    TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    RecordingFileDialogService dialogs;
    ScopedFileDialogService dialogScope{&dialogs};
    TFakeCompilerLibrary *fake = nullptr;
    std::unique_ptr<TCompiler> compiler;
    TEnvSetup env;

    void SetUp() override {
        auto lib = std::make_unique<TFakeCompilerLibrary>();
        fake = lib.get();
        SetCompilerLibrary(std::move(lib));
        compiler = std::make_unique<TCompiler>();
        QDir().mkpath(dir.path("include"));
        WriteTextFile(dir.path("include/Default.1st"), "; template\n");
    }
    void TearDown() override {
        compiler.reset();
        SetCompilerLibrary(nullptr);
    }
    QString base() const { return dir.path("include") + '/'; }
};

} // namespace

using ProtocolDoc = ProtocolDocFixture;

TEST_F(ProtocolDoc, DeviceFolderIsUsedOnlyWhenItExists) {
    QDir().mkpath(dir.path("include/ModelG_0101"));
    const struct {
        TDevice device;
        QString expected;
    } cases[] = {
        {ModelG1, base() + "ModelG_0101/"}, // trimmed name, version as 4 hex digits
        {ModelG2, base()},                  // no folder: the general one
        {ModelF, base()},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(DeviceIncludeDir(base(), c.device), c.expected);
        TProtocolDoc doc(*compiler, env, dir.path("include"), c.device);
        doc.SyntaxCheck();
        ASSERT_FALSE(fake->compiled.empty());
        EXPECT_EQ(QString::fromStdString(fake->compiled.back()).section('|', 1), c.expected);
    }
}

TEST(ProtocolText, LineRangeAndCaret) {
    const QString text = "ab\r\ncde\n\nf";
    const struct {
        int line, start, length;
    } lines[] = {{1, 0, 2}, {2, 4, 3}, {3, 8, 0}, {4, 9, 1}, {5, 10, 0}};
    for (const auto &c : lines) {
        const TTextRange r = LineRange(text, c.line);
        EXPECT_EQ(r.start, c.start) << c.line;
        EXPECT_EQ(r.length, c.length) << c.line;
    }
    const struct {
        int pos;
        const char *caret;
    } carets[] = {{0, "  1:   1"}, {2, "  1:   3"}, {4, "  2:   1"}, {9, "  4:   1"}, {99, "  4:   2"}};
    for (const auto &c : carets)
        EXPECT_EQ(CaretText(text, c.pos), c.caret) << c.pos;
}

TEST_F(ProtocolDoc, FindAndReplace) {
    const struct {
        QString text, search, replacement;
        bool wholeWord, matchCase;
        TFindMode mode;
        int start;
        bool found;
        QString after;
        int selStart, selLength, nextStart;
    } cases[] = {
        {"Flash flash", "flash", "", false, false, TFindMode::Find, 0, true, "Flash flash", 0, 5, 5},
        {"Flash flash", "flash", "", false, true, TFindMode::Find, 0, true, "Flash flash", 6, 5, 11},
        {"Flash flash", "flash", "", false, false, TFindMode::Find, 1, true, "Flash flash", 6, 5, 11},
        {"flashes flash", "flash", "", true, false, TFindMode::Find, 0, true, "flashes flash", 8, 5, 13},
        {"a_b ab", "ab", "", true, false, TFindMode::Find, 0, true, "a_b ab", 4, 2, 6},
        {"x a y a", "a", "bb", false, false, TFindMode::Replace, 0, true, "x bb y a", 2, 2, 3},
        // Replace All ends although the replacement contains the search text.
        {"a a", "a", "aa", false, false, TFindMode::ReplaceAll, 0, true, "aa aa", 3, 2, 0},
        {"abc", "x", "y", false, false, TFindMode::Find, 2, false, "abc", -1, -1, 0},
        {"abc", "", "y", false, false, TFindMode::ReplaceAll, 0, false, "abc", -1, -1, 0},
    };
    for (const auto &c : cases) {
        messages.clear();
        QString text = c.text;
        TFindState state{c.start};
        TTextRange sel{-1, -1};
        const TFindRequest req{c.search, c.replacement, c.wholeWord, c.matchCase, c.mode};
        EXPECT_EQ(FindInText(text, req, state, sel), c.found) << c.text.toStdString();
        EXPECT_EQ(text, c.after);
        EXPECT_EQ(sel.start, c.selStart) << c.text.toStdString();
        EXPECT_EQ(sel.length, c.selLength);
        EXPECT_EQ(state.start, c.nextStart) << c.text.toStdString();
        // A search that runs out of matches says so (Replace All always does).
        const bool told = !c.found || c.mode == TFindMode::ReplaceAll;
        EXPECT_EQ(messages.texts(),
                  told ? QStringList{QStringLiteral("Search string '%1' not found.").arg(c.search)} : QStringList{});
    }
}

TEST_F(ProtocolDoc, ClearAsksOnlyWhenDialogsAreOn) {
    const struct {
        bool showDialogs;
        MsgButton answer;
        bool cleared;
    } cases[] = {{true, mbYes, true}, {true, mbNo, false}, {true, mbCancel, false}, {false, mbNo, true}};
    for (const auto &c : cases) {
        env.ShowDialogs = c.showDialogs;
        TProtocolDoc doc(*compiler, env, dir.path("include"), ModelF);
        EXPECT_EQ(doc.Text, "; template\n");
        doc.SetText("edited");
        doc.Modified = false;
        messages.clear();
        messages.answer(c.answer);
        EXPECT_EQ(doc.ClearCurrent(), c.cleared);
        EXPECT_EQ(doc.Text, c.cleared ? "; template\n" : "edited");
        EXPECT_EQ(doc.Modified, c.cleared);
        EXPECT_EQ(messages.texts(), c.showDialogs ? QStringList{"Clear Current ?"} : QStringList{});
        if (c.showDialogs)
            EXPECT_EQ(messages.entries.at(0).buttons, mbYes | mbNo | mbCancel);
    }
}

TEST_F(ProtocolDoc, MissingTemplateIsReportedAndLeavesTheTextEmpty) {
    QFile::remove(dir.path("include/Default.1st"));
    TProtocolDoc doc(*compiler, env, dir.path("include"), ModelF);
    EXPECT_TRUE(doc.Text.isEmpty());
    EXPECT_EQ(messages.entries.size(), 1u);
    EXPECT_EQ(messages.entries.at(0).type, MsgType::Error);
}

TEST_F(ProtocolDoc, SyntaxCheckSetsFlagsVariablesAndErrorLine) {
    const struct {
        bool succeed;
        std::vector<std::pair<QByteArray, double>> vars;
        int32_t result;
        std::vector<std::pair<QString, QString>> rows;
        TTextRange error;
    } cases[] = {
        {true, {{"Gain", 2.5}, {"Count", 10}}, kBuildOk, {{"Gain", "2.5"}, {"Count", "10"}}, {}},
        {false, {}, kBuildSourceError, {{"", ""}}, {4, 6}},
    };
    for (const auto &c : cases) {
        fake->script.clear();
        fake->action(0, 1);
        fake->action(1, 0);
        for (const auto &v : c.vars)
            fake->variable(v.first, v.second);
        fake->succeed = c.succeed;
        fake->errorMsg = "Unknown name";
        fake->errorLine = 2;
        TProtocolDoc doc(*compiler, env, dir.path("include"), ModelF);
        doc.SetText("abc\nline 2\nend");
        const int32_t r = doc.SyntaxCheck();
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(doc.Variables, c.rows);
        EXPECT_EQ(doc.Modified, r != kBuildOk);
        EXPECT_TRUE(doc.CheckDone);
        EXPECT_FALSE(doc.ChangedSinceCheck);
        EXPECT_FALSE(doc.Log.isEmpty());
        EXPECT_EQ(doc.ErrorRange.start, c.error.start);
        EXPECT_EQ(doc.ErrorRange.length, c.error.length);
        // The compiled text keeps the checked version through later edits.
        doc.SetText("changed");
        EXPECT_EQ(doc.CompiledText, (QStringList{"abc", "line 2", "end"}));
        EXPECT_TRUE(doc.ChangedSinceCheck);
    }
}

TEST_F(ProtocolDoc, OpenAndSaveThroughTheDialogs) {
    TProtocolDoc doc(*compiler, env, dir.path("include"), ModelF);
    QDir().mkpath(dir.path("p"));
    dialogs.answer(dir.path("p/a.p"));
    EXPECT_TRUE(doc.SaveAsDialog("x = 1\n"));
    EXPECT_EQ(ReadTextFile(dir.path("p/a.p")), "x = 1\n");
    EXPECT_EQ(QDir(env.LastDir), QDir(dir.path("p")));
    dialogs.answer(dir.path("p/a.p"));
    QString text;
    EXPECT_TRUE(doc.OpenDialog(text));
    EXPECT_EQ(text, "x = 1\n");
    ASSERT_EQ(dialogs.requests.size(), 2u);
    EXPECT_EQ(dialogs.requests[0].title, "Save Protocol");
    EXPECT_EQ(dialogs.requests[0].filter, "Protocol File|*.p|Text File|*.txt");
    EXPECT_EQ(dialogs.requests[1].title, "Load Protocol");
    EXPECT_EQ(dialogs.requests[1].filter, "Protocol Files|*.p|Text Files|*.txt|All Files|*.*");
    EXPECT_EQ(QDir(dialogs.requests[1].dir), QDir(dir.path("p")));
    // Cancelled and unreadable: text unchanged, only the failure is reported.
    dialogs.answer("");
    dialogs.answer(dir.path("p/missing.p"));
    text = "keep";
    EXPECT_FALSE(doc.OpenDialog(text));
    EXPECT_FALSE(doc.OpenDialog(text));
    EXPECT_EQ(text, "keep");
    EXPECT_EQ(messages.entries.size(), 1u);
}
