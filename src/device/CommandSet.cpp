#include "device/CommandSet.h"

#include "common/Finally.h"
#include "common/Log.h"
#include "device/SelfTestDecoder.h"

#include <QElapsedTimer>

namespace tessel {

namespace {
constexpr int kMaxMacroBytes = 97;
constexpr int kFlashSettleMs = 200;
constexpr int kFlashReplyMax = 41;
} // namespace

TDeviceStatus StatusFromReply(const QByteArray &reply) {
    static const std::pair<const char *, TDeviceStatus> kTable[] = {
        {"ND", stReady}, {"EM", stDataReady}, {"BB", stMeasuring},  {"WE", stWaiting}, {"WT", stWaiting},
        {"FR", stEmpty}, {"TT", stTesting},   {"TE", stTE},         {"E1", stE1},      {"E2", stE2},
        {"E3", stE3},    {"ER", stError},     {"SA", stOutOfRange},
    };
    for (const auto &[text, code] : kTable)
        if (reply == text)
            return code;
    return stNoReply;
}

QString StatusText(TDeviceStatus status) {
    static const char *const kTexts[] = {"No reply", "Ready", "Data", "Measuring", "Waiting", "Empty",       "Testing",
                                         "TE",       "E1",    "E2",   "E3",        "Error",   "Out of range"};
    return status <= stOutOfRange ? QString::fromLatin1(kTexts[status]) : QStringLiteral("No reply");
}

bool DataHeaderOk(const char *h, int32_t blockSize, int32_t n) {
    const int64_t lo = uint8_t(h[3]), hi = uint8_t(h[4]), k = uint8_t(h[5]);
    // Both channels answer with "SDA".
    return h[0] == 'S' && h[1] == 'D' && h[2] == 'A' && int64_t(blockSize) * k + 256 * hi + lo == n;
}

bool TCommandSet::SendPlain(const char *mnemonic) { return m_link.SendCommand({mnemonic}); }

// Stale input goes before the request is written, never after: an instrument
// that answers within its turnaround has its reply queued before Write returns.
bool TCommandSet::PurgeAndSend(const TCmdItems &items) {
    if (m_link.IsBusy())
        return false;
    m_link.PurgeIn();
    return m_link.SendCommand(items);
}

bool TCommandSet::SendValueChannel(const char *mnemonic, int value, int channel) {
    return PurgeAndSend({mnemonic, value & 0xFF, 0, channel & 0xFF, 0});
}

bool TCommandSet::MonitorStop() { return PurgeAndSend({"MS"}); }

bool TCommandSet::Aux(int n) {
    if (n < 1 || n > 6)
        return false;
    return m_link.SendCommand({QByteArray("AX") + char('0' + n)});
}

bool TCommandSet::SetVoltage(int n, int value) {
    if (n < 1 || n > 6 || n == 4) // the instrument has no fourth level
        return false;
    return m_link.SendCommand({QByteArray("SA") + char('0' + n), value & 0xFFFF, 1});
}

bool TCommandSet::MonitorOn(int flag) { return m_link.SendCommand({"MO", flag & 0xFFFF, 1}); }

bool TCommandSet::GetApd(int &apd1, int &apd2) {
    char r[2];
    if (!PurgeAndSend({"SX"}) || !m_link.ReadData(r, 2))
        return false;
    apd1 = uint8_t(r[0]);
    apd2 = uint8_t(r[1]);
    return true;
}

bool TCommandSet::GetGains(int &gainA, int &gainB, int &offsetA, int &offsetB) {
    char r[4];
    if (!PurgeAndSend({"SD"}) || !m_link.ReadData(r, 4))
        return false;
    gainA = uint8_t(r[0]);
    gainB = uint8_t(r[1]);
    offsetA = uint8_t(r[2]);
    offsetB = uint8_t(r[3]);
    return true;
}

QString TCommandSet::GetIdentity() {
    char r[8];
    if (!PurgeAndSend({"WH"}))
        return {};
    if (!m_link.ReadData(r, 8))
        return {};
    return QString::fromLatin1(r, 8);
}

std::array<uint8_t, 4> TCommandSet::GetVersion() {
    char r[4];
    if (!PurgeAndSend({"VER"}))
        return {};
    if (!m_link.ReadData(r, 4))
        return {};
    return {uint8_t(r[0]), uint8_t(r[1]), uint8_t(r[2]), uint8_t(r[3])};
}

TDeviceStatus TCommandSet::GetStatus() {
    char r[2] = {'_', '_'};
    if (PurgeAndSend({"WD"}))
        m_link.ReadData(r, 2);
    const QByteArray text(r, 2);
    WriteLog(QStringLiteral("WD: ") + QString::fromLatin1(text));
    return StatusFromReply(text);
}

bool TCommandSet::SizeItems(const QByteArray &mnemonic, int32_t n, TCmdItems &items) const {
    const int32_t b = m_link.BlockSize();
    // The block count travels in one byte.
    if (n < 0 || n / b > 255)
        return false;
    items = TCmdItems{mnemonic, n % b, 1, n / b, 0};
    return true;
}

bool TCommandSet::GetData(const char *mnemonic, char *buffer, int32_t n) {
    TCommunication::ExchangeScope transfer(m_link);
    m_link.SetProgress(0, n);
    TCmdItems items;
    if (!SizeItems(mnemonic, n, items) || m_link.IsBusy())
        return false;
    m_link.PurgeIn();
    if (!m_link.SendCommand(items))
        return false;
    char h[6];
    if (!m_link.ReadData(h, 6))
        return false;
    m_link.SetProgress(0, n); // the header is not part of the data
    if (!DataHeaderOk(h, m_link.BlockSize(), n))
        return false;
    return m_link.ReceiveBlocks(buffer, uint8_t(h[5]), uint8_t(h[3]) + 256 * uint8_t(h[4]));
}

bool TCommandSet::LoadData(const QByteArray &mnemonic, const QByteArray &data) {
    return LoadData(mnemonic, data.constData(), int32_t(data.size()));
}

bool TCommandSet::LoadData(const QByteArray &mnemonic, const char *data, int32_t n) {
    TCommunication::ExchangeScope transfer(m_link);
    const bool ldp = mnemonic == "LDP";
    if (ldp) {
        WriteLog(QStringLiteral("Entering LDP"));
        WriteLog(QStringLiteral("Sending params"));
        WriteLog(QStringLiteral("BlockSize %1").arg(m_link.BlockSize()));
    }
    bool ok = false;
    TCmdItems items;
    if (SizeItems(mnemonic, n, items) && m_link.SendCommand(items)) {
        if (ldp)
            WriteLog(QStringLiteral("Sending data"));
        m_link.PurgeIn();
        ok = m_link.SendBlocks(data, n);
    }
    if (ldp)
        WriteLog(QStringLiteral("Exiting LDP"));
    return ok;
}

bool TCommandSet::ProgramDevice() {
    TCommunication::ExchangeScope transfer(m_link);
    WriteLog(QStringLiteral("Sending PX"));
    if (!m_link.SendCommand({"PX"}))
        return false;
    char info[18];
    std::fill(std::begin(info), std::end(info), '_');
    m_link.ReadData(info, 18);
    WriteLog(QStringLiteral("Received ") + QString::fromLatin1(info, 18));
    WriteLog(QStringLiteral("Waiting for OK..."));
    char answer[2] = {'_', '_'};
    QElapsedTimer elapsed;
    elapsed.start();
    // Each attempt waits one time-out; the instrument may take long to write,
    // but not forever.
    while (answer[0] == '_' && answer[1] == '_' && elapsed.elapsed() < m_link.WaitBounds().ProgramDeviceMs &&
           m_link.IsOpen()) {
        if (!m_link.ReadData(answer, 2))
            m_link.ProcessEventsPulsed();
    }
    const QString text = QString::fromLatin1(answer, 2);
    WriteLog(QStringLiteral("Received ") + text);
    if (text == QLatin1String("__"))
        WriteLog(QStringLiteral("PX: no answer within %1 ms").arg(m_link.WaitBounds().ProgramDeviceMs));
    return text == QLatin1String("OK");
}

bool TCommandSet::ProgramFlash() {
    TCommunication::ExchangeScope transfer(m_link);
    if (!PurgeAndSend({"PF"}))
        return false;
    // Keep status polls out while the reply is pending.
    TCommunication::BusyScope busy(m_link);
    m_link.ClearTimedOut();
    if (!m_link.WaitQueued(2, m_link.WaitBounds().ProgramFlashMs)) {
        WriteLog(QStringLiteral("PF: no reply within %1 ms").arg(m_link.WaitBounds().ProgramFlashMs));
        return false;
    }
    m_link.Pause(kFlashSettleMs);
    QByteArray text(kFlashReplyMax, ' ');
    const int32_t n = std::min(m_link.InQueCount(), kFlashReplyMax);
    if (n > 0 && m_link.Read(text.data(), n) < 0)
        return false;
    WriteLog(QString::fromLatin1(text));
    return text.startsWith("OK");
}

bool TCommandSet::StreamRead(char *buffer, int32_t count, int32_t silenceMs) {
    if (m_link.WaitQueued(count, silenceMs) && m_link.Read(buffer, count) == count)
        return true;
    std::fill(buffer, buffer + count, 0);
    return false;
}

bool TCommandSet::TestUnit(QStringList &lines, const std::function<void(const QStringList &)> &grew) {
    TCommunication::ExchangeScope transfer(m_link);
    m_testEnd = TTestEnd::NotSent;
    if (!m_link.SendCommand({"TST"}))
        return false;
    // The stream owns the link until it ends; an abort or time-out left over
    // from an earlier exchange must not end it before it starts.
    TCommunication::BusyScope busy(m_link);
    m_link.ClearAbort();
    m_link.ClearTimedOut();
    // Whatever way it ends (a port error included), the link is free again.
    Finally idle([this] {
        m_link.ClearAbort();
        m_link.PurgeIn();
        m_link.PurgeOut();
    });
    bool tooLong = false;
    QElapsedTimer total;
    total.start();
    const int32_t silence = m_link.WaitBounds().TestSilenceMs;
    TSelfTestDecoder decoder;
    auto read = [&](char *b, int32_t n) {
        if (StreamRead(b, n, silence))
            return true;
        if (!m_link.IsStopped() && m_link.IsOpen())
            WriteLog(QStringLiteral("TST: no byte within %1 ms").arg(silence));
        return false;
    };
    auto stopped = [&] {
        if (total.elapsed() > m_link.WaitBounds().TestTotalMs) {
            WriteLog(QStringLiteral("TST: stream longer than %1 ms").arg(m_link.WaitBounds().TestTotalMs));
            tooLong = true;
        }
        return tooLong || m_link.IsStopped() || !m_link.IsOpen();
    };
    // The shown text follows the report at most every 100 ms: a flood of
    // tokens must not cost a redraw each.
    QElapsedTimer shown;
    shown.start();
    auto show = [&](bool force) {
        if (!force && shown.elapsed() < 100)
            return;
        shown.restart();
        QStringList now = decoder.Report().Lines();
        if (now == lines)
            return;
        lines = std::move(now);
        if (grew)
            grew(lines);
    };
    const bool marker = decoder.Run(read, stopped, [&] { show(false); });
    show(true);
    const bool lost = !m_link.IsOpen() && m_link.LostCode() != 0;
    m_testEnd = marker && !lines.isEmpty() ? TTestEnd::Complete
                : marker                   ? TTestEnd::Empty
                : lost                     ? TTestEnd::LineLost
                : m_link.Aborted()         ? TTestEnd::Aborted
                : tooLong                  ? TTestEnd::TooLong
                                           : TTestEnd::Silent;
    if (m_testEnd == TTestEnd::Empty)
        WriteLog(QStringLiteral("TST: ended without a report"));
    return m_testEnd == TTestEnd::Complete;
}

bool TCommandSet::SendMacro(const QByteArray &record) {
    if (record.isEmpty() || !m_link.IsOpen())
        return false;
    const int l = uint8_t(record[0]);
    // The message holds at most 100 bytes.
    if (l > kMaxMacroBytes || record.size() < 1 + l)
        return false;
    const QByteArray message = QByteArray("EC") + record.left(1 + l);
    try {
        return m_link.Write(message.constData(), int32_t(message.size())) == int32_t(message.size());
    } catch (const ECommError &e) {
        WriteLog(e.message());
        return false;
    }
}

bool TCommandSet::NeedsResetMacros() const {
    const std::array<uint8_t, 4> &v = m_link.Version();
    return v[2] * 256 + v[3] >= 265;
}

bool TCommandSet::SendResetMacros() {
    static const char *const kMacros[] = {"05A4010B0FFF", "07A4010710244120", "03200040", "027200"};
    bool ok = true;
    for (const char *hex : kMacros) {
        ok = m_link.SendCommand({"EC", QByteArray::fromHex(hex)}) && ok;
        m_link.Pause(kMacroPauseMs);
    }
    return ok;
}

} // namespace tessel
