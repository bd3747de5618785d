#include "device/ConnectionManager.h"

#include "common/Finally.h"
#include "common/IniFile.h"
#include "common/Log.h"
#include "common/MessageService.h"
#include "device/PortList.h"
#include "settings/Registry.h"

namespace tessel {

namespace {
QString CommKey(const QString &keyPath) { return keyPath + QStringLiteral("\\Communication"); }

// A port the user may not open needs telling: nothing else would say why.
void TellIfDenied(const ECommError &e) {
    if (e.ErrorCode() == EACCES || e.ErrorCode() == EPERM)
        Messages().error(e.message());
}
} // namespace

TBaudrate BaudRateFromValue(int64_t value) {
    for (int r = br110; r < br256000; ++r)
        if (value <= BaudRateValue(TBaudrate(r)))
            return TBaudrate(r);
    return br256000;
}

TEnumSet<TBaudrate> ParseBaudRates(const QString &list) {
    TEnumSet<TBaudrate> rates;
    for (const QString &piece : list.split(',')) {
        bool ok = false;
        const qlonglong v = piece.trimmed().toLongLong(&ok, 10);
        if (ok)
            rates.insert(BaudRateFromValue(v));
    }
    return rates;
}

void TConnectionManager::LoadBaudRates(const QString &iniPath) {
    TIniFile2 ini(iniPath);
    m_baudRates =
        ParseBaudRates(ini.ReadString(QStringLiteral("Communication"), QStringLiteral("BaudRates"), QString()));
}

void TConnectionManager::SaveSettings(const QString &keyPath) {
    TPRegistry reg;
    const QString key = CommKey(keyPath);
    reg.CreateKey(key);
    reg.WriteString(key, QStringLiteral("Port"), m_link.DeviceName());
    reg.WriteInteger(key, QStringLiteral("AskDevice"), AskDevice ? 1 : 0);
    reg.Flush();
}

void TConnectionManager::LoadSettings(const QString &keyPath) {
    m_link.Close();
    const QString key = CommKey(keyPath);
    TPRegistry reg;
    const bool stored = reg.KeyExists(key);
    if (!stored && m_preferredPort.isEmpty())
        return;
    try {
        if (stored) {
            const auto port = reg.ReadString(key, QStringLiteral("Port"));
            const auto ask = reg.ReadInteger(key, QStringLiteral("AskDevice"));
            if (!port || !ask)
                throw ETesselError(QStringLiteral("Communication settings incomplete"));
            m_link.SetDeviceName(*port);
            AskDevice = *ask != 0;
        } else {
            // A port named on the command line stands for settings that ask.
            m_link.SetDeviceName(m_preferredPort);
            AskDevice = true;
        }
        m_link.Open();
        if (AskDevice)
            Connect(true, WantsWakeUp(m_defaultDevice));
    } catch (const ECommError &e) {
        WriteLog(e.message());
        TellIfDenied(e);
        ShowSetup();
    } catch (const ETesselError &e) {
        WriteLog(e.message());
        ShowSetup();
    }
}

void TConnectionManager::ShowSetup() {
    if (m_link.InExchange() || !SetupDialog)
        return;
    SetupDialog();
}

void TConnectionManager::ApplyPort(const QString &name) {
    // Closing the port under a running transfer would cut it off.
    if (m_link.InExchange()) {
        WriteLog(QStringLiteral("Port change refused: transfer running"));
        return;
    }
    m_link.Close();
    try {
        m_link.SetDeviceName(name);
        m_link.Open();
    } catch (const ECommError &e) {
        WriteLog(e.message());
        TellIfDenied(e);
        m_link.Close();
    }
}

bool TConnectionManager::Connect(bool report, bool wake) {
    // A search inside another exchange's wait would find nothing and drop
    // the connection the exchange relies on.
    if (m_link.InExchange()) {
        WriteLog(QStringLiteral("Connect refused: link busy"));
        return m_link.Connected();
    }
    TCommunication::ExchangeScope transfer(m_link);
    TCommunication::SearchScope search(m_link);
    const bool was = m_link.Connected();
    // A port closed by a lost line (or never opened) is tried again: the
    // instrument may be back on the same path. A USB adapter plugged in again
    // may come back under another name: then a serial port that was not there
    // at start-up is tried, and kept only when the instrument answers on it.
    QString formerPort;
    if (!m_link.IsOpen()) {
        try {
            m_link.Open();
        } catch (const ECommError &e) {
            WriteLog(e.message());
            m_link.Close();
            if (e.ErrorCode() == ENOENT || e.ErrorCode() == ENODEV || e.ErrorCode() == ENXIO) {
                for (const QString &candidate : EnumerateSerialPorts()) {
                    if (PortNames().contains(candidate))
                        continue;
                    formerPort = m_link.DeviceName();
                    try {
                        m_link.SetDeviceName(candidate);
                        m_link.Open();
                        WriteLog(QStringLiteral("%1 gone; trying %2").arg(formerPort, candidate));
                        break;
                    } catch (const ECommError &) {
                        m_link.Close();
                        m_link.SetDeviceName(formerPort);
                        formerPort.clear();
                    }
                }
            }
        }
    }
    // Identification needs a link that is not refused as unconnected.
    m_link.SetConnected(true);
    bool found = false;
    TDevice type = m_link.Device();
    QString id;
    // Whatever way the search ends, the state it leaves is announced.
    bool finished = false;
    Finally settle([&] {
        if (finished)
            return;
        m_link.SetConnected(false);
        if (was)
            m_link.AnnounceConnectedChanged();
    });
    for (int r = br110; r <= br256000 && !found && m_link.IsOpen(); ++r) {
        if (!m_baudRates.contains(TBaudrate(r)))
            continue;
        if (report)
            Message(QStringLiteral("Searching on %1 at %2 bauds")
                        .arg(m_link.DeviceName())
                        .arg(BaudRateValue(TBaudrate(r))));
        try {
            m_link.SetBaudRate(TBaudrate(r));
            if (wake)
                m_link.WakeUp();
            id = m_commands.GetIdentity();
        } catch (const ECommError &e) {
            WriteLog(e.message());
            id.clear();
        }
        int row = -1;
        for (int d = 0; d < kDeviceCount && row < 0; ++d)
            if (id == QLatin1String(DeviceInfo(TDevice(d)).identification))
                row = d;
        m_link.SetVersion({});
        try {
            if (row >= 0 && DeviceInfo(TDevice(row)).version != 0)
                m_link.SetVersion(m_commands.GetVersion());
        } catch (const ECommError &e) {
            WriteLog(e.message());
        }
        const std::array<uint8_t, 4> &v = m_link.Version();
        const int word = v[0] * 256 + v[1];
        for (int d = 0; d < kDeviceCount && !found; ++d) {
            const TDeviceInfo &info = DeviceInfo(TDevice(d));
            if (id == QLatin1String(info.identification) && word == info.version) {
                found = true;
                type = TDevice(d);
            }
        }
        WriteLog(QStringLiteral("id:%1 ver:%2 result:%3").arg(id).arg(word).arg(found ? 1 : 0));
    }
    finished = true;
    m_link.SetConnected(found && m_knownDevices.contains(type));
    if (!m_link.Connected() && !formerPort.isEmpty()) {
        m_link.Close();
        m_link.SetDeviceName(formerPort);
    }
    WriteLog(QStringLiteral("FConnected: %1").arg(m_link.Connected() ? 1 : 0));
    if (m_link.Connected() && type != m_link.Device()) {
        m_link.SetDeviceType(type);
        m_link.AnnounceDeviceChanged();
    }
    if (m_link.Connected() != was)
        m_link.AnnounceConnectedChanged();
    if (report) {
        const std::array<uint8_t, 4> &v = m_link.Version();
        const QString version = QStringLiteral("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
        if (!found)
            Message(QStringLiteral("Device not found"));
        else if (m_link.Connected())
            Message(QStringLiteral("Found device %1, version %2").arg(id, version));
        else
            Message(QStringLiteral("Found device %1, version %2 - device unknown").arg(id, version));
    }
    return m_link.Connected();
}

void TConnectionManager::Message(const QString &text) {
    if (OnMessage)
        OnMessage(&m_link, text);
}

bool TConnectionManager::SetDevice(TDevice device) {
    // The block size follows the type: it must not change under a transfer.
    if (m_link.InExchange()) {
        WriteLog(QStringLiteral("Set Device refused: transfer running"));
        return false;
    }
    if (device != m_link.Device() && m_link.Connected()) {
        m_link.SetConnected(false);
        m_link.AnnounceConnectedChanged();
    }
    m_link.SetDeviceType(device);
    m_link.AnnounceDeviceChanged();
    return true;
}

void TConnectionManager::SetDefaultDevice(TDevice device) {
    if (!m_loading)
        return;
    m_defaultDevice = device;
    m_knownDevices.insert(device);
}

void TConnectionManager::SetKnownDevices(const TKnownDevices &known) { m_knownDevices = known; }

void TConnectionManager::EndLoading() {
    m_loading = false;
    m_link.SetDeviceType(m_defaultDevice);
}

bool TConnectionManager::ReadDeviceInfo(TDeviceInfoRecord &out) {
    TCommunication::ExchangeScope transfer(m_link);
    m_deviceInfoError.clear();
    bool valid = false;
    bool refused = false;
    // The progress window closes and the link is free on every way out.
    Finally closeProgress([this] {
        if (ShowProgress)
            ShowProgress(QString());
    });
    for (int attempt = 1; attempt <= 3 && !valid && !refused; ++attempt) {
        if (ShowProgress)
            ShowProgress(QStringLiteral("Getting device information (%1)").arg(attempt));
        bool written = false;
        if (!m_link.IsBusy()) {
            m_link.PurgeIn();
            written = m_commands.RequestDeviceInfo();
        }
        WriteLog(QStringLiteral("DI: %1").arg(written ? 1 : 0));
        if (!written)
            continue;
        // A status poll from a timer during the pause would purge the record.
        {
            TCommunication::BusyScope busy(m_link);
            m_link.Pause(m_link.WaitBounds().DeviceInfoPauseMs);
        }
        const int32_t count = m_link.InQueCount();
        WriteLog(QStringLiteral("Count: %1").arg(count));
        WriteLog(QStringLiteral("Size: %1").arg(kDeviceInfoSize));
        QByteArray record(kDeviceInfoSize, 0);
        bool read = false;
        try {
            read = count >= kDeviceInfoSize && m_link.Read(record.data(), kDeviceInfoSize) == kDeviceInfoSize;
        } catch (const ECommError &e) {
            WriteLog(e.message());
        }
        WriteLog(QStringLiteral("Read: %1").arg(read ? 1 : 0));
        if (!read)
            continue;
        const auto decoded = DecodeDeviceInfo(record);
        WriteLog(QStringLiteral("CRC: %1").arg(decoded ? 1 : 0));
        if (!decoded)
            continue;
        // Values no instrument has would reach the builder (a huge MaxEvents
        // fills memory): the configuration keeps its own.
        m_deviceInfoError = DeviceInfoRangeError(*decoded);
        if (!m_deviceInfoError.isEmpty()) {
            WriteLog(QStringLiteral("DI: refused, ") + m_deviceInfoError);
            refused = true;
            continue;
        }
        out = *decoded;
        valid = true;
    }
    if (!valid && m_deviceInfoError.isEmpty())
        m_deviceInfoError = m_link.IsOpen() ? QStringLiteral("no valid record") : QStringLiteral("port closed");
    return valid;
}

} // namespace tessel
