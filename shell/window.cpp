#include "shell/window.h"

#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "engine/display.h"
#include "engine/draw.h"
#include "engine/events.h"
#include "engine/font_engine.h"
#include "engine/freetype.h"
#include "engine/globals.h"
#include "engine/objet.h"
#include "engine/screen_changes.h"
#include "engine/view.h"
#include "panels/cables.h"
#include "panels/generator_gui.h"
#include "panels/panel_globals.h"
#include "shell/app.h"
#include "shell/demo_panel.h"
#include "shell/globals.h"
#include "shell/patch_reload.h"
#include "shell/keyboard_play.h"
#include "shell/patching.h"
#include "shell/save_command.h"
#include "shell/window_view.h"
#include "synth/exit.h"
#include "synth/generator.h"

namespace {
bool window_quit = false;
void ask_to_quit() { window_quit = true; }

/// Pixels the arrow keys scroll the patch area by.
constexpr int SCROLL_STEP = 40;

// Everything the window shows: the background, the patch's panels (the patch
// panel last), or the demonstration panel when the patch has no module.
struct SCENE {
    OBJET* background = nullptr;
    GENERATOR_GUI* patch_panel = nullptr;  ///< its objets are the module panels
    OBJET* demo = nullptr;
    std::vector<OBJET*> shown;             ///< what is drawn and pointed at
    /// Each panel's front (list and mode) while the backs are shown.
    std::vector<std::pair<OBJET*, std::pair<std::vector<SPRITE*>*, int>>> fronts;
    int pan_from_x = 0, pan_from_y = 0;    ///< scroll offsets when the middle button went down
    bool panning = false;
    SCREEN_CHANGES changes;                ///< what was drawn last, to draw only what changed
    bool input_in_backs = false;           ///< a press, release, key or drag in the back view this frame

    void build() {
        current_patch() = gen;
        patch_panel = new GENERATOR_GUI(gen, 0, 0, "P");
        current_patch() = gen;
        initialise_gui_from_current(&patch_panel->objets);
        // The patch panel stands right of the last column.
        float right = 0;
        for (OBJET* p : patch_panel->objets) right = std::max(right, p->x + p->w);
        patch_panel->setxyz(right + 10, 50, 0);
        shown = patch_panel->objets;
        shown.push_back(patch_panel);
        if (patch_panel->objets.empty()) {
            demo = new DEMO_PANEL(40, 40);
            shown.insert(shown.begin(), demo);
        }
        objets_panel_front = patch_panel->objets;
        BACK_VIEW_TOGGLE = 0;
        fronts.clear();
        set_rack(shown);
        changes.redraw_all();
    }

    void destroy() {
        patching_reset();
        keyboard_play_reset();
        reset_event_state();
        if (patch_panel != nullptr) {
            destroy_panels(patch_panel->objets);
            destroy_panel(patch_panel);
        }
        destroy_panel(demo);
        patch_panel = nullptr;
        demo = nullptr;
        shown.clear();
        objets_panel_front.clear();
    }

    // Tab: the backs of every panel, or back to the fronts they showed.
    void toggle_backs() {
        if (BACK_VIEW_TOGGLE == 0) {
            fronts.clear();
            for (OBJET* p : shown) fronts.push_back({p, {p->current_list, p->view_mode}});
            toggle_FILS_view(&shown);
        } else {
            toggle_FILS_view(&shown);
            for (auto& f : fronts) {
                f.first->toggle_view_mode(f.second.second == 2 ? 2 : 1);
                f.first->current_list = f.second.first;
                f.first->view_mode = f.second.second;
                f.first->calcule_lasurfaceoccupee();
                f.first->toggle_all_draw_flag(1);
            }
            fronts.clear();
        }
        reset_event_state();
    }
};

// The keys of the window itself; true when the key was one of them.
bool window_key(SCENE& scene, SDLKey key, SDLMod mod) {
    const bool ctrl = (mod & KMOD_CTRL) != 0;
    if (ctrl && key == SDLK_s) {
        save_from_window(scene.patch_panel);
        return true;
    }
    if (ctrl && key == SDLK_z) {
        patching_undo(scene.patch_panel);
        return true;
    }
    if (view_key(key, mod, BACK_VIEW_TOGGLE != 0, scene.shown)) return true;
    switch (key) {
    case SDLK_TAB: scene.toggle_backs(); return true;
    case SDLK_LEFT: offsx -= SCROLL_STEP; return true;
    case SDLK_RIGHT: offsx += SCROLL_STEP; return true;
    case SDLK_UP: offsy -= SCROLL_STEP; return true;
    case SDLK_DOWN: offsy += SCROLL_STEP; return true;
    case SDLK_HOME: offsx = offsy = 0; return true;
    default: return false;
    }
}

// What the window itself does with an event before the panels see it:
// follow a resize, draw again when uncovered, zoom or scroll with the wheel.
// True when the event was used up.
bool window_event(SCENE& scene, const SDL_Event& e) {
    const bool backs = BACK_VIEW_TOGGLE != 0;
    if (backs && (e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP || e.type == SDL_KEYDOWN ||
                  (e.type == SDL_MOUSEMOTION && e.motion.state != 0)))
        scene.input_in_backs = true;
    switch (e.type) {
    case SDL_VIDEORESIZE:
        if (follow_resize(e.resize.w, e.resize.h))
            std::printf("Window resized (%d x %d)\n", window_width(), window_height());
        std::fflush(stdout);
        scene.changes.redraw_all();
        return true;
    case SDL_VIDEOEXPOSE:
    case SDL_ACTIVEEVENT: scene.changes.redraw_all(); return false;
    default: return view_wheel(e);
    }
}

// Drains the window's events into the panels; *count says how many came.
// False when the window was closed.
bool handle_events(SCENE& scene, int* count) {
    int result = 0;
    *count = 0;
    while (SDL_PollEvent(&event)) {
        ++*count;
        if (event.type == SDL_QUIT) return false;
        if (window_event(scene, event)) continue;
        if (event.type == SDL_KEYDOWN && window_key(scene, event.key.keysym.sym, event.key.keysym.mod)) continue;
        if (patching_event(event, scene.shown, scene.patch_panel)) continue;
        if (keyboard_play_event(event, scene.shown)) continue;
        if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_MIDDLE) {
            scene.pan_from_x = offsx;
            scene.pan_from_y = offsy;
            scene.panning = true;
        }
        if (event.type == SDL_MOUSEBUTTONUP && event.button.button == SDL_BUTTON_MIDDLE) scene.panning = false;
        result = dispatch_event(event, scene.shown, result);
        // A drag with the middle button held moves the patch area with the pointer.
        if (result == 3 && scene.panning) {
            offsx = scene.pan_from_x - (mouse_x - Mbx);
            offsy = scene.pan_from_y - (mouse_y - Mby);
        }
    }
    return true;
}

