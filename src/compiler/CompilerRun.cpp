#include "compiler/CompilerRun.h"

#include <QFile>

namespace tessel {
namespace {

// The callbacks are plain functions; they reach the run in progress here.
TCompilerRun *g_run = nullptr;

extern "C" {
void CollectAction(long double time, uint32_t code) {
    if (g_run) {
        TCompilerCall c;
        c.time = time;
        c.code = code;
        g_run->calls.push_back(c);
    }
}
void CollectMacro(long double time, const uint8_t *macro) {
    if (g_run && macro) {
        TCompilerCall c;
        c.kind = TCompilerCall::Macro;
        c.time = time;
        c.bytes = QByteArray(reinterpret_cast<const char *>(macro + 2), macro[0]);
        g_run->calls.push_back(c);
    }
}
void CollectVar(const char *name, long double value) {
    if (g_run) {
        TCompilerCall c;
        c.kind = TCompilerCall::Variable;
        c.name = QByteArray(name ? name : "");
        c.value = value;
        g_run->calls.push_back(c);
    }
}
void CollectEnd() {
    if (g_run) {
        TCompilerCall c;
        c.kind = TCompilerCall::End;
        g_run->calls.push_back(c);
    }
}
void IgnoreFileName(int32_t, int32_t) {}
void IgnoreLineNum() {}
}

} // namespace

TCompilerRun RunCompiler(ICompilerLibrary &lib, const QString &sourceFile, const QString &includeDir) {
    TCompilerRun run;
    lib.SetAddPrimAction(CollectAction);
    lib.SetAddCompAction(CollectMacro);
    lib.SetAddVar(CollectVar);
    lib.SetInfoEnd(CollectEnd);
    lib.SetInfoFileName(IgnoreFileName);
    lib.SetInfoLineNum(IgnoreLineNum);
    g_run = &run;
    const QByteArray src = QFile::encodeName(sourceFile);
    const QByteArray inc = QFile::encodeName(includeDir);
    run.ok = lib.Compile(src.constData(), inc.constData()) != 0;
    g_run = nullptr;
    if (!run.ok) {
        // Copied at once, in this order: the library may reuse its buffers.
        const char *msg = lib.GetErrorMsg();
        run.errorMsg = QString::fromUtf8(msg ? msg : "");
        const char *file = lib.GetErrorFile();
        run.errorFile = QFile::decodeName(file ? file : "");
        run.errorLine = lib.GetErrorLine();
        run.errorColumn = lib.GetErrorColumn();
    }
    return run;
}

} // namespace tessel
