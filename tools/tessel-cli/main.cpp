#include "Cli.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    tessel::cli::CliIO io{out, err};
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return tessel::cli::RunCli(args, io);
}
