#include "shell/window.h"

#include <GL/gl.h>
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "engine/display.h"
#include "engine/draw.h"
#include "engine/events.h"
#include "engine/font_engine.h"
#include "engine/freetype.h"
#include "engine/globals.h"
#include "engine/objet.h"
#include "shell/app.h"
#include "shell/demo_panel.h"
#include "synth/exit.h"

namespace {
bool window_quit = false;
void ask_to_quit() { window_quit = true; }

// The keys and mouse actions, at the foot of the window.
const char* const HELP_LINE =
    "Drag a knob up or down to turn it  |  click a button to switch it  |  Esc or closing the window quits";

void draw_help_line(int width, int height) {
    FillRect(0, height - 13 - 22, width, 22, (int)0xC0101418u);
    glColor3d(0.85, 0.82, 0.72);
    // Text rows count from the bottom of the window.
    freetype::print(FONTS.get_Font(0, 12), 10, 7, "%s", HELP_LINE);
    glColor3d(1, 1, 1);
}

// Drains the window's events into the panels. False when the window was closed.
bool handle_events(std::vector<OBJET*>& panels) {
    int result = 0;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) return false;
        result = dispatch_event(event, panels, result);
    }
    return true;
}

void draw_frame(OBJET* background, std::vector<OBJET*>& panels, int width, int height) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    OrthoMode(0, 0, width, height);
    if (background != nullptr) {
        background->toggle_all_draw_flag(1);
        background->Draw_Scene(nullptr, 1);
    }
    // Messages first (they may switch pictures), then every element is drawn
    // afresh: the frame is rebuilt from nothing each time.
    for (OBJET* p : panels) p->evolue();
    for (OBJET* p : panels) p->toggle_all_draw_flag(1);
    draw_all_modules(0, 0, panels, offsx, offsy, 0, 1, 1);
    draw_help_line(width, height);
    PerspectiveMode();
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

    OBJET* background = new OBJET(0, 0, "1");
    background->load_RC("FOND_GLOBAL.RC");
    std::vector<OBJET*> panels;
    panels.push_back(new DEMO_PANEL(40, 40));
    set_escape_action(ask_to_quit);
    window_quit = false;

    std::printf("Window open (%d x %d). Escape quits.\n", setup.width, setup.height);
    std::fflush(stdout);
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::microseconds(1000000 / MAIN_LOOP_HZ);
    auto next = clock::now();
    while (!window_quit) {
        if (!handle_events(panels)) break;
        if (window_quit) break;
        draw_frame(background, panels, setup.width, setup.height);
        if (!chores()) break;
        SDL_GL_SwapBuffers();
        next += period;
        const auto now = clock::now();
        if (next < now) next = now;
        std::this_thread::sleep_until(next);
    }
    reset_event_state();
    set_escape_action(nullptr);
    for (OBJET* p : panels) destroy_panel(p);
    destroy_panel(background);
}
