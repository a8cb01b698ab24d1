#include "shell/rack_edit.h"

#include <GL/gl.h>
#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/dialog.h"
#include "engine/display.h"
#include "engine/draw.h"
#include "engine/events.h"
#include "engine/font_engine.h"
#include "engine/freetype.h"
#include "engine/globals.h"
#include "engine/objet.h"
#include "panels/generator_gui.h"
#include "panels/keyboard_gui.h"
#include "panels/mixer_gui.h"
#include "panels/sampler_gui.h"
#include "panels/seq_gui.h"
#include "panels/values_gui.h"
#include "panels/vca_gui.h"
#include "panels/vcf_gui.h"
#include "panels/vco_gui.h"
#include "patch/ksy_save.h"
#include "patch/module_edit.h"
#include "patch/patch_history.h"
#include "shell/patching.h"

namespace {

// ---------------------------------------------------------------- panels and modules

/// The module behind a panel; invalid for the patch's own panel and others.
MODULE_REF module_of_panel(OBJET* panel) {
    if (auto* p = dynamic_cast<VCO_GUI*>(panel)) return {TW_VCO, p->module};
    if (auto* p = dynamic_cast<SAMPLER_GUI*>(panel)) return {TW_SAMPLER, p->module};
    if (auto* p = dynamic_cast<VCA_GUI*>(panel)) return {TW_VCA, p->module};
    if (auto* p = dynamic_cast<VCF_GUI*>(panel)) return {TW_PCF, p->module};
    if (auto* p = dynamic_cast<MIXER_GUI*>(panel)) return {TW_MIXER, p->module};
    if (auto* p = dynamic_cast<SEQ_GUI*>(panel)) return {TW_SEQUENCER, p->module};
    if (auto* p = dynamic_cast<KEYBOARD_GUI*>(panel)) return {TW_KEY, p->module};
    if (auto* p = dynamic_cast<SOUND_OUTPUT_GUI*>(panel)) return {TW_SOUND_OUT, p->module};
    if (auto* p = dynamic_cast<VALEUR_GUI*>(panel)) return {TW_AFFICHAGE, p->module};
    if (auto* p = dynamic_cast<CONSTANTE_GUI*>(panel)) return {TW_CONSTANTE, p->module};
    if (auto* p = dynamic_cast<VARIABLE_GUI*>(panel)) return {TW_VARIABLE, p->module};
    if (auto* p = dynamic_cast<BASIC_OPERATION_GUI*>(panel)) return {TW_BASIC_OPERATION, p->module};
    if (auto* p = dynamic_cast<GENERATOR_GUI*>(panel)) return {TW_GENERATOR, p->module};
    return {};
}

/// The pointer in the coordinates panels are placed in.
int pointer_x() { return mouse_x + offsx; }
int pointer_y() { return mouse_y + offsy - SPRITE_Y_SHIFT; }

/// The panel of a module under the pointer (not the patch's own panel, nor a
/// panel without a module); null when none.
OBJET* panel_under_pointer(std::vector<OBJET*>& shown, GENERATOR_GUI* patch_panel) {
    const float px = (float)pointer_x(), py = (float)pointer_y();
    // The last drawn is on top.
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        OBJET* p = *it;
        if (p == nullptr || p == patch_panel || !module_of_panel(p).valid()) continue;
        if (px >= p->x && px < p->x + p->w * p->Zoom && py >= p->y && py < p->y + p->h * p->Zoom) return p;
    }
    return nullptr;
}

// ---------------------------------------------------------------- the state

/// One entry of the browser.
struct ENTRY {
    TypeWord type;
    std::string label;        ///< what the list shows first
    std::string description;  ///< one line
    std::string file;         ///< a sub-patch's patch file
};

struct BROWSER {
    bool open = false;
    std::vector<ENTRY> entries;
    std::string filter;
    int selected = 0;  ///< among the entries the filter keeps
    int first = 0;     ///< first shown row
    std::vector<int> kept;
};

struct RENAME_FIELD {
    bool open = false;
    MODULE_REF module;
    OBJET* panel = nullptr;
    std::string text;
};

