// tessel-cli edit: a measurement dropped or relabelled, the rest of the file
// exactly as it was.
#include "CliTestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

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
