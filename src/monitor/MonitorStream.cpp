#include "monitor/MonitorStream.h"

#include <cmath>

namespace tessel {

TMonitorForm MonitorFormFor(TDevice device) {
    return UsesPacketMonitor(device) ? TMonitorForm::Packet : TMonitorForm::Simple;
}

double MonitorFullScale(int32_t bitRes, double multiplier) {
    // A resolution below one bit is a broken configuration; treat it as one bit.
    const int32_t bits = bitRes < 1 ? 1 : bitRes;
    return std::fabs(std::ldexp(multiplier, bits - 1));
}

TMonitorDecoder::TMonitorDecoder(TMonitorForm form, const TMonitorScale &scale) : m_form(form), m_scale(scale) {
    Reset();
}

void TMonitorDecoder::Reset() {
    m_state = 0;
    m_itemCount = 0;
    m_itemIndex = m_form == TMonitorForm::Simple ? 2 : 0;
}

std::vector<TMonitorSample> TMonitorDecoder::Decode(int32_t count, const TMonitorRead &read) {
    std::vector<TMonitorSample> out;
    if (m_form == TMonitorForm::Simple)
        decodeSimple(count, read, out);
    else
        decodePacket(count, read, out);
    return out;
}

void TMonitorDecoder::show(std::vector<TMonitorSample> &out) const {
    if (m_itemIndex != 2)
        return;
    out.push_back({int16_t(m_values[0]) * m_scale.MoChA, int16_t(m_values[1]) * m_scale.MoChB});
}

void TMonitorDecoder::decodeSimple(int32_t count, const TMonitorRead &read, std::vector<TMonitorSample> &out) {
    while (count >= 4) {
        unsigned char b[4] = {};
        const int32_t got = read(reinterpret_cast<char *>(b), 4);
        count -= 4;
        if (got != 4)
            return; // the link delivered less than it announced
        m_values[0] = uint16_t(b[0] | (b[1] << 8));
        m_values[1] = uint16_t(b[2] | (b[3] << 8));
        show(out);
    }
}

void TMonitorDecoder::decodePacket(int32_t count, const TMonitorRead &read, std::vector<TMonitorSample> &out) {
    int32_t left = count;
    bool shortRead = false;
    auto readByte = [&]() -> uint8_t {
        char c = 0;
        if (read(&c, 1) != 1)
            shortRead = true;
        --left;
        return uint8_t(c);
    };
    int32_t need = m_state == 0 ? 4 : 3 * m_itemCount + 1;
    // A step is taken only while strictly more bytes remain than a whole step needs;
    // whatever is left waits for the next notification.
    while (need < left && !shortRead) {
        if (m_state == 0) {
            if (readByte() != 'S' || shortRead)
                continue;
            if (readByte() != 'D' || shortRead)
                continue;
            if (readByte() != 'M' || shortRead)
                continue;
            m_itemCount = readByte();
            if (m_itemCount != 0 && !shortRead) {
                m_state = 1;
                m_itemIndex = 0;
                need = 3 * m_itemCount + 1;
            }
        } else if (m_itemIndex < m_itemCount) {
            const uint8_t tag = readByte();
            const uint8_t lo = readByte();
            const uint8_t hi = readByte();
            m_tags[size_t(m_itemIndex)] = tag;
            m_values[size_t(m_itemIndex)] = uint16_t(lo | (hi << 8));
            ++m_itemIndex;
        } else {
            const uint8_t sum = readByte();
            m_state = 0;
            need = 4;
            uint8_t expected = 0;
            for (int32_t i = 0; i < m_itemCount; ++i) {
                const uint16_t v = m_values[size_t(i)];
                expected = uint8_t(expected + m_tags[size_t(i)] + (v & 0xFF) + (v >> 8));
            }
            if (sum != expected || shortRead)
                continue;
            // Unsigned detectors deliver twice the value of signed ones.
            if (m_scale.DetectorAUnsigned)
                m_values[0] = uint16_t(m_values[0] >> 1);
            if (m_scale.DetectorBUnsigned && m_itemCount > 1)
                m_values[1] = uint16_t(m_values[1] >> 1);
            show(out);
        }
    }
}

} // namespace tessel
