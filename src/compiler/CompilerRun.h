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

struct TCompilerRun {
    bool ok = false;
    std::vector<TCompilerCall> calls;
    QString errorMsg, errorFile;
    int32_t errorLine = 0, errorColumn = 0;
};

// Registers collecting callbacks (replacing whatever was registered), runs
// Compile and, on failure, reads the error description. For tools and tests;
// the event table builder registers its own callbacks.
TCompilerRun RunCompiler(ICompilerLibrary &lib, const QString &sourceFile, const QString &includeDir);

} // namespace tessel
