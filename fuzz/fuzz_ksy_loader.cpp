// Patch loader: the input is a whole patch file (objects and links sections),
// read from memory into a patch that is then stepped a few samples, so that
// every link made must point at a live word. Exits become exceptions.
//
// It runs in a copy of the working folder (the program's data, which the fuzz
// script runs from) whose sounds are 64-frame WAV files of the same names:
// every sampler loads one, and reading hundreds of kilobytes per sampler per
// run would leave little time for the loader. WAV files have a target of their own.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

namespace fs = std::filesystem;
fs::path fixture;

/// 64 frames of 16-bit stereo PCM at 44,100 Hz: a rising ramp.
void write_small_wav(const fs::path& path) {
    constexpr std::uint32_t frames = 64, data_bytes = frames * 4;
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; i++) f.put(static_cast<char>(v >> (8 * i))); };
    auto u16 = [&](std::uint32_t v) { for (int i = 0; i < 2; i++) f.put(static_cast<char>(v >> (8 * i))); };
    f << "RIFF";
    u32(36 + data_bytes);
    f << "WAVEfmt ";
    u32(16);
    u16(1);  // PCM
    u16(2);  // stereo
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    f << "data";
    u32(data_bytes);
    for (std::uint32_t i = 0; i < frames * 2; i++) u16(i * 512);
}

/// The working folder's entries, linked, but its sounds small; then works there.
bool enter_fixture() {
    const fs::path data = fs::current_path();
    fixture = fs::temp_directory_path() / ("fuzz_ksy_loader_" + std::to_string(getpid()));
    std::error_code e;
    fs::create_directories(fixture / "Sounds", e);
    for (const auto& entry : fs::directory_iterator(data, e))
        if (entry.path().filename() != "Sounds") fs::create_symlink(entry.path(), fixture / entry.path().filename(), e);
    for (const auto& entry : fs::directory_iterator(data / "Sounds", e))
        write_small_wav(fixture / "Sounds" / entry.path().filename());
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(fixture, ignored);
    });
    fs::current_path(fixture, e);
    return !e;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fill_NOTE2FREQ();
    set_exit_handler(throw_exit);
    if (!enter_fixture()) return 1;
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
