#include "SimConstants.h"

#include "common/IniFile.h"
#include "common/NumberText.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tessel::sim {

TSimConstants ReadSimConstants(const std::string &iniPath, const std::string &sectionPrefix) {
    TSimConstants c;
    for (auto &line : c.Bounds) {
        line[0] = line[2] = {0.0, false};
        line[1] = line[3] = {1e6, false};
    }
    if (iniPath.empty() || !QFileInfo::exists(QString::fromStdString(iniPath)))
        return c;
    TIniFile2 ini(QString::fromStdString(iniPath));
    const QString consts = QString::fromStdString(sectionPrefix) + QStringLiteral("Consts");
    c.TimeBase = ini.ReadFloat(consts, "TimeBase", c.TimeBase);
    c.TimerBits = ini.ReadInteger(consts, "TimerBits", c.TimerBits);
    c.MinTimer = ini.ReadFloat(consts, "MinTimer", c.MinTimer);
    c.TimePropagation = ini.ReadFloat(consts, "TimePropagation", c.TimePropagation);
    c.MaxEvents = ini.ReadInteger(consts, "MaxEvents", c.MaxEvents);
    c.MaxASamples = ini.ReadInteger(consts, "MaxASamples", c.MaxASamples);
    c.MaxBSamples = ini.ReadInteger(consts, "MaxBSamples", c.MaxBSamples);
    c.SamplesPerEvent = std::max(1, ini.ReadInteger(consts, "SamplesPerEvent", c.SamplesPerEvent));
    c.SampleDistance = ini.ReadFloat(consts, "SampleDistance", c.SampleDistance);
    c.BitResA = std::clamp(ini.ReadInteger(consts, "BitResA", c.BitResA), 1, 64);
    c.BitResB = std::clamp(ini.ReadInteger(consts, "BitResB", c.BitResB), 1, 64);
    c.MoChA = ini.ReadFloat(consts, "MoChA", c.MoChA);
    c.MoChB = ini.ReadFloat(consts, "MoChB", c.MoChB);
    c.UnsignedA = ini.ReadString(consts, "DetectorA", "signed") == QLatin1String("unsigned");
    c.UnsignedB = ini.ReadString(consts, "DetectorB", "signed") == QLatin1String("unsigned");
    c.MaxDAValue = std::max(1, ini.ReadInteger(consts, "MaxDAValue", c.MaxDAValue));

    const QString bounds = QString::fromStdString(sectionPrefix) + QStringLiteral("EventBounds");
    for (int b = 0; b < 16; ++b) {
        const QString text = ini.ReadString(bounds, QStringLiteral("Bit%1").arg(b), QString());
        if (text.isEmpty())
            continue;
        const QStringList f = text.split(';');
        const QString flags = f.size() > 4 ? f[4].trimmed() : QString();
        for (int k = 0; k < 4; ++k) {
            TSimBound &bound = c.Bounds[size_t(b)][size_t(k)];
            bound.Limit = k < f.size() ? ParseFloat(f[k]).value_or(0.0) : 0.0;
            bound.IsError = k < flags.size() && flags[k] == QLatin1Char('E');
        }
    }
    return c;
}

int TimerEntryWidth(int32_t timerBits) {
    switch (timerBits) {
    case 16:
        return 2;
    case 22:
    case 24:
        return 3;
    case 32:
        return 4;
    default:
        return 0;
    }
}

void AppendDecimalFloat(std::vector<uint8_t> &out, double value) {
    int64_t mantissa = 0;
    int exponent = 0;
    if (std::isfinite(value) && value != 0.0) {
        // Fewest significant digits that read back exactly, up to the nine
        // that always fit a 32-bit mantissa.
        for (int digits = 1; digits <= 9; ++digits) {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.*e", digits - 1, value);
            const double back = std::strtod(buf, nullptr);
            if (back == value || digits == 9) {
                // buf is "[-]d.ddde[+-]xx": collect the digits and the exponent.
                int64_t m = 0;
                const char *p = buf;
                const bool negative = *p == '-';
                if (negative)
                    ++p;
                for (; *p && *p != 'e'; ++p)
                    if (*p >= '0' && *p <= '9')
                        m = m * 10 + (*p - '0');
                const int e10 = std::atoi(p + 1);
                mantissa = negative ? -m : m;
                exponent = e10 - (digits - 1);
                break;
            }
        }
        // Drop trailing zeros so that round numbers keep small mantissas.
        while (mantissa != 0 && mantissa % 10 == 0) {
            mantissa /= 10;
            ++exponent;
        }
        if (exponent > 127) {
            mantissa = mantissa < 0 ? INT32_MIN : INT32_MAX;
            exponent = 127;
        } else if (exponent < -128) {
            mantissa = 0;
            exponent = 0;
        }
    }
    const uint32_t m = uint32_t(int32_t(mantissa));
    out.push_back(uint8_t(m >> 24));
    out.push_back(uint8_t(m >> 16));
    out.push_back(uint8_t(m >> 8));
    out.push_back(uint8_t(m));
    out.push_back(uint8_t(int8_t(exponent)));
}

namespace {
void PutBE32(std::vector<uint8_t> &r, size_t at, int32_t v) {
    const uint32_t u = uint32_t(v);
    r[at] = uint8_t(u >> 24);
    r[at + 1] = uint8_t(u >> 16);
    r[at + 2] = uint8_t(u >> 8);
    r[at + 3] = uint8_t(u);
}
void PutFloat(std::vector<uint8_t> &r, size_t at, double v) {
    std::vector<uint8_t> f;
    AppendDecimalFloat(f, v);
    std::copy(f.begin(), f.end(), r.begin() + std::ptrdiff_t(at));
}
void PutChannel(std::vector<uint8_t> &r, size_t at, int32_t bits, double mul, int32_t perEvent, double distance) {
    r[at] = uint8_t(bits);
    PutFloat(r, at + 1, mul);
    r[at + 6] = uint8_t(perEvent >> 8);
    r[at + 7] = uint8_t(perEvent);
    PutFloat(r, at + 8, distance);
}
} // namespace

std::vector<uint8_t> BuildDeviceInfoRecord(const TSimConstants &c) {
    std::vector<uint8_t> r(kDeviceInfoSize, 0);
    // Record tag and layout version; the program does not read them.
    r[0] = 'D';
    r[1] = 1;
    r[2] = uint8_t(c.TimerBits);
    PutFloat(r, 3, c.TimeBase);
    PutFloat(r, 8, c.TimePropagation);
    PutFloat(r, 13, c.MinTimer);
    PutBE32(r, 18, c.MaxEvents);
    PutBE32(r, 22, c.MaxASamples);
    PutBE32(r, 26, c.MaxBSamples);
    for (size_t line = 0; line < 16; ++line) {
        const size_t at = 38 + 21 * line;
        uint8_t flags = 0;
        for (size_t k = 0; k < 4; ++k) {
            PutFloat(r, at + 5 * k, c.Bounds[line][k].Limit);
            if (c.Bounds[line][k].IsError)
                flags |= uint8_t(1u << k);
        }
        r[at + 20] = flags;
    }
    PutChannel(r, 376, c.BitResA, c.MoChA, c.SamplesPerEvent, c.SampleDistance);
    PutChannel(r, 391, c.BitResB, c.MoChB, c.SamplesPerEvent, c.SampleDistance);
    unsigned sum = 0;
    for (size_t i = 0; i < kDeviceInfoSize - 1; ++i)
        sum += r[i];
    r[kDeviceInfoSize - 1] = uint8_t(sum);
    return r;
}

} // namespace tessel::sim
