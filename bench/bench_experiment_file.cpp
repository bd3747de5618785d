// Saving and loading the 65 MB experiment against a plain write and read of
// the same number of bytes (the physical anchor). Goals: save at 0.76 of the
// write's rate, load at 0.63 of the read's.
#include "BenchSupport.h"

#include <QSaveFile>
#include <cstring>

using namespace tessel;

namespace {

int64_t FileBytes() { return QFile(bench::BigExperiment().Path).size(); }

void BM_SaveExperiment(benchmark::State &state) {
    const QString path = bench::BigExperiment().Path;
    TExperimentModel m;
    bench::AddMeasurements(m, 100);
    for (auto _ : state)
        if (!SaveExperimentFile(m, path))
            state.SkipWithError("save failed");
    state.SetBytesProcessed(state.iterations() * FileBytes());
}

// Counts the page faults per load: storage the process has to take fresh
// from the system costs one per 4 KiB, which the plain read never pays.
void BM_LoadExperiment(benchmark::State &state) {
    const QString path = bench::BigExperiment().Path;
    const int64_t faults = bench::PageFaults();
    for (auto _ : state) {
        TExperimentModel m;
        if (!LoadExperimentFile(m, path))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(m.RecordCount());
    }
    state.SetBytesProcessed(state.iterations() * FileBytes());
    state.counters["faults"] =
        benchmark::Counter(double(bench::PageFaults() - faults), benchmark::Counter::kAvgIterations);
}

// Same bytes through a temporary file, flushed, synced and renamed: what a
// save that survives a crash must at least cost.
void BM_PlainWrite(benchmark::State &state) {
    const QByteArray block(1 << 20, '\x5a');
    const QString path = bench::BigExperiment().Dir.filePath(QStringLiteral("plain.bin"));
    const int64_t bytes = FileBytes();
    for (auto _ : state) {
        QSaveFile f(path);
        f.open(QIODevice::WriteOnly);
        for (int64_t left = bytes; left > 0; left -= block.size())
            f.write(block.constData(), std::min<int64_t>(left, block.size()));
        f.commit();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

// The same bytes through one reused buffer: the bare copy from the cache.
void BM_PlainRead(benchmark::State &state) {
    const QString path = bench::BigExperiment().Path;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        while (f.read(block.data(), block.size()) > 0) {
        }
        benchmark::DoNotOptimize(block.data());
    }
    state.SetBytesProcessed(state.iterations() * FileBytes());
}

// The same bytes into reused storage of the file's size, as a loader that
// keeps its freed storage places them: no page faults, but a destination too
// large for the cache, unlike the one-megabyte buffer above.
void BM_PlainReadWhole(benchmark::State &state) {
    const QString path = bench::BigExperiment().Path;
    const int64_t bytes = FileBytes();
    std::unique_ptr<char[]> all(new char[size_t(bytes)]);
    std::memset(all.get(), 0, size_t(bytes));
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        benchmark::DoNotOptimize(f.read(all.get(), bytes));
        benchmark::DoNotOptimize(all.get());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

} // namespace

BENCHMARK(BM_SaveExperiment)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadExperiment)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainReadWhole)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv) { return tessel::bench::RunBenchmarks<QCoreApplication>(argc, argv); }
