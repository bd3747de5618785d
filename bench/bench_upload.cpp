// Uploading a firmware image to the virtual instrument on a pseudo-terminal,
// paced at the speed of a real 115200-baud line in both directions: what
// "Update BIOS" achieves as a fraction of the line rate. 1,000,000 bytes are
// 244 blocks of 4096 bytes and a rest; each block costs its checksum, the
// wait for "OK" and the instrument's turnaround on top of its bytes.
#include "BenchLink.h"
#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

using namespace tessel;

namespace {

constexpr int32_t kImageBytes = 1000000;
using bench::kLineBytesPerSecond;

void BM_UploadImage(benchmark::State &state) {
    bench::WithPacedLink(state, "ModelU", [&](TCommandSet &link) {
        QByteArray image(kImageBytes, 0);
        for (int32_t i = 0; i < kImageBytes; ++i)
            image[i] = char((i * 31 + 7) & 0xFF);
        double loadSeconds = 0, programSeconds = 0;
        for (auto _ : state) {
            QElapsedTimer t;
            t.start();
            if (!link.LoadData("LDP", image)) {
                state.SkipWithError("upload refused");
                break;
            }
            loadSeconds += t.nsecsElapsed() * 1e-9;
            t.restart();
            if (!link.ProgramFlash())
                state.SkipWithError("programming failed");
            programSeconds += t.nsecsElapsed() * 1e-9;
        }
        const double bytes = double(state.iterations()) * kImageBytes;
        state.SetBytesProcessed(int64_t(bytes));
        // Image bytes over what the line could have carried while they were loaded.
        state.counters["line_fraction"] = loadSeconds > 0 ? bytes / loadSeconds / kLineBytesPerSecond : 0;
        state.counters["load_s"] = loadSeconds / double(std::max<int64_t>(state.iterations(), 1));
        state.counters["program_s"] = programSeconds / double(std::max<int64_t>(state.iterations(), 1));
    });
}

} // namespace

BENCHMARK(BM_UploadImage)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char **argv) { return tessel::bench::RunBenchmarks<QCoreApplication>(argc, argv); }
