#include "shell/window_view.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "engine/display.h"
#include "engine/draw.h"
#include "engine/events.h"
#include "engine/font_engine.h"
#include "engine/freetype.h"
#include "engine/globals.h"
#include "engine/objet.h"
#include "engine/view.h"

namespace {
/// Pixels the wheel scrolls by.
constexpr int WHEEL_STEP = 40;
/// The zooms Ctrl -/+ and the wheel step through.
constexpr float ZOOM_STOPS[] = {0.25f, 0.33f, 0.5f, 0.67f, 0.75f, 0.9f, 1.0f, 1.1f, 1.25f, 1.5f, 1.75f, 2.0f};
/// Space left around a fitted patch, pixels.
constexpr int FIT_MARGIN = 8;

/// Font sizes (font 0, the condensed face) and row heights of the foot.
constexpr int HELP_SIZE = 10, HELP_ROW = 16, STATUS_SIZE = 12, STATUS_ROW = 20, FOOT_PAD = 6;

float next_zoom(int direction) {
    const float z = view_zoom();
    if (direction > 0) {
        for (float stop : ZOOM_STOPS)
            if (stop > z + 0.001f) return stop;
        return ZOOM_MAX;
    }
    for (int i = (int)(sizeof ZOOM_STOPS / sizeof ZOOM_STOPS[0]) - 1; i >= 0; i--)
        if (ZOOM_STOPS[i] < z - 0.001f) return ZOOM_STOPS[i];
    return ZOOM_MIN;
}

/// The middle of the patch area, where the zoom keys zoom around.
void area_middle(int* x, int* y) {
    *x = window_width() / 2;
    *y = (window_height() - reserved_rows()) / 2;
}

void zoom_keys(int direction) {
    int x, y;
    area_middle(&x, &y);
    zoom_around(direction == 0 ? 1.0f : next_zoom(direction), x, y);
}

/// The help text cut into rows that fit the window's width, at its '|'.
std::vector<std::string> help_rows(const char* help) {
    const freetype::font_data font = FONTS.get_Font(0, HELP_SIZE);
    const int room = window_width() - 20;
    std::vector<std::string> rows(1);
    std::string text = help;
    size_t at = 0;
    while (at < text.size()) {
        size_t bar = text.find(" | ", at);
        const std::string part = text.substr(at, bar == std::string::npos ? std::string::npos : bar - at);
        at = bar == std::string::npos ? text.size() : bar + 3;
        const std::string longer = rows.back().empty() ? part : rows.back() + " | " + part;
        if (rows.back().empty() || freetype::text_width(font, longer.c_str()) <= room) rows.back() = longer;
        else rows.push_back(part);
    }
    return rows;
}

bool has_news(const char* status) { return status != nullptr && status[0] != '\0'; }

int foot_rows(size_t help_lines, bool news) {
    return (int)help_lines * HELP_ROW + FOOT_PAD + (news ? STATUS_ROW : 0);
}
}  // namespace

bool view_key(SDLKey key, SDLMod mod, bool backs, const std::vector<OBJET*>& shown) {
    const bool ctrl = (mod & KMOD_CTRL) != 0;
    if (ctrl) {
        switch (key) {
        case SDLK_PLUS: case SDLK_EQUALS: case SDLK_KP_PLUS: zoom_keys(+1); return true;
        case SDLK_MINUS: case SDLK_KP_MINUS: zoom_keys(-1); return true;
        case SDLK_0: case SDLK_KP0: zoom_keys(0); return true;
        default: return false;
        }
    }
    if ((mod & (KMOD_ALT | KMOD_META)) != 0) return false;
    if (key == SDLK_f) {
        fit_patch(shown);
        return true;
    }
    // C plays a note on the fronts; with the backs shown it changes the cables.
    if (key == SDLK_c && backs) {
        set_cable_look(get_cable_look() == CABLE_OPAQUE ? CABLE_HALF
                       : get_cable_look() == CABLE_HALF ? CABLE_HIDDEN
                                                        : CABLE_OPAQUE);
        return true;
    }
    return false;
}

