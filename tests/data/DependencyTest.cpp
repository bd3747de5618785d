#include "data/Dependency.h"
#include "data/Stream.h"
#include "data/Vector.h"

#include <QList>
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

TEST(Dependency, CountTouchesOnlyPresentVectors) {
    TIntVector y;
    TDependency d(nullptr, &y);
    d.SetCount(5);
    d.SetCapacity(9);
    EXPECT_EQ(QList({y.Count(), d.Count(), d.PlannedCount()}), QList({5, 5, 9}));
}

// The file's bytes are pinned by the experiment goldens; here the style
// fields their defaults leave alike, and the data-only load.
TEST(Dependency, StreamRoundTripAndDataOnly) {
    Channel a;
    a.set.Caption = QStringLiteral("Data Set A( 12 )");
    a.set.Color = 0x008000;
    a.set.Brush = {0x123456, bsSolid};
    a.set.DrawStyle = dsPoint;
    a.set.LineStyle = psDashDot;
    a.set.PointStyle = ptStar;
    a.set.PointSize = 7;
    a.set.Thickness = 3;
    a.set.Visible = false;
    a.mul.MulKoef = -2;
    a.set.SetCount(2);
    a.y.SetItem(1, 293);
    TMemoryStream s;
    a.set.SaveToStream(s);

    Channel b;
    s.Seek(0);
    b.set.LoadFromStream(s);
    const auto style = [](const TDependency &d) {
        return std::make_tuple(d.Caption, d.Color, d.Brush.Color, d.Brush.Style, d.DrawStyle, d.LineStyle, d.PointStyle,
                               d.PointSize, d.Thickness, d.Visible);
    };
    EXPECT_EQ(style(b.set), style(a.set));
    EXPECT_EQ(b.y.Value(1), -2 * 293);

    // DataOnly keeps the style and caption, replaces the numbers.
    Channel c;
    c.set.Caption = QStringLiteral("mine");
    s.Seek(0);
    c.set.LoadFromStream(s, true);
    EXPECT_EQ(std::make_tuple(c.set.Caption, c.set.Visible, c.y.GetItem(1)),
              std::make_tuple(QString("mine"), true, 293.0));
    EXPECT_EQ(s.Remaining(), 0);
}

TEST(Dependency, HostileCaptionLengthIsAReadError) {
    for (int32_t len : {-1, 1 << 30, 5}) {
        TMemoryStream s;
        const QByteArray style(21, '\0');
        s.WriteBuffer(style.constData(), style.size());
        s.WriteI32(len);
        s.WriteBuffer("abc", 3);
        s.Seek(0);
        Channel c;
        EXPECT_THROW(c.set.LoadFromStream(s), EReadError) << len;
    }
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
