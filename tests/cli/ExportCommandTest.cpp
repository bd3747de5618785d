#include "CliTestSupport.h"
#include "common/AppPaths.h"

#include <QProcess>

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

TEST(CliExport, WritesTheChosenDataSetsAndRangeOrFails) {
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
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const CliRun r = RunCliCommand(QStringList{"export", exp, "--out", out, "--json"} + c.options);
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        EXPECT_EQ(r.json()["DataSets"].toInt(), c.sets);
        EXPECT_EQ(r.json()["Rows"].toInt(), c.rows);
        const QStringList lines = ReadTextFile(out).split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines.size(), lines.indexOf(c.columns) + c.rows + 2); // rows, then the final CR LF
    }
    // --format long writes the long table, its marks left out when the protocol language is not found.
    ASSERT_EQ(RunCliCommand({"export", exp, "--out", dir.path("x.csv"), "--format", "long"}).rc, 0);
    EXPECT_TRUE(ReadTextFile(dir.path("x.csv")).startsWith("# Tessel long table of "));
    QFile::remove(out);
    ExpectExitCodes({
        {{"export", exp}, 2},
        {{"export", exp, "--out", out, "--data", "cursors", "--range-min", "1"}, 2},
        {{"export", exp, "--out", out, "--format", "xls"}, 2},
        {{"export", exp, "--out", out, "--format", "csv", "--delimiter", "pipe"}, 2},
        {{"export", exp, "--out", dir.path("no/dir/out.txt")}, 1},
    });
    EXPECT_FALSE(QFile::exists(out));
}

// The CSV options reach the file; the JSON export validates against the
// documented schema and carries each measurement's parameters, with the
// Tessel.ini beside the program.
TEST(CliExport, CsvOptionsAndJsonAgainstTheSchema) {
    TestDir dir;
    const QString csv = dir.path("out.csv");
    ASSERT_EQ(
        RunCliCommand({"export", SampleFile(dir), "--out", csv, "--delimiter", "semicolon", "--decimal", "comma"}).rc,
        0);
    const QStringList rows = ReadTextFile(csv).split("\r\n");
    EXPECT_EQ(rows[0], "Time;Data Set B( 1 );Data Set A( 1 );Data Set B( 0 );\"'=HYPERLINK(\"\"x\"\";1)\"");
    EXPECT_TRUE(rows[1].startsWith("0,001;")) << rows[1].toStdString();

    AppPaths::setProgramDir(qEnvironmentVariable("TESSEL_BIN_DIR"));
    const QString json = dir.path("fvfm.json");
    const CliRun r = RunCliCommand({"export", SourcePath("resources/examples/FvFm.exp"), "--out", json});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    QProcess py;
    py.start("python3", {SourcePath("tests/cli/read_exports.py"), "json", json, SourcePath("docs/export-schema.json")});
    ASSERT_TRUE(py.waitForFinished(60000));
    ASSERT_EQ(py.exitCode(), 0) << "python3-jsonschema is needed: " << py.readAllStandardError().toStdString();
    const QJsonObject found = QJsonDocument::fromJson(py.readAllStandardOutput()).object();
    EXPECT_EQ(found["errors"].toArray(), QJsonArray{});
    EXPECT_TRUE(found["pairs"].toBool());
    const QJsonDocument d = QJsonDocument::fromJson(ReadTextFile(json).toUtf8());
    EXPECT_GT(d["records"][0]["parameters"]["channels"][0]["parameters"]["Fv/Fm"].toDouble(), 0.5);
}
