#pragma once

#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "compiler/CompilerLibrary.h"
#include "compiler/CompilerRun.h"
#include "support/FakeCompilerLibrary.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace tessel::test {

// The real libCompiler.so from the build's program folder, loaded once.
inline ICompilerLibrary &RealCompiler() {
    static std::unique_ptr<ICompilerLibrary> lib = LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR"));
    if (!lib)
        std::abort();
    return *lib;
}

// Callbacks as compact text: "A time code", "M time bytes", "V name value", "E".
inline QString CallsText(const TCompilerRun &r) {
    QStringList out;
    for (const TCompilerCall &c : r.calls) {
        switch (c.kind) {
        case TCompilerCall::Action:
            out << QStringLiteral("A %1 %2")
                       .arg(QString::number(double(c.time), 'g', 12))
                       .arg(c.code, 8, 16, QLatin1Char('0'));
            break;
        case TCompilerCall::Macro:
            out << QStringLiteral("M %1 %2").arg(QString::number(double(c.time), 'g', 12),
                                                 QString::fromLatin1(c.bytes.toHex(' ')));
            break;
        case TCompilerCall::Variable:
            out << QStringLiteral("V %1 %2").arg(QString::fromUtf8(c.name), QString::number(double(c.value), 'g', 12));
            break;
        case TCompilerCall::End:
            out << QStringLiteral("E");
            break;
        }
    }
    return out.join(QLatin1Char('|'));
}

// Writes source to a file in dir and compiles it with the real library.
inline TCompilerRun CompileText(const TestDir &dir, const QString &source, const QString &includeDir = {}) {
    WriteTextFile(dir.path("protocol.p"), source);
    return RunCompiler(RealCompiler(), dir.path("protocol.p"), includeDir);
}

// A TCompiler building from a scripted library, with the dialogs recorded.
struct BuilderHarness {
    TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TFakeCompilerLibrary *fake = nullptr;
    std::unique_ptr<ICompilerLibrary> previous;
    std::unique_ptr<TCompiler> compiler;
    QStringList log;

    BuilderHarness() {
        auto lib = std::make_unique<TFakeCompilerLibrary>();
        fake = lib.get();
        previous = SetCompilerLibrary(std::move(lib));
        compiler = std::make_unique<TCompiler>();
        // Bounds that never trigger unless a test sets them.
        for (TLineBounds &l : compiler->Constants.Bounds)
            l = TLineBounds{{0, false}, {1e6, false}, {0, false}, {1e6, false}};
        compiler->Constants.MaxEvents = compiler->Constants.MaxASamples = compiler->Constants.MaxBSamples = 100000;
        compiler->Constants.TimerBits = 32; // long gaps need no fillers unless a test asks
        compiler->Constants.TimePropagation = 0;
    }
    ~BuilderHarness() {
        compiler.reset();
        SetCompilerLibrary(std::move(previous));
    }
    TCompiler &c() { return *compiler; }
    int32_t Build(const void *owner = nullptr) {
        log.clear();
        return compiler->CompileProtocol({QStringLiteral("protocol")}, log, owner);
    }
    // The event table as "time:state" pairs.
    QStringList Table() const {
        QStringList out;
        for (int32_t i = 0; i < compiler->Events.Count(); ++i)
            out << QString::asprintf("%g:%04X", compiler->Events.At(i).Time, unsigned(compiler->Events.At(i).Code));
        return out;
    }
};

} // namespace tessel::test
