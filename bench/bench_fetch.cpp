// Fetching both channels from the virtual instrument on a pseudo-terminal,
// paced at the speed of a real 115200-baud line: what the measurement run's
// data transfer achieves as a fraction of the line rate. Each block costs
// its checksum, the "OK" round trip and the instrument's turnaround on top
// of its bytes.
#include "BenchSupport.h"

using namespace tessel;

namespace {

constexpr int32_t kChannelBytes = 64 * 1024;

void BM_FetchBothChannels(benchmark::State &state) {
    QByteArray a(kChannelBytes, 0), b(kChannelBytes, 0);
    bench::TransferAtLineSpeed(state, "ModelT2", 2 * kChannelBytes, [&](TCommandSet &link) {
        return link.GetDataA(a.data(), kChannelBytes) && link.GetDataB(b.data(), kChannelBytes);
    });
}

} // namespace

BENCHMARK(BM_FetchBothChannels)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char **argv) { return tessel::bench::RunBenchmarks<QCoreApplication>(argc, argv); }
