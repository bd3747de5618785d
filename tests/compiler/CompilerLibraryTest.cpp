// Loading the compiler library by name and the two failure dialogs.
#include "CompilerTestSupport.h"

#include "common/AppPaths.h"

#include <QFile>
#include <cmath>
#include <dlfcn.h>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

// A libCompiler.so in the program folder is taken (and refused for its
// missing entry points) although none is on the search path; a copy of the
// maths library serves as one.
TEST(CompilerLibraryLoad, FailureDialogs) {
    TestDir dir;
    Dl_info maths{};
    ASSERT_NE(dladdr(reinterpret_cast<void *>(static_cast<double (*)(double)>(&std::cbrt)), &maths), 0);
    ASSERT_TRUE(QFile::copy(QString::fromLocal8Bit(maths.dli_fname), dir.path("libCompiler.so")));
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
        RecordingMessageService rec;
        ScopedMessageService scope(&rec);
        EXPECT_EQ(LoadCompilerLibrary(c.programDir, c.baseName), nullptr);
        ASSERT_EQ(rec.entries.size(), 1u);
        EXPECT_EQ(std::tuple(rec.entries[0].type, rec.entries[0].text, rec.entries[0].buttons),
                  std::tuple(MsgType::Error, c.text, mbOK));
    }
}

TEST(CompilerLibraryLoad, StartUpEndsTheProgramWhenLoadingFails) {
    // (A library already loaded in this process would be found by its bare
    // name, so the failing case uses a name that exists nowhere.)
    TestDir dir; // puts the program folder back afterwards
    RecordingMessageService rec;
    ScopedMessageService scope(&rec);
    int exitCode = -1;
    EXPECT_FALSE(InitCompilerLibrary([&](int code) { exitCode = code; }, QStringLiteral("CompilerNowhere")));
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(rec.texts(), QStringList{kCompilerLoadFailedText});
    EXPECT_EQ(CompilerLibrary(), nullptr);

    AppPaths::setProgramDir(qEnvironmentVariable("TESSEL_BIN_DIR"));
    EXPECT_TRUE(InitCompilerLibrary([&](int) { FAIL() << "terminated"; }));
    EXPECT_NE(CompilerLibrary(), nullptr);
    SetCompilerLibrary(nullptr);
}

} // namespace
