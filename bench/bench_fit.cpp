// Fitting 1,000 light curves (seven flashes each, with a little noise and
// varying leaves), as an experiment of many leaves or a batch export does.
// Goal: under 1 s for the 1,000 with each model.
#include "data/analysis/LightCurveFit.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <random>
#include <vector>

using namespace tessel;

namespace {

constexpr int kCurves = 1000;

std::vector<std::vector<std::pair<double, double>>> curves() {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> ik(150, 600), alpha(0.25, 0.35);
    std::normal_distribution<double> noise(0, 1);
    const double par[] = {145, 190, 280, 415, 550, 775, 1000};
    std::vector<std::vector<std::pair<double, double>>> all(kCurves);
    for (auto &c : all) {
        const double a = alpha(rng), pm = a * ik(rng);
        for (double I : par)
            c.emplace_back(I, pm * (1 - std::exp(-a * I / pm)) + noise(rng));
    }
    return all;
}

void BM_FitThousandCurves(benchmark::State &state) {
    const auto all = curves();
    const TLightCurveModel model = kLightCurveModels[state.range(0)];
    int failed = 0;
    for (auto _ : state)
        for (const auto &c : all) {
            const TLightCurveFit f = FitLightCurve(c, model);
            failed += !f.Ok();
            benchmark::DoNotOptimize(f.EtrMax.Value);
        }
    state.SetLabel(LightCurveModelName(model).toStdString());
    state.counters["failed"] = failed;
}
BENCHMARK(BM_FitThousandCurves)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
