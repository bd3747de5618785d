#include "support/FakeCompilerLibrary.h"

namespace tessel {

int32_t TFakeCompilerLibrary::Compile(const char *sourceFile, const char *includeDir) {
    compiled.push_back(std::string(sourceFile ? sourceFile : "") + "|" + (includeDir ? includeDir : ""));
    for (const TCompilerCall &c : script) {
        switch (c.kind) {
        case TCompilerCall::Action:
            if (addPrimAction)
                addPrimAction(c.time, c.code);
            break;
        case TCompilerCall::Macro:
            if (addCompAction) {
                // Same layout as the real library: length, spare byte, content.
                QByteArray record(2, '\0');
                record[0] = char(uint8_t(c.bytes.size()));
                record += c.bytes.left(255);
                addCompAction(c.time, reinterpret_cast<const uint8_t *>(record.constData()));
            }
            break;
        case TCompilerCall::Variable:
            if (addVar)
                addVar(c.name.constData(), c.value);
            break;
        case TCompilerCall::End:
            break;
        }
    }
    if (succeed && infoEnd)
        infoEnd();
    return succeed ? 1 : 0;
}

namespace {
// Notes the call by name and hands back what it answers.
template <typename T> T Noted(QStringList &calls, const char *name, T value) {
    calls << QLatin1String(name);
    return value;
}
} // namespace

void TFakeCompilerLibrary::SetAddPrimAction(TAddPrimActionProc p) {
    addPrimAction = Noted(setOrder, "SetAddPrimAction", p);
}
void TFakeCompilerLibrary::SetAddCompAction(TAddCompActionProc p) {
    addCompAction = Noted(setOrder, "SetAddCompAction", p);
}
void TFakeCompilerLibrary::SetAddVar(TAddVarProc p) { addVar = Noted(setOrder, "SetAddVar", p); }
void TFakeCompilerLibrary::SetInfoEnd(TInfoEndProc p) { infoEnd = Noted(setOrder, "SetInfoEnd", p); }
void TFakeCompilerLibrary::SetInfoFileName(TInfoFileNameProc p) {
    infoFileName = Noted(setOrder, "SetInfoFileName", p);
}
void TFakeCompilerLibrary::SetInfoLineNum(TInfoLineNumProc p) { infoLineNum = Noted(setOrder, "SetInfoLineNum", p); }
const char *TFakeCompilerLibrary::GetErrorMsg() { return Noted(errorQueries, "GetErrorMsg", errorMsg.c_str()); }
const char *TFakeCompilerLibrary::GetErrorFile() { return Noted(errorQueries, "GetErrorFile", errorFile.c_str()); }
int32_t TFakeCompilerLibrary::GetErrorLine() { return Noted(errorQueries, "GetErrorLine", errorLine); }
int32_t TFakeCompilerLibrary::GetErrorColumn() { return Noted(errorQueries, "GetErrorColumn", errorColumn); }

void TFakeCompilerLibrary::action(long double time, uint32_t code) {
    script.push_back({TCompilerCall::Action, time, code, {}, {}, 0});
}
void TFakeCompilerLibrary::macro(long double time, const QByteArray &bytes) {
    script.push_back({TCompilerCall::Macro, time, 0, bytes, {}, 0});
}
void TFakeCompilerLibrary::variable(const QByteArray &name, long double value) {
    script.push_back({TCompilerCall::Variable, 0, 0, {}, name, value});
}

} // namespace tessel
