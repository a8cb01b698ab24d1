#include "shell/window_frame.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/dialog.h"
#include "engine/display.h"
#include "engine/draw.h"
#include "engine/globals.h"
#include "engine/objet.h"
#include "engine/view.h"
#include "panels/cables.h"
#include "panels/panel_globals.h"
#include "shell/patching.h"
#include "shell/rack_edit.h"
#include "shell/sound_panel.h"
#include "shell/status_line.h"
#include "shell/window_view.h"

// ---------------------------------------------------------------- statistics

bool FRAME_PAINTER::STATS::on() {
    if (mode < 0) {
        const char* v = std::getenv("Z_OZODIVE_FRAME_STATS");
        mode = v == nullptr ? 0 : std::strcmp(v, "full") == 0 ? 2 : 1;
    }
    return mode > 0;
}

void FRAME_PAINTER::STATS::drawn(double ms) {
    frames++;
    total_ms += ms;
    worst_ms = std::max(worst_ms, ms);
    best_ms = std::min(best_ms, ms);
}

void FRAME_PAINTER::STATS::loop() {
    loops++;
    const auto now = std::chrono::steady_clock::now();
    const double s = std::chrono::duration<double>(now - since).count();
    if (s < 2.0) return;
    std::printf("Frames: %d drawn of %d in %.1f s (%.1f a second), drawing %.2f ms mean, %.2f best, %.2f worst\n",
                frames, loops, s, frames / s, frames > 0 ? total_ms / frames : 0.0, frames > 0 ? best_ms : 0.0,
                worst_ms);
    std::fflush(stdout);
    *this = STATS{mode};
}

// ---------------------------------------------------------------- drawing

// A sum of everything on screen that is not a panel: the view, the foot, the
// cables, a cable in hand. The panels are summed one by one (SCREEN_CHANGES).
uint64_t FRAME_PAINTER::scene_signature(const char* help, const char* status) {
    uint64_t sum = SIGNATURE_START;
    const int view[7] = {offsx, offsy, window_width(), window_height(), reserved_rows(), BACK_VIEW_TOGGLE,
                         (int)get_cable_look()};
    sum = mix_value(sum, view);
    sum = mix_value(sum, view_zoom());
    sum = mix_text(sum, help);
    sum = mix_text(sum, status);
    for (const LINK* l : liens) {
        const int ends[5] = {l->corde.x1, l->corde.y1, l->corde.x2, l->corde.y2, l->corde.colour};
        sum = mix_value(sum, ends);
    }
    sum = mix_value(sum, rack_edit_look());
    sum = mix_value(sum, sound_panel_look());
    sum = mix_value(sum, dialog_look());
    if (backs_input) sum = mix_value(sum, ++patching_frames);
    backs_input = false;
    return sum;
}

// The background and the panels meeting one box of the window, then the
// cables, and the foot; everything clipped to the box, the patch area
// clipped above the foot.
void FRAME_PAINTER::draw_area(const FRAME_SCENE& scene, const AREA& a, const char* help, const char* status) {
    const int H = window_height(), patch_rows = std::max(0, H - reserved_rows());
    glEnable(GL_SCISSOR_TEST);
    // GL counts scissor rows from the bottom.
    glScissor(a.x, H - a.y - a.h, a.w, a.h);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    {
        WINDOW_SPACE plain;  // the background does not scroll
        scene.background->toggle_all_draw_flag(1);
        scene.background->Draw_Scene(nullptr, 1);
    }
    const int top = std::max(a.y, 0), bottom = std::min(a.y + a.h, patch_rows);
    if (bottom > top) {
        glScissor(a.x, H - bottom, a.w, bottom - top);
        in_area.clear();
        for (OBJET* p : *scene.shown) {
            const AREA box = panel_area(*p);
            if (box.x < a.x + a.w && a.x < box.x + box.w && box.y < a.y + a.h && a.y < box.y + box.h)
                in_area.push_back(p);
        }
        for (OBJET* p : in_area) p->toggle_all_draw_flag(1);
        draw_all_modules(0, 0, in_area, offsx, offsy, 0, 1, 0);
        draw_patching(*scene.shown, scene.patch_panel);
    }
    if (a.y + a.h > patch_rows) {
        glScissor(a.x, H - a.y - a.h, a.w, a.h);
        draw_foot(help, status);
    }
    // The module browser and the name field, over everything.
    if (rack_edit_look() != 0) {
        glScissor(a.x, H - a.y - a.h, a.w, a.h);
        WINDOW_SPACE plain;
        draw_rack_edit(window_width(), H);
    }
    if (sound_panel_look() != 0) {
        glScissor(a.x, H - a.y - a.h, a.w, a.h);
        WINDOW_SPACE plain;
        draw_sound_panel(window_width(), H);
    }
    // A dialog over that.
    if (dialog_look() != 0) {
        glScissor(a.x, H - a.y - a.h, a.w, a.h);
        WINDOW_SPACE plain;
        draw_dialog();
    }
    glDisable(GL_SCISSOR_TEST);
}

void FRAME_PAINTER::draw_changes(const FRAME_SCENE& scene) {
    const char* status = window_status();
    const char* help = help_text(BACK_VIEW_TOGGLE != 0);
    layout_foot(help, status);
    bool whole = false;
    const bool timed = stats.on();
    if (timed) stats.loop();
    if (timed && stats.mode == 2) changes.redraw_all();
    if (!changes.plan(*scene.shown, scene_signature(help, status), &areas, &whole)) return;
    const auto start = std::chrono::steady_clock::now();
    const unsigned rack = (unsigned)scene.background->COLOR;
    glClearColor(((rack >> 16) & 0xFF) / 255.0f, ((rack >> 8) & 0xFF) / 255.0f, (rack & 0xFF) / 255.0f, 1.0f);
    OrthoMode(0, 0, window_width(), window_height());
    for (const AREA& a : areas) draw_area(scene, a, help, status);
    PerspectiveMode();
    present_areas(areas, whole);
    if (timed) {
        glFinish();
        stats.drawn(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
}
