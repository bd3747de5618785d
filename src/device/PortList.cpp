#include "device/PortList.h"

#include "common/Log.h"
#include "settings/Registry.h"

#include <QSerialPortInfo>

namespace tessel {

QStringList BuildPortList(const QStringList &enumerated, const QStringList &extra) {
    QStringList out;
    for (const QStringList *src : {&enumerated, &extra})
        for (const QString &raw : *src) {
            const QString name = raw.trimmed();
            if (!name.isEmpty() && !out.contains(name))
                out.append(name);
        }
    if (out.isEmpty())
        out.append(kFallbackPort);
    return out;
}

QStringList EnumerateSerialPorts() {
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString name = info.systemLocation();
        WriteLog(QStringLiteral("Ports: ") + name);
        names.append(name);
    }
    return names;
}

QStringList StoredPortPaths(const QString &keyPath) {
    const QString key = keyPath + QStringLiteral("\\Communication");
    TPRegistry reg;
    QStringList out;
    if (const auto extra = reg.ReadString(key, QStringLiteral("ExtraPorts")))
        out += extra->split(',', Qt::SkipEmptyParts);
    if (const auto port = reg.ReadString(key, QStringLiteral("Port")))
        out.append(*port);
    return out;
}

QStringList &PortNames() {
    static QStringList names{kFallbackPort};
    return names;
}

void InitPortNames(const QString &keyPath, const QString &preferred) {
    QStringList extra = StoredPortPaths(keyPath);
    if (!preferred.isEmpty())
        extra.append(preferred);
    PortNames() = BuildPortList(EnumerateSerialPorts(), extra);
}

} // namespace tessel
