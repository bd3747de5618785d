#pragma once

#include "common/MessageService.h"
#include "data/Dependency.h"
#include "data/Vector.h"
#include "graph/GraphModel.h"
#include "support/RecordingServices.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace tessel::test {

// A data set over its own vectors.
struct Curve {
    TDoubleVector x, y;
    TDependency d{&x, &y};
    using Points = std::vector<std::pair<double, double>>;
    explicit Curve(const Points &pts) {
        for (auto [a, b] : pts) {
            x.Add(a);
            y.Add(b);
        }
    }
    Curve(std::initializer_list<std::pair<double, double>> pts) : Curve(Points(pts)) {}
    // n points of f, evenly from x0 to x1.
    Curve(int n, const std::function<double(double)> &f, double x0 = 0, double x1 = 1) {
        for (int i = 0; i < n; ++i) {
            const double t = x0 + (x1 - x0) * i / std::max(1, n - 1);
            x.Add(t);
            y.Add(f(t));
        }
    }
    // A straight line of 11 points from (x0, y0) to (x1, y1).
    Curve(double x0, double x1, double y0 = 0, double y1 = 1)
        : Curve(
              11, [=](double t) { return y0 + (y1 - y0) * (t - x0) / (x1 - x0); }, x0, x1) {}
};

// A graph laid out on a 0..100 x 0..100 value grid, 100 pixels each way from pixel 10.
struct Grid {
    TGraphModel g;
    const QRect plot{QPoint(10, 10), QPoint(110, 110)};
    Grid() {
        for (TAxisTr *a : {g.XAxis(), g.YAxis()}) {
            a->PixelStart = 10;
            a->PixelLength = 100;
            a->SetRange(0, 100);
        }
        g.SetPlot(plot);
    }
    std::array<double, 4> Ranges() const {
        return {g.XAxis()->RangeMin(), g.XAxis()->RangeMax(), g.YAxis()->RangeMin(), g.YAxis()->RangeMax()};
    }
};

// Windows show their messages through the recording service.
struct GraphWidgetTest : ::testing::Test {
    RecordingMessageService msgs;
    ScopedMessageService scope{&msgs};
};

} // namespace tessel::test
