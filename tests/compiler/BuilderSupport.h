#pragma once

#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "support/FakeCompilerLibrary.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <memory>

namespace tessel::test {

constexpr uint32_t kSet = 0, kReset = kResetBit;

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
