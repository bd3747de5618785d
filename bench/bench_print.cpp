// The experiment printout of 10 measurements x 2 channels = 20 data sets of
// 32768 points each, with the data table and the notes, composed and
// written into a PDF file as the Print command and tessel-cli print do,
// next to drawing the same graph on a screen-sized image (the anchor).
// Goal: the printout under 2 s.
#include "app/ExperimentDoc.h"
#include "app/ExperimentPrintout.h"
#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "data/ExperimentFile.h"
#include "graph/DataEditModel.h"
#include "graph/GraphModel.h"
#include "graph/GraphPainter.h"
#include "settings/EnvSetup.h"

#include "BenchSupport.h"
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace tessel;

namespace {

constexpr int kMeasurements = 10;

// The experiment as the Open command leaves it: document, graph, table rows.
struct Opened {
    QTemporaryDir dir;
    QString include = bench::MakeIncludeDir(dir.path());
    QString pdf = dir.filePath(QStringLiteral("printout.pdf"));
    TCompiler compiler;
    TEnvSetup env;
    TGraphModel graph, ab;
    std::unique_ptr<TExperimentDoc> doc;
    TDataEditModel rows;

    Opened() {
        TExperimentModel m;
        m.Title = QStringLiteral("Twenty channels");
        bench::AddMeasurements(m, kMeasurements);
        for (int i = 0; i < 40; ++i)
            m.Description << QStringLiteral("Note line %1: leaf disc, dark adapted, 22 degrees").arg(i + 1);
        const QString path = dir.filePath(QStringLiteral("twenty.exp"));
        SaveExperimentFile(m, path);
        doc = std::make_unique<TExperimentDoc>(compiler, env, include, ModelT1, TChannelScaling{});
        doc->SetGraphs(&graph, &ab);
        doc->Load(path);
        rows.Graph = &graph;
        rows.RebuildRows();
    }
};

Opened &Shared() {
    static Opened o;
    return o;
}

void BM_PrintoutToPdf(benchmark::State &state) {
    Opened &o = Shared();
    if (o.graph.DependencyCount() != 2 * kMeasurements)
        state.SkipWithError("the experiment did not load");
    TPrintChoices choices;
    choices.Data = choices.Notes = true;
    choices.GraphFont = choices.TableFont = QGuiApplication::font();
    int pages = 0;
    for (auto _ : state) {
        TPagePrinter prn;
        SetupExperimentPrinter(prn);
        const TPrintout printout = ExperimentPrintout(
            *o.doc, o.rows,
            PrintGraphDrawer(o.graph, [&o](QPainter &p, const QRect &r) { RenderGraph(p, o.graph, r); }), choices);
        pages = PrintToPdf(prn, o.pdf, [&](QPagedPaintDevice &d) { ComposePrintout(prn, d, printout); });
    }
    state.counters["pages"] = pages;
    state.counters["PDF_kB"] = double(QFileInfo(o.pdf).size()) / 1e3;
}
BENCHMARK(BM_PrintoutToPdf)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GraphOnScreenAnchor(benchmark::State &state) {
    Opened &o = Shared();
    QImage img(940, 580, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&img);
        RenderGraph(p, o.graph, img.rect());
        benchmark::DoNotOptimize(img.bits());
    }
}
BENCHMARK(BM_GraphOnScreenAnchor)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) { return tessel::bench::RunBenchmarks<QGuiApplication>(argc, argv); }
