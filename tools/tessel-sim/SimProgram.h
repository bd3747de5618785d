#pragma once

#include "SimConstants.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessel::sim {

// One instant of the downloaded program: from Time on, the 16 output lines
// hold State. Time is counted from the start command.
struct TSimEvent {
    double Time = 0.0;
    uint16_t State = 0;
};

inline constexpr uint16_t kLineMeasuringA = 1u << 0;
inline constexpr uint16_t kLineMeasuringB = 1u << 1;
inline constexpr uint16_t kLineSaturating = 1u << 2;
inline constexpr uint16_t kLineSingleTurnover = 1u << 3;
inline constexpr uint16_t kLineActinic1 = 1u << 4;
inline constexpr uint16_t kLineActinic2 = 1u << 5;
inline constexpr uint16_t kLineFarRed = 1u << 6;
inline constexpr uint16_t kLineDetector = 1u << 7;
inline constexpr uint16_t kLineMacro = 1u << 15;

// The program blocks as the instrument holds them.
struct TSimProgramBlocks {
    std::vector<uint8_t> Events; // "LDE"
    std::vector<uint8_t> Timers; // "LDT"
    std::vector<uint8_t> Macros; // "LDX"
    std::vector<uint8_t> Counts; // "LDC"
};

struct TSimProgram {
    std::vector<TSimEvent> Events;
    std::vector<std::vector<uint8_t>> Macros;
    std::optional<int32_t> SlotsA, SlotsB; // from "LDC" when it was loaded
    // Time the closing event is reached: the run is over.
    double EndTime() const { return Events.empty() ? 0.0 : Events.back().Time; }
};

// Decodes the blocks back into event times: each timer entry counts up from
// its value to the overflow of a TimerBits-wide counter, and every event adds
// the propagation delay. Fails (with a reason) when the blocks do not fit
// together.
std::optional<TSimProgram> DecodeProgram(const TSimProgramBlocks &blocks, const TSimConstants &c,
                                         std::string *why = nullptr);

// When the timed macros run: the instrument runs its macro entries in table
// order, one at each rising edge of the macro line; a group marker ("`" and a
// count n) runs itself and the n entries after it at one edge. Times are not
// part of the program, so a protocol pulses MacroLine where it puts a macro.
struct TSimMacroRun {
    double Time = 0.0;
    std::vector<size_t> Entries; // indices into TSimProgram::Macros
};
std::vector<TSimMacroRun> MacroSchedule(const TSimProgram &p);

// Times at which a channel takes its samples: at every rising edge of the
// channel's measuring line, one sample, or several SampleDistance apart when
// `slots` exceeds the number of edges; `slots` samples in all at most.
std::vector<double> SampleInstants(const TSimProgram &p, uint16_t line, double distance, int32_t slots);
// Number of rising edges of a line over the program.
int32_t RisingEdges(const TSimProgram &p, uint16_t line);

} // namespace tessel::sim
