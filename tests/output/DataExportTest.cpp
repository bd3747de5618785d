#include "data/ExperimentFile.h"
#include "output/AsciiExport.h"
#include "output/CsvExport.h"
#include "output/JsonExport.h"
#include "output/LongCsvExport.h"

#include "support/TestSupport.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

struct Channel {
    std::vector<double> x;
    std::vector<int> y;
};

// Adds one completed measurement (it becomes record 1).
void AddMeasurement(TExperimentModel &m, const Channel &a, const Channel &b, uint8_t device = 8,
                    const QStringList &names = {}, const QStringList &values = {}) {
    m.PrepareMeasurementDataSets(int(a.x.size()), int(b.x.size()));
    TMeasurementRecord &r = m.Current();
    const Channel *src[2] = {&a, &b};
    for (int c = 0; c < 2; ++c) {
        TChannel &ch = r.Channel(c);
        ch.Set->SetCount(int(src[c]->x.size()));
        for (size_t i = 0; i < src[c]->x.size(); ++i) {
            ch.X->SetItem(int(i), src[c]->x[i]);
            ch.Y->SetItem(int(i), src[c]->y[i]);
        }
    }
    TConditions cond;
    cond.GainA = 1, cond.OffsetA = 2, cond.GainB = 3, cond.OffsetB = 4;
    // 1 Jan 2020 at midnight: the header shows the date only.
    m.RecordMeasurement(43831.0, device, cond, {QStringLiteral("measure")}, names, values);
}

QStringList Lines(const QString &text) {
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    QStringList l = text.split(QStringLiteral("\r\n"));
    l.removeLast();
    return l;
}

} // namespace

TEST(AsciiExport, FileWithoutHeader) {
    TExperimentModel m;
    AddMeasurement(m, {{0, 1, 2.5}, {10, 11, 12}}, {{0, 1, 2}, {-5, 6, 7}}, 8, {"Gain", "Light"}, {"3", "500"});
    // Rows are the times shown: B's are shifted by 0.5.
    TLinTransformation shift;
    shift.AddKoef = 0.5;
    m.Record(1).B.X->SetTransformation(&shift);
    m.Record(1).B.Mul->MulKoef = 0.5;
    TAsciiExport e(m, QStringLiteral("/data/leaf.exp"));
    e.Locale = QLocale::c();
    e.Options.IncludeHeader = false;
    const QStringList expected = {
        "Tessel ASCII Export File",
        "-----------------------------------",
        "File Name         :/data/leaf.exp",
        "-----------------------------------",
        "Data Set B( 0 )",
        "Param\tGain\tLight",
        "Value\t3\t500",
        "",
        "Data Set A( 0 )",
        "Param\tGain\tLight",
        "Value\t3\t500",
        "",
        "-----------------------------------",
        "Time\tData Set B( 0 )\tData Set A( 0 )",
        "0\t\t10",
        "0.5\t-2.5\t",
        "1\t\t11",
        "1.5\t3\t",
        "2.5\t3.5\t12",
    };
    EXPECT_EQ(Lines(e.Text()), expected);
    m.Record(1).B.X->SetTransformation(nullptr);
}

TEST(AsciiExport, HeaderDescribesEverySelectedDataSet) {
    TExperimentModel m;
    m.Title = QStringLiteral("Leaf 3");
    AddMeasurement(m, {{0, 1}, {1, 2}}, {{0, 1}, {3, 4}}, 21); // becomes record 2
    AddMeasurement(m, {{0.5, 1.5}, {5, 6}}, {{0.5, 1.5, 2.25}, {7, 8, 9}}, 8);
    m.Record(1).A.Set->Visible = false;
    TAsciiExport e(m, QStringLiteral("x.exp"));
    e.Locale = QLocale(QLocale::German, QLocale::Germany);
    e.Options.Sets = TExportSets::Visible;
    e.Options.Range = TExportRange::GraphVisible;
    e.RangeMin = 0.75;
    e.RangeMax = 1.2;
    const QStringList l = Lines(e.Text());
    // Last selected first; record 2 is the older measurement with gain.
    const QString date = e.Locale.toString(QDate(2020, 1, 1), QLocale::ShortFormat);
    EXPECT_EQ(l.mid(3, 10), (QStringList{"Title             :Leaf 3", "Time Selection    :Graph Visible Data Only",
                                         "Start time        :0,5", "End time          :1,5", "Data Lines        :3",
                                         "Selected Data Sets: Visible",
                                         "  Data Set A( 0 )\t:2\t" + date + "\t[0%,0%,0%]\tGain:1\tOffs:2",
                                         "  Data Set B( 0 )\t:2\t" + date + "\t[0%,0%,0%]\tGain:3\tOffs:4",
                                         "  Data Set B( 1 )\t:3\t" + date + "\t[0%,0%,0%]\tGain:---\tOffs:---",
                                         "-----------------------------------"}));
    EXPECT_EQ(l.mid(l.size() - 4), (QStringList{"Time\tData Set B( 1 )\tData Set B( 0 )\tData Set A( 0 )", "0,5\t7\t\t",
                                                "1\t\t4\t2", "1,5\t8\t\t"}));
}

