// Feeds arbitrary bytes to the device-information decoder. The checksum byte
// is made to fit so that the values themselves are exercised: decoding and
// the range check must not crash, and a record that passes the range check
// has values the builder can use.
#include "device/DeviceInfoRecord.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QByteArray record(reinterpret_cast<const char *>(data), qsizetype(size));
    if (record.size() >= tessel::kDeviceInfoSize) {
        uint8_t sum = 0;
        for (int i = 0; i < tessel::kDeviceInfoSize - 1; ++i)
            sum = uint8_t(sum + uint8_t(record[i]));
        record[tessel::kDeviceInfoSize - 1] = char(sum);
    }
    const auto r = tessel::DecodeDeviceInfo(record);
    if (!r)
        return 0;
    if (tessel::DeviceInfoRangeError(*r).isEmpty()) {
        if (r->MaxEvents < 1 || r->MaxEvents > (1 << 20) || !(r->TimeBase > 0) || r->TimerBits > 32)
            std::abort();
    }
    return 0;
}
