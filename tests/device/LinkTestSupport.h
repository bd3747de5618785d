#pragma once

#include "device/Communication.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

namespace tessel::test {

// Byte builders: hex literals, a recognisable block of data and a block
// followed by its checksum byte (delta spoils the checksum on purpose).
inline QByteArray Hex(const char *hex) { return QByteArray::fromHex(hex); }

inline QByteArray Pattern(int size, int seed = 3) {
    QByteArray b(size, 0);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 11 + seed) & 0xFF);
    return b;
}

inline QByteArray WithSum(const QByteArray &block, int delta = 0) {
    return block + char(TCommunication::Checksum(block.constData(), int32_t(block.size())) + delta);
}

// Lets events run until the condition holds or the time is up.
inline bool WaitUntil(const std::function<bool()> &condition, int ms = 2000) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

#define EXPECT_COMM_ERROR(statement, text, code)                                                                       \
    do {                                                                                                               \
        try {                                                                                                          \
            statement;                                                                                                 \
            ADD_FAILURE() << "no ECommError from " #statement;                                                         \
        } catch (const ::tessel::ECommError &e) {                                                                      \
            EXPECT_EQ(e.message(), QString(text) + QStringLiteral(" (Error: %1) ").arg(code));                         \
            EXPECT_EQ(e.ErrorCode(), code);                                                                            \
        }                                                                                                              \
    } while (0)

} // namespace tessel::test
