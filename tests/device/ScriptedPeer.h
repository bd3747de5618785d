#pragma once

// A scripted instrument on the in-memory port: each written message is
// matched against the script and the reply is fed back after the line's
// turnaround, or with delay 0 at once, before the write has returned (an
// instrument that answers while a busy machine is still in the write call).

#include "LinkTestSupport.h"
#include "common/Log.h"
#include "device/ConnectionManager.h"
#include "support/MemoryCommPort.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QTimer>
#include <functional>
#include <vector>

namespace tessel::test {

class ScriptedPeer {
public:
    using Rule = std::function<QByteArray(const QByteArray &written)>;
    explicit ScriptedPeer(TMemoryCommPort &port, int delayMs = 5) : m_port(port), m_delay(delayMs) {
        m_port.SetOnWrite([this](const QByteArray &w) {
            QByteArray reply;
            if (m_rule)
                reply = m_rule(w);
            else if (m_next < m_replies.size())
                reply = m_replies[m_next++];
            if (reply.isEmpty())
                return;
            if (m_delay == 0) {
                m_port.FeedReceived(reply);
                return;
            }
            // OnWrite runs in the writing thread, the main one.
            QTimer::singleShot(m_delay, &m_alive, [this, reply] { m_port.FeedReceived(reply); });
        });
    }
    ~ScriptedPeer() { m_port.SetOnWrite(nullptr); }
    // One reply per write, in order; an empty one stays silent.
    void Replies(std::vector<QByteArray> replies) {
        m_replies = std::move(replies);
        m_next = 0;
    }
    void SetRule(Rule rule) { m_rule = std::move(rule); }

private:
    TMemoryCommPort &m_port;
    QObject m_alive; // a reply still on its way when the peer goes is dropped with it
    int m_delay;
    Rule m_rule;
    std::vector<QByteArray> m_replies;
    size_t m_next = 0;
};

// A link on the in-memory port with its own log, recording its events.
struct MemoryLink {
    TestDir dir;
    TMemoryCommPort *port = nullptr;
    std::unique_ptr<TCommunication> link;
    std::unique_ptr<TCommandSet> cmd;
    std::unique_ptr<TConnectionManager> conn;
    std::unique_ptr<ScriptedPeer> peer;
    QStringList messages;
    int connectedChanges = 0, deviceChanges = 0;
    // connected: opened and marked connected, as after an identification.
    explicit MemoryLink(TDevice device = ModelA, bool connected = true) {
        OpenLog(dir.path("logfile.txt"));
        auto p = std::make_unique<TMemoryCommPort>();
        port = p.get();
        link = std::make_unique<TCommunication>(std::move(p), "ttyMem");
        cmd = std::make_unique<TCommandSet>(*link);
        conn = std::make_unique<TConnectionManager>(*link, *cmd);
        link->SetDeviceType(device);
        conn->OnMessage = [this](TCustomComm *, const QString &m) { messages.append(m); };
        link->OnConnectedChanged = [this](TCustomComm *) { ++connectedChanges; };
        link->OnDeviceChanged = [this](TCustomComm *) { ++deviceChanges; };
        if (connected) {
            link->Open();
            link->SetConnected(true);
        }
    }
    ~MemoryLink() {
        peer.reset();
        conn.reset();
        cmd.reset();
        CloseLog();
    }
    ScriptedPeer &Peer(std::vector<QByteArray> replies, int delayMs = 5) {
        peer.reset();
        peer = std::make_unique<ScriptedPeer>(*port, delayMs);
        peer->Replies(std::move(replies));
        return *peer;
    }
    // The log without its first line.
    QStringList Log() const {
        QStringList lines = ReadTextFile(dir.path("logfile.txt")).split('\n', Qt::SkipEmptyParts);
        lines.removeFirst();
        return lines;
    }
};

} // namespace tessel::test
