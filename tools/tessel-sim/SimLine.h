#pragma once

#include <cstdint>

namespace tessel::sim {

// Line speed the other end has set on the terminal (0 when unknown). Read
// from the slave side of the pseudo-terminal, where the program's settings land.
int32_t LineBaud(int slaveFd);

} // namespace tessel::sim
