// What every subcommand shares: its help names "tessel-cli SUBCOMMAND", a
// failed --json run still prints one JSON document carrying the error, and
// the protocol language's work file never lands in the program's folder; and
// tessel-cli config, the configuration as the program reads it.
#include "CliTestSupport.h"

#include "common/AppPaths.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

TEST(CliConventions, HelpAndJsonErrorsOfEverySubcommand) {
    const QString listing = RunCliCommand({"--help"}).out;
    for (const cli::CliCommand &c : cli::Commands()) {
        EXPECT_TRUE(listing.contains("\n  " + c.name + " ")) << c.name.toStdString();
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

using CliWorkFile = CompilingTest;

TEST_F(CliWorkFile, IsTheRunsOwn) {
    const QString program = AppPaths::programDir();
    ASSERT_TRUE(QDir().mkpath(dir.path("bin")));
    AppPaths::setProgramDir(dir.path("bin") + "/");
    const CliRun r =
        RunCliCommand({"compile", SourcePath("resources/protocols/FvFm.p"), "--device", "ModelT2", "--ini",
                       SourcePath("resources/Tessel.ini"), "--include", SourcePath("resources/include/ModelT_0102/")});
    AppPaths::setProgramDir(program);
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(QDir(dir.path("bin")).entryList(QDir::Files), QStringList());
    // The log names the run's own work file; it is gone with the run.
    const QString work = r.out.section('\n', 0, 0).mid(QStringLiteral("Compiling ").size());
    EXPECT_EQ(work, SourcePath("resources/protocols/FvFm.p")); // the user's file, not the work file
}

TEST(CliConfig, JsonUsesTheConfigurationNames) {
    TestDir dir;
    const QString ini = dir.path("Tessel.ini");
    WriteTextFile(ini, "[ModelW  /$0000/Consts]\nTimeBase=2.5e-8\nBitResA=99\n"
                       "[ModelW  /$0000/EventBounds]\nBit2=1e-6;1;2e-6;3;EwEw\n[Aliases]\nDAC1=ActinicLevel\n");
    const CliRun r = RunCliCommand({"config", "--ini", ini, "--device", "ModelW", "--json"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    const QJsonObject j = r.json().object();
    EXPECT_EQ(j["DeviceText"].toString(), "ModelW  /$0000/");
    EXPECT_EQ(j["Consts"]["TimeBase"].toDouble(), 2.5e-8);
    EXPECT_EQ(j["Consts"]["BitResA"].toInt(), 64);
    const QJsonObject bit2 = j["EventBounds"].toArray()[2].toObject();
    EXPECT_EQ(bit2["SpaceMin"]["Limit"].toDouble(), 1e-6);
    EXPECT_TRUE(bit2["SpaceMin"]["IsError"].toBool());
    EXPECT_TRUE(bit2["PulseMin"]["IsError"].toBool());
    EXPECT_EQ(j["Aliases"]["DAC1"].toString(), "ActinicLevel");
    EXPECT_EQ(j["Aliases"]["DAC6"].toString(), "DAC6");
    EXPECT_EQ(j["Main"]["DePrnCol"].toArray().size(), 17);
    EXPECT_EQ(j["SignalBounds"]["YLinCeil"].toDouble(), 1e6);
}

TEST(CliConfig, IniReportGoesToStderrWordForWord) {
    TestDir dir;
    const QString ini = dir.path("Tessel.ini");
    WriteTextFile(ini, "[X/Consts]\nMoChA=abc\n");
    const CliRun r = RunCliCommand({"config", "--ini", ini, "--device-text", "X/"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.err, "Error in Ini File: " + ini + "\n\r Section: X/Consts,  Key: MoChA  , Read: abc  , Default 1\n");
    EXPECT_TRUE(r.out.contains("MoChA = 1\n"));
}

TEST(CliConfig, UsageAndFailureExitCodes) {
    struct {
        QStringList args;
        int rc;
    } cases[] = {
        {{}, 2},
        {{"nosuch"}, 2},
        {{"--version"}, 0},
        {{"config", "--bogus"}, 2},
        {{"config", "extra"}, 2},
        {{"config", "--device", "ModelZZ"}, 2},
        {{"config", "--device", "ModelF", "--device-text", "x"}, 2},
        {{"config", "--ini", "/no/such/Tessel.ini"}, 1},
        {{"config", "--help"}, 0},
    };
    for (const auto &c : cases) {
        const CliRun r = RunCliCommand(c.args);
        EXPECT_EQ(r.rc, c.rc) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.err.isEmpty(), c.rc == 0) << c.args.join(' ').toStdString();
    }
}
