// RC reader and writer: the input is a whole panel resource file, read into a
// fresh panel (no image library, no display), written back and read again.
// Exits (a malformed THIS entry ends the program) become exceptions.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/objet.h"
#include "synth/exit.h"

namespace {
struct FuzzExit {
    int status;
};
[[noreturn]] void throw_exit(int status) { throw FuzzExit{status}; }

const std::string& scratch(const char* what) {
    static const std::string in = "/tmp/fuzz_rc_" + std::to_string(getpid()) + ".RC";
    static const std::string out = "/tmp/fuzz_rc_" + std::to_string(getpid()) + "_out.RC";
    return what[0] == 'i' ? in : out;
}

void read_into_panel(const std::string& path, bool write_back) {
    OBJET* panel = new OBJET(0, 0, "12");
    try {
        panel->load_RC(path.c_str());
        panel->get_SPRITE_by_name("IMAGE_FOND");
        panel->calcule_lasurfaceoccupee();
        if (write_back) panel->view_RC(scratch("out").c_str());
    } catch (const FuzzExit&) {
    }
    destroy_panel(panel);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    set_exit_handler(throw_exit);
    std::FILE* f = std::fopen(scratch("in").c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    read_into_panel(scratch("in"), true);
    read_into_panel(scratch("out"), false);
    std::remove(scratch("in").c_str());
    std::remove(scratch("out").c_str());
    return 0;
}
