// The instrument's command set on top of the command link.
#include "device/Communication.h"

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

bool TCommunication::SendPlain(const char *mnemonic) {
    return SendCommand({mnemonic});
}

// Stale input goes before the request is written, never after: an instrument
// that answers within its turnaround has its reply queued before Write returns.
bool TCommunication::PurgeAndSend(const TCmdItems &items) {
    if (IsBusy())
        return false;
    PurgeIn();
    return SendCommand(items);
}

bool TCommunication::SendValueChannel(const char *mnemonic, int value, int channel) {
    return PurgeAndSend({mnemonic, value & 0xFF, 0, channel & 0xFF, 0});
}

bool TCommunication::MonitorStop() {
    return PurgeAndSend({"MS"});
}

bool TCommunication::Aux(int n) {
    if (n < 1 || n > 6)
        return false;
    return SendCommand({QByteArray("AX") + char('0' + n)});
}

bool TCommunication::SetVoltage(int n, int value) {
    if (n < 1 || n > 6 || n == 4) // the instrument has no fourth level
        return false;
    return SendCommand({QByteArray("SA") + char('0' + n), value & 0xFFFF, 1});
}

bool TCommunication::MonitorOn(int flag) {
    return SendCommand({"MO", flag & 0xFFFF, 1});
}

bool TCommunication::GetApd(int &apd1, int &apd2) {
    char r[2];
    if (!PurgeAndSend({"SX"}) || !ReadData(r, 2))
        return false;
    apd1 = uint8_t(r[0]);
    apd2 = uint8_t(r[1]);
    return true;
}

bool TCommunication::GetGains(int &gainA, int &gainB, int &offsetA, int &offsetB) {
    char r[4];
    if (!PurgeAndSend({"SD"}) || !ReadData(r, 4))
        return false;
    gainA = uint8_t(r[0]);
    gainB = uint8_t(r[1]);
    offsetA = uint8_t(r[2]);
    offsetB = uint8_t(r[3]);
    return true;
}

QString TCommunication::GetIdentity() {
    char r[8];
    if (!PurgeAndSend({"WH"}))
        return {};
    if (!ReadData(r, 8))
        return {};
    return QString::fromLatin1(r, 8);
}

std::array<uint8_t, 4> TCommunication::GetVersion() {
    char r[4];
    if (!PurgeAndSend({"VER"}))
        return {};
    if (!ReadData(r, 4))
        return {};
    return {uint8_t(r[0]), uint8_t(r[1]), uint8_t(r[2]), uint8_t(r[3])};
}

TDeviceStatus TCommunication::GetStatus() {
    char r[2] = {'_', '_'};
    if (PurgeAndSend({"WD"}))
        ReadData(r, 2);
    const QByteArray text(r, 2);
    WriteLog(QStringLiteral("WD: ") + QString::fromLatin1(text));
    return StatusFromReply(text);
}

bool TCommunication::SizeItems(const QByteArray &mnemonic, int32_t n, TCmdItems &items) const {
    const int32_t b = BlockSize();
    // The block count travels in one byte.
    if (n < 0 || n / b > 255)
        return false;
    items = TCmdItems{mnemonic, n % b, 1, n / b, 0};
    return true;
}

bool TCommunication::GetData(const char *mnemonic, char *buffer, int32_t n) {
    ExchangeScope transfer(*this);
    FReceived = 0;
    FExpected = n;
    TCmdItems items;
    if (!SizeItems(mnemonic, n, items) || IsBusy())
        return false;
    PurgeIn();
    if (!SendCommand(items))
        return false;
    char h[6];
    if (!ReadData(h, 6))
        return false;
    FReceived = 0; // the header is not part of the data
    if (!DataHeaderOk(h, BlockSize(), n))
        return false;
    return ReceiveBlocks(buffer, uint8_t(h[5]), uint8_t(h[3]) + 256 * uint8_t(h[4]));
}

bool TCommunication::LoadData(const QByteArray &mnemonic, const QByteArray &data) {
    return LoadData(mnemonic, data.constData(), int32_t(data.size()));
}

bool TCommunication::LoadData(const QByteArray &mnemonic, const char *data, int32_t n) {
    ExchangeScope transfer(*this);
    const bool ldp = mnemonic == "LDP";
    if (ldp) {
        WriteLog(QStringLiteral("Entering LDP"));
        WriteLog(QStringLiteral("Sending params"));
        WriteLog(QStringLiteral("BlockSize %1").arg(BlockSize()));
    }
    bool ok = false;
    TCmdItems items;
    if (SizeItems(mnemonic, n, items) && SendCommand(items)) {
        if (ldp)
            WriteLog(QStringLiteral("Sending data"));
        PurgeIn();
        ok = SendBlocks(data, n);
    }
    if (ldp)
        WriteLog(QStringLiteral("Exiting LDP"));
    return ok;
}

