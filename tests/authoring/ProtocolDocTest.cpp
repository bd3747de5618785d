#include "ProtocolTestSupport.h"

using namespace tessel;
using namespace tessel::test;

using ProtocolDoc = ProtocolFixture;

TEST_F(ProtocolDoc, IncludeFolderFollowsTheConnectedInstrument) {
    const QString B = dir.path("include") + '/';
    QDir().mkpath(dir.path("include/ModelG_0101"));
    const struct {
        TDevice device;
        QString expected;
    } cases[] = {
        {ModelG1, B + "ModelG_0101/"}, // trimmed name, version as 4 hex digits
        {ModelG2, B},                  // no folder: the general one
        {ModelF, B},
    };
    // One document follows the instrument type connected at each check.
    auto doc = makeDoc(ModelF);
    TDevice connected = ModelF;
    doc->CurrentDevice = [&] { return connected; };
    for (const auto &c : cases) {
        connected = c.device;
        doc->SyntaxCheck();
        ASSERT_FALSE(fake->compiled.empty());
        EXPECT_EQ(QString::fromStdString(fake->compiled.back()).section('|', 1), c.expected);
    }
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
        EXPECT_EQ(QList({sel.start, sel.length, state.start}), QList({c.selStart, c.selLength, c.nextStart}))
            << c.text.toStdString();
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
    } cases[] = {{true, mbYes, true}, {true, mbCancel, false}, {false, mbNo, true}};
    for (const auto &c : cases) {
        env.ShowDialogs = c.showDialogs;
        auto doc = makeDoc();
        const QString original = doc->Text;
        EXPECT_FALSE(original.isEmpty());
        doc->SetText("edited");
        doc->Modified = false;
        messages.clear();
        messages.answer(c.answer);
        EXPECT_EQ(doc->ClearCurrent(), c.cleared);
        EXPECT_EQ(doc->Text, c.cleared ? original : "edited");
        EXPECT_EQ(doc->Modified, c.cleared);
        EXPECT_EQ(messages.texts(), c.showDialogs ? QStringList{"Clear Current ?"} : QStringList{});
        if (c.showDialogs)
            EXPECT_EQ(messages.entries.at(0).buttons, mbYes | mbNo | mbCancel);
    }
}

TEST_F(ProtocolDoc, MissingTemplateIsReportedAndLeavesTheTextEmpty) {
    QFile::remove(dir.path("include/Default.1st"));
    EXPECT_TRUE(makeDoc()->Text.isEmpty());
    ASSERT_EQ(messages.entries.size(), 1u);
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
        auto doc = makeDoc();
        doc->SetText("abc\nline 2\nend");
        const int32_t r = doc->SyntaxCheck();
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(doc->Variables, c.rows);
        EXPECT_EQ(QList({doc->Modified, doc->CheckDone, doc->ChangedSinceCheck}), QList({r != kBuildOk, true, false}));
        EXPECT_FALSE(doc->Log.isEmpty());
        EXPECT_EQ(std::pair(doc->ErrorRange.start, doc->ErrorRange.length), std::pair(c.error.start, c.error.length));
    }
}

TEST_F(ProtocolDoc, OpenAndSaveThroughTheDialogs) {
    auto doc = makeDoc();
    QDir().mkpath(dir.path("p"));
    QString text = "keep";
    for (const QString &answer : {dir.path("p/a.p"), dir.path("p/a.p"), QString(), dir.path("p/missing.p")})
        dialogs.answer(answer);
    EXPECT_TRUE(doc->SaveAsDialog("x = 1\n"));
    EXPECT_EQ(QDir(env.LastDir), QDir(dir.path("p")));
    EXPECT_TRUE(doc->OpenDialog(text));
    EXPECT_EQ(text, "x = 1\n");
    // Cancelled and unreadable: text unchanged, only the failure is reported.
    EXPECT_FALSE(doc->OpenDialog(text) || doc->OpenDialog(text));
    EXPECT_EQ(text, "x = 1\n");
    EXPECT_EQ(messages.entries.size(), 1u);
    ASSERT_EQ(dialogs.requests.size(), 4u);
    EXPECT_EQ(dialogs.requests[0].title + dialogs.requests[0].filter, "Save ProtocolProtocol File|*.p|Text File|*.txt");
    EXPECT_EQ(dialogs.requests[1].title + dialogs.requests[1].filter,
              "Load ProtocolProtocol Files|*.p|Text Files|*.txt|All Files|*.*");
    EXPECT_EQ(QDir(dialogs.requests[1].dir), QDir(dir.path("p")));
}
