#pragma once

#include "compiler/Compiler.h"
#include "device/DeviceTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>

namespace tessel {

// Results of SendProgram.
enum : int32_t {
    kSendOk = 0,
    kSendEventsRefused = 1,
    kSendTimersRefused = 2,
    kSendMacrosRefused = 3,
    kSendCountsRefused = 4,
    kSendTimersUnencodable = 5,
};

// Analog outputs set from protocol variables, in sending order.
constexpr std::array<int, 5> kAnalogOutputs = {1, 2, 3, 5, 6};

// What the image needs besides the build.
struct TProgramTarget {
    TDevice Device = kStoredDefaultDevice;
    std::array<QString, 5> DacAliases; // variable names of outputs 1, 2, 3, 5, 6
    int32_t MaxDAValue = 1;
};

// The exact bytes the instrument loads for one build.
struct TProgramImage {
    QByteArray Events;                 // "LDE": the 16-bit line state per event
    QByteArray Timers;                 // "LDT": one entry of 2, 3 or 4 bytes per event
    QByteArray Macros;                 // "LDX": length byte and content per macro
    QByteArray Counts;                 // "LDC": sample slots of channel A and B, int32 each
    std::array<int32_t, 5> Voltages{}; // "SA1".."SA6" values, in kAnalogOutputs order
    bool SendsMacros = false;          // macros and counts go only to types that run macros
    bool SetsVoltages = false;         // not where the host sets the outputs
    QStringList TimerLog;              // one line per event
    QStringList MacroLog;              // one line per macro
    // kSendOk, or kSendTimersUnencodable with the dialog text in Error.
    int32_t Result = kSendOk;
    QString Error;
};

// Encodes a successful build; pure, sends nothing.
TProgramImage BuildProgramImage(const TCompiler &c, const TProgramTarget &target);
// Entry width in bytes of the timer block; 0 for an unsupported width.
int TimerEntryWidth(int32_t timerBits);
// Value sent for an analog output given the variable's percentage.
int32_t AnalogOutputValue(double percent, int32_t maxDAValue);

// The two link operations the download needs; the command link provides
// them (adapt it with TProgramLink).
class IProgramLoader {
public:
    virtual ~IProgramLoader() = default;
    virtual bool LoadData(const QByteArray &mnemonic, const QByteArray &data) = 0;
    virtual bool SetVoltage(int n, int value) = 0;
};

// Adapts any link with LoadData/SetVoltage of the same shape.
template <typename Link> class TProgramLink : public IProgramLoader {
public:
    explicit TProgramLink(Link &link) : m_link(link) {}
    bool LoadData(const QByteArray &mnemonic, const QByteArray &data) override {
        return m_link.LoadData(mnemonic, data);
    }
    bool SetVoltage(int n, int value) override { return m_link.SetVoltage(n, value); }

private:
    Link &m_link;
};

// Waits ms milliseconds while the event loop keeps running.
void ProcessEventsFor(int ms);

// Sends the build to the instrument: events, timers, then (for types that
// run macros) macros and channel counts, then the analog outputs. Each step
// is written to the traffic log. Returns one of the kSend* results.
int32_t SendProgram(IProgramLoader &link, const TCompiler &c, const TProgramTarget &target,
                    const std::function<void(int)> &wait = ProcessEventsFor);

} // namespace tessel
