// Drawing under Mesa's software OpenGL (llvmpipe) on a private Xvfb: one frame
// of the oscillator test scope, and a frame of 200 textured sprites, each
// through to a finished swap; the default patch's frame, its backs with 100
// cables, and the audio callback while a knob is dragged.
#include <GL/gl.h>
#include <SDL/SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "bench/data_folder.h"
#include "engine/display.h"
#include "engine/globals.h"
#include "engine/kbiblio.h"
#include "engine/sprite.h"
#include "engine/events.h"
#include "engine/font_engine.h"
#include "engine/objet.h"
#include "panels/cables.h"
#include "panels/generator_gui.h"
#include "panels/panel_globals.h"
#include "panels/sockets.h"
#include "panels/vco_gui.h"
#include "shell/audio.h"
#include "shell/globals.h"
#include "shell/scope.h"
#include "synth/generator.h"
#include "synth/notes.h"
#include "tests/xvfb.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {
// The window opens once for the whole program, on its own X server.
bool open_window() {
    static const bool opened = [] {
        enter_data_folder();
        if (shared_xvfb().display().empty()) return false;
        initGL(1024, 768, "", "Kel_Engine/GUI.KIM");
        return true;
    }();
    return opened;
}

void BM_ScopeFrame(benchmark::State& state) {
    if (!open_window()) return state.SkipWithError("no X server");
    resizeWindow(1024, 784, 1);
    TEST_SCOPE scope;
    for (auto _ : state) {
        scope.frame();
        SDL_GL_SwapBuffers();
        glFinish();
    }
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScopeFrame)->Unit(benchmark::kMillisecond);

// 200 sprites of the image library's pictures (knobs, buttons, displays,
// panel faces), turned at different angles, over a cleared window.
void BM_Sprites200(benchmark::State& state) {
    if (!open_window()) return state.SkipWithError("no X server");
    resizeWindow(1024, 768, 0);
    KBIBLIO* lib = bibliotheque_graphique;
    std::vector<SPRITE> sprites;
    for (int i = 0; i < 200; i++) {
        const int image = i % (lib->image_count > 0 ? lib->image_count : 1);
        sprites.emplace_back(lib->names[image], (i * 97) % 960, (i * 53) % 700, 0, 0, 0, 1.0f, (i * 7) % 360, 255);
    }
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        OrthoMode(0, 0, 1024, 768);
        for (auto& s : sprites) s.blit(nullptr);
        PerspectiveMode();
        SDL_GL_SwapBuffers();
        glFinish();
    }
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Sprites200)->Unit(benchmark::kMillisecond);

// The panels of a whole patch, built as the window builds them.
struct PATCH_PANELS {
    GENERATOR patch;
    std::vector<OBJET*> panels;
    explicit PATCH_PANELS(const char* file) : patch(const_cast<char*>(file)) {
        current_patch() = &patch;
        initialise_gui_from_current(&panels);
    }
    ~PATCH_PANELS() { destroy_panels(panels); }
};

// One frame of the window with every panel of the default patch: messages,
// every element drawn afresh, the swap.
void BM_PatchFrame(benchmark::State& state) {
    if (!open_window()) return state.SkipWithError("no X server");
    resizeWindow(1024, 768, 0);
    if (FONTS.font_count == 0) FONTS.Load_Fonts("Kel_Engine/FONTS.LST");
    fill_NOTE2FREQ();
    PATCH_PANELS p("KSY/ZZZ.ksy");
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        OrthoMode(0, 0, 1024, 768);
        for (OBJET* panel : p.panels) panel->evolue();
        for (OBJET* panel : p.panels) panel->toggle_all_draw_flag(1);
        draw_all_modules(0, 0, p.panels, 0, 0, 0, 1, 1);
        PerspectiveMode();
        SDL_GL_SwapBuffers();
        glFinish();
    }
    state.counters["panels"] = (double)p.panels.size();
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PatchFrame)->Unit(benchmark::kMillisecond);

