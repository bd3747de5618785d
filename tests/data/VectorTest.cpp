#include "data/Vector.h"
#include "data/Stream.h"

#include <QList>
#include <array>
#include <gtest/gtest.h>

using namespace tessel;

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
