#include "data/ExperimentFile.h"
#include "common/MessageService.h"
#include "data/SampleExperiments.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

void MakeGoldenModel(const QString &name, TExperimentModel &m) {
    if (name == "empty") {
        m.Protocol = {QStringLiteral("; new experiment")};
    } else if (name == "two") {
        FillSampleExperiment(m, 2, 5);
        m.LogarithmicX = true;
    } else {
        FillSampleExperiment(m, 3, 3);
        m.Record(2).A.Set->Visible = false;
        m.Record(1).B.Set->SetCapacity(0);
        m.Record(2).Conditions.LogX = 1; // stale: the writer stores the model's flag
    }
}

struct Fixture : ::testing::Test {
    TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};

    QByteArray Save(TExperimentModel &m) {
        const QString path = dir.path("t.exp");
        EXPECT_TRUE(SaveExperimentFile(m, path));
        return ReadBytes(path);
    }
    bool LoadBytes(const QByteArray &bytes, TExperimentModel &m) {
        TFileOp f;
        f.OnCreateStream = [bytes](const QString &, TFileMode) { return std::make_unique<TMemoryStream>(bytes); };
        f.FileName = QStringLiteral("mem.exp");
        if (!f.Open())
            return false;
        return ReadExperiment(f, m);
    }
};

using ExperimentFile = Fixture;

QByteArray SampleBytes(ExperimentFile &t, int measurements, int samples) {
    TExperimentModel m;
    FillSampleExperiment(m, measurements, samples);
    return t.Save(m);
}

} // namespace

// The stored files pin the layout byte for byte: the writer gives them, and a
// stored file read and written again gives the same bytes (so every field
// comes back); the model's side is checked on top.
TEST_F(ExperimentFile, WriterAndReaderFollowTheGoldenFiles) {
    const bool update = qEnvironmentVariableIsSet("TESSEL_UPDATE_GOLDEN");
    for (const char *name : {"empty", "two", "three"}) {
        SCOPED_TRACE(name);
        const QString golden = SourcePath(QStringLiteral("tests/data/golden/%1.exp").arg(name));
        TExperimentModel m;
        MakeGoldenModel(name, m);
        const QByteArray written = Save(m);
        if (update) {
            QFile f(golden);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(written);
        }
        const QByteArray stored = ReadBytes(golden);
        ASSERT_FALSE(stored.isEmpty());
        EXPECT_EQ(written, stored);
        TExperimentModel back;
        ASSERT_TRUE(LoadExperimentFile(back, golden));
        EXPECT_EQ(Save(back), stored);
        ASSERT_EQ(back.RecordCount(), m.RecordCount());
        EXPECT_EQ(std::pair(back.LogarithmicX, back.MeasurementCounter),
                  std::pair(m.LogarithmicX, m.MeasurementCounter));
        for (int i = 1; i < m.RecordCount(); ++i) { // newest first
            const TMeasurementRecord &r = back.Record(i);
            EXPECT_EQ(r.A.Set->Caption + ", " + r.B.Set->Caption,
                      QStringLiteral("Data Set A( %1 ), Data Set B( %1 )").arg(m.RecordCount() - 1 - i));
            EXPECT_EQ(std::tuple(r.Time, r.VarValues, r.A.Y->Value(1)),
                      std::tuple(m.Record(i).Time, m.Record(i).VarValues, m.Record(i).A.Y->Value(1)));
        }
    }
    EXPECT_TRUE(messages.entries.empty());
}

TEST_F(ExperimentFile, AnyOtherVersionTagIsRefused) {
    const QByteArray good = SampleBytes(*this, 1, 2);
    for (const char *tag :
         {"Version 1.1.20.189", "version 1.1.20.188", "Version 1.1.20.188 ", "", "Version 1.1.20.18"}) {
        messages.clear();
        QByteArray b = good;
        const QByteArray t(tag);
        b.replace(19, 4 + 18, QByteArray(1, char(t.size())) + QByteArray(3, '\0') + t);
        TExperimentModel back;
        back.Title = "stale";
        EXPECT_FALSE(LoadBytes(b, back)) << tag;
        EXPECT_EQ(messages.texts(), QStringList{"Unsuported File Format"}) << tag;
        EXPECT_EQ(std::pair(back.RecordCount(), back.Title), std::pair(1, QString()));
    }
}

TEST_F(ExperimentFile, DamagedFileKeepsTheCompleteMeasurements) {
    const QByteArray good = SampleBytes(*this, 2, 50);
    TExperimentModel back;
    // Cut inside the second measurement's channel B.
    EXPECT_FALSE(LoadBytes(good.left(good.size() / 2 + 200), back));
    EXPECT_EQ(messages.texts(), QStringList{"Reading error"});
    ASSERT_EQ(back.RecordCount(), 2);
    EXPECT_EQ(std::tuple(back.Title, back.Record(1).A.Set->Caption, back.Record(1).A.Set->Count()),
              std::tuple(QString("Quenching analysis"), QString("Data Set A( 0 )"), 50));
}

// Scaling reaches the channel chains; removing both sets of a measurement
// removes it, one alone only empties that set.
TEST(ExperimentModel, ScalingAndRemovingDataSets) {
    TChannelScaling scaling;
    scaling.MulA = 2;
    scaling.ThicknessB = 3;
    TExperimentModel m(scaling);
    EXPECT_EQ(std::pair(m.Current().A.Mul->MulKoef, m.Current().B.Set->Thickness), std::pair(2.0, 3));
    FillSampleExperiment(m, 2, 4);
    EXPECT_EQ(m.SizeEstimate(), 50 * 3 + 10 * (4 + 4 + 4 + 2));
    TDependency *a = m.Record(1).A.Set.get();
    EXPECT_FALSE(m.RemoveDataSet(a));
    EXPECT_EQ(std::pair(m.RecordCount(), a->PlannedCount()), std::pair(3, 0));
    EXPECT_TRUE(m.RemoveDataSet(m.Record(1).B.Set.get()));
    EXPECT_EQ(std::pair(m.RecordCount(), m.Record(1).A.Set->Caption), std::pair(2, QString("Data Set A( 0 )")));
}

// Days since 30 December 1899, the fraction the time of day also before it.
TEST(ExperimentDates, DaysSince1899) {
    EXPECT_DOUBLE_EQ(DaysFromDateTime(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
    EXPECT_EQ(DateTimeFromDays(46362.75).value_or(QDateTime()).toString(Qt::ISODate), "2026-12-06T18:00:00");
    EXPECT_EQ(DateTimeFromDays(-1.25).value_or(QDateTime()).toString(Qt::ISODate), "1899-12-29T06:00:00");
    for (double bad : {std::nan(""), 1e300, -1e7})
        EXPECT_FALSE(DateTimeFromDays(bad).has_value());
}
