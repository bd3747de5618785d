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
    void SetAddPrimAction(TAddPrimActionProc p) override;
    void SetAddCompAction(TAddCompActionProc p) override;
    void SetAddVar(TAddVarProc p) override;
    void SetInfoEnd(TInfoEndProc p) override;
    void SetInfoFileName(TInfoFileNameProc p) override;
    void SetInfoLineNum(TInfoLineNumProc p) override;
    const char *GetErrorMsg() override;
    const char *GetErrorFile() override;
    int32_t GetErrorLine() override;
    int32_t GetErrorColumn() override;

    // Script helpers.
    void action(long double time, uint32_t code);
    void macro(long double time, const QByteArray &bytes);
    void variable(const QByteArray &name, long double value);
};

} // namespace tessel
