#include "common/DataList.h"

#include <gtest/gtest.h>
#include <vector>

using namespace tessel;

namespace {
struct Rec {
    int32_t a;
    int32_t b;
};
using RecList = TTypedDataList<Rec>;

QString messageOf(const std::function<void()> &f) {
    try {
        f();
    } catch (const EDataListError &e) {
        return e.message();
    }
    return {};
}
} // namespace

TEST(DataList, GrowthSteps) {
    RecList l;
    std::vector<int32_t> caps;
    for (int i = 0; i < 118; ++i) {
        const int32_t before = l.Capacity();
        l.Add({i, -i});
        if (l.Capacity() != before)
            caps.push_back(l.Capacity());
    }
    EXPECT_EQ(caps, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
    for (int i = 0; i < 118; ++i)
        EXPECT_EQ(l.Get(i).a, i);
}

TEST(DataList, LargestCountFollowsRecordSize) {
    EXPECT_EQ(TDataList(8).MaxCount(), 268435454);
    EXPECT_EQ(TDataList(1).MaxCount(), 2147483646);
    EXPECT_EQ(TDataList(12).MaxCount(), 178956969);
}

TEST(DataList, BoundsErrorsLeaveListUnchanged) {
    RecList l;
    l.Add({1, 1});
    l.Add({2, 2});
    struct Case {
        std::function<void()> op;
        QString message;
    } cases[] = {
        {[&] { l.Get(2); }, "DataList index out of bounds (2)"},
        {[&] { l.Get(-1); }, "DataList index out of bounds (-1)"},
        {[&] { l.Delete(5); }, "DataList index out of bounds (5)"},
        {[&] { l.Exchange(0, 7); }, "DataList index out of bounds (7)"},
        {[&] { l.RecordAt(2); }, "DataList index out of bounds (2)"},
        {[&] { l.SetCount(-1); }, "DataList count out of bounds (-1)"},
        {[&] { l.SetCount(l.MaxCount() + 1); },
         QString::asprintf("DataList count out of bounds (%d)", l.MaxCount() + 1)},
        {[&] { l.SetCapacity(1); }, "DataList capacity out of bounds (1)"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(messageOf(c.op), c.message);
        EXPECT_EQ(l.Count(), 2);
        EXPECT_EQ(l.Get(0).a, 1);
        EXPECT_EQ(l.Get(1).a, 2);
    }
}

TEST(DataList, SetCountZeroFillsNewRecords) {
    RecList l;
    l.Add({7, 7});
    l.Add({8, 8});
    l.SetCount(5);
    EXPECT_EQ(l.Count(), 5);
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(l.Get(i).a, 0);
        EXPECT_EQ(l.Get(i).b, 0);
    }
    // Shrinking and growing again must zero the reused slots too.
    l.SetCount(1);
    l.SetCount(2);
    EXPECT_EQ(l.Get(1).a, 0);
}

TEST(DataList, DeleteExchangeIndexOfRemove) {
    RecList l;
    EXPECT_EQ(l.IndexOf({1, 1}), -1);
    for (int i = 0; i < 5; ++i)
        l.Add({i, i * 10});
    l.Delete(1);
    EXPECT_EQ(l.Count(), 4);
    EXPECT_EQ(l.Get(1).a, 2);
    l.Delete(3); // the last record: nothing moves
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l.Get(2).a, 3);
    l.Exchange(0, 2);
    EXPECT_EQ(l.Get(0).a, 3);
    EXPECT_EQ(l.Get(2).a, 0);
    EXPECT_EQ(l.IndexOf({2, 20}), 1);
    EXPECT_EQ(l.Remove({9, 9}), -1);
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l.Remove({2, 20}), 1);
    EXPECT_EQ(l.Count(), 2);
    RecList other;
    other.Add({7, 70});
    l.Swap(other);
    EXPECT_EQ(l.Count(), 1);
    EXPECT_EQ(l.Get(0).a, 7);
    EXPECT_EQ(other.Count(), 2);
    EXPECT_EQ(other.Get(0).a, 3);
    TTypedDataList<int16_t> narrower;
    EXPECT_EQ(messageOf([&] { l.Swap(narrower); }), "DataList record sizes differ (2)");
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
    EXPECT_EQ(l.Capacity(), 0);
}
