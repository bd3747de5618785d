#include "CliTestSupport.h"
#include "common/AppPaths.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

const char *kWizard = "%define_title('Test wizard')\n"
                      "%define_group('Values')\n"
                      " %define_var('Count')\n  type(int)\n  init_value(3)\n  minimum(1)\n  maximum(10)\n"
                      "  %define_trigger\n   condition('Count > 8')\n   error('Count too large')\n  %end_trigger\n"
                      "  %define_trigger\n   set('Double := Count * 2')\n  %end_trigger\n"
                      " %end_var\n"
                      " %define_var('Level')\n  type(real)\n  caption('Level (percent)')\n  init_value(0.5)\n"
                      "  maximum(100)\n %end_var\n"
                      " %define_var('Fast')\n  type(bool)\n  init_value(false)\n %end_var\n"
                      " %define_var('Fixed')\n  type(real)\n  init_value(7)\n  read_only\n %end_var\n"
                      " %define_var('Double')\n  type(int)\n  no_display\n %end_var\n"
                      "%end_group\n"
                      "count = %Count% level = %Level% double = %Double%\n"
                      "%if('Fast')\nfast\n%else\nslow\n%endif\n";

} // namespace

TEST(CliWizard, EntersValuesAsTheDialogDoes) {
    TestDir dir;
    const QString file = dir.path("t.wzd");
    WriteTextFile(file, kWizard);
    struct {
        QStringList sets;
        int rc;
        QString out, err;
    } cases[] = {
        {{}, 0, "count = 3 level = 0.5 double = 6\nslow\n", ""},
        {{"--set", "count=2.5", "--set", "fast=true"}, 0, "count = 2 level = 0.5 double = 4\nfast\n", ""},
        {{"--set", "Count=0", "--set", "Level=250", "--set", "Fast=0"},
         0,
         "count = 1 level = 100 double = 2\nslow\n",
         ""},
        {{"--set", "Count=9"}, 1, "", "Wizard error: Count too large\n"},
    };
    for (const auto &c : cases) {
        const CliRun r = RunCliCommand(QStringList{"wizard", file} + c.sets);
        EXPECT_EQ(r.rc, c.rc) << c.sets.join(' ').toStdString();
        EXPECT_EQ(r.out, c.out) << c.sets.join(' ').toStdString();
        EXPECT_EQ(r.err, c.err) << c.sets.join(' ').toStdString();
    }
}

TEST(CliWizard, ListsVariablesAndWritesJson) {
    TestDir dir;
    const QString file = dir.path("t.wzd");
    WriteTextFile(file, kWizard);
    const CliRun text = RunCliCommand({"wizard", file, "--vars", "--set", "Count=4"});
    ASSERT_EQ(text.rc, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.contains("Title: Test wizard\n"));
    EXPECT_TRUE(text.out.contains("  Count int \"Count\" = 4 [1, 10] triggers=2\n")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("  Fixed real \"Fixed\" = 7 [-2147483647, 2147483647] read-only\n"));
    EXPECT_TRUE(text.out.contains("  Double int \"Double\" = 8 ")) << text.out.toStdString();
    EXPECT_FALSE(text.out.contains("count ="));

    const CliRun json = RunCliCommand({"wizard", file, "--json", "--set", "Level=1e-7"});
    ASSERT_EQ(json.rc, 0);
    EXPECT_EQ(json.json()["title"].toString(), "Test wizard");
    EXPECT_EQ(json.json()["lines"].toArray().at(0).toString(), "count = 3 level = 1E-7 double = 6");
    EXPECT_TRUE(json.json()["errors"].toArray().isEmpty());

    const CliRun vars = RunCliCommand({"wizard", file, "--json", "--vars"});
    const QJsonObject level = vars.json()["groups"][0]["variables"][1].toObject();
    EXPECT_EQ(level["caption"].toString(), "Level (percent)");
    EXPECT_EQ(level["maximum"].toDouble(), 100);
    EXPECT_EQ(level["type"].toString(), "real");
}

TEST(CliWizard, FailuresAndUsage) {
    TestDir dir;
    const QString file = dir.path("t.wzd");
    WriteTextFile(file, kWizard);
    const QString broken = dir.path("broken.wzd");
    WriteTextFile(broken, "%define_group('G')\n%define_var('x')\n");
    const CliRun r = RunCliCommand({"wizard", broken});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "Wizard error: %end_var missing at the end of the file.\n");
    struct {
        QStringList args;
        int rc;
    } cases[] = {
        {{"wizard"}, 2},
        {{"wizard", dir.path("none.wzd")}, 1},
        {{"wizard", file, "--set", "Nosuch=1"}, 2},
        {{"wizard", file, "--set", "Count"}, 2},
        {{"wizard", file, "--set", "Count=many"}, 2},
        {{"wizard", file, "--set", "Fixed=1"}, 2},  // read-only field
        {{"wizard", file, "--set", "Double=1"}, 2}, // no field at all
    };
    for (const auto &c : cases) {
        const CliRun run = RunCliCommand(c.args);
        EXPECT_EQ(run.rc, c.rc) << c.args.join(' ').toStdString();
        EXPECT_FALSE(run.err.isEmpty());
    }
}

// Every shipped wizard's output must compile with the shipped include files.
TEST(CliWizard, ShippedWizardsCompile) {
    const QString include = SourcePath("resources/include/ModelW_0000");
    ASSERT_TRUE(QDir(include).exists());
    // The compiler library lies beside the executables, not in a test folder.
    QTemporaryDir dir;
    AppPaths::setProgramDir(qEnvironmentVariable("TESSEL_BIN_DIR"));
    for (const QString &name : QDir(SourcePath("resources/wizards")).entryList({"*.wzd"})) {
        const CliRun wizard = RunCliCommand({"wizard", SourcePath("resources/wizards/" + name)});
        ASSERT_EQ(wizard.rc, 0) << name.toStdString() << wizard.err.toStdString();
        const QString protocol = dir.filePath(name + ".p");
        WriteTextFile(protocol, wizard.out);
        const CliRun parse = RunCliCommand({"parse", protocol, "--include", include});
        EXPECT_EQ(parse.rc, 0) << name.toStdString() << ": " << parse.err.toStdString();
    }
    AppPaths::setProgramDir({});
}
