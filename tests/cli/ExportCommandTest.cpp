#include "CliTestSupport.h"
#include "common/AppPaths.h"
#include "data/ExperimentFile.h"
#include "data/SampleExperiments.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {
QString SampleFile(const TestDir &dir) {
    return SavedSample(dir, 6, [](TExperimentModel &m) {
        m.Record(1).A.Set->Visible = false;
        // A caption a spreadsheet would run, with the delimiter and a quote in it.
        m.Record(2).A.Set->Caption = QStringLiteral("=HYPERLINK(\"x\";1)");
    });
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
        {{}, 4, 9, "Time\tData Set B( 1 )\tData Set A( 1 )\tData Set B( 0 )\t=HYPERLINK(\"x\";1)"},
        {{"--sets", "visible"}, 3, 6, "Time\tData Set B( 1 )\tData Set B( 0 )\t=HYPERLINK(\"x\";1)"},
        {{"--data", "graph", "--range-min", "0.0035", "--range-max", "0.0045"},
         4,
         3,
         "Time\tData Set B( 1 )\tData Set A( 1 )\tData Set B( 0 )\t=HYPERLINK(\"x\";1)"},
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
        {"export", exp, "--out", out, "--format", "xls"},
        {"export", exp, "--out", out, "--format", "csv", "--delimiter", "pipe"},
        {"export", exp, "--out", out, "--format", "csv", "--decimal", "dot"},
    };
    for (const QStringList &args : usage)
        EXPECT_EQ(RunCliCommand(args).rc, 2) << args.join(' ').toStdString();
    EXPECT_FALSE(QFile::exists(out));

    EXPECT_EQ(RunCliCommand({"export", dir.path("none.exp"), "--out", out}).rc, 1);
    const CliRun bad = RunCliCommand({"export", exp, "--out", dir.path("no/dir/out.txt")});
    EXPECT_EQ(bad.rc, 1);
    EXPECT_FALSE(bad.err.isEmpty());
}

