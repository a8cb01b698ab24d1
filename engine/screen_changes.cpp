#include "engine/screen_changes.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string_view>

#include "engine/display.h"
#include "engine/draw.h"
#include "engine/objet.h"
#include "engine/view.h"

namespace {
// One word into the sum: a multiply and shifts, the way hash tables mix.
uint64_t mix_word(uint64_t sum, uint64_t word) {
    sum ^= word + 0x9e3779b97f4a7c15ull + (sum << 6) + (sum >> 2);
    return sum * 0xff51afd7ed558ccdull;
}
}  // namespace

uint64_t mix_signature(uint64_t sum, const void* data, unsigned long size) {
    return mix_word(sum, std::hash<std::string_view>{}(std::string_view(static_cast<const char*>(data), size)));
}

uint64_t mix_text(uint64_t sum, const char* text) {
    return text == nullptr ? sum : mix_word(sum, std::hash<std::string_view>{}(std::string_view(text)));
}

namespace {
uint64_t mix_float(uint64_t sum, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return mix_word(sum, bits);
}

uint64_t mix_sprite(uint64_t sum, const SPRITE& s) {
    for (float v : {s.x, s.y, s.w, s.h, s.Zoom}) sum = mix_float(sum, v);
    for (int v : {s.Angle, s.touched, s.Alpha, s.hidden, s.Additive, s.Substractive}) sum = mix_word(sum, (uint32_t)v);
    sum = mix_text(sum, s.SPR_NAME);
    if (s.MASK_NAME[0] != '\0') sum = mix_text(sum, s.MASK_NAME);
    if (const auto* label = dynamic_cast<const LABEL*>(&s)) {
        sum = mix_text(sum, label->CAPTION);
        for (int v : {(int)label->Col, label->Size, label->font_nr, label->room}) sum = mix_word(sum, (uint32_t)v);
    }
    return sum;
}

bool meet(const AREA& a, const AREA& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

AREA joined(const AREA& a, const AREA& b) {
    const int x = std::min(a.x, b.x), y = std::min(a.y, b.y);
    return AREA{x, y, std::max(a.x + a.w, b.x + b.w) - x, std::max(a.y + a.h, b.y + b.h) - y};
}

/// Within the window; empty boxes are dropped.
void add_area(std::vector<AREA>* areas, AREA a) {
    const int W = window_width(), H = window_height();
    const int x0 = std::max(0, a.x), y0 = std::max(0, a.y);
    const int x1 = std::min(W, a.x + a.w), y1 = std::min(H, a.y + a.h);
    if (x1 <= x0 || y1 <= y0) return;
    a = AREA{x0, y0, x1 - x0, y1 - y0};
    // Boxes that meet become one, so no pixel is drawn twice over.
    for (bool merged = true; merged;) {
        merged = false;
        for (auto it = areas->begin(); it != areas->end(); ++it) {
            if (!meet(*it, a)) continue;
            a = joined(*it, a);
            areas->erase(it);
            merged = true;
            break;
        }
    }
    areas->push_back(a);
}
}  // namespace

uint64_t panel_signature(const OBJET& panel) {
    uint64_t sum = SIGNATURE_START;
    sum = mix_sprite(sum, panel);
    sum = mix_word(sum, (uint32_t)panel.view_mode);
    sum = mix_word(sum, (uint32_t)panel.COLOR);
    sum = mix_word(sum, reinterpret_cast<uintptr_t>(panel.current_list));
    const std::vector<SPRITE*>* list = panel.current_list;
    for (const SPRITE* s : *list) sum = mix_sprite(sum, *s);
    return sum;
}

AREA panel_area(const OBJET& p) {
    // Labels and turned knobs may stand a little beyond the panel's box.
    constexpr int MARGIN = 6;
    const int left = (int)window_x(p.x) - MARGIN, top = (int)window_y(p.y + SPRITE_Y_SHIFT) - MARGIN;
    const int right = (int)window_x(p.x + p.w) + MARGIN, bottom = (int)window_y(p.y + p.h + SPRITE_Y_SHIFT) + MARGIN;
    return AREA{left, top, right - left, bottom - top};
}

bool SCREEN_CHANGES::plan(const std::vector<OBJET*>& panels, uint64_t scene, std::vector<AREA>* areas, bool* whole) {
    areas->clear();
    bool everything = all || scene != last_scene || panels.size() != marks.size();
    for (auto& m : marks) m.second.seen = false;
    const AREA window{0, 0, window_width(), window_height()};
    for (const OBJET* p : panels) {
        if (p == nullptr) continue;
        auto it = marks.find(p);
        // A panel out of sight draws nothing; scrolling it into sight changes
        // the scene, which draws everything.
        if (it != marks.end() && !everything && !meet(panel_area(*p), window)) {
            it->second.seen = true;
            continue;
        }
        const uint64_t sum = panel_signature(*p);
        if (it == marks.end()) {
            everything = true;
            marks[p] = MARK{sum, panel_area(*p), true};
            continue;
        }
        it->second.seen = true;
        if (it->second.sum == sum) continue;
        const AREA now = panel_area(*p);
        add_area(areas, it->second.box);
        add_area(areas, now);
        it->second = MARK{sum, now, true};
    }
    // A panel gone (a rebuild): forget it, and draw everything.
    for (auto it = marks.begin(); it != marks.end();) {
        if (it->second.seen) {
            ++it;
        } else {
            everything = true;
            it = marks.erase(it);
        }
    }
    last_scene = scene;
    all = false;
    long covered = 0;
    for (const AREA& a : *areas) covered += (long)a.w * a.h;
    // Past half the window, one pass over everything costs less than many.
    if (everything || !partial_present_available() || covered * 2 > (long)window_width() * window_height()) {
        areas->clear();
        areas->push_back(AREA{0, 0, window_width(), window_height()});
        *whole = true;
        return true;
    }
    *whole = false;
    return !areas->empty();
}

namespace {
using COPY_SUB_BUFFER = void (*)(Display*, GLXDrawable, int, int, int, int);

COPY_SUB_BUFFER copy_sub_buffer() {
    static bool probed = false;
    static COPY_SUB_BUFFER copy = nullptr;
    if (probed) return copy;
    Display* display = glXGetCurrentDisplay();
    if (display == nullptr) return nullptr;  // no window yet: ask again later
    probed = true;
    const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    if (extensions == nullptr || std::strstr(extensions, "GLX_MESA_copy_sub_buffer") == nullptr) return nullptr;
    copy = reinterpret_cast<COPY_SUB_BUFFER>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
    return copy;
}
}  // namespace

bool partial_present_available() { return copy_sub_buffer() != nullptr; }

void present_areas(const std::vector<AREA>& areas, bool whole) {
    COPY_SUB_BUFFER copy = copy_sub_buffer();
    if (copy == nullptr) {
        SDL_GL_SwapBuffers();
        return;
    }
    // The buffer drawn into is never swapped away: what is not drawn again
    // stays as it was, and only the boxes drawn are shown.
    Display* display = glXGetCurrentDisplay();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    const int H = window_height();
    if (whole) {
        copy(display, drawable, 0, 0, window_width(), H);
    } else {
        for (const AREA& a : areas) copy(display, drawable, a.x, H - a.y - a.h, a.w, a.h);
    }
    // The copies are X requests: sent now, not with the next frame's.
    XFlush(display);
}
