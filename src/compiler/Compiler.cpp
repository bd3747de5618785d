#include "compiler/Compiler.h"

#include "common/AppPaths.h"
#include "common/MessageService.h"
#include "compiler/CompilerLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace tessel {
namespace {

const QString kAbortedText = QStringLiteral("Compilation aborted");

bool SaveLines(const QString &path, const QStringList &lines) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray text;
    for (const QString &l : lines) {
        text += l.toUtf8();
        text += '\n';
    }
    return f.write(text) == text.size() && f.flush();
}

enum BoundKind { SpaceMin, SpaceMax, PulseMin, PulseMax };

const TTimingBound &BoundOf(const TLineBounds &l, BoundKind k) {
    switch (k) {
    case SpaceMin:
        return l.SpaceMin;
    case SpaceMax:
        return l.SpaceMax;
    case PulseMin:
        return l.PulseMin;
    case PulseMax:
        break;
    }
    return l.PulseMax;
}

const char *BoundText(BoundKind k) {
    switch (k) {
    case SpaceMin:
        return "Space too short! (current: %g s, min.: %g s)";
    case SpaceMax:
        return "Space too long! (current: %g s, max.: %g s)";
    case PulseMin:
        return "Pulse too short! (current: %g s, min.: %g s)";
    case PulseMax:
        break;
    }
    return "Pulse too long! (current: %g s, max.: %g s)";
}

// State of one output line while the actions are walked.
struct LineState {
    double lastTime = -1.0;
    uint32_t lastCode = 0;
    bool on = false;
};

} // namespace

double Quantise(double step, double x) {
    if (step == 0)
        return x;
    // rint rounds as nearbyint does (ties to even) without saving and
    // restoring the floating-point environment on every call.
    return step * std::rint(x / step);
}

TCompiler::TCompiler() { RegisterCallbacks(); }

TCompiler::~TCompiler() = default;

void TCompiler::RegisterCallbacks() {
    if (ICompilerLibrary *lib = CompilerLibrary())
        RegisterCompilerCallbacks(*lib);
}

double TCompiler::FindVar(const QString &name) const {
    const int32_t i = Vars.Find(name);
    return i < 0 ? 0.0 : Vars.Value(i);
}

void TCompiler::Clear() {
    Macros.clear();
    InitMacros.clear();
    // The block stays: protocols are compiled again and again at one size.
    Events.SetCount(0);
    Vars.Clear();
    SampleTimesA.Clear();
    SampleTimesB.Clear();
    RepeatCount = 0;
    RepeatTime = 0;
    SkippedA = 0;
    SkippedB = 0;
}

void TCompiler::AddPrimAction(long double time, uint32_t code) {
    const double t = Quantise(Constants.TimeBase, double(time));
    if (t >= 0)
        Events.Add(t, code);
}

void TCompiler::AddCompAction(long double time, const uint8_t *macro) {
    TMacroRec m;
    m.Time = Quantise(Constants.TimeBase, double(time));
    m.Bytes = QByteArray(reinterpret_cast<const char *>(macro + 2), macro[0]);
    if (m.Time < 0) {
        InitMacros.push_back(std::move(m));
        return;
    }
    const char first = m.Bytes.isEmpty() ? '\0' : m.Bytes.at(0);
    if (first == 'p' || first == 'q') {
        RepeatTime = time;
        // The count is the four bytes after the letter; a shorter macro
        // lacks some, which count as 0 rather than reading past its end.
        uint8_t le[4] = {0, 0, 0, 0};
        std::memcpy(le, m.Bytes.constData() + 1, std::min<size_t>(4, size_t(m.Bytes.size() - 1)));
        RepeatCount = int32_t(uint32_t(le[0]) | uint32_t(le[1]) << 8 | uint32_t(le[2]) << 16 | uint32_t(le[3]) << 24);
        RepeatExtra = first == 'p' ? 2.0L : 1.73L;
    }
    Macros.push_back(std::move(m));
}

void TCompiler::AddVar(const char *name, long double value) {
    Vars.Add(QString::fromLatin1(name ? name : ""), double(value));
}

void TCompiler::InfoEnd() { Status = kStatusSourceEnd; }

static QString &WorkFileOverride() {
    static QString path;
    return path;
}

void TCompiler::SetWorkFilePath(const QString &path) { WorkFileOverride() = path; }

QString TCompiler::WorkFilePath() {
    if (!WorkFileOverride().isEmpty())
        return WorkFileOverride();
    // An installed program never writes into its own tree, not even as root.
    if (AppPaths::isInstalled())
        return QDir(AppPaths::configDir()).filePath(kWorkFileName);
    const QString inProgramDir = AppPaths::programDir() + kWorkFileName;
    const QFileInfo existing(inProgramDir);
    if (existing.exists() ? existing.isWritable() : QFileInfo(AppPaths::programDir()).isWritable())
        return inProgramDir;
    return QDir(AppPaths::configDir()).filePath(kWorkFileName);
}

