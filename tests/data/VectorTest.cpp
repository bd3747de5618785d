#include "data/Vector.h"
#include "data/Stream.h"

#include <QList>
#include <array>
#include <gtest/gtest.h>

using namespace tessel;

// Min, Max and Mean over whole, clipped, empty and outside ranges, alike for
// every class; the double one is filled through Add, growing past 64 items.
TEST(Vector, StatisticsStayInsideTheStorage) {
    TIntVector ints;
    TDoubleVector doubles;
    TVirtualVector computed;
    computed.OnCalcItem = [](const TVirtualVector &, int32_t i, double &v) { v = i % 7 - 2; };
    ints.SetCount(84);
    computed.SetCount(84);
    for (int i = 0; i < 84; ++i) {
        ints.SetItem(i, i % 7 - 2);
        doubles.Add(i % 7 - 2);
    }
    EXPECT_EQ(QList({doubles.Count(), doubles.Capacity()}), QList({84, 95}));
    for (TVector *v : std::initializer_list<TVector *>{&ints, &doubles, &computed}) {
        SCOPED_TRACE(v->ClassName());
        EXPECT_EQ(QList({v->Min(0, 84), v->Max(0, 84), v->Mean(0, 84), v->Mean(2, 5)}), QList({-2.0, 4.0, 1.0, 2.0}));
        EXPECT_EQ(QList({v->Min(0, 0), v->Max(82, 100), v->Min(-5, 7), v->Mean(84, 3)}), QList({0.0, 4.0, -2.0, 0.0}));
    }
    EXPECT_THROW(doubles.GetItem(95), ETesselError); // beyond the storage
    EXPECT_THROW(ints.GetItem(-1), ETesselError);
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

// Append grows to the sum (also onto itself), Assign takes capacity, count and
// the whole block; across classes both refuse.
TEST(Vector, AppendAndAssign) {
    TIntVector a;
    a.SetCount(2);
    a.SetItem(1, 7);
    a.Append(a);
    TDoubleVector d, copy;
    d.SetCapacity(6);
    d.SetCount(2);
    d.SetItem(1, -4);
    d.SetItem(5, 42.5);
    d.Append(d);
    copy.Assign(d);
    EXPECT_EQ(QList({a.Count(), copy.Capacity(), copy.Count()}), QList({4, 6, 4}));
    EXPECT_EQ(QList({a.GetItem(3), copy.GetItem(3), copy.GetItem(5)}), QList({7.0, -4.0, 42.5}));
    EXPECT_THROW(a.Append(d), EConvertError);
    EXPECT_THROW(a.Assign(d), EConvertError);
}
