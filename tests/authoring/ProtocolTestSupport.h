#pragma once
// Test helpers of the protocol suites (the experiment document's tests use the
// fixture too) and the pixel count of the authoring screenshots.

#include "authoring/ProtocolDoc.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "compiler/CompilerLibrary.h"
#include "settings/EnvSetup.h"
#include "support/FakeCompilerLibrary.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QImage>
#include <QWidget>
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

// Pixels of text and lines (dark on the light default palette) inside a
// child's area of a window's picture.
inline int DarkPixels(const QImage &img, const QWidget *window, const QWidget *child) {
    int n = 0;
    for (int y = 0; y < child->height(); ++y)
        for (int x = 0; x < child->width(); ++x)
            n += qGray(img.pixel(child->mapTo(window, QPoint(x, y)))) < 100;
    return n;
}

} // namespace tessel::test
