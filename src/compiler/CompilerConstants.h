#pragma once

// The instrument constants live with the shared types, so that the device
// link (which reads them from the instrument) and the builder both use them
// without depending on each other.
#include "common/InstrumentConstants.h"
