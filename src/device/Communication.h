#pragma once

#include "device/Comm.h"
#include "device/DeviceInfoRecord.h"
#include "device/DeviceTypes.h"

#include <QByteArray>
#include <QTimer>
#include <array>
#include <functional>
#include <variant>
#include <vector>

namespace tessel {

// One item of a command: a text (its characters, one byte each) or an integer.
// An integer is followed by its width code (0: one byte, 1: two bytes, low first).
class TCmdItem {
public:
    TCmdItem(const char *text) : m_value(QByteArray(text)) {}
    TCmdItem(const QByteArray &text) : m_value(text) {}
    TCmdItem(const QString &text) : m_value(text.toLatin1()) {}
    TCmdItem(int value) : m_value(value) {}
    bool IsText() const { return std::holds_alternative<QByteArray>(m_value); }
    const QByteArray &Text() const { return std::get<QByteArray>(m_value); }
    int Int() const { return std::get<int>(m_value); }

private:
    std::variant<QByteArray, int> m_value;
};
using TCmdItems = std::vector<TCmdItem>;

using TMessageEvent = std::function<void(TCustomComm *sender, const QString &msg)>;

// Status code of the "WD" poll.
enum TDeviceStatus : uint8_t {
    stNoReply,
    stReady,
    stDataReady,
    stMeasuring,
    stWaiting,
    stEmpty,
    stTesting,
    stTE,
    stE1,
    stE2,
    stE3,
    stError,
    stOutOfRange,
};
// The code of a two-character status reply (anything unknown: stNoReply).
TDeviceStatus StatusFromReply(const QByteArray &reply);
// Short text of a code: "Ready", "Data", "Measuring", ... ("No reply" for 0).
QString StatusText(TDeviceStatus status);
// The rate a baud value rounds up to (10000 -> br14400; above 128000 br256000).
TBaudrate BaudRateFromValue(int64_t value);
// The rates of a comma-separated list; pieces that are not integers are skipped.
TEnumSet<TBaudrate> ParseBaudRates(const QString &list);

// How the last self test ended: the end marker came after a report, the user
// broke it off, the instrument fell silent, the stream outran its time limit,
// the end marker came with no report at all, or the line was lost.
enum class TTestEnd { NotSent, Complete, Aborted, Silent, TooLong, Empty, LineLost };

// The header of a data transfer for n bytes: "SDA" (for both channels), then
// n mod blockSize as u16 and n div blockSize as u8.
bool DataHeaderOk(const char *header, int32_t blockSize, int32_t n);

// Time limits of the waits the instrument may leave open forever.
struct TWaitBounds {
    int32_t ProgramFlashMs = 10000;   // "PF": first two reply bytes
    int32_t ProgramDeviceMs = 60000;  // "PX": the final "OK"/"ER" after the 18 bytes
    int32_t TestSilenceMs = 5000;     // "TST": longest pause between two stream bytes
    int32_t TestTotalMs = 300000;     // "TST": whole stream
    int32_t DeviceInfoPauseMs = 1000; // "DI": pause before the record is read
};

// The command link to the instrument: command framing, waits for replies with
// the 500 ms time-out, the "OK" acknowledgement, checksum-protected block
// transfers and the busy guard. Every exchange runs in the main thread and
// keeps the user interface alive by processing events while it waits.
class TCommunication : public TCustomComm {
public:
    using TProcessEvents = std::function<void()>;

    // firstPortName: the first entry of the port list, the default DeviceName.
    explicit TCommunication(std::unique_ptr<ICommPort> port, const QString &firstPortName = QStringLiteral("COM1"),
                            QObject *parent = nullptr);
    ~TCommunication() override;

    // The bytes of a framed command (no length, separator or terminator).
    static QByteArray FrameCommand(const TCmdItems &items);
    // The 8-bit additive checksum of a block ("CRC" in the log).
    static uint8_t Checksum(const char *data, int32_t size);
    // Longest wait (ms) for `bytes` just written to leave the output queue.
    int32_t OutQueueBound(int32_t bytes) const;

