#include "app/StartServer.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace tessel {

TStartServer::TStartServer(std::function<bool()> canStart, std::function<void()> start, QObject *parent)
    : QObject(parent), m_canStart(std::move(canStart)), m_start(std::move(start)), m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &TStartServer::onConnection);
}

TStartServer::~TStartServer() = default;

QString TStartServer::SocketName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = QStringLiteral("user");
    return QStringLiteral("TesselStart-") + user;
}

bool TStartServer::Listen(const QString &name) {
    // A running program answers on the name and keeps it: taking it away
    // would leave "tessel-cli start" talking to nobody. (Listening with access
    // options replaces an existing socket, so ask first.)
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) {
        probe.disconnectFromServer();
        return false;
    }
    if (m_server->listen(name))
        return true;
    // A socket left behind by a crashed run blocks the name.
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}

bool TStartServer::IsListening() const { return m_server->isListening(); }

void TStartServer::onConnection() {
    while (QLocalSocket *s = m_server->nextPendingConnection()) {
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QLocalSocket::readyRead, this, [this, s] {
            if (!s->canReadLine())
                return;
            const QString line = QString::fromUtf8(s->readLine()).trimmed();
            if (line.startsWith(QLatin1String("open "))) {
                const QString file = line.mid(5).trimmed();
                const bool open = OnOpen && !file.isEmpty();
                s->write(open ? "opened\n" : "ignored\n");
                s->flush();
                s->disconnectFromServer();
                if (open)
                    QTimer::singleShot(0, this, [this, file] { OnOpen(file); });
                return;
            }
            const bool start = m_canStart && m_canStart();
            s->write(start ? "started\n" : "ignored\n");
            s->flush();
            s->disconnectFromServer();
            // Start after replying: a measurement runs its own waits.
            if (start)
                QTimer::singleShot(0, this, [this] { m_start(); });
        });
    }
}

bool TStartServer::Send(QString *reply, const QString &name, int timeoutMs) {
    return request("TesselStart\n", reply, name, timeoutMs);
}

bool TStartServer::SendOpen(const QString &file, QString *reply, const QString &name, int timeoutMs) {
    return request("open " + file.toUtf8() + '\n', reply, name, timeoutMs);
}

bool TStartServer::request(const QByteArray &line, QString *reply, const QString &name, int timeoutMs) {
    QLocalSocket s;
    s.connectToServer(name);
    if (!s.waitForConnected(timeoutMs))
        return false;
    s.write(line);
    if (!s.waitForBytesWritten(timeoutMs))
        return false;
    while (!s.canReadLine())
        if (!s.waitForReadyRead(timeoutMs))
            return false;
    const QString r = QString::fromLatin1(s.readLine()).trimmed();
    if (reply)
        *reply = r;
    return true;
}

} // namespace tessel
