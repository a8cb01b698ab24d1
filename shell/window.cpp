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

#include "engine/dialog.h"
#include "engine/display.h"
#include "engine/draw.h"
#include "engine/events.h"
#include "engine/font_engine.h"
#include "engine/freetype.h"
#include "engine/globals.h"
#include "engine/objet.h"
#include "panels/generator_gui.h"
#include "panels/panel_globals.h"
#include "shell/app.h"
#include "shell/demo_panel.h"
#include "shell/globals.h"
#include "shell/patch_reload.h"
#include "shell/keyboard_play.h"
#include "shell/patching.h"
#include "shell/rack_edit.h"
#include "shell/file_window.h"
#include "shell/sound_panel.h"
#include "shell/status_line.h"
#include "shell/window_frame.h"
#include "shell/window_view.h"
#include "synth/exit.h"
#include "synth/generator.h"
#include "synth/news.h"

namespace {
/// The patch panel the quit question saves from.
GENERATOR_GUI* quitting_panel = nullptr;
// Escape, the close button, Ctrl+Q: asked first when edits are unsaved.
void ask_to_quit() { files_quit_request(quitting_panel); }

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
    FRAME_PAINTER painter;                 ///< draws what changed since the last frame

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
        quitting_panel = patch_panel;
        painter.redraw_all();
    }

    void destroy() {
        // A dialog may hold the panels it was opened from.
        dialog_cancel();
        patching_reset();
        keyboard_play_reset();
        reset_event_state();
        if (patch_panel != nullptr) {
            destroy_panels(patch_panel->objets);
            destroy_panel(patch_panel);
        }
        destroy_panel(demo);
        patch_panel = nullptr;
        quitting_panel = nullptr;
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
    if (files_key(key, mod, scene.patch_panel)) return true;
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
        scene.painter.patching_input();
    switch (e.type) {
    case SDL_VIDEORESIZE:
        if (follow_resize(e.resize.w, e.resize.h))
            std::printf("Window resized (%d x %d)\n", window_width(), window_height());
        std::fflush(stdout);
        scene.painter.redraw_all();
        return true;
    case SDL_VIDEOEXPOSE:
    case SDL_ACTIVEEVENT: scene.painter.redraw_all(); return false;
    default: return view_wheel(e);
    }
}

// Drains the window's events into the panels; *count says how many came.
void handle_events(SCENE& scene, int* count) {
    int result = 0;
    *count = 0;
    while (SDL_PollEvent(&event)) {
        ++*count;
        // The window's dialogs (a name, a file list, a question) take everything while open.
        if (dialog_event(event)) continue;
        if (event.type == SDL_QUIT) {
            files_quit_request(scene.patch_panel);
            continue;
        }
        // The sound output panel, then the module browser and the name field, take their keys first.
        if (sound_panel_event(event)) continue;
        if (rack_event(event, scene.shown, scene.patch_panel)) continue;
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
}

// Messages (they may switch pictures) and the values panels mirror: every
// frame, whether or not it is drawn.
void evolve_panels(SCENE& scene) {
    for (OBJET* p : scene.shown) p->evolue();
}

// A module came or went, or an edit was undone: the panels are built again
// from the patch (the column layout runs again), the backs kept if shown.
void rebuild_panels(SCENE& scene) {
    const bool backs = BACK_VIEW_TOGGLE != 0;
    scene.destroy();
    scene.build();
    if (backs) scene.toggle_backs();
    rack_rebuilt(scene.patch_panel, window_width(), window_height());
}

// The title marks unsaved edits; set again only when it changes.
void update_title(char* shown, int size) {
    char now[900];
    rack_title(files_patch().empty() ? "untitled" : files_patch().c_str(), now, sizeof now);
    if (std::strcmp(now, shown) == 0) return;
    std::snprintf(shown, (size_t)size, "%s", now);
    SDL_WM_SetCaption(shown, nullptr);
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

namespace {

// A patch chosen in a dialog (opened, restored, or a new empty one) takes the
// place of the one playing, between frames: the panels it deletes are not in use.
void load_chosen(SCENE& scene) {
    const FILE_LOAD load = files_take_load();
    if (load.kind == FILE_LOAD::NONE) return;
    bool ok = true;
    if (load.kind == FILE_LOAD::EMPTY) reload_patch_empty(gen);
    else ok = reload_patch(gen, load.path.c_str());
    if (ok) {
        rack_forget();
        scene.destroy();
        scene.build();
        offsx = offsy = 0;
        CALLBACK_READY.store(1, std::memory_order_release);
    }
    files_loaded(load, ok);
}

}  // namespace

void run_window(const WINDOW_SETUP& setup, const std::function<bool()>& chores) {
    initGL(setup.width, setup.height, "", "Kel_Engine/GUI.KIM");
    char title[900];
    rack_forget();
    FONTS.Load_Fonts("Kel_Engine/FONTS.LST");
    // What a load, a save or a refused name says shows on the status line too.
    set_news_sink(status_message);
    files_start(setup.patch != nullptr ? setup.patch : "", setup.settings, setup.settings_file);
    sound_panel_start(setup.settings, setup.settings_file);
    rack_title(files_patch().empty() ? "untitled" : files_patch().c_str(), title, sizeof title);
    SDL_WM_SetCaption(title, nullptr);

    SCENE scene;
    scene.background = new OBJET(0, 0, "1");
    scene.background->load_RC("FOND_GLOBAL.RC");
    scene.build();
    set_escape_action(ask_to_quit);

    std::printf("Window open (%d x %d). Escape quits.\n", setup.width, setup.height);
    std::fflush(stdout);
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::microseconds(1000000 / MAIN_LOOP_HZ);
    auto next = clock::now();
    // Panels are drawn by the frame, only where something changed. While
    // the player acts, every frame; a while after the last event, what the
    // sound moves (lamps, displays) is looked at every IDLE_DIVIDER frames.
    set_draw_on_change(false);
    constexpr int IDLE_DIVIDER = 4;
    const auto lively = std::chrono::milliseconds(500);
    auto last_event = clock::now();
    long frame = 0;
    bool chosen = false;  // the player quit (not a signal nor the console)
    for (;;) {
        int events = 0;
        handle_events(scene, &events);
        if (files_quit_wanted()) {
            chosen = true;
            break;
        }
        if (events > 0) last_event = clock::now();
        const bool look = clock::now() - last_event < lively || frame++ % IDLE_DIVIDER == 0;
        if (look) {
            evolve_panels(scene);
            rack_after_frame(scene.patch_panel);
        }
        if (!chores()) break;
        if (files_quit_wanted()) {
            chosen = true;
            break;
        }
        if (look) scene.painter.draw_changes(FRAME_SCENE{scene.background, &scene.shown, scene.patch_panel});
        // A reload asked for by a patch panel runs here, between frames:
        // the panels it deletes are not in use.
        const PATCH_RELOAD reload = take_patch_reload();
        if (reload.target != nullptr && reload_patch(reload.target, reload.path)) {
            rack_forget();
            scene.destroy();
            scene.build();
            CALLBACK_READY.store(1, std::memory_order_release);
        }
        load_chosen(scene);
        if (rack_rebuild_wanted()) rebuild_panels(scene);
        files_frame(scene.patch_panel);
        update_title(title, sizeof title);
        next += period;
        const auto now = clock::now();
        if (next < now) next = now;
        std::this_thread::sleep_until(next);
    }
    dialog_cancel();
    files_end(scene.patch_panel, chosen);
    set_news_sink(nullptr);
    set_draw_on_change(true);
    set_escape_action(nullptr);
    scene.destroy();
    destroy_panel(scene.background);
}
