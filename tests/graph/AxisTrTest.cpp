#include "graph/AxisTr.h"

#include <QStringList>
#include <cmath>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

QStringList Labels(const std::vector<TTick> &ticks) {
    QStringList l;
    for (const TTick &t : ticks)
        if (t.HasLabel)
            l << t.Label;
    return l;
}

QString Message(const std::function<void()> &f) {
    try {
        f();
    } catch (const EAxisError &e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST(AxisTr, SetRangeAppliesTheBounds) {
    struct {
        bool log;
        double lo, hi, wantLo, wantHi;
    } cases[] = {
        {false, 5, 5.0005, 4.99975, 5.00075}, // widened to the minimum range
        {false, -5, 3, -1, 7},                // moved up to the floor
        {false, 990, 1010, 980, 1000},        // moved down to the ceiling
        {false, -50, 5000, -1, 1000},         // cut on both sides
        // Log: widened around the geometric mean; a non-positive low becomes the floor.
        {true, 1, 2, std::sqrt(2.0) / std::sqrt(10.0), std::sqrt(2.0) * std::sqrt(10.0)},
        {true, -3, 1e6, 1e-9, 1000},
    };
    for (const auto &c : cases) {
        TLinAxisTr lin;
        TLogAxisTr log;
        lin.UseRange = log.UseRange = true;
        lin.Floor = -1;
        log.Floor = 1e-9;
        lin.Ceil = log.Ceil = 1000;
        lin.MinRange = 0.001;
        TAxisTr &a = c.log ? static_cast<TAxisTr &>(log) : lin;
        int notified = 0;
        a.OnSetRange = [&] { ++notified; };
        a.SetRange(c.lo, c.hi);
        EXPECT_NEAR(a.RangeMin(), c.wantLo, 1e-9) << c.lo;
        EXPECT_NEAR(a.RangeMax(), c.wantHi, 1e-9) << c.lo;
        EXPECT_EQ(notified, 1);
    }
}

TEST(AxisTr, RangeErrorsLeaveTheRange) {
    TLinAxisTr lin;
    lin.UseRange = true;
    lin.Floor = 0;
    lin.Ceil = 0.0005;
    lin.MinRange = 0.001;
    EXPECT_EQ(Message([&] { lin.SetRange(0, 1); }), "Invalid Range");
    EXPECT_EQ(lin.RangeMax(), 10);
    TLogAxisTr log;
    EXPECT_EQ(Message([&] { log.SetRange(0, 1); }), "Negative or zero values can not be set while using Log Scale");
    EXPECT_EQ(Message([&] { log.SetMinRange(0.99); }), "Hmm");
    EXPECT_EQ(log.MinRange(), 10.0);
}

TEST(AxisTr, LogMappingAndDomainError) {
    TLogAxisTr a;
    a.SetRange(1e-3, 1e3);
    a.PixelLength = 300;
    EXPECT_EQ(QList({a.ValueToPixel(1), a.ValueToPixel(1e3)}), QList({150, 300}));
    EXPECT_FALSE(a.DomainError);
    EXPECT_EQ(a.ValueToPixel(0), TLogAxisTr::kDomainErrorPixel);
    EXPECT_TRUE(a.DomainError);
    EXPECT_NEAR(a.PixelToValue(200), 10, 1e-9);
    EXPECT_NEAR(a.ShiftValue(50, 2), 20, 1e-9);
    EXPECT_EQ(a.ValueToPixel(1e308 * 10), 2147483647); // infinity never converts undefined
}

TEST(AxisTr, TickLabels) {
    struct {
        bool log;
        double lo, hi;
        int pixels;
        QStringList labels;
    } cases[] = {
        {false, 0, 1, 100, {"0", "0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9", "1"}},
        {false, -0.05, 0.3, 700, {"-0.05", "0", "0.05", "0.1", "0.15", "0.2", "0.25", "0.3"}},
        {false, 0, 2000, 700, {"0", "200", "400", "600", "800", "1000", "1200", "1400", "1600", "1800", "2000"}},
        {true, 1e-3, 1e3, 300, {"1000", "100", "10", "1", "0.1", "0.01", "0.001"}},
        {true, 1e-6, 1e6, 60, {"1e+06", "100", "0.01", "1e-06"}},     // under 5 pixels a decade: every 10^4
        {true, 2, 5, 300, {"2", "2.5", "3", "3.5", "4", "4.5", "5"}}, // below one decade: ten linear steps
    };
    for (const auto &c : cases) {
        TLinAxisTr lin;
        TLogAxisTr log;
        TAxisTr &a = c.log ? static_cast<TAxisTr &>(log) : lin;
        a.SetRange(c.lo, c.hi);
        a.PixelLength = c.pixels;
        a.BuildTicks();
        EXPECT_EQ(Labels(a.Ticks), c.labels) << c.lo << ".." << c.hi;
        for (const TTick &t : a.Ticks)
            if (t.HasLabel)
                EXPECT_EQ(t.Pos, a.ValueToPixel(t.Label.toDouble())) << t.Label.toStdString();
        if (c.lo == 2)
            EXPECT_EQ(a.Ticks.size(), 7u); // below one decade: nothing but the labelled ticks
    }
}
