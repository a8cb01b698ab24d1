#include "engine/blitter.h"

#include <SDL/SDL.h>
#include <SDL/SDL_rotozoom.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/sprite.h"

// --------------------------------------------------------------- the tables

namespace {
struct TABLES {
    std::array<int32_t, 4 * XOFFSET_COLUMNS> columns{};
    std::array<uint8_t, 256 * 256> products{};
    TABLES() {
        for (int bpp = 1; bpp <= 4; bpp++)
            for (int c = 0; c < XOFFSET_COLUMNS; c++) columns[(bpp - 1) * XOFFSET_COLUMNS + c] = c * bpp;
        for (int a = 0; a < 256; a++)
            for (int b = 0; b < 256; b++) products[a * 256 + b] = (uint8_t)(a * b / 255);
    }
};
const TABLES& tables() {
    static const TABLES t;
    return t;
}
}  // namespace

const int32_t* const xoffset = tables().columns.data();
const uint8_t* const SUBMASK = tables().products.data();

// ------------------------------------------------------------- pixel access

namespace {
bool inside(const SDL_Surface* s, int x, int y) {
    return s != nullptr && s->pixels != nullptr && x >= 0 && y >= 0 && x < s->w && y < s->h;
}

Uint8* pixel_address(SDL_Surface* s, int x, int y) {
    return static_cast<Uint8*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
}

// A 32-bit copy of a surface in the byte order the per-pixel path expects
// (red in the third byte), with the colour key carried over; null when the
// conversion fails. A 32-bit source is used as it is.
SDL_Surface* as_32bit(SDL_Surface* source, unsigned long* key) {
    SDL_PixelFormat f{};
    f.BitsPerPixel = 32;
    f.BytesPerPixel = 4;
    f.Rmask = 0xFF0000; f.Gmask = 0xFF00; f.Bmask = 0xFF; f.Amask = 0;
    f.Rshift = 16; f.Gshift = 8; f.Bshift = 0;
    f.alpha = 255;
    SDL_Surface* copy = SDL_ConvertSurface(source, &f, SDL_SWSURFACE);
    if (copy != nullptr) {
        Uint8 r, g, b;
        SDL_GetRGB((Uint32)*key, source->format, &r, &g, &b);
        *key = SDL_MapRGB(copy->format, r, g, b);
    }
    return copy;
}

void per_pixel_blit(SDL_Surface* dst, SDL_Surface* src, int x, int y, bool additive, bool use_key,
                    unsigned long key) {
    const int columns = std::min<int>(src->clip_rect.w, dst->w);
    const int rows = std::min<int>(src->clip_rect.h, dst->h);
    // Clipped at all four edges: the written loop only started past the left
    // and top edges.
    const int first_i = x < 0 ? -x : 0, first_j = y < 0 ? -y : 0;
    const int end_i = std::min(columns, dst->w - x), end_j = std::min(rows, dst->h - y);
    const int sbpp = src->format->BytesPerPixel, dbpp = dst->format->BytesPerPixel;
    if (SDL_LockSurface(dst) != 0) return;
    for (int i = first_i; i < end_i; i++) {
        for (int j = first_j; j < end_j; j++) {
            Uint32 S, D;
            const Uint8* sp = static_cast<const Uint8*>(src->pixels) + j * src->pitch +
                              xoffset[(sbpp - 1) * XOFFSET_COLUMNS + i];
            Uint8* dp = static_cast<Uint8*>(dst->pixels) + (y + j) * dst->pitch +
                        xoffset[(dbpp - 1) * XOFFSET_COLUMNS + x + i];
            std::memcpy(&S, sp, 4);
            if (use_key && (S & 0xFFFFFF) == key) continue;
            if (!additive) {
                D = ((S & 0xFF) << 16) | ((S >> 16) & 0xFF) | (S & 0xFF00);
            } else {
                std::memcpy(&D, dp, 4);
                Uint32 sum = D & 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8) {
                    const Uint32 v = ((S >> shift) & 0xFF) + ((D >> shift) & 0xFF);
                    sum |= std::min<Uint32>(v, 255) << shift;
                }
                D = sum;
            }
            std::memcpy(dp, &D, 4);
        }
    }
    SDL_UnlockSurface(dst);
}
}  // namespace

void KEL_Ultra_Blit(SDL_Surface* destination, SDL_Surface* source, SDL_Surface* mask, int x, int y,
                    bool additive, bool use_key, unsigned long key, unsigned char alpha,
                    unsigned char level, bool) {
    if (destination == nullptr || source == nullptr) return;
    if (level == 255 && mask == nullptr && !additive) {
        if (use_key) SDL_SetColorKey(source, SDL_SRCCOLORKEY, (Uint32)key);
        if (alpha != 0) SDL_SetAlpha(source, SDL_SRCALPHA, alpha);
        SDL_Rect at{(Sint16)x, (Sint16)y, 0, 0};
        SDL_UpperBlit(source, nullptr, destination, &at);
        return;
    }
    // The per-pixel path writes whole 32-bit words.
    if (destination->w == 0 || destination->format->BytesPerPixel != 4 || destination->pixels == nullptr)
        return;
    if (destination->w > XOFFSET_COLUMNS || source->w > XOFFSET_COLUMNS) return;
    SDL_Surface* copy = nullptr;
    if (source->format->BytesPerPixel != 4) {
        copy = as_32bit(source, &key);
        if (copy == nullptr) return;
    }
    SDL_Surface* src = copy != nullptr ? copy : source;
    if (SDL_LockSurface(src) == 0) {
        per_pixel_blit(destination, src, x, y, additive, use_key, key);
        SDL_UnlockSurface(src);
    }
    if (copy != nullptr) SDL_FreeSurface(copy);
}

