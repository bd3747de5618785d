// Feeds arbitrary bytes as the self-test stream: the decoder must end (at the
// end marker or when the bytes run out) without crashing, and its report
// must not hold more characters than the stream could produce.
#include "device/SelfTestDecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    size_t at = 0;
    auto read = [&](char *b, int32_t n) {
        if (size - at < size_t(n))
            return false;
        std::memcpy(b, data + at, size_t(n));
        at += size_t(n);
        return true;
    };
    tessel::TSelfTestDecoder decoder;
    int tokens = 0;
    decoder.Run(
        read, [] { return false; }, [&] { ++tokens; });
    qsizetype chars = 0;
    for (const QString &l : decoder.Report().Lines())
        chars += l.size();
    // A number token of n bytes gives at most 11 characters; every token but
    // the one the stream stopped in took a byte at least.
    if (chars > qsizetype(size) * 11 + 11 || tokens > int(size) + 1)
        std::abort();
    return 0;
}
