#include "ProtocolTestSupport.h"

using namespace tessel;
using namespace tessel::test;

using ProtocolDoc = ProtocolFixture;

TEST_F(ProtocolDoc, IncludeFolderFollowsTheConnectedInstrument) {
    QDir().mkpath(dir.path("include/ModelG_0101"));
    // One document follows the instrument type connected at each check.
    auto doc = makeDoc(ModelF);
    TDevice connected = ModelG1;
    doc->CurrentDevice = [&] { return connected; };
    auto checkedWith = [&] {
        doc->SyntaxCheck();
        return fake->compiled.empty() ? QString() : QString::fromStdString(fake->compiled.back()).section('|', 1);
    };
    // The type's folder: trimmed name, version as 4 hex digits.
    EXPECT_EQ(checkedWith(), dir.path("include/ModelG_0101/"));
    // No folder for the type: the general one.
    connected = ModelG2;
    EXPECT_EQ(checkedWith(), dir.path("include") + '/');
}

TEST_F(ProtocolDoc, FindAndReplace) {
    using M = TFindMode;
    // Text, request, start; found, text after, selection start and length, next start.
    const std::tuple<QString, TFindRequest, int, bool, QString, QList<int>> cases[] = {
        {"Flash flash", {"flash", "", false, false, M::Find}, 0, true, "Flash flash", {0, 5, 5}},
        {"Flash flash", {"flash", "", false, true, M::Find}, 0, true, "Flash flash", {6, 5, 11}},
        {"flashes flash", {"flash", "", true, false, M::Find}, 0, true, "flashes flash", {8, 5, 13}},
        {"x a y a", {"a", "bb", false, false, M::Replace}, 0, true, "x bb y a", {2, 2, 3}},
        // Replace All ends although the replacement contains the search text.
        {"a a", {"a", "aa", false, false, M::ReplaceAll}, 0, true, "aa aa", {3, 2, 0}},
        {"abc", {"x", "y", false, false, M::Find}, 2, false, "abc", {-1, -1, 0}},
        {"abc", {"", "y", false, false, M::ReplaceAll}, 0, false, "abc", {-1, -1, 0}},
    };
    for (const auto &[before, req, start, found, after, range] : cases) {
        SCOPED_TRACE(before.toStdString());
        messages.clear();
        QString text = before;
        TFindState state{start};
        TTextRange sel{-1, -1};
        EXPECT_EQ(FindInText(text, req, state, sel), found);
        EXPECT_EQ(text, after);
        EXPECT_EQ(QList({sel.start, sel.length, state.start}), range);
        // A search that runs out of matches says so (Replace All always does).
        const QString told = QStringLiteral("Search string '%1' not found.").arg(req.search);
        EXPECT_EQ(messages.texts(), !found || req.mode == M::ReplaceAll ? QStringList{told} : QStringList{});
    }
}

TEST_F(ProtocolDoc, ClearAsksOnlyWhenDialogsAreOn) {
    const std::tuple<bool, MsgButton, bool> cases[] = {
        {true, mbYes, true}, {true, mbCancel, false}, {false, mbNo, true}};
    for (const auto &[showDialogs, answer, cleared] : cases) {
        env.ShowDialogs = showDialogs;
        auto doc = makeDoc();
        const QString original = doc->Text;
        doc->SetText("edited");
        doc->Modified = false;
        messages.clear();
        messages.answer(answer);
        EXPECT_EQ(doc->ClearCurrent(), cleared);
        EXPECT_EQ(doc->Text, cleared ? original : "edited");
        EXPECT_EQ(doc->Modified, cleared);
        EXPECT_EQ(messages.texts(), showDialogs ? QStringList{"Clear Current ?"} : QStringList{});
    }
}

TEST_F(ProtocolDoc, SyntaxCheckSetsFlagsVariablesAndErrorLine) {
    using Rows = std::vector<std::pair<QString, QString>>;
    fake->action(0, 1);
    fake->action(1, 0);
    fake->variable("Gain", 2.5);
    fake->variable("Count", 10);
    fake->errorLine = 2;
    auto doc = makeDoc();
    doc->SetText("abc\nline 2\nend");
    auto flags = [&] { return QList({doc->Modified, doc->CheckDone, doc->ChangedSinceCheck}); };
    EXPECT_EQ(doc->SyntaxCheck(), kBuildOk);
    EXPECT_EQ(doc->Variables, (Rows{{"Gain", "2.5"}, {"Count", "10"}}));
    EXPECT_EQ(flags(), QList({false, true, false}));
    // A failed check keeps the text modified, shows one empty row and marks
    // the error's line.
    fake->script.clear();
    fake->succeed = false;
    EXPECT_EQ(doc->SyntaxCheck(), kBuildSourceError);
    EXPECT_EQ(doc->Variables, (Rows{{"", ""}}));
    EXPECT_EQ(flags(), QList({true, true, false}));
    EXPECT_EQ(std::pair(doc->ErrorRange.start, doc->ErrorRange.length), std::pair(4, 6));
}

TEST_F(ProtocolDoc, OpenAndSaveThroughTheDialogs) {
    auto doc = makeDoc();
    QDir().mkpath(dir.path("p"));
    QString text = "keep";
    for (const QString &answer : {dir.path("p/a.p"), dir.path("p/a.p"), QString(), dir.path("p/missing.p")})
        dialogs.answer(answer);
    EXPECT_TRUE(doc->SaveAsDialog("x = 1\n"));
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
