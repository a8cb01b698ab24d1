#include "panels/seq_gui.h"

#include <strings.h>  // strcasecmp

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "engine/dialog.h"
#include "engine/display.h"
#include "panels/generator_gui.h"
#include "panels/panel_common.h"
#include "panels/panel_globals.h"
#include "synth/names.h"
#include "synth/news.h"

namespace {

/// Folder of the pattern files, relative to the working directory.
const char* const PATTERN_DIR = "PARTITIONS";
/// Longest pattern file name the prompt takes, extension included.
constexpr std::size_t PATTERN_NAME_MAX = 255;

// Halving and doubling must never reach 0 or infinity: the sequencer divides
// by the divider and waits length x period samples.
constexpr float LENGTH_MIN = 1.0f / 256, LENGTH_MAX = 256.0f;
constexpr float DIVIDER_MIN = 1.0f / 64, DIVIDER_MAX = 64.0f;
// Only a volume of exactly 1.0 sounds; the knob keeps it within 0..2 so that
// any value a file holds comes back into reach in one step.
constexpr float VOLUME_MIN = 0.0f, VOLUME_MAX = 2.0f;
constexpr int NOTE_MAX = SEQ_NOTE_MAX, OCTAVE_MAX = 10;
/// Largest step count the panel sets.
constexpr int STEP_COUNT_MAX = SEQ_GUI::COLUMNS;

/// v within [low, high]; NaN gives low.
float within(float v, float low, float high) {
    if (!(v >= low)) return low;
    if (!(v <= high)) return high;
    return v;
}


/// The file name after the last '/' or '\' of a path.
const char* bare_name(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; p++)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}

/// The listed pattern file after (+1) or before (-1) the one whose bare name
/// is current's; the listing's ends do not wrap. False when current is not
/// listed.
bool neighbour_pattern_file(const char* current, int direction, char* out, std::size_t size) {
    std::vector<char*>* list = get_file_list(PATTERN_DIR, "PAR");
    const char* wanted = bare_name(current);
    const int count = (int)list->size();
    bool found = false;
    for (int i = 0; i < count && !found; i++) {
        if (std::strcmp(bare_name((*list)[i]), wanted) != 0) continue;
        copy_name(out, size, (*list)[std::clamp(i + direction, 0, count - 1)]);
        found = true;
    }
    free_file_list(list);
    return found;
}

/// Lists the pattern files on the console with the prompt, which the
/// console answers with a line (the window's dialog is the other way).
void print_pattern_prompt(const char* action) {
    std::printf("Pattern files in %s/:\n", PATTERN_DIR);
    free_file_list(get_file_list(PATTERN_DIR, "PAR"));  // the listing prints every name it finds
    std::printf("%s, file name : ", action);
    std::fflush(stdout);
}

/// A name read from a console line as a path inside the pattern folder; "" after a message.
std::string pattern_path_from(std::FILE* line) {
    char name[PATTERN_NAME_MAX + 1];
    if (read_pattern_name(line, name, sizeof name) == 0) return "";
    return std::string(PATTERN_DIR) + "/" + name;
}

/// Shows a number 0..19 on two LED digits of a set (1 lit, 2 greyed); image
/// n shows the digit n - 1, image 0 is blank, and so is any other number.
void show_number(SPRITE* units, SPRITE* tens, int value, bool lit) {
    int u = 0, t = 0;
    if (value >= 0 && value <= 9) u = value + 1;
    if (value >= 10 && value <= 19) t = 2, u = value - 9;
    char image[KEL_NAME_SIZE];
    std::snprintf(image, sizeof image, "LED_NUMERIC_%d_%d", lit ? 1 : 2, u);
    units->set_sprite_NAME(image);
    std::snprintf(image, sizeof image, "LED_NUMERIC_%d_%d", lit ? 1 : 2, t);
    tens->set_sprite_NAME(image);
}

