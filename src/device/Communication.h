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

using TMessageEvent = std::function<void(TCustomComm *sender, const QString &msg)>;

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

private:
    class WaitScope;
    void TimeoutTick();
    bool SendOneBlock(const char *data, int32_t size, const QString &blockError, const QString &crcError);

    TProcessEvents m_process;
    QTimer m_pulse;
    int m_waitDepth = 0;
};

} // namespace tessel
