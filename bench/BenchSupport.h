#pragma once

// What the benchmarks share: running them under a Qt application, the large
// experiments of the file, open and print benchmarks (every measurement two
// channels of a decaying trace with a ripple), and the virtual instrument
// started on its own pseudo-terminal at line speed.
#include "data/Experiment.h"
#include "device/DeviceTypes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdint>
#include <sys/resource.h>
#include <type_traits>

namespace tessel::bench {

// Bytes per second of a 115200-baud line: start, 8 data and stop bits.
constexpr double kLineBytesPerSecond = 115200 / 10.0;

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

// tessel-sim beside the benchmark, paced at 115200 baud, as the given type.
// Terminal stays empty when it did not start.
struct PacedSim {
    QProcess Process;
    QString Terminal;
    explicit PacedSim(const char *device) {
        Process.setStandardErrorFile(QProcess::nullDevice());
        Process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tessel-sim"),
                      {"--device", device, "--baud", "115200", "--pace", "--log", "/dev/null"});
        if (Process.waitForStarted(5000) && Process.waitForReadyRead(5000))
            Terminal = QString::fromUtf8(Process.readLine()).trimmed();
    }
    ~PacedSim() {
        Process.terminate();
        Process.waitForFinished(5000);
    }
};

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

// An include folder with the default protocol, as a document opens it.
inline QString MakeIncludeDir(const QString &parent) {
    const QString include = parent + QStringLiteral("/include");
    QDir().mkpath(include);
    QFile f(include + QStringLiteral("/Default.1st"));
    if (f.open(QIODevice::WriteOnly))
        f.write("; protocol\n");
    return include;
}

// Page faults of the process so far: fresh storage costs one per 4 KiB.
inline int64_t PageFaults() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt + u.ru_majflt;
}

} // namespace tessel::bench
