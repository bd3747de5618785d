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

// The list as "a/b" pairs, to compare whole contents at once.
std::vector<QString> contents(const RecList &l) {
    std::vector<QString> v;
    for (int i = 0; i < l.Count(); ++i)
        v.push_back(QStringLiteral("%1/%2").arg(l.Get(i).a).arg(l.Get(i).b));
    return v;
}
} // namespace

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
        {[&] { l.RecordAt(2); }, "DataList index out of bounds (2)"},
        {[&] { l.SetCount(-1); }, "DataList count out of bounds (-1)"},
        {[&] { l.SetCount(l.MaxCount() + 1); },
         QString::asprintf("DataList count out of bounds (%d)", l.MaxCount() + 1)},
        {[&] { l.SetCapacity(1); }, "DataList capacity out of bounds (1)"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(messageOf(c.op), c.message);
        EXPECT_EQ(contents(l), (std::vector<QString>{"1/1", "2/2"})) << c.message.toStdString();
    }
}

TEST(DataList, EditsKeepTheOrderAndZeroNewRecords) {
    RecList l;
    for (int i = 0; i < 5; ++i)
        l.Add({i + 1, (i + 1) * 10});
    l.Delete(1);
    l.Delete(3); // the last record: nothing moves
    l.Exchange(0, 2);
    EXPECT_EQ(contents(l), (std::vector<QString>{"4/40", "3/30", "1/10"}));
    EXPECT_EQ(l.Remove({3, 30}), 1);
    // Shrinking and growing again zeroes the reused slots too.
    l.SetCount(1);
    l.SetCount(3);
    EXPECT_EQ(contents(l), (std::vector<QString>{"4/40", "0/0", "0/0"}));
    RecList other;
    other.Add({7, 70});
    l.Swap(other);
    EXPECT_EQ(contents(l), (std::vector<QString>{"7/70"}));
    EXPECT_EQ(other.Count(), 3);
}
