#pragma once

// What the benchmarks share: running them under a Qt application, the large
// experiments of the file, open and print benchmarks (every measurement two
// channels of a decaying trace with a ripple) opened as the Open command
// opens them, and the program's link to the virtual instrument started on
// its own pseudo-terminal at line speed.
#include "app/ExperimentDoc.h"
#include "compiler/Compiler.h"
#include "data/Experiment.h"
#include "data/ExperimentFile.h"
#include "device/ConnectionManager.h"
#include "device/PosixCommPort.h"
#include "graph/GraphModel.h"
#include "settings/EnvSetup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <type_traits>

namespace tessel::bench {

// Runs the registered benchmarks inside an application of type App, with
// the programs' memory set-up; an application with a GUI paints offscreen.
template <typename App> int RunBenchmarks(int argc, char **argv) {
    KeepFreedSampleStorage();
    if constexpr (std::is_base_of_v<QGuiApplication, App>)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// 100 of them make the 65 MB experiment.
constexpr int kBigSamples = 32768;

// Appends measurements of kBigSamples points per channel to the model.
inline void AddMeasurements(TExperimentModel &m, int measurements) {
    for (int k = 0; k < measurements; ++k) {
        m.PrepareMeasurementDataSets(kBigSamples, kBigSamples);
        TMeasurementRecord &r = m.Current();
        for (int c = 0; c < 2; ++c) {
            TChannel &ch = r.Channel(c);
            ch.Set->SetCount(kBigSamples);
            for (int i = 0; i < kBigSamples; ++i) {
                ch.X->SetItem(i, (i + 1) * 1e-4);
                ch.Y->SetItem(i, int(2000 * std::exp(-i * 1e-4) + 100 * std::sin(i * 0.01 + k)) + 300 * c);
            }
        }
        m.RecordMeasurement(46000 + k, uint8_t(ModelT1), TConditions{}, {}, {}, {});
    }
}

// A temporary folder with an experiment of the given measurements and notes
// saved to Path, and the include folder with the default protocol that a
// document opens it with.
struct ExperimentFolder {
    QTemporaryDir Dir;
    QString Path = Dir.filePath(QStringLiteral("bench.exp"));
    QString Include = Dir.filePath(QStringLiteral("include"));
    explicit ExperimentFolder(int measurements, const QStringList &notes = {}) {
        TExperimentModel model;
        model.Description = notes;
        AddMeasurements(model, measurements);
        SaveExperimentFile(model, Path);
        QDir().mkpath(Include);
        QFile protocol(Include + QStringLiteral("/Default.1st"));
        if (protocol.open(QIODevice::WriteOnly))
            protocol.write("; protocol\n");
    }
};

// The 65 MB experiment (100 x 2 x 32768 samples), made once per run.
inline ExperimentFolder &BigExperiment() {
    static ExperimentFolder folder(100);
    return folder;
}

// The document with its graph and A/B series, as the Open command leaves
// them; the benchmark is skipped when the file does not load.
struct OpenedExperiment {
    TCompiler Compiler;
    TEnvSetup Env;
    TGraphModel Graph, AB;
    TExperimentDoc Doc;
    OpenedExperiment(benchmark::State &state, const ExperimentFolder &folder)
        : Doc(Compiler, Env, folder.Include, ModelT1, TChannelScaling{}) {
        Doc.SetGraphs(&Graph, &AB);
        if (!Doc.Load(folder.Path))
            state.SkipWithError("the file did not load");
    }
};

// Page faults of the process so far: fresh storage costs one per 4 KiB.
inline int64_t PageFaults() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt + u.ru_majflt;
}

// Runs transfer(commands) once per iteration over the program's link to
// tessel-sim acting as device, paced at 115200 baud, and reports as
// "line_fraction" the bytes moved over what the line could have carried in
// the same time. Skipped when the instrument does not start or answer.
inline void TransferAtLineSpeed(benchmark::State &state, const char *device, int64_t bytesPerTransfer,
                                const std::function<bool(TCommandSet &)> &transfer) {
    QProcess sim;
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tessel-sim"),
              {"--device", device, "--baud", "115200", "--pace", "--log", "/dev/null"});
    QString terminal;
    if (sim.waitForStarted(5000) && sim.waitForReadyRead(5000))
        terminal = QString::fromUtf8(sim.readLine()).trimmed();
    if (terminal.isEmpty()) {
        state.SkipWithError("tessel-sim did not start");
        return;
    }
    TCommunication link(std::make_unique<TPosixCommPort>(), terminal);
    TCommandSet commands(link);
    TConnectionManager connection(link, commands);
    connection.SetBaudRates({br115200});
    link.Open();
    if (!connection.Connect(false, false))
        state.SkipWithError("no instrument on the terminal");
    QElapsedTimer elapsed;
    elapsed.start();
    for (auto _ : state)
        if (!transfer(commands))
            state.SkipWithError("transfer failed");
    // Start, 8 data and stop bits per byte.
    const double lineBytesPerSecond = 115200 / 10.0;
    const double bytes = double(state.iterations()) * double(bytesPerTransfer);
    state.SetBytesProcessed(int64_t(bytes));
    state.counters["line_fraction"] = bytes / (elapsed.nsecsElapsed() * 1e-9) / lineBytesPerSecond;
    link.Close();
    sim.terminate();
    sim.waitForFinished(5000);
}

} // namespace tessel::bench
