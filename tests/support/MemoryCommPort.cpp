#include "support/MemoryCommPort.h"

#include <cerrno>
#include <cstring>

namespace tessel {

void TMemoryCommPort::RaiseLocked(uint32_t bits) {
    bits &= m_mask | commev::LineLost;
    if (bits == 0)
        return;
    m_pending |= bits;
    m_cv.notify_all();
}

void TMemoryCommPort::FeedReceived(const QByteArray &bytes) {
    std::lock_guard l(m_mutex);
    if (!m_open || bytes.isEmpty())
        return;
    m_in.append(bytes);
    uint32_t bits = commev::RxChar;
    if (bytes.contains(char(m_dcb.EvtChar)))
        bits |= commev::RxFlag;
    RaiseLocked(bits);
}

QByteArray TMemoryCommPort::TakeWritten() {
    std::lock_guard l(m_mutex);
    return std::exchange(m_out, {});
}

void TMemoryCommPort::HangUp(int err) {
    std::lock_guard l(m_mutex);
    if (!m_open || m_lost != 0)
        return;
    m_lost = err;
    RaiseLocked(commev::LineLost);
}

void TMemoryCommPort::RaiseEvents(uint32_t mask, uint32_t errors) {
    std::lock_guard l(m_mutex);
    m_errors |= errors;
    RaiseLocked(mask);
}

int TMemoryCommPort::Open(const QString &name) {
    std::lock_guard l(m_mutex);
    if (m_openError != 0)
        return m_openError;
    if (m_open)
        return EBUSY;
    m_open = true;
    m_lost = 0;
    m_cancelled = false;
    m_pending = 0;
    m_name = name;
    return 0;
}

void TMemoryCommPort::Close() {
    std::lock_guard l(m_mutex);
    m_open = false;
    m_in.clear();
}

int TMemoryCommPort::GetState(TDcb &state) {
    std::lock_guard l(m_mutex);
    if (m_stateError != 0)
        return m_stateError;
    state = m_dcb;
    return 0;
}

int TMemoryCommPort::SetState(const TDcb &state) {
    std::lock_guard l(m_mutex);
    if (m_stateError != 0)
        return m_stateError;
    m_dcb = state;
    ++m_setStateCalls;
    return 0;
}

bool TMemoryCommPort::GetStatus(TCommStatus &status) {
    std::lock_guard l(m_mutex);
    if (!m_open)
        return false;
    status.Errors = m_errors;
    m_errors = 0;
    status.InQue = int32_t(m_in.size());
    status.OutQue = m_outStuck;
    status.Lost = m_lost;
    return true;
}

void TMemoryCommPort::Purge(uint32_t flags) {
    std::lock_guard l(m_mutex);
    if (flags & commpurge::RxClear)
        m_in.clear();
}

TTransferResult TMemoryCommPort::Read(char *buffer, int32_t count, int32_t) {
    std::lock_guard l(m_mutex);
    if (!m_open)
        return {TTransferResult::Failed, 0, EBADF};
    if (m_readError != 0)
        return {TTransferResult::Failed, 0, m_readError};
    if (m_lost != 0 && m_in.isEmpty())
        return {TTransferResult::Failed, 0, m_lost};
    const int32_t n = std::min<int32_t>(std::max(count, 0), int32_t(m_in.size()));
    if (n > 0)
        std::memcpy(buffer, m_in.constData(), size_t(n));
    m_in.remove(0, n);
    return {TTransferResult::Done, n, 0};
}

TTransferResult TMemoryCommPort::Write(const char *buffer, int32_t count, int32_t) {
    std::function<void(const QByteArray &)> peer;
    QByteArray bytes;
    {
        std::lock_guard l(m_mutex);
        if (!m_open)
            return {TTransferResult::Failed, 0, EBADF};
        if (m_writeError != 0)
            return {TTransferResult::Failed, 0, m_writeError};
        if (m_lost != 0)
            return {TTransferResult::Failed, 0, m_lost};
        if (m_writeStalled)
            return {TTransferResult::TimedOut, 0, 0};
        int32_t n = std::max(count, 0);
        if (m_writeLimit >= 0)
            n = std::min(n, m_writeLimit);
        bytes = QByteArray(buffer, n);
        m_out.append(bytes);
        if (m_outStuck == 0)
            RaiseLocked(commev::TxEmpty);
        peer = m_peer;
        if (!peer)
            return {TTransferResult::Done, n, 0};
    }
    peer(bytes);
    return {TTransferResult::Done, int32_t(bytes.size()), 0};
}

uint32_t TMemoryCommPort::WaitEvent() {
    std::unique_lock l(m_mutex);
    m_cv.wait(l, [&] { return m_cancelled || m_pending != 0; });
    if (m_cancelled)
        return 0;
    const uint32_t bits = m_pending;
    m_pending = 0;
    return bits;
}

void TMemoryCommPort::CancelWait() {
    std::lock_guard l(m_mutex);
    m_cancelled = true;
    m_cv.notify_all();
}

} // namespace tessel
