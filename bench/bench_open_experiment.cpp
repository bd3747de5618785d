// Opening an experiment of 100 measurements x 2 channels x 32768 samples as
// the Open command does (the document, its graph and A/B series) and painting
// its graph page once, against a plain read of the same bytes (the anchor),
// and each half alone. Goal: under 1 s and within 3x of the plain read.
#include "graph/GraphPainter.h"

#include "BenchSupport.h"
#include <QImage>
#include <QPainter>

using namespace tessel;

namespace {

// Lays the graph out and draws every step of it into the image, as the
// window's idle processing does.
void PaintWhole(TGraphModel &graph, QImage &img) {
    QPainter p(&img);
    TGraphLayout::Compute(graph, img.rect(), p.fontMetrics());
    TCurveDrawer dr;
    dr.Start(graph);
    while (!dr.Step(p, graph)) {
    }
    benchmark::DoNotOptimize(img.bits());
}

void BM_OpenAndPaint(benchmark::State &state) {
    bench::ExperimentFolder &big = bench::BigExperiment();
    QImage img(1000, 600, QImage::Format_RGB32);
    for (auto _ : state) {
        bench::OpenedExperiment opened(state, big);
        PaintWhole(opened.Graph, img);
    }
}
BENCHMARK(BM_OpenAndPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

// The two halves of the above: the document alone, and one paint of it.
void BM_OpenDocument(benchmark::State &state) {
    bench::ExperimentFolder &big = bench::BigExperiment();
    for (auto _ : state)
        bench::OpenedExperiment opened(state, big);
}
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintOpened(benchmark::State &state) {
    bench::OpenedExperiment opened(state, bench::BigExperiment());
    QImage img(1000, 600, QImage::Format_RGB32);
    for (auto _ : state)
        PaintWhole(opened.Graph, img);
}
BENCHMARK(BM_PaintOpened)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainReadAnchor(benchmark::State &state) {
    const QString path = bench::BigExperiment().Path;
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            state.SkipWithError("cannot read");
        benchmark::DoNotOptimize(file.readAll().constData());
    }
}
BENCHMARK(BM_PlainReadAnchor)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

// --write-experiment PATH writes the 65 MB file alone, for bench/python_read.py.
int main(int argc, char **argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--write-experiment") {
        TExperimentModel m;
        bench::AddMeasurements(m, 100);
        return SaveExperimentFile(m, QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    return tessel::bench::RunBenchmarks<QGuiApplication>(argc, argv);
}
