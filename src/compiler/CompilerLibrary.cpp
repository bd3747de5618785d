#include "compiler/CompilerLibrary.h"

#include "common/AppPaths.h"
#include "common/Log.h"
#include "common/MessageService.h"

#include <QDir>
#include <QFileInfo>
#include <cstdlib>
#include <dlfcn.h>

namespace tessel {
namespace {

extern "C" {
typedef int32_t (*TCompileProc)(const char *, const char *);
typedef void (*TSetProc)(void *);
typedef const char *(*TTextProc)();
typedef int32_t (*TIntProc)();
}

// The real library: dlopen handle plus the resolved entry points.
class TDynamicCompilerLibrary : public ICompilerLibrary {
public:
    explicit TDynamicCompilerLibrary(void *handle) : m_handle(handle) {}
    ~TDynamicCompilerLibrary() override {
        // The library stays loaded: callbacks into the program may still be
        // registered, and unloading gains nothing at the end of the program.
    }

    // Resolves every entry point; false when one is missing.
    bool Resolve() {
        return Sym(m_compile, "Compile") && Sym(m_setAddPrimAction, "SetAddPrimAction") &&
               Sym(m_setAddCompAction, "SetAddCompAction") && Sym(m_setAddVar, "SetAddVar") &&
               Sym(m_setInfoEnd, "SetInfoEnd") && Sym(m_setInfoFileName, "SetInfoFileName") &&
               Sym(m_setInfoLineNum, "SetInfoLineNum") && Sym(m_getErrorMsg, "GetErrorMsg") &&
               Sym(m_getErrorFile, "GetErrorFile") && Sym(m_getErrorLine, "GetErrorLine") &&
               Sym(m_getErrorColumn, "GetErrorColumn");
    }

    int32_t Compile(const char *s, const char *i) override { return m_compile(s, i); }
    void SetAddPrimAction(TAddPrimActionProc p) override { m_setAddPrimAction(p); }
    void SetAddCompAction(TAddCompActionProc p) override { m_setAddCompAction(p); }
    void SetAddVar(TAddVarProc p) override { m_setAddVar(p); }
    void SetInfoEnd(TInfoEndProc p) override { m_setInfoEnd(p); }
    void SetInfoFileName(TInfoFileNameProc p) override { m_setInfoFileName(p); }
    void SetInfoLineNum(TInfoLineNumProc p) override { m_setInfoLineNum(p); }
    const char *GetErrorMsg() override { return m_getErrorMsg(); }
    const char *GetErrorFile() override { return m_getErrorFile(); }
    int32_t GetErrorLine() override { return m_getErrorLine(); }
    int32_t GetErrorColumn() override { return m_getErrorColumn(); }

private:
    template <typename F> bool Sym(F &out, const char *name) {
        out = reinterpret_cast<F>(dlsym(m_handle, name));
        if (!out)
            WriteLog(QStringLiteral("Compiler library: entry point %1 missing").arg(QLatin1String(name)));
        return out != nullptr;
    }

    void *m_handle;
    TCompileProc m_compile = nullptr;
    void (*m_setAddPrimAction)(TAddPrimActionProc) = nullptr;
    void (*m_setAddCompAction)(TAddCompActionProc) = nullptr;
    void (*m_setAddVar)(TAddVarProc) = nullptr;
    void (*m_setInfoEnd)(TInfoEndProc) = nullptr;
    void (*m_setInfoFileName)(TInfoFileNameProc) = nullptr;
    void (*m_setInfoLineNum)(TInfoLineNumProc) = nullptr;
    TTextProc m_getErrorMsg = nullptr;
    TTextProc m_getErrorFile = nullptr;
    TIntProc m_getErrorLine = nullptr;
    TIntProc m_getErrorColumn = nullptr;
};

std::unique_ptr<ICompilerLibrary> &Installed() {
    static std::unique_ptr<ICompilerLibrary> lib;
    return lib;
}

} // namespace

std::unique_ptr<ICompilerLibrary> LoadCompilerLibrary(const QString &programDir, const QString &baseName) {
    const QString fileName = QStringLiteral("lib%1.so").arg(baseName);
    void *handle = nullptr;
    if (!programDir.isEmpty()) {
        const QString local = QDir(programDir).filePath(fileName);
        if (QFileInfo::exists(local))
            handle = dlopen(QFile::encodeName(local).constData(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle)
        handle = dlopen(QFile::encodeName(fileName).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = dlerror();
        WriteLog(QStringLiteral("Compiler library: %1").arg(QString::fromLocal8Bit(why ? why : "not found")));
        Messages().error(kCompilerLoadFailedText);
        return nullptr;
    }
    auto lib = std::make_unique<TDynamicCompilerLibrary>(handle);
    if (!lib->Resolve()) {
        Messages().error(kCompilerEntryMissingText);
        dlclose(handle);
        return nullptr;
    }
    return lib;
}

ICompilerLibrary *CompilerLibrary() { return Installed().get(); }

std::unique_ptr<ICompilerLibrary> SetCompilerLibrary(std::unique_ptr<ICompilerLibrary> lib) {
    std::swap(Installed(), lib);
    return lib;
}

bool InitCompilerLibrary(const std::function<void(int)> &terminate, const QString &baseName) {
    std::unique_ptr<ICompilerLibrary> lib = LoadCompilerLibrary(AppPaths::libraryDir(), baseName);
    if (!lib) {
        if (terminate)
            terminate(1);
        else
            std::exit(1);
        return false;
    }
    SetCompilerLibrary(std::move(lib));
    return true;
}

} // namespace tessel
