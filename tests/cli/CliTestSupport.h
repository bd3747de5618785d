#pragma once

#include "Cli.h"
#include "compiler/CompilerLibrary.h"
#include "data/ExperimentFile.h"
#include "data/SampleExperiments.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QTextStream>
#include <functional>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

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

// One invocation of a subcommand and what it must print.
struct CliCase {
    QStringList args;
    int rc;
    QString out, err; // err: the exact text, or "*" for any text
};

inline void ExpectCliCases(const QString &subcommand, const std::vector<CliCase> &cases) {
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun r = RunCliCommand(QStringList{subcommand} + c.args);
        EXPECT_EQ(r.rc, c.rc);
        EXPECT_EQ(r.out, c.out);
        if (c.err == "*")
            EXPECT_FALSE(r.err.isEmpty());
        else
            EXPECT_EQ(r.err, c.err);
    }
}

// Invocations and their exit codes: a message on stderr exactly when one fails.
inline void ExpectExitCodes(const std::vector<std::pair<QStringList, int>> &cases) {
    for (const auto &[args, rc] : cases) {
        const CliRun r = RunCliCommand(args);
        EXPECT_EQ(r.rc, rc) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.isEmpty(), rc == 0) << args.join(' ').toStdString() << r.err.toStdString();
    }
}

// The shipped configuration: --ini and --include of the source tree.
inline QStringList ShippedConfig() {
    return {"--ini", SourcePath("resources/Tessel.ini"), "--include", SourcePath("resources/include/")};
}

// A test of subcommands that build protocols: the real compiler library, a
// fresh folder.
class CompilingTest : public ::testing::Test {
protected:
    void SetUp() override { SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR"))); }
    void TearDown() override { SetCompilerLibrary(nullptr); }
    TestDir dir;
};

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
