#include "engine/font_engine.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "synth/exit.h"
#include "synth/names.h"

FONT_ENGINE FONTS;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

FONT_ENGINE::FONT_ENGINE() : font_count(0) {
    for (auto& name : font_names) name[0] = '\0';
}

FONT_ENGINE::FONT_ENGINE(const char* path) : FONT_ENGINE() { Load_Fonts(path); }

FONT_ENGINE::~FONT_ENGINE() { Clean_Fonts(); }

namespace {
const char* const FALLBACK_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}  // namespace

void FONT_ENGINE::Load_Fonts(const char* path) {
    // Fonts of an earlier list would otherwise stay rendered with nobody to release them.
    Clean_Fonts();
    if (path == nullptr) path = "";
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path, "rt"));
    if (!f) {
        std::printf("Impossible d'ouvrir [%s]\n", path);
        kel_exit(-1);
    }
    read_font_list(f.get());
}

void FONT_ENGINE::Load_Fonts_Text(const char* data, std::size_t size) {
    Clean_Fonts();
    // The list is only read: the buffer is never written through the stream.
    std::unique_ptr<std::FILE, FileCloser> f(fmemopen(const_cast<char*>(size > 0 ? data : ""), size, "r"));
    if (!f) {
        std::printf("Cannot read a font list from memory\n");
        kel_exit(-1);
    }
    read_font_list(f.get());
}

void FONT_ENGINE::read_font_list(std::FILE* f) {
    char header[60], name[60], file[60];
    if (std::fscanf(f, "%59s %59s", header, header) != 2) return;
    while (std::fscanf(f, "%59s", name) == 1 && std::strcmp(name, "END") != 0) {
        if (std::fscanf(f, "%59s", file) != 1 || file[0] == '#') return;
        if (font_count >= FONT_ENGINE_FONTS) {
            std::printf("Font table full, [%s] not loaded\n", name);
            continue;
        }
        copy_name(font_names[font_count], name);
        // One unreadable font file costs that font, not the whole interface;
        // its number stays taken (labels name fonts by number), by the plain
        // sans font if that loads, else by an entry that draws nothing.
        try {
            load_TTF(file);
        } catch (const std::runtime_error& e) {
            std::printf("Font [%s] not loaded from [%s]: %s\n", name, file, e.what());
            try {
                load_TTF(FALLBACK_FONT);
                std::printf("Font [%s]: [%s] stands in\n", name, FALLBACK_FONT);
            } catch (const std::runtime_error&) {
                font_count++;
            }
        }
    }
}

FONT_ENGINE& FONT_ENGINE::load_TTF(const char* file) {
    if (font_count >= FONT_ENGINE_FONTS) {
        std::printf("Font table full, [%s] not loaded\n", file == nullptr ? "" : file);
        return *this;
    }
    freetype::font_data* sizes = font_table[font_count];
    // The file is opened once for all its sizes.
    const freetype::font_file opened(file);
    for (int size = FONT_SIZE_MIN; size <= FONT_SIZE_MAX; size++) {
        std::printf("()[%d][%s][%d]\n", font_count, file == nullptr ? "" : file, size);
        try {
            sizes[size].init(opened, static_cast<unsigned>(size));
        } catch (...) {
            for (int done = FONT_SIZE_MIN; done < size; done++) sizes[done].clean();
            throw;
        }
    }
    font_count++;
    return *this;
}

freetype::font_data FONT_ENGINE::get_Font(int font, int size) const {
    if (font < 0 || font >= font_count || size < FONT_SIZE_MIN || size > FONT_SIZE_MAX) return freetype::font_data();
    return font_table[font][size];
}

void FONT_ENGINE::Clean_Fonts() {
    for (int i = 0; i < font_count; i++) {
        for (int size = FONT_SIZE_MIN; size <= FONT_SIZE_MAX; size++) {
            std::printf("~()[%d][%d]\n", font_count, size);
            font_table[i][size].clean();
        }
        font_names[i][0] = '\0';
    }
    font_count = 0;
}
