#pragma once

// The program's own link to the paced virtual instrument, for the transfer
// benchmarks.
#include "BenchSupport.h"
#include "device/ConnectionManager.h"
#include "device/PosixCommPort.h"

#include <memory>

namespace tessel::bench {

// Runs body(commands) with a link connected to tessel-sim acting as device; the
// benchmark is skipped when the instrument does not start or answer.
template <typename Body> void WithPacedLink(benchmark::State &state, const char *device, Body body) {
    PacedSim sim(device);
    if (sim.Terminal.isEmpty()) {
        state.SkipWithError("tessel-sim did not start");
        return;
    }
    TCommunication link(std::make_unique<TPosixCommPort>(), sim.Terminal);
    TCommandSet commands(link);
    TConnectionManager connection(link, commands);
    connection.SetBaudRates({br115200});
    link.Open();
    if (connection.Connect(false, false))
        body(commands);
    else
        state.SkipWithError("no instrument on the terminal");
    link.Close();
}

} // namespace tessel::bench
