#include "panels/sampler_gui.h"

#include <GL/gl.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "engine/dialog.h"
#include "engine/globals.h"
#include "engine/view.h"
#include "panels/file_browse.h"
#include "panels/generator_gui.h"
#include "panels/panel_common.h"
#include "synth/news.h"

namespace {

// Pitch: the bands are tested on the magnitude, the last one always applies,
// so the pitch passes through 0 and plays backwards-rate values as well.
const KNOB_BAND PITCH_BANDS[] = {
    {50, true, INFINITY, false, 1},   {20, true, 50, false, 0.5},     {10, true, 20, false, 0.025},
    {1, true, 10, false, 0.0125},     {0.1, false, 1, false, 0.00625}, {0, true, INFINITY, true, 0.003125},
};
// Volume, raised ("SLD_DOWN") and lowered ("SLD_UP"); the top band has no
// upper end, so a loud value read from a patch file still steps.
const KNOB_BAND VOLUME_RAISE[] = {
    {50, true, INFINITY, false, 1},  {20, true, 50, false, 0.5},     {10, true, 20, false, 0.025},
    {1, true, 10, false, 0.0125},    {0.1, true, 1, false, 0.00625}, {0.001, true, 0.1, false, 0.003125},
};
const KNOB_BAND VOLUME_LOWER[] = {
    {50, true, INFINITY, false, 1},  {20, true, 50, false, 0.5},     {10, true, 20, false, 0.025},
    {1, true, 10, false, 0.0125},    {0.1, true, 1, false, 0.00625}, {0.01, false, 0.1, false, 0.003125},
};
// A raised volume never stays at 0; a lowered one snaps to 0 below this.
constexpr float VOLUME_FLOOR = 0.01f;

// Play-mode pictures, by the sampler's mode.
const char* const MODE_PICTURES[] = {"SMP_PLAY_AV", "SMP_PLAY_AR", "SMP_PLAY_LOOPAV", "SMP_PLAY_LOOPAR"};
constexpr int MODES = 4;

// Stepping through a folder stops after this many names even if the folder
// keeps changing under it.
constexpr int BROWSE_LIMIT = 10000;

bool in_band(const KNOB_BAND& b, double v) {
    return (b.low_closed ? v >= b.low : v > b.low) && (b.high_closed ? v <= b.high : v < b.high);
}

// The bands in order, each testing the magnitude of what the previous one left.
float step_magnitude(float value, const KNOB_BAND* bands, int count, int direction) {
    for (int i = 0; i < count; i++)
        if (in_band(bands[i], std::fabs((double)value))) value = (float)(value + direction * bands[i].step);
    return value;
}

// Whole degrees, with the sign of the dividend (-1 stays -1); a phase beyond
// the int range is reduced before it is cut to an int.
float wrap_degrees(float phase) {
    if (!std::isfinite(phase)) return 0.0f;
    return (float)(int)std::fmod((double)phase, 360.0);
}

// A patch file stores the path as one blank-separated token inside a
// "FILE=...;" field, in the sampler's 80-byte name.
bool fits_patch_file(const std::string& path, size_t room) {
    if (path.size() >= room) return false;
    for (const char c : path)
        if (std::isspace((unsigned char)c) || c == ';' || c == '=') return false;
    return true;
}

// Whether the sampler will accept the file: the same reader decides, so a
// sound it refuses is reported here and never reaches load_SAMPLE, which
// would end the program.
bool loads_as_sample(const std::string& path) {
    return wav_load_sample(path.c_str(), SAMPLER_CAPACITY_BYTES) != nullptr;
}

}  // namespace

SAMPLER_GUI::SAMPLER_GUI(SAMPLER* sampler, int px, int py, const char* name) : OBJET(px, py, name), module(sampler) {
    load_into(this, &mini, "RC/SAMPLER_MINI.RC");
    build_panel(this, "SAMPLER_%s", "RC/BACK_SAMPLER.RC", "RC/SAMPLER.RC");
    on_faces([&] {
        set_label(this, "LABEL_FILENAME", "%s", module->file_name);
        set_label(this, "label_NAME", "%s", SPR_NAME);
        set_button(this, "POWER", module->POWER);
    });
    write_label("LABEL_FREQUENCE", "%5.3f", module->pitch);
    write_label("LABEL_VOLUME", "%5.3f", module->amplitude);
    write_label("LABEL_PHASE", "%.0f", wrap_degrees(module->phase));
    show_mode();
    show(&mini, 1);
}

