#pragma once

#include "Cli.h"

#include <QJsonDocument>
#include <QString>
#include <QTextStream>

namespace tessel::test {

// Runs one tessel-cli invocation in-process and keeps what it printed.
struct CliRun {
    int rc = -1;
    QString out, err;
    QJsonDocument json() const { return QJsonDocument::fromJson(out.toUtf8()); }
};

inline CliRun RunCliCommand(const QStringList &args) {
    CliRun r;
    QTextStream out(&r.out), err(&r.err);
    cli::CliIO io{out, err};
    r.rc = cli::RunCli(args, io);
    out.flush();
    err.flush();
    return r;
}

} // namespace tessel::test
