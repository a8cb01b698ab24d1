#include "shell/sound_panel.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/dialog.h"
#include "engine/display.h"
#include "shell/audio.h"
#include "shell/settings.h"
#include "shell/sound_drivers.h"
#include "shell/status_line.h"

namespace {

/// The kinds in the console menu's order (its keys 1 to 4), JACK after them.
constexpr int KINDS[] = {FSOUND_OUTPUT_OSS, FSOUND_OUTPUT_ESD, FSOUND_OUTPUT_ALSA, FSOUND_OUTPUT_NOSOUND,
                         FSOUND_OUTPUT_JACK};
constexpr int KIND_COUNT = sizeof KINDS / sizeof KINDS[0];

/// One line of the list: a kind's heading, one of its drivers, or a note
/// that it has none.
struct LINE {
    int kind;
    int driver;  ///< from 0; -1 for a heading or a note
    std::string text;
    bool heading;
    std::string name;  ///< the driver's name as the layer lists it
};

struct PANEL {
    bool open = false;
    std::vector<LINE> lines;
    int selected = 0;        ///< a driver's line
    int first = 0;           ///< first line shown
    SOUND_PLACE playing;     ///< where the sound goes
    std::string news;        ///< the last switch that failed, shown at the panel's foot
    bool swallow_escape_up = false;  ///< Escape closed it: its release must not quit the window
};
PANEL panel;
SETTINGS* kept = nullptr;  ///< the window's settings, shared with its other parts
std::string kept_file;

constexpr int ROW = 20;  ///< pixels
constexpr int BOX_X = 60, BOX_TOP = 40, BOX_W = 700;

int visible_lines() { return std::max(3, (window_height() - BOX_TOP - 140) / ROW); }

bool is_driver(int line) {
    return line >= 0 && line < (int)panel.lines.size() && panel.lines[(size_t)line].driver >= 0;
}

void keep_selection_shown() {
    const int rows = visible_lines();
    // A driver's heading shows with it when there is room.
    const int top = panel.selected > 0 && !is_driver(panel.selected - 1) ? panel.selected - 1 : panel.selected;
    if (top < panel.first) panel.first = top;
    if (panel.selected >= panel.first + rows) panel.first = panel.selected - rows + 1;
}

/// The lines for every kind, as the drivers are listed now; the selection on
/// what plays.
void list_drivers() {
    panel.lines.clear();
    panel.playing = sound_current_place();
    panel.selected = -1;
    for (int n = 0; n < KIND_COUNT; n++) {
        const int kind = KINDS[n];
        char heading[120];
        std::snprintf(heading, sizeof heading, "%d  %s", n + 1, sound_kind_plain_name(kind));
        panel.lines.push_back({kind, -1, heading, true, ""});
        const std::vector<std::string> names = sound_driver_names(kind);
        if (names.empty())
            panel.lines.push_back(
                {kind, -1, kind == FSOUND_OUTPUT_JACK ? "no JACK server answers" : "no driver here", false, ""});
        for (int d = 0; d < (int)names.size(); d++) {
            const bool playing = kind == panel.playing.output && d == panel.playing.driver;
            panel.lines.push_back(
                {kind, d, names[(size_t)d] + (playing ? "   (playing)" : ""), false, names[(size_t)d]});
            if (playing || panel.selected < 0) panel.selected = (int)panel.lines.size() - 1;
        }
    }
    panel.first = 0;
    keep_selection_shown();
}

void open_panel() {
    panel = PANEL{};
    panel.open = true;
    list_drivers();
}

void close_panel() { panel.open = false; }

/// Moves the selection by step drivers (headings and notes are passed over).
void move_selection(int step) {
    const int dir = step > 0 ? 1 : -1;
    for (int left = std::abs(step), at = panel.selected; left > 0; left--) {
        int next = at + dir;
        while (next >= 0 && next < (int)panel.lines.size() && !is_driver(next)) next += dir;
        if (!is_driver(next)) break;
        at = next;
        panel.selected = at;
    }
    keep_selection_shown();
}

/// The first driver of the n-th kind (from 0), when it has one.
void select_kind(int n) {
    for (int i = 0; i < (int)panel.lines.size(); i++)
        if (panel.lines[(size_t)i].kind == KINDS[n] && is_driver(i)) {
            panel.selected = i;
            keep_selection_shown();
            return;
        }
}

std::string describe(const SOUND_PLACE& p) { return sound_output_description(p.output, p.name.c_str()); }

/// On the console and the status line.
void report(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    status_message(text.c_str());
}

/// The settings remember the output now, at once in their file.
void remember(const SOUND_PLACE& p) {
    if (kept == nullptr) return;
    kept->output = p.output;
    kept->driver = p.driver + 1;
    std::string why;
    if (!kept_file.empty() && !settings_save(kept_file, *kept, &why))
        report("The sound output is not remembered: " + why);
}

/// Plays through the driver of line.
void choose(int line) {
    if (!is_driver(line)) return;
    const LINE& l = panel.lines[(size_t)line];
    if (l.kind == panel.playing.output && l.driver == panel.playing.driver) {
        close_panel();
        return;
    }
    SOUND_PLACE wanted;
    wanted.output = l.kind;
    wanted.driver = l.driver;
    wanted.name = l.name;
    const auto start = std::chrono::steady_clock::now();
    const SOUND_SWITCH r = switch_main_stream(wanted);
    // How long the patch was held, on the console only: handy when a device is slow to open.
    std::printf("The sound output switch took %.0f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    if (r.switched) {
        report("Sound output: " + describe(r.playing));
        remember(r.playing);
        close_panel();
        return;
    }
    const std::string now = r.playing.output >= 0 ? "the sound goes on through " + describe(r.playing)
                                                   : "no sound device plays";
    panel.news = "Sound output " + describe(wanted) + " did not open (" + r.why + "); " + now;
    report(panel.news);
    const std::string news = panel.news;
    list_drivers();  // the layer looked at the drivers again
    panel.news = news;
}

void panel_key(const SDL_keysym& k) {
    switch (k.sym) {
    case SDLK_ESCAPE:
        close_panel();
        panel.swallow_escape_up = true;
        return;
    case SDLK_F2: close_panel(); return;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: choose(panel.selected); return;
    case SDLK_UP: move_selection(-1); return;
    case SDLK_DOWN: move_selection(+1); return;
    case SDLK_PAGEUP: move_selection(-visible_lines()); return;
    case SDLK_PAGEDOWN: move_selection(+visible_lines()); return;
    default: break;
    }
    if (k.sym >= SDLK_1 && k.sym < SDLK_1 + KIND_COUNT) select_kind(k.sym - SDLK_1);
    if (k.sym >= SDLK_KP1 && k.sym < SDLK_KP1 + KIND_COUNT) select_kind(k.sym - SDLK_KP1);
}

/// Where the list starts, pixels from the window's top.
int list_top() { return BOX_TOP + 2 * ROW + 8; }

/// The line under the pointer, or -1.
int line_at(int x, int y) {
    if (x < BOX_X || x >= BOX_X + BOX_W || y < list_top()) return -1;
    const int line = (y - list_top()) / ROW + panel.first;
    if (line >= panel.first + visible_lines() || line >= (int)panel.lines.size()) return -1;
    return line;
}

void panel_click(const SDL_MouseButtonEvent& b) {
    if (b.button == SDL_BUTTON_WHEELUP || b.button == SDL_BUTTON_WHEELDOWN) {
        const int most = std::max(0, (int)panel.lines.size() - visible_lines());
        panel.first = std::clamp(panel.first + (b.button == SDL_BUTTON_WHEELUP ? -3 : 3), 0, most);
        return;
    }
    if (b.button != SDL_BUTTON_LEFT) return;
    const int line = line_at(b.x, b.y);
    if (line < 0) {
        close_panel();
        return;
    }
    panel.selected = is_driver(line) ? line : panel.selected;
    choose(line);
}

}  // namespace

