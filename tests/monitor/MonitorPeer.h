#pragma once

// The instrument's side of the monitor's exchanges on the in-memory port.

#include "../device/ScriptedPeer.h"

#include <QStringList>

namespace tessel::test {

// Logs each command as "SW 1e 01" ("00" for the lone stop byte) and answers
// the gains 40 41 with the offsets 42 43, and the photodiodes 30 31.
inline void LogMonitorCommands(MemoryLink &l, QStringList &log) {
    l.Peer({}).SetRule([&log](const QByteArray &w) {
        QString t = w == QByteArray(1, '\0') ? QStringLiteral("00") : QString::fromLatin1(w.left(2));
        for (char c : w.mid(2))
            t += QStringLiteral(" %1").arg(uint8_t(c), 2, 16, QChar('0'));
        log << t;
        return w == "SD" ? QByteArray::fromHex("28292a2b") : w == "SX" ? QByteArray::fromHex("1e1f") : QByteArray();
    });
}

} // namespace tessel::test
