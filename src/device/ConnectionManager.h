#pragma once

#include "device/CommandSet.h"
#include "device/Communication.h"
#include "device/DeviceInfoRecord.h"
#include "device/DeviceTypes.h"

#include <QString>
#include <functional>

namespace tessel {

using TMessageEvent = std::function<void(TCustomComm *sender, const QString &msg)>;

// The rate a baud value rounds up to (10000 -> br14400; above 128000 br256000).
TBaudrate BaudRateFromValue(int64_t value);
// The rates of a comma-separated list; pieces that are not integers are skipped.
TEnumSet<TBaudrate> ParseBaudRates(const QString &list);

// Which port the link uses and which instrument answers on it: the baud-rate
// search, opening and reopening the port, the stored settings, the current
// and known instrument types and the device information. The user interface
// joins through SetupDialog and ShowProgress, which the widgets install.
class TConnectionManager {
public:
    TConnectionManager(TCommunication &link, TCommandSet &commands) : m_link(link), m_commands(commands) {}
    TCommunication &Link() { return m_link; }
    const TCommunication &Link() const { return m_link; }

    void LoadBaudRates(const QString &iniPath);
    const TEnumSet<TBaudrate> &BaudRates() const { return m_baudRates; }
    void SetBaudRates(TEnumSet<TBaudrate> rates) { m_baudRates = rates; }
    // keyPath is the main window's settings key; values live under
    // keyPath\Communication. Without stored settings the preferred port (the
    // --port option) is opened and asked, when there is one.
    void LoadSettings(const QString &keyPath);
    void SaveSettings(const QString &keyPath);
    void SetPreferredPort(const QString &port) { m_preferredPort = port; }
    const QString &PreferredPort() const { return m_preferredPort; }
    // The settings dialog; the widgets library installs it.
    std::function<bool()> SetupDialog;
    void ShowSetup();
    // Applies the port chosen in the dialog (quietly closed when it fails).
    void ApplyPort(const QString &name);
    bool AskDevice = false;
    // Progress and result texts of the identification.
    TMessageEvent OnMessage;
    // Baud-rate search for the instrument; returns whether connected.
    // A port closed by a lost line is opened again first.
    bool Connect(bool report, bool wake);
    // Refused (false, nothing changes) while the link is InExchange.
    bool SetDevice(TDevice device);
    QString DeviceText() const { return DeviceTextOf(m_link.Device()); }
    TDevice DefaultDevice() const { return m_defaultDevice; }
    const TKnownDevices &KnownDevices() const { return m_knownDevices; }
    // Takes effect only while loading (between BeginLoading and EndLoading),
    // and then also adds the type to KnownDevices.
    void SetDefaultDevice(TDevice device);
    void SetKnownDevices(const TKnownDevices &known);
    void BeginLoading() { m_loading = true; }
    void EndLoading();

    // Three attempts of "DI"; true when a valid record was read into out. A
    // record with a value outside its range is refused at once;
    // DeviceInfoError then says which.
    bool ReadDeviceInfo(TDeviceInfoRecord &out);
    const QString &DeviceInfoError() const { return m_deviceInfoError; }
    // The small message window shown while reading (text; empty text closes it).
    std::function<void(const QString &text)> ShowProgress;

private:
    void Message(const QString &text);

    TCommunication &m_link;
    TCommandSet &m_commands;
    TEnumSet<TBaudrate> m_baudRates;
    QString m_preferredPort;
    TDevice m_defaultDevice = kStoredDefaultDevice;
    TKnownDevices m_knownDevices = StoredKnownDevices();
    bool m_loading = false;
    QString m_deviceInfoError;
};

} // namespace tessel
