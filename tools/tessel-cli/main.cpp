#include "Cli.h"
#include "data/Vector.h"

#include <QGuiApplication>
#include <cstdio>
#include <memory>

int main(int argc, char **argv) {
    // analyze and export read one experiment after another.
    tessel::KeepFreedSampleStorage();
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // Measuring text needs Qt's GUI side; the command line never shows a
    // window, so it runs on the offscreen platform.
    std::unique_ptr<QCoreApplication> app;
    if (tessel::cli::NeedsFonts(args)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QTextStream out(stdout);
    QTextStream err(stderr);
    tessel::cli::CliIO io{out, err};
    args = QCoreApplication::arguments();
    args.removeFirst();
    return tessel::cli::RunCli(args, io);
}
