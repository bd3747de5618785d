#pragma once

#include "compiler/CompilerLibrary.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace tessel {

// One callback the library made, in the order it made them.
struct TCompilerCall {
    enum Kind { Action, Macro, Variable, End };
    Kind kind = Action;
    long double time = 0;  // Action, Macro
    uint32_t code = 0;     // Action
    QByteArray bytes;      // Macro: its n content bytes
    QByteArray name;       // Variable
    long double value = 0; // Variable
};

// What the library reports while it compiles, in the library's units.
class ICompilerSink {
public:
    virtual ~ICompilerSink() = default;
    virtual void AddPrimAction(long double time, uint32_t code) = 0;
    virtual void AddCompAction(long double time, const uint8_t *macro) = 0;
    virtual void AddVar(const char *name, long double value) = 0;
    virtual void InfoEnd() = 0;
};

// The library's description of a failed compile.
struct TCompilerError {
    QString msg, file;
    int32_t line = 0, column = 0;
};

// Registers the forwarding callbacks, in the library's order. They reach the
// sink of the compile in progress and do nothing outside one.
void RegisterCompilerCallbacks(ICompilerLibrary &lib);

// The one way to run the library: registers the callbacks (a tool may have
// replaced them since), compiles with sink receiving every report, and on
// failure copies the error description into error at once, in the library's
// order. True when the source compiled.
bool DriveCompiler(ICompilerLibrary &lib, const QString &sourceFile, const QString &includeDir, ICompilerSink &sink,
                   TCompilerError &error);

struct TCompilerRun {
    bool ok = false;
    std::vector<TCompilerCall> calls;
    QString errorMsg, errorFile;
    int32_t errorLine = 0, errorColumn = 0;
};

// Runs the library collecting every callback. For tools and tests; the
// event table builder is a sink of its own.
TCompilerRun RunCompiler(ICompilerLibrary &lib, const QString &sourceFile, const QString &includeDir);

} // namespace tessel
