// tessel-cli wizards and tessel-cli wizard --layout.
#include "CliTestSupport.h"
#include "authoring/WizardLayout.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

TEST(CliWizards, ListsTheSelectorsEntries) {
    TestDir dir;
    // Tessel.ini in the program's folder; a gap after Wizard2 ends the list.
    WriteTextFile(dir.path("Tessel.ini"), "[Wizard1]\nFileName=a.wzd\nImageName=none.png\nXPos=2\nTitle=A\n"
                                          "LeftTopColor=0x00FFFFFF\n"
                                          "[Wizard2]\nFileName=b.wzd\nXPos=2\nYPos=0\nTitle=B\n"
                                          "[Wizard4]\nFileName=d.wzd\nYPos=3\n");
    const CliRun text = RunCliCommand({"wizards"});
    EXPECT_EQ(text.rc, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.startsWith("Grid: 3 x 1 cells")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("Wizard1: column 2, row 0, \"Unable to display bitmap\" (hidden by a later entry"));
    EXPECT_FALSE(text.out.contains("d.wzd"));

    const CliRun json = RunCliCommand({"wizards", "--json", "--ini", SourcePath("resources/Tessel.ini")});
    ASSERT_EQ(json.rc, 0) << json.err.toStdString();
    const QJsonObject o = json.json().object();
    EXPECT_EQ(o["columns"].toInt(), 2);
    EXPECT_EQ(o["rows"].toInt(), 2);
    const QJsonArray list = o["wizards"].toArray();
    ASSERT_EQ(list.size(), 4);
    const QJsonObject first = list[0].toObject();
    EXPECT_EQ(first["file"].toString(), SourcePath("resources/wizards/FvFm.wzd"));
    EXPECT_EQ(first["title"].toString(), "Fv/Fm");
    EXPECT_EQ(first["leftTopColor"].toString(), "0x00FFFFFF");
    EXPECT_TRUE(first["pictureLoaded"].toBool());
    EXPECT_EQ(list[3].toObject()["column"].toInt(), 1);

    struct {
        QStringList args;
        int rc;
    } failures[] = {
        {{"wizards", "--ini", dir.path("missing.ini")}, 1},
        {{"wizards", "--ini", dir.path("empty.ini")}, 1},
        {{"wizards", "extra"}, 2},
    };
    WriteTextFile(dir.path("empty.ini"), "[Wizard2]\nFileName=b.wzd\n");
    for (const auto &f : failures) {
        const CliRun r = RunCliCommand(f.args);
        EXPECT_EQ(r.rc, f.rc) << f.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(r.err.isEmpty());
    }
}

TEST(CliWizard, LayoutPrintsTheDialogsRectangles) {
    const QString file = SourcePath("resources/wizards/Quenching.wzd");
    const CliRun json = RunCliCommand({"wizard", file, "--layout", "--json"});
    ASSERT_EQ(json.rc, 0) << json.err.toStdString();
    const QJsonObject o = json.json().object();
    // The same rectangles the dialog gets from the application's font.
    TWizardFile w(file);
    w.Load();
    const TWizardLayout l = LayoutWizardDialog(w.Groups(), WizardMetricsFor(QGuiApplication::font()));
    EXPECT_EQ(o["title"].toString(), "Quenching analysis");
    EXPECT_EQ(o["client"].toObject()["width"].toInt(), l.Client.width());
    EXPECT_EQ(o["columns"].toInt(), 2);
    const QJsonArray frames = o["frames"].toArray();
    ASSERT_EQ(frames.size(), int(l.Frames.size()));
    const QJsonObject timing = frames[2].toObject();
    EXPECT_EQ(timing["caption"].toString(), "Timing");
    EXPECT_EQ(timing["rect"].toObject()["x"].toInt(), l.Frames[2].Rect.x());
    const QJsonObject field = timing["controls"].toArray()[1].toObject();
    EXPECT_EQ(field["kind"].toString(), "field");
    EXPECT_EQ(field["variable"].toString(), "DarkTime");
    EXPECT_EQ(field["rect"].toObject()["x"].toInt(), l.Frames[2].Rows[0].Field.x());

    const CliRun text = RunCliCommand({"wizard", file, "--layout"});
    EXPECT_EQ(text.rc, 0);
    EXPECT_TRUE(text.out.contains("Frame \"Far-red light\" column 0: "));
    EXPECT_TRUE(text.out.contains("  checkbox FarRed: 16,24 "));
    EXPECT_EQ(RunCliCommand({"wizard", file, "--layout", "--vars"}).rc, 2);
}
