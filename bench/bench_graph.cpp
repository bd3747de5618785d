// Drawing a data set of 1,000,000 points through the graph's draw list (in
// idle-sized steps, as the window does) against a plain QPainter polyline of
// the same points already mapped to pixels (the anchor). The draw list reads
// every point through the vectors' transformations and reduces each pixel
// column to one vertex, so it should stay within a small factor of the
// anchor, or beat it.
//
// The peer: the whole picture (frame, grid, ticks and the curve) of the same
// points at the same size, once by the program's painter and once by
// QCustomPlot (Debian's Qt 6 build, its adaptive sampling on as shipped).
// Goal: the program's painter is the faster. Without QCustomPlot at build
// time the peer is left out and the run says so.
#include "data/Vector.h"
#include "graph/GraphPainter.h"

#include "BenchSupport.h"
#include <QApplication>
#include <QImage>
#include <QPainter>

#ifdef TESSEL_HAVE_QCUSTOMPLOT
#include <qcustomplot.h>
#endif

#include <cmath>
#include <cstdio>
#include <vector>

using namespace tessel;

namespace {

constexpr int kPoints = 1000000;

struct Setup {
    TDoubleVector x, y;
    TDependency d{&x, &y};
    TGraphModel g;
    QImage img{1000, 600, QImage::Format_RGB32};
    TGraphLayout layout;

    Setup() {
        x.SetCapacity(kPoints);
        y.SetCapacity(kPoints);
        for (int i = 0; i < kPoints; ++i) {
            x.Add(i * 1e-5);
            y.Add(1000 * std::exp(-i * 1e-6) + 50 * std::sin(i * 1e-3) + double(int64_t(i) * 7919 % 101));
        }
        g.AddDependency(&d);
        g.AutoScaleXY();
        QPainter p(&img);
        layout = TGraphLayout::Compute(g, img.rect(), p.fontMetrics());
    }
};

Setup &Shared() {
    static Setup s;
    return s;
}

void BM_GraphIdleSteps(benchmark::State &state) {
    Setup &s = Shared();
    for (auto _ : state) {
        QPainter p(&s.img);
        TCurveDrawer dr;
        dr.Start(s.g);
        while (!dr.Step(p, s.g)) {
        }
        benchmark::DoNotOptimize(s.img.bits());
    }
}
BENCHMARK(BM_GraphIdleSteps)->Unit(benchmark::kMillisecond);

void BM_PolylineAnchor(benchmark::State &state) {
    Setup &s = Shared();
    std::vector<QPointF> pts(kPoints);
    TAxisTr &xa = *s.g.XAxis(), &ya = *s.g.YAxis();
    for (int i = 0; i < kPoints; ++i)
        pts[size_t(i)] = QPointF(xa.ValueToPixel(s.x.Value(i)), ya.ValueToPixel(s.y.Value(i)));
    for (auto _ : state) {
        QPainter p(&s.img);
        p.setClipRect(s.layout.Plot);
        p.setPen(QPen(Qt::red, 1));
        p.drawPolyline(pts.data(), kPoints);
        benchmark::DoNotOptimize(s.img.bits());
    }
}
BENCHMARK(BM_PolylineAnchor)->Unit(benchmark::kMillisecond);

void BM_PictureTesselPainter(benchmark::State &state) {
    Setup &s = Shared();
    for (auto _ : state) {
        QImage img(s.img.size(), QImage::Format_RGB32);
        QPainter p(&img);
        RenderGraph(p, s.g, img.rect());
        benchmark::DoNotOptimize(img.bits());
    }
}
BENCHMARK(BM_PictureTesselPainter)->Unit(benchmark::kMillisecond);

#ifdef TESSEL_HAVE_QCUSTOMPLOT
void BM_PictureQCustomPlot(benchmark::State &state) {
    Setup &s = Shared();
    QVector<double> x(kPoints), y(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        x[i] = s.x.Value(i);
        y[i] = s.y.Value(i);
    }
    QCustomPlot plot;
    plot.resize(s.img.size());
    plot.addGraph();
    plot.graph(0)->setPen(QPen(Qt::red, 1));
    plot.graph(0)->setData(x, y, true);
    plot.xAxis->setRange(s.g.XAxis()->RangeMin(), s.g.XAxis()->RangeMax());
    plot.yAxis->setRange(s.g.YAxis()->RangeMin(), s.g.YAxis()->RangeMax());
    for (auto _ : state) {
        // Lays out and draws everything anew into a pixmap of that size.
        QPixmap pic = plot.toPixmap(s.img.width(), s.img.height());
        benchmark::DoNotOptimize(pic.cacheKey());
    }
}
BENCHMARK(BM_PictureQCustomPlot)->Unit(benchmark::kMillisecond);
#endif

} // namespace

int main(int argc, char **argv) {
#ifndef TESSEL_HAVE_QCUSTOMPLOT
    std::fprintf(stderr, "QCustomPlot (Qt 6) was not found at build time: its peer benchmark is left out\n");
#endif
    return tessel::bench::RunBenchmarks<QApplication>(argc, argv);
}
