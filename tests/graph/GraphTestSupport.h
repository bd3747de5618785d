#pragma once

#include "common/MessageService.h"
#include "data/Dependency.h"
#include "data/Vector.h"
#include "support/RecordingServices.h"

#include <functional>
#include <gtest/gtest.h>
#include <utility>

namespace tessel::test {

// A data set over its own vectors.
struct Curve {
    TDoubleVector x, y;
    TDependency d{&x, &y};
    Curve(std::initializer_list<std::pair<double, double>> pts) {
        for (auto [a, b] : pts) {
            x.Add(a);
            y.Add(b);
        }
    }
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

// Windows show their messages through the recording service.
struct GraphWidgetTest : ::testing::Test {
    RecordingMessageService msgs;
    ScopedMessageService scope{&msgs};
};

} // namespace tessel::test
