// Patch loader: the input is a whole patch file (objects and links sections),
// loaded into a patch that is then stepped a few samples, so that every link
// made must point at a live word. Exits become exceptions.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "synth/exit.h"
#include "synth/generator.h"
#include "synth/notes.h"

namespace {

struct FuzzExit {
    int status;
};

[[noreturn]] void throw_exit(int status) { throw FuzzExit{status}; }

std::string patch_path;

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
    patch_path = "/tmp/fuzz_ksy_loader_" + std::to_string(getpid()) + ".ksy";
    std::atexit([] { std::remove(patch_path.c_str()); });
    // The loader reports on standard output; the fuzzer's own report is on standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!acceptable(text)) return -1;
    std::FILE* f = std::fopen(patch_path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    GENERATOR g;
    try {
        g.load_KSY(&patch_path[0]);
    } catch (const FuzzExit&) {
        // The load ended the program on purpose; what it built is still released.
    }
    for (int i = 0; i < 64; i++) g.evolue();
    return 0;
}
