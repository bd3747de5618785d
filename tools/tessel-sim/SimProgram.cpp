#include "SimProgram.h"

#include <algorithm>
#include <cmath>

namespace tessel::sim {

std::optional<TSimProgram> DecodeProgram(const TSimProgramBlocks &blocks, const TSimConstants &c, std::string *why) {
    auto fail = [why](const std::string &text) -> std::optional<TSimProgram> {
        if (why)
            *why = text;
        return std::nullopt;
    };
    const int w = TimerEntryWidth(c.TimerBits);
    if (w == 0)
        return fail("unsupported timer width " + std::to_string(c.TimerBits));
    if (blocks.Events.size() % 2 != 0)
        return fail("event block of odd length");
    const size_t n = blocks.Events.size() / 2;
    if (n == 0)
        return fail("no event");
    if (blocks.Timers.size() != n * size_t(w))
        return fail("timer block holds " + std::to_string(blocks.Timers.size()) + " bytes for " + std::to_string(n) +
                    " events");

    TSimProgram p;
    const uint64_t period = uint64_t(1) << c.TimerBits;
    // The first entry spans MinTimer + TimePropagation before the protocol's
    // first instant; counting from there keeps protocol times.
    double t = -(c.MinTimer + 2 * c.TimePropagation);
    for (size_t i = 0; i < n; ++i) {
        uint64_t value = 0;
        for (int k = w - 1; k >= 0; --k)
            value = (value << 8) | blocks.Timers[i * size_t(w) + size_t(k)];
        value &= period - 1;
        const uint64_t ticks = period - value; // a zero entry is a full period
        t += double(ticks) * c.TimeBase + c.TimePropagation;
        const uint16_t state = uint16_t(blocks.Events[2 * i] | (blocks.Events[2 * i + 1] << 8));
        p.Events.push_back({t, state});
    }

    for (size_t at = 0; at < blocks.Macros.size();) {
        const size_t len = blocks.Macros[at];
        if (at + 1 + len > blocks.Macros.size())
            return fail("macro block ends inside a macro");
        p.Macros.emplace_back(blocks.Macros.begin() + std::ptrdiff_t(at + 1),
                              blocks.Macros.begin() + std::ptrdiff_t(at + 1 + len));
        at += 1 + len;
    }
    if (!blocks.Counts.empty()) {
        if (blocks.Counts.size() != 8)
            return fail("channel count block of " + std::to_string(blocks.Counts.size()) + " bytes");
        auto le32 = [&](size_t at) {
            return int32_t(uint32_t(blocks.Counts[at]) | uint32_t(blocks.Counts[at + 1]) << 8 |
                           uint32_t(blocks.Counts[at + 2]) << 16 | uint32_t(blocks.Counts[at + 3]) << 24);
        };
        p.SlotsA = le32(0);
        p.SlotsB = le32(4);
    }
    return p;
}

std::vector<TSimMacroRun> MacroSchedule(const TSimProgram &p) {
    std::vector<TSimMacroRun> runs;
    size_t next = 0;
    uint16_t prev = kLineDetector;
    for (const TSimEvent &e : p.Events) {
        const bool edge = (e.State & kLineMacro) && !(prev & kLineMacro);
        prev = e.State;
        if (!edge || next >= p.Macros.size())
            continue;
        TSimMacroRun run{e.Time, {}};
        const std::vector<uint8_t> &m = p.Macros[next];
        const size_t count = m.size() >= 2 && m[0] == '`' ? 1 + size_t(m[1]) : 1;
        for (size_t k = 0; k < count && next < p.Macros.size(); ++k)
            run.Entries.push_back(next++);
        runs.push_back(std::move(run));
    }
    return runs;
}

int32_t RisingEdges(const TSimProgram &p, uint16_t line) {
    int32_t edges = 0;
    uint16_t prev = kLineDetector; // lines at rest
    for (const TSimEvent &e : p.Events) {
        if ((e.State & line) && !(prev & line))
            ++edges;
        prev = e.State;
    }
    return edges;
}

std::vector<double> SampleInstants(const TSimProgram &p, uint16_t line, double distance, int32_t slots) {
    std::vector<double> out;
    const int32_t edges = RisingEdges(p, line);
    if (edges == 0 || slots <= 0)
        return out;
    // Several samples per flash only when the slot count holds a whole
    // multiple of the flashes: the count also includes switch-ons that take
    // no sample, and rounding those up would give every flash a second
    // sample and shift the data in time.
    const int32_t per = std::max(slots / edges, int32_t(1));
    uint16_t prev = kLineDetector;
    for (const TSimEvent &e : p.Events) {
        if ((e.State & line) && !(prev & line))
            for (int32_t k = 0; k < per && int32_t(out.size()) < slots; ++k)
                out.push_back(e.Time + k * distance);
        prev = e.State;
    }
    return out;
}

} // namespace tessel::sim
