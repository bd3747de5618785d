#pragma once

#include "device/CommTypes.h"

#include <QByteArray>
#include <cerrno>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace tessel {

// In-memory stand-in for a serial device, for tests of everything above the
// port. Received bytes are fed in by the test (from any thread); written bytes
// are collected and can be answered by a scripted peer through OnWrite.
// Faults can be injected: open failures, refused settings, refused or stalled
// transfers, a short write, an output queue that never drains, line errors.
class TMemoryCommPort : public ICommPort {
public:
    TMemoryCommPort() = default;

    // ---- test controls (thread-safe)
    void FeedReceived(const QByteArray &bytes);
    QByteArray Written() const { return Load(m_out); }
    QByteArray TakeWritten();
    // Called in the writing thread after each completed write, with its bytes.
    void SetOnWrite(std::function<void(const QByteArray &)> peer) { Store(m_peer, peer); }
    // Raises events as the line would (errors: flags also reported by GetStatus).
    void RaiseEvents(uint32_t mask, uint32_t errors = 0);
    // The line goes away: queued bytes stay readable, then reads and writes
    // fail with err and the status query reports it.
    void HangUp(int err = EIO);

    void SetOpenError(int err) { Store(m_openError, err); }
    void SetCharDevice(bool yes) { Store(m_charDevice, yes); }
    void SetStateError(int err) { Store(m_stateError, err); }
    void SetTimeoutsError(int err) { Store(m_timeoutsError, err); }
    void SetQueuesError(int err) { Store(m_queuesError, err); }
    // A refused transfer fails at once with this code (0: accepted).
    void SetWriteError(int err) { Store(m_writeError, err); }
    void SetReadError(int err) { Store(m_readError, err); }
    // A stalled write never completes; it is cancelled when its wait ends (and
    // reported as timed out whatever the wait, since a test cannot wait forever).
    void SetWriteStalled(bool yes) { Store(m_writeStalled, yes); }
    // Writes complete with at most this many bytes (-1: all).
    void SetWriteLimit(int32_t bytes) { Store(m_writeLimit, bytes); }
    // While set, the output queue reports this many bytes and never drains.
    void SetOutQueueStuck(int32_t bytes) { Store(m_outStuck, bytes); }

    // ---- inspection
    bool IsOpenNow() const { return Load(m_open); }
    QString OpenedName() const { return Load(m_name); }
    TDcb State() const { return Load(m_dcb); }
    void SetInitialState(const TDcb &dcb) { Store(m_dcb, dcb); }
    TCommTimeouts Timeouts() const { return Load(m_timeouts); }
    int SetStateCalls() const { return Load(m_setStateCalls); }
    uint32_t EventMask() const { return Load(m_mask); }

    // ---- ICommPort
    int Open(const QString &name) override;
    bool IsCharDevice() override { return Load(m_charDevice); }
    void Close() override;
    int SetupQueues(int32_t, int32_t) override { return Load(m_queuesError); }
    int GetState(TDcb &state) override;
    int SetState(const TDcb &state) override;
    int SetTimeouts(const TCommTimeouts &timeouts) override { return Accept(m_timeoutsError, m_timeouts, timeouts); }
    bool GetStatus(TCommStatus &status) override;
    void Purge(uint32_t flags) override;
    TTransferResult Read(char *buffer, int32_t count, int32_t timeoutMs) override;
    TTransferResult Write(const char *buffer, int32_t count, int32_t timeoutMs) override;
    void SetEventMask(uint32_t mask) override { Store(m_mask, mask); }
    uint32_t WaitEvent() override;
    void CancelWait() override;

private:
    template <typename T> void Store(T &field, const T &value) {
        std::lock_guard l(m_mutex);
        field = value;
    }
    template <typename T> T Load(const T &field) const {
        std::lock_guard l(m_mutex);
        return field;
    }
    // A refused setting (err set) leaves the field as it was.
    template <typename T> int Accept(const int &err, T &field, const T &value) {
        std::lock_guard l(m_mutex);
        if (err == 0)
            field = value;
        return err;
    }
    void RaiseLocked(uint32_t bits);

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
    bool m_cancelled = false;
    QString m_name;
    QByteArray m_in, m_out;
    uint32_t m_mask = 0, m_pending = 0, m_errors = 0;
    TDcb m_dcb;
    TCommTimeouts m_timeouts;
    int m_setStateCalls = 0;
    int m_openError = 0, m_stateError = 0, m_timeoutsError = 0, m_queuesError = 0;
    int m_writeError = 0, m_readError = 0, m_lost = 0;
    bool m_charDevice = true, m_writeStalled = false;
    int32_t m_writeLimit = -1, m_outStuck = 0;
    std::function<void(const QByteArray &)> m_peer;
};

} // namespace tessel
