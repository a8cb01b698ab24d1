// The GL renderer: textured quads for sprites, filled rectangles, text for
// labels and sagging cables. Everything is drawn in the pixel projection of
// OrthoMode, shifted by the scroll offsets offsx and offsy.
#pragma once

/// Vertical shift of sprites and cables below their positions, pixels.
constexpr int SPRITE_Y_SHIFT = 15;
/// Vertical shift of filled rectangles, pixels.
constexpr int RECT_Y_SHIFT = 13;

/// One textured quad of half width a and half height b centred on (cx, cy),
/// turned by rx, ry, rz degrees. Opaque at alpha 255; translucent below it;
/// additive (colour against one minus colour) or subtractive (multiplied by
/// what is drawn) when asked. texture points to a GL texture name.
void draw_triangle(const unsigned* texture, float cx, float cy, float z, float rx, float ry, float rz,
                   float a, float b, int additive, int subtractive, int alpha);
/// Filled rectangle; colour 0xAARRGGBB, translucent when AA is below 0xFF.
void FillRect(int x, int y, int width, int height, int colour);
/// A cable from (x0, y0) to (x1, y1) hanging below its ends: one line of full
/// colour 0x00RRGGBB with two darker lines above and three below. Returns 1.
int draw_fil(void* surface, int x0, int y0, int x1, int y1, int colour);

/// Caption text as labels show it: in colour 0x00RRGGBB, '_' shown as a space,
/// at x and, with screen_coords, at text row text_baseline_row() - y (747 - y
/// in a 768-pixel window: the text projection counts rows from the bottom);
/// font from FONTS.
void draw_caption(const char* caption, float x, float y, bool screen_coords, int font_nr, int size,
                  unsigned colour);
