// libFuzzer target for the protocol language: any text must end in success
// or a positioned error, within the library's action limit.
#include "ProtocolCompiler.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

class CountingSink : public protocol::Sink {
public:
    long calls = 0;
    void Action(long double, uint32_t) override { ++calls; }
    void Macro(long double, const uint8_t *record) override {
        ++calls;
        // Touch every content byte so that a wrong length shows up under ASan.
        volatile uint8_t sum = 0;
        for (int i = 0; i < record[0]; ++i)
            sum = uint8_t(sum + record[2 + i]);
    }
    void Variable(const char *name, long double) override {
        ++calls;
        if (!name || !*name)
            std::abort();
    }
    void End() override {}
};

std::string g_dir;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char tmpl[] = "/tmp/protocol_fuzz_XXXXXX";
    if (!mkdtemp(tmpl))
        std::abort();
    g_dir = tmpl;
    // A small include file the inputs can use.
    if (FILE *f = std::fopen((g_dir + "/device.inc").c_str(), "w")) {
        std::fputs("line L = 4\nline F = 2\nconst SampleWidth = 2 us\nbytes Cmd = \"SA3\"\n", f);
        std::fclose(f);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string path = g_dir + "/input.p";
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    CountingSink sink;
    protocol::CompileError error;
    const bool ok = protocol::Compile(path, g_dir + "/", sink, error);
    if (!ok && error.message.empty())
        std::abort();
    if (sink.calls > protocol::kMaxActions + 100000)
        std::abort();
    return 0;
}