int32_t TCompiler::Abort(QStringList &log, const QString &message) {
    if (!message.isEmpty())
        log << message;
    Messages().error(kAbortedText);
    return kBuildTimingError;
}

int32_t TCompiler::CompileProtocol(const QStringList &source, QStringList &log, const void *owner) {
    Owner = owner;
    Status = kStatusFailed;

    const QString file = WorkFilePath();
    Clear();
    log << QStringLiteral("Compiling ") + file;
    if (file.startsWith(AppPaths::configDir()))
        QDir().mkpath(AppPaths::configDir());
    if (!SaveLines(file, source)) {
        log << QStringLiteral("Unable to write ") + file;
        Messages().error(kAbortedText);
        return kBuildSourceError;
    }

    ICompilerLibrary *lib = CompilerLibrary();
    if (!lib) {
        log << QStringLiteral("Compiler library not loaded");
        Messages().error(kAbortedText);
        return kBuildSourceError;
    }
    TCompilerError error;
    if (!DriveCompiler(*lib, file, IncludeDir, *this, error)) {
        log << error.msg << error.file;
        ErrorLine = error.line;
        ErrorColumn = error.column;
        log << QString::asprintf("Error in source file at line: %d column: %d", ErrorLine, ErrorColumn);
        Messages().error(kAbortedText);
        return kBuildSourceError;
    }
    return BuildEventTable(log);
}

