// The experiment printout of 10 measurements x 2 channels = 20 data sets of
// 32768 points each, with the data table and 40 lines of notes, composed and
// written into a PDF file as the Print command and tessel-cli print do,
// next to drawing the same graph on a screen-sized image (the anchor).
// Goal: the printout under 2 s.
#include "app/ExperimentPrintout.h"
#include "graph/DataEditModel.h"
#include "graph/GraphPainter.h"

#include "BenchSupport.h"
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>

using namespace tessel;

namespace {

constexpr int kMeasurements = 10;

void BM_PrintoutToPdf(benchmark::State &state) {
    QStringList notes;
    for (int i = 0; i < 40; ++i)
        notes << QStringLiteral("Note line %1: leaf disc, dark adapted, 22 degrees").arg(i + 1);
    const bench::ExperimentFolder folder(kMeasurements, notes);
    bench::OpenedExperiment opened(state, folder);
    TDataEditModel rows;
    rows.Graph = &opened.Graph;
    rows.RebuildRows();
    TPrintChoices choices;
    choices.Data = choices.Notes = true;
    choices.GraphFont = choices.TableFont = QGuiApplication::font();
    const auto render = [&opened](QPainter &p, const QRect &r) { RenderGraph(p, opened.Graph, r); };
    for (auto _ : state) {
        TPagePrinter prn;
        SetupExperimentPrinter(prn);
        const TPrintout printout =
            ExperimentPrintout(opened.Doc, rows, PrintGraphDrawer(opened.Graph, render), choices);
        state.counters["pages"] = PrintToPdf(prn, folder.Dir.filePath(QStringLiteral("printout.pdf")),
                                             [&](QPagedPaintDevice &d) { ComposePrintout(prn, d, printout); });
    }
}
BENCHMARK(BM_PrintoutToPdf)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GraphOnScreenAnchor(benchmark::State &state) {
    const bench::ExperimentFolder folder(kMeasurements);
    bench::OpenedExperiment opened(state, folder);
    QImage img(940, 580, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&img);
        RenderGraph(p, opened.Graph, img.rect());
        benchmark::DoNotOptimize(img.bits());
    }
}
BENCHMARK(BM_GraphOnScreenAnchor)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) { return tessel::bench::RunBenchmarks<QGuiApplication>(argc, argv); }