/// Shows a step's value on its label (greyed beyond the step count) and its
/// knob, whose angle is the value's integer part once the knob has taken the
/// turn of its own queued messages.
void show_value(LABEL* text, SLIDER* knob, int turn, float value, bool lit) {
    knob->Angle = knob_angle(value) - turn;
    char caption[CAPTION_SIZE];
    std::snprintf(caption, sizeof caption, "%2.1f", (double)value);
    text->set_caption(caption);
    text->Col = lit ? 0 : 0x808080;
    text->changed = 1;
}

/// Names an element of this panel with a format holding %s (the panel) and
/// %d (the column number).
template <class T>
T* named(T* element, const char* format, const char* panel, int n) {
    char name[KEL_NAME_SIZE];
    // Cut to fit when the panel's name is long: the element is still named.
    if (std::snprintf(name, sizeof name, format, panel, n) < 0) name[0] = '\0';
    element->set_NAME(name);
    return element;
}


}  // namespace

int read_pattern_name(std::FILE* in, char* name, std::size_t size) {
    if (size == 0) return 0;
    name[0] = '\0';
    char line[PATTERN_NAME_MAX + 1];
    std::size_t n = 0;
    bool too_long = false;
    int c;
    // The whole line is consumed, so an overlong one leaves nothing behind for the next prompt.
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
        if (n < PATTERN_NAME_MAX) line[n++] = (char)c;
        else too_long = true;
    }
    line[n] = '\0';
    if (c == EOF && n == 0) {
        news("\nNo file name: cancelled\n");
        return 0;
    }
    if (too_long) {
        news("File name longer than %zu characters: refused\n", PATTERN_NAME_MAX);
        return 0;
    }
    char* start = line;
    while (*start != '\0' && std::isspace((unsigned char)*start)) start++;
    char* end = start + std::strlen(start);
    while (end > start && std::isspace((unsigned char)end[-1])) *--end = '\0';
    if (*start == '\0') {
        news("No file name: cancelled\n");
        return 0;
    }
    if (std::strchr(start, '/') != nullptr || std::strstr(start, "..") != nullptr) {
        news("[%s] is not a plain file name: refused\n", start);
        return 0;
    }
    const std::size_t length = (std::size_t)(end - start);
    const bool has_extension = length >= 4 && strcasecmp(end - 4, ".PAR") == 0;
    const std::size_t total = length + (has_extension ? 0 : 4);
    if (total > PATTERN_NAME_MAX || total >= size) {
        news("File name longer than %zu characters: refused\n", std::min(PATTERN_NAME_MAX, size - 1));
        return 0;
    }
    std::snprintf(name, size, "%s%s", start, has_extension ? "" : ".PAR");
    return 1;
}

// ---------------------------------------------------------------- building

SEQ_GUI::SEQ_GUI(SEQUENCER* sequencer, int px, int py, const char* name) : OBJET(px, py, name), module(sequencer) {
    build_panel(this, "SEQUEN_%s", "RC/BACK_SEQUENCEUR.RC", "RC/SEQUENCEUR.RC");
    load_into(this, &extra_elements, "RC/SEQUENCEUR_MINI.RC");
    find_face_widgets(full_face);
    current_list = &extra_elements;
    find_face_widgets(compact_face);
    current_list = &elements;
    if (Zoom > 100) Zoom = 1.0f;
    for (int i = 0; i < COLUMNS; i++) add_column(i);
    if (module != nullptr) {
        for (FACE* f : {&full_face, &compact_face}) write_label(f->name, "%s", module->name);
        show_file_name(module->partition_file_name);
        refresh_columns();
        refresh_controls();
        refresh_PATTERNBUTTON();
    }
    toggle_view_mode(2);
    sequenceurs_gui.insert(sequenceurs_gui.begin(), this);
}

SEQ_GUI::~SEQ_GUI() {
    sequenceurs_gui.erase(std::remove(sequenceurs_gui.begin(), sequenceurs_gui.end(), this), sequenceurs_gui.end());
}

