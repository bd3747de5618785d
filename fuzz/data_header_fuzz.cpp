// The header check of a data transfer against arbitrary headers, block sizes
// and byte counts: an accepted header must start with "SDA" and its block
// count and rest must add up to exactly the bytes asked for.
#include "device/CommandSet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 6 + 1 + 4)
        return 0;
    char header[6];
    std::memcpy(header, data, 6);
    const int32_t blockSize = (data[6] & 1) ? 16384 : 4096;
    int32_t n = 0;
    std::memcpy(&n, data + 7, 4);
    if (!tessel::DataHeaderOk(header, blockSize, n))
        return 0;
    const int64_t lo = uint8_t(header[3]), hi = uint8_t(header[4]), k = uint8_t(header[5]);
    if (std::memcmp(header, "SDA", 3) != 0 || k * blockSize + hi * 256 + lo != n || n < 0)
        std::abort();
    return 0;
}
