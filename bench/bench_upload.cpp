// Uploading a firmware image to the virtual instrument on a pseudo-terminal,
// paced at the speed of a real 115200-baud line in both directions: what
// "Update BIOS" achieves as a fraction of the line rate while it loads the
// image. 1,000,000 bytes are 244 blocks of 4096 bytes and a rest; each block
// costs its checksum, the wait for "OK" and the instrument's turnaround on
// top of its bytes.
#include "BenchSupport.h"

using namespace tessel;

namespace {

constexpr int32_t kImageBytes = 1000000;

void BM_UploadImage(benchmark::State &state) {
    QByteArray image(kImageBytes, 0);
    for (int32_t i = 0; i < kImageBytes; ++i)
        image[i] = char((i * 31 + 7) & 0xFF);
    bench::TransferAtLineSpeed(state, "ModelU", kImageBytes,
                               [&](TCommandSet &link) { return link.LoadData("LDP", image); });
}

} // namespace

BENCHMARK(BM_UploadImage)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char **argv) { return tessel::bench::RunBenchmarks<QCoreApplication>(argc, argv); }
