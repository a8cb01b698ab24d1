#include "engine/kbiblio.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "engine/gl_context.h"
#include "synth/exit.h"
#include "synth/names.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

/// Holds a surface locked for direct pixel access while in scope.
class PixelLock {
public:
    explicit PixelLock(SDL_Surface* s) : surface(s), locked(SDL_MUSTLOCK(s) && SDL_LockSurface(s) == 0) {}
    ~PixelLock() {
        if (locked) SDL_UnlockSurface(surface);
    }
    PixelLock(const PixelLock&) = delete;
    PixelLock& operator=(const PixelLock&) = delete;

private:
    SDL_Surface* surface;
    bool locked;
};

/// The raw pixel value at (x, y) of a surface of 1 to 4 bytes per pixel.
Uint32 raw_pixel(const SDL_Surface* s, int x, int y) {
    const int bpp = s->format->BytesPerPixel;
    const Uint8* p = static_cast<const Uint8*>(s->pixels) + y * s->pitch + x * bpp;
    switch (bpp) {
    case 1:
        return *p;
    case 2: {
        Uint16 v;
        std::memcpy(&v, p, 2);
        return v;
    }
    case 3:
        if (SDL_BYTEORDER == SDL_BIG_ENDIAN) return (Uint32(p[0]) << 16) | (Uint32(p[1]) << 8) | p[2];
        return p[0] | (Uint32(p[1]) << 8) | (Uint32(p[2]) << 16);
    default: {
        Uint32 v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

/// Writes a raw value into a 24-bit surface.
void put_raw24(SDL_Surface* s, int x, int y, Uint32 v) {
    Uint8* p = static_cast<Uint8*>(s->pixels) + y * s->pitch + x * 3;
    if (SDL_BYTEORDER == SDL_BIG_ENDIAN) {
        p[0] = Uint8(v >> 16);
        p[1] = Uint8(v >> 8);
        p[2] = Uint8(v);
    } else {
        p[0] = Uint8(v);
        p[1] = Uint8(v >> 8);
        p[2] = Uint8(v >> 16);
    }
}

/// A surface whose alpha mask lies beyond its pixel bits (24-bit surfaces made
/// with an alpha mask of 0xFF000000) has no alpha at all: it is opaque.
bool real_alpha(const SDL_PixelFormat* f) {
    if (f->Amask == 0) return false;
    return f->BitsPerPixel >= 32 || (f->Amask >> f->BitsPerPixel) == 0;
}

/// The surface's pixels as tight rows of R, G, B, A bytes, top row first, read
/// through the surface's own format (palettes, padded rows, any channel order).
std::vector<Uint8> rgba_copy(SDL_Surface* s) {
    std::vector<Uint8> out(static_cast<std::size_t>(s->w) * s->h * 4);
    const bool alpha = real_alpha(s->format);
    PixelLock hold(s);
    std::size_t k = 0;
    for (int y = 0; y < s->h; y++) {
        for (int x = 0; x < s->w; x++) {
            Uint8 r, g, b, a;
            SDL_GetRGBA(raw_pixel(s, x, y), s->format, &r, &g, &b, &a);
            out[k++] = r;
            out[k++] = g;
            out[k++] = b;
            out[k++] = alpha ? a : 255;
        }
    }
    return out;
}

/// Sides that are uploaded without mipmaps when none are asked for.
bool plain_side(int n) { return n == 64 || n == 128 || n == 256; }

/// A w x h tile of sheet at (x, y), which must lie inside it, as a new 24-bit
/// surface. Pixels are copied by colour, never blended.
SDL_Surface* copy_tile(SDL_Surface* sheet, int x, int y, int w, int h) {
    SDL_Surface* tile = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0xFF, 0xFF00, 0xFF0000, 0);
    if (tile == nullptr) return nullptr;
    PixelLock hold_sheet(sheet);
    PixelLock hold_tile(tile);
    for (int j = 0; j < h; j++) {
        for (int i = 0; i < w; i++) {
            Uint8 r, g, b;
            SDL_GetRGB(raw_pixel(sheet, x + i, y + j), sheet->format, &r, &g, &b);
            put_raw24(tile, i, j, SDL_MapRGB(tile->format, r, g, b));
        }
    }
    return tile;
}

const char* or_empty(const char* s) { return s == nullptr ? "" : s; }

}  // namespace

// ---------------------------------------------------------------- table

KBIBLIO::KBIBLIO() { clear_table(); }

KBIBLIO::KBIBLIO(const char* path) {
    clear_table();
    load_KIM(path);
}

void KBIBLIO::clear_table() {
    for (int i = 0; i < KBIBLIO_CAPACITY; i++) {
        images[i] = nullptr;
        widths[i] = heights[i] = 0;
        names[i][0] = '\0';
        textures[i] = 0;
        needs_upload[i] = false;
        removed[i] = false;
    }
    image_count = 0;
}

int KBIBLIO::get_index_image(const char* name) const {
    name = or_empty(name);
    for (int i = 0; i < image_count; i++)
        if (!removed[i] && std::strcmp(names[i], name) == 0) return i;
    return -1;
}

SDL_Surface* KBIBLIO::get_image(const char* name) const {
    const int i = get_index_image(name);
    return i < 0 ? nullptr : images[i];
}

int KBIBLIO::add_image(const char* name, SDL_Surface* surface, int w, int h) {
    int i = get_index_image(name);
    if (i < 0) {
        if (image_count >= KBIBLIO_CAPACITY) {
            std::printf("Image library full, [%s] not stored\n", or_empty(name));
            return 0;
        }
        i = image_count++;
        copy_name(names[i], name);
    } else if (images[i] != nullptr && images[i] != surface) {
        // The library owns its pictures: the replaced one has no other holder
        // (sprites look pictures up by name each time).
        SDL_FreeSurface(images[i]);
    }
    images[i] = surface;
    widths[i] = w;
    heights[i] = h;
    needs_upload[i] = true;
    upload(i);
    return 1;
}

int KBIBLIO::load_image_and_store_it(const char* file, const char* name) {
    if (get_index_image(name) >= 0) return image_count;
    SDL_Surface* s = IMG_Load(or_empty(file));
    if (s == nullptr) return 0;
    if (!add_image(name, s, s->w, s->h)) {
        SDL_FreeSurface(s);
        return 0;
    }
    return image_count;
}

int KBIBLIO::load_image_and_store_it(SDL_Surface* surface, const char* name) {
    if (surface == nullptr) return 0;
    if (get_index_image(name) >= 0) return image_count;
    return add_image(name, surface, surface->w, surface->h) ? image_count : 0;
}

int KBIBLIO::refresh_GLimage(const char* name) {
    const int i = get_index_image(name);
    if (i < 0) return 0;
    needs_upload[i] = true;
    upload(i);
    return 1;
}

int KBIBLIO::remove_image(const char* name) {
    const int i = get_index_image(name);
    if (i < 0) return -1;
    // The entry keeps its surface and texture: whoever still holds them may use
    // them, and a later image under another name must not take over the index.
    names[i][0] = '\0';
    removed[i] = true;
    return 1;
}

SDL_Surface* KBIBLIO::create_empty_surface(int w, int h, const char*) {
    return SDL_CreateRGBSurface(0, w, h, 24, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
}

void KBIBLIO::release_all() {
    std::set<SDL_Surface*> freed;
    for (int i = 0; i < image_count; i++) {
        if (images[i] != nullptr && freed.insert(images[i]).second) SDL_FreeSurface(images[i]);
        if (textures[i] != 0 && gl_context_ready()) glDeleteTextures(1, &textures[i]);
    }
    clear_table();
}

// ---------------------------------------------------------------- textures

namespace {
// Textures of any width and height: OpenGL 2.0 or the extension.
bool any_texture_size() {
    static const bool any = [] {
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        if (version != nullptr && std::atoi(version) >= 2) return true;
        return extensions != nullptr && std::strstr(extensions, "GL_ARB_texture_non_power_of_two") != nullptr;
    }();
    return any;
}
}  // namespace

void KBIBLIO::myGL_CreateTextureFrom(SDL_Surface* surface, unsigned texture, float min_filter, float mag_filter,
                                     bool mipmap) {
    if (surface == nullptr || surface->w <= 0 || surface->h <= 0 || !gl_context_ready()) return;
    const std::vector<Uint8> pixels = rgba_copy(surface);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(mag_filter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(min_filter));
    // Rows of 4-byte pixels are always 4-byte aligned, whatever the width.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    // Sides other than 64, 128 and 256 once needed the rescaling of the
    // mipmap builder; where the GL takes any size, the picture is kept pixel
    // for pixel (rescaled, engraved text goes soft).
    const bool odd_size = !plain_side(surface->w) || !plain_side(surface->h);
    if (mipmap || (odd_size && !any_texture_size())) {
        gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, surface->w, surface->h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, surface->w, surface->h, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    }
}

void KBIBLIO::upload(int index) {
    if (!gl_context_ready() || images[index] == nullptr) return;
    if (textures[index] == 0) glGenTextures(1, &textures[index]);
    myGL_CreateTextureFrom(images[index], textures[index], GL_NEAREST, GL_NEAREST, false);
    needs_upload[index] = false;
}

unsigned KBIBLIO::get_texture(int index) {
    if (index < 0 || index >= image_count || removed[index]) return 0;
    if (needs_upload[index]) upload(index);
    return textures[index];
}

// ---------------------------------------------------------------- KIM files

// A KIM file is white-space separated tokens: two header tokens, then records
// "NAME path SIMPLEPART" or "NAME path KIND W H ROWS COLS GAP_X GAP_Y", up to a
// record named END, a path beginning with '#', or the end of the file.
void KBIBLIO::load_KIM(const char* path) {
    path = or_empty(path);
    FilePtr f(std::fopen(path, "rt"));
    if (!f) {
        std::printf("Impossible d'ouvrir [%s]\n", path);
        kel_exit(-1);
    }
    char header[60], name[60], file[60], kind[60];
    if (std::fscanf(f.get(), "%59s %59s", header, header) != 2) return;
    while (std::fscanf(f.get(), "%59s", name) == 1 && std::strcmp(name, "END") != 0) {
        if (std::fscanf(f.get(), "%59s", file) != 1 || file[0] == '#') return;
        if (std::fscanf(f.get(), "%59s", kind) != 1) return;
        if (std::strcmp(kind, "SIMPLEPART") == 0) {
            if (get_index_image(name) >= 0) continue;
            SDL_Surface* s = IMG_Load(file);
            if (s == nullptr) {
                std::printf("Erreur au de chargement simplepart [%s]\n", file);
                kel_exit(-1);
            }
            if (!add_image(name, s, s->w, s->h)) SDL_FreeSurface(s);
            continue;
        }
        SHEET sheet;
        if (std::fscanf(f.get(), "%d %d %d %d %d %d", &sheet.w, &sheet.h, &sheet.rows, &sheet.cols, &sheet.gap_x,
                        &sheet.gap_y) != 6)
            return;
        cut_sheet(name, file, sheet);
    }
}

void KBIBLIO::cut_sheet(const char* name, const char* path, const SHEET& s) {
    if (s.w <= 0 || s.h <= 0 || s.rows <= 0 || s.cols <= 0) {
        std::printf("Sheet [%s] skipped: tile size %dx%d, %d rows, %d columns\n", name, s.w, s.h, s.rows, s.cols);
        return;
    }
    SDL_Surface* picture = IMG_Load(path);
    if (picture == nullptr) return;  // an unreadable sheet is skipped without a word
    // Tile positions grow (or shrink, with negative gaps) steadily along a row
    // and down the columns, so the first tile that does not lie wholly inside
    // the picture ends its row, or with it the whole sheet.
    const long long step_x = static_cast<long long>(s.w) + s.gap_x;
    const long long step_y = static_cast<long long>(s.h) + s.gap_y;
    bool clipped = false;
    bool full = false;
    for (int r = 0; r < s.rows && !full; r++) {
        const long long y = r * step_y;
        if (y < 0 || y + s.h > picture->h) {
            clipped = true;
            break;
        }
        for (int c = 0; c < s.cols; c++) {
            const long long x = c * step_x;
            if (x < 0 || x + s.w > picture->w) {
                clipped = true;
                break;
            }
            char tile_name[KBIBLIO_NAME_SIZE];
            std::snprintf(tile_name, sizeof tile_name, "%s_%lld", name, static_cast<long long>(r) * s.cols + c);
            if (get_index_image(tile_name) >= 0) continue;
            SDL_Surface* tile = copy_tile(picture, static_cast<int>(x), static_cast<int>(y), s.w, s.h);
            if (tile == nullptr || !add_image(tile_name, tile, s.w, s.h)) {
                SDL_FreeSurface(tile);
                full = true;
                break;
            }
        }
    }
    if (clipped)
        std::printf("Sheet [%s]: tiles reaching outside [%s] (%dx%d) not stored\n", name, path, picture->w,
                    picture->h);
    SDL_FreeSurface(picture);  // only the tiles are kept
}
