#pragma once

#include "compiler/CompilerConstants.h"
#include "compiler/CompilerRun.h"
#include "compiler/Events.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace tessel {

// Results of CompileProtocol.
enum : int32_t {
    kBuildOk = 0,
    kBuildSourceError = -1,
    kBuildTimingError = 2,
    kBuildNoEvent = 3,
    kBuildLimitExceeded = 4,
};

// Status values.
enum : int32_t {
    kStatusCreated = -3,
    kStatusFailed = -1,
    kStatusSourceEnd = 1,
    kStatusReady = 0,
};

inline const QString kWorkFileName = QStringLiteral("$$$code.$$$");

// x rounded to a multiple of step (halves to the even multiple); x itself
// when step is 0.
double Quantise(double step, double x);

// Turns a protocol into the instrument's timed program: hands the text to
// the compiler library, collects its actions, macros and variables, and
// builds the sorted event table checked against the line timing rules and the
// instrument's limits. One exists, owned by TCommonObjs.
class TCompiler : public ICompilerSink {
public:
    TCompiler();
    ~TCompiler() override;
    TCompiler(const TCompiler &) = delete;
    TCompiler &operator=(const TCompiler &) = delete;

    int32_t ErrorLine = 0, ErrorColumn = 0;
    TEvents Events;
    TMacroList Macros, InitMacros;
    int32_t RepeatCount = 0;
    long double RepeatTime = 0, RepeatExtra = 0;
    TVariables Vars;
    TSampleTimes SampleTimesA, SampleTimesB;
    int32_t SkippedA = 0, SkippedB = 0;
    // The instrument constants (from the configuration or the device).
    TCompilerConstants Constants;
    QString IncludeDir;
    int32_t Status = kStatusCreated;
    const void *Owner = nullptr;

    // Registers the callbacks with the installed library, in the library's
    // order. Done at creation and again before each build, since a tool that
    // ran the library in between may have replaced them.
    void RegisterCallbacks();

    // Builds the program for source; log receives every step. Returns one of
    // the kBuild* results.
    int32_t CompileProtocol(const QStringList &source, QStringList &log, const void *owner);
    // Steps after the library: from the primitive actions in Events to the
    // checked event table. CompileProtocol ends with it; benchmarks and tests
    // that feed actions directly call it themselves.
    int32_t BuildEventTable(QStringList &log);

    // Value of the last variable named exactly name; 0 when none.
    double FindVar(const QString &name) const;
    void Clear();

    // What the library reports, in the library's units.
    void AddPrimAction(long double time, uint32_t code) override;
    void AddCompAction(long double time, const uint8_t *macro) override;
    void AddVar(const char *name, long double value) override;
    void InfoEnd() override;

    // Where the source is saved for the library: the program's folder, or
    // the per-user folder when the program's folder cannot be written.
    static QString WorkFilePath();
    // A work file of the caller's for every build until reset with an empty
    // path: the command line gives each run its own, so runs never clash and
    // an installed program's folder is never written.
    static void SetWorkFilePath(const QString &path);

private:
    int32_t Abort(QStringList &log, const QString &message);
};

} // namespace tessel