void SEQ_GUI::find_face_widgets(FACE& face) {
    face.name = find_label(this, "label_NAME");
    face.file = find_label(this, "LABEL_FILENAME");
    face.divider = find_label(this, "LABEL_DIVIDER");
    face.wished_divider = find_label(this, "LABEL_WISHED_DIVIDER");
    face.step_count = find_label(this, "LABEL_MAX_STEP");
    face.power = find_button(this, "POWER");
    for (int k = 0; k < PATTERN_BUTTONS; k++) {
        char name[KEL_NAME_SIZE];
        std::snprintf(name, sizeof name, "BUTTON_PATTERN_%d", k);
        face.pattern[k] = find_button(this, name);
    }
}

void SEQ_GUI::add_column(int i) {
    const int n = i + 1, dx = 20 * i;
    const char* p = panel_name;
    COLUMN& c = column[i];
    auto place = [this](SPRITE* s, int px, int py) {
        s->setxyz((float)px, (float)py, 0);
        // At the back of the list, which pointing visits first: a click finds
        // the column's widget, not the face picture under it.
        elements.push_back(s);
    };
    auto digit = [&](const char* format, int px, int py) {
        SPRITE* s = named(new SPRITE("LED_NUMERIC_1_2", px, py, 1, 0, 0, 1.0f, 0, 255), format, p, n);
        s->Key = 0xFF00FF;
        s->Additive = 1;
        place(s, px, py);
        return s;
    };
    auto key = [&](const char* format, const char* image, int py, bool keyed) {
        BUTTON* b = named(new BUTTON("", image, image, image, nullptr), format, p, n);
        b->Is_Key = keyed ? 1 : 0;
        b->Key = keyed ? 0xFF00FF : 0;
        b->Additive = 0;
        b->Zoom = 1.0f;
        place(b, 65 + dx, py);
        return b;
    };
    auto knob = [&](const char* format, int py) {
        SLIDER* k = named(new SLIDER("", "SLD"), format, p, n);
        k->Key = 0;
        k->Is_Key = 1;
        k->Additive = 0;
        k->Zoom = Zoom;
        k->Angle = Angle;
        place(k, 62 + dx, py);
        return k;
    };
    auto text = [&](const char* format, int py) {
        LABEL* l = named(new LABEL("1.0", 0, 0, 55, 50, 0, 8, 0), format, p, n);
        place(l, 62 + dx, py);
        return l;
    };
    c.vol_text = text("%s_LABEL_TXT_%d_VOL", 125);
    c.length_text = text("%s_LABEL_TXT_%d_LENGHT", 155);
    // Alpha 255: the lamp is drawn opaque (0 would draw it fully transparent).
    c.lamp = named(new SPRITE("LAMP_LED_1_1", 65 + dx, 5, 1, 0, 0, 1.0f, 0, 255), "%s_LAMPE_STEP_%d", p, n);
    place(c.lamp, 65 + dx, 5);
    c.octave = digit("%s_SPRITE_OCT_%d", 70 + dx, 36);
    c.octave_tens = digit("%s_SPRITE_OCT_%d_0", 61 + dx, 36);
    c.note = digit("%s_SPRITE_NOTE_%d", 70 + dx, 73);
    c.note_tens = digit("%s_SPRITE_NOTE_%d_0", 61 + dx, 73);
    c.vol = knob("%s_SLD_VOL_%d", 106);
    c.length = knob("%s_SLD_LENGHT_%d", 136);
    c.octave_up = key("%s_BUTTON_OCT_%d_UP", "BUTTONSTYLEA_0", 27, true);
    c.octave_down = key("%s_BUTTON_OCT_%d_DOWN", "BUTTONSTYLEB_0", 53, true);
    c.note_up = key("%s_BUTTON_NOTE_%d_UP", "BUTTONSTYLEA_0", 64, false);
    c.note_down = key("%s_BUTTON_NOTE_%d_DOWN", "BUTTONSTYLEB_0", 91, false);
    // On (the unlit mute lamp) while the step plays, off (lit) while bypassed.
    c.bypass = named(new BUTTON("", "LAMP_LED_2_0", "0", "LAMP_LED_2_1", nullptr), "%s_BUTTON_BYPASS_%d", p, n);
    c.bypass->Is_Key = 0;
    c.bypass->Additive = 0;
    c.bypass->Zoom = 1.4f;
    place(c.bypass, 65 + dx, 15);
}

