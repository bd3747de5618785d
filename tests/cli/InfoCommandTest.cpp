// tessel-cli info, what an experiment file holds, and edit: a measurement
// dropped or relabelled, the rest of the file exactly as it was.
#include "CliTestSupport.h"

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
    const QJsonObject j = r.json().object();
    EXPECT_EQ(j["Title"].toString(), "Quenching analysis");
    EXPECT_EQ(j["Description"].toArray().size(), 2);
    EXPECT_EQ(j["MeasurementCount"].toInt(), 2);
    const QJsonArray ms = j["Measurements"].toArray();
    ASSERT_EQ(ms.size(), 2);

    const QJsonObject first = ms[0].toObject();
    EXPECT_EQ(first["Measurement"].toInt(), 1);
    EXPECT_EQ(first["Metadata"].toObject(), (QJsonObject{{"title", "Leaf 3"}, {"genotype", "wt"}}));
    EXPECT_EQ(first["Time"].toString(), "2025-12-09T06:00:00.000");
    EXPECT_EQ(first["Device"].toString(), "ModelF");
    EXPECT_EQ(first["A"]["Capacity"].toInt(), 5);
    EXPECT_TRUE(first["A"]["MinY"].isNull());
    EXPECT_EQ(first["B"]["PointStyle"].toString(), "ptSquare");

    const QJsonObject second = ms[1].toObject();
    const TMeasurementRecord &rec = m.Record(1);
    EXPECT_EQ(second["A"]["Color"].toString(), "$0000FF");
    EXPECT_EQ(second["A"]["YShift"]["AddKoef"].toDouble(), 0.25);
    EXPECT_EQ(second["B"]["Count"].toInt(), 2);
    // The smallest and largest displayed values, wherever they lie.
    const TMeasurementRecord &older = m.Record(2);
    EXPECT_EQ(ms[0]["B"]["MaxY"].toDouble(), older.B.Y->Value(0));
    EXPECT_EQ(ms[0]["B"]["MinY"].toDouble(), older.B.Y->Value(1));
    EXPECT_EQ(second["B"]["MinX"].toDouble(), rec.B.X->Value(0));
    EXPECT_EQ(second["B"]["MaxX"].toDouble(), rec.B.X->Value(1));
    EXPECT_NE(second["B"]["MaxY"].toDouble(), rec.B.Y->GetItem(1)); // displayed, not raw
}

TEST(CliInfo, TextNamesTheSameFactsAndFailures) {
    TestDir dir;
    TExperimentModel m;
    const QString good = SampleFile(dir, m);
    const CliRun r = RunCliCommand({"info", good});
    ASSERT_EQ(r.rc, 0);
    for (const char *part :
         {"Title: Quenching analysis\n", "Measurements: 2\n", "Measurement 1\n  Title: Leaf 3\n  genotype = wt\n",
          "Measurement 2\n", "Device: 9 (ModelG1)", "Channel B: \"Data Set B( 1 )\"", "Protocol lines: 3\n",
          "Measurement counter: 2\n"})
        EXPECT_TRUE(r.out.contains(QLatin1String(part))) << part;

    // A damaged file fails with the container's message (the container's
    // tests have each of them).
    const QString bad = dir.path("bad.exp");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(ReadBytes(good).chopped(3));
    f.close();
    const CliRun damaged = RunCliCommand({"info", bad, "--json"});
    EXPECT_EQ(damaged.rc, 1);
    EXPECT_EQ(damaged.err, "Reading error: " + bad + "\n");
    EXPECT_EQ(damaged.json()["error"]["exitCode"].toInt(), 1);
    EXPECT_EQ(RunCliCommand({"info"}).rc, 2);
    EXPECT_EQ(RunCliCommand({"info", good, good}).rc, 2);
}

namespace {
QJsonArray Measurements(const QString &path) {
    return RunCliCommand({"info", path, "--json"}).json().object()["Measurements"].toArray();
}
} // namespace

TEST(CliEdit, RelabelsAndRemovesLeavingTheRestAsItWas) {
    TestDir dir;
    const QString exp = SavedSample(dir, 5, [](TExperimentModel &m) {
        m.PrepareMeasurementDataSets(5, 0);
        m.Current().A.Set->SetCount(5);
        m.RecordMeasurement(46003, 25, {}, m.Protocol, {"Gain"}, {"7"});
    });
    const QByteArray original = ReadBytes(exp);
    const QJsonArray before = Measurements(exp);
    ASSERT_EQ(before.size(), 3);

    // A label set and taken away again leaves every byte as it was.
    const CliRun set = RunCliCommand({"edit", exp, "--measurement", "2", "--title", "Leaf 3", "--set", "leaf=3"});
    ASSERT_EQ(set.rc, 0) << set.err.toStdString();
    EXPECT_EQ(set.out, "Measurement 2: Leaf 3; leaf=3\n");
    EXPECT_EQ(Measurements(exp)[1].toObject()["Metadata"].toObject(),
              (QJsonObject{{"title", "Leaf 3"}, {"leaf", "3"}}));
    ASSERT_EQ(RunCliCommand({"edit", exp, "--measurement", "2", "--title", "", "--set", "leaf="}).rc, 0);
    EXPECT_EQ(ReadBytes(exp), original);

    const CliRun removed = RunCliCommand({"edit", exp, "--remove", "2", "--json"});
    ASSERT_EQ(removed.rc, 0) << removed.err.toStdString();
    EXPECT_EQ(removed.json().object()["measurements"].toInt(), 2);
    const QJsonArray after = Measurements(exp);
    ASSERT_EQ(after.size(), 2);
    for (const auto &[was, is] : {std::pair(0, 0), std::pair(2, 1)}) {
        QJsonObject expected = before[was].toObject();
        expected["Measurement"] = is + 1;
        EXPECT_EQ(after[is].toObject(), expected) << was;
    }

    const struct {
        QStringList args;
        int rc;
    } failures[] = {
        {{"edit", exp}, 2},
        {{"edit", exp, "--remove", "1", "--title", "x"}, 2},
        {{"edit", exp, "--measurement", "1"}, 2},
        {{"edit", exp, "--title", "x"}, 2},
        {{"edit", exp, "--measurement", "1", "--set", "no key"}, 2},
        {{"edit", exp, "--remove", "0"}, 2},
        {{"edit", exp, "--remove", "3"}, 1},
    };
    const QByteArray kept = ReadBytes(exp);
    for (const auto &f : failures)
        EXPECT_EQ(RunCliCommand(f.args).rc, f.rc) << f.args.join(' ').toStdString();
    EXPECT_EQ(ReadBytes(exp), kept);
}
