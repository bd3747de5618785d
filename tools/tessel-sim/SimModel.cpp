#include "SimModel.h"

#include "SimProgram.h"

#include <algorithm>
#include <cmath>

namespace tessel::sim {

bool TSimModelParams::Set(const std::string &name, double value) {
    struct Entry {
        const char *Name;
        double TSimModelParams::*Field;
    };
    static const Entry entries[] = {
        {"F0", &TSimModelParams::F0},
        {"Fm", &TSimModelParams::Fm},
        {"KClose", &TSimModelParams::KClose},
        {"KOpen", &TSimModelParams::KOpen},
        {"KFarRed", &TSimModelParams::KFarRed},
        {"Saturation", &TSimModelParams::Saturation},
        {"Ik", &TSimModelParams::Ik},
        {"NpqHill", &TSimModelParams::NpqHill},
        {"NpqMax", &TSimModelParams::NpqMax},
        {"NpqHalf", &TSimModelParams::NpqHalf},
        {"NpqRise", &TSimModelParams::NpqRise},
        {"NpqRelax", &TSimModelParams::NpqRelax},
        {"F0Quench", &TSimModelParams::F0Quench},
        {"MinLamp", &TSimModelParams::MinLamp},
        {"B0", &TSimModelParams::B0},
        {"BAmp", &TSimModelParams::BAmp},
        {"KBOx", &TSimModelParams::KBOx},
        {"KBRed", &TSimModelParams::KBRed},
        {"Noise", &TSimModelParams::Noise},
    };
    for (const Entry &e : entries)
        if (name == e.Name) {
            this->*e.Field = value;
            return true;
        }
    return false;
}

std::string TSimLights::RunMacro(const uint8_t *b, size_t n, int32_t maxDA) {
    std::string done;
    for (size_t i = 0; i + 5 <= n; ++i) {
        if (b[i] != 'S' || b[i + 1] != 'A' || b[i + 2] < '1' || b[i + 2] > '6')
            continue;
        const unsigned v = b[i + 3] | unsigned(b[i + 4]) << 8;
        Level[size_t(b[i + 2] - '0')] = maxDA > 0 ? std::min(1.0, double(v) / maxDA) : 0.0;
        done += (done.empty() ? "SA" : ", SA") + std::string(1, char(b[i + 2])) + " " + std::to_string(v);
        i += 4;
    }
    return done;
}

void TSimPlant::Advance(double dt, const TSimLights &l) {
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

    // Reaction centres: close with light, reopen in the dark, faster under far
    // red. Under continuous light alone they settle where the leaf's electron
    // transport, saturating with light, keeps them open; a flash closes them.
    const double kOpen = m_p.KOpen + m_p.KFarRed * farRed;
    const double k = m_p.KClose * intensity + kOpen;
    const double closedSteady = light > 0 && flash == 0 ? SteadyClosed(light) : m_p.KClose * intensity / k;
    m_closed = closedSteady + (m_closed - closedSteady) * std::exp(-k * dt);

    // Quenching follows the continuous light, slowly; flashes are too short to matter.
    const double npqSteady = SteadyNpq(light);
    const double tau = npqSteady > m_npq ? m_p.NpqRise : m_p.NpqRelax;
    m_npq = npqSteady + (m_npq - npqSteady) * std::exp(-dt / std::max(tau, 1e-9));

    // Channel B: a donor pool oxidised by far red and (half as well) by actinic light.
    const double drive = m_p.KBOx * (farRed + 0.5 * light);
    const double kb = drive + m_p.KBRed;
    const double oxSteady = drive / kb;
    m_oxidised = oxSteady + (m_oxidised - oxSteady) * std::exp(-kb * dt);
}

double TSimPlant::SteadyNpq(double light) const {
    if (light <= 0)
        return 0.0;
    const double h = std::pow(light, m_p.NpqHill);
    return m_p.NpqMax * h / (h + std::pow(m_p.NpqHalf, m_p.NpqHill));
}

double TSimPlant::SteadyPhiPSII(double light) const {
    const double fvfm = m_p.Fm > 0 ? std::max(m_p.Fm - m_p.F0, 0.0) / m_p.Fm : 0.0;
    if (light <= 0 || m_p.Ik <= 0)
        return light <= 0 ? fvfm : 0.0;
    // Electron transport J = Jmax (1 - exp(-I / Ik)) with the initial yield of
    // the dark-adapted leaf, so PhiPSII = J / I.
    const double x = light / m_p.Ik;
    return fvfm * -std::expm1(-x) / x;
}

double TSimPlant::SteadyClosed(double light) const {
    // PhiPSII = (1 - q) Fv'/Fm' with the quenching the light settles at.
    const double n = SteadyNpq(light);
    const double f0 = m_p.F0 / (1.0 + m_p.F0Quench * n), fm = m_p.Fm / (1.0 + n);
    const double fvfmP = fm > f0 ? (fm - f0) / fm : 0.0;
    if (fvfmP <= 0)
        return 1.0;
    return std::clamp(1.0 - SteadyPhiPSII(light) / fvfmP, 0.0, 1.0);
}

double TSimPlant::Fluorescence() const {
    const double f0 = m_p.F0 / (1.0 + m_p.F0Quench * m_npq);
    const double fm = m_p.Fm / (1.0 + m_npq);
    return f0 + (std::max(fm, f0) - f0) * m_closed;
}

double TSimPlant::SignalB() const { return m_p.B0 + m_p.BAmp * m_oxidised; }

int16_t TSimChannel::Sample(double signal, bool detectorOn, double noise, std::mt19937 &rng) {
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
