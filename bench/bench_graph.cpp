// Drawing a data set of 1,000,000 points through the graph's draw list (in
// idle-sized steps, as the window does) against a plain QPainter polyline of
// the same points already mapped to pixels (the anchor). The draw list reads
// every point through the vectors' transformations and reduces each pixel
// column to one vertex, so it should stay within a small factor of the
// anchor, or beat it.
#include "data/Vector.h"
#include "graph/GraphPainter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <cmath>
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
    int steps = 0;
    for (auto _ : state) {
        QPainter p(&s.img);
        TCurveDrawer dr;
        dr.Start(s.g);
        steps = 0;
        while (!dr.Step(p, s.g))
            ++steps;
        benchmark::DoNotOptimize(s.img.bits());
    }
    state.counters["steps"] = steps + 1;
    state.SetItemsProcessed(state.iterations() * kPoints);
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
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_PolylineAnchor)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) { return tessel::bench::RunBenchmarks<QGuiApplication>(argc, argv); }
