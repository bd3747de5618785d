#pragma once

// A pseudo-terminal pair: the link opens the slave by its device name like any
// tty; a scripted peer speaks on the master side from its own thread.

#include <QByteArray>
#include <QString>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace tessel::test {

class PtyPeer {
public:
    PtyPeer() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_slaveName = QString::fromLocal8Bit(::ptsname(m_master));
        termios t{};
        ::tcgetattr(m_master, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(m_master, TCSANOW, &t);
    }
    ~PtyPeer() {
        Join();
        if (m_master >= 0)
            ::close(m_master);
    }

    bool Ok() const { return m_master >= 0 && !m_slaveName.isEmpty(); }
    // Closes the master side: the slave's user sees the line hung up.
    void HangUp() {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    const QString &SlaveName() const { return m_slaveName; }

    void Run(std::function<void(PtyPeer &)> script) {
        Join();
        m_thread = std::thread([this, s = std::move(script)] { s(*this); });
    }
    void Join() {
        if (m_thread.joinable())
            m_thread.join();
    }

    void Send(const QByteArray &bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            else
                Wait(POLLOUT, 100);
        }
    }
    // Up to n bytes; gives up after timeoutMs without any.
    QByteArray Receive(qsizetype n, int timeoutMs = 5000) {
        QByteArray out;
        char buf[4096];
        while (out.size() < n && Wait(POLLIN, timeoutMs)) {
            const ssize_t got = ::read(m_master, buf, size_t(std::min<qsizetype>(n - out.size(), sizeof buf)));
            if (got <= 0)
                break;
            out.append(buf, got);
        }
        return out;
    }

private:
    bool Wait(short events, int ms) {
        pollfd p{m_master, events, 0};
        return ::poll(&p, 1, ms) > 0 && (p.revents & events);
    }
    int m_master = -1;
    QString m_slaveName;
    std::thread m_thread;
};

} // namespace tessel::test
