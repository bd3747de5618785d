// tessel-cli wizard (a wizard run without its dialog) and wizards (the
// selector's list without a window).
#include "CliTestSupport.h"

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

// Values entered as the dialog takes them: cut to the field's type and
// limits, checked by the triggers; what the dialog would not take is a usage
// error.
TEST(CliWizard, EntersValuesAsTheDialogDoesListsAndWritesJson) {
    TestDir dir;
    const QString file = dir.path("t.wzd"), broken = dir.path("broken.wzd");
    WriteTextFile(file, kWizard);
    WriteTextFile(broken, "%define_group('G')\n%define_var('x')\n");
    const std::vector<CliCase> cases = {
        {{file}, 0, "count = 3 level = 0.5 double = 6\nslow\n", ""},
        {{file, "--set", "count=0", "--set", "Level=250", "--set", "fast=true"},
         0,
         "count = 1 level = 100 double = 2\nfast\n",
         ""},
        {{file, "--set", "Count=9"}, 1, "", "Wizard error: Count too large\n"},
        {{broken}, 1, "", "Wizard error: %end_var missing at the end of the file.\n"},
        {{file, "--set", "Nosuch=1"}, 2, "", "*"},
        {{file, "--set", "Count=many"}, 2, "", "*"},
        {{file, "--set", "Fixed=1"}, 2, "", "*"},  // read-only field
        {{file, "--set", "Double=1"}, 2, "", "*"}, // no field at all
    };
    ExpectCliCases("wizard", cases);

    // --vars lists the fields as the dialog would show them; --json writes lines and fields.
    const CliRun text = RunCliCommand({"wizard", file, "--vars", "--set", "Count=4"});
    ASSERT_EQ(text.rc, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.contains("  Count int \"Count\" = 4 [1, 10] triggers=2\n")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("  Fixed real \"Fixed\" = 7 [-2147483647, 2147483647] read-only\n"));

    const CliRun json = RunCliCommand({"wizard", file, "--json", "--set", "Level=1e-7"});
    EXPECT_EQ(json.json()["lines"][0].toString(), "count = 3 level = 1E-7 double = 6");
    const QJsonObject level =
        RunCliCommand({"wizard", file, "--json", "--vars"}).json()["groups"][0]["variables"][1].toObject();
    EXPECT_EQ(level["caption"].toString(), "Level (percent)");
}

TEST(CliWizards, ListsTheSelectorsEntriesAndFailsWithoutAny) {
    TestDir dir; // also the program's folder, where Tessel.ini is looked for
    WriteTextFile(dir.path("Tessel.ini"), "[Wizard1]\nFileName=a.wzd\nImageName=none.png\nXPos=2\n"
                                          "[Wizard2]\nFileName=b.wzd\nXPos=2\nTitle=B\n"
                                          "[Wizard4]\nFileName=d.wzd\nYPos=3\n");
    const CliRun text = RunCliCommand({"wizards"});
    EXPECT_EQ(text.rc, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.startsWith("Grid: 3 x 1 cells")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("Wizard1: column 2, row 0, \"Unable to display bitmap\" (hidden by a later entry"));

    const CliRun json = RunCliCommand({"wizards", "--json", "--ini", SourcePath("resources/Tessel.ini")});
    EXPECT_TRUE(json.json()["wizards"][0]["pictureLoaded"].toBool()) << json.out.toStdString();

    WriteTextFile(dir.path("empty.ini"), "[Wizard2]\nFileName=b.wzd\n");
    ExpectExitCodes({{{"wizards", "--ini", dir.path("missing.ini")}, 1},
                     {{"wizards", "--ini", dir.path("empty.ini")}, 1},
                     {{"wizards", "extra"}, 2}});
}

// Every shipped wizard runs with its initial values.
TEST(CliWizard, EveryShippedWizardRuns) {
    for (const QString &name : QDir(SourcePath("resources/wizards")).entryList({"*.wzd"}))
        EXPECT_EQ(RunCliCommand({"wizard", SourcePath("resources/wizards/" + name)}).rc, 0) << name.toStdString();
}

TEST(CliWizard, LayoutPrintsFramesAndControls) {
    const QString file = SourcePath("resources/wizards/Quenching.wzd");
    const CliRun r = RunCliCommand({"wizard", file, "--layout"});
    EXPECT_TRUE(r.out.contains("Frame \"Far-red light\" column 0: 8,")) << r.out.toStdString();
    EXPECT_EQ(RunCliCommand({"wizard", file, "--layout", "--vars"}).rc, 2);
}
