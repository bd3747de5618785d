#include "CliTestSupport.h"
#include "data/ExperimentFile.h"
#include "data/SampleExperiments.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {
QString SampleFile(const TestDir &dir, TExperimentModel &m) {
    FillSampleExperiment(m, 2, 5);
    m.Record(2).A.Set->SetCount(0);     // an emptied channel has no smallest or largest value
    m.Record(2).B.Y->SetItem(0, 30000); // the largest value comes first
    SetMetadata(m.Record(2), kMetaTitle, "Leaf 3");
    SetMetadata(m.Record(2), "genotype", "wt");
    const QString path = dir.path("sample.exp");
    EXPECT_TRUE(SaveExperimentFile(m, path));
    return path;
}
} // namespace

TEST(CliInfo, JsonDescribesEveryMeasurementOldestFirst) {
    TestDir dir;
    TExperimentModel m;
    const QString path = SampleFile(dir, m);
    const CliRun r = RunCliCommand({"info", path, "--json"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
    const QJsonObject j = r.json().object();
    EXPECT_EQ(j["Title"].toString(), "Quenching analysis");
    EXPECT_EQ(j["Description"].toArray().size(), 2);
    EXPECT_EQ(j["N"].toInt(), 3);
    EXPECT_EQ(j["MeasurementCount"].toInt(), 2);
    EXPECT_EQ(j["MeasurementCounter"].toInt(), 2);
    EXPECT_EQ(j["ProtocolLines"].toInt(), 3);
    const QJsonArray ms = j["Measurements"].toArray();
    ASSERT_EQ(ms.size(), 2);

    const QJsonObject first = ms[0].toObject();
    EXPECT_EQ(first["Measurement"].toInt(), 1);
    EXPECT_EQ(first["Metadata"].toObject(), (QJsonObject{{"title", "Leaf 3"}, {"genotype", "wt"}}));
    EXPECT_EQ(first["Time"].toString(), "2025-12-09T06:00:00.000");
    EXPECT_EQ(first["DeviceType"].toInt(), 8);
    EXPECT_EQ(first["Device"].toString(), "ModelF");
    EXPECT_EQ(first["Conditions"]["OffsetB"].toInt(), 200);
    EXPECT_EQ(first["A"]["Caption"].toString(), "Data Set A( 0 )");
    EXPECT_EQ(first["A"]["Count"].toInt(), 0);
    EXPECT_EQ(first["A"]["Capacity"].toInt(), 5);
    EXPECT_TRUE(first["A"]["MinY"].isNull());
    EXPECT_EQ(first["A"]["PointStyle"].toString(), "ptCircle");
    EXPECT_EQ(first["B"]["PointStyle"].toString(), "ptSquare");
    EXPECT_EQ(first["B"]["BrushColor"].toString(), "$FFFFFF");

    const QJsonObject second = ms[1].toObject();
    const TMeasurementRecord &rec = m.Record(1);
    EXPECT_EQ(second["A"]["Color"].toString(), "$0000FF");
    EXPECT_EQ(second["A"]["YShift"]["AddKoef"].toDouble(), 0.25);
    EXPECT_EQ(second["B"]["YMultiply"]["MulKoef"].toDouble(), 2.5);
    EXPECT_EQ(second["B"]["Count"].toInt(), 2);
    // The smallest and largest displayed values, wherever they lie.
    const TMeasurementRecord &older = m.Record(2);
    EXPECT_EQ(ms[0]["B"]["MaxY"].toDouble(), older.B.Y->Value(0));
    EXPECT_EQ(ms[0]["B"]["MinY"].toDouble(), older.B.Y->Value(1));
    EXPECT_EQ(second["B"]["MinX"].toDouble(), rec.B.X->Value(0));
    EXPECT_EQ(second["B"]["MaxX"].toDouble(), rec.B.X->Value(1));
    EXPECT_NE(second["B"]["MaxY"].toDouble(), rec.B.Y->GetItem(1)); // displayed, not raw
}

TEST(CliInfo, TextNamesTheSameFacts) {
    TestDir dir;
    TExperimentModel m;
    const CliRun r = RunCliCommand({"info", SampleFile(dir, m)});
    ASSERT_EQ(r.rc, 0);
    for (const char *part :
         {"Title: Quenching analysis\n", "Measurements: 2\n", "Measurement 1\n  Title: Leaf 3\n  genotype = wt\n",
          "Measurement 2\n", "Device: 9 (ModelG1)", "Channel B: \"Data Set B( 1 )\"", "Protocol lines: 3\n",
          "Measurement counter: 2\n"})
        EXPECT_TRUE(r.out.contains(QLatin1String(part))) << part;
}

TEST(CliInfo, BadFilesFailWithTheContainersMessage) {
    TestDir dir;
    TExperimentModel m;
    const QString good = SampleFile(dir, m);
    QFile g(good);
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    const QByteArray bytes = g.readAll();
    struct {
        QByteArray content;
        QString message;
    } cases[] = {
        {"not an experiment", "Bad file format"},
        {bytes.left(bytes.size() - 3), "Reading error"},
        {QByteArray(bytes).replace("Version 1.1.20.188", "Version 1.1.20.100"), "Unsuported File Format"},
    };
    for (const auto &c : cases) {
        const QString path = dir.path("bad.exp");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.content);
        f.close();
        const CliRun r = RunCliCommand({"info", path, "--json"});
        EXPECT_EQ(r.rc, 1);
        EXPECT_EQ(r.err, c.message + ": " + path + "\n");
        EXPECT_EQ(r.json().object().value("error")["exitCode"].toInt(), 1);
    }
    const CliRun missing = RunCliCommand({"info", dir.path("none.exp")});
    EXPECT_EQ(missing.rc, 1);
    EXPECT_EQ(missing.err, "File not found: " + dir.path("none.exp") + "\n");
    EXPECT_EQ(RunCliCommand({"info"}).rc, 2);
    EXPECT_EQ(RunCliCommand({"info", good, good}).rc, 2);
}
