// Font-list reader: the input is a whole font list, read from memory into a
// fresh font table without a GL context (fonts are opened and sized by FreeType but not
// rendered), then cleaned. Exits become exceptions; a font FreeType refuses is
// reported and skipped by the reader itself. Font paths are files under the
// working folder (the fuzz script runs from data/) or the installed DejaVu fonts.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/font_engine.h"
#include "synth/exit.h"

namespace {

struct FuzzExit {
    int status;
};

[[noreturn]] void throw_exit(int status) { throw FuzzExit{status}; }

const std::string kFonts = "/usr/share/fonts/truetype/dejavu/";

/// Inputs whose path tokens could leave the working folder (absolute paths,
/// parent folders: a device would never end), counting how the reader cuts
/// tokens: at white space and after 59 characters. The DejaVu folder is allowed.
bool acceptable(const std::string& text) {
    if (text.find("..") != std::string::npos) return false;
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); i++) {
        if (std::isspace(static_cast<unsigned char>(text[i]))) {
            run = 0;
            continue;
        }
        run++;
        if (text[i] != '/') continue;
        if (run > 59) return false;
        if (run == 1 && text.compare(i, kFonts.size(), kFonts) != 0) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    set_exit_handler(throw_exit);
    // The reader reports on standard output; the fuzzer's own report is on standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!acceptable(text)) return -1;
    FONT_ENGINE fonts;
    try {
        fonts.Load_Fonts_Text(text.data(), text.size());
    } catch (const FuzzExit&) {
        std::abort();  // only an unreadable list may end the program
    }
    if (fonts.font_count < 0 || fonts.font_count > FONT_ENGINE_FONTS) std::abort();
    for (int i = 0; i < fonts.font_count; i++) {
        const freetype::font_data f12 = fonts.get_Font(i, 12);
        if (f12.height != 12.0f || f12.char_textures != nullptr) std::abort();  // sized, never rendered
    }
    return 0;
}