struct RACK {
    BROWSER browser;
    RENAME_FIELD rename;
    bool rebuild = false;
    /// Escape closed a field: its release must not reach the window, where it quits.
    bool swallow_escape_up = false;
    MODULE_REF scroll_to;  ///< a module whose panel the view must show after the rebuild
    // A press on a panel: its module's settings as they were, to be compared
    // once the release has been read by the panels.
    MODULE_REF pressed;
    std::string pressed_line;
    std::vector<float> pressed_grid;
    bool released = false;
    // Double clicks on a panel's title.
    Uint32 last_click = 0;
    OBJET* last_click_panel = nullptr;
};
RACK rack;

constexpr int ROW = 20;            ///< browser row height, pixels
constexpr int BOX_X = 60, BOX_TOP = 40, BOX_W = 800;
constexpr Uint32 DOUBLE_CLICK_MS = 400;
constexpr int TITLE_ROWS = 22;     ///< height of a panel's title bar, unzoomed

std::vector<ENTRY> browser_entries() {
    std::vector<ENTRY> e = {
        {TW_VCO, "VCO", "oscillator: sine, square, saw, triangle, noise; pitch, level, phase, pulse width", ""},
        {TW_VCA, "VCA", "amplifier with its envelope: attack, decay, sustain, release on the gate", ""},
        {TW_PCF, "PCF", "filter: low, high and band pass, cut-off and resonance", ""},
        {TW_KEY, "KEYBOARD", "keyboard: pitch and gate from the computer keys or MIDI", ""},
        {TW_SEQUENCER, "SEQUENCER", "step sequencer: notes, lengths and levels in patterns", ""},
        {TW_SAMPLER, "SAMPLER", "sample player: a sound file played at a pitch", ""},
        {TW_MIXER, "MIXER", "mixer: channels summed with their levels and mutes", ""},
        {TW_CONSTANTE, "CONSTANTE", "constant: one value", ""},
        {TW_VARIABLE, "VARIABLE", "variable: holds the value it is given", ""},
        {TW_BASIC_OPERATION, "BASIC_OPERATION", "operation: adds, multiplies or compares two values", ""},
        {TW_AFFICHAGE, "AFFICHAGE", "value display: shows the value of its input", ""},
        {TW_SOUND_OUT, "SOUND_OUT", "sound output: what the patch plays", ""},
    };
    // A sub-patch of each patch file.
    std::vector<std::string> files;
    if (DIR* d = opendir(KSY_DIR)) {
        while (dirent* f = readdir(d)) {
            const std::string n = f->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".ksy") == 0 && n[0] != '.') files.push_back(n);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    for (const std::string& f : files)
        e.push_back({TW_GENERATOR, "GENERATOR " + f, "sub-patch: the patch " + f + " as one module",
                     std::string(KSY_DIR) + "/" + f});
    return e;
}

std::string upper(std::string s) {
    for (char& c : s) c = (char)std::toupper((unsigned char)c);
    return s;
}

void refilter() {
    BROWSER& b = rack.browser;
    b.kept.clear();
    const std::string f = upper(b.filter);
    // Types whose name holds the text first, then those whose description does.
    for (int i = 0; i < (int)b.entries.size(); i++)
        if (upper(b.entries[i].label).find(f) != std::string::npos) b.kept.push_back(i);
    for (int i = 0; i < (int)b.entries.size(); i++)
        if (upper(b.entries[i].label).find(f) == std::string::npos &&
            upper(b.entries[i].description).find(f) != std::string::npos)
            b.kept.push_back(i);
    b.selected = std::min(b.selected, std::max(0, (int)b.kept.size() - 1));
    b.first = 0;
}

int visible_rows() { return std::max(3, (window_height() - BOX_TOP - 120) / ROW); }

void keep_selection_shown() {
    BROWSER& b = rack.browser;
    const int rows = visible_rows();
    if (b.selected < b.first) b.first = b.selected;
    if (b.selected >= b.first + rows) b.first = b.selected - rows + 1;
}

void open_browser() {
    rack.browser = BROWSER{};
    rack.browser.open = true;
    rack.browser.entries = browser_entries();
    refilter();
    SDL_EnableUNICODE(1);
}

void close_fields() {
    rack.browser.open = false;
    rack.rename = RENAME_FIELD{};
    SDL_EnableUNICODE(0);
}

void say(const std::string& text) { patching_say(text.c_str()); }

// ---------------------------------------------------------------- the edits

void structural_change() {
    rack.rebuild = true;
    patching_cables_changed();
}

