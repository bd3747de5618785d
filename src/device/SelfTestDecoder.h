#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace tessel {

// Text of the self-test report kept as lines while it grows: characters are
// appended to the last line, so a long report costs no more than its length.
// Line breaks are CR, LF or CR LF; one final break adds no empty line.
class TReportLines {
public:
    void Append(QChar c);
    void Append(const QString &text);
    QStringList Lines() const;
    bool IsEmpty() const { return m_lines.isEmpty(); }

private:
    QStringList m_lines;
    bool m_broken = false; // the text ends with a line break
    bool m_cr = false;     // the last character was CR (an LF after it is part of the break)
};

// Decoder of the self-test stream: tokens (0x21 a 16-bit number, 0x22 a 32-bit
// number, 0x23 text up to a 0 byte, 0x24 a skipped byte and an optional
// number) until any other byte, the end marker.
class TSelfTestDecoder {
public:
    // Fills buffer with count bytes; false when the stream stopped (time-out,
    // lost line, abort), and then the buffer holds zeros.
    using TRead = std::function<bool(char *buffer, int32_t count)>;
    // Asked before every byte: true ends the stream (abort, time limit).
    using TStopped = std::function<bool()>;

    // Runs to the end; true when the end marker came.
    bool Run(const TRead &read, const TStopped &stopped, const std::function<void()> &tokenDone = {});
    const TReportLines &Report() const { return m_report; }

private:
    TReportLines m_report;
};

} // namespace tessel
