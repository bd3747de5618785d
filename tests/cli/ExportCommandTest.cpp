#include "CliTestSupport.h"
#include "common/AppPaths.h"
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
    const QString all = "Time\tData Set B( 1 )\tData Set A( 1 )\tData Set B( 0 )\t=HYPERLINK(\"x\";1)";
    struct Case {
        QStringList options;
        int sets, rows;
        QString columns;
    } cases[] = {
        {{}, 4, 9, all},
        {{"--sets", "visible"}, 3, 6, "Time\tData Set B( 1 )\tData Set B( 0 )\t=HYPERLINK(\"x\";1)"},
        {{"--data", "graph", "--range-min", "0.0035", "--range-max", "0.0045"}, 4, 3, all},
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
    const std::pair<QStringList, int> cases[] = {
        {{"export", exp}, 2},
        {{"export", "--out", out}, 2},
        {{"export", exp, "--out", out, "--data", "half"}, 2},
        {{"export", exp, "--out", out, "--data", "cursors", "--range-min", "1"}, 2},
        {{"export", exp, "--out", out, "--locale", "xx_nowhere"}, 2},
        {{"export", exp, "--out", out, "--format", "xls"}, 2},
        {{"export", exp, "--out", out, "--format", "csv", "--delimiter", "pipe"}, 2},
        {{"export", exp, "--out", out, "--format", "csv", "--decimal", "dot"}, 2},
        {{"export", dir.path("none.exp"), "--out", out}, 1},
        {{"export", exp, "--out", dir.path("no/dir/out.txt")}, 1},
    };
    for (const auto &[args, rc] : cases) {
        const CliRun r = RunCliCommand(args);
        EXPECT_EQ(r.rc, rc) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << args.join(' ').toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
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
        ASSERT_EQ(RunCliCommand(QStringList{"export", exp, "--out", csv} + c.options).rc, 0);
        const QJsonArray rows = readBack({"csv", csv, c.delimiter})["rows"].toArray();
        ASSERT_EQ(rows.size(), 10) << c.options.join(' ').toStdString(); // captions and 9 times
        for (const QJsonValue &r : rows)
            EXPECT_EQ(r.toArray().size(), 5) << c.options.join(' ').toStdString();
        EXPECT_EQ(rows[0].toArray()[4].toString(), "'=HYPERLINK(\"x\";1)");
        EXPECT_EQ(rows[1].toArray()[0].toString(), c.row1);
    }

    const QString json = dir.path("out.json");
    const CliRun r = RunCliCommand({"export", exp, "--out", json, "--sets", "visible"});
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
    const QJsonDocument d = QJsonDocument::fromJson(ReadTextFile(json).toUtf8());
    EXPECT_GT(d["records"][0]["parameters"]["channels"][0]["parameters"]["Fv/Fm"].toDouble(), 0.5)
        << r.err.toStdString();
}

// Without --format the ending of --out chooses (the CSV and JSON above);
// --format long writes the long table.
TEST(CliExport, FormatFromTheEndingOrAsked) {
    TestDir dir;
    const QString exp = SampleFile(dir);
    for (const auto &[out, options, start] : {std::tuple{"x.txt", QStringList{}, "Tessel ASCII Export File\r\n"},
                                              {"x.csv", QStringList{"--format", "long"}, "# Tessel long table of "}}) {
        const CliRun r = RunCliCommand(QStringList{"export", exp, "--out", dir.path(out)} + options);
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        EXPECT_TRUE(ReadTextFile(dir.path(out)).startsWith(QLatin1String(start))) << out;
    }
}
