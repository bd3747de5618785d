#include "monitor/MonitorRange.h"

#include <QtGlobal>
#include <algorithm>
#include <cstdlib>

namespace tessel {

namespace {
const char *const kSym[2] = {"ASymetrize", "BSymetrize"};
const char *const kLow[2] = {"ALowPossition", "BLowPossition"};
const char *const kHigh[2] = {"AHighPossition", "BHighPossition"};
} // namespace

TMonitorRange::TMonitorRange() = default;

void TMonitorRange::changed() {
    if (OnChange)
        OnChange();
}

void TMonitorRange::moveLow(Channel ch, int32_t position) {
    position = qBound(kMin, position, kMax);
    if (position == m_ch[ch].low)
        return;
    m_ch[ch].low = position;
    lowChanged(ch);
}

void TMonitorRange::moveHigh(Channel ch, int32_t position) {
    position = qBound(kMin, position, kMax);
    if (position == m_ch[ch].high)
        return;
    m_ch[ch].high = position;
    highChanged(ch);
}

void TMonitorRange::lowChanged(Channel ch) {
    Bars &b = m_ch[ch];
    if (b.sym) {
        if (b.low < 1)
            moveLow(ch, 1);
        moveHigh(ch, -b.low);
    } else if (b.high >= b.low) {
        if (b.high == kMin)
            moveLow(ch, kMin + 1);
        else
            moveHigh(ch, b.low - 1);
    }
    changed();
}

void TMonitorRange::highChanged(Channel ch) {
    Bars &b = m_ch[ch];
    if (b.sym) {
        if (b.high >= 0)
            moveHigh(ch, -1);
        moveLow(ch, -b.high);
    } else if (b.low <= b.high) {
        if (b.low == kMax)
            moveHigh(ch, kMax - 1);
        else
            moveLow(ch, b.high + 1);
    }
    changed();
}

void TMonitorRange::SetLow(Channel ch, int32_t position) { moveLow(ch, position); }

void TMonitorRange::SetHigh(Channel ch, int32_t position) { moveHigh(ch, position); }

void TMonitorRange::SetSymetrize(Channel ch, bool on) {
    if (on == m_ch[ch].sym)
        return;
    m_ch[ch].sym = on;
    if (on)
        mirror(ch);
    changed();
}

void TMonitorRange::mirror(Channel ch) {
    // At least one step each way: a pair at 0 would give the meter no range.
    const int32_t m = std::max({std::abs(m_ch[ch].low), std::abs(m_ch[ch].high), int32_t(1)});
    moveLow(ch, m);
    moveHigh(ch, -m);
}

double TMonitorRange::MeterMax(Channel ch, double fullScale) const {
    return fullScale * (-2.0 * m_ch[ch].high) / double(kMax - kMin);
}

double TMonitorRange::MeterMin(Channel ch, double fullScale) const {
    return fullScale * (-2.0 * m_ch[ch].low) / double(kMax - kMin);
}

TPFormSettings TMonitorRange::MakeStore() {
    TPFormSettings s(QStringLiteral("frmMonRange"), TPFormSettings::Values::Position);
    for (int i = 0; i < 2; ++i)
        s.Register(QLatin1String(kSym[i]), SettingKind::Boolean, false);
    for (int i = 0; i < 2; ++i) {
        s.Register(QLatin1String(kLow[i]), SettingKind::Integer, 0);
        s.Register(QLatin1String(kHigh[i]), SettingKind::Integer, 0);
    }
    return s;
}

void TMonitorRange::RestoreFrom(const SettingsStore &s) {
    for (int i = 0; i < 2; ++i)
        SetSymetrize(Channel(i), s.Boolean(QLatin1String(kSym[i])));
    const int32_t lowA = s.Integer(QLatin1String(kLow[0]));
    const int32_t lowB = s.Integer(QLatin1String(kLow[1]));
    const int32_t highA = s.Integer(QLatin1String(kHigh[0]));
    const int32_t highB = s.Integer(QLatin1String(kHigh[1]));
    if (lowA != 0 || lowB != 0 || highA != 0 || highB != 0) {
        moveLow(A, lowA);
        moveLow(B, lowB);
        moveHigh(A, highA);
        moveHigh(B, highB);
    } else {
        moveLow(A, kMax);
        moveLow(B, kMax);
        moveHigh(A, kMin);
        moveHigh(B, kMin);
    }
    for (int i = 0; i < 2; ++i)
        if (m_ch[i].sym)
            mirror(Channel(i));
    changed();
}

void TMonitorRange::SaveTo(SettingsStore &s) const {
    for (int i = 0; i < 2; ++i) {
        s.SetValue(QLatin1String(kSym[i]), m_ch[i].sym);
        s.SetValue(QLatin1String(kLow[i]), m_ch[i].low);
        s.SetValue(QLatin1String(kHigh[i]), m_ch[i].high);
    }
}

} // namespace tessel
