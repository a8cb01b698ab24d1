// The view of the patch area: how far it is scrolled and how big it is drawn.
// Panels, sprites, cables and labels keep the positions the layout gives them
// (patch pixels, fractions allowed); only drawing turns them into window
// pixels, rounded to whole pixels, and pointing turns the pointer back.
//
//   window x = round(patch x * zoom) - offsx
//   window y = round(patch y * zoom) - offsy
//
// The scroll offsets offsx and offsy (engine/globals.h) count window pixels.
#pragma once

/// Smallest and largest zoom of the patch area (25 % and 200 %).
constexpr float ZOOM_MIN = 0.25f;
constexpr float ZOOM_MAX = 2.0f;

/// The current zoom, 1 for 100 %.
float view_zoom();
/// Sets the zoom, held within ZOOM_MIN..ZOOM_MAX (a NaN gives 1).
void set_view_zoom(float zoom);
/// Zooms to the given zoom, scrolling so that the patch point under window
/// pixel (wx, wy) stays under it.
void zoom_around(float zoom, int wx, int wy);
/// The zoom and scroll that show the box (x, y, w, h, patch pixels) whole in
/// a window area width x height, centred, with a margin of pixels around it.
void fit_view(float x, float y, float w, float h, int width, int height, int margin);

/// Window column of a patch x, and window row of a patch y (whole pixels).
float window_x(float x);
float window_y(float y);
/// The length of a patch distance on screen (not rounded).
float window_length(float length);
/// The patch point under a window pixel.
float patch_x(float wx);
float patch_y(float wy);

/// Rows at the bottom of the window that the patch area leaves to the help
/// and status lines; the patch area is drawn above them only.
int reserved_rows();
void set_reserved_rows(int rows);

/// While it lives, drawing is in plain window pixels: no scroll, zoom 1 (the
/// background, the help line).
class WINDOW_SPACE {
public:
    WINDOW_SPACE();
    ~WINDOW_SPACE();
    WINDOW_SPACE(const WINDOW_SPACE&) = delete;
    WINDOW_SPACE& operator=(const WINDOW_SPACE&) = delete;

private:
    int x, y;
    float zoom;
};