// ------------------------------------------------------------------ reading

int SEQ_GUI::pattern() const {
    const int p = module->current_pattern;
    return p >= 0 && p < SEQ_PATTERNS ? p : 0;
}

int SEQ_GUI::step_index(int i) const {
    return pattern() * SEQ_STEPS + i;
}

bool SEQ_GUI::within_count(int i) const {
    return i < module->NBR_STEP[pattern()];
}

int SEQ_GUI::queued_clicks(const SPRITE* s) const {
    int n = 0;
    for (const MESSAGE& m : messages)
        if (m.target == s && is_click(m)) n++;
    return n;
}

int SEQ_GUI::queued_turn(const SPRITE* s) const {
    int turn = 0;
    for (const MESSAGE& m : messages)
        if (m.target == s) turn += knob_direction(m);
    return turn;
}

void SEQ_GUI::show_button(BUTTON* b, int state) const {
    if (b == nullptr) return;
    b->STATE = (state != 0 ? 1 : 0) ^ (queued_clicks(b) & 1);
    b->set_sprite_NAME(b->STATE ? b->image_on : b->image_off);
    b->changed = 1;
}

// -------------------------------------------------------------- refreshing

// The column widgets are refreshed whichever face is shown, so that the full
// face is up to date whenever it comes back.

void SEQ_GUI::refresh_NOTE_value(int i) {
    if (module == nullptr || i < 0 || i >= COLUMNS) return;
    show_number(column[i].note, column[i].note_tens, module->note[step_index(i)], within_count(i));
}

void SEQ_GUI::refresh_OCTAVE_value(int i) {
    if (module == nullptr || i < 0 || i >= COLUMNS) return;
    show_number(column[i].octave, column[i].octave_tens, module->octave[step_index(i)], within_count(i));
}

void SEQ_GUI::refresh_VOL_value(int i) {
    if (module == nullptr || i < 0 || i >= COLUMNS) return;
    const COLUMN& c = column[i];
    show_value(c.vol_text, c.vol, queued_turn(c.vol), module->volume[step_index(i)], within_count(i));
}

void SEQ_GUI::refresh_LENGHT_value(int i) {
    if (module == nullptr || i < 0 || i >= COLUMNS) return;
    const COLUMN& c = column[i];
    show_value(c.length_text, c.length, queued_turn(c.length), module->LENGHT[step_index(i)], within_count(i));
}

void SEQ_GUI::refresh_BYPASS_value(int i) {
    if (module == nullptr || i < 0 || i >= COLUMNS) return;
    // The sequencer skips any non-zero bypass, so only 0 shows the step playing.
    show_button(column[i].bypass, module->bypass[step_index(i)] == 0);
}

void SEQ_GUI::refresh_PATTERNBUTTON() {
    if (module == nullptr) return;
    const int wished = module->wished_pattern;
    for (const FACE* f : {&full_face, &compact_face})
        for (int k = 0; k < PATTERN_BUTTONS; k++) show_button(f->pattern[k], k == wished);
}

void SEQ_GUI::refresh_columns() {
    for (int i = 0; i < COLUMNS; i++) {
        refresh_NOTE_value(i);
        refresh_OCTAVE_value(i);
        refresh_VOL_value(i);
        refresh_LENGHT_value(i);
        refresh_BYPASS_value(i);
    }
}

void SEQ_GUI::refresh_controls() {
    const int p = pattern();
    for (const FACE* f : {&full_face, &compact_face}) {
        write_label(f->divider, "%3.3f", (double)module->divider[p]);
        write_label(f->wished_divider, "%3.3f", (double)module->wished_divider);
        write_label(f->step_count, "%2d", module->NBR_STEP[p].load());
        show_button(f->power, module->running);
    }
}

void SEQ_GUI::show_file_name(const char* path) {
    const char* shown = path != nullptr && path[0] != '\0' ? bare_name(path) : "NONE";
    for (const FACE* f : {&full_face, &compact_face}) write_label(f->file, "%s", shown);
}

