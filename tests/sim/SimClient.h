#pragma once

// A minimal program-side client for the virtual instrument, written from the
// wire rules alone: frames commands, runs block loads and checksum-protected
// downloads, decodes the self-test stream.

#include "SimInstrument.h"
#include "support/TestSupport.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace tessel::sim::test {

using Bytes = std::vector<uint8_t>;

inline Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }
inline Bytes Cat(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes U16(unsigned v) { return {uint8_t(v & 0xFF), uint8_t((v >> 8) & 0xFF)}; }
inline uint8_t Sum(const Bytes &b, size_t from = 0, size_t n = SIZE_MAX) {
    unsigned s = 0;
    for (size_t i = from; i < b.size() && i - from < n; ++i)
        s += b[i];
    return uint8_t(s);
}
// Length request of a block command: n mod B as u16, n div B as u8.
inline Bytes Size(size_t n, size_t block) { return Cat(U16(unsigned(n % block)), {uint8_t(n / block)}); }

// The type's constants come from the shipped ini file.
inline TSimOptions Opt(std::string device = "ModelT2") {
    TSimOptions o;
    o.Device = std::move(device);
    o.IniPath = tessel::test::SourcePath("resources/Tessel.ini").toStdString();
    return o;
}

class Client {
public:
    explicit Client(TSimOptions o = Opt()) : Sim(o) {}

    // Sends bytes and gives what came back within `wait` seconds of sim time.
    Bytes Ask(const Bytes &request, double wait = 0.01) {
        Sim.Receive(request.data(), request.size(), Sim.Baud());
        Sim.Advance(wait);
        return Sim.TakeOutput();
    }
    Bytes Ask(std::string_view text, double wait = 0.01) { return Ask(B(text), wait); }

    // Block load as the program does it; true when every block got "OK".
    bool Load(std::string_view mnemonic, const Bytes &data) {
        const size_t bs = size_t(Sim.BlockSize());
        if (!Ask(Cat(B(mnemonic), Size(data.size(), bs))).empty())
            return false; // the request itself has no answer
        for (size_t at = 0; at < data.size(); at += bs) {
            Bytes block(data.begin() + std::ptrdiff_t(at),
                        data.begin() + std::ptrdiff_t(std::min(at + bs, data.size())));
            block.push_back(Sum(block));
            if (Ask(block) != B("OK"))
                return false;
        }
        return true;
    }

    // Download of n bytes as the program does it, "OK" to each good block;
    // a bad or short block ends it unread.
    struct Fetched {
        Bytes Data;
        bool Ok = false;
    };
    Fetched Fetch(std::string_view mnemonic, size_t n) {
        Fetched f;
        const size_t bs = size_t(Sim.BlockSize());
        Bytes in = Ask(Cat(B(mnemonic), Size(n, bs)));
        if (in.size() < 6)
            return f;
        in.erase(in.begin(), in.begin() + 6);
        for (size_t i = 0; i <= n / bs; ++i) {
            const size_t len = i < n / bs ? bs : n % bs;
            if (in.size() != len + 1 || Sum(in, 0, len) != in[len])
                return f;
            f.Data.insert(f.Data.end(), in.begin(), in.begin() + std::ptrdiff_t(len));
            in = Ask("OK");
        }
        f.Ok = in.empty();
        return f;
    }

    TSimInstrument Sim;
};

inline std::vector<int16_t> Samples(const Bytes &data) {
    std::vector<int16_t> s(data.size() / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(uint16_t(data[2 * i] | data[2 * i + 1] << 8));
    return s;
}

// Self-test stream to text: '#' text up to a zero byte, '!' and '"' a 16-
// and 32-bit number; `ended` tells whether the end marker came.
inline std::string DecodeTagged(const Bytes &s, bool &ended) {
    std::string text;
    ended = false;
    for (size_t i = 0; i < s.size() && !ended;) {
        const uint8_t tag = s[i++];
        const size_t width = tag == '!' ? 2 : tag == '"' ? 4 : 0;
        if (tag == '#') {
            for (; i < s.size() && s[i] != 0; ++i)
                text += char(s[i]);
            ++i;
        } else if (width > 0 && i + width <= s.size()) {
            uint32_t v = 0;
            for (size_t k = 0; k < width; ++k)
                v |= uint32_t(s[i + k]) << (8 * k);
            text += std::to_string(width == 2 ? int32_t(int16_t(v)) : int32_t(v));
            i += width;
        } else {
            ended = true;
        }
    }
    return text;
}

// Event program encoding as the program builds it: states, then one timer
// entry per event counting the ticks since the previous event.
struct Encoded {
    Bytes Events, Timers;
};
inline Encoded EncodeProgram(const std::vector<std::pair<double, uint16_t>> &events, double timeBase, int bits,
                             double minTimer, double propagation) {
    Encoded e;
    const int w = bits == 16 ? 2 : bits == 32 ? 4 : 3;
    double prev = events.front().first - minTimer - 2 * propagation;
    for (const auto &[t, state] : events) {
        e.Events.push_back(uint8_t(state));
        e.Events.push_back(uint8_t(state >> 8));
        const int64_t ticks = std::llrint((t - prev - propagation) / timeBase);
        const uint64_t value = ((uint64_t(1) << bits) - uint64_t(ticks)) & 0xFFFFFFFFull;
        for (int k = 0; k < w; ++k)
            e.Timers.push_back(uint8_t(value >> (8 * k)));
        prev = t;
    }
    return e;
}

} // namespace tessel::sim::test
