// The event table builder on a protocol of 100 000 primitive actions: with
// the compiler library's parse, from the actions alone, and a plain sort of
// the same records as the anchor. Target: the builder under 50 ms.
#include "common/AppPaths.h"
#include "compiler/Compiler.h"
#include "compiler/CompilerLibrary.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <vector>

using namespace tessel;

namespace {

constexpr int kPoints = 50000; // two actions each: a 2 us pulse every 20 us

// The protocol that yields the actions below.
const QStringList kSource = {QStringLiteral("line M = 0"),
                             QStringLiteral("every 20 us from 0 to %1 us pulse M for 2 us").arg((kPoints - 1) * 20)};

std::vector<TEventRec> Actions() {
    std::vector<TEventRec> a;
    a.reserve(2 * kPoints);
    for (int i = 0; i < kPoints; ++i) {
        a.push_back({i * 20e-6, 0x1});
        a.push_back({i * 20e-6 + 2e-6, kResetBit | 0x1});
    }
    return a;
}

void Configure(TCompiler &c) {
    c.Constants.TimerBits = 32;
    c.Constants.TimeBase = 1e-7;
    c.Constants.MaxEvents = c.Constants.MaxASamples = c.Constants.MaxBSamples = 1 << 20;
}

void BM_BuilderWithParse(benchmark::State &state) {
    QTemporaryDir dir;
    AppPaths::setProgramDir(dir.path()); // the work file goes there
    TCompiler c;
    Configure(c);
    QStringList log;
    for (auto _ : state) {
        log.clear();
        if (c.CompileProtocol(kSource, log, nullptr) != kBuildOk) {
            state.SkipWithError("build failed");
            break;
        }
    }
    state.counters["events"] = c.Events.Count();
    state.counters["samplesA"] = c.SampleTimesA.Count();
    AppPaths::setProgramDir({});
}

void BM_BuilderFromActions(benchmark::State &state) {
    const std::vector<TEventRec> actions = Actions();
    TCompiler c;
    Configure(c);
    QStringList log;
    for (auto _ : state) {
        c.Clear();
        log.clear();
        for (const TEventRec &a : actions)
            c.AddPrimAction(a.Time, a.Code);
        if (c.BuildEventTable(log) != kBuildOk) {
            state.SkipWithError("build failed");
            break;
        }
    }
    state.counters["actions"] = double(actions.size());
    state.counters["events"] = c.Events.Count();
}

void BM_PlainSortAnchor(benchmark::State &state) {
    const std::vector<TEventRec> actions = Actions();
    for (auto _ : state) {
        std::vector<TEventRec> copy = actions;
        std::sort(copy.begin(), copy.end(), [](const TEventRec &a, const TEventRec &b) { return a.Time < b.Time; });
        benchmark::DoNotOptimize(copy.data());
    }
    state.counters["actions"] = double(actions.size());
}

BENCHMARK(BM_BuilderWithParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuilderFromActions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSortAnchor)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    SetCompilerLibrary(LoadCompilerLibrary(AppPaths::programDir()));
    if (!CompilerLibrary())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetCompilerLibrary(nullptr);
    return 0;
}
