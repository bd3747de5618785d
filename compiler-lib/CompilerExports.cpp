// The library's C interface: callbacks registered by the program, Compile,
// and the description of the last error.

#include "ProtocolCompiler.h"

#include <cstdint>
#include <string>

#define COMPILER_EXPORT extern "C" __attribute__((visibility("default")))

using AddPrimActionProc = void (*)(long double time, uint32_t code);
using AddCompActionProc = void (*)(long double time, const uint8_t *macro);
using AddVarProc = void (*)(const char *name, long double value);
using InfoEndProc = void (*)();
using InfoFileNameProc = void (*)(int32_t depth, int32_t fileCount);
using InfoLineNumProc = void (*)();

namespace {

AddPrimActionProc g_addPrimAction = nullptr;
AddCompActionProc g_addCompAction = nullptr;
AddVarProc g_addVar = nullptr;
InfoEndProc g_infoEnd = nullptr;
InfoFileNameProc g_infoFileName = nullptr;
InfoLineNumProc g_infoLineNum = nullptr;

protocol::CompileError g_error;

// Forwards to whichever callbacks are registered; unregistered ones are skipped.
class CallbackSink : public protocol::Sink {
public:
    void Action(long double time, uint32_t code) override {
        if (g_addPrimAction)
            g_addPrimAction(time, code);
    }
    void Macro(long double time, const uint8_t *record) override {
        if (g_addCompAction)
            g_addCompAction(time, record);
    }
    void Variable(const char *name, long double value) override {
        if (g_addVar)
            g_addVar(name, value);
    }
    void End() override {
        if (g_infoEnd)
            g_infoEnd();
    }
    void FileEntered(int32_t depth, int32_t fileCount) override {
        if (g_infoFileName)
            g_infoFileName(depth, fileCount);
    }
    void LineRead() override {
        if (g_infoLineNum)
            g_infoLineNum();
    }
};

} // namespace

COMPILER_EXPORT int32_t Compile(const char *sourceFile, const char *includeDir) {
    CallbackSink sink;
    const bool ok = protocol::Compile(sourceFile ? sourceFile : "", includeDir ? includeDir : "", sink, g_error);
    return ok ? 1 : 0;
}

COMPILER_EXPORT void SetAddPrimAction(AddPrimActionProc p) { g_addPrimAction = p; }
COMPILER_EXPORT void SetAddCompAction(AddCompActionProc p) { g_addCompAction = p; }
COMPILER_EXPORT void SetAddVar(AddVarProc p) { g_addVar = p; }
COMPILER_EXPORT void SetInfoEnd(InfoEndProc p) { g_infoEnd = p; }
COMPILER_EXPORT void SetInfoFileName(InfoFileNameProc p) { g_infoFileName = p; }
COMPILER_EXPORT void SetInfoLineNum(InfoLineNumProc p) { g_infoLineNum = p; }
COMPILER_EXPORT const char *GetErrorMsg() { return g_error.message.c_str(); }
COMPILER_EXPORT const char *GetErrorFile() { return g_error.file.c_str(); }
COMPILER_EXPORT int32_t GetErrorLine() { return g_error.line; }
COMPILER_EXPORT int32_t GetErrorColumn() { return g_error.column; }
