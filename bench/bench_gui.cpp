// Drawing under Mesa's software OpenGL (llvmpipe) on a private Xvfb: one frame
// of the oscillator test scope, and a frame of 200 textured sprites, each
// through to a finished swap.
#include <GL/gl.h>
#include <SDL/SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "bench/data_folder.h"
#include "engine/display.h"
#include "engine/globals.h"
#include "engine/kbiblio.h"
#include "engine/sprite.h"
#include "shell/scope.h"
#include "tests/xvfb.h"

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
}  // namespace
