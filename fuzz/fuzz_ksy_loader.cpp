// Patch loader: the input is a whole patch file (objects and links sections),
// read from memory into a patch that is then stepped a few samples, so that
// every link made must point at a live word. Exits become exceptions.
#include <cstdint>
#include <cstdio>
#include <string>

#include "patch/ksy_reader.h"
#include "synth/exit.h"
#include "synth/generator.h"
#include "synth/notes.h"

namespace {

struct FuzzExit {
    int status;
};

[[noreturn]] void throw_exit(int status) { throw FuzzExit{status}; }

/// Inputs that would make the loader read files outside the program's data
/// (absolute paths, parent folders: a device would never end), or load the
/// sample file so often that memory, not the loader, is what gets tested.
bool acceptable(const std::string& text) {
    if (text.find("=/") != std::string::npos || text.find("..") != std::string::npos) return false;
    int samplers = 0;
    for (std::size_t at = text.find("SAMPLER"); at != std::string::npos; at = text.find("SAMPLER", at + 1))
        if (++samplers > 8) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fill_NOTE2FREQ();
    set_exit_handler(throw_exit);
    // The loader reports on standard output; the fuzzer's own report is on standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!acceptable(text)) return -1;

    GENERATOR g;
    try {
        load_ksy_bytes(g, text.data(), text.size(), "fuzz.ksy");
    } catch (const FuzzExit&) {
        // The load ended the program on purpose; what it built is still released.
    }
    for (int i = 0; i < 64; i++) g.evolue();
    return 0;
}
