// Opening an experiment of 100 measurements x 2 channels x 32768 samples as
// the Open command does (the document, its graph and A/B series) and painting
// its graph page once, against a plain read of the same bytes (the anchor),
// and each half alone. Goal: under 1 s and within 3x of the plain read.
#include "app/ExperimentDoc.h"
#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "data/ExperimentFile.h"
#include "graph/GraphModel.h"
#include "graph/GraphPainter.h"
#include "settings/EnvSetup.h"

#include "BenchSupport.h"
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace tessel;

namespace {

// The 65 MB file; also written on its own by --write-experiment PATH, for
// bench/python_read.py.
void WriteBigExperiment(const QString &path) {
    TExperimentModel m;
    bench::AddMeasurements(m, 100);
    SaveExperimentFile(m, path);
}

struct Files {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("big.exp"));
    QString include = bench::MakeIncludeDir(dir.path());
    Files() { WriteBigExperiment(path); }
};

Files &Shared() {
    static Files f;
    return f;
}

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
    Files &f = Shared();
    TCompiler compiler;
    TEnvSetup env;
    QImage img(1000, 600, QImage::Format_RGB32);
    for (auto _ : state) {
        TGraphModel graph, ab;
        TExperimentDoc doc(compiler, env, f.include, ModelT1, TChannelScaling{});
        doc.SetGraphs(&graph, &ab);
        if (!doc.Load(f.path))
            state.SkipWithError("the file did not load");
        PaintWhole(graph, img);
    }
    state.counters["MB"] = double(QFileInfo(f.path).size()) / 1e6;
}
BENCHMARK(BM_OpenAndPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

// The two halves of the above: the document alone, and one paint of it.
void BM_OpenDocument(benchmark::State &state) {
    Files &f = Shared();
    TCompiler compiler;
    TEnvSetup env;
    for (auto _ : state) {
        TGraphModel graph, ab;
        TExperimentDoc doc(compiler, env, f.include, ModelT1, TChannelScaling{});
        doc.SetGraphs(&graph, &ab);
        if (!doc.Load(f.path))
            state.SkipWithError("the file did not load");
    }
}
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintOpened(benchmark::State &state) {
    Files &f = Shared();
    TCompiler compiler;
    TEnvSetup env;
    TGraphModel graph, ab;
    TExperimentDoc doc(compiler, env, f.include, ModelT1, TChannelScaling{});
    doc.SetGraphs(&graph, &ab);
    if (!doc.Load(f.path))
        state.SkipWithError("the file did not load");
    QImage img(1000, 600, QImage::Format_RGB32);
    for (auto _ : state) {
        PaintWhole(graph, img);
    }
}
BENCHMARK(BM_PaintOpened)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainReadAnchor(benchmark::State &state) {
    Files &f = Shared();
    for (auto _ : state) {
        QFile file(f.path);
        if (!file.open(QIODevice::ReadOnly))
            state.SkipWithError("cannot read");
        const QByteArray bytes = file.readAll();
        benchmark::DoNotOptimize(bytes.constData());
    }
}
BENCHMARK(BM_PlainReadAnchor)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--write-experiment") {
        WriteBigExperiment(QString::fromLocal8Bit(argv[2]));
        return QFileInfo::exists(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    return tessel::bench::RunBenchmarks<QGuiApplication>(argc, argv);
}
