// The selector's wizard list and its grid geometry.
#include "authoring/WizardList.h"
#include "support/TestSupport.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

TWizards Listed(const TestDir &dir, const QString &ini) {
    WriteTextFile(dir.path("Tessel.ini"), ini);
    TWizards list;
    list.Load(dir.path("Tessel.ini"), dir.path() + '/');
    return list;
}

TEST(WizardList, ReadsTheSectionsUpToTheFirstGapIntoTheSelectorGrid) {
    TestDir dir;
    // Wizard3 behind the gap is not read; the grid spans the largest positions.
    const TWizards lone = Listed(dir, "[Wizard1]\nFileName=a.wzd\nXPos=2\nYPos=1\n[Wizard3]\nFileName=c.wzd\n");
    EXPECT_EQ(lone.Entries().size(), 1u);
    EXPECT_EQ(QPoint(lone.MaxColumn(), lone.MaxRow()), QPoint(2, 1));
    // Alone at column 2, row 1: of the 3 x 2 cells only that one has an entry.
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 2; ++row)
            EXPECT_EQ(lone.EntryAt(col, row) != nullptr, col == 2 && row == 1);
    // The selector's cells, 156 by font height + 109 with 1-pixel lines; its
    // window at most 98 % of the screen.
    const TWizardGridGeometry g = SelectorGeometry(lone, -12, QSize(1920, 1080), QSize(75, 25));
    EXPECT_EQ(g.Client, QSize(3 * 157, 2 * (12 + 109 + 1) + 14 + 25));
    EXPECT_EQ(g.Cell(2, 1), QRect(314, 122, 156, 121));
    EXPECT_EQ(QList<QRect>({g.Ok, g.Cancel, g.Help}),
              QList<QRect>({{7, 251, 75, 25}, {89, 251, 75, 25}, {g.Client.width() - 82, 251, 75, 25}}));
    int c = -1, r = -1;
    EXPECT_FALSE(g.CellAt(QPoint(156, 10), c, r)); // on the grid line
    EXPECT_EQ(SelectorGeometry(lone, 12, QSize(400, 200), QSize(75, 25)).Client, QSize(392, 196));

    QImage pic(4, 3, QImage::Format_RGB32);
    pic.fill(Qt::white);
    pic.setPixel(1, 1, qRgb(0, 128, 0));
    ASSERT_TRUE(pic.save(dir.path("a.png")));
    WriteTextFile(dir.path("broken.bmp"), "not a picture");
    const TWizards list = Listed(dir, "[Wizard1]\nFileName=a.wzd\nXPos=1\nImageName=a.png\n"
                                      "LeftTopColor=0x00FF8000\n"
                                      "[Wizard2]\nFileName=sub/b.wzd\nXPos=1\nImageName=broken.bmp\nTitle=B\n");
    const TWizardEntry &a = list.Entries().at(0), &b = list.Entries().at(1);
    EXPECT_EQ(IniColor(a.LeftTopColor), QColor(0, 0x80, 0xFF));
    // The bottom-left pixel's colour becomes transparent, the rest stays.
    EXPECT_EQ(qAlpha(a.Picture.pixel(0, 0)), 0);
    EXPECT_EQ(a.Picture.pixel(1, 1), qRgb(0, 128, 0));
    // A picture that cannot be loaded: listed, no picture, the note as title.
    EXPECT_TRUE(b.Picture.isNull());
    EXPECT_EQ(b.Title, "Unable to display bitmap");
    // Both on one cell: the later one is drawn and chosen.
    EXPECT_EQ(list.EntryAt(1, 0), &b);
}

} // namespace
