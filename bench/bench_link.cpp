// Throughput of the command link over a pseudo-terminal against a peer that
// answers at once: 8 blocks uploaded or downloaded, of 4 KiB (model A) or
// 16 KiB (model F), each with its checksum and "OK".
#include "../tests/device/PtyPeer.h"
#include "BenchSupport.h"

#include <atomic>

using namespace tessel;
using tessel::test::PtyPeer;

namespace {

constexpr int kBlocks = 8;

// The link, taken as connected to a device of the benchmark's block size,
// and the peer on the other end of the terminal until stop is set.
struct Setup {
    PtyPeer peer;
    TCommunication link{std::make_unique<TPosixCommPort>(), peer.SlaveName()};
    std::atomic<bool> stop{false};
    const int block;
    explicit Setup(benchmark::State &state) : block(int(state.range(0))) {
        link.SetBaudRate(br115200);
        link.Open();
        link.SetDeviceType(block == 4096 ? ModelA : ModelF);
        link.SetConnected(true);
    }
    ~Setup() {
        stop = true;
        peer.Join();
    }
};

void BM_Upload(benchmark::State &state) {
    Setup s(state);
    // Answers "OK" as soon as a whole block and its checksum are in.
    s.peer.Run([&](PtyPeer &p) {
        qsizetype have = 0;
        while (!s.stop) {
            have += p.Receive(s.block + 1 - have, 20).size();
            if (have == s.block + 1) {
                p.Send("OK");
                have = 0;
            }
        }
    });
    const QByteArray data(kBlocks * s.block, 'x');
    for (auto _ : state)
        if (!s.link.SendBlocks(data.constData(), int32_t(data.size())))
            state.SkipWithError("upload failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * data.size());
}

void BM_Download(benchmark::State &state) {
    Setup s(state);
    QByteArray frame(s.block, 'y');
    frame += char(TCommunication::Checksum(frame.constData(), s.block));
    // Sends a block for each request and after each answer, then the lone
    // checksum of the empty rest block.
    std::atomic<int> requests{0};
    s.peer.Run([&](PtyPeer &p) {
        while (!s.stop) {
            if (requests.load() == 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(50));
                continue;
            }
            --requests;
            for (int i = 0; i < kBlocks; ++i) {
                p.Send(frame);
                p.Receive(2);
            }
            p.Send(QByteArray(1, '\0'));
            p.Receive(2);
        }
    });
    QByteArray buf(kBlocks * s.block, 0);
    for (auto _ : state) {
        ++requests;
        if (!s.link.ReceiveBlocks(buf.data(), kBlocks, 0))
            state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * buf.size());
}

} // namespace

BENCHMARK(BM_Upload)->Arg(4096)->Arg(16384)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Download)->Arg(4096)->Arg(16384)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv) { return tessel::bench::RunBenchmarks<QCoreApplication>(argc, argv); }