bool view_wheel(const SDL_Event& e) {
    if (e.type != SDL_MOUSEBUTTONDOWN && e.type != SDL_MOUSEBUTTONUP) return false;
    const int button = e.button.button;
    if (button != SDL_BUTTON_WHEELUP && button != SDL_BUTTON_WHEELDOWN) return false;
    if (e.type == SDL_MOUSEBUTTONUP) return true;  // each turn is a press and a release
    const int direction = button == SDL_BUTTON_WHEELUP ? +1 : -1;
    const SDLMod mod = SDL_GetModState();
    if ((mod & KMOD_CTRL) != 0) zoom_around(next_zoom(direction), e.button.x, e.button.y);
    else if ((mod & KMOD_SHIFT) != 0) offsx -= direction * WHEEL_STEP;
    else offsy -= direction * WHEEL_STEP;
    return true;
}

void fit_patch(const std::vector<OBJET*>& shown) {
    bool any = false;
    float left = 0, top = 0, right = 0, bottom = 0;
    for (const OBJET* p : shown) {
        if (p == nullptr) continue;
        const float y = p->y + SPRITE_Y_SHIFT;  // panels are drawn this much lower
        if (!any) {
            left = p->x, top = y, right = p->x + p->w, bottom = y + p->h;
            any = true;
        }
        left = std::min(left, p->x);
        top = std::min(top, y);
        right = std::max(right, p->x + p->w);
        bottom = std::max(bottom, y + p->h);
    }
    if (!any) return;
    // Room for the help line and a status line, so that news hides nothing.
    const int area = window_height() - foot_rows(help_rows(help_text(false)).size(), true);
    fit_view(left, top, right - left, bottom - top, window_width(), std::max(1, area), FIT_MARGIN);
}

bool follow_resize(int width, int height) { return resize_display(std::max(64, width), std::max(64, height)); }

void set_rack(const std::vector<OBJET*>& shown) {
    float bottom = 0;
    for (const OBJET* p : shown)
        if (p != nullptr) bottom = std::max(bottom, p->y + p->h);
    set_cable_floor(bottom > 0 ? bottom : 1e9f);
}

const char* help_text(bool backs) {
    static const char* const FRONT =
        "Drag a knob: turn | Click: switch | Z..M, Q..I: play | Tab: sockets | Ctrl+wheel, Ctrl -/+/0: zoom | "
        "F: fit | Wheel, arrows, middle-drag: scroll | Home | A, Insert, right click: add a module | Del: remove | "
        "Ctrl+D: copy | Double click a title: rename | Ctrl+Z: undo | Ctrl+Y: redo | Ctrl+S: save | "
        "Ctrl+Shift+S: save as | Ctrl+O: open | Ctrl+N: new | F2: sound output | Esc, Ctrl+Q: quit";
    static char back[500];
    const char* look = get_cable_look() == CABLE_OPAQUE ? "opaque" : get_cable_look() == CABLE_HALF ? "half" : "hidden";
    std::snprintf(back, sizeof back,
                  "Drag output to input: cable | Right click: remove | C: cables %s | Tab: fronts | "
                  "Ctrl+wheel, Ctrl -/+/0: zoom | F: fit | Wheel, arrows, middle-drag: scroll | Home | "
                  "A: add a module | Del: remove | Ctrl+Z: undo | Ctrl+Y: redo | Ctrl+S: save | Ctrl+O: open | "
                  "Ctrl+N: new | F2: sound output | Esc: quit",
                  look);
    return backs ? back : FRONT;
}

void layout_foot(const char* help, const char* status) {
    set_reserved_rows(foot_rows(help_rows(help).size(), has_news(status)));
}

void draw_foot(const char* help, const char* status) {
    const std::vector<std::string> rows = help_rows(help);
    const bool news = has_news(status);
    const int height = window_height(), strip = foot_rows(rows.size(), news);
    WINDOW_SPACE plain;
    FillRect(0, height - RECT_Y_SHIFT - strip, window_width(), strip, (int)0xF0101418u);
    // Text rows count from the bottom of the window; the last row lowest.
    glColor3d(0.85, 0.82, 0.72);
    for (size_t i = 0; i < rows.size(); i++)
        freetype::print(FONTS.get_Font(0, HELP_SIZE), 10, (float)(FOOT_PAD + (rows.size() - 1 - i) * HELP_ROW), "%s",
                        rows[i].c_str());
    if (news) {
        glColor3d(1.0, 0.78, 0.35);
        freetype::print(FONTS.get_Font(0, STATUS_SIZE), 10, (float)(FOOT_PAD + rows.size() * HELP_ROW + 2), "%s",
                        status);
    }
    glColor3d(1, 1, 1);
}
