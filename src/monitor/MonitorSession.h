#pragma once

#include "monitor/MonitorActions.h"
#include "monitor/MonitorStream.h"

#include <functional>
#include <memory>

namespace tessel {

class TCommandSet;
class TCommunication;

// The live monitor's dealings with the instrument: the stream from start to
// stop, the detector gains, offsets and photodiode sensitivities, and the
// pauses the instrument needs after each. While the stream runs the session
// owns the link's received-data notification and the status poll is off.
// Settings are sent one at a time; one asked for during another's pause
// waits its turn and then sends the latest value asked for.
class TMonitorSession {
public:
    TMonitorSession(TCommandSet &commands, const TMonitorScale &scale);
    // Ends a running stream without a pause; a failing port is only logged.
    ~TMonitorSession();
    TMonitorSession(const TMonitorSession &) = delete;
    TMonitorSession &operator=(const TMonitorSession &) = delete;

    // The instrument's values, as read or as last sent.
    int GainA = 0, GainB = 0, OffsetA = 0, OffsetB = 0, Apd1 = 0, Apd2 = 0;
    int Gain(int channel) const { return channel == 0 ? GainA : GainB; }
    int Offset(int channel) const { return channel == 0 ? OffsetA : OffsetB; }
    int Apd(int channel) const { return channel == 0 ? Apd1 : Apd2; }

    // Whether the connected type has gains and offsets, and photodiodes.
    bool GainsEnabled() const { return m_gains; }
    bool ApdEnabled() const { return m_apd; }
    void SetGainsEnabled(bool on) { m_gains = on; }
    void SetApdEnabled(bool on) { m_apd = on; }

    // Reads what the instrument has; nothing for a type without them.
    void ReadGains();
    void ReadApd();

    // Status poll off, gains and photodiodes read and handed to ValuesRead,
    // stream on (with the measuring flash when asked).
    void Start(bool measuringFlash);
    // Ends the stream and gives the link back, whatever the line does; with
    // pause, waits until the instrument has finished the stream.
    void Stop(bool pause);
    // The stream again, with or without the measuring flash.
    void Restart(bool measuringFlash);
    bool Streaming() const { return m_streaming; }

    // The gain bar runs from 100 % at its top (position 0) to 0 % at its bottom.
    static int GainFromPosition(int position) { return 100 - position; }
    static int PositionOfGain(int gain) { return 100 - gain; }
    // A control moved: its value goes to the instrument in its turn.
    void GainMoved(int channel, int position);
    void OffsetMoved(int channel, int value);
    void ApdMoved(int channel, int value);

    // New configuration values; a running stream decodes with them at once.
    void SetScale(const TMonitorScale &scale);
    const TMonitorScale &Scale() const { return m_scale; }

    // Turns the main window's status polling on or off.
    std::function<void(bool on)> SetStatusPolling;
    // Waits while events run (the instrument's settle times); by default a
    // nested event loop.
    std::function<void(int ms)> PauseFor;
    // Each decoded sample of the stream.
    std::function<void(const TMonitorSample &)> OnSample;
    // The values Start read, to be shown.
    std::function<void()> ValuesRead;
    // A photodiode value went out and its pause is over.
    std::function<void(int channel, int value)> ApdSent;

private:
    enum TKey { kGain = 0, kOffset = 2, kApd = 4, kFlash = 6 };
    void sendGain(int channel);
    void sendOffset(int channel);
    void sendApd(int channel);
    void restartNow();
    void onRx(int32_t count);
    // False when the session was destroyed during the pause.
    bool Pause(int ms);

    TCommandSet &m_commands;
    TCommunication &m_link;
    TMonitorScale m_scale;
    std::unique_ptr<TMonitorDecoder> m_decoder;
    TSerialActions m_actions;
    bool m_gains = false, m_apd = false;
    bool m_streaming = false;
    bool m_flash = false;
    // The latest values asked for; a send reads them when its turn comes.
    int m_wantedGain[2] = {}, m_wantedOffset[2] = {}, m_wantedApd[2] = {};
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tessel
