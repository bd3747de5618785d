#include "data/Vector.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace tessel;

namespace {

struct Level {
    double mul, add;
    bool enabled;
};

// Levels from the innermost out; the extremes and the value at 5 on the raw
// values 0..10 (their mean is 5 as well).
struct ChainCase {
    const char *name;
    std::vector<Level> levels;
    double min, max, at5;
};

const ChainCase kChains[] = {
    {"none", {}, 0, 10, 5},
    {"negative factor", {{-2, 1, true}}, -19, 1, -9},
    {"zero factor takes the inner maximum for Min", {{0, 3, true}}, 3, 3, 3},
    {"positive factor", {{2, 1, true}}, 1, 21, 11},
    {"disabled: raw values, the sign still swaps", {{-2, 1, false}}, 10, 0, 5},
    {"inner level first", {{1, 0, true}, {-3, 0, true}, {1, 100, true}}, 70, 100, 85},
    {"disabled inner level", {{3, 1, false}, {-0.3, 1e-9, true}}, -3 + 1e-9, 1e-9, -1.5 + 1e-9},
};

} // namespace

// Each chain gives its extremes and values; whole columns give exactly what
// Value gives element by element, for every vector class, and refuse ranges
// beyond the storage.
TEST(Transformation, ChainsExtremesAndColumns) {
    std::vector<std::unique_ptr<TLinTransformation>> levels; // outlive the vectors
    TIntVector small, ints;
    TDoubleVector doubles;
    TVirtualVector computed;
    computed.OnCalcItem = [](const TVirtualVector &, int32_t i, double &v) { v = i * 0.37 - 2; };
    computed.SetCapacity(64);
    small.SetCount(11);
    ints.SetCount(64);
    doubles.SetCount(64);
    for (int i = 0; i < 64; ++i) {
        if (i <= 10)
            small.SetItem(i, i);
        ints.SetItem(i, i * 997 - 30000);
        doubles.SetItem(i, (i + 1) * 1e-4);
    }
    for (const ChainCase &tc : kChains) {
        SCOPED_TRACE(tc.name);
        const size_t first = levels.size();
        for (const Level &l : tc.levels) {
            levels.push_back(std::make_unique<TLinTransformation>());
            levels.back()->MulKoef = l.mul;
            levels.back()->AddKoef = l.add;
            levels.back()->Enabled = l.enabled;
            if (levels.size() > first + 1)
                levels.back()->SetTransformBefore(levels[levels.size() - 2].get());
        }
        TLinTransformation *outer = levels.size() > first ? levels.back().get() : nullptr;
        small.SetTransformation(outer);
        EXPECT_DOUBLE_EQ(small.TrMin(0, 11), tc.min);
        EXPECT_DOUBLE_EQ(small.TrMax(0, 11), tc.max);
        EXPECT_DOUBLE_EQ(small.Value(5), tc.at5);
        EXPECT_DOUBLE_EQ(small.TrMean(0, 11), tc.at5);
        for (TVector *v : std::initializer_list<TVector *>{&ints, &doubles, &computed}) {
            v->SetTransformation(outer);
            std::vector<double> column(60);
            v->Values(3, 60, column.data());
            for (int i = 0; i < 60; ++i)
                ASSERT_EQ(column[size_t(i)], v->Value(3 + i)) << v->ClassName();
            if (v != &computed)
                EXPECT_THROW(v->Values(10, 60, column.data()), ETesselError) << v->ClassName();
        }
        if (levels.size() > first + 1)
            EXPECT_THROW(levels[first]->SetTransformBefore(outer), std::invalid_argument) << "a cycle";
    }
}
