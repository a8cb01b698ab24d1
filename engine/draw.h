// The GL renderer: textured quads for sprites, filled rectangles, text for
// labels and sagging cables. Everything is drawn in the pixel projection of
// OrthoMode, through the view of the patch area (engine/view.h): scrolled by
// offsx and offsy, scaled by the zoom, and put on whole window pixels.
#pragma once

/// Vertical shift of sprites and cables below their positions, pixels.
constexpr int SPRITE_Y_SHIFT = 15;
/// Vertical shift of filled rectangles, pixels.
constexpr int RECT_Y_SHIFT = 13;
/// A label's text baseline lies this far below its y, pixels.
constexpr int LABEL_BASELINE_SHIFT = 21;
/// Smallest size a caption is shrunk to before it is cut (the font engine's
/// size 6: 8-pixel text).
constexpr int CAPTION_MIN_SIZE = 6;
/// A cable's sag below its chord: at least this, pixels...
constexpr float CABLE_SAG_MIN = 60.0f;
/// ...growing with its length up to this.
constexpr float CABLE_SAG_MAX = 140.0f;

/// One textured quad of half width a and half height b centred on (cx, cy),
/// turned by rx, ry, rz degrees. Opaque at alpha 255; translucent below it;
/// additive (colour against one minus colour) or subtractive (multiplied by
/// what is drawn) when asked. texture points to a GL texture name.
void draw_triangle(const unsigned* texture, float cx, float cy, float z, float rx, float ry, float rz,
                   float a, float b, int additive, int subtractive, int alpha);
/// Filled rectangle; colour 0xAARRGGBB, translucent when AA is below 0xFF.
void FillRect(int x, int y, int width, int height, int colour);
/// A cable from (x0, y0) to (x1, y1) (patch pixels) hanging below its ends: a
/// band of colour 0x00RRGGBB at least 3 pixels wide with a darker edge, drawn
/// as the cable look says. Returns 1.
int draw_fil(void* surface, int x0, int y0, int x1, int y1, int colour);
/// Row of the middle control point of a cable's curve: the sum of both ends'
/// rows, held so that the sag stays within CABLE_SAG_MIN + chord / 10 (at most
/// CABLE_SAG_MAX) and the curve above the cable floor.
float cable_sag_row(float x0, float y0, float x1, float y1);
/// How cables are drawn: over everything, half through, or not at all.
enum CABLE_LOOK { CABLE_OPAQUE, CABLE_HALF, CABLE_HIDDEN };
void set_cable_look(CABLE_LOOK look);
CABLE_LOOK get_cable_look();
/// Lowest patch row a hanging cable may reach (the bottom of the rack).
void set_cable_floor(float y);

/// Caption text as labels show it: in colour 0x00RRGGBB, '_' shown as a space,
/// font from FONTS. With screen_coords, (x, y) is a label's place in the patch
/// (its baseline LABEL_BASELINE_SHIFT lower), drawn through the view, and a
/// caption wider than room (pixels, 0 for no limit) is fitted (fit_caption);
/// otherwise (x, y) is a point of the text projection (rows from the bottom).
void draw_caption(const char* caption, float x, float y, bool screen_coords, int font_nr, int size,
                  unsigned colour, int room = 0);
/// Fits a caption into room pixels: the size goes down from size to
/// CAPTION_MIN_SIZE until it fits; if even that is too wide, the text is cut
/// and ends in "..". Returns the size to draw; text is changed in place.
int fit_caption(char* text, int font_nr, int size, int room);
