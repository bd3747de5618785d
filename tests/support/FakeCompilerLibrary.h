#pragma once

#include "compiler/CompilerLibrary.h"
#include "compiler/CompilerRun.h"

#include <QByteArray>
#include <QStringList>
#include <string>
#include <vector>

namespace tessel {

// Stands in for libCompiler.so in tests: Compile plays a scripted list of
// callbacks through whatever was registered, then reports success (with the
// end-of-source callback) or the scripted error.
class TFakeCompilerLibrary : public ICompilerLibrary {
public:
    // Script. End entries in `script` are ignored; End is sent on success.
    std::vector<TCompilerCall> script;
    bool succeed = true;
    std::string errorMsg, errorFile;
    int32_t errorLine = 0, errorColumn = 0;

    // What the program did.
    QStringList setOrder;              // entry points registered, in order
    std::vector<std::string> compiled; // "source|includeDir" per Compile
    QStringList errorQueries;          // error getters called, in order

    TAddPrimActionProc addPrimAction = nullptr;
    TAddCompActionProc addCompAction = nullptr;
    TAddVarProc addVar = nullptr;
    TInfoEndProc infoEnd = nullptr;
    TInfoFileNameProc infoFileName = nullptr;
    TInfoLineNumProc infoLineNum = nullptr;

    int32_t Compile(const char *sourceFile, const char *includeDir) override;
    void SetAddPrimAction(TAddPrimActionProc p) override { addPrimAction = Noted(setOrder, "SetAddPrimAction", p); }
    void SetAddCompAction(TAddCompActionProc p) override { addCompAction = Noted(setOrder, "SetAddCompAction", p); }
    void SetAddVar(TAddVarProc p) override { addVar = Noted(setOrder, "SetAddVar", p); }
    void SetInfoEnd(TInfoEndProc p) override { infoEnd = Noted(setOrder, "SetInfoEnd", p); }
    void SetInfoFileName(TInfoFileNameProc p) override { infoFileName = Noted(setOrder, "SetInfoFileName", p); }
    void SetInfoLineNum(TInfoLineNumProc p) override { infoLineNum = Noted(setOrder, "SetInfoLineNum", p); }
    const char *GetErrorMsg() override { return Noted(errorQueries, "GetErrorMsg", errorMsg.c_str()); }
    const char *GetErrorFile() override { return Noted(errorQueries, "GetErrorFile", errorFile.c_str()); }
    int32_t GetErrorLine() override { return Noted(errorQueries, "GetErrorLine", errorLine); }
    int32_t GetErrorColumn() override { return Noted(errorQueries, "GetErrorColumn", errorColumn); }

    // Script helpers.
    void action(long double time, uint32_t code) { script.push_back({TCompilerCall::Action, time, code, {}, {}, 0}); }
    void macro(long double time, const QByteArray &bytes) {
        script.push_back({TCompilerCall::Macro, time, 0, bytes, {}, 0});
    }
    void variable(const QByteArray &name, long double value) {
        script.push_back({TCompilerCall::Variable, 0, 0, {}, name, value});
    }

private:
    // Notes the call by name and hands back what it answers.
    template <typename T> static T Noted(QStringList &calls, const char *name, T value) {
        calls << QLatin1String(name);
        return value;
    }
};

} // namespace tessel
