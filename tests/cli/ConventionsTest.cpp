// What every subcommand shares: its help names "tessel-cli SUBCOMMAND", a
// failed --json run still prints one JSON document carrying the error, and
// the protocol language's work file never lands in the program's folder.
#include "CliTestSupport.h"

#include "common/AppPaths.h"
#include "compiler/CompilerLibrary.h"

#include <QDir>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

TEST(CliConventions, HelpAndJsonErrorsOfEverySubcommand) {
    for (const cli::CliCommand &c : cli::Commands()) {
        const CliRun help = RunCliCommand({c.name, "--help"});
        EXPECT_TRUE(help.out.startsWith("Usage: tessel-cli " + c.name + " ")) << help.out.left(80).toStdString();
        const CliRun bad = RunCliCommand({c.name, "--no-such-option", "--json"});
        EXPECT_EQ(bad.rc, 2) << c.name.toStdString();
        const QJsonObject e = bad.json().object()["error"].toObject();
        EXPECT_EQ(e["exitCode"].toInt(), 2) << c.name.toStdString() << bad.out.toStdString();
        EXPECT_TRUE(e["message"].toString().contains("no-such-option")) << c.name.toStdString();
    }
    // A failed operation: the message names the file.
    TestDir dir;
    const QString missing = dir.path("none.exp");
    const QStringList failing[] = {{"info", missing},
                                   {"analyze", missing},
                                   {"export", missing, "--out", "x.csv"},
                                   {"plot", missing, "--out", dir.path("x.png")},
                                   {"edit", missing, "--remove", "1"}};
    for (const QStringList &args : failing) {
        const CliRun r = RunCliCommand(args + QStringList{"--json"});
        EXPECT_EQ(r.rc, 1) << args.join(' ').toStdString();
        EXPECT_EQ(r.json().object()["error"].toObject()["message"].toString(), "File not found: " + missing)
            << args.join(' ').toStdString() << r.out.toStdString();
    }
}

TEST(CliConventions, TheWorkFileIsTheRunsOwn) {
    SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR")));
    TestDir dir;
    const QString program = AppPaths::programDir();
    ASSERT_TRUE(QDir().mkpath(dir.path("bin")));
    AppPaths::setProgramDir(dir.path("bin") + "/");
    const CliRun r =
        RunCliCommand({"compile", SourcePath("resources/protocols/FvFm.p"), "--device", "ModelT2", "--ini",
                       SourcePath("resources/Tessel.ini"), "--include", SourcePath("resources/include/ModelT_0102/")});
    AppPaths::setProgramDir(program);
    SetCompilerLibrary(nullptr);
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(QDir(dir.path("bin")).entryList(QDir::Files), QStringList());
    // The log names the run's own work file; it is gone with the run.
    const QString work = r.out.section('\n', 0, 0).mid(QStringLiteral("Compiling ").size());
    EXPECT_EQ(work, SourcePath("resources/protocols/FvFm.p")); // the user's file, not the work file
}