void SPRITE::blit_NORMAL(SDL_Surface* destination) {
    SDL_Surface* image = get_SDL_Surface();
    SDL_Surface* mask = get_mask_SDL_Surface();
    if (image == nullptr) return;
    SDL_Surface* turned = nullptr;
    if (Angle != 0 || Zoom != 1.0f) {
        turned = rotozoomSurface(image, Angle, Zoom, 0);
        if (turned == nullptr) return;  // nothing to draw when the copy fails
    }
    SDL_Surface* copy = turned != nullptr ? turned : image;
    if (mask != nullptr) std::printf("M\n");
    if (hidden == 0) {
        w = (float)image->w;
        h = (float)image->h;
        // A turned or zoomed copy stays centred on the upright picture.
        const int dx = (int)x - copy->w / 2 + image->w / 2;
        const int dy = (int)y - copy->h / 2 + image->h / 2;
        KEL_Ultra_Blit(destination, copy, mask, dx, dy, Additive != 0, Is_Key != 0, Key,
                       (unsigned char)(Alpha & 0xFF), 255, true);
        changed = 0;
        if (Additive) dirty = 1;
    }
    if (turned != nullptr) SDL_FreeSurface(turned);
}

// ---------------------------------------------------------------- primitives

void ClearScreen(SDL_Surface* surface, unsigned char r, unsigned char g, unsigned char b) {
    if (surface == nullptr || SDL_LockSurface(surface) != 0) return;
    if (surface->pixels != nullptr) {
        const Uint32 value = SDL_MapRGB(surface->format, r, g, b) | 0xFF000000u;
        const int bpp = surface->format->BytesPerPixel;
        for (int row = 0; row < surface->h; row++) {
            Uint8* p = static_cast<Uint8*>(surface->pixels) + row * surface->pitch;
            for (int col = 0; col < surface->w; col++, p += bpp) std::memcpy(p, &value, bpp);
        }
    }
    SDL_UnlockSurface(surface);
}

void putpixel(SDL_Surface* surface, int x, int y, unsigned char r, unsigned char g, unsigned char b) {
    if (!inside(surface, x, y)) return;
    const Uint32 mapped = SDL_MapRGB(surface->format, r, g, b);
    Uint8* p = pixel_address(surface, x, y);
    switch (surface->format->BytesPerPixel) {
    case 1: *p = (Uint8)mapped; break;
    case 2: { const Uint16 v = (Uint16)mapped; std::memcpy(p, &v, 2); break; }
    case 3: p[0] = mapped & 0xFF; p[1] = (mapped >> 8) & 0xFF; p[2] = (mapped >> 16) & 0xFF; break;
    default: {
        // A zero top byte wraps round to 0xFF.
        const Uint32 v = mapped - 0x01000000u;
        std::memcpy(p, &v, 4);
    }
    }
}

void putpixel(SDL_Surface* surface, int x, int y, uint32_t value) {
    if (!(y > 0 && y <= 799) || !inside(surface, x, y) || surface->format->BytesPerPixel != 4) return;
    std::memcpy(pixel_address(surface, x, y), &value, 4);
}

uint32_t getpixel(SDL_Surface* surface, int x, int y) {
    if (!inside(surface, x, y)) return 0;
    uint32_t word = 0;
    std::memcpy(&word, pixel_address(surface, x, y), surface->format->BytesPerPixel);
    return word;
}

int draw_line(SDL_Surface* surface, int x0, int y0, int x1, int y1, SDL_Surface* brush) {
    const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const int sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
    const bool x_major = dx >= dy;
    const int major = x_major ? dx : dy, minor = x_major ? dy : dx;
    int error = major / 2, px = x0, py = y0;
    for (int k = 0; k <= major; k++) {
        if (brush != nullptr) {
            SDL_Rect at{(Sint16)(px - brush->w / 2), (Sint16)(py - brush->h / 2), 0, 0};
            if (surface != nullptr) SDL_UpperBlit(brush, nullptr, surface, &at);
        } else {
            putpixel(surface, px, py, 0xFFFFFFu);
        }
        error += minor;
        if (error >= major) {
            error -= major;
            if (x_major) py += sy; else px += sx;
        }
        if (x_major) px += sx; else py += sy;
    }
    return 1;
}

double evaluateBezier(const double* data, int n, double t) {
    if (data == nullptr || n <= 0) return 0;
    if (t < 0) return data[0];
    if (t >= n) return data[n - 1];
    const double mu = t / n;
    const int degree = n - 1;
    double sum = 0, binomial = 1;
    for (int k = 0; k <= degree; k++) {
        double weight = binomial;
        for (int i = 0; i < k; i++) weight *= mu;
        for (int i = 0; i < degree - k; i++) weight *= 1 - mu;
        sum += weight * data[k];
        binomial = binomial * (degree - k) / (k + 1);
    }
    return sum;
}

int bezierColor2(SDL_Surface*, const int16_t* vx, const int16_t* vy, int n, int s, uint32_t) {
    if (n < 3 || s < 2 || vx == nullptr || vy == nullptr) return -1;
    std::vector<double> xs(n + 1), ys(n + 1);
    for (int i = 0; i < n; i++) { xs[i] = vx[i]; ys[i] = vy[i]; }
    xs[n] = vx[0];
    ys[n] = vy[0];
    // The curve is evaluated along its whole length, as the drawing would; the
    // points are not plotted.
    volatile double last = evaluateBezier(xs.data(), n + 1, 0) + evaluateBezier(ys.data(), n + 1, 0);
    for (int k = 1; k <= n * s + 1; k++) {
        const double t = (double)k / s;
        last = evaluateBezier(xs.data(), n + 1, t) + evaluateBezier(ys.data(), n + 1, t);
    }
    (void)last;
    return 0;
}
