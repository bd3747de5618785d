#pragma once

#include "device/CommTypes.h"

#include <QByteArray>
#include <atomic>
#include <mutex>

namespace tessel {

// The serial operations on a Linux tty device node (a real port or a
// pseudo-terminal). See docs/serial-link.md for how each line setting maps.
class TPosixCommPort : public ICommPort {
public:
    TPosixCommPort() = default;
    ~TPosixCommPort() override;
    TPosixCommPort(const TPosixCommPort &) = delete;
    TPosixCommPort &operator=(const TPosixCommPort &) = delete;

    int Open(const QString &name) override;
    bool IsCharDevice() override;
    void Close() override;
    int SetupQueues(int32_t inSize, int32_t outSize) override;
    int GetState(TDcb &state) override;
    int SetState(const TDcb &state) override;
    int SetTimeouts(const TCommTimeouts &timeouts) override;
    bool GetStatus(TCommStatus &status) override;
    void Purge(uint32_t flags) override;
    TTransferResult Read(char *buffer, int32_t count, int32_t timeoutMs) override;
    TTransferResult Write(const char *buffer, int32_t count, int32_t timeoutMs) override;
    void SetEventMask(uint32_t mask) override;
    uint32_t WaitEvent() override;
    void CancelWait() override;

private:
    struct LineCounters {
        int modem = 0; // TIOCM_* bits
        int brk = 0, errors = 0;
    };
    bool ReadCounters(LineCounters &c, bool &modemOk, bool &countOk) const;
    void Kick();
    void DrainLocked();

    // The tty's own input buffer holds 4095 bytes at most, less than one
    // block, so received bytes are moved into this queue as they are counted.
    static constexpr int32_t kMinInputQueue = 65536;
    std::mutex m_inMutex;
    QByteArray m_in;
    int32_t m_inCap = kMinInputQueue;
    int m_pendingReadError = 0;

    int m_fd = -1;
    // A pseudo-terminal hands written bytes straight to its peer: it has no
    // transmit queue, and flushing its output drops what the peer (the
    // virtual instrument) has not read yet.
    bool m_pseudoTerminal = false;
    int m_epoll = -1;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_cancel{false};
    // Set once the line is gone (hang-up, unplugged): the error code to report.
    std::atomic<int> m_lost{0};
    std::atomic<bool> m_lostReported{false};
    std::atomic<bool> m_txPending{false};
    // A write gave up with bytes left in the driver's queue: only those are
    // dropped by an output purge.
    std::atomic<bool> m_unsent{false};
    std::atomic<uint32_t> m_mask{0};
    std::atomic<int> m_evtChar{-1}; // -1 until the line settings are written
    TDcb m_shadow;                  // settings the kernel has no place for
    TCommTimeouts m_timeouts;
    // Line counters as last seen by the event thread, and by the status query.
    LineCounters m_eventSeen;
    bool m_modemOk = false, m_countOk = false;
    std::mutex m_statusMutex;
    int m_statusOverrun = 0, m_statusParity = 0, m_statusFrame = 0, m_statusBrk = 0, m_statusBufOverrun = 0;
};

} // namespace tessel
