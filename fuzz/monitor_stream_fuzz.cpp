// Feeds arbitrary bytes as the live monitor stream, in both forms and in
// pieces of varying size: the decoder must not crash, read past what the link
// announced, or show values that are not finite.
#include "monitor/MonitorStream.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    const tessel::TMonitorForm form = (data[0] & 1) ? tessel::TMonitorForm::Packet : tessel::TMonitorForm::Simple;
    tessel::TMonitorScale scale;
    scale.BitResA = 1 + (data[0] >> 1) % 24;
    scale.BitResB = 1 + data[1] % 24;
    scale.DetectorAUnsigned = data[1] & 0x80;
    tessel::TMonitorDecoder decoder(form, scale);
    size_t at = 2;
    while (at < size) {
        // Each piece is announced with its size, as a received-character event does.
        const int32_t count = int32_t(std::min<size_t>(size - at, 1 + data[at] % 64));
        ++at;
        int32_t left = std::min<int32_t>(count, int32_t(size - at));
        auto read = [&](char *b, int32_t n) -> int32_t {
            if (n < 0)
                std::abort();
            const int32_t k = std::min(n, left);
            std::memcpy(b, data + at, size_t(std::max(k, 0)));
            at += size_t(std::max(k, 0));
            left -= k;
            return k;
        };
        for (const tessel::TMonitorSample &s : decoder.Decode(count, read))
            if (!std::isfinite(s.A) || !std::isfinite(s.B))
                std::abort();
        if (left == count && count > 0)
            at += size_t(left); // nothing taken: skip the piece
    }
    return 0;
}
