#include "compiler/CompilerRun.h"

#include <QFile>

namespace tessel {
namespace {

// The callbacks are plain functions; they reach the compile in progress here.
ICompilerSink *g_sink = nullptr;

extern "C" {
void OnPrimAction(long double time, uint32_t code) {
    if (g_sink)
        g_sink->AddPrimAction(time, code);
}
void OnCompAction(long double time, const uint8_t *macro) {
    if (g_sink && macro)
        g_sink->AddCompAction(time, macro);
}
void OnVar(const char *name, long double value) {
    if (g_sink)
        g_sink->AddVar(name, value);
}
void OnInfoEnd() {
    if (g_sink)
        g_sink->InfoEnd();
}
void OnFileName(int32_t, int32_t) {}
void OnLineNum() {}
}

// Clears the sink however the compile ends.
struct SinkScope {
    explicit SinkScope(ICompilerSink *s) { g_sink = s; }
    ~SinkScope() { g_sink = nullptr; }
    SinkScope(const SinkScope &) = delete;
    SinkScope &operator=(const SinkScope &) = delete;
};

class Collector : public ICompilerSink {
public:
    explicit Collector(std::vector<TCompilerCall> &calls) : m_calls(calls) {}
    void AddPrimAction(long double time, uint32_t code) override {
        TCompilerCall c;
        c.time = time;
        c.code = code;
        m_calls.push_back(c);
    }
    void AddCompAction(long double time, const uint8_t *macro) override {
        TCompilerCall c;
        c.kind = TCompilerCall::Macro;
        c.time = time;
        c.bytes = QByteArray(reinterpret_cast<const char *>(macro + 2), macro[0]);
        m_calls.push_back(c);
    }
    void AddVar(const char *name, long double value) override {
        TCompilerCall c;
        c.kind = TCompilerCall::Variable;
        c.name = QByteArray(name ? name : "");
        c.value = value;
        m_calls.push_back(c);
    }
    void InfoEnd() override {
        TCompilerCall c;
        c.kind = TCompilerCall::End;
        m_calls.push_back(c);
    }

private:
    std::vector<TCompilerCall> &m_calls;
};

} // namespace

void RegisterCompilerCallbacks(ICompilerLibrary &lib) {
    lib.SetAddPrimAction(OnPrimAction);
    lib.SetAddCompAction(OnCompAction);
    lib.SetAddVar(OnVar);
    lib.SetInfoEnd(OnInfoEnd);
    lib.SetInfoFileName(OnFileName);
    lib.SetInfoLineNum(OnLineNum);
}

bool DriveCompiler(ICompilerLibrary &lib, const QString &sourceFile, const QString &includeDir, ICompilerSink &sink,
                   TCompilerError &error) {
    RegisterCompilerCallbacks(lib);
    const QByteArray src = QFile::encodeName(sourceFile);
    const QByteArray inc = QFile::encodeName(includeDir);
    bool ok = false;
    {
        const SinkScope scope(&sink);
        ok = lib.Compile(src.constData(), inc.constData()) != 0;
    }
    if (!ok) {
        // Copied at once, in this order: the library may reuse its buffers.
        const char *msg = lib.GetErrorMsg();
        error.msg = QString::fromUtf8(msg ? msg : "");
        const char *file = lib.GetErrorFile();
        error.file = QFile::decodeName(file ? file : "");
        error.line = lib.GetErrorLine();
        error.column = lib.GetErrorColumn();
    }
    return ok;
}

TCompilerRun RunCompiler(ICompilerLibrary &lib, const QString &sourceFile, const QString &includeDir) {
    TCompilerRun run;
    Collector collect(run.calls);
    TCompilerError error;
    run.ok = DriveCompiler(lib, sourceFile, includeDir, collect, error);
    run.errorMsg = error.msg;
    run.errorFile = error.file;
    run.errorLine = error.line;
    run.errorColumn = error.column;
    return run;
}

} // namespace tessel
