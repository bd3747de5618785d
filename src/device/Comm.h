#pragma once

#include "common/Errors.h"
#include "device/CommTypes.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tessel {

// Error of the serial port. The message is the text followed by " (Error: %d) ".
class ECommError : public ETesselError {
public:
    // detail, when given, follows the code: what the user can do about it.
    ECommError(const QString &text, int32_t code, const QString &detail = {});
    int32_t ErrorCode() const { return m_code; }

private:
    int32_t m_code;
};

class TCustomComm;

// Why a device node cannot be opened for lack of permission, and the fix:
// the group that owns the node (read from the node itself) and how to join it.
QString PortPermissionHint(const QString &deviceName);

// The five special characters of the line. Changing one re-applies the line
// settings of the owning port when it is open.
class TCommEventChars {
public:
    explicit TCommEventChars(TCustomComm *owner) : m_owner(owner) {}
    uint8_t XonChar() const { return m_xon; }
    uint8_t XoffChar() const { return m_xoff; }
    uint8_t ErrorChar() const { return m_error; }
    uint8_t EofChar() const { return m_eof; }
    uint8_t EvtChar() const { return m_evt; }
    void SetXonChar(uint8_t c) { Set(m_xon, c); }
    void SetXoffChar(uint8_t c) { Set(m_xoff, c); }
    void SetErrorChar(uint8_t c) { Set(m_error, c); }
    void SetEofChar(uint8_t c) { Set(m_eof, c); }
    void SetEvtChar(uint8_t c) { Set(m_evt, c); }
    // Copies all five characters (and re-applies the line settings once).
    void Assign(const TCommEventChars &other);

private:
    void Set(uint8_t &field, uint8_t value);
    TCustomComm *m_owner;
    uint8_t m_xon = 17, m_xoff = 19, m_error = 0, m_eof = 0, m_evt = 0;
};

// Waits for port events in its own thread and hands each mask to the thread
// that owns `context`, blocking until the handler has run there. Stop wakes the
// wait and also releases a hand-over still waiting for the main thread, so the
// owner can join the thread from inside a handler or a wait without deadlock.
class TCommEventThread {
public:
    using THandler = std::function<void(uint32_t mask)>;
    TCommEventThread(ICommPort &port, uint32_t mask, QObject *context, THandler handler);
    ~TCommEventThread();
    TCommEventThread(const TCommEventThread &) = delete;
    TCommEventThread &operator=(const TCommEventThread &) = delete;

    void Stop();
    void WaitEnd();

private:
    struct Handoff;
    void Run();
    ICommPort &m_port;
    QObject *m_context;
    THandler m_handler;
    std::shared_ptr<Handoff> m_handoff;
    std::thread m_thread;
};

using TNotifyEvent = std::function<void(TCustomComm *sender)>;
using TCommErrorEvent = std::function<void(TCustomComm *sender, uint32_t errors)>;
using TCommRxCharEvent = std::function<void(TCustomComm *sender, int32_t count)>;

// One serial port with its line settings and event thread. The platform's
// serial operations come in through `port`, which the component owns.
class TCustomComm : public QObject {
public:
    explicit TCustomComm(std::unique_ptr<ICommPort> port, QObject *parent = nullptr);
    ~TCustomComm() override;

    void Open();
    void Close();
    bool IsOpen() const { return m_open; }
    // Bytes written or read, or -1 when the transfer did not complete in time.
    int32_t Write(const char *buffer, int32_t count);
    int32_t Read(char *buffer, int32_t count);
    int32_t InQueCount();
    int32_t OutQueCount();
    void PurgeIn();
    void PurgeOut();

    const QString &DeviceName() const { return m_deviceName; }
    void SetDeviceName(const QString &name);
    int32_t ReadTimeout() const { return m_readTimeout; }
    void SetReadTimeout(int32_t ms) { m_readTimeout = ms; }
    int32_t WriteTimeout() const { return m_writeTimeout; }
    void SetWriteTimeout(int32_t ms) { m_writeTimeout = ms; }
    int32_t ReadBufSize() const { return m_readBufSize; }
    void SetReadBufSize(int32_t size);
    int32_t WriteBufSize() const { return m_writeBufSize; }
    void SetWriteBufSize(int32_t size);
    TCommEventTypes MonitorEvents() const { return m_monitorEvents; }
    void SetMonitorEvents(TCommEventTypes events);
    TBaudrate BaudRate() const { return m_baudRate; }
    void SetBaudRate(TBaudrate rate);
    TParity Parity() const { return m_parity; }
    void SetParity(TParity parity);
    TStopbits Stopbits() const { return m_stopbits; }
    void SetStopbits(TStopbits bits);
    TDatabits Databits() const { return m_databits; }
    void SetDatabits(TDatabits bits);
    TCommOptions Options() const { return m_options; }
    void SetOptions(TCommOptions options);
    TFlowControl FlowControl() const { return m_flowControl; }
    void SetFlowControl(TFlowControl flow);
    TCommEventChars &EventChars() { return m_eventChars; }
    const TCommEventChars &EventChars() const { return m_eventChars; }

    TNotifyEvent OnBreak, OnCts, OnDsr, OnRing, OnRlsd, OnRxFlag, OnTxEmpty;
    // The line went away under the open port (hang-up, unplugged adapter); the
    // port is already closed when this runs.
    TNotifyEvent OnLineLost;
    // Error code of the last line loss; 0 once the port is opened again.
    int LostCode() const { return m_lostCode; }
    TCommErrorEvent OnError;
    TCommRxCharEvent OnRxChar;

    // Re-applies every line setting to the open port.
    void UpdateDCB();
    // Runs in the main thread for each mask the event thread reports.
    virtual void HandleCommEvent(uint32_t mask);

protected:
    // Opens the device file (step 2 of Open).
    virtual void CreateHandle();
    ICommPort &Port() { return *m_port; }
    // One write attempt of at most timeoutMs; raises "Write error" on refusal.
    TTransferResult WriteSome(const char *buffer, int32_t count, int32_t timeoutMs);
    // Closes the port after the line went away and tells the owner (once).
    void HandleLineLost(int code);
    // Runs after the port was closed for a lost line; raises OnLineLost.
    virtual void LineLost(int code);

private:
    void UpdateTimeouts();
    void RaiseIfOpenAndChanged(bool changed);
    template <typename T> void SetLine(T &field, T value);

    std::unique_ptr<ICommPort> m_port;
    bool m_open = false;
    bool m_losing = false;
    int m_lostCode = 0;
    std::unique_ptr<TCommEventThread> m_thread;
    std::mutex m_lock; // serialises Read and Write

    QString m_deviceName = QStringLiteral("COM2");
    int32_t m_readTimeout = 1000;
    int32_t m_writeTimeout = 1000;
    int32_t m_readBufSize = 4096;
    int32_t m_writeBufSize = 2048;
    TCommEventTypes m_monitorEvents{evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty};
    TBaudrate m_baudRate = br9600;
    TParity m_parity = paNone;
    TStopbits m_stopbits = sb10;
    TDatabits m_databits = da8;
    TCommOptions m_options;
    TFlowControl m_flowControl = fcDefault;
    TCommEventChars m_eventChars{this};

    friend class TCommEventChars;
};

// The port as a component with its properties published; no logic of its own.
class TComm : public TCustomComm {
public:
    using TCustomComm::TCustomComm;
};

} // namespace tessel
