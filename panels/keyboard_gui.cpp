#include "panels/keyboard_gui.h"

#include <cstdio>

#include "panels/panel_common.h"

namespace {
// The octaves the panel offers; the digit shows octave + 1.
constexpr int OCTAVE_LOW = 0;
constexpr int OCTAVE_HIGH = 7;

void show_octave(OBJET* panel, int octave) {
    char image[KEL_NAME_SIZE];
    std::snprintf(image, sizeof image, "LED_NUMERIC_1_%d", octave + 1);
    set_picture(panel, "SPRITE_OCT", image);
}
}  // namespace

KEYBOARD_GUI::KEYBOARD_GUI(KEYBOARD* keyboard, int px, int py, const char* name)
    : OBJET(px, py, name), module(keyboard) {
    build_panel(this, "KEY_%s", "RC/BACK_KEYBOARD.RC", "RC/KEYBOARD.RC");
    set_label(this, "label_NAME", "%s", module->name);
    set_button(this, "POWER", module->on);
    show_octave(this, module->octave);
    toggle_all_draw_flag(1);
    OBJET::evolue();
}

int KEYBOARD_GUI::evolue() {
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
        }
    }
    set_label(this, "label_NAME", "%s", module->name);
    OBJET::evolue();
    return 0;
}
