// tessel-cli parse: every callback printed in order, errors with position.
#include "CliTestSupport.h"

#include "compiler/CompilerLibrary.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

class ParseCommand : public ::testing::Test {
protected:
    void SetUp() override { SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR"))); }
    void TearDown() override { SetCompilerLibrary(nullptr); }
    TestDir dir;
};

const char *kProtocol = "line Flash = 2\n"
                        "var ActinicLevel = 40\n"
                        "at 1 s pulse Flash for 0.5 s\n"
                        "at -2 ms macro \"p\", long(3)\n";

TEST_F(ParseCommand, PrintsEachCallbackInOrder) {
    WriteTextFile(dir.path("p.p"), kProtocol);
    const CliRun r = RunCliCommand({"parse", dir.path("p.p"), "--include", dir.path()});
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "variable ActinicLevel = 40\n"
                     "action   1 s  0x00000004\n"
                     "action   1.5 s  0x10000004\n"
                     "macro    -0.002 s  70 03 00 00 00\n"
                     "end\n");
}

TEST_F(ParseCommand, JsonListsCallsAndErrors) {
    WriteTextFile(dir.path("p.p"), kProtocol);
    CliRun r = RunCliCommand({"parse", dir.path("p.p"), "--json"});
    ASSERT_EQ(r.rc, 0);
    QJsonObject j = r.json().object();
    EXPECT_TRUE(j["ok"].toBool());
    const QJsonArray calls = j["calls"].toArray();
    ASSERT_EQ(calls.size(), 5);
    EXPECT_EQ(calls[1].toObject()["code"].toString(), "0x00000004");
    EXPECT_EQ(calls[3].toObject()["bytes"].toString(), "70 03 00 00 00");
    EXPECT_EQ(calls[4].toObject()["kind"].toString(), "end");

    WriteTextFile(dir.path("bad.p"), "line L = 1\nat 1 on Nope\n");
    r = RunCliCommand({"parse", dir.path("bad.p"), "--json"});
    EXPECT_EQ(r.rc, 1);
    j = r.json().object();
    EXPECT_FALSE(j["ok"].toBool());
    const QJsonObject e = j["error"].toObject();
    EXPECT_EQ(e["message"].toString(), "Unknown name 'Nope'");
    EXPECT_EQ(e["file"].toString(), dir.path("bad.p"));
    EXPECT_EQ(e["line"].toInt(), 2);
    EXPECT_EQ(e["column"].toInt(), 9);
}

TEST_F(ParseCommand, ErrorGoesToStandardErrorWithPosition) {
    WriteTextFile(dir.path("bad.p"), "at 1 on\n");
    const CliRun r = RunCliCommand({"parse", dir.path("bad.p")});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(r.err, dir.path("bad.p") + ":1:8: Expected a line name\n");
}

TEST_F(ParseCommand, UsageErrors) {
    for (const QStringList &args : {QStringList{"parse"}, QStringList{"parse", "a.p", "b.p"}}) {
        const CliRun r = RunCliCommand(args);
        EXPECT_EQ(r.rc, 2);
        EXPECT_TRUE(r.err.contains("give exactly one protocol file"));
    }
}

} // namespace
