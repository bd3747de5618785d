// tessel-cli wizards: the selector's list without a window.
#include "CliTestSupport.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel::test;

TEST(CliWizards, ListsTheSelectorsEntriesAndFailsWithoutAny) {
    TestDir dir; // also the program's folder, where Tessel.ini is looked for
    WriteTextFile(dir.path("Tessel.ini"), "[Wizard1]\nFileName=a.wzd\nImageName=none.png\nXPos=2\n"
                                          "[Wizard2]\nFileName=b.wzd\nXPos=2\nTitle=B\n"
                                          "[Wizard4]\nFileName=d.wzd\nYPos=3\n");
    const CliRun text = RunCliCommand({"wizards"});
    EXPECT_EQ(text.rc, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.startsWith("Grid: 3 x 1 cells")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("Wizard1: column 2, row 0, \"Unable to display bitmap\" (hidden by a later entry"));
    EXPECT_FALSE(text.out.contains("d.wzd"));

    const CliRun json = RunCliCommand({"wizards", "--json", "--ini", SourcePath("resources/Tessel.ini")});
    const QJsonObject first = json.json()["wizards"].toArray().at(0).toObject();
    EXPECT_EQ(first["file"].toString(), SourcePath("resources/wizards/FvFm.wzd"));
    EXPECT_EQ(first["leftTopColor"].toString(), "0x00FFFFFF");
    EXPECT_TRUE(first["pictureLoaded"].toBool());

    WriteTextFile(dir.path("empty.ini"), "[Wizard2]\nFileName=b.wzd\n");
    for (const auto &[args, rc] : {std::pair{QStringList{"wizards", "--ini", dir.path("missing.ini")}, 1},
                                   {{"wizards", "--ini", dir.path("empty.ini")}, 1},
                                   {{"wizards", "extra"}, 2}}) {
        const CliRun r = RunCliCommand(args);
        EXPECT_EQ(r.rc, rc) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty() && !r.err.isEmpty());
    }
}

TEST(CliWizard, LayoutPrintsFramesAndControls) {
    const QString file = SourcePath("resources/wizards/Quenching.wzd");
    const CliRun r = RunCliCommand({"wizard", file, "--layout"});
    EXPECT_TRUE(r.out.contains("Frame \"Far-red light\" column 0: 8,")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("  checkbox FarRed: 16,24 "));
    EXPECT_EQ(RunCliCommand({"wizard", file, "--layout", "--vars"}).rc, 2);
}
