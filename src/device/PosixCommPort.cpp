#include "device/PosixCommPort.h"

// The kernel's own termios2 interface (arbitrary baud rates through BOTHER);
// glibc's <termios.h> cannot be mixed with it, so everything goes by ioctl.
#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace tessel {

namespace {

struct StdRate {
    uint32_t baud;
    unsigned code;
};
constexpr StdRate kStdRates[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

// Flag-word bits that have no termios counterpart; they live in the shadow copy.
constexpr uint32_t kShadowFlags = dcb::OutxDsrFlow | dcb::DtrControlMask | dcb::DsrSensitivity | dcb::TxContinueOnXoff |
                                  dcb::ErrorChar | dcb::Null | dcb::AbortOnError;

void MakeRaw(termios2 &t) {
    t.c_iflag &=
        ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | IMAXBEL | IUCLC);
    t.c_oflag &= ~tcflag_t(OPOST);
    t.c_lflag &= ~tcflag_t(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
    // No handshake unless the line settings ask for one: a port left with
    // RTS/CTS by an earlier user would hold every write for good.
    t.c_cflag &= ~tcflag_t(CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

int Ioctl(int fd, unsigned long request, void *arg) {
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

} // namespace

TPosixCommPort::~TPosixCommPort() { Close(); }

int TPosixCommPort::Open(const QString &name) {
    if (m_fd >= 0)
        return EBUSY;
    const QByteArray path = name.toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // Exclusive: TIOCEXCL keeps out later opens of the tty; the lock also keeps
    // out programs that honour advisory locks (and privileged ones TIOCEXCL lets
    // in). Only ttys are locked: anything else fails at the line settings.
    termios2 t{};
    if (Ioctl(fd, TCGETS2, &t) == 0) {
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno == EWOULDBLOCK ? EBUSY : errno;
            ::close(fd);
            return err;
        }
        ::ioctl(fd, TIOCEXCL);
        // A tty starts in terminal mode (echo, line editing, XON/XOFF, CR/LF
        // translation), any of which corrupts a binary exchange: start from raw.
        MakeRaw(t);
        Ioctl(fd, TCSETS2, &t);
    }
    int pipefd[2];
    if (::pipe2(pipefd, O_NONBLOCK | O_CLOEXEC) != 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    const int ep = ::epoll_create1(EPOLL_CLOEXEC);
    if (ep < 0) {
        const int err = errno;
        ::close(fd);
        ::close(pipefd[0]);
        ::close(pipefd[1]);
        return err;
    }
    // Edge-triggered: one event per arrival, as a received-character event is,
    // so bytes left waiting in the queue do not keep the thread spinning.
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLET;
    ev.data.fd = fd;
    ::epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev);
    ev.events = EPOLLIN;
    ev.data.fd = pipefd[0];
    ::epoll_ctl(ep, EPOLL_CTL_ADD, pipefd[0], &ev);

    m_fd = fd;
    struct stat st {};
    // Unix 98 pseudo-terminal slaves (/dev/pts/N) have majors 136 to 143.
    m_pseudoTerminal =
        ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
    m_epoll = ep;
    m_wake[0] = pipefd[0];
    m_wake[1] = pipefd[1];
    m_cancel = false;
    m_txPending = false;
    m_lost = 0;
    m_lostReported = false;
    m_shadow = TDcb{};
    m_shadow.Flags = dcb::Binary;
    m_evtChar = -1;
    {
        std::lock_guard lock(m_inMutex);
        m_in.clear();
        m_inCap = kMinInputQueue;
        m_pendingReadError = 0;
    }
    ReadCounters(m_eventSeen, m_modemOk, m_countOk);
    std::lock_guard lock(m_statusMutex);
    serial_icounter_struct ic{};
    if (Ioctl(m_fd, TIOCGICOUNT, &ic) == 0) {
        m_statusOverrun = ic.overrun;
        m_statusParity = ic.parity;
        m_statusFrame = ic.frame;
        m_statusBrk = ic.brk;
        m_statusBufOverrun = ic.buf_overrun;
    }
    return 0;
}

bool TPosixCommPort::IsCharDevice() {
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISCHR(st.st_mode);
}

void TPosixCommPort::Close() {
    for (int *fd : {&m_fd, &m_epoll, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

int TPosixCommPort::SetupQueues(int32_t inSize, int32_t) {
    // The tty layer has fixed buffers; the input queue is our own.
    if (m_fd < 0)
        return EBADF;
    std::lock_guard lock(m_inMutex);
    m_inCap = std::max(inSize, kMinInputQueue);
    return 0;
}

void TPosixCommPort::DrainLocked() {
    char buf[4096];
    while (m_in.size() < m_inCap) {
        const ssize_t n = ::read(m_fd, buf, std::min<size_t>(sizeof buf, size_t(m_inCap - m_in.size())));
        if (n > 0) {
            m_in.append(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A raw tty (VMIN and VTIME 0) reads 0 bytes when nothing is there,
        // and so does a hung-up one, whose every ioctl then fails with EIO; an
        // unplugged adapter or a closed pseudo-terminal master gives EIO or
        // ENXIO at once. Either way the line is gone; what is queued stays
        // readable.
        if (n == 0) {
            int queued = 0;
            if (::ioctl(m_fd, FIONREAD, &queued) != 0 && IsLineGone(errno))
                m_lost = errno;
        } else if (IsLineGone(errno))
            m_lost = errno;
        else if (errno != EAGAIN)
            m_pendingReadError = errno;
        break;
    }
}

int TPosixCommPort::GetState(TDcb &d) {
    termios2 t{};
    if (Ioctl(m_fd, TCGETS2, &t) != 0)
        return errno;
    d = m_shadow;
    d.BaudRate = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        d.ByteSize = 5;
        break;
    case CS6:
        d.ByteSize = 6;
        break;
    case CS7:
        d.ByteSize = 7;
        break;
    default:
        d.ByteSize = 8;
        break;
    }
    if (!(t.c_cflag & PARENB))
        d.Parity = 0;
    else if (t.c_cflag & CMSPAR)
        d.Parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        d.Parity = (t.c_cflag & PARODD) ? 1 : 2;
    if (!(t.c_cflag & CSTOPB))
        d.StopBits = 0;
    else
        d.StopBits = m_shadow.StopBits == 1 ? 1 : 2;
    uint32_t flags = dcb::Binary | (m_shadow.Flags & kShadowFlags);
    if (t.c_iflag & INPCK)
        flags |= dcb::Parity;
    if (t.c_cflag & CRTSCTS)
        flags |= dcb::OutxCtsFlow | dcb::RtsHandshake;
    else
        flags |= m_shadow.Flags & dcb::RtsControlMask & ~dcb::RtsHandshake;
    if (t.c_iflag & IXON)
        flags |= dcb::OutX;
    if (t.c_iflag & IXOFF)
        flags |= dcb::InX;
    d.Flags = flags;
    d.XonChar = t.c_cc[VSTART];
    d.XoffChar = t.c_cc[VSTOP];
    return 0;
}

int TPosixCommPort::SetState(const TDcb &d) {
    if (d.ByteSize < 5 || d.ByteSize > 8 || d.Parity > 4 || d.StopBits > 2 || d.BaudRate == 0)
        return EINVAL;
    termios2 t{};
    if (Ioctl(m_fd, TCGETS2, &t) != 0)
        return errno;
    MakeRaw(t);
    unsigned code = BOTHER;
    for (const StdRate &r : kStdRates)
        if (r.baud == d.BaudRate)
            code = r.code;
    t.c_cflag &= ~tcflag_t(CBAUD | CIBAUD); // input speed follows the output speed
    t.c_cflag |= code;
    t.c_ispeed = d.BaudRate;
    t.c_ospeed = d.BaudRate;
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= d.ByteSize == 5 ? CS5 : d.ByteSize == 6 ? CS6 : d.ByteSize == 7 ? CS7 : CS8;
    switch (d.Parity) {
    case 1:
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        t.c_cflag |= PARENB;
        break;
    case 3:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (d.StopBits != 0)
        t.c_cflag |= CSTOPB;
    if ((d.Flags & dcb::OutxCtsFlow) || (d.Flags & dcb::RtsControlMask) == dcb::RtsHandshake)
        t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~tcflag_t(INPCK | IGNPAR);
    if (d.Flags & dcb::Parity)
        t.c_iflag |= INPCK;
    if (d.Flags & dcb::OutX)
        t.c_iflag |= IXON;
    if (d.Flags & dcb::InX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = d.XonChar;
    t.c_cc[VSTOP] = d.XoffChar;
    if (Ioctl(m_fd, TCSETS2, &t) != 0)
        return errno;
    m_shadow = d;
    m_evtChar = d.EvtChar;
    return 0;
}

int TPosixCommPort::SetTimeouts(const TCommTimeouts &timeouts) {
    if (m_fd < 0)
        return EBADF;
    m_timeouts = timeouts;
    return 0;
}

bool TPosixCommPort::GetStatus(TCommStatus &status) {
    int in = 0, out = 0;
    if (m_fd < 0)
        return false;
    if (Ioctl(m_fd, FIONREAD, &in) != 0) {
        if (!IsLineGone(errno))
            return false;
        m_lost = errno;
    }
    if (Ioctl(m_fd, TIOCOUTQ, &out) != 0)
        out = 0;
    {
        std::lock_guard lock(m_inMutex);
        if (m_lost == 0)
            DrainLocked();
        if (m_lost != 0 || Ioctl(m_fd, FIONREAD, &in) != 0)
            in = 0;
        status.InQue = int32_t(m_in.size()) + in;
        status.Lost = m_lost;
    }
    status.OutQue = out;
    status.Errors = 0;
    serial_icounter_struct ic{};
    std::lock_guard lock(m_statusMutex);
    if (Ioctl(m_fd, TIOCGICOUNT, &ic) == 0) {
        if (ic.buf_overrun != m_statusBufOverrun)
            status.Errors |= commerr::RxOver;
        if (ic.overrun != m_statusOverrun)
            status.Errors |= commerr::Overrun;
        if (ic.parity != m_statusParity)
            status.Errors |= commerr::RxParity;
        if (ic.frame != m_statusFrame)
            status.Errors |= commerr::Frame;
        if (ic.brk != m_statusBrk)
            status.Errors |= commerr::Break;
        m_statusOverrun = ic.overrun;
        m_statusParity = ic.parity;
        m_statusFrame = ic.frame;
        m_statusBrk = ic.brk;
        m_statusBufOverrun = ic.buf_overrun;
    }
    return true;
}

void TPosixCommPort::Purge(uint32_t flags) {
    if (m_fd < 0)
        return;
    const bool in = flags & (commpurge::RxAbort | commpurge::RxClear);
    const bool out = flags & (commpurge::TxAbort | commpurge::TxClear);
    if (!in && !out)
        return;
    if (in) {
        std::lock_guard lock(m_inMutex);
        m_in.clear();
        m_pendingReadError = 0;
    }
    // A completed write has left the program, as it has on a port whose
    // writes finish only once the bytes are sent. The driver still holds it
    // for a moment, and flushing then would drop a command that was just
    // given (back-to-back commands each purge first). Only what a write gave
    // up on is stale. A pseudo-terminal holds written bytes until its peer
    // reads them, so nothing written there is ever stale.
    const bool stale = out && m_unsent.exchange(false) && !m_pseudoTerminal;
    if (!in && !stale)
        return;
    const long how = in && stale ? TCIOFLUSH : in ? TCIFLUSH : TCOFLUSH;
    while (::ioctl(m_fd, TCFLSH, how) < 0 && errno == EINTR) {
    }
}

TTransferResult TPosixCommPort::Read(char *buffer, int32_t count, int32_t) {
    // Reads return at once with what has arrived (the only time-out form the
    // port component sets), so nothing is ever left pending on the buffer.
    if (m_fd < 0)
        return {TTransferResult::Failed, 0, EBADF};
    std::lock_guard lock(m_inMutex);
    if (m_lost == 0)
        DrainLocked();
    if (m_in.isEmpty() && m_lost != 0)
        return {TTransferResult::Failed, 0, m_lost};
    if (m_in.isEmpty() && m_pendingReadError != 0)
        return {TTransferResult::Failed, 0, std::exchange(m_pendingReadError, 0)};
    const int32_t n = std::min<int32_t>(std::max(count, 0), int32_t(m_in.size()));
    if (n > 0) {
        std::memcpy(buffer, m_in.constData(), size_t(n));
        m_in.remove(0, n);
    }
    return {TTransferResult::Done, n, 0};
}

TTransferResult TPosixCommPort::Write(const char *buffer, int32_t count, int32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    if (m_fd < 0)
        return {TTransferResult::Failed, 0, EBADF};
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, buffer + done, size_t(count - done));
        if (n > 0) {
            done += int32_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            m_unsent = m_unsent || done > 0;
            if (IsLineGone(errno))
                m_lost = errno;
            return {TTransferResult::Failed, done, errno};
        }
        // The driver's queue is full: wait for room, within the time-out. Bytes
        // already handed over stay queued; the caller's buffer is not used again.
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                m_unsent = m_unsent || done > 0;
                return {TTransferResult::TimedOut, done, 0};
            }
            wait = int(left.count());
        }
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, wait) < 0 && errno != EINTR)
            return {TTransferResult::Failed, done, errno};
    }
    if (m_mask.load() & commev::TxEmpty) {
        m_txPending = true;
        Kick();
    }
    return {TTransferResult::Done, done, 0};
}

void TPosixCommPort::SetEventMask(uint32_t mask) { m_mask = mask; }

void TPosixCommPort::Kick() {
    if (m_wake[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] const ssize_t r = ::write(m_wake[1], &c, 1);
    }
}

void TPosixCommPort::CancelWait() {
    m_cancel = true;
    Kick();
}

bool TPosixCommPort::ReadCounters(LineCounters &c, bool &modemOk, bool &countOk) const {
    modemOk = Ioctl(m_fd, TIOCMGET, &c.modem) == 0;
    serial_icounter_struct ic{};
    countOk = Ioctl(m_fd, TIOCGICOUNT, &ic) == 0;
    if (countOk) {
        c.brk = ic.brk;
        c.errors = ic.frame + ic.overrun + ic.parity + ic.buf_overrun;
    }
    return modemOk || countOk;
}

uint32_t TPosixCommPort::WaitEvent() {
    constexpr uint32_t kLineEvents =
        commev::Cts | commev::Dsr | commev::Rlsd | commev::Ring | commev::Break | commev::Err;
    for (;;) {
        if (m_cancel)
            return 0;
        const uint32_t mask = m_mask.load();
        // The kernel signals neither an empty output queue nor (together with
        // other waits) line changes, so those are polled while they matter.
        int timeout = -1;
        if (m_txPending)
            timeout = 5;
        if ((mask & kLineEvents) && (m_modemOk || m_countOk))
            timeout = timeout < 0 ? 50 : std::min(timeout, 50);
        if (m_lostReported)
            timeout = -1; // nothing but the wake-up is left to wait for
        epoll_event evs[2];
        const int n = ::epoll_wait(m_epoll, evs, 2, timeout);
        if (m_cancel)
            return 0;
        uint32_t bits = 0;
        for (int i = 0; i < n; ++i) {
            if (evs[i].data.fd == m_wake[0]) {
                char drain[64];
                while (::read(m_wake[0], drain, sizeof drain) > 0) {
                }
                continue;
            }
            if (evs[i].events & (EPOLLHUP | EPOLLERR)) {
                std::lock_guard lock(m_inMutex);
                DrainLocked(); // takes what came before the hang-up, and marks it
                if (m_lost == 0)
                    m_lost = EIO;
            }
            if (evs[i].events & EPOLLIN) {
                // Move the new bytes into our queue at once, as a driver fills
                // its input queue, so the tty's small buffer never backs up.
                std::lock_guard lock(m_inMutex);
                const qsizetype before = m_in.size();
                DrainLocked();
                bits |= commev::RxChar;
                const int evt = m_evtChar.load();
                if (evt >= 0 && m_in.indexOf(char(evt), before) >= 0)
                    bits |= commev::RxFlag;
            }
        }
        if (m_txPending) {
            int out = 0;
            if (Ioctl(m_fd, TIOCOUTQ, &out) != 0 || out == 0) {
                m_txPending = false;
                bits |= commev::TxEmpty;
            }
        }
        if (mask & kLineEvents) {
            LineCounters now;
            bool modemOk = false, countOk = false;
            ReadCounters(now, modemOk, countOk);
            if (modemOk && m_modemOk) {
                const int changed = now.modem ^ m_eventSeen.modem;
                if (changed & TIOCM_CTS)
                    bits |= commev::Cts;
                if (changed & TIOCM_DSR)
                    bits |= commev::Dsr;
                if (changed & TIOCM_CD)
                    bits |= commev::Rlsd;
                if (changed & TIOCM_RI)
                    bits |= commev::Ring;
            }
            if (countOk && m_countOk) {
                if (now.brk != m_eventSeen.brk)
                    bits |= commev::Break;
                if (now.errors != m_eventSeen.errors)
                    bits |= commev::Err;
            }
            m_eventSeen = now;
        }
        bits &= mask;
        if (m_lost != 0 && !m_lostReported) {
            m_lostReported = true;
            ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, m_fd, nullptr);
            bits |= commev::LineLost;
        }
        if (bits != 0)
            return bits;
    }
}

} // namespace tessel