void add_entry(GENERATOR& g, const ENTRY& e) {
    const std::string name = unique_module_name(g, e.type);
    const std::string line = name + ";" + (e.file.empty() ? "" : "FILE=" + e.file + ";");
    const MODULE_REF m = make_module(line.c_str());
    if (!m.valid() || !insert_module(g, m, 0)) {
        if (m.valid()) delete_module(m);
        say("no module made for " + e.label);
        return;
    }
    MODULE_REMOVAL r;
    r.module = m;
    auto step = std::make_unique<MODULE_STEP>(r, true);
    step->what = "module added: " + name;
    say(step->what);
    patch_history().push(std::move(step));
    rack.scroll_to = m;
    structural_change();
}

void remove_panel_module(GENERATOR& g, OBJET* panel) {
    const MODULE_REF m = module_of_panel(panel);
    if (!m.valid()) return;
    const std::string name = module_name(m);
    MODULE_REMOVAL r;
    if (!remove_module(g, m, &r)) {
        say("only the patch's own modules can be removed here");
        return;
    }
    auto step = std::make_unique<MODULE_STEP>(std::move(r), false);
    step->what = "module removed: " + name;
    say(step->what);
    patch_history().push(std::move(step));
    structural_change();
}

void duplicate_panel_module(GENERATOR& g, OBJET* panel) {
    const MODULE_REF m = module_of_panel(panel);
    if (!m.valid() || module_index(g, m) < 0) return;
    std::string line = module_line(m);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    const std::string name = unique_module_name(g, m.type);
    const size_t end = line.find(';');
    line.replace(0, end == std::string::npos ? line.size() : end, name);
    const MODULE_REF copy = make_module(line.c_str());
    if (!copy.valid() || !insert_module(g, copy, 0)) {
        if (copy.valid()) delete_module(copy);
        say(std::string("no copy made of ") + module_name(m));
        return;
    }
    if (m.type == TW_SEQUENCER) {
        // The grid as it is on screen, which no pattern file may hold yet.
        auto* from = static_cast<SEQUENCER*>(m.module);
        auto* to = static_cast<SEQUENCER*>(copy.module);
        for (int i = 0; i < SEQ_PATTERNS * SEQ_STEPS; i++) {
            to->note[i] = from->note[i].load();
            to->octave[i] = from->octave[i].load();
            to->bypass[i] = from->bypass[i].load();
            to->volume[i] = from->volume[i].load();
            to->LENGHT[i] = from->LENGHT[i].load();
        }
        for (int p = 0; p < SEQ_PATTERNS; p++) to->NBR_STEP[p] = from->NBR_STEP[p].load();
    }
    MODULE_REMOVAL r;
    r.module = copy;
    auto step = std::make_unique<MODULE_STEP>(r, true);
    step->what = std::string("module duplicated: ") + name + " from " + module_name(m);
    say(step->what);
    patch_history().push(std::move(step));
    rack.scroll_to = copy;
    structural_change();
}

void rename_module(GENERATOR& g) {
    RENAME_FIELD& f = rack.rename;
    const MODULE_REF m = f.module;
    if (!m.valid() || module_name(m) == nullptr) return;
    const std::string before = module_name(m);
    if (f.text == before) return;
    if (const char* why = rename_refusal(g, m, f.text.c_str())) {
        say("name refused: " + std::string(why));
        return;
    }
    auto step = std::make_unique<RENAME_STEP>();
    step->module = m;
    step->before = before;
    step->after = f.text;
    step->redo(g);
    step->what = "module renamed: " + before + " -> " + f.text;
    say(step->what);
    patch_history().push(std::move(step));
    structural_change();
}

void undo_or_redo(GENERATOR& g, bool redo) {
    const HISTORY_STEP* s = redo ? patch_history().redo(g) : patch_history().undo(g);
    if (s == nullptr) {
        say(redo ? "nothing to redo" : "nothing to undo");
        return;
    }
    say((redo ? "redone: " : "undone: ") + s->what);
    // Knob pictures and names are read from the modules when panels are built.
    structural_change();
}

// ---------------------------------------------------------------- events

