#include "panels/keyboard_gui.h"

#include <cstdio>

#include "panels/panel_common.h"
#include "synth/notes.h"

KEYBOARD_GUI* KEYBOARD_GUI::last_clicked = nullptr;

namespace {
// The octaves the panel offers; the digit shows octave + 1.
constexpr int OCTAVE_LOW = 0;
constexpr int OCTAVE_HIGH = 7;
// The note read-out, right of the octave legend, in a lamp's colours.
constexpr int NOTE_X = 82, NOTE_Y = 27, NOTE_SIZE = 10;
constexpr int NOTE_LIT = 0xE8401C, NOTE_DARK = 0x4A4A4A;

// The digit's pictures run from LED_NUMERIC_1_0 to LED_NUMERIC_1_10.
constexpr int DIGIT_PICTURES = 11;

void show_octave(OBJET* panel, int octave) {
    if (octave < -1 || octave >= DIGIT_PICTURES - 1) {
        show_or_blank(panel, "SPRITE_OCT", nullptr);
        return;
    }
    char image[KEL_NAME_SIZE];
    std::snprintf(image, sizeof image, "LED_NUMERIC_1_%d", octave + 1);
    set_picture(panel, "SPRITE_OCT", image);
}

// "A4" for a note number (entry 58, 440 Hz): entry n is MIDI note n + 11;
// empty outside the note table.
void note_name(int number, char* text, size_t size) {
    static const char* const names[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    if (number < 0 || number >= NOTE2FREQ_SIZE) {
        text[0] = '\0';
        return;
    }
    const int midi = number + 11;
    std::snprintf(text, size, "%s%d", names[midi % 12], midi / 12 - 1);
}
}  // namespace

KEYBOARD_GUI::KEYBOARD_GUI(KEYBOARD* keyboard, int px, int py, const char* name)
    : OBJET(px, py, name), module(keyboard), shown_octave(keyboard->octave) {
    build_panel(this, "KEY_%s", "RC/BACK_KEYBOARD.RC", "RC/KEYBOARD.RC");
    set_label(this, "label_NAME", "%s", module->name);
    set_button(this, "POWER", module->on);
    show_octave(this, module->octave);

    note_label = new LABEL("", (int)x, (int)y, 0, 0, 0, NOTE_SIZE, NOTE_DARK);
    char label_name[PANEL_PATH_SIZE + KEL_NAME_SIZE];
    std::snprintf(label_name, sizeof label_name, "%s_LABEL_NOTE", panel_name);
    note_label->set_NAME(label_name);
    note_label->setxyz(NOTE_X, NOTE_Y, 0);
    elements.push_back(note_label);
    show_note();

    toggle_all_draw_flag(1);
    OBJET::evolue();
}

KEYBOARD_GUI::~KEYBOARD_GUI() {
    if (last_clicked == this) last_clicked = nullptr;
}

void KEYBOARD_GUI::show_note() {
    // The octave and note may be changed by notes played, the remote or a reload.
    long long number = (long long)module->octave * 12 + module->note;
    if (number < -1 || number > NOTE2FREQ_SIZE) number = -1;
    char text[16];
    note_name((int)number, text, sizeof text);
    write_label(note_label, "%s", text);
    note_label->Col = module->shown_gate != 0 ? NOTE_LIT : NOTE_DARK;
}

int KEYBOARD_GUI::evolue() {
    for (const MESSAGE& m : messages)
        if (is_click(m)) last_clicked = this;
    if (view_mode == 1) {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
            const MESSAGE& m = *it;
            if (!is_click(m)) continue;
            if (is_widget(this, m.target, "POWER")) module->on = state_after_click(m);
            // A step that the limits below would undo is not taken, so no
            // octave the patch file may hold can overflow.
            if (is_widget(this, m.target, "BUTTON_OCT_UP") && module->octave <= OCTAVE_HIGH) module->octave++;
            if (is_widget(this, m.target, "BUTTON_OCT_DOWN") && module->octave >= OCTAVE_LOW) module->octave--;
            // Any click re-applies the limits, whatever octave the file or the remote left.
            if (module->octave < OCTAVE_LOW) module->octave = OCTAVE_LOW;
            if (module->octave > OCTAVE_HIGH) module->octave = OCTAVE_HIGH;
            show_octave(this, module->octave);
            shown_octave = module->octave;
        }
    }
    // A MIDI note sets the octave too: the digit follows it.
    if (module->octave != shown_octave) {
        shown_octave = module->octave;
        show_octave(this, shown_octave);
    }
    show_note();
    set_label(this, "label_NAME", "%s", module->name);
    OBJET::evolue();
    return 0;
}
