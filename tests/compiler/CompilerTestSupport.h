#pragma once

#include "compiler/CompilerLibrary.h"
#include "compiler/CompilerRun.h"
#include "support/TestSupport.h"

#include <QString>
#include <QStringList>
#include <cstdio>

namespace tessel::test {

// The real libCompiler.so from the build's program folder, loaded once.
inline ICompilerLibrary &RealCompiler() {
    static std::unique_ptr<ICompilerLibrary> lib = LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR"));
    if (!lib)
        std::abort();
    return *lib;
}

inline QString Num(long double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.12Lg", v);
    return QString::fromLatin1(buf);
}

// Callbacks as compact text: "A time code", "M time bytes", "V name value", "E".
inline QString CallsText(const TCompilerRun &r) {
    QStringList out;
    for (const TCompilerCall &c : r.calls) {
        switch (c.kind) {
        case TCompilerCall::Action:
            out << QStringLiteral("A %1 %2").arg(Num(c.time)).arg(c.code, 8, 16, QLatin1Char('0'));
            break;
        case TCompilerCall::Macro:
            out << QStringLiteral("M %1 %2").arg(Num(c.time), QString::fromLatin1(c.bytes.toHex(' ')));
            break;
        case TCompilerCall::Variable:
            out << QStringLiteral("V %1 %2").arg(QString::fromUtf8(c.name), Num(c.value));
            break;
        case TCompilerCall::End:
            out << QStringLiteral("E");
            break;
        }
    }
    return out.join(QLatin1Char('|'));
}

// Writes source to a file in dir and compiles it with the real library.
inline TCompilerRun CompileText(const TestDir &dir, const QString &source, const QString &includeDir = {},
                                const QString &name = QStringLiteral("protocol.p")) {
    WriteTextFile(dir.path(name), source);
    return RunCompiler(RealCompiler(), dir.path(name), includeDir);
}

} // namespace tessel::test
