#include "engine/display.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/gl_context.h"
#include "engine/globals.h"
#include "engine/kbiblio.h"
#include "synth/exit.h"

SDL_Surface* screen = nullptr;
SDL_Surface* buffer = nullptr;
SDL_Surface* fond_image = nullptr;
KBIBLIO* bibliotheque_graphique = nullptr;

namespace {
bool context_ready = false;
int opened_width = 1024, opened_height = 768;
Uint32 opened_flags = 0;

// The context goes with the process at exit: objects destroyed after this (the
// font table) must not call GL any more. SDL is not shut down here: a window
// needs no restoring, and the GL driver stays loaded for the leak checker to
// name what its libraries keep.
void close_display() { context_ready = false; }

[[noreturn]] void video_failure(const char* format) {
    std::fprintf(stderr, format, SDL_GetError());
    kel_exit(1);
}

// A 2048 x 2048 32-bit surface of the software path, red in the low byte.
SDL_Surface* drawing_surface() {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_HWSURFACE, 2048, 2048, 32, 0xFF, 0xFF00, 0xFF0000, 0);
    if (s != nullptr) SDL_SetAlpha(s, SDL_SRCALPHA, 255);
    return s;
}
}  // namespace

bool gl_context_ready() { return context_ready; }
int window_width() { return opened_width; }
int window_height() { return opened_height; }
int text_baseline_row() { return opened_height - 21; }
void set_gl_context_ready(bool ready) { context_ready = ready; }

int KEL_ENGINE_Init(int, int, const char* caption, const char* kim) {
    std::printf("Init SDL_VIDEO\n");
    if (SDL_Init(SDL_INIT_VIDEO) < 0) video_failure("Video initialization failed: %s\n");
    screen = SDL_SetVideoMode(320, 240, 32, SDL_HWSURFACE | SDL_NOFRAME | SDL_ANYFORMAT | SDL_DOUBLEBUF);
    if (screen == nullptr) video_failure("Video mode set failed: %s\n");
    std::printf("Load Snap\n");
    SDL_Surface* splash = IMG_Load("Kel_Engine/SnapShot.jpg");
    if (splash == nullptr) {
        std::printf("Error opening [Kel_Engine/SnapShot.jpg]\n");
        kel_exit(-1);
    }
    SDL_UpperBlit(splash, nullptr, screen, nullptr);
    SDL_Flip(screen);
    SDL_FreeSurface(splash);
    std::printf("Init Font_Engine\n");
    buffer = drawing_surface();
    fond_image = drawing_surface();
    SDL_WM_SetCaption(caption, nullptr);
    SDL_Flip(screen);
    std::printf("H1\n");
    bibliotheque_graphique = new KBIBLIO(const_cast<char*>(kim));
    return 1;
}

int initGL(int width, int height, const char*, const char* kim) {
    // SDL_GL_DOUBLEBUFFER's value (5) or-ed in as video flags reads as a
    // hardware surface with asynchronous blits.
    Uint32 flags = SDL_OPENGL | 0x5 | SDL_HWPALETTE;
    if (SDL_Init(SDL_INIT_VIDEO) < 0) video_failure("Video initialization failed: %s\n");
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info == nullptr) video_failure("Video query failed: %s\n");
    if (info->hw_available) flags |= SDL_HWSURFACE;
    if (info->blit_hw) flags |= SDL_HWACCEL;
    // The window manager may resize it: the frame loop follows (resize_display).
    flags |= SDL_RESIZABLE;
    opened_flags = flags;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    screen = SDL_SetVideoMode(width, height, 32, flags);
    if (screen == nullptr) video_failure("Video mode set failed: %s\n");
    static bool exit_registered = false;
    if (!exit_registered) {
        exit_registered = true;
        std::atexit(close_display);
    }
    context_ready = true;
    opened_width = width;
    opened_height = height;
    resizeWindow(width, height, 0);
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    bibliotheque_graphique = new KBIBLIO();
    if (kim != nullptr) bibliotheque_graphique->load_KIM(const_cast<char*>(kim));
    return 1;
}

bool resize_display(int width, int height) {
    if (!context_ready || width <= 0 || height <= 0) return false;
    // On X11, SDL 1.2 resizes the GL window in place: the context, with its
    // textures and display lists, stays.
    SDL_Surface* resized = SDL_SetVideoMode(width, height, 32, opened_flags);
    if (resized == nullptr) return false;
    screen = resized;
    opened_width = width;
    opened_height = height;
    // Mesa's software driver asks the drawable's size again after a swap
    // only; without one the drawing buffer keeps its old size. The buffer
    // swapped holds what is on screen already.
    SDL_GL_SwapBuffers();
    resizeWindow(width, height, 0);
    return true;
}

int resizeWindow(int width, int height, int mode) {
    if (height == 0) height = 1;
    const GLfloat ratio = (GLfloat)width / (GLfloat)height;
    glViewport(0, 0, (GLsizei)width, (GLsizei)height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, ratio, 0.1, 100.0);
    if (mode == 1) glMatrixMode(GL_MODELVIEW);
    // Any other mode resets the still-selected projection to the identity.
    glLoadIdentity();
    return 1;
}

void OrthoMode(int left, int top, int right, int bottom) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(left, right, bottom, top, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void PerspectiveMode() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

namespace {
bool ends_with(const std::string& name, const std::string& suffix) {
    return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool is_regular_file(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
}  // namespace

std::vector<char*>* get_file_list(const char* directory, const char* extension) {
    auto* list = new std::vector<char*>();
    if (directory == nullptr || extension == nullptr) return list;
    std::string upper = ".", lower = ".";
    for (const char* p = extension; *p != '\0'; p++) {
        upper += (char)std::toupper((unsigned char)*p);
        lower += (char)std::tolower((unsigned char)*p);
    }
    std::vector<std::string> upper_names, lower_names;
    if (DIR* dir = opendir(directory)) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() >= 800 || !is_regular_file(std::string(directory) + "/" + name)) continue;
            if (ends_with(name, upper)) upper_names.push_back(name);
            else if (ends_with(name, lower)) lower_names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(upper_names.begin(), upper_names.end());
    std::sort(lower_names.begin(), lower_names.end());
    upper_names.insert(upper_names.end(), lower_names.begin(), lower_names.end());
    for (const auto& name : upper_names) std::printf("[%s]\n", name.c_str());
    // Names read later come first.
    for (auto it = upper_names.rbegin(); it != upper_names.rend(); ++it) {
        char* copy = new char[it->size() + 1];
        std::memcpy(copy, it->c_str(), it->size() + 1);
        list->push_back(copy);
    }
    return list;
}

void free_file_list(std::vector<char*>* list) {
    if (list == nullptr) return;
    for (char* name : *list) delete[] name;
    delete list;
}
