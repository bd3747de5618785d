#pragma once

#include "monitor/MonitorStream.h"
#include "settings/SettingsStore.h"

#include <functional>

namespace tessel {

// Positions of the monitor range bars; a smaller position is higher on the
// screen, so a channel's high bar must stay at a smaller position than its low bar.
class TMonitorRange {
public:
    static constexpr int32_t kMin = -12;
    static constexpr int32_t kMax = 12;
    enum Channel { A = 0, B = 1 };

    TMonitorRange();

    int32_t Low(Channel ch) const { return m_ch[ch].low; }
    int32_t High(Channel ch) const { return m_ch[ch].high; }
    bool Symetrize(Channel ch) const { return m_ch[ch].sym; }

    // Each acts like the user moving the bar or clicking the box: the rules keep
    // the pair ordered (or symmetric) and OnChange follows.
    void SetLow(Channel ch, int32_t position);
    void SetHigh(Channel ch, int32_t position);
    void SetSymetrize(Channel ch, bool on);

    // Meter scale of a channel for its full scale.
    double MeterMax(Channel ch, double fullScale) const;
    double MeterMin(Channel ch, double fullScale) const;

    // The "frmMonRange" store: window position and the six range values.
    static TPFormSettings MakeStore();
    // Lows 12 and highs -12 when no position was ever stored. The boxes
    // act as clicked and the bars as moved, so a ticked pair comes out
    // mirrored around zero even when only part of it was stored.
    void RestoreFrom(const SettingsStore &store);
    void SaveTo(SettingsStore &store) const;

    std::function<void()> OnChange;

private:
    struct Bars {
        int32_t low = 0, high = 0;
        bool sym = false;
    };
    // Moves a bar; a move to a new position runs its rule, as a bar does.
    void moveLow(Channel ch, int32_t position);
    void moveHigh(Channel ch, int32_t position);
    // The click rule of a ticked box: the pair mirrored at the larger end.
    void mirror(Channel ch);
    void lowChanged(Channel ch);
    void highChanged(Channel ch);
    void changed();

    Bars m_ch[2];
};

} // namespace tessel
