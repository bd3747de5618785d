#pragma once

// Byte builders the link suites share: hex literals, a recognisable block of
// data and a block followed by its checksum byte.
#include "device/Communication.h"

#include <QByteArray>

namespace tessel::test {

inline QByteArray Hex(const char *hex) { return QByteArray::fromHex(hex); }

inline QByteArray Pattern(int size, int seed = 3) {
    QByteArray b(size, 0);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 11 + seed) & 0xFF);
    return b;
}

// delta spoils the checksum on purpose.
inline QByteArray WithSum(const QByteArray &block, int delta = 0) {
    return block + char(TCommunication::Checksum(block.constData(), int32_t(block.size())) + delta);
}

} // namespace tessel::test
