// Fetching both channels from the virtual instrument on a pseudo-terminal,
// paced at the speed of a real 115200-baud line: what the measurement run's
// data transfer achieves as a fraction of the line rate. Each block costs
// its checksum, the "OK" round trip and the instrument's turnaround on top
// of its bytes.
#include "BenchLink.h"
#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

using namespace tessel;

namespace {

constexpr int32_t kChannelBytes = 64 * 1024;
using bench::kLineBytesPerSecond;

void BM_FetchBothChannels(benchmark::State &state) {
    bench::WithPacedLink(state, "ModelT2", [&](TCommandSet &link) {
        QByteArray a(kChannelBytes, 0), b(kChannelBytes, 0);
        QElapsedTimer elapsed;
        elapsed.start();
        for (auto _ : state) {
            if (!link.GetDataA(a.data(), kChannelBytes) || !link.GetDataB(b.data(), kChannelBytes))
                state.SkipWithError("transfer failed");
        }
        const double bytes = double(state.iterations()) * 2 * kChannelBytes;
        state.SetBytesProcessed(int64_t(bytes));
        // Payload over what the line could have carried in the same time.
        state.counters["line_fraction"] = bytes / (elapsed.nsecsElapsed() * 1e-9) / kLineBytesPerSecond;
    });
}

} // namespace

BENCHMARK(BM_FetchBothChannels)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char **argv) { return tessel::bench::RunBenchmarks<QCoreApplication>(argc, argv); }
