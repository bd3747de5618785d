#pragma once

// What the benchmarks share: running them under a Qt application, and the
// virtual instrument started on its own pseudo-terminal at line speed.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <type_traits>

namespace tessel::bench {

// Bytes per second of a 115200-baud line: start, 8 data and stop bits.
constexpr double kLineBytesPerSecond = 115200 / 10.0;

// Runs the registered benchmarks inside an application of type App; an
// application with a GUI paints offscreen.
template <typename App> int RunBenchmarks(int argc, char **argv) {
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

} // namespace tessel::bench