void sound_panel_start(SETTINGS* settings, const std::string& settings_file) {
    panel = PANEL{};
    kept = settings;
    kept_file = settings_file;
}

bool sound_panel_event(const SDL_Event& e) {
    if (e.type == SDL_KEYUP && e.key.keysym.sym == SDLK_ESCAPE && panel.swallow_escape_up) {
        panel.swallow_escape_up = false;
        return true;
    }
    if (!panel.open) {
        if (e.type != SDL_KEYDOWN || e.key.keysym.sym != SDLK_F2) return false;
        if ((e.key.keysym.mod & (KMOD_CTRL | KMOD_ALT | KMOD_META | KMOD_SHIFT)) != 0) return false;
        open_panel();
        return true;
    }
    switch (e.type) {
    case SDL_KEYDOWN: panel_key(e.key.keysym); return true;
    case SDL_MOUSEBUTTONDOWN: panel_click(e.button); return true;
    case SDL_MOUSEBUTTONUP: return true;
    default: return false;  // releases let go of held notes; motion and the rest go on
    }
}

void draw_sound_panel(int, int) {
    if (!panel.open) return;
    const int rows = std::min(visible_lines(), std::max(1, (int)panel.lines.size() - panel.first));
    const int news_rows = panel.news.empty() ? 0 : 1;
    window_box(BOX_X - 2, BOX_TOP - 2, BOX_W + 4, (rows + 2 + news_rows) * ROW + 16, 0xF0C8A050u);
    window_box(BOX_X, BOX_TOP, BOX_W, (rows + 2 + news_rows) * ROW + 12, 0xF0181C22u);
    glColor3d(1.0, 0.78, 0.35);
    window_text(13, BOX_X + 10, BOX_TOP + 4, "Sound output: where the patch plays");
    glColor3d(0.6, 0.6, 0.55);
    window_text(10, BOX_X + 10, BOX_TOP + ROW + 4,
         "Up, Down, 1 to 5: choose | Enter or click: play through it | Esc, F2: close");
    const int top = list_top();
    for (int r = 0; r < rows && panel.first + r < (int)panel.lines.size(); r++) {
        const LINE& l = panel.lines[(size_t)(panel.first + r)];
        const int y = top + r * ROW;
        if (panel.first + r == panel.selected) window_box(BOX_X + 4, y, BOX_W - 8, ROW, 0xFF4A3A18u);
        if (l.heading) {
            glColor3d(1.0, 0.78, 0.35);
            window_text(11, BOX_X + 10, y + 2, l.text.c_str());
        } else if (l.driver < 0) {
            glColor3d(0.55, 0.55, 0.5);
            window_text(10, BOX_X + 34, y + 3, l.text.c_str());
        } else {
            glColor3d(1.0, 0.9, 0.6);
            window_text(11, BOX_X + 34, y + 2, l.text.c_str());
        }
    }
    if (news_rows > 0) {
        glColor3d(1.0, 0.45, 0.35);
        window_text(10, BOX_X + 10, top + rows * ROW + 4, panel.news.c_str());
    }
    glColor3d(1, 1, 1);
}

std::uint64_t sound_panel_look() {
    if (!panel.open) return 0;
    // FNV-1a over what the panel shows.
    std::uint64_t h = 14695981039346656037ull;
    auto mix = [&](const std::string& s) {
        for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
        h = (h ^ 0xFF) * 1099511628211ull;
    };
    mix(std::to_string(panel.selected) + " " + std::to_string(panel.first) + " " +
        std::to_string(panel.lines.size()));
    for (const LINE& l : panel.lines) mix(l.text);
    mix(panel.news);
    return h;
}
