#pragma once

#include <QString>
#include <QStringList>

namespace tessel {

// The names offered for the instrument's port, filled once at start-up and
// shared by the link and the port box: the machine's serial ports, then the
// paths named in the settings and on the command line (a pseudo-terminal
// such as the virtual instrument's is not enumerated by the system). Never
// empty: with nothing found it holds kFallbackPort.
inline const QString kFallbackPort = QStringLiteral("/dev/ttyS0");

// enumerated first, then extra, without blanks or duplicates.
QStringList BuildPortList(const QStringList &enumerated, const QStringList &extra);
// The system's serial ports by device path ("/dev/ttyUSB0"), logged as "Ports: ".
QStringList EnumerateSerialPorts();
// Extra port paths stored in the settings: value "ExtraPorts" (comma-separated)
// and the stored "Port" of keyPath\Communication.
QStringList StoredPortPaths(const QString &keyPath);

// The list of the running program.
QStringList &PortNames();
// Fills PortNames() once: system ports, stored paths, then preferred (the
// --port option) when not empty.
void InitPortNames(const QString &keyPath, const QString &preferred = {});

} // namespace tessel