// A frame of the default patch's backs with range(0) cables drawn over them
// between the sockets inside the window, so that none is left out as unseen
// (100 is a thickly patched rack), or with the patch's own cables (-1): the
// cables' share of a frame is the difference from 0 cables.
void BM_BackFrameWithCables(benchmark::State& state) {
    if (!open_window()) return state.SkipWithError("no X server");
    resizeWindow(1024, 768, 0);
    if (FONTS.font_count == 0) FONTS.Load_Fonts("Kel_Engine/FONTS.LST");
    fill_NOTE2FREQ();
    PATCH_PANELS p("KSY/ZZZ.ksy");
    std::vector<std::pair<OBJET*, SPRITE*>> sockets;
    for (OBJET* panel : p.panels) {
        panel->toggle_view_mode(4);
        for (SPRITE* s : panel->alt_elements) {
            SOCKET_INFO info;
            if (read_socket(panel, s, &info) && panel->x + s->x < 1000 && panel->y + s->y < 700)
                sockets.emplace_back(panel, s);
        }
    }
    if (sockets.empty()) return state.SkipWithError("no sockets");
    clear_cables();
    if (state.range(0) < 0) {
        // The cables of the patch's links, as the window builds them.
        GENERATOR_GUI* own = new GENERATOR_GUI(&p.patch, 0, 0, "P");
        own->objets = p.panels;
        build_cables(own);
        own->objets.clear();
        destroy_panel(own);
    }
    for (int i = 0; i < state.range(0); i++) {
        const auto& a = sockets[(size_t)(i * 7) % sockets.size()];
        const auto& b = sockets[(size_t)(i * 13 + 5) % sockets.size()];
        liens.push_back(new LINK(a.first, b.first, a.second, b.second, cable_colour((SOCKET_KIND)(i % 3))));
    }
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        OrthoMode(0, 0, 1024, 768);
        for (OBJET* panel : p.panels) panel->evolue();
        for (OBJET* panel : p.panels) panel->toggle_all_draw_flag(1);
        draw_all_modules(0, 0, p.panels, 0, 0, 0, 1, 1);
        draw_cables();
        PerspectiveMode();
        SDL_GL_SwapBuffers();
        glFinish();
    }
    state.counters["cables"] = (double)liens.size();
    clear_cables();
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BackFrameWithCables)->Arg(0)->Arg(-1)->Arg(100)->Unit(benchmark::kMillisecond);

// The audio callback's longest buffer while the interface drags a frequency
// knob (one step message per frame for every oscillator panel, frames drawn
// as fast as they go). Reported as max_ms and mean_ms per 3072-frame buffer.
void BM_CallbackWhileDragging(benchmark::State& state) {
    if (!open_window()) return state.SkipWithError("no X server");
    if (FONTS.font_count == 0) FONTS.Load_Fonts("Kel_Engine/FONTS.LST");
    fill_NOTE2FREQ();
    PATCH_PANELS p("KSY/ZZZ.ksy");
    main_gen.store(&p.patch);
    CALLBACK_READY.store(1);
    std::atomic<bool> stop{false};
    std::vector<short> buffer(BufferSize / 2);
    double worst = 0, total = 0;
    long buffers = 0;
    std::thread audio([&] {
        while (!stop.load()) {
            const auto t0 = std::chrono::steady_clock::now();
            instrument_callback(nullptr, buffer.data(), BufferSize, nullptr);
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            worst = std::max(worst, ms);
            total += ms;
            buffers++;
        }
    });
    SDL_Event none{};
    for (auto _ : state) {
        for (OBJET* panel : p.panels)
            if (auto* vco = dynamic_cast<VCO_GUI*>(panel))
                if (SPRITE* knob = vco->get_SPRITE_by_name("SLD_FREQUENCE"))
                    vco->ajoute_message(MESSAGE(0, none, "SLD_DOWN", knob));
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        OrthoMode(0, 0, 1024, 768);
        for (OBJET* panel : p.panels) panel->evolue();
        for (OBJET* panel : p.panels) panel->toggle_all_draw_flag(1);
        draw_all_modules(0, 0, p.panels, 0, 0, 0, 1, 1);
        PerspectiveMode();
        SDL_GL_SwapBuffers();
    }
    stop.store(true);
    audio.join();
    CALLBACK_READY.store(0);
    main_gen.store(nullptr);
    state.counters["max_ms"] = worst;
    state.counters["mean_ms"] = buffers > 0 ? total / buffers : 0;
    state.counters["buffers"] = (double)buffers;
}
BENCHMARK(BM_CallbackWhileDragging)->Unit(benchmark::kMillisecond)->MinTime(3.0);
}  // namespace