// What a script gets: Python's csv module and a JSON schema validator read
// the files as written, without any adjustment.
TEST(CliExport, CsvAndJsonReadBackInPython) {
    ASSERT_EQ(QProcess::execute("python3", {"-c", "import jsonschema"}), 0) << "python3-jsonschema is missing";
    TestDir dir;
    const QString exp = SampleFile(dir);
    auto readBack = [](const QStringList &args) {
        QProcess py;
        py.start("python3", QStringList{SourcePath("tests/cli/read_exports.py")} + args);
        EXPECT_TRUE(py.waitForFinished(60000));
        EXPECT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
        return QJsonDocument::fromJson(py.readAllStandardOutput()).object();
    };
    const struct {
        QStringList options;
        QString delimiter, row1;
    } csvCases[] = {
        {{}, ",", "0.001"},
        {{"--delimiter", "semicolon", "--decimal", "comma"}, ";", "0,001"},
        {{"--decimal", "comma"}, ",", "0,001"},
    };
    for (const auto &c : csvCases) {
        const QString csv = dir.path("out.csv");
        ASSERT_EQ(RunCliCommand(QStringList{"export", exp, "--out", csv, "--format", "csv"} + c.options).rc, 0);
        const QJsonArray rows = readBack({"csv", csv, c.delimiter})["rows"].toArray();
        ASSERT_EQ(rows.size(), 10) << c.options.join(' ').toStdString(); // captions and 9 times
        for (const QJsonValue &r : rows)
            EXPECT_EQ(r.toArray().size(), 5) << c.options.join(' ').toStdString();
        EXPECT_EQ(rows[0].toArray()[4].toString(), "'=HYPERLINK(\"x\";1)");
        EXPECT_EQ(rows[1].toArray()[0].toString(), c.row1);
    }

    const QString json = dir.path("out.json");
    const CliRun r = RunCliCommand({"export", exp, "--out", json, "--format", "json", "--sets", "visible"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    const QJsonObject found = readBack({"json", json, SourcePath("docs/export-schema.json")});
    EXPECT_EQ(found["errors"].toArray(), QJsonArray{});
    EXPECT_EQ(found["records"].toInt(), 2);
    EXPECT_TRUE(found["pairs"].toBool());
}

// The JSON export carries each measurement's parameters, as the analysis gives
// them with the Tessel.ini beside the program.
TEST(CliExport, JsonCarriesTheParameters) {
    TestDir dir;
    AppPaths::setProgramDir(qEnvironmentVariable("TESSEL_BIN_DIR"));
    const QString json = dir.path("fvfm.json");
    const CliRun r =
        RunCliCommand({"export", SourcePath("resources/examples/FvFm.exp"), "--out", json, "--format", "json"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    QFile f(json);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QJsonArray records = QJsonDocument::fromJson(f.readAll()).object()["records"].toArray();
    ASSERT_FALSE(records.isEmpty());
    const QJsonObject params = records[0].toObject()["parameters"].toObject();
    const QJsonArray channels = params["channels"].toArray();
    ASSERT_FALSE(channels.isEmpty()) << QJsonDocument(params).toJson().toStdString() << r.err.toStdString();
    const double fvfm = channels[0].toObject()["parameters"].toObject()["Fv/Fm"].toDouble();
    EXPECT_GT(fvfm, 0.5);
    EXPECT_LT(fvfm, 0.9);
}

// Without --format the ending of --out chooses; the long table has one row
// per sample with its measurement (1 = the oldest), time and metadata.
TEST(CliExport, FormatFromTheEndingAndTheLongTable) {
    TestDir dir;
    const QString exp = SavedSample(dir, 4, [](TExperimentModel &m) {
        SetMetadata(m.Record(2), "leaf", "3");
        SetMetadata(m.Record(1), kMetaTitle, "=sprayed, then dried");
    });
    const struct {
        QString out;
        QStringList options;
        QString start;
    } cases[] = {
        {"x.txt", {}, "Tessel ASCII Export File\r\n"},
        {"x.csv", {}, "Time,\"Data Set B( 1 ) (=sprayed, then dried)\","}, // the sample with its columns
        {"x.json", {}, "{\"description\""},
        {"x.csv", {"--format", "long"}, "# Tessel long table of "},
    };
    for (const auto &c : cases) {
        const CliRun r = RunCliCommand(QStringList{"export", exp, "--out", dir.path(c.out)} + c.options);
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        EXPECT_TRUE(ReadTextFile(dir.path(c.out)).startsWith(c.start)) << c.out.toStdString();
    }
    const QStringList lines = ReadTextFile(dir.path("x.csv")).split("\r\n", Qt::SkipEmptyParts);
    // 2 comment lines, the header, 4 + 4 samples of the older measurement, 4 + 2 of the newer.
    ASSERT_EQ(lines.size(), 3 + 8 + 6);
    EXPECT_EQ(lines[2], "measurement,measured,title,leaf,channel,t,value,mark");
    EXPECT_TRUE(lines[3].startsWith("1,2025-12-09T06:00:00,,3,A,0.001,")) << lines[3].toStdString();
    EXPECT_TRUE(lines[7].startsWith("1,2025-12-09T06:00:00,,3,B,0.001,")) << lines[7].toStdString();
    EXPECT_TRUE(lines[11].startsWith("2,2025-12-10T09:25:42,\"'=sprayed, then dried\",,A,0.002,"))
        << lines[11].toStdString();

    const QJsonArray records =
        QJsonDocument::fromJson(ReadTextFile(dir.path("x.json")).toUtf8()).object()["records"].toArray();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0]["measurement"].toInt(), 2); // the newest first, numbered from the oldest
    EXPECT_EQ(records[1]["metadata"].toObject(), (QJsonObject{{"leaf", "3"}}));
}