int32_t TCompiler::BuildEventTable(QStringList &log) {
    if (Events.Count() == 0) {
        log << QStringLiteral("No event defined");
        Messages().error(kAbortedText);
        return kBuildNoEvent;
    }
    log << QString::asprintf("Events   :%d", Events.Count());
    log << QStringLiteral("Sorting Events");
    Events.Sort();

    TEvents table;
    table.SetCapacity(Events.Count() + 2); // one per distinct time, the two closing ones
    uint32_t state = kRestState;
    std::array<LineState, kOutputLines> lines{};
    SkippedA = 0;
    SkippedB = 0;
    // Counts taken as 8-bit by the instrument's program.
    const int32_t perEventA = std::clamp(Constants.SamplesPerEventA, 0, 255);
    const int32_t perEventB = std::clamp(Constants.SamplesPerEventB, 0, 255);

    // Times are multiples of the time base only up to rounding; a distance
    // equal to a limit must not count as beyond it.
    const double eps = Constants.TimeBase * 1e-3;
    auto checkBound = [&](double last, int b, double d, BoundKind kind) -> bool {
        const TTimingBound &bound = BoundOf(Constants.Bounds[size_t(b)], kind);
        const bool tooShort = kind == SpaceMin || kind == PulseMin;
        if (tooShort ? !(d < bound.Limit - eps) : !(d > bound.Limit + eps))
            return true;
        const QString text =
            QString::asprintf(bound.IsError ? "Error at time %g s bit %d: " : "Warning at time %g s bit %d: ", last,
                              b) +
            QString::asprintf(BoundText(kind), d, bound.Limit);
        log << text;
        return !bound.IsError;
    };
    auto sample = [&](double t0, uint32_t code, int32_t n, double distance, uint32_t recordBit, uint32_t skipBit,
                      TSampleTimes &times, int32_t &skipped) -> bool {
        const bool record = (code & recordBit) && !(code & skipBit);
        for (int32_t k = 0; k < n; ++k) {
            const double t = t0 + k * distance;
            if (!record) {
                ++skipped;
                continue;
            }
            if (!times.IsEmpty() && times.Last() > t) {
                log << QString::asprintf("Error at time %g: Time sequence not ascendent", t);
                return false;
            }
            times.Add(t);
        }
        return true;
    };

    const int32_t count = Events.Count();
    const TEventRec *events = &Events.At(0);
    for (int32_t i = 0; i < count; ++i) {
        const TEventRec act = events[i];
        const double T = act.Time;
        const uint32_t C = act.Code;
        const bool reset = C & kResetBit;
        // Only the lines the action names, lowest first.
        for (uint32_t named = C & ((1u << kOutputLines) - 1); named != 0; named &= named - 1) {
            const int b = std::countr_zero(named);
            LineState &line = lines[size_t(b)];
            const double d = Quantise(Constants.TimeBase, std::fabs(T - line.lastTime));
            if (!reset) {
                if (line.on) {
                    if (b != 7)
                        return Abort(
                            log, QString::asprintf(
                                     "Error at time %g s: Attemting to set bit %d, bit has been already set", T, b));
                } else if (line.lastTime >= 0) {
                    if (d < Constants.TimeBase / 2)
                        return Abort(
                            log, QString::asprintf(
                                     "Error at time %g s: Attempting to set and reset bit %d at the same time!", T, b));
                    if (!checkBound(line.lastTime, b, d, SpaceMin) || !checkBound(line.lastTime, b, d, SpaceMax))
                        return Abort(log, QString());
                }
                line = {T, C, true};
                state |= 1u << b;
            } else {
                if (!line.on) {
                    if (b != 7)
                        log << QString::asprintf(
                            "Hint at time %g s: Attemting to reset bit %d, bit has been already reset", T, b);
                } else if (line.lastTime >= 0) {
                    if (d < Constants.TimeBase / 2)
                        return Abort(
                            log, QString::asprintf(
                                     "Error at time %g s: Attempting to set and reset bit %d at the same time!", T, b));
                    if (!checkBound(line.lastTime, b, d, PulseMin) || !checkBound(line.lastTime, b, d, PulseMax))
                        return Abort(log, QString());
                }
                line = {T, C, false};
                state &= ~(1u << b);
            }
        }
        if (i == count - 1 || events[i + 1].Time != T)
            table.Add(T, state);
        if (!reset) {
            const bool multi = C & kMultiSampleBit;
            if (!sample(T, C, multi ? perEventA : 1, Constants.SampleDistanceA, 1u << 0, kSkipSampleABit, SampleTimesA,
                        SkippedA) ||
                !sample(T, C, multi ? perEventB : 1, Constants.SampleDistanceB, 1u << 1, kSkipSampleBBit, SampleTimesB,
                        SkippedB))
                return Abort(log, QString());
        }
    }

    // Gaps the timer cannot span get filler events that repeat the state.
    // Half a time base absorbs rounding in the quantised times, so a gap of
    // exactly the longest interval needs none. Fillers stop once the table
    // is over its limit: the build fails there anyway.
    const double maxInterval = (std::ldexp(1.0, Constants.TimerBits) - 1) * Constants.TimeBase;
    const double slack = Constants.TimeBase / 2;
    auto fillGap = [&](TEvents &list, const TEventRec &prev, double t) {
        if (!(maxInterval > 0) || !(t - prev.Time > maxInterval + slack))
            return;
        for (double k = 1; prev.Time + k * maxInterval < t - slack && list.Count() <= Constants.MaxEvents; ++k)
            list.Add(prev.Time + k * maxInterval, prev.Code);
    };
    const int32_t built = table.Count();
    for (int32_t i = 1; i < built; ++i) {
        const TEventRec prev = table.At(i - 1);
        const double t = table.At(i).Time;
        fillGap(table, prev, t);
        if (t - prev.Time < Constants.MinTimer - eps)
            return Abort(log, QString::asprintf("Error at time %g s: Events too near (current: %g s, min.: %g s)",
                                                prev.Time, t - prev.Time, Constants.MinTimer));
    }

    // Fillers went to the end; without them the table is in order already.
    if (table.Count() > built)
        table.Sort();
    Events.Swap(table);
    SortMacros(Macros);
    SortMacros(InitMacros);

    // Macros that share a time are announced by a marker: "`" and how many
    // follow (at most 255 per marker).
    for (size_t i = 0; i + 1 < Macros.size();) {
        size_t k = 1;
        while (i + k < Macros.size() && k < 255 &&
               std::fabs(Macros[i + k].Time - Macros[i + k - 1].Time) < Constants.TimeBase / 2)
            ++k;
        if (k >= 2) {
            TMacroRec marker;
            marker.Time = Macros[i].Time;
            marker.Bytes = QByteArray("`") + char(uint8_t(k));
            Macros.insert(Macros.begin() + std::ptrdiff_t(i), std::move(marker));
            i += k + 1;
        } else {
            ++i;
        }
    }

    // The closing events: detector back to rest, then all lines off. A timer
    // too short for these gaps waits its longest instead (see the image).
    const double last = Events.Last().Time;
    Events.Add(last + 0.3, kRestState);
    Events.Add(last + 0.8, 0);

    log << QString::asprintf("Total Events: %d", Events.Count());
    log << QString::asprintf("Total Samples (A): %d", SampleTimesA.Count());
    log << QString::asprintf("Total Samples (B): %d", SampleTimesB.Count());

    if (Events.Count() > Constants.MaxEvents) {
        log << QString::asprintf("Maximum events: %d", Constants.MaxEvents);
        Messages().error(QStringLiteral("Error: Too many events"));
        return kBuildLimitExceeded;
    }
    if (SampleTimesA.Count() > Constants.MaxASamples || SampleTimesB.Count() > Constants.MaxBSamples) {
        Messages().error(QStringLiteral("Error: Too many samples"));
        return kBuildLimitExceeded;
    }
    Status = kStatusReady;
    log << QStringLiteral("Done");
    return kBuildOk;
}

} // namespace tessel
