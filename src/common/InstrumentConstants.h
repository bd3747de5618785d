#pragma once

#include <array>
#include <cfloat>
#include <cstdint>

namespace tessel {

// One timing bound of an output line; violating an error bound aborts the
// build, any other is a warning.
struct TTimingBound {
    double Limit = 0;
    bool IsError = false;
};

// The four bounds of one output line, in stored order.
struct TLineBounds {
    TTimingBound SpaceMin, SpaceMax, PulseMin, PulseMax;
};

constexpr int kOutputLines = 16;

// The instrument constants the event table builder works with, read from
// Tessel.ini for the current instrument type (or reported by the instrument).
struct TCompilerConstants {
    double MinTimer = 0;
    double TimeBase = 1e-7;
    int32_t SamplesPerEventA = 1;
    int32_t SamplesPerEventB = 1;
    double SampleDistanceA = 1e-7;
    double SampleDistanceB = 1e-7;
    double TimePropagation = 4e-7;
    int32_t TimerBits = 22;
    int32_t MaxEvents = 1024;
    int32_t MaxASamples = 1024;
    int32_t MaxBSamples = 1024;
    std::array<TLineBounds, kOutputLines> Bounds = [] {
        std::array<TLineBounds, kOutputLines> b{};
        for (TLineBounds &l : b) {
            l.SpaceMin.Limit = DBL_TRUE_MIN;
            l.PulseMin.Limit = DBL_TRUE_MIN;
            l.SpaceMax.Limit = 1.7e307;
            l.PulseMax.Limit = 1.7e307;
        }
        return b;
    }();
};

} // namespace tessel