int SEQ_GUI::toggle_view_mode(int type) {
    switch (type) {
    case 0:
        view_mode = view_mode == 1 ? 2 : 1;
        current_list = view_mode == 2 ? &extra_elements : &elements;
        break;
    case 1:
        view_mode = 1;
        current_list = &elements;
        break;
    case 2:
        view_mode = 1;
        current_list = &extra_elements;
        break;
    case 4:
        view_mode = 4;
        current_list = &alt_elements;
        break;
    default:
        break;
    }
    view_switched();
    return 1;
}

// ----------------------------------------------------------------- messages

int SEQ_GUI::evolue() {
    if (module != nullptr && view_mode == 1) {
        if (!compact()) {
            const int now = module->current_step;
            for (int i = 0; i < COLUMNS; i++)
                column[i].lamp->set_sprite_NAME(i == now ? "LAMP_LED_1_1" : "LAMP_LED_1_0");
        }
        if (!messages.empty()) std::printf("\t [%d] Msg to thread \n", (int)messages.size());
        // Oldest first; the messages stay queued for the widgets.
        for (auto m = messages.rbegin(); m != messages.rend(); ++m) {
            if (is_click(*m)) on_click(*m);
            else if (!compact()) on_knob(*m);
        }
    }
    // The labels and switches follow the module every frame: a pattern
    // boundary, the remote control or a pattern file change it too.
    if (module != nullptr) {
        for (const FACE* f : {&full_face, &compact_face}) write_label(f->name, "%s", module->name);
        if (current_list == &alt_elements) set_label(this, "label_NAME", "%s", module->name);
        refresh_PATTERNBUTTON();
        refresh_controls();
    }
    return OBJET::evolue();
}

void SEQ_GUI::on_click(const MESSAGE& m) {
    const SPRITE* t = m.target;
    const bool full = !compact();
    if (is_widget(this, t, "POWER")) {
        module->running = state_after_click(m);
    } else if (is_widget(this, t, "VIEW")) {
        toggle_view_mode(full ? 2 : 1);
    } else if (is_widget(this, t, "BT_SAVE")) {
        save_from_prompt();
    } else if (is_widget(this, t, "FILE_DOWN")) {
        browse(-1);
    } else if (widget_has(this, t, "BUTTON_PATTERN_")) {
        for (int k = 0; k < PATTERN_BUTTONS; k++) {
            char name[KEL_NAME_SIZE];
            std::snprintf(name, sizeof name, "BUTTON_PATTERN_%d", k);
            if (is_widget(this, t, name)) module->wished_pattern = k;
        }
        refresh_PATTERNBUTTON();
    } else if (!full) {
        return;  // the compact face has no other control
    } else if (is_widget(this, t, "BT_LOAD")) {
        load_from_prompt();
    } else if (is_widget(this, t, "FILE_UP")) {
        browse(+1);
    } else if (is_widget(this, t, "BUTTON_DIVIDER_UP") || is_widget(this, t, "BUTTON_DIVIDER_DOWN")) {
        // Up halves the steps per second (slower), down doubles them.
        const float factor = is_widget(this, t, "BUTTON_DIVIDER_UP") ? 0.5f : 2.0f;
        module->wished_divider = within(module->wished_divider * factor, DIVIDER_MIN, DIVIDER_MAX);
    } else if (is_widget(this, t, "BUTTON_MAX_STEP_UP") || is_widget(this, t, "BUTTON_MAX_STEP_DOWN")) {
        SHARED<int>& count = module->NBR_STEP[pattern()];
        // A count a file set above the panel's range is never lowered by "up".
        if (is_widget(this, t, "BUTTON_MAX_STEP_UP")) {
            if (count < STEP_COUNT_MAX) count = std::max(count + 1, 1);
        } else {
            count = std::clamp(count - 1, 1, STEP_COUNT_MAX);
        }
        refresh_columns();  // greyed beyond the count
    } else {
        on_column_click(t);
    }
}

