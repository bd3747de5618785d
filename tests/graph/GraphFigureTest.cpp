#include "graph/GraphFigure.h"
#include "data/Vector.h"
#include "graph/GraphPainter.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

// A red level line at y = 7 over x 0..10 on a 0..10 graph.
struct Figure {
    TGraphModel g;
    TDoubleVector x, y;
    TDependency d{&x, &y};
    QSize size{400, 300};
    QFont font = QGuiApplication::font();
    Figure() {
        for (int i = 0; i <= 10; ++i) {
            x.Add(i);
            y.Add(7);
        }
        d.Color = 0x0000FF;
        g.Caption = "Level";
        g.Options = grDrawGrid | grDrawFrame; // pictures never show cursors
        g.AddDependency(&d);
        g.XAxis()->SetRange(0, 10);
        g.YAxis()->SetRange(0, 10);
    }
    TFigureDrawer drawer() {
        return [this](QPainter &p, const QRect &r) { RenderGraph(p, g, r); };
    }
    // Where the line must be: the painter's own layout of the same size.
    int LineRow() {
        QImage probe(size, QImage::Format_RGB32);
        QPainter p(&probe);
        p.setFont(font);
        const TGraphModel::TView view = g.SaveView();
        TGraphLayout::Compute(g, QRect(QPoint(), size), p.fontMetrics());
        const int row = g.YAxis()->ValueToPixel(7);
        g.RestoreView(view);
        return row;
    }
};

TEST(GraphFigure, PngAndSvgShowTheCurveWhereTheGraphDrawsIt) {
    TestDir dir;
    Figure f;
    const int row = f.LineRow();
    ASSERT_GT(row, 20);

    const QString png = dir.path("level.png");
    ASSERT_TRUE(WriteFigure(png, f.size, f.font, f.drawer(), "Level"));
    const QImage img(png);
    ASSERT_EQ(img.size(), f.size);
    int onRow = 0, elsewhere = 0;
    for (int j = 0; j < img.height(); ++j)
        for (int i = 0; i < img.width(); ++i)
            if (img.pixelColor(i, j) == QColor(Qt::red))
                ++(std::abs(j - row) <= 1 ? onRow : elsewhere);
    EXPECT_GT(onRow, f.size.width() / 2); // across the plot
    EXPECT_EQ(elsewhere, 0);

    const QString svg = dir.path("level.svg");
    ASSERT_TRUE(WriteFigure(svg, f.size, f.font, f.drawer(), "Level"));
    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString viewBox;
    int redPolylines = 0;
    QString stroke; // the generator puts the pen on the enclosing group
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (xml.name() == u"g")
            stroke = a.value("stroke").toString();
        if (xml.name() == u"svg")
            viewBox = a.value("viewBox").toString();
        if (xml.name() == u"polyline" && stroke == "#ff0000") {
            ++redPolylines;
            // Every vertex on the row of y = 7, within the pen's width.
            for (const QString &pt : a.value("points").toString().split(' ', Qt::SkipEmptyParts))
                EXPECT_NEAR(pt.section(',', 1, 1).toDouble(), row, 1.5) << pt.toStdString();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(viewBox, "0 0 400 300");
    EXPECT_GT(redPolylines, 0);

    const QString pdf = dir.path("level.pdf");
    ASSERT_TRUE(WriteFigure(pdf, f.size, f.font, f.drawer(), "Level"));
    EXPECT_TRUE(ReadTextFile(pdf).startsWith("%PDF"));
    // 400 x 300 px at 96 per inch is 300 x 225 pt.
    EXPECT_TRUE(ReadTextFile(pdf).contains("/MediaBox [0 0 300.000000 225.000000]"));
}

} // namespace
