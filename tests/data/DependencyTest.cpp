#include "data/Dependency.h"
#include "data/Stream.h"
#include "data/Vector.h"

#include <gtest/gtest.h>

using namespace tessel;

namespace {

struct Holder : IDependencyHolder {
    std::vector<TDependency *> sets;
    void RemoveDependency(TDependency *d) override { sets.erase(std::remove(sets.begin(), sets.end(), d), sets.end()); }
};

// x with one linear level, y with three, as an experiment's channel.
struct Channel {
    TLinTransformation time, base, mul, shift;
    TDoubleVector x;
    TIntVector y;
    TDependency set{&x, &y};
    Channel() {
        mul.SetTransformBefore(&base);
        shift.SetTransformBefore(&mul);
        x.SetTransformation(&time);
        y.SetTransformation(&shift);
    }
};

} // namespace

// A data-only load keeps the style and caption and replaces the numbers
// (the full form is pinned by the experiment goldens).
TEST(Dependency, DataOnlyLoadKeepsTheStyle) {
    Channel a;
    a.set.Visible = false;
    a.set.SetCount(2);
    a.y.SetItem(1, 293);
    TMemoryStream s;
    a.set.SaveToStream(s);
    Channel c;
    c.set.Caption = QStringLiteral("mine");
    s.Seek(0);
    c.set.LoadFromStream(s, true);
    EXPECT_EQ(std::make_tuple(c.set.Caption, c.set.Visible, c.set.Count(), c.y.GetItem(1)),
              std::make_tuple(QString("mine"), true, 2, 293.0));
    EXPECT_EQ(s.Remaining(), 0);
}

TEST(Dependency, DestroyedSetLeavesEveryRegisteredGraph) {
    Holder g1, g2;
    TGraphRegistry::Instance().Register(&g1);
    TGraphRegistry::Instance().Register(&g2);
    auto keep = std::make_unique<TDependency>();
    {
        TDependency gone;
        g1.sets = {keep.get(), &gone};
        g2.sets = {&gone};
    }
    EXPECT_EQ(g1.sets, std::vector<TDependency *>{keep.get()});
    EXPECT_TRUE(g2.sets.empty());
    TGraphRegistry::Instance().Unregister(&g1);
    TGraphRegistry::Instance().Unregister(&g2);
    EXPECT_EQ(TGraphRegistry::Instance().Count(), 0);
}