TEST(AsciiExport, NumbersTakeOnlyTheChosenSeparator) {
    test::TestDir dir;
    test::CommaLocale comma(dir.path());
    ASSERT_TRUE(comma.active) << "localedef could not build a decimal-comma locale (package locales)";
    TExperimentModel m;
    AddMeasurement(m, {{0.001}, {3}}, {{0.001}, {-4}});
    m.Record(1).A.Mul->MulKoef = 0.25;
    const struct {
        QLocale locale;
        QString row;
    } cases[] = {{QLocale::c(), "0.001\t-4\t0.75"}, {QLocale(QLocale::German, QLocale::Germany), "0,001\t-4\t0,75"}};
    for (const auto &c : cases) {
        TAsciiExport e(m, QStringLiteral("x.exp"));
        e.Locale = c.locale;
        const QStringList l = Lines(e.Text());
        EXPECT_EQ(l.value(5), "Start time        :" + c.row.section('\t', 0, 0));
        EXPECT_EQ(l.last(), c.row);
    }
}

// Quoting and read-back are checked with a real CSV parser (tests/cli).
TEST(CsvExport, FormulaCaptionsAndNumbers) {
    const QString minus = QString(QChar(0x2212)) + "A";
    const QString risky[] = {"=1+2", "+A", "-A", minus, "@SUM(A1)", "\t=1"};
    for (const QString &c : risky)
        EXPECT_EQ(TCsvExport::Neutralised(c), "'" + c) << c.toStdString();
    EXPECT_EQ(TCsvExport::Neutralised("Leaf = 3"), "Leaf = 3");
    EXPECT_EQ(TCsvExport::Number(0.1 + 0.2, u','), "0,3"); // arithmetic noise is not written
}

TEST(CsvExport, TableWithChosenDelimiterAndDecimal) {
    TExperimentModel m;
    AddMeasurement(m, {{0.00000001, 1, 2.5}, {10, 11, 12}}, {{0, 1, 2}, {-5, 6, 7}});
    m.Record(1).B.Mul->MulKoef = 0.5;
    m.Record(1).A.Set->Caption = QStringLiteral("=cmd|' /C calc'!A0");
    const struct {
        TCsvStyle style;
        QStringList lines;
    } cases[] = {
        {{u',', u'.'}, {"Time,Data Set B( 0 ),'=cmd|' /C calc'!A0", "0,-2.5,10", "1,3,11", "2,3.5,", "2.5,,12"}},
        // A decimal comma inside comma-separated fields is quoted.
        {{u',', u','},
         {"Time,Data Set B( 0 ),'=cmd|' /C calc'!A0", "0,\"-2,5\",10", "1,3,11", "2,\"3,5\",", "\"2,5\",,12"}},
        {{u';', u','}, {"Time;Data Set B( 0 );'=cmd|' /C calc'!A0", "0;-2,5;10", "1;3;11", "2;3,5;", "2,5;;12"}},
    };
    for (const auto &c : cases) {
        TCsvExport e(m, QStringLiteral("x.exp"));
        e.Style = c.style;
        EXPECT_EQ(Lines(e.Text()), c.lines) << QString(c.style.Delimiter).toStdString();
        EXPECT_EQ(e.Summary().Rows, 4);
    }
}

