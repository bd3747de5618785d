#pragma once

#include "device/Communication.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

namespace tessel::test {

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
