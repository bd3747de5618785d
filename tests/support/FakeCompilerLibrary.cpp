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

void TFakeCompilerLibrary::SetAddPrimAction(TAddPrimActionProc p) {
    setOrder << QStringLiteral("SetAddPrimAction");
    addPrimAction = p;
}
void TFakeCompilerLibrary::SetAddCompAction(TAddCompActionProc p) {
    setOrder << QStringLiteral("SetAddCompAction");
    addCompAction = p;
}
void TFakeCompilerLibrary::SetAddVar(TAddVarProc p) {
    setOrder << QStringLiteral("SetAddVar");
    addVar = p;
}
void TFakeCompilerLibrary::SetInfoEnd(TInfoEndProc p) {
    setOrder << QStringLiteral("SetInfoEnd");
    infoEnd = p;
}
void TFakeCompilerLibrary::SetInfoFileName(TInfoFileNameProc p) {
    setOrder << QStringLiteral("SetInfoFileName");
    infoFileName = p;
}
void TFakeCompilerLibrary::SetInfoLineNum(TInfoLineNumProc p) {
    setOrder << QStringLiteral("SetInfoLineNum");
    infoLineNum = p;
}
const char *TFakeCompilerLibrary::GetErrorMsg() {
    errorQueries << QStringLiteral("GetErrorMsg");
    return errorMsg.c_str();
}
const char *TFakeCompilerLibrary::GetErrorFile() {
    errorQueries << QStringLiteral("GetErrorFile");
    return errorFile.c_str();
}
int32_t TFakeCompilerLibrary::GetErrorLine() {
    errorQueries << QStringLiteral("GetErrorLine");
    return errorLine;
}
int32_t TFakeCompilerLibrary::GetErrorColumn() {
    errorQueries << QStringLiteral("GetErrorColumn");
    return errorColumn;
}

void TFakeCompilerLibrary::action(long double time, uint32_t code) {
    TCompilerCall c;
    c.time = time;
    c.code = code;
    script.push_back(c);
}
void TFakeCompilerLibrary::macro(long double time, const QByteArray &bytes) {
    TCompilerCall c;
    c.kind = TCompilerCall::Macro;
    c.time = time;
    c.bytes = bytes;
    script.push_back(c);
}
void TFakeCompilerLibrary::variable(const QByteArray &name, long double value) {
    TCompilerCall c;
    c.kind = TCompilerCall::Variable;
    c.name = name;
    c.value = value;
    script.push_back(c);
}

} // namespace tessel
