#include "shell/scope.h"

#include <GL/gl.h>
#include <SDL/SDL.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "engine/display.h"
#include "shell/globals.h"

namespace {
volatile sig_atomic_t scope_quit = 0;

void request_quit(int) { scope_quit = 1; }

// Pumps the window's events; true when the user asked to leave.
bool quit_asked() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT) return true;
        if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) return true;
    }
    return scope_quit != 0;
}

// One column of one trace: a segment one pixel tall at row y.
void mark(float x, float y) {
    glVertex2f(x, y + 1);
    glVertex2f(x, y);
}
}  // namespace

TEST_SCOPE::TEST_SCOPE() {
    const float frequencies[3] = {110.0f, 55.0f, 220.0f};
    for (int i = 0; i < 3; i++) {
        oscillators[i].PHASE = 0.0f;
        oscillators[i].FREQ = frequencies[i];
    }
}

void TEST_SCOPE::frame() {
    for (auto& o : oscillators) o.evolue();
    OrthoMode(0, 0, 1024, 768);
    const float a = oscillators[0].value * 64, b = oscillators[1].value * 64, c = oscillators[2].value * 64,
                s = a + b + c;
    x += 1.0f;
    if (x > 1024.0f) {
        oscillators[0].cycle = 0.0f;
        oscillators[1].cycle = 0.0f;
        x = 0.0f;
    }
    glBegin(GL_LINES);
    glColor3f(1, 1, 1);
    for (float row : {128.0f, 256.0f, 384.0f, 512.0f}) mark(x, row);
    glColor3f(1, 0, 0);
    mark(x, 128 + a);
    glColor3f(0, 1, 0);
    mark(x, 256 + b);
    glColor3f(0, 0, 1);
    mark(x, 384 + c);
    glColor3f(1, 1, 1);
    mark(x, 512 + s);
    glEnd();
    PerspectiveMode();
}

int run_scope() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = request_quit;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    main_gen = gen;
    initGL(1024, 768, "", nullptr);
    resizeWindow(1024, 784, 1);
    TEST_SCOPE scope;
    int frames = 0;
    Uint32 last_report = 0;
    // Events are pumped every frame; Escape and the close button end the scope.
    while (!quit_asked()) {
        scope.frame();
        SDL_GL_SwapBuffers();
        frames++;
        const Uint32 now = SDL_GetTicks();
        if (now - last_report >= 5000) {
            const double seconds = (now - last_report) / 1000.0;
            std::printf("%d frames in %g seconds = %g FPS\n", frames, seconds, frames / seconds);
            std::fflush(stdout);
            frames = 0;
            last_report = now;
        }
    }
    return 0;
}
