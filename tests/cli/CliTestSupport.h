#pragma once

#include "Cli.h"
#include "data/ExperimentFile.h"
#include "data/SampleExperiments.h"
#include "support/TestSupport.h"

#include <QJsonDocument>
#include <QString>
#include <QTextStream>
#include <functional>
#include <gtest/gtest.h>

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

// A sample experiment of two measurements of `points` points each, changed by
// adjust, saved as dir's "sample.exp"; returns its path.
inline QString SavedSample(const TestDir &dir, int points, const std::function<void(TExperimentModel &)> &adjust = {}) {
    TExperimentModel m;
    FillSampleExperiment(m, 2, points);
    if (adjust)
        adjust(m);
    const QString path = dir.path("sample.exp");
    EXPECT_TRUE(SaveExperimentFile(m, path));
    return path;
}

} // namespace tessel::test
