// KIM reader: the input is a whole image-library file, read into a fresh
// library without a GL context (so nothing is uploaded), then released. Exits
// become exceptions. Pictures named by the input are files under the working
// folder (the fuzz script runs from data/) and a few small sheets this target
// writes itself.
#include <SDL.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/kbiblio.h"
#include "synth/exit.h"

namespace {

struct FuzzExit {
    int status;
};

[[noreturn]] void throw_exit(int status) { throw FuzzExit{status}; }

std::string kim_path;
std::string pictures;  // folder of the target's own pictures, "<folder>/"

/// Inputs whose path tokens could leave the working folder (absolute paths,
/// parent folders; a device would never end), counting how the reader cuts
/// tokens: at white space, after 59 characters, and after the digits of a
/// number. Numbers above 64 are refused too, so that tiles stay small and a
/// full library of them is cheap. The target's own folder is allowed.
bool acceptable(const std::string& text) {
    if (text.find("..") != std::string::npos) return false;
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); i++) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isspace(c)) {
            run = 0;
            continue;
        }
        run++;
        if (c == '/' && (run == 1 || run > 59 || std::isdigit(static_cast<unsigned char>(text[i - 1])))) {
            if (run != 1 || text.compare(i, pictures.size(), pictures) != 0) return false;
        }
        if (run == 1 || text[i - 1] == '+' || text[i - 1] == '-') {
            // The start of something %d may read: its value must stay small.
            std::size_t d = i;
            while (d < text.size() && (text[d] == '+' || text[d] == '-')) d++;
            long value = 0;
            for (; d < text.size() && std::isdigit(static_cast<unsigned char>(text[d])) && value <= 64; d++)
                value = value * 10 + (text[d] - '0');
            if (value > 64) return false;
        }
    }
    return true;
}

/// A small picture of the given depth, with a different colour in each 8 x 8 square.
void write_picture(const std::string& name, int w, int h, int bits) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, bits, 0, 0, 0, 0);
    if (s == nullptr) return;
    if (bits == 8) {
        SDL_Color palette[16];
        for (int i = 0; i < 16; i++) palette[i] = SDL_Color{Uint8(i * 16), Uint8(255 - i * 16), Uint8(i * 7), 0};
        SDL_SetColors(s, palette, 0, 16);
    }
    for (int y = 0; y < h; y += 8)
        for (int x = 0; x < w; x += 8) {
            SDL_Rect r{Sint16(x), Sint16(y), 8, 8};
            SDL_FillRect(s, &r, SDL_MapRGB(s->format, Uint8(x * 5), Uint8(y * 9), Uint8(x + y)));
        }
    SDL_SaveBMP(s, (pictures + name).c_str());
    SDL_FreeSurface(s);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    set_exit_handler(throw_exit);
    const std::string stem = "/tmp/fuzz_kim_" + std::to_string(getpid());
    kim_path = stem + ".KIM";
    pictures = stem + "_pictures/";
    std::filesystem::create_directories(pictures);
    write_picture("sheet.bmp", 100, 33, 24);
    write_picture("pal.bmp", 40, 24, 8);
    write_picture("one.bmp", 4, 3, 24);
    std::atexit([] {
        std::remove(kim_path.c_str());
        std::error_code ignored;
        std::filesystem::remove_all(pictures, ignored);
    });
    // The reader reports on standard output; the fuzzer's own report is on standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Seeds name the target's pictures as "@name"; so may any input.
    std::string text(reinterpret_cast<const char*>(data), size);
    for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + pictures.size()))
        text.replace(at, 1, pictures);
    if (!acceptable(text)) return -1;
    std::FILE* f = std::fopen(kim_path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);

    KBIBLIO lib;
    try {
        lib.load_KIM(kim_path.c_str());
    } catch (const FuzzExit&) {
        // A missing SIMPLEPART picture ends the program on purpose.
    }
    if (lib.image_count < 0 || lib.image_count > KBIBLIO_CAPACITY) std::abort();
    for (int i = 0; i < lib.image_count; i++) {
        const SDL_Surface* s = lib.images[i];
        if (s == nullptr || s->w != lib.widths[i] || s->h != lib.heights[i] || lib.get_index_image(lib.names[i]) != i)
            std::abort();
    }
    lib.release_all();
    return 0;
}
