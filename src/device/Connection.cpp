// Port choice, stored settings, identification and the instrument type.
#include "device/Communication.h"

#include "common/Finally.h"
#include "common/IniFile.h"
#include "common/Log.h"
#include "common/MessageService.h"
#include "device/PortList.h"
#include "settings/Registry.h"

namespace tessel {

namespace {
QString CommKey(const QString &keyPath) {
    return keyPath + QStringLiteral("\\Communication");
}

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

void TCommunication::LoadBaudRates(const QString &iniPath) {
    TIniFile2 ini(iniPath);
    FBaudRates =
        ParseBaudRates(ini.ReadString(QStringLiteral("Communication"), QStringLiteral("BaudRates"), QString()));
}

void TCommunication::SaveSettings(const QString &keyPath) {
    TPRegistry reg;
    const QString key = CommKey(keyPath);
    reg.CreateKey(key);
    reg.WriteString(key, QStringLiteral("Port"), DeviceName());
    reg.WriteInteger(key, QStringLiteral("AskDevice"), AskDevice ? 1 : 0);
    reg.Flush();
}

void TCommunication::LoadSettings(const QString &keyPath) {
    Close();
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
            SetDeviceName(*port);
            AskDevice = *ask != 0;
        } else {
            // A port named on the command line stands for settings that ask.
            SetDeviceName(m_preferredPort);
            AskDevice = true;
        }
        Open();
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

void TCommunication::ShowSetup() {
    if (InExchange() || !SetupDialog)
        return;
    SetupDialog();
}

void TCommunication::ApplyPort(const QString &name) {
    // Closing the port under a running transfer would cut it off.
    if (InExchange()) {
        WriteLog(QStringLiteral("Port change refused: transfer running"));
        return;
    }
    Close();
    try {
        SetDeviceName(name);
        Open();
    } catch (const ECommError &e) {
        WriteLog(e.message());
        TellIfDenied(e);
        Close();
    }
}

bool TCommunication::Connect(bool report, bool wake) {
    // A search inside another exchange's wait would find nothing and drop
    // the connection the exchange relies on.
    if (InExchange()) {
        WriteLog(QStringLiteral("Connect refused: link busy"));
        return FConnected;
    }
    ExchangeScope transfer(*this);
    m_connecting = true;
    Finally searched([this] { m_connecting = false; });
    const bool was = FConnected;
    // A port closed by a lost line (or never opened) is tried again: the
    // instrument may be back on the same path. A USB adapter plugged in again
    // may come back under another name: then a serial port that was not there
    // at start-up is tried, and kept only when the instrument answers on it.
    QString formerPort;
    if (!IsOpen()) {
        try {
            Open();
        } catch (const ECommError &e) {
            WriteLog(e.message());
            Close();
            if (e.ErrorCode() == ENOENT || e.ErrorCode() == ENODEV || e.ErrorCode() == ENXIO) {
                for (const QString &candidate : EnumerateSerialPorts()) {
                    if (PortNames().contains(candidate))
                        continue;
                    formerPort = DeviceName();
                    try {
                        SetDeviceName(candidate);
                        Open();
                        WriteLog(QStringLiteral("%1 gone; trying %2").arg(formerPort, candidate));
                        break;
                    } catch (const ECommError &) {
                        Close();
                        SetDeviceName(formerPort);
                        formerPort.clear();
                    }
                }
            }
        }
    }
    FConnected = true;
    bool found = false;
    TDevice type = FDevice;
    QString id;
    // Whatever way the search ends, the state it leaves is announced.
    bool finished = false;
    Finally settle([&] {
        if (finished)
            return;
        FConnected = false;
        if (was && OnConnectedChanged)
            OnConnectedChanged(this);
    });
    for (int r = br110; r <= br256000 && !found && IsOpen(); ++r) {
        if (!FBaudRates.contains(TBaudrate(r)))
            continue;
        if (report && OnMessage)
            OnMessage(this,
                      QStringLiteral("Searching on %1 at %2 bauds").arg(DeviceName()).arg(BaudRateValue(TBaudrate(r))));
        try {
            SetBaudRate(TBaudrate(r));
            if (wake)
                WakeUp();
            id = GetIdentity();
        } catch (const ECommError &e) {
            WriteLog(e.message());
            id.clear();
        }
        int row = -1;
        for (int d = 0; d < kDeviceCount && row < 0; ++d)
            if (id == QLatin1String(DeviceInfo(TDevice(d)).identification))
                row = d;
        FVersion = {};
        try {
            if (row >= 0 && DeviceInfo(TDevice(row)).version != 0)
                FVersion = GetVersion();
        } catch (const ECommError &e) {
            WriteLog(e.message());
        }
        const int word = FVersion[0] * 256 + FVersion[1];
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
    FConnected = found && m_knownDevices.contains(type);
    if (!FConnected && !formerPort.isEmpty()) {
        Close();
        SetDeviceName(formerPort);
    }
    WriteLog(QStringLiteral("FConnected: %1").arg(FConnected ? 1 : 0));
    if (FConnected && type != FDevice) {
        FDevice = type;
        if (OnDeviceChanged)
            OnDeviceChanged(this);
    }
    if (FConnected != was && OnConnectedChanged)
        OnConnectedChanged(this);
    if (report && OnMessage) {
        const QString version =
            QStringLiteral("%1.%2.%3.%4").arg(FVersion[0]).arg(FVersion[1]).arg(FVersion[2]).arg(FVersion[3]);
        if (!found)
            OnMessage(this, QStringLiteral("Device not found"));
        else if (FConnected)
            OnMessage(this, QStringLiteral("Found device %1, version %2").arg(id, version));
        else
            OnMessage(this, QStringLiteral("Found device %1, version %2 - device unknown").arg(id, version));
    }
    return FConnected;
}

bool TCommunication::SetDevice(TDevice device) {
    // The block size follows the type: it must not change under a transfer.
    if (InExchange()) {
        WriteLog(QStringLiteral("Set Device refused: transfer running"));
        return false;
    }
    if (device != FDevice && FConnected) {
        FConnected = false;
        if (OnConnectedChanged)
            OnConnectedChanged(this);
    }
    FDevice = device;
    if (OnDeviceChanged)
        OnDeviceChanged(this);
    return true;
}

void TCommunication::SetDefaultDevice(TDevice device) {
    if (!m_loading)
        return;
    m_defaultDevice = device;
    m_knownDevices.insert(device);
}

void TCommunication::SetKnownDevices(const TKnownDevices &known) {
    m_knownDevices = known;
}

void TCommunication::EndLoading() {
    m_loading = false;
    FDevice = m_defaultDevice;
}

bool TCommunication::ReadDeviceInfo(TDeviceInfoRecord &out) {
    ExchangeScope transfer(*this);
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
        if (!IsBusy()) {
            PurgeIn();
            written = RequestDeviceInfo();
        }
        WriteLog(QStringLiteral("DI: %1").arg(written ? 1 : 0));
        if (!written)
            continue;
        // A status poll from a timer during the pause would purge the record.
        {
            FBusy = true;
            Finally idle([this] { FBusy = false; });
            Pause(m_bounds.DeviceInfoPauseMs);
        }
        const int32_t count = InQueCount();
        WriteLog(QStringLiteral("Count: %1").arg(count));
        WriteLog(QStringLiteral("Size: %1").arg(kDeviceInfoSize));
        QByteArray record(kDeviceInfoSize, 0);
        bool read = false;
        try {
            read = count >= kDeviceInfoSize && Read(record.data(), kDeviceInfoSize) == kDeviceInfoSize;
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
        m_deviceInfoError = IsOpen() ? QStringLiteral("no valid record") : QStringLiteral("port closed");
    return valid;
}

} // namespace tessel
