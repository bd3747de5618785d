// Throughput of the command link over a pseudo-terminal against a peer that
// answers at once: block uploads and downloads in bytes per second, and the
// acknowledgement round trip that each block adds on top of its bytes.
#include "../tests/device/PtyPeer.h"
#include "device/Communication.h"
#include "device/PosixCommPort.h"

#include "BenchSupport.h"
#include <QCoreApplication>
#include <atomic>

#include <benchmark/benchmark.h>

using namespace tessel;
using tessel::test::PtyPeer;

namespace {

class BenchLink : public TCommunication {
public:
    using TCommunication::TCommunication;
    void Ready(TDevice device) {
        FDevice = device;
        FConnected = true;
    }
};

struct Setup {
    PtyPeer peer;
    std::unique_ptr<BenchLink> link;
    std::atomic<bool> stop{false};
    explicit Setup(TDevice device) {
        link = std::make_unique<BenchLink>(std::make_unique<TPosixCommPort>(), peer.SlaveName());
        link->SetBaudRate(br115200);
        link->Open();
        link->Ready(device);
    }
    ~Setup() {
        stop = true;
        peer.Join();
        link.reset();
    }
};

QByteArray WithSum(const QByteArray &block) {
    return block + char(TCommunication::Checksum(block.constData(), int32_t(block.size())));
}

constexpr int kBlocks = 8;

void BM_Upload(benchmark::State &state) {
    const TDevice device = state.range(0) == 4096 ? ModelA : ModelF;
    Setup s(device);
    const int b = int(state.range(0));
    // Answers "OK" as soon as a whole block and its checksum are in.
    s.peer.Run([&](PtyPeer &p) {
        qsizetype have = 0;
        while (!s.stop) {
            have += p.Receive(b + 1 - have, 20).size();
            if (have == b + 1) {
                p.Send("OK");
                have = 0;
            }
        }
    });
    const QByteArray data(kBlocks * b, 'x');
    for (auto _ : state) {
        if (!s.link->SendBlocks(data.constData(), int32_t(data.size())))
            state.SkipWithError("upload failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * data.size());
    state.counters["blocks_per_s"] = benchmark::Counter(kBlocks, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["overhead_bytes_per_block"] = 3; // checksum out, "OK" back
}

void BM_Download(benchmark::State &state) {
    const TDevice device = state.range(0) == 4096 ? ModelA : ModelF;
    Setup s(device);
    const int b = int(state.range(0));
    const QByteArray frame = WithSum(QByteArray(b, 'y'));
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
    QByteArray buf(kBlocks * b, 0);
    for (auto _ : state) {
        ++requests;
        if (!s.link->ReceiveBlocks(buf.data(), kBlocks, 0))
            state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * buf.size());
    state.counters["blocks_per_s"] = benchmark::Counter(kBlocks, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["overhead_bytes_per_block"] = 3;
}

// One command out and its "OK" back: the fixed cost each block pays.
void BM_AckRoundTrip(benchmark::State &state) {
    Setup s(ModelF);
    s.peer.Run([&](PtyPeer &p) {
        while (!s.stop)
            if (p.Receive(2, 20).size() == 2)
                p.Send("OK");
    });
    for (auto _ : state) {
        if (!s.link->SendCommand({"ST"}) || !s.link->IsOk())
            state.SkipWithError("no acknowledgement");
    }
}

} // namespace

BENCHMARK(BM_Upload)->Arg(4096)->Arg(16384)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Download)->Arg(4096)->Arg(16384)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AckRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char **argv) { return tessel::bench::RunBenchmarks<QCoreApplication>(argc, argv); }
