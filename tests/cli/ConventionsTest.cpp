// What every subcommand shares: its help names "tessel-cli SUBCOMMAND" and a
// failed --json run still prints one JSON document carrying the error; and
// tessel-cli config, the configuration as the program reads it.
#include "CliTestSupport.h"

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
    for (const QStringList &args : {QStringList{"info", missing},
                                    {"analyze", missing},
                                    {"export", missing, "--out", "x.csv"},
                                    {"plot", missing, "--out", dir.path("x.png")},
                                    {"edit", missing, "--remove", "1"}}) {
        const CliRun r = RunCliCommand(args + QStringList{"--json"});
        EXPECT_EQ(r.rc, 1) << args.join(' ').toStdString();
        EXPECT_EQ(r.json()["error"]["message"].toString(), "File not found: " + missing) << r.out.toStdString();
    }
}

// The JSON uses the configuration's names; the text run reports what the
// ini cannot hold on stderr, word for word.
TEST(CliConfig, JsonNamesAndIniReport) {
    TestDir dir;
    const QString ini = dir.path("Tessel.ini");
    WriteTextFile(ini, "[ModelW  /$0000/Consts]\nTimeBase=2.5e-8\nBitResA=99\nMoChA=abc\n"
                       "[ModelW  /$0000/EventBounds]\nBit2=1e-6;1;2e-6;3;EwEw\n[Aliases]\nDAC1=ActinicLevel\n");
    const CliRun r = RunCliCommand({"config", "--ini", ini, "--device", "ModelW", "--json"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    const QJsonObject j = r.json().object();
    EXPECT_EQ(j["DeviceText"].toString(), "ModelW  /$0000/");
    EXPECT_EQ(j["Consts"]["BitResA"].toInt(), 64);
    EXPECT_TRUE(j["EventBounds"][2]["SpaceMin"]["IsError"].toBool());
    EXPECT_EQ(j["Aliases"]["DAC1"].toString(), "ActinicLevel");
    EXPECT_EQ(j["Main"]["DePrnCol"].toArray().size(), 17);

    const CliRun text = RunCliCommand({"config", "--ini", ini, "--device-text", "ModelW  /$0000/"});
    EXPECT_EQ(text.rc, 0);
    EXPECT_EQ(text.err, "Error in Ini File: " + ini +
                            "\n\r Section: ModelW  /$0000/Consts,  Key: MoChA  , Read: abc  , Default 1\n");
    EXPECT_TRUE(text.out.contains("MoChA = 1\n"));
}

TEST(CliConfig, UsageAndFailureExitCodes) {
    ExpectExitCodes({
        {{}, 2},
        {{"nosuch"}, 2},
        {{"--version"}, 0},
        {{"config", "extra"}, 2},
        {{"config", "--device", "ModelZZ"}, 2},
        {{"config", "--device", "ModelF", "--device-text", "x"}, 2},
        {{"config", "--ini", "/no/such/Tessel.ini"}, 1},
    });
}
