#include "engine/view.h"

#include <algorithm>
#include <cmath>

#include "engine/globals.h"

namespace {
float zoom_now = 1.0f;
int reserved = 0;
}  // namespace

float view_zoom() { return zoom_now; }

void set_view_zoom(float zoom) {
    if (std::isnan(zoom)) zoom = 1.0f;
    zoom_now = std::min(ZOOM_MAX, std::max(ZOOM_MIN, zoom));
}

void zoom_around(float zoom, int wx, int wy) {
    const float px = patch_x((float)wx), py = patch_y((float)wy);
    set_view_zoom(zoom);
    offsx = (int)std::lround(px * zoom_now) - wx;
    offsy = (int)std::lround(py * zoom_now) - wy;
}

void fit_view(float x, float y, float w, float h, int width, int height, int margin) {
    const float room_w = (float)std::max(1, width - 2 * margin), room_h = (float)std::max(1, height - 2 * margin);
    set_view_zoom(std::min(room_w / std::max(1.0f, w), room_h / std::max(1.0f, h)));
    // Centred in the area: the box's middle goes to the area's middle.
    offsx = (int)std::lround((x + w / 2) * zoom_now - width / 2.0f);
    offsy = (int)std::lround((y + h / 2) * zoom_now - height / 2.0f);
}

float window_x(float x) { return std::round(x * zoom_now) - (float)offsx; }
float window_y(float y) { return std::round(y * zoom_now) - (float)offsy; }
float window_length(float length) { return length * zoom_now; }
float patch_x(float wx) { return (wx + (float)offsx) / zoom_now; }
float patch_y(float wy) { return (wy + (float)offsy) / zoom_now; }

int reserved_rows() { return reserved; }
void set_reserved_rows(int rows) { reserved = std::max(0, rows); }

WINDOW_SPACE::WINDOW_SPACE() : x(offsx), y(offsy), zoom(zoom_now) {
    offsx = offsy = 0;
    zoom_now = 1.0f;
}

WINDOW_SPACE::~WINDOW_SPACE() {
    offsx = x;
    offsy = y;
    zoom_now = zoom;
}