    bool IsBusy() const;
    // An exchange or a whole transfer (download, upload, self test,
    // identification, device information) is running: the port, the line
    // settings and the instrument type must not change under it.
    bool InExchange() const { return FBusy || m_exchangeDepth > 0; }
    // Bytes written within a bound derived from count and the line speed,
    // processing events meanwhile; fewer when aborted. Past the bound it
    // raises "Write error" (ETIMEDOUT). Hides the port's unbounded write.
    int32_t Write(const char *buffer, int32_t count);
    bool IsStopped() const { return FTimedOut || FAbort || FStop; }
    bool SendCommand(const TCmdItems &items);
    bool ReadData(char *buffer, int32_t count);
    bool IsOk();
    bool SendBlocks(const char *data, int32_t size);
    bool ReceiveBlock(char *buffer, int32_t count);
    bool ReceiveBlocks(char *buffer, int32_t blockCount, int32_t rest);
    int32_t BlockSize() const { return DeviceInfo(FDevice).blockSize; }
    void StartTimeout();
    void Abort() { FAbort = true; }
    bool WakeUp();
    void HandleCommEvent(uint32_t mask) override;

    // The call that lets pending events run once inside every wait. The default
    // processes Qt events (waiting for at least one; a 10 ms pulse runs during
    // waits, so every loop re-checks its condition that often at least).
    void SetProcessEvents(TProcessEvents process);

    bool Busy() const { return FBusy; }
    bool Connected() const { return FConnected; }
    bool TimedOut() const { return FTimedOut; }
    bool Aborted() const { return FAbort; }
    bool BlockMode() const { return FBlockMode; }
    TDevice Device() const { return FDevice; }
    const std::array<uint8_t, 4> &Version() const { return FVersion; }
    int32_t Received() const { return FReceived; }
    int32_t Expected() const { return FExpected; }

    TNotifyEvent OnConnectedChanged, OnDeviceChanged;
    TMessageEvent OnMessage;
    // Progress of a block upload: bytes accepted so far of the whole load.
    std::function<void(int32_t sent, int32_t total)> OnBlockSent;

    // ---- command set (every operation refuses while IsBusy holds)
    bool StartMeasurement() { return SendPlain("ST"); }
    bool StopMeasurement() { return SendPlain("SP"); }
    bool MonitorStop();
    bool ActinicFlash() { return SendPlain("BF1"); }
    bool Flash2() { return SendPlain("BF2"); }
    bool MeasuringFlash() { return SendPlain("SF1"); }
    bool Aux(int n);
    bool RequestDeviceInfo() { return SendPlain("DI"); }
    // "SA1", "SA2", "SA3", "SA5", "SA6" + u16 level; other n are refused.
    bool SetVoltage(int n, int value);
    bool MonitorOn(int flag);
    bool SetGain(int value, int channel) { return SendValueChannel("SG", value, channel); }
    bool SetOffset(int value, int channel) { return SendValueChannel("SO", value, channel); }
    bool SetApd(int value, int channel) { return SendValueChannel("SW", value, channel); }
    // Values are left unchanged when the reply does not arrive.
    bool GetApd(int &apd1, int &apd2);
    bool GetGains(int &gainA, int &gainB, int &offsetA, int &offsetB);
    QString GetIdentity();
    std::array<uint8_t, 4> GetVersion();
    TDeviceStatus GetStatus();
    bool GetDataA(char *buffer, int32_t n) { return GetData("GDA", buffer, n); }
    bool GetDataB(char *buffer, int32_t n) { return GetData("GDB", buffer, n); }
    // Mnemonic + size, then the bytes as checksum-protected blocks.
    // OnBlockSent is told the bytes accepted so far after every block.
    bool LoadData(const QByteArray &mnemonic, const QByteArray &data);
    bool LoadData(const QByteArray &mnemonic, const char *data, int32_t n);
    bool ProgramDevice();
    bool ProgramFlash();
    // Runs the self test; lines receives the decoded text as it grows, and
    // grew (when given) is called after each change. True when the stream
    // ended with its end marker; LastTestEnd says how it ended.
    bool TestUnit(QStringList &lines, const std::function<void(const QStringList &)> &grew = {});
    TTestEnd LastTestEnd() const { return m_testEnd; }
    // "EC" + L + the L bytes of a macro record (first byte L), written directly.
    bool SendMacro(const QByteArray &record);
    bool SendResetMacros();
    // Version bytes 3 and 4 (third byte high) reach 265: the reset macros apply.
    bool NeedsResetMacros() const { return FVersion[2] * 256 + FVersion[3] >= 265; }

