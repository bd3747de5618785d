#pragma once

namespace tessel {

// Limits of the graph axes: experiment graphs read section "GraphBounds",
// signal views "SignalBounds" of Tessel.ini, once at start.
struct TGraphBounds {
    double XLinCeil = 1000;
    double XLinFloor = -1;
    double XLinMinRange = 0.001;
    double YLinCeil = 1000000;
    double YLinFloor = -1000000;
    double YLinMinRange = 0.001;
    double XLogCeil = 1000;
    double XLogFloor = 1e-9;
    double XLogMinRange = 1.001;
};

} // namespace tessel
