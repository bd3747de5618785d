#include "compiler/ProgramImage.h"

#include "common/Log.h"
#include "common/MessageService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace tessel {
namespace {

void PutLE(QByteArray &out, uint64_t v, int width) {
    for (int i = 0; i < width; ++i)
        out.append(char(uint8_t(v >> (8 * i))));
}

const char *TimerLogFormat(int32_t timerBits) {
    switch (timerBits) {
    case 16:
        return "Timer: %4.4llX; Event: %4.4X -- %g";
    case 32:
        return "Timer: %8.8llX; Event: %4.4X -- %g";
    default:
        return "Timer: %6.6llX; Event: %4.4X -- %g";
    }
}

} // namespace

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

int32_t AnalogOutputValue(double percent, int32_t maxDAValue) {
    if (std::isnan(percent))
        percent = 0;
    const double v = std::nearbyint(std::clamp(percent, 0.0, 100.0) * maxDAValue * 0.01);
    return int32_t(std::clamp(v, double(INT32_MIN), double(INT32_MAX)));
}

TProgramImage BuildProgramImage(const TCompiler &c, const TProgramTarget &target) {
    TProgramImage img;
    const int32_t n = c.Events.Count();
    img.Events.reserve(n * 2);
    for (int32_t i = 0; i < n; ++i)
        PutLE(img.Events, c.Events.At(i).Code & 0xFFFFu, 2);

    const int width = TimerEntryWidth(c.Constants.TimerBits);
    if (width == 0) {
        img.Result = kSendTimersUnencodable;
        img.Error = QStringLiteral("Oops, should not happen. Unsupported convertor timerbits.");
    } else {
        const double full = std::ldexp(1.0, c.Constants.TimerBits);
        const uint64_t mask = c.Constants.TimerBits == 32 ? 0xFFFFFFFFull : ~0ull;
        const char *format = TimerLogFormat(c.Constants.TimerBits);
        img.Timers.reserve(n * width);
        double prev = n > 0 ? c.Events.At(0).Time - c.Constants.MinTimer - 2 * c.Constants.TimePropagation : 0;
        for (int32_t i = 0; i < n; ++i) {
            const TEventRec e = c.Events.At(i);
            double ticks = std::nearbyint((e.Time - prev - c.Constants.TimePropagation) / c.Constants.TimeBase);
            if (!std::isfinite(ticks) || std::fabs(ticks) > 0x1p62) {
                img.Result = kSendTimersUnencodable;
                img.Error = QStringLiteral("Too long time between commands");
                img.Timers.clear();
                img.TimerLog.clear();
                break;
            }
            // Within the table fillers keep every gap inside the timer; only
            // the closing events may lie further apart. Their delay becomes
            // the longest the timer holds rather than a truncated count.
            ticks = std::min(ticks, full - 1);
            const uint64_t value = uint64_t(int64_t(full) - int64_t(ticks)) & mask;
            PutLE(img.Timers, value, width);
            img.TimerLog << QString::asprintf(format, static_cast<unsigned long long>(value),
                                              unsigned(e.Code & 0xFFFFu), e.Time);
            prev = e.Time;
        }
    }

    img.SendsMacros = HasTimedMacros(target.Device) && !c.Macros.empty();
    for (const TMacroRec &m : c.Macros) {
        img.Macros.append(char(uint8_t(m.Bytes.size())));
        img.Macros.append(m.Bytes);
        QString hex = QString::asprintf("%2.2X ", unsigned(uint8_t(m.Bytes.size())));
        for (char b : m.Bytes)
            hex += QString::asprintf("%2.2X ", unsigned(uint8_t(b)));
        img.MacroLog << QString::asprintf("`Timer: %f; Macro: ", m.Time) + hex;
    }
    PutLE(img.Counts, uint32_t(c.SampleTimesA.Count() + c.SkippedA), 4);
    PutLE(img.Counts, uint32_t(c.SampleTimesB.Count() + c.SkippedB), 4);

    img.SetsVoltages = !HostSetsOutputs(target.Device);
    for (size_t k = 0; k < kAnalogOutputs.size(); ++k)
        img.Voltages[k] = AnalogOutputValue(c.FindVar(target.DacAliases[k]), target.MaxDAValue);
    return img;
}

void ProcessEventsFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

int32_t SendProgram(IProgramLoader &link, const TCompiler &c, const TProgramTarget &target,
                    const std::function<void(int)> &wait) {
    const TProgramImage img = BuildProgramImage(c, target);
    WriteLog(QStringLiteral("SendProgram"));
    if (!link.LoadData(QByteArrayLiteral("LDE"), img.Events))
        return kSendEventsRefused;

    WriteLog(QStringLiteral("Timers:"));
    for (const QString &line : img.TimerLog)
        WriteLog(line);
    if (img.Result != kSendOk) {
        Messages().error(img.Error);
        return img.Result;
    }
    if (!link.LoadData(QByteArrayLiteral("LDT"), img.Timers))
        return kSendTimersRefused;

    int32_t result = kSendOk;
    if (img.SendsMacros) {
        for (const QString &line : img.MacroLog)
            WriteLog(line);
        if (!link.LoadData(QByteArrayLiteral("LDX"), img.Macros)) {
            result = kSendMacrosRefused;
        } else if (!link.LoadData(QByteArrayLiteral("LDC"), img.Counts)) {
            result = kSendCountsRefused;
        } else {
            WriteLog(QString::asprintf("ChCnt.A: %d; ChCnt.B: %d", c.SampleTimesA.Count() + c.SkippedA,
                                       c.SampleTimesB.Count() + c.SkippedB));
        }
    }

    if (img.SetsVoltages) {
        for (size_t k = 0; k < kAnalogOutputs.size(); ++k)
            link.SetVoltage(kAnalogOutputs[k], img.Voltages[k]);
        if (wait)
            wait(500);
    }
    return result;
}

} // namespace tessel
