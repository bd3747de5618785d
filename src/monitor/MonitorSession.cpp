#include "monitor/MonitorSession.h"

#include "common/ActionGuard.h"
#include "common/Finally.h"
#include "common/Log.h"
#include "device/CommandSet.h"
#include "device/Communication.h"

#include <QEventLoop>
#include <QTimer>

namespace tessel {

TMonitorSession::TMonitorSession(TCommandSet &commands, const TMonitorScale &scale)
    : m_commands(commands), m_link(commands.Link()), m_scale(scale) {}

TMonitorSession::~TMonitorSession() {
    // No pause here: a destructor must not run the event loop, nor show a
    // message.
    if (m_streaming) {
        try {
            Stop(false);
        } catch (const std::exception &e) {
            WriteLog(QStringLiteral("Monitor stream not stopped: ") + QString::fromLocal8Bit(e.what()));
        }
    }
}

bool TMonitorSession::Pause(int ms) {
    const std::weak_ptr<bool> alive = m_alive;
    if (PauseFor) {
        const auto wait = PauseFor; // the session may go away during it
        wait(ms);
    } else {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !alive.expired();
}

void TMonitorSession::ReadGains() {
    if (!m_gains)
        return;
    m_link.PurgeIn();
    m_commands.GetGains(GainA, GainB, OffsetA, OffsetB);
}

void TMonitorSession::ReadApd() {
    if (!m_apd)
        return;
    m_link.PurgeIn();
    m_commands.GetApd(Apd1, Apd2);
}

void TMonitorSession::Start(bool measuringFlash) {
    if (SetStatusPolling)
        SetStatusPolling(false);
    ReadGains();
    ReadApd();
    WriteLog(QStringLiteral("gainA: %1 ofsA: %2 gainB: %3 ofsB: %4").arg(GainA).arg(OffsetA).arg(GainB).arg(OffsetB));
    if (ValuesRead) {
        // Showing them may send them back, with pauses the window can close in.
        const std::weak_ptr<bool> alive = m_alive;
        ValuesRead();
        if (alive.expired())
            return;
    }
    m_flash = measuringFlash;
    m_decoder = std::make_unique<TMonitorDecoder>(MonitorFormFor(m_link.Device()), m_scale);
    m_link.OnRxChar = [this](TCustomComm *, int32_t count) { onRx(count); };
    m_streaming = true;
    m_link.PurgeIn();
    m_commands.MonitorOn(m_flash ? 1 : 0);
}

void TMonitorSession::Stop(bool pause) {
    m_streaming = false;
    m_actions.Clear();
    bool sent = false;
    {
        // The session lets go of the link whatever the line does.
        Finally release([this] {
            m_link.OnRxChar = nullptr;
            m_decoder.reset();
            if (SetStatusPolling)
                SetStatusPolling(true);
        });
        // A line that is gone has no stream left to stop.
        if (m_link.IsOpen()) {
            // Types without gain control end the stream with a single 0 byte.
            if (m_gains) {
                m_commands.MonitorStop();
            } else {
                const char stop = 0;
                m_link.Write(&stop, 1);
            }
            sent = true;
        }
    }
    // Lets the instrument finish the stream before anybody else talks to it.
    if (pause && sent)
        Pause(1000);
}

void TMonitorSession::Restart(bool measuringFlash) {
    m_flash = measuringFlash;
    m_actions.Run(kFlash, Guarded([this] { restartNow(); }));
}

void TMonitorSession::restartNow() {
    if (!m_streaming)
        return;
    m_link.PurgeOut();
    m_commands.MonitorStop();
    m_link.PurgeIn();
    m_commands.MonitorOn(m_flash ? 1 : 0);
    if (m_decoder)
        m_decoder->Reset();
}

void TMonitorSession::SetScale(const TMonitorScale &scale) {
    m_scale = scale;
    if (m_decoder)
        m_decoder = std::make_unique<TMonitorDecoder>(MonitorFormFor(m_link.Device()), m_scale);
}

void TMonitorSession::onRx(int32_t count) {
    if (!m_decoder)
        return;
    const auto shown = m_decoder->Decode(count, [this](char *buf, int32_t n) { return m_link.Read(buf, n); });
    for (const auto &s : shown)
        if (OnSample)
            OnSample(s);
}

void TMonitorSession::GainMoved(int channel, int position) {
    m_wantedGain[channel] = GainFromPosition(position);
    m_actions.Run(kGain + channel, Guarded([this, channel] { sendGain(channel); }));
}

void TMonitorSession::OffsetMoved(int channel, int value) {
    m_wantedOffset[channel] = value;
    m_actions.Run(kOffset + channel, Guarded([this, channel] { sendOffset(channel); }));
}

void TMonitorSession::ApdMoved(int channel, int value) {
    m_wantedApd[channel] = value;
    m_actions.Run(kApd + channel, Guarded([this, channel] { sendApd(channel); }));
}

// Each send reads the value asked for last when its turn comes; a value the
// instrument has already is not sent again, yet the pause stays.

void TMonitorSession::sendGain(int channel) {
    if (!m_gains)
        return;
    m_link.PurgeIn();
    const int v = m_wantedGain[channel];
    int &stored = channel == 0 ? GainA : GainB;
    if (v != stored) {
        m_commands.SetGain(v, channel + 1);
        stored = v;
    }
    Pause(50);
}

void TMonitorSession::sendOffset(int channel) {
    if (!m_gains)
        return;
    m_link.PurgeIn();
    const int v = m_wantedOffset[channel];
    int &stored = channel == 0 ? OffsetA : OffsetB;
    if (v != stored) {
        m_commands.SetOffset(v, channel + 1);
        stored = v;
    }
    Pause(50);
}

void TMonitorSession::sendApd(int channel) {
    const int v = m_wantedApd[channel];
    (channel == 0 ? Apd1 : Apd2) = v;
    m_commands.SetApd(v, channel + 1);
    if (Pause(50) && ApdSent)
        ApdSent(channel, v);
}

} // namespace tessel