    TWaitBounds &WaitBounds() { return m_bounds; }

    // ---- connection management
    void LoadBaudRates(const QString &iniPath);
    const TEnumSet<TBaudrate> &BaudRates() const { return FBaudRates; }
    void SetBaudRates(TEnumSet<TBaudrate> rates) { FBaudRates = rates; }
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
    // Baud-rate search for the instrument; returns whether connected.
    // A port closed by a lost line is opened again first.
    bool Connect(bool report, bool wake);
    // Refused (false, nothing changes) while InExchange.
    bool SetDevice(TDevice device);
    QString DeviceText() const { return DeviceTextOf(FDevice); }
    TDevice DefaultDevice() const { return m_defaultDevice; }
    const TKnownDevices &KnownDevices() const { return m_knownDevices; }
    // Takes effect only while loading (between BeginLoading and EndLoading),
    // and then also adds the type to KnownDevices.
    void SetDefaultDevice(TDevice device);
    void SetKnownDevices(const TKnownDevices &known);
    void BeginLoading() { m_loading = true; }
    void EndLoading();

    // ---- device information
    // Three attempts of "DI"; true when a valid record was read into out. A
    // record with a value outside its range is refused at once;
    // DeviceInfoError then says which.
    bool ReadDeviceInfo(TDeviceInfoRecord &out);
    const QString &DeviceInfoError() const { return m_deviceInfoError; }
    // The small message window shown while reading (text; empty text closes it).
    std::function<void(const QString &text)> ShowProgress;

protected:
    // Waits for the output queue to empty, up to OutQueueBound(bytes); logs and
    // returns false past the bound.
    bool WaitOutQueueEmpty(int32_t bytes);
    void ProcessEventsOnce();

    bool FBusy = false;
    bool FConnected = false;
    bool FAbort = false;
    bool FTimedOut = false;
    bool FStop = false;
    bool FRxSeen = false;
    bool FBlockMode = false;
    int32_t FReceived = 0;
    int32_t FExpected = 0;
    TDevice FDevice = kStoredDefaultDevice;
    std::array<uint8_t, 4> FVersion{};
    QTimer TimeoutTimer;

    TEnumSet<TBaudrate> FBaudRates;

    void LineLost(int code) override;

private:
    class WaitScope;
    // Marks a whole transfer as running (nested ones count too).
    class ExchangeScope {
    public:
        explicit ExchangeScope(TCommunication &c) : m_c(c) { ++m_c.m_exchangeDepth; }
        ~ExchangeScope() { --m_c.m_exchangeDepth; }
        ExchangeScope(const ExchangeScope &) = delete;
        ExchangeScope &operator=(const ExchangeScope &) = delete;

    private:
        TCommunication &m_c;
    };
    bool SendPlain(const char *mnemonic);
    bool SendValueChannel(const char *mnemonic, int value, int channel);
    bool PurgeAndSend(const TCmdItems &items);
    bool GetData(const char *mnemonic, char *buffer, int32_t n);
    bool SizeItems(const QByteArray &mnemonic, int32_t n, TCmdItems &items) const;
    // Waits, processing events, until count bytes are queued, a stop, or ms.
    bool WaitQueued(int32_t count, int32_t ms);
    bool StreamRead(char *buffer, int32_t count, int32_t silenceMs);
    void Pause(int32_t ms);
    // One pass of event processing with the pulse timer running.
    void ProcessEventsPulsed();

    void TimeoutTick();
    bool SendOneBlock(const char *data, int32_t size, const QString &blockError, const QString &crcError);

    TProcessEvents m_process;
    TWaitBounds m_bounds;
    QString m_preferredPort;
    TDevice m_defaultDevice = kStoredDefaultDevice;
    TKnownDevices m_knownDevices = StoredKnownDevices();
    bool m_loading = false;
    TTestEnd m_testEnd = TTestEnd::NotSent;
    QTimer m_pulse;
    int m_waitDepth = 0;
    int m_exchangeDepth = 0;
    bool m_connecting = false;
    QString m_deviceInfoError;
};

} // namespace tessel