// Messages (they may switch pictures) and the values panels mirror: every
// frame, whether or not it is drawn.
void evolve_panels(SCENE& scene) {
    for (OBJET* p : scene.shown) p->evolue();
}

// A sum of everything on screen that is not a panel: the view, the foot, the
// cables, a cable in hand. The panels are summed one by one (SCREEN_CHANGES).
uint64_t scene_signature(SCENE& scene, const char* help, const char* status) {
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
    // Patching in the back view (a cable in hand follows the pointer): each
    // such frame is drawn.
    if (scene.input_in_backs) {
        static uint64_t patching_frames = 0;
        sum = mix_value(sum, ++patching_frames);
    }
    scene.input_in_backs = false;
    return sum;
}

// The background and the panels meeting one box of the window, then the
// cables, and the foot; everything clipped to the box, the patch area
// clipped above the foot.
void draw_area(SCENE& scene, const AREA& a, const char* help, const char* status,
               std::vector<OBJET*>& in_area) {
    const int H = window_height(), patch_rows = std::max(0, H - reserved_rows());
    glEnable(GL_SCISSOR_TEST);
    // GL counts scissor rows from the bottom.
    glScissor(a.x, H - a.y - a.h, a.w, a.h);
    {
        WINDOW_SPACE plain;  // the background does not scroll
        scene.background->toggle_all_draw_flag(1);
        scene.background->Draw_Scene(nullptr, 1);
    }
    const int top = std::max(a.y, 0), bottom = std::min(a.y + a.h, patch_rows);
    if (bottom > top) {
        glScissor(a.x, H - bottom, a.w, bottom - top);
        in_area.clear();
        for (OBJET* p : scene.shown) {
            const AREA box = panel_area(*p);
            if (box.x < a.x + a.w && a.x < box.x + box.w && box.y < a.y + a.h && a.y < box.y + box.h)
                in_area.push_back(p);
        }
        for (OBJET* p : in_area) p->toggle_all_draw_flag(1);
        draw_all_modules(0, 0, in_area, offsx, offsy, 0, 1, 0);
        draw_patching(scene.shown, scene.patch_panel);
    }
    if (a.y + a.h > patch_rows) {
        glScissor(a.x, H - a.y - a.h, a.w, a.h);
        draw_foot(help, status);
    }
    glDisable(GL_SCISSOR_TEST);
}

// With Z_OZODIVE_FRAME_STATS set, the frames drawn and their drawing time
// (GL finished) every 2 s on standard output; "full" draws every frame whole.
struct FRAME_STATS {
    int mode = -1;  ///< -1 not asked yet, 0 off, 1 on, 2 every frame whole
    int frames = 0, loops = 0;
    double total_ms = 0, worst_ms = 0, best_ms = 1e9;
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();