/// A key while the browser is open.
void browser_key(GENERATOR& g, const SDL_keysym& k) {
    BROWSER& b = rack.browser;
    switch (k.sym) {
        case SDLK_ESCAPE:
            close_fields();
            rack.swallow_escape_up = true;
            return;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            if (!b.kept.empty()) {
                const ENTRY e = b.entries[b.kept[b.selected]];
                close_fields();
                add_entry(g, e);
            }
            return;
        case SDLK_UP: b.selected = std::max(0, b.selected - 1); break;
        case SDLK_DOWN: b.selected = std::min((int)b.kept.size() - 1, b.selected + 1); break;
        case SDLK_PAGEUP: b.selected = std::max(0, b.selected - visible_rows()); break;
        case SDLK_PAGEDOWN: b.selected = std::min((int)b.kept.size() - 1, b.selected + visible_rows()); break;
        case SDLK_BACKSPACE:
            if (!b.filter.empty()) b.filter.pop_back();
            refilter();
            break;
        default: {
            const unsigned c = k.unicode != 0 ? k.unicode : (unsigned)k.sym;
            if (c < 128 && (std::isalnum((int)c) || c == '_' || c == '.' || c == ' ')) {
                b.filter += (char)c;
                refilter();
            }
        }
    }
    b.selected = std::max(0, b.selected);
    keep_selection_shown();
}

void rename_key(GENERATOR& g, const SDL_keysym& k) {
    RENAME_FIELD& f = rack.rename;
    switch (k.sym) {
        case SDLK_ESCAPE:
            close_fields();
            rack.swallow_escape_up = true;
            return;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            rename_module(g);
            close_fields();
            return;
        case SDLK_BACKSPACE:
            if (!f.text.empty()) f.text.pop_back();
            return;
        default: {
            // Every printable character is taken: the rules refuse what a name cannot hold, and say why.
            const unsigned c = k.unicode != 0 ? k.unicode : (unsigned)k.sym;
            if (c >= 32 && c < 127 && f.text.size() < 79) f.text += (char)c;
        }
    }
}

/// The browser row under the pointer, or -1.
int browser_row_at(int x, int y) {
    const BROWSER& b = rack.browser;
    const int top = BOX_TOP + 2 * ROW + 8;
    if (x < BOX_X || x >= BOX_X + BOX_W || y < top) return -1;
    const int row = (y - top) / ROW + b.first;
    if (row >= b.first + visible_rows() || row >= (int)b.kept.size()) return -1;
    return row;
}

void browser_mouse(GENERATOR& g, const SDL_Event& e) {
    BROWSER& b = rack.browser;
    if (e.type != SDL_MOUSEBUTTONDOWN) return;
    if (e.button.button == SDL_BUTTON_WHEELUP) {
        b.first = std::max(0, b.first - 3);
        return;
    }
    if (e.button.button == SDL_BUTTON_WHEELDOWN) {
        b.first = std::max(0, std::min((int)b.kept.size() - visible_rows(), b.first + 3));
        return;
    }
    const int row = browser_row_at(e.button.x, e.button.y);
    if (e.button.button != SDL_BUTTON_LEFT) return;
    if (row < 0) {
        close_fields();
        return;
    }
    const ENTRY entry = b.entries[b.kept[row]];
    close_fields();
    add_entry(g, entry);
}

/// The pointer is on the name in a panel's title bar (its left half: the
/// power button sits at the right, and a quick double click on it switches twice).
bool on_title(OBJET* panel) {
    return pointer_y() - panel->y < TITLE_ROWS * panel->Zoom && pointer_x() - panel->x < panel->w * panel->Zoom / 2;
}

void open_rename(OBJET* panel) {
    const MODULE_REF m = module_of_panel(panel);
    if (!m.valid()) return;
    close_fields();
    rack.rename.open = true;
    rack.rename.module = m;
    rack.rename.panel = panel;
    rack.rename.text = module_name(m);
    SDL_EnableUNICODE(1);
}

bool command_key(GENERATOR& g, const SDL_keysym& k, std::vector<OBJET*>& shown, GENERATOR_GUI* patch_panel) {
    const bool ctrl = (k.mod & KMOD_CTRL) != 0, shift = (k.mod & KMOD_SHIFT) != 0;
    const bool plain = (k.mod & (KMOD_CTRL | KMOD_ALT | KMOD_META)) == 0;
    if (ctrl && (k.sym == SDLK_z || k.sym == SDLK_y)) {
        if (patching_cancel_drag(patch_panel)) return true;
        undo_or_redo(g, k.sym == SDLK_y || shift);
        return true;
    }
    if (ctrl && k.sym == SDLK_d) {
        OBJET* p = panel_under_pointer(shown, patch_panel);
        if (p != nullptr) duplicate_panel_module(g, p);
        return true;
    }
    if (plain && (k.sym == SDLK_DELETE || k.sym == SDLK_BACKSPACE)) {
        OBJET* p = panel_under_pointer(shown, patch_panel);
        if (p != nullptr) remove_panel_module(g, p);
        return true;
    }
    if (plain && (k.sym == SDLK_a || k.sym == SDLK_INSERT)) {
        open_browser();
        return true;
    }
    return false;
}

}  // namespace

