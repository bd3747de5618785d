// Saving and loading the 65 MB experiment against a plain write and read of
// the same number of bytes (the physical anchor). Goals: save at 0.76 of the
// write's rate, load at 0.63 of the read's.
#include "data/ExperimentFile.h"

#include "BenchSupport.h"
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>

using namespace tessel;

namespace {

struct Setup {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("bench.exp"));
    int64_t bytes = 0;
    TExperimentModel model;

    Setup() {
        bench::AddMeasurements(model, 100);
        SaveExperimentFile(model, path);
        bytes = QFile(path).size();
    }
};

Setup &Shared() {
    static Setup s;
    return s;
}

void BM_SaveExperiment(benchmark::State &state) {
    Setup &s = Shared();
    for (auto _ : state)
        if (!SaveExperimentFile(s.model, s.path))
            state.SkipWithError("save failed");
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

// Counts the page faults per load: storage the process has to take fresh
// from the system costs one per 4 KiB, which the plain read never pays.
void BM_LoadExperiment(benchmark::State &state) {
    Setup &s = Shared();
    const int64_t faults = bench::PageFaults();
    for (auto _ : state) {
        TExperimentModel m;
        if (!LoadExperimentFile(m, s.path))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(m.RecordCount());
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
    state.counters["faults"] =
        benchmark::Counter(double(bench::PageFaults() - faults), benchmark::Counter::kAvgIterations);
}

// Same bytes through a temporary file, flushed, synced and renamed: what a
// save that survives a crash must at least cost.
void BM_PlainWrite(benchmark::State &state) {
    Setup &s = Shared();
    const QByteArray block(1 << 20, '\x5a');
    const QString path = s.dir.filePath(QStringLiteral("plain.bin"));
    for (auto _ : state) {
        QSaveFile f(path);
        f.open(QIODevice::WriteOnly);
        for (int64_t left = s.bytes; left > 0; left -= block.size())
            f.write(block.constData(), std::min<int64_t>(left, block.size()));
        f.commit();
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

// Plain write without the sync, for comparison.
void BM_PlainWriteNoSync(benchmark::State &state) {
    Setup &s = Shared();
    const QByteArray block(1 << 20, '\x5a');
    const QString path = s.dir.filePath(QStringLiteral("plain.bin"));
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        for (int64_t left = s.bytes; left > 0; left -= block.size())
            f.write(block.constData(), std::min<int64_t>(left, block.size()));
        f.close();
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

// The same bytes through one reused buffer: the bare copy from the cache.
void BM_PlainRead(benchmark::State &state) {
    Setup &s = Shared();
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (auto _ : state) {
        QFile f(s.path);
        f.open(QIODevice::ReadOnly);
        int64_t total = 0;
        while (int64_t n = f.read(block.data(), block.size()))
            if (n > 0)
                total += n;
            else
                break;
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

// The same bytes into reused storage of the file's size, as a loader that
// keeps its freed storage places them: no page faults, but a destination too
// large for the cache, unlike the one-megabyte buffer above.
void BM_PlainReadWhole(benchmark::State &state) {
    Setup &s = Shared();
    std::unique_ptr<char[]> all(new char[size_t(s.bytes)]);
    std::memset(all.get(), 0, size_t(s.bytes));
    for (auto _ : state) {
        QFile f(s.path);
        f.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        benchmark::DoNotOptimize(f.read(all.get(), s.bytes));
        benchmark::DoNotOptimize(all.get());
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

// The same bytes read into freshly allocated memory, as any loader must
// place them: includes the page faults of new storage.
void BM_PlainReadFresh(benchmark::State &state) {
    Setup &s = Shared();
    for (auto _ : state) {
        QFile f(s.path);
        f.open(QIODevice::ReadOnly);
        std::unique_ptr<char[]> all(new char[size_t(s.bytes)]);
        benchmark::DoNotOptimize(f.read(all.get(), s.bytes));
        benchmark::DoNotOptimize(all.get());
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

} // namespace

BENCHMARK(BM_SaveExperiment)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainWriteNoSync)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadExperiment)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainReadWhole)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainReadFresh)->Unit(benchmark::kMillisecond)->UseRealTime();
int main(int argc, char **argv) { return tessel::bench::RunBenchmarks<QCoreApplication>(argc, argv); }
