#include "graph/GraphPainter.h"
#include "GraphTestSupport.h"
#include "data/Transformation.h"
#include "data/Vector.h"
#include "graph/GraphFigure.h"
#include "support/TestSupport.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct Scene {
    TGraphModel g;
    Curve k;
    TDoubleVector &x = k.x, &y = k.y;
    TDependency &d = k.d;
    QImage img{300, 200, QImage::Format_RGB32};
    TGraphLayout l;
    Scene(const Curve::Points &pts, double x0 = 0, double x1 = 10) : k(pts) {
        d.Color = 0x0000FF;
        g.Options = 0; // no grid, cursors or frame: only the curve is red
        g.AddDependency(&d);
        g.XAxis()->SetRange(x0, x1);
        g.YAxis()->SetRange(0, 10);
    }
    int Draw(int budget = 20000) {
        img.fill(Qt::white);
        QPainter p(&img);
        l = TGraphLayout::Compute(g, img.rect(), p.fontMetrics());
        PaintFrame(p, g, l);
        TCurveDrawer dr;
        dr.Start(g);
        return dr.DrawAll(p, g, budget);
    }
    QPoint At(double vx, double vy) { return {g.XAxis()->ValueToPixel(vx), g.YAxis()->ValueToPixel(vy)}; }
    bool Red(QPoint p) const { return img.pixelColor(p) == QColor(Qt::red); }
    int RedCount() const {
        int n = 0;
        for (int j = 0; j < img.height(); ++j)
            for (int i = 0; i < img.width(); ++i)
                n += img.pixelColor(i, j) == QColor(Qt::red);
        return n;
    }
};

TEST(GraphPainter, MinMaxStrokeKeepsTheExtremesWithTheCurvesPen) {
    // Ten points in one pixel column: min-max draws only the vertical stroke,
    // before any line of the curve could have set the pen; the average loses
    // the extremes.
    struct Case {
        TDrawStyle style;
        TPenStyle line;
        int thickness;
        bool beside;     // red 2 pixels beside the stroke: its width
        int least, most; // red pixels along the stroke's column
    } cases[] = {
        {dsMinMax, psSolid, 5, true, 60, 1000}, {dsMinMax, psClear, 3, false, 0, 1}, {dsAvg, psClear, 1, false, 1, 1}};
    for (const Case &c : cases) {
        Scene s({});
        for (int i = 0; i < 10; ++i) {
            s.x.Add(5 + i * 1e-5);
            s.y.Add(i % 2 ? 8 : 2);
        }
        s.d.DrawStyle = c.style;
        s.d.LineStyle = c.line;
        s.d.Thickness = c.thickness;
        s.Draw();
        const QPoint top = s.At(5, 8), bottom = s.At(5, 2);
        int along = 0, other = 0;
        for (int y = top.y(); y <= bottom.y(); ++y)
            along += s.Red({top.x(), y});
        for (int y = top.y(); y <= bottom.y(); ++y)
            for (int x = top.x() - 4; x <= top.x() + 4; ++x)
                other += s.img.pixelColor(x, y) != QColor(Qt::white) && !s.Red({x, y});
        EXPECT_TRUE(along >= c.least && along <= c.most) << c.line << ": " << along;
        EXPECT_EQ(s.Red(s.At(5, 5) + QPoint(2, 0)), c.beside) << c.line;
        if (c.style == dsAvg)
            EXPECT_TRUE(s.Red(s.At(5, 5))); // the one pixel is the mean
        EXPECT_EQ(other, 0) << c.line;      // never another pen's colour
    }
}

// Stored times behind a chain of scalings are read straight from their
// block; the picture must equal that of the same times computed point by
// point. The two steps do not commute, so an order mistake shows.
TEST(GraphPainter, ScaledStoredTimesDrawAsComputedOnes) {
    Scene stored({});
    TLinTransformation inner, outer, off, yScale;
    inner.MulKoef = 2, inner.AddKoef = 1;
    outer.MulKoef = 3, outer.AddKoef = -4;
    outer.SetTransformBefore(&inner);
    stored.x.SetTransformation(&outer);
    // y: a switched-off step inside the chain counts for nothing.
    off.MulKoef = 7, off.Enabled = false;
    yScale.MulKoef = 0.5, yScale.AddKoef = 2.5;
    yScale.SetTransformBefore(&off);
    stored.y.SetTransformation(&yScale);
    const auto rawY = [](int i) { return 5 + 8 * std::sin(i * 0.01); };
    for (int i = 0; i < 3000; ++i) {
        stored.x.Add(i * 0.0005 + 0.5); // shown as 6x - 1: 2 .. 11
        stored.y.Add(rawY(i));
    }
    stored.d.DrawStyle = dsPoint;
    stored.Draw();

    Scene computed({});
    TVirtualVector vx, vy;
    vx.SetCount(3000);
    vy.SetCount(3000);
    vx.OnCalcItem = [](const TVirtualVector &, int32_t i, double &v) { v = 3 * (2 * (i * 0.0005 + 0.5) + 1) - 4; };
    vy.OnCalcItem = [&](const TVirtualVector &, int32_t i, double &v) { v = 0.5 * rawY(i) + 2.5; };
    computed.d.X = &vx;
    computed.d.Y = &vy;
    computed.d.DrawStyle = dsPoint;
    computed.Draw();
    EXPECT_GT(stored.RedCount(), 1000);
    EXPECT_EQ(stored.img, computed.img);
    stored.x.SetTransformation(nullptr);
    stored.y.SetTransformation(nullptr);
}

