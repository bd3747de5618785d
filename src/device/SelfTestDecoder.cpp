#include "device/SelfTestDecoder.h"

namespace tessel {

void TReportLines::Append(QChar c) {
    if (c == QLatin1Char('\n') && m_cr) {
        m_cr = false;
        return;
    }
    m_cr = c == QLatin1Char('\r');
    if (m_cr || c == QLatin1Char('\n')) {
        // A break after a break is an empty line; the first one of an empty
        // text opens the first (empty) line.
        if (m_broken || m_lines.isEmpty())
            m_lines.append(QString());
        m_broken = true;
        return;
    }
    if (m_broken || m_lines.isEmpty())
        m_lines.append(QString(c));
    else
        m_lines.last().append(c);
    m_broken = false;
}

void TReportLines::Append(const QString &text) {
    for (const QChar c : text)
        Append(c);
}

QStringList TReportLines::Lines() const {
    // A lone line break is no report.
    if (m_lines.size() == 1 && m_broken && m_lines.first().isEmpty())
        return {};
    return m_lines;
}

bool TSelfTestDecoder::Run(const TRead &read, const TStopped &stopped, const std::function<void()> &tokenDone) {
    bool textMode = false;
    bool ended = false; // a token cut short ends the stream
    auto take = [&](char *b, int32_t n) {
        if (!ended && read(b, n))
            return true;
        std::fill(b, b + n, char(0));
        ended = true;
        return false;
    };
    auto i16 = [&] {
        char b[2];
        take(b, 2);
        return int16_t(uint16_t(uint8_t(b[0]) | (uint8_t(b[1]) << 8)));
    };
    while (!ended && !stopped()) {
        char c = 0;
        const bool got = take(&c, 1);
        const uint8_t byte = uint8_t(c);
        if (textMode) {
            if (byte == 0)
                textMode = false;
            else
                m_report.Append(QChar(char16_t(byte)));
            continue;
        }
        switch (byte) {
        case 0x21:
            m_report.Append(QString::number(i16()));
            break;
        case 0x22: {
            char b[4];
            take(b, 4);
            const uint32_t v = uint32_t(uint8_t(b[0])) | (uint32_t(uint8_t(b[1])) << 8) |
                               (uint32_t(uint8_t(b[2])) << 16) | (uint32_t(uint8_t(b[3])) << 24);
            m_report.Append(QString::number(int32_t(v)));
            break;
        }
        case 0x23:
            textMode = true;
            break;
        case 0x24: {
            char skip[2];
            take(skip, 1);
            take(skip + 1, 1);
            if (!ended && uint8_t(skip[1]) == 0x21)
                m_report.Append(QString::number(i16()));
            break;
        }
        default:
            if (got)
                return true; // the end marker
            break;
        }
        if (tokenDone)
            tokenDone();
    }
    return false;
}

} // namespace tessel
