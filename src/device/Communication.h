#pragma once

#include "device/Comm.h"
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

// Time limits of the waits the instrument may leave open forever.
struct TWaitBounds {
    int32_t ProgramFlashMs = 10000;   // "PF": first two reply bytes
    int32_t ProgramDeviceMs = 60000;  // "PX": the final "OK"/"ER" after the 18 bytes
    int32_t TestSilenceMs = 5000;     // "TST": longest pause between two stream bytes
    int32_t TestTotalMs = 300000;     // "TST": whole stream
    int32_t DeviceInfoPauseMs = 1000; // "DI": pause before the record is read
};

// The framed link to the instrument: command framing, waits for replies with
// the 500 ms time-out, the "OK" acknowledgement, checksum-protected block
// transfers and the busy guard. The commands live in TCommandSet and the
// identification, port and type choice in TConnectionManager, both over it.
// Every exchange runs in the main thread and keeps the user interface alive by
// processing events while it waits.
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

    // Raised by the connection manager, and by a line lost while connected.
    TNotifyEvent OnConnectedChanged, OnDeviceChanged;
    // Progress of a block upload: bytes accepted so far of the whole load.
    std::function<void(int32_t sent, int32_t total)> OnBlockSent;

    // ---- connection state, set by the connection manager (identification
    // and the choice of type); the setters announce nothing.
    void SetConnected(bool connected) { FConnected = connected; }
    void SetDeviceType(TDevice device) { FDevice = device; }
    void SetVersion(const std::array<uint8_t, 4> &version) { FVersion = version; }
    // The progress counters of a data transfer.
    void SetProgress(int32_t received, int32_t expected) {
        FReceived = received;
        FExpected = expected;
    }
    void AnnounceConnectedChanged() {
        if (OnConnectedChanged)
            OnConnectedChanged(this);
    }
    void AnnounceDeviceChanged() {
        if (OnDeviceChanged)
            OnDeviceChanged(this);
    }

    // ---- waits for the command set and the connection manager
    TWaitBounds &WaitBounds() { return m_bounds; }
    const TWaitBounds &WaitBounds() const { return m_bounds; }
    // Waits, processing events, until count bytes are queued, a stop, or ms.
    bool WaitQueued(int32_t count, int32_t ms);
    // Processes events for ms (or until the port closes).
    void Pause(int32_t ms);
    // One pass of event processing with the pulse timer running.
    void ProcessEventsPulsed();
    // A running wait of the caller's own starts free of an earlier time-out,
    // or of an earlier abort and stream end.
    void ClearTimedOut() { FTimedOut = false; }
    void ClearAbort() {
        FAbort = false;
        FStop = false;
    }

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
    // Holds the busy flag over a wait that is not a ReadData (a slow reply,
    // a stream, a pause before reading): a status poll from a timer would
    // otherwise purge what arrives.
    class BusyScope {
    public:
        explicit BusyScope(TCommunication &c) : m_c(c) { m_c.FBusy = true; }
        ~BusyScope() { m_c.FBusy = false; }
        BusyScope(const BusyScope &) = delete;
        BusyScope &operator=(const BusyScope &) = delete;

    private:
        TCommunication &m_c;
    };
    // An identification is searching: a line lost meanwhile leaves the
    // connected state to the search, which announces its own result.
    class SearchScope {
    public:
        explicit SearchScope(TCommunication &c) : m_c(c) { m_c.m_searching = true; }
        ~SearchScope() { m_c.m_searching = false; }
        SearchScope(const SearchScope &) = delete;
        SearchScope &operator=(const SearchScope &) = delete;

    private:
        TCommunication &m_c;
    };

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

    void LineLost(int code) override;

private:
    class WaitScope;
    void TimeoutTick();
    bool SendOneBlock(const char *data, int32_t size, const QString &blockError, const QString &crcError);

    TProcessEvents m_process;
    TWaitBounds m_bounds;
    QTimer m_pulse;
    int m_waitDepth = 0;
    int m_exchangeDepth = 0;
    bool m_searching = false;
};

} // namespace tessel