TEST(JsonExport, RecordsCarryChannelsConditionsProtocolAndParameters) {
    TExperimentModel m;
    m.Title = QStringLiteral("Leaf 3");
    AddMeasurement(m, {{0, 1, 2}, {1, 2, 3}}, {{0, 1}, {4, 5}}, 21, {"Gain"}, {"3"}); // record 2
    AddMeasurement(m, {{0.5, 1.5}, {5, 6}}, {{0.5, 1.5, 2.5}, {7, 8, 9}}, 8);
    m.Record(2).B.Mul->MulKoef = 2;
    m.Record(2).B.Shift->AddKoef = -1;
    m.Record(1).A.Set->Visible = false;

    TJsonExport e(m, QStringLiteral("leaf.exp"));
    e.Options.Sets = TExportSets::Visible;
    e.Options.Range = TExportRange::GraphVisible;
    e.RangeMin = 0.75; // rows 0.5 .. 1.5 with the neighbours
    e.RangeMax = 1.2;
    std::vector<const TMeasurementRecord *> asked;
    e.Parameters = [&](const TMeasurementRecord &r) {
        asked.push_back(&r);
        return QJsonObject{{"FvFm", 0.8}};
    };
    const QJsonObject doc = QJsonDocument::fromJson(e.Bytes()).object();
    const QJsonArray records = doc["records"].toArray();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(asked, (std::vector<const TMeasurementRecord *>{&m.Record(1), &m.Record(2)}));

    const QJsonObject newer = records[0].toObject(), older = records[1].toObject();
    EXPECT_FALSE(newer["conditions"].toObject().contains("gainA")); // type 8 has no gain
    ASSERT_EQ(newer["channels"].toArray().size(), 1);               // its A is hidden
    const QJsonObject b1 = newer["channels"].toArray()[0].toObject();
    EXPECT_EQ(b1["y"].toArray(), (QJsonArray{7, 8})); // 2.5 lies outside the rows

    EXPECT_EQ(older["conditions"].toObject()["gainB"].toInt(), 3);
    EXPECT_EQ(older["protocol"].toObject()["variables"].toArray(),
              (QJsonArray{QJsonObject{{"name", "Gain"}, {"value", "3"}}}));
    EXPECT_EQ(older["parameters"].toObject()["FvFm"].toDouble(), 0.8);
    const QJsonArray ch = older["channels"].toArray();
    ASSERT_EQ(ch.size(), 2);
    EXPECT_EQ(ch[0].toObject()["x"].toArray(), (QJsonArray{1})); // channel A first; no point at 0.5 or 1.5
    EXPECT_EQ(ch[1].toObject()["y"].toArray(), (QJsonArray{9})); // 5 * 2 - 1
    EXPECT_EQ(ch[1].toObject()["scaling"].toObject(), (QJsonObject{{"multiply", 2}, {"shift", -1}}));

    e.Parameters = nullptr; // unset: an empty object, never a missing member
    EXPECT_EQ(e.Document()["records"].toArray()[0].toObject()["parameters"], QJsonObject{});
}

// The long table: the graph's range (with the neighbouring point), the
// marks the hook gives, the measurement's number from the oldest.
TEST(LongCsvExport, RowsPerSampleWithinTheRangeWithTheirMarks) {
    TExperimentModel m;
    AddMeasurement(m, {{0.001, 0.002, 0.003}, {10, 11, 12}}, {{0.001}, {-5}});
    AddMeasurement(m, {{0.001, 0.002}, {20, 21}}, {});
    SetMetadata(m.Record(2), "leaf", "4");
    TLongCsvExport e(m, "leaf.exp");
    e.Marks = [](const TMeasurementRecord &r) {
        return std::array<std::vector<QString>, 2>{std::vector<QString>(size_t(r.A.Set->Count()), "Fo"), {}};
    };
    e.Options.Range = TExportRange::GraphVisible;
    e.RangeMin = 0.0025;
    e.RangeMax = 0.0035;
    const QString when = DateTimeFromDays(43831.0)->toString(Qt::ISODate);
    EXPECT_EQ(e.Text().split("\r\n", Qt::SkipEmptyParts).mid(2),
              (QStringList{"measurement,measured,leaf,channel,t,value,mark", "1," + when + ",4,A,0.002,11,Fo",
                           "1," + when + ",4,A,0.003,12,Fo", "2," + when + ",,A,0.002,21,Fo"}));
    EXPECT_EQ(e.Summary().Rows, 3);
}
