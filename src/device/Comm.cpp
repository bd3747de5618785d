#include "device/Comm.h"

#include "common/Finally.h"
#include "common/Log.h"

#include <QFile>
#include <QMetaObject>
#include <array>
#include <condition_variable>
#include <grp.h>
#include <sys/stat.h>

namespace tessel {

int32_t BaudRateValue(TBaudrate rate) {
    static constexpr std::array<int32_t, 15> kValues = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                                        19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return kValues[rate <= br256000 ? rate : br9600];
}

uint32_t PlatformEventBit(TCommEventType e) {
    switch (e) {
    case evBreak:
        return commev::Break;
    case evCts:
        return commev::Cts;
    case evDsr:
        return commev::Dsr;
    case evError:
        return commev::Err;
    case evRing:
        return commev::Ring;
    case evRlsd:
        return commev::Rlsd;
    case evRxChar:
        return commev::RxChar;
    case evRxFlag:
        return commev::RxFlag;
    case evTxEmpty:
        return commev::TxEmpty;
    }
    return 0;
}

uint32_t PlatformEventMask(TCommEventTypes events) {
    uint32_t mask = 0;
    for (int e = evBreak; e <= evTxEmpty; ++e)
        if (events.contains(TCommEventType(e)))
            mask |= PlatformEventBit(TCommEventType(e));
    return mask;
}

ECommError::ECommError(const QString &text, int32_t code, const QString &detail)
    : ETesselError(text + QStringLiteral(" (Error: %1) ").arg(code) + detail), m_code(code) {}

QString PortPermissionHint(const QString &deviceName) {
    struct stat st {};
    const QByteArray path = QFile::encodeName(deviceName);
    QString owner;
    if (::stat(path.constData(), &st) == 0) {
        if (const struct group *g = ::getgrgid(st.st_gid))
            owner = QString::fromLocal8Bit(g->gr_name);
    }
    if (owner.isEmpty())
        return QStringLiteral("Permission denied on %1: ask for read and write access to it.").arg(deviceName);
    return QStringLiteral("Permission denied on %1: it belongs to the group \"%2\". Join the group "
                          "(sudo usermod -aG %2 $USER), then log out and in again.")
        .arg(deviceName, owner);
}

// ---- TCommEventChars

void TCommEventChars::Set(uint8_t &field, uint8_t value) {
    if (field == value)
        return;
    field = value;
    if (m_owner && m_owner->IsOpen())
        m_owner->UpdateDCB();
}

void TCommEventChars::Assign(const TCommEventChars &other) {
    if (&other == this)
        return;
    const bool changed = m_xon != other.m_xon || m_xoff != other.m_xoff || m_error != other.m_error ||
                         m_eof != other.m_eof || m_evt != other.m_evt;
    m_xon = other.m_xon;
    m_xoff = other.m_xoff;
    m_error = other.m_error;
    m_eof = other.m_eof;
    m_evt = other.m_evt;
    if (changed && m_owner && m_owner->IsOpen())
        m_owner->UpdateDCB();
}

// ---- TCommEventThread

struct TCommEventThread::Handoff {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    bool stopping = false;
};

TCommEventThread::TCommEventThread(ICommPort &port, uint32_t mask, QObject *context, THandler handler)
    : m_port(port), m_context(context), m_handler(std::move(handler)), m_handoff(std::make_shared<Handoff>()) {
    m_port.SetEventMask(mask);
    m_thread = std::thread([this] { Run(); });
}

TCommEventThread::~TCommEventThread() {
    Stop();
    WaitEnd();
}

void TCommEventThread::Stop() {
    {
        std::lock_guard lock(m_handoff->mutex);
        m_handoff->stopping = true;
    }
    m_handoff->cv.notify_all();
    m_port.CancelWait();
}

void TCommEventThread::WaitEnd() {
    if (m_thread.joinable())
        m_thread.join();
}

void TCommEventThread::Run() {
    const std::shared_ptr<Handoff> h = m_handoff;
    for (;;) {
        {
            std::lock_guard lock(h->mutex);
            if (h->stopping)
                break;
        }
        const uint32_t mask = m_port.WaitEvent();
        if (mask == 0)
            continue;
        std::unique_lock lock(h->mutex);
        if (h->stopping)
            break;
        h->done = false;
        lock.unlock();
        // The handler is copied into the call: a handler that closes the port
        // destroys this object while the call is still running.
        QMetaObject::invokeMethod(
            m_context,
            [h, handler = m_handler, mask] {
                {
                    std::lock_guard l(h->mutex);
                    if (h->stopping)
                        return;
                }
                // The hand-over completes on every way out: a handler that
                // raises must not leave the thread waiting for good.
                Finally handed([&h] {
                    {
                        std::lock_guard l(h->mutex);
                        h->done = true;
                    }
                    h->cv.notify_all();
                });
                try {
                    handler(mask);
                } catch (const std::exception &e) {
                    WriteLog(QStringLiteral("Port event handler failed: ") + QString::fromLocal8Bit(e.what()));
                } catch (...) {
                    WriteLog(QStringLiteral("Port event handler failed"));
                }
            },
            Qt::QueuedConnection);
        lock.lock();
        h->cv.wait(lock, [&] { return h->done || h->stopping; });
        if (h->stopping)
            break;
    }
    m_port.Purge(commpurge::All);
}

// ---- TCustomComm

TCustomComm::TCustomComm(std::unique_ptr<ICommPort> port, QObject *parent) : QObject(parent), m_port(std::move(port)) {}

TCustomComm::~TCustomComm() { Close(); }

void TCustomComm::CreateHandle() {
    const int err = m_port->Open(m_deviceName);
    if (err == EACCES || err == EPERM)
        throw ECommError(QStringLiteral("Error accessing specified device"), err, PortPermissionHint(m_deviceName));
    if (err != 0)
        throw ECommError(QStringLiteral("Error accessing specified device"), err);
    if (!m_port->IsCharDevice()) {
        m_port->Close();
        throw ECommError(QStringLiteral("Invalid device handle, access denied"), -1);
    }
    m_open = true;
}

void TCustomComm::Open() {
    if (m_open)
        throw ECommError(QStringLiteral("Port already assigned (open)"), -1);
    CreateHandle();
    m_lostCode = 0;
    m_thread = std::make_unique<TCommEventThread>(*m_port, PlatformEventMask(m_monitorEvents), this,
                                                  [this](uint32_t mask) { HandleCommEvent(mask); });
    // A failure below leaves the port open; the caller decides what follows.
    UpdateTimeouts();
    UpdateDCB();
    const int err = m_port->SetupQueues(m_readBufSize, m_writeBufSize);
    if (err != 0)
        throw ECommError(QStringLiteral("Error initializing Read/Write Buffers"), err);
}

void TCustomComm::Close() {
    if (!m_open)
        return;
    m_thread->Stop();
    m_thread->WaitEnd();
    m_thread.reset();
    m_port->Close();
    m_open = false;
}

void TCustomComm::UpdateTimeouts() {
    TCommTimeouts t;
    t.ReadIntervalTimeout = 0xFFFFFFFFu; // reads return at once with what has arrived
    const int err = m_port->SetTimeouts(t);
    if (err != 0)
        throw ECommError(QStringLiteral("Error updating CommTimeouts"), err);
}

void TCustomComm::UpdateDCB() {
    if (!m_open)
        return;
    TDcb d;
    int err = m_port->GetState(d);
    if (err != 0)
        throw ECommError(QStringLiteral("Error updating DataControlBlock"), err);
    d.BaudRate = uint32_t(BaudRateValue(m_baudRate));
    d.Parity = m_parity;
    d.StopBits = m_stopbits;
    d.ByteSize = uint8_t(4 + m_databits);
    d.XonChar = m_eventChars.XonChar();
    d.XoffChar = m_eventChars.XoffChar();
    d.ErrorChar = m_eventChars.ErrorChar();
    d.EofChar = m_eventChars.EofChar();
    d.EvtChar = m_eventChars.EvtChar();
    d.XonLim = uint16_t(m_readBufSize / 4);
    d.XoffLim = uint16_t(m_readBufSize / 4);
    switch (m_flowControl) {
    case fcNone:
        d.Flags = dcb::Binary;
        break;
    case fcCTS:
        d.Flags = (d.Flags & ~dcb::RtsControlMask) | dcb::OutxCtsFlow | dcb::RtsHandshake;
        break;
    case fcDTR:
        d.Flags = (d.Flags & ~dcb::DtrControlMask) | dcb::OutxDsrFlow | dcb::DtrHandshake;
        break;
    case fcSoftware:
        d.Flags |= dcb::OutX | dcb::InX;
        break;
    case fcDefault:
        break;
    }
    const auto option = [&](TCommOption o, uint32_t bit) {
        if (m_options.contains(o))
            d.Flags |= bit;
        else
            d.Flags &= ~bit;
    };
    option(coParityCheck, dcb::Parity);
    option(coDsrSensitivity, dcb::DsrSensitivity);
    option(coIgnoreXOff, dcb::TxContinueOnXoff);
    option(coErrorChar, dcb::ErrorChar);
    option(coNullStrip, dcb::Null);
    err = m_port->SetState(d);
    if (err != 0)
        throw ECommError(QStringLiteral("Error updating DataControlBlock"), err);
}

TTransferResult TCustomComm::WriteSome(const char *buffer, int32_t count, int32_t timeoutMs) {
    if (!m_open)
        throw ECommError(QStringLiteral("Write error"), m_lostCode != 0 ? m_lostCode : EBADF);
    TTransferResult r;
    {
        std::lock_guard lock(m_lock);
        r = m_port->Write(buffer, count, timeoutMs);
    }
    if (r.kind == TTransferResult::Failed) {
        if (IsLineGone(r.error))
            HandleLineLost(r.error);
        throw ECommError(QStringLiteral("Write error"), r.error);
    }
    return r;
}

int32_t TCustomComm::Write(const char *buffer, int32_t count) {
    const TTransferResult r = WriteSome(buffer, count, m_writeTimeout);
    return r.kind == TTransferResult::Done ? r.count : -1;
}

int32_t TCustomComm::Read(char *buffer, int32_t count) {
    if (!m_open)
        throw ECommError(QStringLiteral("Read error"), m_lostCode != 0 ? m_lostCode : EBADF);
    TTransferResult r;
    {
        std::lock_guard lock(m_lock);
        r = m_port->Read(buffer, count, m_readTimeout);
    }
    if (r.kind == TTransferResult::Failed) {
        if (IsLineGone(r.error))
            HandleLineLost(r.error);
        throw ECommError(QStringLiteral("Read error"), r.error);
    }
    return r.kind == TTransferResult::Done ? r.count : -1;
}

int32_t TCustomComm::InQueCount() {
    TCommStatus st;
    if (!m_open || !m_port->GetStatus(st))
        return -1;
    // Bytes that came before the line went stay readable; once they are
    // taken the port is closed.
    if (st.Lost != 0 && st.InQue <= 0) {
        HandleLineLost(st.Lost);
        return -1;
    }
    return st.InQue;
}

int32_t TCustomComm::OutQueCount() {
    TCommStatus st;
    if (!m_open || !m_port->GetStatus(st))
        return -1;
    if (st.Lost != 0) {
        HandleLineLost(st.Lost);
        return -1;
    }
    return st.OutQue;
}

void TCustomComm::HandleLineLost(int code) {
    if (!m_open || m_losing)
        return;
    m_losing = true;
    Finally done([this] { m_losing = false; });
    WriteLog(QStringLiteral("Line lost on %1 (Error: %2)").arg(m_deviceName).arg(code));
    Close();
    m_lostCode = code;
    LineLost(code);
}

void TCustomComm::LineLost(int) {
    if (OnLineLost) {
        const TNotifyEvent call = OnLineLost;
        call(this);
    }
}

void TCustomComm::PurgeIn() {
    if (m_open)
        m_port->Purge(commpurge::RxAbort | commpurge::RxClear);
}

void TCustomComm::PurgeOut() {
    if (m_open)
        m_port->Purge(commpurge::TxAbort | commpurge::TxClear);
}

void TCustomComm::RaiseIfOpenAndChanged(bool changed) {
    if (changed && m_open)
        throw ECommError(QStringLiteral("Port already assigned (open)"), -1);
}

void TCustomComm::SetDeviceName(const QString &name) {
    RaiseIfOpenAndChanged(name != m_deviceName);
    m_deviceName = name;
}

void TCustomComm::SetReadBufSize(int32_t size) {
    RaiseIfOpenAndChanged(size != m_readBufSize);
    m_readBufSize = size;
}

void TCustomComm::SetWriteBufSize(int32_t size) {
    RaiseIfOpenAndChanged(size != m_writeBufSize);
    m_writeBufSize = size;
}

void TCustomComm::SetMonitorEvents(TCommEventTypes events) {
    RaiseIfOpenAndChanged(!(events == m_monitorEvents));
    m_monitorEvents = events;
}

template <typename T> void TCustomComm::SetLine(T &field, T value) {
    if (field == value)
        return;
    field = value;
    if (m_open)
        UpdateDCB();
}

void TCustomComm::SetBaudRate(TBaudrate rate) { SetLine(m_baudRate, rate); }
void TCustomComm::SetParity(TParity parity) { SetLine(m_parity, parity); }
void TCustomComm::SetStopbits(TStopbits bits) { SetLine(m_stopbits, bits); }
void TCustomComm::SetDatabits(TDatabits bits) { SetLine(m_databits, bits); }
void TCustomComm::SetOptions(TCommOptions options) { SetLine(m_options, options); }
void TCustomComm::SetFlowControl(TFlowControl flow) { SetLine(m_flowControl, flow); }

void TCustomComm::HandleCommEvent(uint32_t mask) {
    TCommStatus st;
    if (!m_open || !m_port->GetStatus(st))
        st = TCommStatus{};
    if (st.Lost != 0 && st.InQue <= 0) {
        HandleLineLost(st.Lost);
        return;
    }
    // Handlers are copied before the call so that one may replace itself.
    const auto notify = [&](uint32_t bit, const TNotifyEvent &event) {
        if ((mask & bit) && event) {
            const TNotifyEvent call = event;
            call(this);
        }
    };
    notify(commev::Break, OnBreak);
    notify(commev::Cts, OnCts);
    notify(commev::Dsr, OnDsr);
    if ((mask & commev::Err) && OnError) {
        const TCommErrorEvent call = OnError;
        call(this, st.Errors);
    }
    notify(commev::Ring, OnRing);
    notify(commev::Rlsd, OnRlsd);
    if ((mask & commev::RxChar) && OnRxChar && st.InQue >= 1) {
        const TCommRxCharEvent call = OnRxChar;
        call(this, st.InQue);
    }
    notify(commev::RxFlag, OnRxFlag);
    notify(commev::TxEmpty, OnTxEmpty);
    // The line went with bytes still queued: whoever wanted them had them
    // handed over above; the port closes now rather than at the next poll.
    if (st.Lost != 0 && m_open) {
        TCommStatus now;
        HandleLineLost(m_port->GetStatus(now) && now.Lost != 0 ? now.Lost : st.Lost);
    }
}

} // namespace tessel