    bool on() {
        if (mode < 0) {
            const char* v = std::getenv("Z_OZODIVE_FRAME_STATS");
            mode = v == nullptr ? 0 : std::strcmp(v, "full") == 0 ? 2 : 1;
        }
        return mode > 0;
    }
    void drawn(double ms) {
        frames++;
        total_ms += ms;
        worst_ms = std::max(worst_ms, ms);
        best_ms = std::min(best_ms, ms);
    }
    void loop() {
        loops++;
        const auto now = std::chrono::steady_clock::now();
        const double s = std::chrono::duration<double>(now - since).count();
        if (s < 2.0) return;
        std::printf("Frames: %d drawn of %d in %.1f s (%.1f a second), drawing %.2f ms mean, %.2f best, %.2f worst\n",
                    frames, loops, s, frames / s, frames > 0 ? total_ms / frames : 0.0, frames > 0 ? best_ms : 0.0,
                    worst_ms);
        std::fflush(stdout);
        *this = FRAME_STATS{mode};
    }
};
FRAME_STATS frame_stats;

// Draws what changed since the last frame drawn, and shows it. The frame
// rate while something moves, nothing at all while nothing does.
void draw_changes(SCENE& scene) {
    const char* status = patching_status();
    const char* help = help_text(BACK_VIEW_TOGGLE != 0);
    layout_foot(help, status);
    static std::vector<AREA> areas;
    static std::vector<OBJET*> in_area;
    bool whole = false;
    const bool stats = frame_stats.on();
    if (stats) frame_stats.loop();
    if (stats && frame_stats.mode == 2) scene.changes.redraw_all();
    if (!scene.changes.plan(scene.shown, scene_signature(scene, help, status), &areas, &whole)) return;
    const auto start = std::chrono::steady_clock::now();
    const unsigned rack = (unsigned)scene.background->COLOR;
    glClearColor(((rack >> 16) & 0xFF) / 255.0f, ((rack >> 8) & 0xFF) / 255.0f, (rack & 0xFF) / 255.0f, 1.0f);
    OrthoMode(0, 0, window_width(), window_height());
    for (const AREA& a : areas) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(a.x, window_height() - a.y - a.h, a.w, a.h);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_area(scene, a, help, status, in_area);
    }
    PerspectiveMode();
    present_areas(areas, whole);
    if (stats) {
        glFinish();
        frame_stats.drawn(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
}
}  // namespace

void require_display() {
    // Only an X server gives the GL window; SDL would otherwise settle for a
    // console driver and fail later, after the sound questions.
    const char* display = std::getenv("DISPLAY");
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) setenv("SDL_VIDEODRIVER", "x11", 1);
    if (display != nullptr && display[0] != '\0' && SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return;
    std::fprintf(stderr,
                 "No display (%s): the window cannot open; run z_ozodive --headless to play without a window\n",
                 display == nullptr || display[0] == '\0' ? "DISPLAY is not set" : SDL_GetError());
    kel_exit(1);
}

void run_window(const WINDOW_SETUP& setup, const std::function<bool()>& chores) {
    initGL(setup.width, setup.height, "", "Kel_Engine/GUI.KIM");
    char title[900];
    std::snprintf(title, sizeof title, "z_ozodive - %s", setup.patch);
    SDL_WM_SetCaption(title, nullptr);
    FONTS.Load_Fonts("Kel_Engine/FONTS.LST");

    SCENE scene;
    scene.background = new OBJET(0, 0, "1");
    scene.background->load_RC("FOND_GLOBAL.RC");
    scene.build();
    set_escape_action(ask_to_quit);
    window_quit = false;

    std::printf("Window open (%d x %d). Escape quits.\n", setup.width, setup.height);
    std::fflush(stdout);
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::microseconds(1000000 / MAIN_LOOP_HZ);
    auto next = clock::now();
    // Panels are drawn by the frame, only where something changed. While
    // the player acts, every frame; a while after the last event, what the
    // sound moves (lamps, displays) is looked at every IDLE_DIVIDER frames.
    set_draw_on_change(false);
    constexpr int IDLE_DIVIDER = 3;
    const auto lively = std::chrono::milliseconds(500);
    auto last_event = clock::now();
    long frame = 0;
    while (!window_quit) {
        int events = 0;
        if (!handle_events(scene, &events)) break;
        if (window_quit) break;
        if (events > 0) last_event = clock::now();
        const bool look = clock::now() - last_event < lively || frame++ % IDLE_DIVIDER == 0;
        if (look) evolve_panels(scene);
        if (!chores()) break;
        if (look) draw_changes(scene);
        // A reload asked for by a patch panel runs here, between frames:
        // the panels it deletes are not in use.
        const PATCH_RELOAD reload = take_patch_reload();
        if (reload.target != nullptr && reload_patch(reload.target, reload.path)) {
            scene.destroy();
            scene.build();
            CALLBACK_READY.store(1, std::memory_order_release);
        }
        next += period;
        const auto now = clock::now();
        if (next < now) next = now;
        std::this_thread::sleep_until(next);
    }
    set_draw_on_change(true);
    set_escape_action(nullptr);
    scene.destroy();
    destroy_panel(scene.background);
}
