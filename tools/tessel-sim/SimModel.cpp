#include "SimModel.h"

#include "SimProgram.h"

#include <algorithm>
#include <cmath>

namespace tessel::sim {

bool TSimModelParams::Set(const std::string &name, double value)
{
    struct Entry {
        const char *Name;
        double TSimModelParams::*Field;
    };
    static const Entry entries[] = {
        {"F0", &TSimModelParams::F0},           {"Fm", &TSimModelParams::Fm},
        {"KClose", &TSimModelParams::KClose},   {"KOpen", &TSimModelParams::KOpen},
        {"KFarRed", &TSimModelParams::KFarRed}, {"Saturation", &TSimModelParams::Saturation},
        {"NpqMax", &TSimModelParams::NpqMax},   {"NpqHalf", &TSimModelParams::NpqHalf},
        {"NpqRise", &TSimModelParams::NpqRise}, {"NpqRelax", &TSimModelParams::NpqRelax},
        {"F0Quench", &TSimModelParams::F0Quench}, {"MinLamp", &TSimModelParams::MinLamp},
        {"B0", &TSimModelParams::B0},           {"BAmp", &TSimModelParams::BAmp},
        {"KBOx", &TSimModelParams::KBOx},       {"KBRed", &TSimModelParams::KBRed},
        {"Noise", &TSimModelParams::Noise},
    };
    for (const Entry &e : entries)
        if (name == e.Name) {
            this->*e.Field = value;
            return true;
        }
    return false;
}

void TSimPlant::Advance(double dt, const TSimLights &l)
{
    if (dt <= 0.0)
        return;
    const uint16_t on = l.Lines;
    // Actinic-equivalent intensity; measuring flashes are too weak to count.
    double light = 0.0;
    if (on & kLineActinic1)
        light += Lamp(l.Level[3]);
    if (on & kLineActinic2)
        light += Lamp(l.Level[5]);
    double flash = 0.0;
    if (on & kLineSaturating)
        flash += m_p.Saturation * Lamp(l.Level[2]);
    if (on & kLineSingleTurnover)
        flash += 10.0 * m_p.Saturation;
    const double farRed = (on & kLineFarRed) ? Lamp(l.Level[6]) : 0.0;
    const double intensity = light + flash;

    // Reaction centres: close with light, reopen in the dark, faster under far red.
    const double kOpen = m_p.KOpen + m_p.KFarRed * farRed;
    const double k = m_p.KClose * intensity + kOpen;
    const double closedSteady = m_p.KClose * intensity / k;
    m_closed = closedSteady + (m_closed - closedSteady) * std::exp(-k * dt);

    // Quenching follows the continuous light, slowly; flashes are too short to matter.
    const double npqSteady = m_p.NpqMax * light / (light + m_p.NpqHalf);
    const double tau = npqSteady > m_npq ? m_p.NpqRise : m_p.NpqRelax;
    m_npq = npqSteady + (m_npq - npqSteady) * std::exp(-dt / std::max(tau, 1e-9));

    // Channel B: a donor pool oxidised by far red and (half as well) by actinic light.
    const double drive = m_p.KBOx * (farRed + 0.5 * light);
    const double kb = drive + m_p.KBRed;
    const double oxSteady = drive / kb;
    m_oxidised = oxSteady + (m_oxidised - oxSteady) * std::exp(-kb * dt);
}

double TSimPlant::Fluorescence() const
{
    const double f0 = m_p.F0 / (1.0 + m_p.F0Quench * m_npq);
    const double fm = m_p.Fm / (1.0 + m_npq);
    return f0 + (std::max(fm, f0) - f0) * m_closed;
}

double TSimPlant::SignalB() const { return m_p.B0 + m_p.BAmp * m_oxidised; }

int16_t TSimChannel::Sample(double signal, bool detectorOn, double noise, std::mt19937 &rng)
{
    const int bits = std::clamp(Bits, 2, 16);
    const double full = std::ldexp(1.0, bits - 1);
    const double gain = std::exp2((Gain - 50) / 25.0);
    double v = (Offset - 50) / 100.0 * full;
    if (detectorOn)
        v += gain * Measuring * signal * full;
    std::normal_distribution<double> n(0.0, noise * full);
    v += n(rng);
    // An unsigned detector rests at 0 in the dark: only its top end clips.
    if (Unsigned)
        v = std::max(v, 0.0);
    const double lo = -full, hi = full - 1;
    if (v < lo || v > hi) {
        Clipped = true;
        v = std::clamp(v, lo, hi);
    }
    const long level = std::lrint(v);
    return Unsigned ? int16_t(uint16_t(2 * level)) : int16_t(level);
}

} // namespace tessel::sim
