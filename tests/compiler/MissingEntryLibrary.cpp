// Exports every entry point of the compiler library except GetErrorColumn.
#include <cstdint>

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int32_t Compile(const char *, const char *) { return 0; }
EXPORT void SetAddPrimAction(void *) {}
EXPORT void SetAddCompAction(void *) {}
EXPORT void SetAddVar(void *) {}
EXPORT void SetInfoEnd(void *) {}
EXPORT void SetInfoFileName(void *) {}
EXPORT void SetInfoLineNum(void *) {}
EXPORT const char *GetErrorMsg() { return ""; }
EXPORT const char *GetErrorFile() { return ""; }
EXPORT int32_t GetErrorLine() { return 0; }
