#pragma once

// The protocol language: reads a protocol file (and its includes) and reports
// its timed actions, macros and variables to a sink in source order.

#include <cstdint>
#include <string>

namespace protocol {

// Receives what the protocol defines, in source order. Macro records are
// laid out as the program expects them: length byte n, one spare byte, then
// the n content bytes.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void Action(long double time, uint32_t code) = 0;
    virtual void Macro(long double time, const uint8_t *record) = 0;
    virtual void Variable(const char *name, long double value) = 0;
    virtual void End() = 0;
    // Informational: a file was entered (depth, number of files so far) and
    // a source line was read.
    virtual void FileEntered(int32_t depth, int32_t fileCount) {}
    virtual void LineRead() {}
};

struct CompileError {
    std::string message;
    std::string file;
    int32_t line = 0;
    int32_t column = 0;
};

// Limits that keep any input from exhausting time or memory.
constexpr int kMaxIncludeDepth = 16;
constexpr int kMaxExpressionDepth = 64;
constexpr long kMaxActions = 1000000;

// Action code bits.
constexpr uint32_t kLineMask = 0xFFFFu;
constexpr uint32_t kRecordA = 1u << 0, kRecordB = 1u << 1;
constexpr uint32_t kSkipA = 1u << 5, kSkipB = 1u << 6;
constexpr uint32_t kBurst = 1u << 24;
constexpr uint32_t kReset = 1u << 28;
// Bits 16 to 23 of a switch-on carry the number of its mark (see "mark").
constexpr uint32_t kMarkShift = 16;

// Compiles the protocol in sourceFile. includeDir is searched first for
// included files (may be empty). Returns true on success, after Sink::End;
// on failure fills error and stops at the first error.
bool Compile(const std::string &sourceFile, const std::string &includeDir, Sink &sink, CompileError &error);

} // namespace protocol
