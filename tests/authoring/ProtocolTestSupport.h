#pragma once
// The protocol suites' fixture (the experiment document's tests use it too).

#include "authoring/ProtocolDoc.h"
#include "compiler/Compiler.h"
#include "settings/EnvSetup.h"
#include "support/FakeCompilerLibrary.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>
#include <memory>

namespace tessel::test {

// A protocol document on the fake compiler library with a template in dir/include.
struct ProtocolFixture : ::testing::Test {
    TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    RecordingFileDialogService dialogs;
    ScopedFileDialogService dialogScope{&dialogs};
    TFakeCompilerLibrary *fake = nullptr;
    std::unique_ptr<TCompiler> compiler;
    TEnvSetup env;

    void SetUp() override {
        auto lib = std::make_unique<TFakeCompilerLibrary>();
        fake = lib.get();
        SetCompilerLibrary(std::move(lib));
        compiler = std::make_unique<TCompiler>();
        QDir().mkpath(dir.path("include"));
        WriteTextFile(dir.path("include/Default.1st"), "; protocol\ninclude \"std.inc\"\n\n0 s: flash\n");
    }
    void TearDown() override {
        compiler.reset();
        SetCompilerLibrary(nullptr);
    }
    std::unique_ptr<TProtocolDoc> makeDoc(TDevice d = ModelF) {
        return std::make_unique<TProtocolDoc>(*compiler, env, dir.path("include"), d);
    }
};

} // namespace tessel::test
