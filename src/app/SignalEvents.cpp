#include "app/SignalEvents.h"

#include "compiler/Compiler.h"

namespace tessel {

std::vector<std::pair<double, uint32_t>> SignalEventsOf(const TCompiler &compiler) {
    std::vector<std::pair<double, uint32_t>> out;
    if (compiler.Status != kStatusReady)
        return out;
    const TEvents &events = compiler.Events;
    out.reserve(size_t(events.Count()));
    for (int32_t i = 0; i < events.Count(); ++i) {
        const TEventRec &e = events.At(i);
        out.emplace_back(e.Time, e.Code & ((1u << kOutputLines) - 1));
    }
    return out;
}

} // namespace tessel
