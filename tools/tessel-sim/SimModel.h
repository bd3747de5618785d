#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>

namespace tessel::sim {

// Parameters of the leaf the instrument looks at. Levels are fractions of the
// channel's full scale; rates are per second; light intensities are relative
// to actinic light 1 at full level.
struct TSimModelParams {
    double F0 = 0.12;          // dark-adapted minimal fluorescence
    double Fm = 0.60;          // maximal fluorescence, all centres closed
    double KClose = 120.0;     // closing rate of the centres at intensity 1
    double KOpen = 50.0;       // reopening rate in the dark
    double KFarRed = 30.0;     // extra reopening under far-red light
    double Saturation = 200.0; // intensity of the saturating flash
    double Ik = 0.4;           // light saturation of electron transport (intensity)
    double NpqMax = 2.5;       // largest non-photochemical quenching (Stern-Volmer)
    double NpqHalf = 0.5;      // intensity of half-maximal quenching
    double NpqHill = 2.0;      // steepness of its onset (Hill coefficient)
    double NpqRise = 20.0;     // time constant of quenching build-up, s
    double NpqRelax = 60.0;    // time constant of its relaxation in the dark, s
    double F0Quench = 0.3;     // share of quenching that also lowers F0
    double MinLamp = 0.1;      // light a lamp gives at level 0, as a share of full
    double B0 = 0.20;          // channel B: level in the dark
    double BAmp = 0.35;        // channel B: rise when fully oxidised
    double KBOx = 2.0;         // channel B: oxidation rate at intensity 1
    double KBRed = 1.0;        // channel B: re-reduction rate
    double Noise = 0.002;      // standard deviation of the noise
    // Sets one parameter by its name (as written above); false when unknown.
    bool Set(const std::string &name, double value);
};

// What lights the leaf: the 16 output lines and the analog levels 1 to 6 as
// fractions of their full scale.
struct TSimLights {
    uint16_t Lines = 0;
    std::array<double, 7> Level{}; // index 1..6
    // Runs the level commands of a macro ("SA1" ... "SA6", each with its word
    // value out of maxDA); other bytes are passed over. Returns what it set,
    // for the log ("SA3 1229").
    std::string RunMacro(const uint8_t *bytes, size_t size, int32_t maxDA);
};

// State of the leaf and its evolution under constant light over an interval
// (closed-form, so long dark gaps cost nothing).
class TSimPlant {
public:
    explicit TSimPlant(const TSimModelParams &p) : m_p(p) {}
    void Advance(double seconds, const TSimLights &lights);
    // Fluorescence yield (fraction of full scale) and the channel B signal.
    double Fluorescence() const;
    double SignalB() const;
    double Closed() const { return m_closed; }
    // Steady state under continuous actinic light I (no flash, no far red).
    double SteadyNpq(double light) const;
    double SteadyPhiPSII(double light) const;
    double SteadyClosed(double light) const;
    double Npq() const { return m_npq; }
    const TSimModelParams &Params() const { return m_p; }

private:
    double Lamp(double level) const { return m_p.MinLamp + (1.0 - m_p.MinLamp) * level; }
    TSimModelParams m_p;
    double m_closed = 0.0; // share of closed reaction centres
    double m_npq = 0.0;
    double m_oxidised = 0.0; // channel B
};

// Turns the leaf's signal into the 16-bit samples of one channel.
struct TSimChannel {
    int32_t Bits = 16; // resolution; samples are kept within it
    // An unsigned detector reads 0 and up only and sends twice its level as an
    // unsigned word; the program halves it again.
    bool Unsigned = false;
    int Gain = 50;          // 0..100, 50 = unity, each 25 doubles
    int Offset = 50;        // 0..100, 50 = none
    double Measuring = 1.0; // scale from the measuring-flash level
    bool Clipped = false;   // a sample hit the end of the range
    // The 16-bit word sent for one sample.
    int16_t Sample(double signal, bool detectorOn, double noise, std::mt19937 &rng);
};

} // namespace tessel::sim
