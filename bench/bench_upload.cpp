// Uploading a firmware image to the virtual instrument on a pseudo-terminal,
// paced at the speed of a real 115200-baud line in both directions: what
// "Update BIOS" achieves as a fraction of the line rate. 1,000,000 bytes are
// 244 blocks of 4096 bytes and a rest; each block costs its checksum, the
// wait for "OK" and the instrument's turnaround on top of its bytes.
#include "device/Communication.h"
#include "device/PosixCommPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <benchmark/benchmark.h>

using namespace tessel;

namespace {

constexpr int32_t kImageBytes = 1000000;
constexpr double kLineBytesPerSecond = 115200 / 10.0; // start, 8 data and stop bits

void BM_UploadImage(benchmark::State &state) {
    QProcess sim;
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tessel-sim"),
              {"--device", "ModelU", "--baud", "115200", "--pace", "--log", "/dev/null"});
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
        }
        link.Close();
    }
    sim.terminate();
    sim.waitForFinished(5000);
}

} // namespace

BENCHMARK(BM_UploadImage)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
