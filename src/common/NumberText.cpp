#include "common/NumberText.h"

#include <QJsonArray>
#include <QJsonObject>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace tessel {

QString FormatShortest(double value) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return QString::fromLatin1(buf, int(res.ptr - buf));
}

double MachineValue(double value) {
    if (!std::isfinite(value))
        return value;
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    double out = value;
    std::from_chars(buf, res.ptr, out);
    return out + 0.0; // no "-0"
}

QString FormatMachine(double value) { return FormatShortest(MachineValue(value)); }

QJsonValue MachineJson(const QJsonValue &value) {
    if (value.isDouble())
        return MachineValue(value.toDouble());
    if (value.isArray()) {
        QJsonArray a = value.toArray();
        for (qsizetype i = 0; i < a.size(); ++i)
            a[i] = MachineJson(a.at(i));
        return a;
    }
    if (value.isObject()) {
        QJsonObject o = value.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            it.value() = MachineJson(it.value());
        return o;
    }
    return value;
}

QString FormatG(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", value);
    return QString::fromLatin1(buf);
}

std::optional<double> ParseFloat(const QString &text) {
    const std::string s = text.trimmed().toStdString();
    if (s.empty())
        return std::nullopt;
    const char *first = s.data();
    const char *last = s.data() + s.size();
    if (*first == '+')
        ++first;
    if (first == last || *first == '+')
        return std::nullopt;
    double v = 0;
    auto res = std::from_chars(first, last, v, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != last || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int32_t> ParseHex(const QString &digits) {
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    uint32_t v = 0;
    for (QChar c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c.unicode() - '0';
        else if (c >= 'a' && c <= 'f')
            d = c.unicode() - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c.unicode() - 'A' + 10;
        else
            return std::nullopt;
        v = v * 16 + uint32_t(d);
    }
    return int32_t(v);
}

std::optional<int32_t> ParseInt(const QString &text) {
    int i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i < text.size() && text[i] == '$') {
        auto v = ParseHex(text.mid(i + 1));
        if (!v)
            return std::nullopt;
        return negative ? int32_t(0u - uint32_t(*v)) : *v;
    }
    if (i >= text.size())
        return std::nullopt;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        v = v * 10 + (text[i].unicode() - '0');
        if (v > int64_t(INT32_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v > INT32_MAX || v < INT32_MIN)
        return std::nullopt;
    return int32_t(v);
}

} // namespace tessel
