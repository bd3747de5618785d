#include "data/Stream.h"
#include "data/Vector.h"

#include <QList>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace tessel;

TEST(Transformation, ExtremesFollowTheSignOfTheFactor) {
    struct {
        double mul, add;
        bool enabled;
        double min, max, value5;
    } cases[] = {
        {-2, 1, true, -19, 1, -9},
        {0, 3, true, 3, 3, 3}, // zero factor takes the inner maximum for Min
        {2, 1, true, 1, 21, 11},
        {-2, 1, false, 10, 0, 5}, // disabled: raw values, sign still swaps
    };
    TIntVector v;
    v.SetCount(11);
    for (int i = 0; i <= 10; ++i)
        v.SetItem(i, i);
    for (const auto &c : cases) {
        TLinTransformation t;
        t.MulKoef = c.mul;
        t.AddKoef = c.add;
        t.Enabled = c.enabled;
        v.SetTransformation(&t);
        EXPECT_EQ(v.TrMin(0, 11), c.min) << c.mul;
        EXPECT_EQ(v.TrMax(0, 11), c.max) << c.mul;
        EXPECT_EQ(v.Value(5), c.value5) << c.mul;
    }
}

TEST(Transformation, ChainAppliesInnerFirst) {
    TIntVector v;
    v.SetCount(3);
    v.SetItem(0, 10);
    v.SetItem(1, -20);
    v.SetItem(2, 4);
    TLinTransformation base, mul, shift;
    mul.MulKoef = -3;
    mul.SetTransformBefore(&base);
    shift.AddKoef = 100;
    shift.SetTransformBefore(&mul);
    v.SetTransformation(&shift);
    EXPECT_EQ(v.Value(0), 70);
    EXPECT_EQ(v.TrMin(0, 3), 70);  // from the raw maximum
    EXPECT_EQ(v.TrMax(0, 3), 160); // from the raw minimum
    EXPECT_DOUBLE_EQ(v.TrMean(0, 3), 100 + -3 * (-6 / 3.0));
    EXPECT_THROW(base.SetTransformBefore(&shift), std::invalid_argument);
}

TEST(Transformation, StreamFormNeedsTheWritersShape) {
    TLinTransformation base, mul, shift;
    base.MulKoef = 1.25;
    mul.MulKoef = 2;
    mul.AddKoef = 0.5;
    shift.AddKoef = -7;
    mul.SetTransformBefore(&base);
    shift.SetTransformBefore(&mul);
    TMemoryStream s;
    shift.SaveToStream(s);
    s.WriteF64(99); // what follows the chain in a file
    EXPECT_EQ(s.Size(), 48 + 8);
    EXPECT_EQ(shift.StreamSize(), 48);

    TLinTransformation b2, m2, s2;
    m2.SetTransformBefore(&b2);
    s2.SetTransformBefore(&m2);
    s.Seek(0);
    s2.LoadFromStream(s);
    EXPECT_EQ(QList<double>({s2.AddKoef, m2.MulKoef, m2.AddKoef, b2.MulKoef, s.ReadF64()}),
              QList<double>({-7, 2, 0.5, 1.25, 99}));

    // A one-level reader stops after 16 bytes and leaves the rest unread.
    TLinTransformation single;
    s.Seek(0);
    single.LoadFromStream(s);
    EXPECT_EQ(s.Position(), 16);
    EXPECT_EQ(SharedIdentity().StreamSize(), 0);
}

// Whole columns must give exactly what Value gives element by element, for
// every chain shape and vector class, and refuse ranges beyond the storage.
TEST(Transformation, ColumnsEqualElementValues) {
    struct Level {
        double mul, add;
        bool enabled;
    };
    const std::vector<std::vector<Level>> chains = {
        {},
        {{1.0 / 3200, 0, true}},
        {{1.0 / 3200, 0, true}, {1.7, 0, true}, {0.1, 0.25, true}},
        {{3, 1, false}, {-0.3, 1e-9, true}},
        {{2, 1, true}, {2, 1, true}, {0.5, -1, true}, {1.1, 0.3, true}},
    };
    TIntVector ints;
    TDoubleVector doubles;
    TVirtualVector computed;
    computed.OnCalcItem = [](const TVirtualVector &, int32_t i, double &v) { v = i * 0.37 - 2; };
    computed.SetCapacity(64);
    ints.SetCount(64);
    doubles.SetCount(64);
    for (int i = 0; i < 64; ++i) {
        ints.SetItem(i, i * 997 - 30000);
        doubles.SetItem(i, (i + 1) * 1e-4);
    }
    for (const auto &chain : chains) {
        std::vector<std::unique_ptr<TLinTransformation>> levels;
        for (const Level &l : chain) {
            levels.push_back(std::make_unique<TLinTransformation>());
            levels.back()->MulKoef = l.mul;
            levels.back()->AddKoef = l.add;
            levels.back()->Enabled = l.enabled;
            if (levels.size() > 1)
                levels.back()->SetTransformBefore(levels[levels.size() - 2].get());
        }
        for (TVector *v : std::initializer_list<TVector *>{&ints, &doubles, &computed}) {
            v->SetTransformation(levels.empty() ? nullptr : levels.back().get());
            std::vector<double> column(60);
            v->Values(3, 60, column.data());
            for (int i = 0; i < 60; ++i)
                ASSERT_EQ(column[size_t(i)], v->Value(3 + i)) << v->ClassName() << " chain " << chain.size();
            if (v != &computed)
                EXPECT_THROW(v->Values(10, 60, column.data()), ETesselError) << v->ClassName();
            v->SetTransformation(nullptr);
        }
    }
}
