#pragma once

#include <QString>
#include <cerrno>
#include <cstdint>
#include <initializer_list>

namespace tessel {

// Line settings of the port, in the order their platform codes count.
enum TBaudrate : uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
};
enum TParity : uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum TStopbits : uint8_t { sb10, sb15, sb20 };
enum TDatabits : uint8_t { da4, da5, da6, da7, da8 };
enum TCommOption : uint8_t { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
enum TFlowControl : uint8_t { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommEventType : uint8_t { evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty };

// The baud value in a rate's name (br9600 -> 9600).
int32_t BaudRateValue(TBaudrate rate);

// A small set over one of the enumerations above.
template <typename E> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> items) {
        for (E e : items)
            insert(e);
    }
    constexpr bool contains(E e) const { return (m_bits >> unsigned(e)) & 1u; }
    constexpr void insert(E e) { m_bits = uint16_t(m_bits | (1u << unsigned(e))); }
    constexpr void remove(E e) { m_bits = uint16_t(m_bits & ~(1u << unsigned(e))); }
    constexpr bool empty() const { return m_bits == 0; }
    constexpr uint16_t bits() const { return m_bits; }
    constexpr bool operator==(const TEnumSet &) const = default;

private:
    uint16_t m_bits = 0;
};
using TCommEventTypes = TEnumSet<TCommEventType>;
using TCommOptions = TEnumSet<TCommOption>;

// Platform event bits (the values of the Windows serial interface, which the
// port interface below speaks whatever the system).
namespace commev {
constexpr uint32_t RxChar = 0x0001;
constexpr uint32_t RxFlag = 0x0002;
constexpr uint32_t TxEmpty = 0x0004;
constexpr uint32_t Cts = 0x0008;
constexpr uint32_t Dsr = 0x0010;
constexpr uint32_t Rlsd = 0x0020;
constexpr uint32_t Break = 0x0040;
constexpr uint32_t Err = 0x0080;
constexpr uint32_t Ring = 0x0100;
// The program's own bit, outside the platform's set: the line is gone (the
// device hung up, was unplugged or switched off). Reported whatever the mask.
constexpr uint32_t LineLost = 0x10000;
} // namespace commev
uint32_t PlatformEventBit(TCommEventType e);
uint32_t PlatformEventMask(TCommEventTypes events);

// Line error flags reported by the status query.
namespace commerr {
constexpr uint32_t RxOver = 0x0001;
constexpr uint32_t Overrun = 0x0002;
constexpr uint32_t RxParity = 0x0004;
constexpr uint32_t Frame = 0x0008;
constexpr uint32_t Break = 0x0010;
} // namespace commerr

// Purge flags.
namespace commpurge {
constexpr uint32_t TxAbort = 0x0001;
constexpr uint32_t RxAbort = 0x0002;
constexpr uint32_t TxClear = 0x0004;
constexpr uint32_t RxClear = 0x0008;
constexpr uint32_t All = TxAbort | RxAbort | TxClear | RxClear;
} // namespace commpurge

// The line-settings block: read from the port, changed, written back.
struct TDcb {
    uint32_t BaudRate = 9600;
    uint32_t Flags = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;   // 0..4: none, odd, even, mark, space
    uint8_t StopBits = 0; // 0..2: one, one and a half, two
    uint8_t XonChar = 17;
    uint8_t XoffChar = 19;
    uint8_t ErrorChar = 0;
    uint8_t EofChar = 0;
    uint8_t EvtChar = 0;
    bool operator==(const TDcb &) const = default;
};

// Bits of TDcb::Flags (the layout of the Windows DCB flag word).
namespace dcb {
constexpr uint32_t Binary = 1u << 0;
constexpr uint32_t Parity = 1u << 1;
constexpr uint32_t OutxCtsFlow = 1u << 2;
constexpr uint32_t OutxDsrFlow = 1u << 3;
constexpr uint32_t DtrControlMask = 3u << 4;
constexpr uint32_t DtrHandshake = 2u << 4;
constexpr uint32_t DsrSensitivity = 1u << 6;
constexpr uint32_t TxContinueOnXoff = 1u << 7;
constexpr uint32_t OutX = 1u << 8;
constexpr uint32_t InX = 1u << 9;
constexpr uint32_t ErrorChar = 1u << 10;
constexpr uint32_t Null = 1u << 11;
constexpr uint32_t RtsControlMask = 3u << 12;
constexpr uint32_t RtsHandshake = 2u << 12;
constexpr uint32_t AbortOnError = 1u << 14;
} // namespace dcb

struct TCommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
    bool operator==(const TCommTimeouts &) const = default;
};

// Line error flags and queue counts; reading them clears the error flags.
struct TCommStatus {
    uint32_t Errors = 0;
    int32_t InQue = 0;
    int32_t OutQue = 0;
    int Lost = 0; // error code once the line is gone (bytes still queued stay readable)
};

// Error codes that mean the line itself is gone rather than one transfer failed.
inline bool IsLineGone(int err) { return err == EIO || err == ENXIO || err == ENODEV || err == EPIPE; }

struct TTransferResult {
    enum Kind { Done, TimedOut, Failed };
    Kind kind = Done;
    int32_t count = 0; // bytes transferred when Done
    int error = 0;     // platform error code when Failed
};

// The serial operations the port component needs from the system. One
// implementation drives a tty device; a test double keeps everything in memory.
// Error results are the platform's error codes, 0 meaning success.
//
// All calls come from the thread that owns the port, except WaitEvent and
// SetEventMask (only from the port's event thread) and CancelWait (any thread).
// Transfers finish or are cancelled before they return: no implementation may
// touch a caller's buffer after the call.
class ICommPort {
public:
    virtual ~ICommPort() = default;

    // Opens the named device for reading and writing, exclusively.
    virtual int Open(const QString &name) = 0;
    virtual bool IsCharDevice() = 0;
    virtual void Close() = 0;
    virtual int SetupQueues(int32_t inSize, int32_t outSize) = 0;
    virtual int GetState(TDcb &state) = 0;
    virtual int SetState(const TDcb &state) = 0;
    virtual int SetTimeouts(const TCommTimeouts &timeouts) = 0;
    // False when the query failed (the port is then treated as holding nothing).
    virtual bool GetStatus(TCommStatus &status) = 0;
    virtual void Purge(uint32_t flags) = 0;
    // timeoutMs -1 waits without limit.
    virtual TTransferResult Read(char *buffer, int32_t count, int32_t timeoutMs) = 0;
    virtual TTransferResult Write(const char *buffer, int32_t count, int32_t timeoutMs) = 0;

    virtual void SetEventMask(uint32_t mask) = 0;
    // Blocks until one of the masked events happens and returns their bits
    // (commev::LineLost once when the line goes, whatever the mask); returns
    // 0 once CancelWait was called (and at once on every later call until the
    // next Open).
    virtual uint32_t WaitEvent() = 0;
    virtual void CancelWait() = 0;
};

} // namespace tessel