void SEQ_GUI::on_column_click(const SPRITE* t) {
    for (int i = 0; i < COLUMNS; i++) {
        const COLUMN& c = column[i];
        const int at = step_index(i);
        if (t == c.bypass) {
            module->bypass[at] = module->bypass[at] != 0 ? 0 : 1;
            refresh_BYPASS_value(i);
        } else if (t == c.octave_up || t == c.octave_down) {
            module->octave[at] = std::clamp(module->octave[at] + (t == c.octave_up ? 1 : -1), 0, OCTAVE_MAX);
            refresh_OCTAVE_value(i);
        } else if (t == c.note_up || t == c.note_down) {
            module->note[at] = std::clamp(module->note[at] + (t == c.note_up ? 1 : -1), 0, NOTE_MAX);
            refresh_NOTE_value(i);
        } else {
            continue;
        }
        return;
    }
}

void SEQ_GUI::on_knob(const MESSAGE& m) {
    const int direction = knob_direction(m);
    if (direction == 0) return;
    for (int i = 0; i < COLUMNS; i++) {
        const COLUMN& c = column[i];
        const int at = step_index(i);
        if (m.target == c.vol) {
            // SLD_DOWN (dragging down) raises the volume. A step sounds only at
            // exactly 1.0, which sums of 0.1 miss: the volume stays on the 0.1 grid.
            const float v = std::isfinite(module->volume[at]) ? module->volume[at].load() : 0.0f;
            const double stepped = std::round((v + direction * 0.1) * 10.0) / 10.0;
            module->volume[at] = within((float)stepped, VOLUME_MIN, VOLUME_MAX);
            refresh_VOL_value(i);
            return;
        }
        if (m.target == c.length) {
            const float v = module->LENGHT[at];
            module->LENGHT[at] = within(direction > 0 ? v * 2.0f : v * 0.5f, LENGTH_MIN, LENGTH_MAX);
            refresh_LENGHT_value(i);
            return;
        }
    }
}

// ---------------------------------------------------------------- pattern files

void SEQ_GUI::load_from_prompt() {
    const std::vector<std::string> current{module->partition_file_name};
    dialog_files("Load a pattern", PATTERN_DIR, ".PAR", current, [this](bool ok, const std::string& path) {
        if (ok) load_pattern(path);
    });
    print_pattern_prompt("Load pattern");
    dialog_console_answer([this](std::FILE* line) {
        const std::string path = pattern_path_from(line);
        if (!path.empty()) load_pattern(path);
    });
}

void SEQ_GUI::save_from_prompt() {
    dialog_text("Save the pattern as (a name in PARTITIONS/):", "", PATTERN_NAME_MAX,
                [this](bool ok, const std::string& text) {
                    if (!ok) return;
                    const std::string line = text + "\n";
                    std::FILE* f = fmemopen(const_cast<char*>(line.data()), line.size(), "r");
                    if (f == nullptr) return;
                    const std::string path = pattern_path_from(f);
                    std::fclose(f);
                    if (!path.empty()) save_pattern(path);
                });
    print_pattern_prompt("Save pattern");
    dialog_console_answer([this](std::FILE* line) {
        const std::string path = pattern_path_from(line);
        if (!path.empty()) save_pattern(path);
    });
}

void SEQ_GUI::load_pattern(const std::string& path) {
    if (module->load_partition(path.c_str(), current_patch()) == 0) {
        news("Cannot open pattern file [%s]\n", path.c_str());
        return;
    }
    show_file_name(path.c_str());
    refresh_columns();
}

void SEQ_GUI::save_pattern(const std::string& path) {
    if (module->save_partition(path.c_str()) == 0) {
        news("Cannot write pattern file [%s]\n", path.c_str());
        return;
    }
    news("Pattern saved in [%s]\n", path.c_str());
    show_file_name(path.c_str());
}

void SEQ_GUI::browse(int direction) {
    char name[PATTERN_NAME_MAX + 1];
    if (!neighbour_pattern_file(module->partition_file_name, direction, name, sizeof name)) return;
    char path[PANEL_PATH_SIZE];
    std::snprintf(path, sizeof path, "%s/%s", PATTERN_DIR, name);
    if (module->load_partition(path, current_patch()) == 0) return;
    show_file_name(path);
    refresh_columns();
}