// Marks are copied from a picture drawn once where that gives the very
// pixels; a recorded picture replays every mark as a shape, which is the
// reference. Moved and clipped painters included.
TEST(GraphPainter, CopiedMarksMatchDrawnOnes) {
    struct Case {
        TPointStyle mark;
        TBrushStyle brush;
        int size;
        TPenStyle line;
    } cases[] = {{ptCircle, bsClear, 7, psDash},
                 {ptCircle, bsSolid, 1, psClear},
                 {ptSquare, bsCross, 6, psClear},
                 {ptSquare, bsSolid, 0, psSolid}};
    for (const Case &c : cases) {
        Scene s({});
        for (int i = 0; i < 2000; ++i) {
            s.x.Add(-1 + i * 0.006); // runs past both ends of the plot
            s.y.Add(5 + 6 * std::sin(i * 0.03));
        }
        s.d.DrawStyle = dsPoint;
        s.d.PointStyle = c.mark;
        s.d.Brush = {0x00FF00, c.brush};
        s.d.PointSize = c.size;
        s.d.LineStyle = c.line;
        for (bool moved : {false, true}) {
            const auto draw = [&](QPainter &p) {
                if (moved) {
                    p.translate(7, -3);
                    p.setClipRect(40, 20, 200, 120);
                }
                TCurveDrawer dr;
                dr.Start(s.g);
                dr.DrawAll(p, s.g);
            };
            s.Draw(); // lays out the axes
            s.img.fill(Qt::white);
            QImage replayed = s.img.copy();
            QPicture recorded;
            for (QPaintDevice *device : std::initializer_list<QPaintDevice *>{&s.img, &recorded}) {
                QPainter p(device);
                draw(p);
            }
            QPainter(&replayed).drawPicture(0, 0, recorded);
            EXPECT_EQ(s.img, replayed) << int(c.mark) << " " << int(c.brush) << " " << c.size << " " << moved;
        }
    }
}

// A red level line at y = 7 on a 0..10 graph, written in each figure format.
TEST(GraphFigure, PngSvgAndPdfShowTheCurveWhereTheGraphDrawsIt) {
    TestDir dir;
    Curve level(0, 10, 7, 7);
    level.d.Color = 0x0000FF;
    TGraphModel g;
    g.Options = grDrawGrid | grDrawFrame; // pictures never show cursors
    g.AddDependency(&level.d);
    g.XAxis()->SetRange(0, 10);
    g.YAxis()->SetRange(0, 10);
    const QSize size(400, 300);
    const QFont font = QGuiApplication::font();
    const TFigureDrawer draw = [&g](QPainter &p, const QRect &r) { RenderGraph(p, g, r); };
    // Where the line must be: the painter's own layout of the same size.
    QImage probe(size, QImage::Format_RGB32);
    QPainter painter(&probe);
    painter.setFont(font);
    TGraphLayout::Compute(g, QRect(QPoint(), size), painter.fontMetrics());
    const int row = g.YAxis()->ValueToPixel(7);
    ASSERT_GT(row, 20);

    const QString png = dir.path("level.png");
    ASSERT_TRUE(WriteFigure(png, size, font, draw, "Level"));
    const QImage img(png);
    ASSERT_EQ(img.size(), size);
    int onRow = 0, elsewhere = 0;
    for (int j = 0; j < img.height(); ++j)
        for (int i = 0; i < img.width(); ++i)
            if (img.pixelColor(i, j) == QColor(Qt::red))
                ++(std::abs(j - row) <= 1 ? onRow : elsewhere);
    EXPECT_GT(onRow, size.width() / 2); // across the plot
    EXPECT_EQ(elsewhere, 0);

    const QString svg = dir.path("level.svg");
    ASSERT_TRUE(WriteFigure(svg, size, font, draw, "Level"));
    const QString text = ReadTextFile(svg);
    EXPECT_TRUE(text.contains("viewBox=\"0 0 400 300\""));
    // The generator puts the pen on the group around the polyline; every
    // vertex lies on the row of y = 7, within the pen's width.
    const QString red = text.section("stroke=\"#ff0000\"", 1).section("</g>", 0, 0);
    const QString points = red.section("points=\"", 1).section('"', 0, 0);
    ASSERT_FALSE(points.isEmpty());
    for (const QString &pt : points.split(' ', Qt::SkipEmptyParts))
        EXPECT_NEAR(pt.section(',', 1, 1).toDouble(), row, 1.5) << pt.toStdString();

    const QString pdf = dir.path("level.pdf");
    ASSERT_TRUE(WriteFigure(pdf, size, font, draw, "Level"));
    // 400 x 300 px at 96 per inch is 300 x 225 pt.
    EXPECT_TRUE(ReadTextFile(pdf).contains("/MediaBox [0 0 300.000000 225.000000]"));
}

} // namespace