bool TCommunication::ProgramDevice() {
    ExchangeScope transfer(*this);
    WriteLog(QStringLiteral("Sending PX"));
    if (!SendCommand({"PX"}))
        return false;
    char info[18];
    std::fill(std::begin(info), std::end(info), '_');
    ReadData(info, 18);
    WriteLog(QStringLiteral("Received ") + QString::fromLatin1(info, 18));
    WriteLog(QStringLiteral("Waiting for OK..."));
    char answer[2] = {'_', '_'};
    QElapsedTimer elapsed;
    elapsed.start();
    // Each attempt waits one time-out; the instrument may take long to write,
    // but not forever.
    while (answer[0] == '_' && answer[1] == '_' && elapsed.elapsed() < m_bounds.ProgramDeviceMs && IsOpen()) {
        if (!ReadData(answer, 2))
            ProcessEventsPulsed();
    }
    const QString text = QString::fromLatin1(answer, 2);
    WriteLog(QStringLiteral("Received ") + text);
    if (text == QLatin1String("__"))
        WriteLog(QStringLiteral("PX: no answer within %1 ms").arg(m_bounds.ProgramDeviceMs));
    return text == QLatin1String("OK");
}

bool TCommunication::ProgramFlash() {
    ExchangeScope transfer(*this);
    if (!PurgeAndSend({"PF"}))
        return false;
    // Keep status polls out while the reply is pending.
    FBusy = true;
    Finally idle([this] { FBusy = false; });
    FTimedOut = false;
    if (!WaitQueued(2, m_bounds.ProgramFlashMs)) {
        WriteLog(QStringLiteral("PF: no reply within %1 ms").arg(m_bounds.ProgramFlashMs));
        return false;
    }
    Pause(kFlashSettleMs);
    QByteArray text(kFlashReplyMax, ' ');
    const int32_t n = std::min(InQueCount(), kFlashReplyMax);
    if (n > 0 && Read(text.data(), n) < 0)
        return false;
    WriteLog(QString::fromLatin1(text));
    return text.startsWith("OK");
}

bool TCommunication::StreamRead(char *buffer, int32_t count, int32_t silenceMs) {
    if (WaitQueued(count, silenceMs) && Read(buffer, count) == count)
        return true;
    std::fill(buffer, buffer + count, 0);
    return false;
}

bool TCommunication::TestUnit(QStringList &lines, const std::function<void(const QStringList &)> &grew) {
    ExchangeScope transfer(*this);
    m_testEnd = TTestEnd::NotSent;
    if (!SendCommand({"TST"}))
        return false;
    // The stream owns the link until it ends; an abort or time-out left over
    // from an earlier exchange must not end it before it starts.
    FBusy = true;
    FStop = false;
    FAbort = false;
    FTimedOut = false;
    // Whatever way it ends (a port error included), the link is free again.
    Finally idle([this] {
        FStop = false;
        FAbort = false;
        FBusy = false;
        PurgeIn();
        PurgeOut();
    });
    bool tooLong = false;
    QElapsedTimer total;
    total.start();
    const int32_t silence = m_bounds.TestSilenceMs;
    TSelfTestDecoder decoder;
    auto read = [&](char *b, int32_t n) {
        if (StreamRead(b, n, silence))
            return true;
        if (!IsStopped() && IsOpen())
            WriteLog(QStringLiteral("TST: no byte within %1 ms").arg(silence));
        return false;
    };
    auto stopped = [&] {
        if (total.elapsed() > m_bounds.TestTotalMs) {
            WriteLog(QStringLiteral("TST: stream longer than %1 ms").arg(m_bounds.TestTotalMs));
            tooLong = true;
        }
        return tooLong || IsStopped() || !IsOpen();
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
    const bool lost = !IsOpen() && LostCode() != 0;
    m_testEnd = marker && !lines.isEmpty() ? TTestEnd::Complete
                : marker                   ? TTestEnd::Empty
                : lost                     ? TTestEnd::LineLost
                : FAbort                   ? TTestEnd::Aborted
                : tooLong                  ? TTestEnd::TooLong
                                           : TTestEnd::Silent;
    if (m_testEnd == TTestEnd::Empty)
        WriteLog(QStringLiteral("TST: ended without a report"));
    return m_testEnd == TTestEnd::Complete;
}

bool TCommunication::SendMacro(const QByteArray &record) {
    if (record.isEmpty() || !IsOpen())
        return false;
    const int l = uint8_t(record[0]);
    // The message holds at most 100 bytes.
    if (l > kMaxMacroBytes || record.size() < 1 + l)
        return false;
    const QByteArray message = QByteArray("EC") + record.left(1 + l);
    try {
        return Write(message.constData(), int32_t(message.size())) == int32_t(message.size());
    } catch (const ECommError &e) {
        WriteLog(e.message());
        return false;
    }
}

bool TCommunication::SendResetMacros() {
    static const char *const kMacros[] = {"05A4010B0FFF", "07A4010710244120", "03200040", "027200"};
    bool ok = true;
    for (const char *hex : kMacros) {
        ok = SendCommand({"EC", QByteArray::fromHex(hex)}) && ok;
        Pause(kMacroPauseMs);
    }
    return ok;
}

} // namespace tessel
