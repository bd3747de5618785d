// The event table builder on 100 000 primitive actions (a 2 us pulse every
// 20 us on one line), against a plain sort of the same records (the anchor).
// Goal: the builder within 4 times the sort.
#include "BenchSupport.h"

#include <algorithm>
#include <vector>

using namespace tessel;

namespace {

constexpr int kPoints = 50000;

std::vector<TEventRec> Actions() {
    std::vector<TEventRec> a;
    for (int i = 0; i < kPoints; ++i) {
        a.push_back({i * 20e-6, 0x1});
        a.push_back({i * 20e-6 + 2e-6, kResetBit | 0x1});
    }
    return a;
}

void BM_BuilderFromActions(benchmark::State &state) {
    const std::vector<TEventRec> actions = Actions();
    TCompiler c;
    c.Constants.TimerBits = 32;
    c.Constants.TimeBase = 1e-7;
    c.Constants.MaxEvents = c.Constants.MaxASamples = c.Constants.MaxBSamples = 1 << 20;
    QStringList log;
    for (auto _ : state) {
        c.Clear();
        log.clear();
        for (const TEventRec &a : actions)
            c.AddPrimAction(a.Time, a.Code);
        if (c.BuildEventTable(log) != kBuildOk)
            state.SkipWithError("build failed");
    }
}

void BM_PlainSortAnchor(benchmark::State &state) {
    const std::vector<TEventRec> actions = Actions();
    for (auto _ : state) {
        std::vector<TEventRec> copy = actions;
        std::sort(copy.begin(), copy.end(), [](const TEventRec &a, const TEventRec &b) { return a.Time < b.Time; });
        benchmark::DoNotOptimize(copy.data());
    }
}

} // namespace

BENCHMARK(BM_BuilderFromActions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSortAnchor)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) { return tessel::bench::RunBenchmarks<QCoreApplication>(argc, argv); }
