// tessel-cli info, what an experiment file holds, and edit: a measurement
// dropped or relabelled, the rest of the file exactly as it was.
#include "CliTestSupport.h"

using namespace tessel;
using namespace tessel::test;

// Json and text name the same facts; a damaged file fails with the
// container's message (the container's tests have each of them).
TEST(CliInfo, JsonAndTextDescribeEveryMeasurementOldestFirst) {
    TestDir dir;
    const QString path = SavedSample(dir, 5, [](TExperimentModel &m) {
        m.Record(2).A.Set->SetCount(0);     // an emptied channel has no smallest or largest value
        m.Record(2).B.Y->SetItem(0, 30000); // the largest value comes first
        SetMetadata(m.Record(2), kMetaTitle, "Leaf 3");
        SetMetadata(m.Record(2), "genotype", "wt");
    });
    TExperimentModel m;
    ASSERT_TRUE(LoadExperimentFile(m, path));
    const CliRun r = RunCliCommand({"info", path, "--json"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.json()["Title"].toString(), "Quenching analysis");
    const QJsonArray ms = r.json()["Measurements"].toArray();
    const QJsonObject first = ms[0].toObject(), second = ms[1].toObject();
    EXPECT_EQ(first["Metadata"].toObject(), (QJsonObject{{"title", "Leaf 3"}, {"genotype", "wt"}}));
    EXPECT_TRUE(first["A"]["MinY"].isNull());
    // The smallest and largest displayed values, wherever they lie.
    EXPECT_EQ(first["B"]["MaxY"].toDouble(), m.Record(2).B.Y->Value(0));
    EXPECT_EQ(first["B"]["MinY"].toDouble(), m.Record(2).B.Y->Value(1));
    EXPECT_EQ(second["A"]["YShift"]["AddKoef"].toDouble(), 0.25);
    EXPECT_NE(second["B"]["MaxY"].toDouble(), m.Record(1).B.Y->GetItem(1)); // displayed, not raw

    const QString text = RunCliCommand({"info", path}).out;
    for (const char *part : {"Measurements: 2\n", "Measurement 1\n  Title: Leaf 3\n  genotype = wt\n",
                             "Device: 9 (ModelG1)", "Channel B: \"Data Set B( 1 )\""})
        EXPECT_TRUE(text.contains(QLatin1String(part))) << part;

    const QString bad = dir.path("bad.exp");
    ASSERT_TRUE(QFile::copy(path, bad));
    ASSERT_TRUE(QFile::resize(bad, ReadBytes(path).size() - 3));
    const CliRun damaged = RunCliCommand({"info", bad, "--json"});
    EXPECT_EQ(damaged.rc, 1);
    EXPECT_EQ(damaged.err, "Reading error: " + bad + "\n");
    EXPECT_EQ(damaged.json()["error"]["exitCode"].toInt(), 1);
    ExpectExitCodes({{{"info"}, 2}, {{"info", path, path}, 2}});
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
    for (const auto &[was, is] : {std::pair(0, 0), std::pair(2, 1)}) {
        QJsonObject expected = before[was].toObject();
        expected["Measurement"] = is + 1;
        EXPECT_EQ(after[is].toObject(), expected) << was;
    }

    const QByteArray kept = ReadBytes(exp);
    ExpectExitCodes({
        {{"edit", exp}, 2},
        {{"edit", exp, "--title", "x"}, 2},
        {{"edit", exp, "--remove", "0"}, 2},
        {{"edit", exp, "--remove", "3"}, 1},
    });
    EXPECT_EQ(ReadBytes(exp), kept);
}
