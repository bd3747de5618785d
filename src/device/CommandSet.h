#pragma once

#include "device/Communication.h"

#include <QStringList>
#include <array>
#include <functional>

namespace tessel {

// Status code of the "WD" poll.
enum TDeviceStatus : uint8_t {
    stNoReply,
    stReady,
    stDataReady,
    stMeasuring,
    stWaiting,
    stEmpty,
    stTesting,
    stTE,
    stE1,
    stE2,
    stE3,
    stError,
    stOutOfRange,
};
// The code of a two-character status reply (anything unknown: stNoReply).
TDeviceStatus StatusFromReply(const QByteArray &reply);
// Short text of a code: "Ready", "Data", "Measuring", ... ("No reply" for 0).
QString StatusText(TDeviceStatus status);

// How the last self test ended: the end marker came after a report, the user
// broke it off, the instrument fell silent, the stream outran its time limit,
// the end marker came with no report at all, or the line was lost.
enum class TTestEnd { NotSent, Complete, Aborted, Silent, TooLong, Empty, LineLost };

// The header of a data transfer for n bytes: "SDA" (for both channels), then
// n mod blockSize as u16 and n div blockSize as u8.
bool DataHeaderOk(const char *header, int32_t blockSize, int32_t n);

// The instrument's commands over the framed link: each one's bytes, what it
// reads back and whether it purges stale input first. Every operation refuses
// while the link's IsBusy holds.
class TCommandSet {
public:
    explicit TCommandSet(TCommunication &link) : m_link(link) {}
    TCommunication &Link() { return m_link; }
    const TCommunication &Link() const { return m_link; }

    bool StartMeasurement() { return SendPlain("ST"); }
    bool StopMeasurement() { return SendPlain("SP"); }
    bool MonitorStop();
    bool ActinicFlash() { return SendPlain("BF1"); }
    bool Flash2() { return SendPlain("BF2"); }
    bool MeasuringFlash() { return SendPlain("SF1"); }
    bool Aux(int n);
    bool RequestDeviceInfo() { return SendPlain("DI"); }
    // "SA1", "SA2", "SA3", "SA5", "SA6" + u16 level; other n are refused.
    bool SetVoltage(int n, int value);
    bool MonitorOn(int flag);
    bool SetGain(int value, int channel) { return SendValueChannel("SG", value, channel); }
    bool SetOffset(int value, int channel) { return SendValueChannel("SO", value, channel); }
    bool SetApd(int value, int channel) { return SendValueChannel("SW", value, channel); }
    // Values are left unchanged when the reply does not arrive.
    bool GetApd(int &apd1, int &apd2);
    bool GetGains(int &gainA, int &gainB, int &offsetA, int &offsetB);
    QString GetIdentity();
    std::array<uint8_t, 4> GetVersion();
    TDeviceStatus GetStatus();
    bool GetDataA(char *buffer, int32_t n) { return GetData("GDA", buffer, n); }
    bool GetDataB(char *buffer, int32_t n) { return GetData("GDB", buffer, n); }
    // Mnemonic + size, then the bytes as checksum-protected blocks.
    // The link's OnBlockSent is told the bytes accepted so far after every block.
    bool LoadData(const QByteArray &mnemonic, const QByteArray &data);
    bool LoadData(const QByteArray &mnemonic, const char *data, int32_t n);
    bool ProgramDevice();
    bool ProgramFlash();
    // Runs the self test; lines receives the decoded text as it grows, and
    // grew (when given) is called after each change. True when the stream
    // ended with its end marker; LastTestEnd says how it ended.
    bool TestUnit(QStringList &lines, const std::function<void(const QStringList &)> &grew = {});
    TTestEnd LastTestEnd() const { return m_testEnd; }
    // "EC" + L + the L bytes of a macro record (first byte L), written directly.
    bool SendMacro(const QByteArray &record);
    bool SendResetMacros();
    // Version bytes 3 and 4 (third byte high) reach 265: the reset macros apply.
    bool NeedsResetMacros() const;

private:
    bool SendPlain(const char *mnemonic);
    bool SendValueChannel(const char *mnemonic, int value, int channel);
    bool PurgeAndSend(const TCmdItems &items);
    bool GetData(const char *mnemonic, char *buffer, int32_t n);
    bool SizeItems(const QByteArray &mnemonic, int32_t n, TCmdItems &items) const;
    bool StreamRead(char *buffer, int32_t count, int32_t silenceMs);

    TCommunication &m_link;
    TTestEnd m_testEnd = TTestEnd::NotSent;
};

} // namespace tessel
