// Fetching both channels from the virtual instrument on a pseudo-terminal,
// paced at the speed of a real 115200-baud line: what the measurement run's
// data transfer achieves as a fraction of the line rate. Each block costs
// its checksum, the "OK" round trip and the instrument's turnaround on top
// of its bytes.
#include "device/Communication.h"
#include "device/PosixCommPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <benchmark/benchmark.h>

using namespace tessel;

namespace {

constexpr int32_t kChannelBytes = 64 * 1024;
constexpr double kLineBytesPerSecond = 115200 / 10.0; // start, 8 data and stop bits

void BM_FetchBothChannels(benchmark::State &state) {
    QProcess sim;
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tessel-sim"),
              {"--device", "ModelT2", "--baud", "115200", "--pace", "--log", "/dev/null"});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        state.SkipWithError("tessel-sim did not start");
        return;
    }
    const QString terminal = QString::fromUtf8(sim.readLine()).trimmed();
    {
        TCommunication link(std::make_unique<TPosixCommPort>(), terminal);
        link.SetBaudRates({br115200});
        link.Open();
        if (!link.Connect(false, false)) {
            state.SkipWithError("no instrument on the terminal");
        } else {
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
        }
        link.Close();
    }
    sim.terminate();
    sim.waitForFinished(5000);
}

} // namespace

BENCHMARK(BM_FetchBothChannels)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