bool rack_event(const SDL_Event& e, std::vector<OBJET*>& shown, GENERATOR_GUI* patch_panel) {
    if (patch_panel == nullptr || patch_panel->module == nullptr) return false;
    GENERATOR& g = *patch_panel->module;
    if (e.type == SDL_KEYUP && e.key.keysym.sym == SDLK_ESCAPE && rack.swallow_escape_up) {
        rack.swallow_escape_up = false;
        return true;
    }
    // Other releases go on: a note held when a field opened is let go.
    if (e.type == SDL_KEYUP) return false;
    if (rack.browser.open) {
        if (e.type == SDL_KEYDOWN) browser_key(g, e.key.keysym);
        if (e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP) {
            mouse_x = e.button.x;
            mouse_y = e.button.y;
            browser_mouse(g, e);
        }
        return e.type != SDL_QUIT && e.type != SDL_MOUSEMOTION;
    }
    if (rack.rename.open) {
        if (e.type == SDL_KEYDOWN) {
            rename_key(g, e.key.keysym);
            return true;
        }
        // A click elsewhere gives the name as typed.
        if (e.type == SDL_MOUSEBUTTONDOWN) {
            rename_module(g);
            close_fields();
        }
    }
    if (e.type == SDL_KEYDOWN) return command_key(g, e.key.keysym, shown, patch_panel);
    if (e.type == SDL_MOUSEBUTTONDOWN) {
        mouse_x = e.button.x;
        mouse_y = e.button.y;
        OBJET* p = panel_under_pointer(shown, patch_panel);
        if (e.button.button == SDL_BUTTON_RIGHT && p == nullptr) {
            open_browser();
            return true;
        }
        if (e.button.button != SDL_BUTTON_LEFT || p == nullptr) return false;
        const Uint32 now = SDL_GetTicks();
        const bool twice = p == rack.last_click_panel && now - rack.last_click < DOUBLE_CLICK_MS;
        rack.last_click = now;
        rack.last_click_panel = p;
        if (twice && on_title(p)) {
            open_rename(p);
            return true;
        }
        // The module's settings before the press, to compare once the release is read.
        rack.pressed = module_of_panel(p);
        rack.pressed_line = module_index(g, rack.pressed) >= 0 ? module_line(rack.pressed) : std::string();
        rack.pressed_grid = module_grid(rack.pressed);
        rack.released = false;
        if (rack.pressed_line.empty()) rack.pressed = MODULE_REF{};
    }
    if (e.type == SDL_MOUSEBUTTONUP && e.button.button == SDL_BUTTON_LEFT && rack.pressed.valid()) rack.released = true;
    return false;
}

void rack_after_frame(GENERATOR_GUI* patch_panel) {
    if (!rack.released || patch_panel == nullptr || patch_panel->module == nullptr) return;
    const MODULE_REF m = rack.pressed;
    rack.released = false;
    rack.pressed = MODULE_REF{};
    if (module_index(*patch_panel->module, m) < 0) return;
    const std::string now = module_line(m);
    std::vector<float> grid = module_grid(m);
    if (now == rack.pressed_line && grid == rack.pressed_grid) return;
    auto step = std::make_unique<SETTINGS_STEP>();
    step->module = m;
    step->before = rack.pressed_line;
    step->after = now;
    step->grid_before = std::move(rack.pressed_grid);
    step->grid_after = std::move(grid);
    step->what = std::string("settings of ") + module_name(m);
    patch_history().push(std::move(step));
}

bool rack_rebuild_wanted() {
    const bool r = rack.rebuild;
    rack.rebuild = false;
    if (r) {
        // The panels pointed at are about to go.
        rack.pressed = MODULE_REF{};
        rack.released = false;
        rack.last_click_panel = nullptr;
        rack.rename = RENAME_FIELD{};
    }
    return r;
}

