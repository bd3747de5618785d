// Loading the compiler library by name and the two failure dialogs; the
// collector's protocol with the library (registration and error query order),
// pinned here once for every caller of the run.
#include "CompilerTestSupport.h"

#include "common/AppPaths.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct RecordedMessages {
    RecordingMessageService rec;
    ScopedMessageService scope{&rec};
};

// A libCompiler.so in the program folder is taken (and refused for its
// missing entry point) although none is on the search path.
TEST(CompilerLibraryLoad, FailureDialogs) {
    TestDir dir;
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(MISSING_ENTRY_DIR "/libCompilerMissingEntry.so"), dir.path("libCompiler.so")));
    struct Case {
        const char *what;
        QString programDir, baseName;
        QString text;
    };
    const Case cases[] = {
        {"no such library", QString(), QStringLiteral("CompilerThatDoesNotExist"),
         "Unable to load Compiler library\n\rApplication will be terminated"},
        {"entry point missing, in the program folder", dir.path(), QStringLiteral("Compiler"),
         "Unable to get Compiler library function address\n\rApplication will be terminated"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        RecordedMessages m;
        EXPECT_EQ(LoadCompilerLibrary(c.programDir, c.baseName), nullptr);
        ASSERT_EQ(m.rec.entries.size(), 1u);
        EXPECT_EQ(m.rec.entries[0].type, MsgType::Error);
        EXPECT_EQ(m.rec.entries[0].text, c.text);
        EXPECT_EQ(m.rec.entries[0].buttons, mbOK);
    }
}

TEST(CompilerLibraryLoad, StartUpEndsTheProgramWhenLoadingFails) {
    // (A library already loaded in this process would be found by its bare
    // name, so the failing case uses a name that exists nowhere.)
    RecordedMessages m;
    int exitCode = -1;
    EXPECT_FALSE(InitCompilerLibrary([&](int code) { exitCode = code; }, QStringLiteral("CompilerNowhere")));
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(m.rec.texts(), QStringList{kCompilerLoadFailedText});
    EXPECT_EQ(CompilerLibrary(), nullptr);

    AppPaths::setProgramDir(qEnvironmentVariable("TESSEL_BIN_DIR"));
    EXPECT_TRUE(InitCompilerLibrary([&](int) { FAIL() << "terminated"; }));
    EXPECT_NE(CompilerLibrary(), nullptr);
    SetCompilerLibrary(nullptr);
}

TEST(CompilerRunWithFake, RegistersCallbacksInOrderAndCopiesTheErrorOrEnds) {
    TFakeCompilerLibrary fake;
    fake.action(0.5L, 0x10);
    fake.macro(-1.0L, QByteArray("p\x05\0\0\0", 5));
    fake.variable("ActinicLevel", 40);
    fake.succeed = false;
    fake.errorMsg = "Unknown name 'X'";
    fake.errorFile = "/tmp/p.p";
    fake.errorLine = 3;
    fake.errorColumn = 7;
    const TCompilerRun r = RunCompiler(fake, QStringLiteral("/tmp/src"), QStringLiteral("/inc/"));
    EXPECT_EQ(fake.setOrder, (QStringList{"SetAddPrimAction", "SetAddCompAction", "SetAddVar", "SetInfoEnd",
                                          "SetInfoFileName", "SetInfoLineNum"}));
    EXPECT_EQ(fake.compiled, std::vector<std::string>{"/tmp/src|/inc/"});
    EXPECT_EQ(fake.errorQueries, (QStringList{"GetErrorMsg", "GetErrorFile", "GetErrorLine", "GetErrorColumn"}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(CallsText(r), "A 0.5 00000010|M -1 70 05 00 00 00|V ActinicLevel 40");
    EXPECT_EQ(QStringList({r.errorMsg, r.errorFile, QString::number(r.errorLine), QString::number(r.errorColumn)}),
              QStringList({"Unknown name 'X'", "/tmp/p.p", "3", "7"}));

    // Success ends with the end callback and queries no error.
    TFakeCompilerLibrary ok;
    ok.action(1, 0x4);
    const TCompilerRun done = RunCompiler(ok, QStringLiteral("s"), QString());
    EXPECT_TRUE(done.ok);
    EXPECT_EQ(CallsText(done), "A 1 00000004|E");
    EXPECT_TRUE(ok.errorQueries.isEmpty());
}

} // namespace
