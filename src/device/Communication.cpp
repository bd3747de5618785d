#include "device/Communication.h"

#include "common/Finally.h"
#include "common/Log.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>

namespace tessel {

namespace {
constexpr int kTickMs = 500;
constexpr int kPulseMs = 10;
constexpr int kWakeUpBytes = 200;
constexpr int kBlockAttempts = 3;

} // namespace

// Keeps the pulse timer running while any wait (possibly nested) is active.
class TCommunication::WaitScope {
public:
    explicit WaitScope(TCommunication &c) : m_c(c) {
        if (m_c.m_waitDepth++ == 0)
            m_c.m_pulse.start();
    }
    ~WaitScope() {
        if (--m_c.m_waitDepth == 0)
            m_c.m_pulse.stop();
    }
    WaitScope(const WaitScope &) = delete;
    WaitScope &operator=(const WaitScope &) = delete;

private:
    TCommunication &m_c;
};

TCommunication::TCommunication(std::unique_ptr<ICommPort> port, const QString &firstPortName, QObject *parent)
    : TCustomComm(std::move(port), parent) {
    SetReadTimeout(-1);
    SetWriteTimeout(-1);
    SetReadBufSize(8192);
    SetWriteBufSize(8192);
    SetMonitorEvents({evRxChar, evTxEmpty});
    SetDeviceName(firstPortName);
    TimeoutTimer.setInterval(kTickMs);
    QObject::connect(&TimeoutTimer, &QTimer::timeout, this, [this] { TimeoutTick(); });
    m_pulse.setInterval(kPulseMs);
    m_process = [] { QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents); };
}

TCommunication::~TCommunication() { Close(); }

void TCommunication::SetProcessEvents(TProcessEvents process) { m_process = std::move(process); }

void TCommunication::ProcessEventsOnce() {
    if (m_process)
        m_process();
}

QByteArray TCommunication::FrameCommand(const TCmdItems &items) {
    QByteArray out;
    for (size_t i = 0; i < items.size(); ++i) {
        const TCmdItem &item = items[i];
        if (item.IsText()) {
            out.append(item.Text());
            continue;
        }
        // An integer needs its width code; a last integer, or one followed by a
        // text, puts nothing.
        if (i + 1 >= items.size() || items[i + 1].IsText())
            continue;
        const int value = item.Int();
        const int code = items[++i].Int();
        if (code == 0) {
            out.append(char(uint8_t(value)));
        } else if (code == 1) {
            out.append(char(uint8_t(value % 256)));
            out.append(char(uint8_t(value / 256)));
        }
    }
    return out;
}

uint8_t TCommunication::Checksum(const char *data, int32_t size) {
    uint8_t sum = 0;
    for (int32_t i = 0; i < size; ++i)
        sum = uint8_t(sum + uint8_t(data[i]));
    return sum;
}

int32_t TCommunication::OutQueueBound(int32_t bytes) const {
    // Twice the line time of the bytes (start, data, parity and stop bits each)
    // plus a second for the driver and the event hand-over.
    const int64_t bitsPerChar = 1 + (4 + int(Databits())) + (Parity() == paNone ? 0 : 1) + (Stopbits() == sb10 ? 1 : 2);
    const int64_t lineMs = int64_t(std::max(bytes, 0)) * bitsPerChar * 1000 / BaudRateValue(BaudRate());
    return int32_t(std::min<int64_t>(1000 + 2 * lineMs, INT32_MAX));
}

bool TCommunication::IsBusy() const { return FBusy || !IsOpen() || !FConnected; }

