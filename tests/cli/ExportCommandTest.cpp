#include "CliTestSupport.h"
#include "data/ExperimentFile.h"
#include "data/SampleExperiments.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {
QString SampleFile(const TestDir &dir) {
    TExperimentModel m;
    FillSampleExperiment(m, 2, 6);
    m.Record(1).A.Set->Visible = false;
    const QString path = dir.path("sample.exp");
    EXPECT_TRUE(SaveExperimentFile(m, path));
    return path;
}
} // namespace

TEST(CliExport, WritesTheChosenDataSetsAndRange) {
    TestDir dir;
    const QString exp = SampleFile(dir);
    const QString out = dir.path("out.txt");
    // Times: measurement 1 at 1..6 ms, measurement 2 at 2..12 ms (B half).
    struct Case {
        QStringList options;
        int sets, rows;
        QString columns;
    } cases[] = {
        {{}, 4, 9, "Time\tData Set B( 1 )\tData Set A( 1 )\tData Set B( 0 )\tData Set A( 0 )"},
        {{"--sets", "visible"}, 3, 6, "Time\tData Set B( 1 )\tData Set B( 0 )\tData Set A( 0 )"},
        {{"--data", "graph", "--range-min", "0.0035", "--range-max", "0.0045"},
         4, 3, "Time\tData Set B( 1 )\tData Set A( 1 )\tData Set B( 0 )\tData Set A( 0 )"},
    };
    for (const Case &c : cases) {
        const CliRun r = RunCliCommand(QStringList{"export", exp, "--out", out, "--json"} + c.options);
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        const QJsonObject j = r.json().object();
        EXPECT_EQ(j["DataSets"].toInt(), c.sets) << c.options.join(' ').toStdString();
        EXPECT_EQ(j["Rows"].toInt(), c.rows) << c.options.join(' ').toStdString();
        const QStringList lines = ReadTextFile(out).split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines[2], "File Name         :" + exp);
        EXPECT_TRUE(lines.contains(c.columns)) << c.options.join(' ').toStdString();
        EXPECT_EQ(lines.size(), lines.indexOf(c.columns) + c.rows + 2); // rows, then the final CR LF
    }
}

TEST(CliExport, UsageAndFailures) {
    TestDir dir;
    const QString exp = SampleFile(dir);
    const QString out = dir.path("out.txt");
    const QStringList usage[] = {
        {"export", exp},
        {"export", "--out", out},
        {"export", exp, "--out", out, "--data", "half"},
        {"export", exp, "--out", out, "--data", "cursors", "--range-min", "1"},
        {"export", exp, "--out", out, "--locale", "xx_nowhere"},
    };
    for (const QStringList &args : usage)
        EXPECT_EQ(RunCliCommand(args).rc, 2) << args.join(' ').toStdString();
    EXPECT_FALSE(QFile::exists(out));

    EXPECT_EQ(RunCliCommand({"export", dir.path("none.exp"), "--out", out}).rc, 1);
    const CliRun bad = RunCliCommand({"export", exp, "--out", dir.path("no/dir/out.txt")});
    EXPECT_EQ(bad.rc, 1);
    EXPECT_FALSE(bad.err.isEmpty());
}
