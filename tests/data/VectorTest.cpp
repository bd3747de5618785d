#include "data/Vector.h"
#include "data/Stream.h"

#include <QList>
#include <array>
#include <gtest/gtest.h>
#include <memory>

using namespace tessel;

TEST(Vector, CountAndCapacityRules) {
    struct {
        int32_t capacity, count, newCount, newCapacity;
        int32_t wantCount, wantCapacity;
    } cases[] = {
        {0, 0, 5, -1, 5, 5},    // SetCount above capacity grows to exactly N
        {10, 3, 7, -1, 7, 10},  // within capacity: storage stays
        {10, 8, -1, 4, 4, 4},   // SetCapacity below Count clips Count
        {10, 8, -1, 20, 8, 20}, // growing keeps Count
    };
    for (const auto &c : cases) {
        TDoubleVector v;
        v.SetCapacity(c.capacity);
        v.SetCount(c.count);
        if (c.newCount >= 0)
            v.SetCount(c.newCount);
        if (c.newCapacity >= 0)
            v.SetCapacity(c.newCapacity);
        EXPECT_EQ(v.Count(), c.wantCount);
        EXPECT_EQ(v.Capacity(), c.wantCapacity);
    }
}

TEST(Vector, IntVectorExtremesAndTruncation) {
    TIntVector v;
    v.SetCount(4);
    for (int i = 0; i < 4; ++i)
        v.SetItem(i, std::array{12, -32768, 32767, 70000}[size_t(i)]); // 70000 keeps its low 16 bits
    EXPECT_EQ(QList({v.GetItem(1), v.GetItem(2), v.GetItem(3)}), QList({-32768.0, 32767.0, 4464.0}));
    EXPECT_EQ(QList({v.Min(0, 4), v.Max(0, 4), v.Min(2, 1)}), QList({-32768.0, 32767.0, 32767.0}));
    EXPECT_DOUBLE_EQ(v.Mean(0, 4), (12 - 32768 + 32767 + 4464) / 4.0);
}

TEST(Vector, StatisticsStayInsideTheStorage) {
    TDoubleVector v;
    v.SetCount(3);
    for (int i = 0; i < 3; ++i)
        v.SetItem(i, std::array{5, -1, 2}[size_t(i)]);
    // Empty, clipped and outside ranges.
    EXPECT_EQ(QList({v.Min(0, 0), v.Max(2, 100), v.Min(-5, 7), v.Mean(7, 3)}), QList({0.0, 2.0, -1.0, 0.0}));
    EXPECT_THROW(v.GetItem(3), ETesselError);
    EXPECT_THROW(v.GetItem(-1), ETesselError);
}

TEST(Vector, VirtualVectorComputesOnDemand) {
    TVirtualVector v;
    v.SetCount(5);
    EXPECT_EQ(v.GetItem(3), 0.0);
    EXPECT_EQ(v.Max(0, 5), 0.0);
    v.OnCalcItem = [](const TVirtualVector &, int32_t i, double &value) { value = (i - 2) * (i - 2); };
    EXPECT_EQ(v.Min(0, 5), 0.0);
    EXPECT_EQ(v.Max(0, 5), 4.0);
    EXPECT_EQ(v.Mean(0, 5), 2.0);
}

template <typename V> class VectorStream : public ::testing::Test {};
using VectorKinds = ::testing::Types<TIntVector, TDoubleVector>;
TYPED_TEST_SUITE(VectorStream, VectorKinds);

TYPED_TEST(VectorStream, RoundTripKeepsCapacityCountAndBlock) {
    TypeParam v;
    TLinTransformation tr;
    tr.MulKoef = 2;
    tr.AddKoef = -3;
    v.SetTransformation(&tr);
    v.SetCapacity(10);
    v.SetCount(3);
    for (int i = 0; i < 10; ++i)
        v.SetItem(i, 100 * i - 250);
    TMemoryStream s;
    v.SaveToStream(s);
    EXPECT_EQ(s.Size(), 8 + 16 + 10 * v.ElemSize());
    EXPECT_EQ(s.Size(), v.StreamSize());

    TypeParam back;
    TLinTransformation tr2;
    back.SetTransformation(&tr2);
    s.Seek(0);
    back.LoadFromStream(s);
    EXPECT_EQ(QList({back.Capacity(), back.Count()}), QList({10, 3}));
    EXPECT_EQ(QList({back.GetItem(9), back.Value(1)}), QList({650.0, 2 * -150.0 - 3}));
    TMemoryStream again;
    back.SaveToStream(again);
    EXPECT_EQ(again.Data(), s.Data());
}

TEST(Vector, HostileStreamNeverAllocatesBeyondTheBytes) {
    struct {
        int32_t capacity, count;
        int extraBytes;
    } cases[] = {
        {0x7fffffff, 0, 64},                                 // capacity far beyond the stream
        {4, 5, 64},                                          // count above capacity
        {-1, 0, 64},         {2, -3, 64}, {8, 2, 8 * 2 - 1}, // one byte short of the elements
    };
    for (const auto &c : cases) {
        TMemoryStream s;
        s.WriteI32(c.capacity);
        s.WriteI32(c.count);
        const QByteArray pad(c.extraBytes, '\x01');
        s.WriteBuffer(pad.constData(), pad.size());
        s.Seek(0);
        TIntVector v;
        v.SetCount(2);
        EXPECT_THROW(v.LoadFromStream(s), EReadError) << c.capacity << ' ' << c.count;
        EXPECT_EQ(v.Capacity(), 2);
    }
}

// Append grows to exactly the sum (also onto itself), Assign takes capacity,
// count and the whole block; across classes both refuse and change nothing.
TEST(Vector, AppendAndAssign) {
    TIntVector a, b;
    a.SetCount(3);
    a.SetItem(2, 7);
    b.SetCount(2);
    b.SetItem(0, -4);
    b.SetItem(1, 9);
    a.Append(b);
    EXPECT_EQ(QList({a.Count(), a.Capacity()}), QList({5, 5}));
    EXPECT_EQ(QList({a.GetItem(2), a.GetItem(3), a.GetItem(4)}), QList({7.0, -4.0, 9.0}));
    a.Append(a);
    EXPECT_EQ(QList<double>({double(a.Count()), a.GetItem(9)}), QList<double>({10, 9}));

    TDoubleVector d, src;
    d.SetCount(3);
    src.SetCapacity(6);
    src.SetCount(2);
    src.SetItem(5, 42.5);
    d.Assign(src);
    EXPECT_EQ(QList<double>({double(d.Capacity()), double(d.Count()), d.GetItem(5)}), QList<double>({6, 2, 42.5}));

    TVirtualVector v;
    v.SetCount(1);
    EXPECT_THROW(b.Append(d), EConvertError);
    EXPECT_THROW(v.Append(v), EConvertError);
    EXPECT_THROW(b.Assign(d), EConvertError);
    EXPECT_EQ(QList({b.Count(), b.Capacity()}), QList({2, 2}));
}
