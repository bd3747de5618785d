#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace tessel {

// Callbacks the compiler library calls during Compile. Floating-point
// arguments are the platform's extended type.
extern "C" {
typedef void (*TAddPrimActionProc)(long double time, uint32_t code);
// macro: length byte n, one unused byte, then n content bytes.
typedef void (*TAddCompActionProc)(long double time, const uint8_t *macro);
typedef void (*TAddVarProc)(const char *name, long double value);
typedef void (*TInfoEndProc)();
typedef void (*TInfoFileNameProc)(int32_t a, int32_t b);
typedef void (*TInfoLineNumProc)();
}

// The eleven entry points of the protocol compiler library. The real one is
// loaded from libCompiler.so; tests use TFakeCompilerLibrary.
class ICompilerLibrary {
public:
    virtual ~ICompilerLibrary() = default;
    // Returns 0 when the source has errors, anything else on success.
    virtual int32_t Compile(const char *sourceFile, const char *includeDir) = 0;
    virtual void SetAddPrimAction(TAddPrimActionProc proc) = 0;
    virtual void SetAddCompAction(TAddCompActionProc proc) = 0;
    virtual void SetAddVar(TAddVarProc proc) = 0;
    virtual void SetInfoEnd(TInfoEndProc proc) = 0;
    virtual void SetInfoFileName(TInfoFileNameProc proc) = 0;
    virtual void SetInfoLineNum(TInfoLineNumProc proc) = 0;
    virtual const char *GetErrorMsg() = 0;
    virtual const char *GetErrorFile() = 0;
    virtual int32_t GetErrorLine() = 0;
    virtual int32_t GetErrorColumn() = 0;
};

inline const QString kCompilerLibraryName = QStringLiteral("Compiler");
inline const QString kCompilerLoadFailedText =
    QStringLiteral("Unable to load Compiler library\n\rApplication will be terminated");
inline const QString kCompilerEntryMissingText =
    QStringLiteral("Unable to get Compiler library function address\n\rApplication will be terminated");

// Loads lib<baseName>.so from programDir, else through the system's library
// search path, and looks up all eleven entry points. On failure shows the
// matching error dialog and returns null (no entry point is looked up when
// the library cannot be loaded).
std::unique_ptr<ICompilerLibrary> LoadCompilerLibrary(const QString &programDir,
                                                      const QString &baseName = kCompilerLibraryName);

// The process-wide library, null until installed.
ICompilerLibrary *CompilerLibrary();
// Installs lib (null removes it); returns the previous one.
std::unique_ptr<ICompilerLibrary> SetCompilerLibrary(std::unique_ptr<ICompilerLibrary> lib);

// Start-up step: loads the library from the program's folder and installs
// it. On failure the dialog has been shown and terminate(1) is called, by
// default std::exit; returns whether the library is installed.
bool InitCompilerLibrary(const std::function<void(int)> &terminate = {},
                         const QString &baseName = kCompilerLibraryName);

} // namespace tessel
