#pragma once

#include "device/DeviceTypes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace tessel {

// Instrument configuration values the monitor needs; the caller copies them
// from the instrument configuration so that this library stays independent of it.
struct TMonitorScale {
    double MoChA = 1.0, MoChB = 1.0;
    int32_t BitResA = 1, BitResB = 1;
    bool DetectorAUnsigned = false, DetectorBUnsigned = false;
};

// One pair of displayed values, in volts.
struct TMonitorSample {
    double A = 0.0;
    double B = 0.0;
};

// Reads up to count bytes of the monitor stream from the link; returns how many it read.
using TMonitorRead = std::function<int32_t(char *buffer, int32_t count)>;

enum class TMonitorForm { Packet, Simple };

// Newer instruments frame each sample pair as a checksummed packet; the others
// send bare value pairs.
TMonitorForm MonitorFormFor(TDevice device);

// Full scale of a channel: |2^(bitRes-1) * multiplier|.
double MonitorFullScale(int32_t bitRes, double multiplier);

// Decoder of the monitor stream. It keeps its state across notifications, so
// a packet may arrive in pieces.
class TMonitorDecoder {
public:
    TMonitorDecoder(TMonitorForm form, const TMonitorScale &scale);

    TMonitorForm Form() const { return m_form; }
    // Back to looking for a packet header; the simple stream always shows.
    void Reset();
    // Consumes bytes of the count the link announced and returns the pairs to show.
    std::vector<TMonitorSample> Decode(int32_t count, const TMonitorRead &read);

    int32_t ParserState() const { return m_state; }
    int32_t ItemCount() const { return m_itemCount; }
    int32_t ItemIndex() const { return m_itemIndex; }
    uint16_t ItemValue(int32_t i) const { return m_values[size_t(i)]; }
    uint8_t ItemTag(int32_t i) const { return m_tags[size_t(i)]; }

private:
    void decodeSimple(int32_t count, const TMonitorRead &read, std::vector<TMonitorSample> &out);
    void decodePacket(int32_t count, const TMonitorRead &read, std::vector<TMonitorSample> &out);
    void show(std::vector<TMonitorSample> &out) const;

    TMonitorForm m_form;
    TMonitorScale m_scale;
    int32_t m_state = 0;
    int32_t m_itemCount = 0;
    int32_t m_itemIndex = 0;
    std::array<uint8_t, 255> m_tags{};
    std::array<uint16_t, 255> m_values{};
};

} // namespace tessel
