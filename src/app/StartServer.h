#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace tessel {

// Other programs trigger a measurement through the per-user local socket
// "TesselStart". Every request is consumed; it starts a measurement only
// while the Start command is enabled.
class TStartServer : public QObject {
    Q_OBJECT
public:
    // canStart: whether Start is enabled now; start: runs it.
    TStartServer(std::function<bool()> canStart, std::function<void()> start, QObject *parent = nullptr);
    ~TStartServer() override;

    static QString SocketName();
    bool Listen(const QString &name = SocketName());
    bool IsListening() const;

    // Client side: sends one request; true with "started" or "ignored" in reply
    // when a program took it, false when none listens.
    static bool Send(QString *reply = nullptr, const QString &name = SocketName(), int timeoutMs = 3000);
    // Asks the program to open an experiment file; the reply is "opened" or "ignored".
    static bool SendOpen(const QString &file, QString *reply = nullptr, const QString &name = SocketName(),
                         int timeoutMs = 3000);

    // Opens an experiment file named in an "open" request.
    std::function<void(const QString &file)> OnOpen;

private:
    static bool request(const QByteArray &line, QString *reply, const QString &name, int timeoutMs);
    void onConnection();
    std::function<bool()> m_canStart;
    std::function<void()> m_start;
    QLocalServer *m_server;
};

} // namespace tessel