int32_t TCommunication::Write(const char *buffer, int32_t count) {
    if (count <= 0)
        return 0;
    // The port alone would wait without limit: a line held by flow control
    // or a driver that stopped sending would freeze the program.
    const int32_t bound = OutQueueBound(count);
    QElapsedTimer elapsed;
    elapsed.start();
    WaitScope scope(*this);
    int32_t done = 0;
    for (;;) {
        // A full queue is waited out on the descriptor for up to one pulse:
        // nothing in the event loop announces room, so handing the wait to
        // it would leave the line idle until the next pulse.
        const int32_t wait = int32_t(std::clamp<qint64>(bound - elapsed.elapsed(), 0, kPulseMs));
        const TTransferResult r = WriteSome(buffer + done, count - done, wait);
        done += std::max(r.count, 0);
        // Done: all of it, or a short write that the caller counts as failed.
        // Otherwise the driver's queue is full and the rest waits for room.
        if (r.kind == TTransferResult::Done)
            return done;
        if (FAbort)
            return done;
        if (elapsed.elapsed() > bound) {
            WriteLog(QStringLiteral("Write of %1 bytes not done after %2 ms").arg(count).arg(bound));
            PurgeOut();
            throw ECommError(QStringLiteral("Write error"), ETIMEDOUT);
        }
        ProcessEventsOnce();
        if (!IsOpen())
            throw ECommError(QStringLiteral("Write error"), LostCode() != 0 ? LostCode() : EBADF);
    }
}

void TCommunication::LineLost(int code) {
    // The running exchange sees the closed port and fails at once.
    FTimedOut = true;
    TimeoutTimer.stop();
    TCustomComm::LineLost(code);
    // A search in progress announces its own result.
    if (FConnected && !m_searching) {
        FConnected = false;
        WriteLog(QStringLiteral("FConnected: 0"));
        if (OnConnectedChanged)
            OnConnectedChanged(this);
    }
}

void TCommunication::StartTimeout() {
    FTimedOut = false;
    TimeoutTimer.start();
}

void TCommunication::TimeoutTick() {
    if (!FBlockMode) {
        FTimedOut = true;
        TimeoutTimer.stop();
        return;
    }
    FTimedOut = !FRxSeen;
    FRxSeen = false;
}

void TCommunication::HandleCommEvent(uint32_t mask) {
    if (mask & commev::RxChar)
        FRxSeen = true;
    TCustomComm::HandleCommEvent(mask);
}

bool TCommunication::SendCommand(const TCmdItems &items) {
    if (IsBusy())
        return false;
    FBusy = true;
    Finally idle([this] { FBusy = false; });
    const QByteArray message = FrameCommand(items);
    PurgeOut();
    return Write(message.constData(), int32_t(message.size())) >= int32_t(message.size());
}

bool TCommunication::ReadData(char *buffer, int32_t count) {
    if (count == 0)
        return true;
    if (count < 0 || IsBusy())
        return false;
    FBusy = true;
    StartTimeout();
    Finally idle([this] {
        TimeoutTimer.stop();
        FBusy = false;
    });
    const int32_t base = FReceived;
    WaitScope scope(*this);
    while (!IsStopped() && IsOpen()) {
        // Bytes that were queued before the wait began count as well: on a
        // fast line a whole block is often in before its wait starts, and
        // the progress display would otherwise stand still.
        const int32_t queued = InQueCount();
        FReceived = base + std::clamp(queued, 0, count);
        if (queued >= count)
            break;
        ProcessEventsOnce();
    }
    if (IsStopped() || !IsOpen())
        return false;
    return Read(buffer, count) == count;
}

bool TCommunication::IsOk() {
    char text[2] = {'_', '_'};
    ReadData(text, 2);
    const QString reply = QString::fromLatin1(text, 2);
    WriteLog(QStringLiteral("IsOk received \"") + reply + '"');
    return reply == QLatin1String("OK");
}

bool TCommunication::WaitOutQueueEmpty(int32_t bytes) {
    const int32_t bound = OutQueueBound(bytes);
    QElapsedTimer elapsed;
    elapsed.start();
    WaitScope scope(*this);
    while (OutQueCount() > 0) {
        if (elapsed.elapsed() > bound) {
            WriteLog(QStringLiteral("Output queue not empty after %1 ms").arg(bound));
            return false;
        }
        ProcessEventsOnce();
    }
    return true;
}