template <typename F>
void SAMPLER_GUI::on_faces(F f) {
    std::vector<SPRITE*>* kept = current_list;
    for (std::vector<SPRITE*>* face : {&elements, &mini}) {
        current_list = face;
        f();
    }
    current_list = kept;
}

void SAMPLER_GUI::write_label(const char* name, const char* format, double value) {
    on_faces([&] { set_label(this, name, format, value); });
}

void SAMPLER_GUI::show_mode() {
    // A mode outside the table leaves the display as it is.
    if (module->mode < 0 || module->mode >= MODES) return;
    on_faces([&] { set_picture(this, "AFFICHAGE_TYPE_LOOP", MODE_PICTURES[module->mode]); });
}

void SAMPLER_GUI::show(std::vector<SPRITE*>* list, int mode) {
    // The knobs of the face coming up take the angles of the face going.
    std::vector<SPRITE*>* going = current_list;
    for (const char* name : {"SLD_FREQUENCE", "SLD_VOLUME", "SLD_PHASE"}) {
        SPRITE* from = get_SPRITE_by_name(name);
        current_list = list;
        SPRITE* to = get_SPRITE_by_name(name);
        current_list = going;
        if (from != nullptr && to != nullptr) to->Angle = from->Angle;
    }
    view_mode = mode;
    current_list = list;
    view_switched();
}

int SAMPLER_GUI::toggle_view_mode(int mode) {
    switch (mode) {
    case 0: show(view_mode == 1 ? &elements : &alt_elements, view_mode == 1 ? 1 : 4); break;
    case 1: show(&elements, 1); break;
    case 2: show(&mini, 1); break;
    case 4: show(&alt_elements, 4); break;
    default: show(current_list, view_mode); break;
    }
    return 1;
}

void SAMPLER_GUI::collect_elements(std::vector<SPRITE*>& out) const {
    OBJET::collect_elements(out);
    out.insert(out.end(), mini.begin(), mini.end());
}

void SAMPLER_GUI::browse(int direction) {
    std::string from = module->file_name;
    for (int i = 0; i < BROWSE_LIMIT; i++) {
        const std::string name = direction > 0 ? recupere_nom_fichier_suivant(from.c_str(), SOUNDS_DIR, SOUNDS_EXT)
                                               : recupere_nom_fichier_precedent(from.c_str(), SOUNDS_DIR, SOUNDS_EXT);
        // Not listed, or the end of the listing (which is its own neighbour).
        if (name.empty() || name == recupere_nom_fichier_extreme_droite(from.c_str())) return;
        from = name;
        const std::string path = std::string(SOUNDS_DIR) + "/" + name;
        if (!fits_patch_file(path, sizeof module->file_name) || !loads_as_sample(path)) continue;
        use_sound(path);
        return;
    }
}

void SAMPLER_GUI::choose_sound() {
    const std::vector<std::string> current{module->file_name};
    dialog_files("Choose a sound", SOUNDS_DIR, std::string(".") + SOUNDS_EXT, current,
                 [this](bool ok, const std::string& path) {
                     if (ok) use_sound(path);
                 });
}

void SAMPLER_GUI::use_sound(const std::string& path) {
    if (!fits_patch_file(path, sizeof module->file_name)) {
        news("[%s] cannot be named in a patch file (too long, or a blank, ';' or '='): not loaded\n", path.c_str());
        return;
    }
    if (!loads_as_sample(path)) {
        news("[%s] is not a sound the sampler can play: not loaded\n", path.c_str());
        return;
    }
    module->load_SAMPLE(path.c_str(), current_patch());
    on_faces([&] { set_label(this, "LABEL_FILENAME", "%s", module->file_name); });
    module->mode = SMP_FORWARD;
    show_mode();
}

