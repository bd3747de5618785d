// The selector's wizard list, its grid geometry and the drawing of a cell.
#include "authoring/WizardList.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct WizardListTest : ::testing::Test {
    TestDir dir;
    TWizards list;
    void load(const QString &ini) {
        WriteTextFile(dir.path("Tessel.ini"), ini);
        list.Load(dir.path("Tessel.ini"), dir.path() + '/');
    }
};

TEST_F(WizardListTest, ReadsTheSectionsUpToTheFirstGap) {
    QImage pic(4, 3, QImage::Format_RGB32);
    pic.fill(Qt::white);
    pic.setPixel(1, 1, qRgb(0, 128, 0));
    ASSERT_TRUE(pic.save(dir.path("a.png")));
    WriteTextFile(dir.path("broken.bmp"), "not a picture");
    struct {
        const char *ini;
        int count, columns, rows;
    } cases[] = {
        {"[Wizard1]\nFileName=a.wzd\n[Wizard3]\nFileName=c.wzd\n", 1, 1, 1},
        {"[Wizard1]\nFileName=a.wzd\nXPos=2\nYPos=1\n", 1, 3, 2},
        {"[Wizard1]\nImageName=a.png\n", 0, 1, 1},
        {"[Wizard1]\nFileName=a.wzd\nXPos=1\n[Wizard2]\nFileName=$$$\n[Wizard3]\nFileName=c.wzd\nYPos=4\n", 1, 2, 1},
    };
    for (const auto &c : cases) {
        load(c.ini);
        EXPECT_EQ(int(list.Entries().size()), c.count) << c.ini;
        EXPECT_EQ(list.MaxColumn() + 1, c.columns) << c.ini;
        EXPECT_EQ(list.MaxRow() + 1, c.rows) << c.ini;
    }

    load("[Wizard1]\nFileName=a.wzd\nXPos=2\nYPos=1\nImageName=a.png\nTitle=First\n"
         "LeftTopColor=0x00FF8000\nRightBottomColor=255\n"
         "[Wizard2]\nFileName=sub/b.wzd\nImageName=broken.bmp\nTitle=Second\n"
         "[Wizard3]\nFileName=c.wzd\nXPos=2\nYPos=1\nImageName=missing.bmp\n");
    ASSERT_EQ(list.Entries().size(), 3u);
    const TWizardEntry &a = list.Entries()[0];
    EXPECT_EQ(a.FileName, dir.path("a.wzd"));
    EXPECT_EQ(a.Title, "First");
    EXPECT_EQ(a.LeftTopColor, 0x00FF8000);
    EXPECT_EQ(IniColor(a.LeftTopColor), QColor(0, 0x80, 0xFF));
    EXPECT_EQ(IniColor(a.RightBottomColor), QColor(Qt::red));
    // The bottom-left pixel's colour is transparent, the rest kept.
    EXPECT_EQ(qAlpha(a.Picture.pixel(0, 0)), 0);
    EXPECT_EQ(a.Picture.pixel(1, 1), qRgb(0, 128, 0));
    // A picture that does not load: listed, without picture, with the note.
    for (const TWizardEntry *e : {&list.Entries()[1], &list.Entries()[2]}) {
        EXPECT_TRUE(e->Picture.isNull());
        EXPECT_EQ(e->Title, "Unable to display bitmap");
    }
    EXPECT_EQ(list.Entries()[1].FileName, dir.path("sub/b.wzd"));
    // Two entries on one cell: the later one is drawn and chosen there.
    EXPECT_EQ(list.EntryAt(2, 1), &list.Entries()[2]);
    EXPECT_EQ(list.EntryAt(0, 0), &list.Entries()[1]);
    EXPECT_EQ(list.EntryAt(1, 0), nullptr);
}

TEST(WizardSelectorGeometry, GridButtonsAndTheScreenCap) {
    TestDir dir;
    WriteTextFile(dir.path("W.ini"), "[Wizard1]\nFileName=a.wzd\nXPos=2\nYPos=1\n");
    TWizards list;
    list.Load(dir.path("W.ini"), dir.path() + '/');
    const TWizardGridGeometry g = SelectorGeometry(list, -12, QSize(1920, 1080), QSize(75, 25));
    EXPECT_EQ(g.RowHeight, 121);
    EXPECT_EQ(g.Client, QSize(3 * 157, 2 * 122 + 14 + 25));
    EXPECT_EQ(g.Cell(2, 1), QRect(314, 122, 156, 121));
    EXPECT_EQ(g.Ok, QRect(7, g.Client.height() - 32, 75, 25));
    EXPECT_EQ(g.Cancel.left(), 89);
    EXPECT_EQ(g.Help.right() + 1, g.Client.width() - 7);
    int c = -1, r = -1;
    EXPECT_TRUE(g.CellAt(QPoint(320, 130), c, r));
    EXPECT_EQ(QPoint(c, r), QPoint(2, 1));
    EXPECT_FALSE(g.CellAt(QPoint(156, 10), c, r)); // the grid line
    // A small screen caps the client area at 49/50 of it.
    const TWizardGridGeometry small = SelectorGeometry(list, 12, QSize(400, 200), QSize(75, 25));
    EXPECT_EQ(small.Client, QSize(392, 196));
    EXPECT_EQ(small.Ok.top(), 196 - 32);
}

TEST(WizardSelectorPaint, CellOutlineFrameTitleAndPicture) {
    TWizardEntry e;
    e.Title = "Title";
    e.LeftTopColor = 0x0000FF00;      // green
    e.RightBottomColor = 0x00FF0000;  // blue
    QImage pic(10, 10, QImage::Format_RGB32);
    pic.fill(Qt::white);
    pic.setPixel(0, 0, qRgb(255, 0, 0));
    e.Picture = TransparentByBottomLeft(pic);
    const QColor window(250, 250, 250), text(Qt::black);
    const QRect cell(0, 0, 156, 121);
    for (bool selected : {false, true}) {
        QImage img(cell.size(), QImage::Format_RGB32);
        img.fill(Qt::gray);
        QPainter p(&img);
        PaintWizardCell(p, cell, &e, selected, 12, window, text);
        p.end();
        EXPECT_EQ(img.pixelColor(0, 60), selected ? text : window) << selected;
        EXPECT_EQ(img.pixelColor(1, 60), window);
        // Frame: 3 pixels in; the bottom edge |font height| + 6 above the cell's.
        EXPECT_EQ(img.pixelColor(3, 50), QColor(Qt::green));
        EXPECT_EQ(img.pixelColor(50, 3), QColor(Qt::green));
        EXPECT_EQ(img.pixelColor(152, 50), QColor(Qt::blue));
        EXPECT_EQ(img.pixelColor(50, 121 - 18 - 1), QColor(Qt::blue));
        // The picture fills the frame; its transparent colour shows the cell.
        EXPECT_EQ(img.pixelColor(4, 4), QColor(Qt::red));
        EXPECT_EQ(img.pixelColor(80, 50), window);
        // The title is written below the frame.
        bool title = false;
        for (int y = 103; y < 121; ++y)
            for (int x = 4; x < 40; ++x)
                title = title || img.pixelColor(x, y).lightness() < 128;
        EXPECT_TRUE(title);
    }
}

} // namespace