void rack_rebuilt(GENERATOR_GUI* patch_panel, int width, int height) {
    const MODULE_REF m = rack.scroll_to;
    rack.scroll_to = MODULE_REF{};
    if (!m.valid() || patch_panel == nullptr) return;
    for (OBJET* p : patch_panel->objets) {
        if (!(module_of_panel(p) == m)) continue;
        const int x = (int)p->x, y = (int)p->y, w = (int)(p->w * p->Zoom), h = (int)(p->h * p->Zoom);
        if (x < offsx || x + w > offsx + width) offsx = std::max(0, x - 40);
        if (y < offsy || y + h > offsy + height - 60) offsy = std::max(0, y - 40);
        return;
    }
}


void draw_rack_edit(int, int) {
    if (rack.browser.open) {
        const BROWSER& b = rack.browser;
        const int rows = std::min(visible_rows(), std::max(1, (int)b.kept.size() - b.first));
        window_box(BOX_X - 2, BOX_TOP - 2, BOX_W + 4, (rows + 2) * ROW + 16, 0xF0C8A050u);
        window_box(BOX_X, BOX_TOP, BOX_W, (rows + 2) * ROW + 12, 0xF0181C22u);
        glColor3d(1.0, 0.78, 0.35);
        const std::string head = "Add a module: " + b.filter + "_";
        window_text(13, BOX_X + 10, BOX_TOP + 4, head.c_str());
        glColor3d(0.6, 0.6, 0.55);
        window_text(10, BOX_X + 10, BOX_TOP + ROW + 4, "type to filter | Up, Down | Enter or click: add | Esc: close");
        const int top = BOX_TOP + 2 * ROW + 8;
        if (b.kept.empty()) {
            glColor3d(0.85, 0.82, 0.72);
            window_text(11, BOX_X + 10, top, "no module type holds that text");
        }
        for (int r = 0; r < rows && b.first + r < (int)b.kept.size(); r++) {
            const ENTRY& e = b.entries[b.kept[b.first + r]];
            if (b.first + r == b.selected) window_box(BOX_X + 4, top + r * ROW, BOX_W - 8, ROW, 0xFF4A3A18u);
            glColor3d(1.0, 0.9, 0.6);
            window_text(11, BOX_X + 10, top + r * ROW + 2, e.label.c_str());
            glColor3d(0.8, 0.78, 0.7);
            window_text(10, BOX_X + 190, top + r * ROW + 3, e.description.c_str());
        }
        glColor3d(1, 1, 1);
    }
    if (rack.rename.open && rack.rename.panel != nullptr) {
        const OBJET* p = rack.rename.panel;
        const int x = (int)p->x - offsx, top = (int)p->y - offsy + SPRITE_Y_SHIFT;
        const int w = std::max(160, (int)(p->w * p->Zoom));
        window_box(x - 2, top - 2, w + 4, 24, 0xFFC8A050u);
        window_box(x, top, w, 20, 0xFF101418u);
        glColor3d(1.0, 0.9, 0.6);
        const std::string shown = rack.rename.text + "_";
        window_text(11, x + 4, top + 2, shown.c_str());
        glColor3d(1, 1, 1);
    }
}

std::uint64_t rack_edit_look() {
    if (!rack.browser.open && !rack.rename.open) return 0;
    // FNV-1a over what the two fields show.
    std::uint64_t h = 14695981039346656037ull;
    auto mix = [&](const std::string& text) {
        for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
        h = (h ^ 0xFF) * 1099511628211ull;
    };
    mix(rack.browser.open ? "browser " + rack.browser.filter : "");
    mix(std::to_string(rack.browser.selected) + " " + std::to_string(rack.browser.first));
    mix(rack.rename.open ? "rename " + rack.rename.text : "");
    return h;
}

void rack_title(const char* patch_path, char* out, int size) {
    const char* path = patch_path != nullptr ? patch_path : "";
    const char* slash = std::strrchr(path, '/');
    std::snprintf(out, (size_t)size, "z_ozodive - %s%s", slash != nullptr ? slash + 1 : path,
                  patch_history().unsaved() ? " *" : "");
}

void rack_forget() {
    close_fields();
    rack.scroll_to = MODULE_REF{};
    rack.pressed = MODULE_REF{};
    rack.released = false;
    patch_history().clear();
}

void rack_saved() { patch_history().mark_saved(); }