int SAMPLER_GUI::evolue() {
    if (view_mode == 1) {
        // Oldest first; a phase message is taken out of the queue, so its knob does not turn.
        for (int i = (int)messages.size() - 1; i >= 0; i--) {
            const MESSAGE& m = messages[(size_t)i];
            if (const int direction = knob_direction(m)) {
                if (is_widget(this, m.target, "SLD_FREQUENCE")) {
                    module->pitch = step_magnitude(module->pitch, PITCH_BANDS, (int)std::size(PITCH_BANDS), direction);
                    write_label("LABEL_FREQUENCE", "%5.3f", module->pitch);
                } else if (is_widget(this, m.target, "SLD_VOLUME")) {
                    float v = direction > 0 ? step_bands(module->amplitude, VOLUME_RAISE, direction)
                                            : step_bands(module->amplitude, VOLUME_LOWER, direction);
                    if (direction > 0 && v == 0.0f) v = VOLUME_FLOOR;
                    if (direction < 0 && v < VOLUME_FLOOR) v = 0.0f;
                    module->amplitude = v;
                    write_label("LABEL_VOLUME", "%5.3f", module->amplitude);
                } else if (is_widget(this, m.target, "SLD_PHASE")) {
                    // Here "SLD_DOWN" turns the phase back.
                    module->phase = wrap_degrees(module->phase - (float)direction);
                    write_label("LABEL_PHASE", "%.0f", module->phase);
                    messages.erase(messages.begin() + i);
                }
                continue;
            }
            if (!is_click(m)) continue;
            if (is_widget(this, m.target, "VIEW")) show(current_list == &mini ? &elements : &mini, 1);
            if (is_widget(this, m.target, "POWER")) {
                module->POWER = state_after_click(m);
                // The other face's switch follows; the clicked one turns by itself.
                on_faces([&] {
                    BUTTON* other = find_button(this, "POWER");
                    if (other != nullptr && other != m.target) set_button(this, "POWER", module->POWER);
                });
            }
            if (is_widget(this, m.target, "FILE_UP")) browse(+1);
            if (is_widget(this, m.target, "FILE_DOWN")) browse(-1);
            if (is_widget(this, m.target, "LABEL_FILENAME")) choose_sound();
            if (is_widget(this, m.target, "AFFICHAGE_TYPE_LOOP")) {
                if (module->mode >= 0 && module->mode < MODES) module->mode = (module->mode + 1) % MODES;
                show_mode();
                if (SPRITE* display = get_SPRITE_by_name("AFFICHAGE_TYPE_LOOP")) display->changed = 1;
            }
        }
    }
    on_faces([&] { set_label(this, "label_NAME", "%s", module->name); });
    OBJET::evolue();
    return 0;
}

int SAMPLER_GUI::waveform(float (&xy)[WAVE_POINTS][2]) {
    // The trace belongs to the full face, whichever face is shown.
    std::vector<SPRITE*>* kept = current_list;
    current_list = &elements;
    const SPRITE* area = get_SPRITE_by_name("AFFWAVE");
    current_list = kept;
    const FSOUND_SAMPLE* sample = module->handle.get();
    if (area == nullptr || sample == nullptr) return 0;

    const long long held = (long long)sample->data.size();
    const long long frames = module->length;
    const int ax = (int)area->x;
    // 18: the picture's vertical shift on screen, and the trace's own 3 pixels.
    const int base = (int)area->y + (int)(area->h / 2) + 18;
    int n = 0;
    for (int i = 0; i < WAVE_POINTS; i++) {
        // The index runs over the interleaved values, about two per frame.
        const long long index = (long long)i * frames / (WAVE_POINTS / 2);
        if (index < 0 || index >= held) break;
        const int s = sample->data[(size_t)index];
        xy[n][0] = (float)((int)x + i + ax - offsx);
        xy[n][1] = (float)(int)((double)((127 - s) / 1120 + base) + y - offsy);
        n++;
    }
    return n;
}

void SAMPLER_GUI::Draw_Scene(SDL_Surface* surface, int background) {
    OBJET::Draw_Scene(surface, background);
    if (view_mode != 1 || current_list != &elements) return;
    float xy[WAVE_POINTS][2];
    const int n = waveform(xy);
    if (n < 2) return;
    glPointSize(4);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_LINES);
    // The points are scrolled patch points: through the view like the panel.
    for (int i = 0; i < n; i++) glVertex2f(window_x(xy[i][0] + offsx), window_y(xy[i][1] + offsy));
    glEnd();
}
