// The software renderer: sprites blitted onto 32-bit SDL surfaces with colour
// key and additive blending, and the pixel, line and curve primitives beside it.
// The interface draws with GL; this path serves the start-up screen and tools.
#pragma once

#include <cstdint>

struct SDL_Surface;

/// Column byte offsets: entry (bpp - 1) * 6000 + column = column * bpp, for
/// surfaces up to 6000 pixels wide and 1 to 4 bytes per pixel.
extern const int32_t* const xoffset;
constexpr int XOFFSET_COLUMNS = 6000;
/// 8-bit alpha products: entry a * 256 + b = a * b / 255, rounded down.
extern const uint8_t* const SUBMASK;

/// Draws source onto destination with its top-left corner at (x, y). With a
/// level of 255, no mask and no additive blending SDL blits it (colour key and
/// per-surface alpha set on the source); otherwise each pixel is copied or
/// added by hand onto a 32-bit destination, clipped at every edge.
void KEL_Ultra_Blit(SDL_Surface* destination, SDL_Surface* source, SDL_Surface* mask, int x, int y,
                    bool additive, bool use_key, unsigned long key, unsigned char alpha,
                    unsigned char level, bool unused);

/// Fills every pixel with the colour, alpha byte opaque. Nothing happens on a
/// surface that cannot be locked or has no pixels.
void ClearScreen(SDL_Surface* surface, unsigned char r, unsigned char g, unsigned char b);
/// Plots one pixel in the surface's own format; points outside are ignored.
void putpixel(SDL_Surface* surface, int x, int y, unsigned char r, unsigned char g, unsigned char b);
/// Stores a raw 32-bit word on a 32-bit surface, only on rows 1..799.
void putpixel(SDL_Surface* surface, int x, int y, uint32_t value);
/// The pixel's bytes as a word (low bytes first); 0 outside the surface.
uint32_t getpixel(SDL_Surface* surface, int x, int y);
/// Bresenham line of white points, or of copies of brush centred on each point.
int draw_line(SDL_Surface* surface, int x0, int y0, int x1, int y1, SDL_Surface* brush);
/// Bernstein-weighted sum of n control values at t / n; 0 for no values.
double evaluateBezier(const double* data, int n, double t);
/// Evaluates a closed curve through n points at s steps per segment and draws
/// nothing. 0, or -1 for fewer than 3 points or 2 steps.
int bezierColor2(SDL_Surface* surface, const int16_t* vx, const int16_t* vy, int n, int s,
                 uint32_t colour);
