#include "app/ExperimentDoc.h"
#include "app/MeasurementAnalysis.h"
#include "authoring/ProtocolTestSupport.h"
#include "common/NumberText.h"
#include "data/SampleExperiments.h"
#include "graph/GraphModel.h"

using namespace tessel;
using namespace tessel::test;

namespace {

struct ExperimentDocTest : ProtocolFixture {
    TGraphModel graph, ab;
    TLogAxisTr logX;
    std::unique_ptr<TExperimentDoc> doc;

    void SetUp() override {
        ProtocolFixture::SetUp();
        doc = newDoc();
    }
    void TearDown() override {
        doc.reset();
        ProtocolFixture::TearDown();
    }
    std::unique_ptr<TExperimentDoc> newDoc() {
        auto d = std::make_unique<TExperimentDoc>(*compiler, env, dir.path("include"), ModelF, TChannelScaling{});
        d->SetGraphs(&graph, &ab);
        return d;
    }
    // One completed measurement with nA and nB points at x = 1, 2, ...
    void measure(int nA, int nB, double firstX = 1) {
        doc->PrepareMeasurementDataSets(nA, nB, firstX, firstX);
        TMeasurementRecord &r = doc->Model.Current();
        const int n[2] = {nA, nB};
        for (int c = 0; c < 2; ++c) {
            r.Channel(c).Set->SetCount(n[c]);
            for (int i = 0; i < n[c]; ++i) {
                r.Channel(c).X->SetItem(i, firstX + i);
                r.Channel(c).Y->SetItem(i, 10 * (c + 1) + i);
            }
        }
        doc->RecordMeasurement(46000.5, ModelT1, TConditions{});
        doc->StartNextMeasurement();
    }
};

TEST_F(ExperimentDocTest, ExcludeSetsWithoutDataDecidesWhichSetsJoinTheGraph) {
    // exclude, points planned on A and B -> A and B on the graph
    const std::tuple<bool, int, int, bool, bool> cases[] = {
        {true, 10, 0, true, false}, {true, 0, 10, false, true}, {true, 0, 0, true, false}, {false, 10, 0, true, true}};
    for (const auto &[exclude, plannedA, plannedB, a, b] : cases) {
        env.ExcludeCh = exclude;
        doc = newDoc();
        doc->PrepareMeasurementDataSets(plannedA, plannedB, 1, 1);
        const TMeasurementRecord &r = doc->Model.Current();
        EXPECT_EQ(std::pair(graph.Contains(r.A.Set.get()), graph.Contains(r.B.Set.get())), std::pair(a, b))
            << exclude << plannedA << plannedB;
    }
}

TEST_F(ExperimentDocTest, LogarithmicAxisKeepsSetsStartingAtZeroInvisible) {
    graph.SetXAxis(&logX);
    doc->PrepareMeasurementDataSets(3, 3, 0, 0.5);
    TMeasurementRecord &r = doc->Model.Current();
    EXPECT_FALSE(r.A.Set->Visible);
    EXPECT_TRUE(r.B.Set->Visible);

    measure(3, 3, 0);
    TDependency *a = doc->Model.Record(1).A.Set.get();
    a->Visible = true;
    doc->DataSetChanged(a);
    EXPECT_FALSE(a->Visible);
    EXPECT_EQ(messages.texts(), QStringList{"Can't make signal visible while in logarithmic scale"});
}

TEST_F(ExperimentDocTest, ScaleCellsReadRoundAndClampTypedNumbers) {
    measure(2, 2);
    TMeasurementRecord &r = doc->Model.Record(1);
    const std::tuple<int, const char *, double> cases[] = {{xcYShift, "abc", 0},
                                                           {xcYShift, "2e7", 1e6},
                                                           {xcYShift, "0.1234567891234", 0.123456789},
                                                           {xcMultiplication, "1e-12", 0}};
    for (const auto &[column, text, expected] : cases) {
        r.A.Shift->AddKoef = 0;
        r.A.Mul->MulKoef = 1;
        doc->SetScaleText(r.A.Set.get(), column, QString::fromLatin1(text));
        EXPECT_DOUBLE_EQ(column == xcYShift ? r.A.Shift->AddKoef : r.A.Mul->MulKoef, expected) << text;
        EXPECT_EQ(doc->CellText(r.A.Set.get(), column), FormatShortest(expected)) << text;
    }
}

TEST_F(ExperimentDocTest, ConditionColumnsApplyOnlyToInstrumentsThatHaveThem) {
    const std::tuple<uint8_t, const char *, const char *> cases[] = {
        {ModelF, "---", "---"}, {ModelR2, "7", "---"}, {ModelT1, "7", "9"}};
    for (const auto &[type, gain, sens] : cases) {
        doc = newDoc();
        doc->PrepareMeasurementDataSets(1, 1, 1, 1);
        TConditions cond;
        cond.GainA = 7;
        cond.SensA = 9;
        doc->RecordMeasurement(46000, type, cond);
        const TDependency *a = doc->Model.Record(1).A.Set.get();
        EXPECT_EQ(QStringList({doc->CellText(a, xcGain), doc->CellText(a, xcSens), doc->CellText(a, xcDevice)}),
                  QStringList({gain, sens, DeviceInfo(TDevice(type)).name}))
            << int(type);
    }
    // The prepared record has no time, device or conditions yet.
    EXPECT_EQ(doc->CellText(doc->Model.Current().A.Set.get(), xcTime), "---");
}

TEST(ABPairingTest, PairsChannelAWithTheLastPointsOfChannelB) {
    const std::tuple<int, int, TABPairing> cases[] = {{0, 3, {}}, {4, 3, {}}, {2, 3, {2, 1}}, {2, 2, {2, 0}}};
    for (const auto &[nA, nB, expected] : cases) {
        TIntVector ya, yb;
        TDoubleVector x;
        TDependency a(&x, &ya), b(&x, &yb);
        ya.SetCount(nA);
        yb.SetCount(nB);
        EXPECT_EQ(ABPairing(a, b), expected) << nA << " " << nB;
    }
}

TEST_F(ExperimentDocTest, RemovingBothSetsDropsTheRecordAndItsSheet) {
    int sheetUpdates = 0;
    doc->OnSheetsChanged = [&] { ++sheetUpdates; };
    measure(3, 3);
    measure(4, 4);
    ASSERT_EQ(doc->Model.RecordCount(), 3);
    TMeasurementRecord &older = doc->Model.Record(2);
    ASSERT_NE(doc->ABSeries(older), nullptr);

    graph.RemoveDependency(older.A.Set.get());
    EXPECT_EQ(doc->Model.RecordCount(), 3);
    EXPECT_EQ(SheetCaption(doc->Model.Record(2)), "A: Empty\nB: Data Set B( 0 )");
    EXPECT_EQ(doc->ABSeries(doc->Model.Record(2)), nullptr);

    graph.RemoveDependency(doc->Model.Record(2).B.Set.get());
    EXPECT_EQ(doc->Model.RecordCount(), 2);
    EXPECT_EQ(doc->Model.Record(1).A.Set->Caption, "Data Set A( 1 )");
    EXPECT_GE(sheetUpdates, 4);
}

TEST_F(ExperimentDocTest, ABSeriesFollowsChannelAVisibilityAndScaling) {
    measure(2, 3);
    TMeasurementRecord &r = doc->Model.Record(1);
    TDependency *s = doc->ABSeries(r);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(ab.Contains(s));
    EXPECT_EQ(s->Count(), 2);
    EXPECT_EQ(s->Color, r.A.Set->Color);
    doc->SetScaleText(r.B.Set.get(), xcYShift, "100");
    EXPECT_DOUBLE_EQ(s->Y->Value(0), 121);
    // The chart's range follows the displayed values, flipped by a negative factor.
    doc->SetScaleText(r.A.Set.get(), xcMultiplication, "-2");
    doc->ScaleAB();
    EXPECT_DOUBLE_EQ(s->X->Value(1), -22);
    EXPECT_NEAR(ab.XAxis()->RangeMin(), -22.1, 1e-9);
    EXPECT_NEAR(ab.XAxis()->RangeMax(), -19.9, 1e-9);
    r.A.Set->Visible = false;
    doc->DataSetChanged(r.A.Set.get());
    EXPECT_EQ(s->Count(), 0);
}

TEST_F(ExperimentDocTest, CloseQuestionFollowsConfirmActionsAndTheAnswer) {
    // modified, confirm actions, answer -> outcome, whether it asked
    const std::tuple<bool, bool, MsgButton, TCloseAnswer, bool> cases[] = {
        {false, true, mbYes, TCloseAnswer::Close, false},
        {true, false, mbYes, TCloseAnswer::Close, false},
        {true, true, mbYes, TCloseAnswer::SaveAndClose, true},
        {true, true, mbNo, TCloseAnswer::Close, true},
        {true, true, mbCancel, TCloseAnswer::Keep, true}};
    doc->DocName = "leaf.exp";
    for (const auto &[modified, confirm, answer, expected, asked] : cases) {
        messages.clear();
        messages.answers = {answer};
        doc->Modified = modified;
        doc->Protocol.Modified = false;
        EXPECT_EQ(doc->AskClose(confirm), expected);
        EXPECT_EQ(messages.texts(), asked ? QStringList{"Save Changes to leaf.exp"} : QStringList());
    }
    messages.clear();
    doc->ShMeasuring = true;
    EXPECT_EQ(doc->AskClose(true), TCloseAnswer::Keep);
    EXPECT_TRUE(messages.entries.empty());
}

TEST_F(ExperimentDocTest, SavedExperimentReadsBackEqual) {
    FillSampleExperiment(doc->Model, 3, 50);
    doc->Protocol.Title = "Quenching analysis";
    doc->Protocol.Description = "Leaf 3\nsecond line";
    doc->Protocol.Text = "; quenching\nGain = 3";
    const QString path = dir.path("leaf.exp");
    dialogs.answer(path);
    ASSERT_TRUE(doc->Save(false));
    EXPECT_FALSE(doc->Modified || doc->Protocol.Modified);
    auto copy = newDoc();
    ASSERT_TRUE(copy->Load(path));
    EXPECT_EQ(QStringList({copy->DocName, copy->Protocol.Title, copy->Protocol.Description, copy->Protocol.Text}),
              QStringList({path, "Quenching analysis", "Leaf 3\nsecond line", "; quenching\nGain = 3"}));
    EXPECT_EQ(copy->Model.RecordCount(), 4);
}

TEST_F(ExperimentDocTest, RefusedFileLeavesAnUnnamedExperiment) {
    const QString path = dir.path("bad.exp");
    WriteTextFile(path, "QORVEN DATA FILE 97 but not really");
    EXPECT_FALSE(doc->Load(path));
    EXPECT_FALSE(messages.texts().isEmpty());
    EXPECT_EQ(doc->Model.RecordCount(), 1);
    // A later save asks for a name instead of overwriting the refused file.
    EXPECT_TRUE(doc->FileOp.ForceSaveAs);
    EXPECT_NE(doc->FileOp.FileName, path);
}

// The parameters are compared with the data table beside them: both list the
// measurements oldest first.
TEST(ParameterTable, ListsTheMeasurementsInTheDataTablesOrder) {
    TExperimentModel m;
    FillSampleExperiment(m, 3, 10);
    std::vector<TRecordAnalysis> all(3);
    for (TRecordAnalysis &a : all)
        a.Channels[0].Groups.push_back({QStringLiteral("Fo"), 1, 1.0, 0.0, {}});
    QStringList captions;
    for (const TParameterRow &row : ParameterTableRows(m, all))
        captions << row.Cells.at(0).Text;
    EXPECT_EQ(captions, QStringList({"Data Set A( 0 )", "Data Set A( 1 )", "Data Set A( 2 )"}));
}

} // namespace