bool TCommunication::SendOneBlock(const char *data, int32_t size, const QString &blockError, const QString &crcError) {
    const char sum = char(Checksum(data, size));
    // A write that fails outright still leaves its line in the log.
    const auto write = [this](const char *bytes, int32_t n, const QString &error) {
        try {
            if (Write(bytes, n) >= n)
                return true;
        } catch (const ECommError &) {
            WriteLog(error);
            throw;
        }
        WriteLog(error);
        return false;
    };
    if (!write(data, size, blockError) || !write(&sum, 1, crcError))
        return false;
    return WaitOutQueueEmpty(size + 1) && IsOk();
}

bool TCommunication::SendBlocks(const char *data, int32_t size) {
    const int32_t b = BlockSize();
    bool ok = true;
    auto sent = [&](int32_t bytes) {
        if (ok && OnBlockSent)
            OnBlockSent(bytes, size);
    };
    for (int32_t i = 0; ok && i < size / b; ++i) {
        ok = SendOneBlock(data + int64_t(i) * b, b, QStringLiteral("Error writing data block %1").arg(i),
                          QStringLiteral("Error writing CRC of block %1").arg(i));
        sent((i + 1) * b);
    }
    const int32_t rest = size % b;
    if (ok && rest >= 1) {
        ok = SendOneBlock(data + (size - rest), rest, QStringLiteral("Error writing last data block"),
                          QStringLiteral("Error writing last CRC"));
        sent(size);
    }
    return ok;
}

bool TCommunication::ReceiveBlock(char *buffer, int32_t count) {
    FAbort = false;
    FBlockMode = true;
    Finally idle([this] { FBlockMode = false; });
    const int32_t base = FReceived;
    if (!ReadData(buffer, count)) {
        // Half a block must not be taken for the start of the retry.
        PurgeIn();
        FReceived = base;
        return false;
    }
    char sum = 0;
    const bool good = ReadData(&sum, 1) && uint8_t(sum) == Checksum(buffer, count);
    PurgeOut();
    if (!good) {
        // Whatever is left of the bad block would shift every retry: drop it
        // before asking for the block again.
        PurgeIn();
        FReceived = base;
    } else {
        // Progress counts data bytes, not the checksum.
        FReceived = base + count;
    }
    Write(good ? "OK" : "ER", 2);
    return good;
}

bool TCommunication::ReceiveBlocks(char *buffer, int32_t blockCount, int32_t rest) {
    const int32_t b = BlockSize();
    int attempts = kBlockAttempts;
    for (int32_t i = 0; i < blockCount;) {
        if (ReceiveBlock(buffer + int64_t(i) * b, b)) {
            ++i;
            attempts = kBlockAttempts;
        } else if (--attempts == 0) {
            return false;
        }
    }
    // The rest block always comes, a lone checksum byte when rest is 0.
    char *tail = buffer + int64_t(blockCount) * b;
    for (attempts = kBlockAttempts; attempts > 0; --attempts)
        if (ReceiveBlock(tail, rest))
            return true;
    return false;
}

bool TCommunication::WakeUp() {
    if (IsBusy())
        return false;
    FBusy = true;
    Finally idle([this] { FBusy = false; });
    PurgeOut();
    const QByteArray wake(kWakeUpBytes, char(0xAA));
    if (Write(wake.constData(), kWakeUpBytes) < kWakeUpBytes)
        return false;
    if (!WaitOutQueueEmpty(kWakeUpBytes))
        return false;
    StartTimeout();
    WaitScope scope(*this);
    while (!FTimedOut && IsOpen())
        ProcessEventsOnce();
    return IsOpen();
}

bool TCommunication::WaitQueued(int32_t count, int32_t ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    WaitScope scope(*this);
    while (!IsStopped() && IsOpen()) {
        if (InQueCount() >= count)
            return true;
        if (elapsed.elapsed() >= ms)
            return false;
        ProcessEventsOnce();
    }
    return false;
}

void TCommunication::Pause(int32_t ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    WaitScope scope(*this);
    while (elapsed.elapsed() < ms && IsOpen())
        ProcessEventsOnce();
}

void TCommunication::ProcessEventsPulsed() {
    WaitScope scope(*this);
    ProcessEventsOnce();
}

} // namespace tessel
