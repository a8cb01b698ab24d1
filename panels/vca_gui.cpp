#include "panels/vca_gui.h"

#include <cmath>

#include "panels/panel_common.h"

namespace {

// The envelope times move by 1 ms per knob message and never go below 0.
float step_time(float ms, int direction) {
    const float t = ms + (float)direction;
    return t < 0.0f ? 0.0f : t;
}

// The sustain level moves by 0.01 per message within 0..1, from hundredth to
// hundredth: a level between two (from a patch file) goes to the next one in
// the knob's direction. Whole hundredths are counted rather than 0.01 added,
// so a hundred steps down from 1 land on exactly 0, which the envelope reads
// as "decay to zero".
float step_sustain(float level, int direction) {
    const double hundredths = (double)level * 100.0;
    const double next = direction > 0 ? std::floor(hundredths + 1e-4) + 1 : std::ceil(hundredths - 1e-4) - 1;
    if (!(next > 0)) return 0.0f;  // also a level that is not a number
    if (next >= 100) return 1.0f;
    return (float)(next / 100.0);
}

// The time knobs: any knob whose name holds the parameter's word.
struct TIME_KNOB {
    const char* word;
    SHARED<float> VCA::*field;
    const char* label;
};
const TIME_KNOB TIME_KNOBS[] = {
    {"ATTACK", &VCA::ATTACK, "LABEL_ATTACK"},
    {"DECAY", &VCA::DECAY, "LABEL_DECAY"},
    {"RELEASE", &VCA::RELEASE, "LABEL_RELEASE"},
};

// "%4.2f" shows every 0.01 step of the sustain.
constexpr const char* SUSTAIN_FORMAT = "%4.2f";

}  // namespace

VCA_GUI::VCA_GUI(VCA* m, int px, int py, const char* name) : OBJET(px, py, name), module(m) {
    build_panel(this, "VCA_%s", "RC/BACK_VCA.RC", "RC/VCA.RC");
    set_label(this, "label_NAME", "%s", module->name);
    set_label(this, "LABEL_ATTACK", "%2.1f", (double)module->ATTACK);
    set_label(this, "LABEL_DECAY", "%2.1f", (double)module->DECAY);
    set_label(this, "LABEL_SUSTAIN", SUSTAIN_FORMAT, (double)module->SUSTAIN);
    if (module->SUSTAIN < 0.01f) module->SUSTAIN = 0.0f;
    set_label(this, "LABEL_RELEASE", "%2.1f", (double)module->RELEASE);
    set_button(this, "POWER", module->POWER);
    toggle_all_draw_flag(1);
    OBJET::evolue();
}

void VCA_GUI::handle(const MESSAGE& m) {
    if (is_click(m)) {
        if (is_widget(this, m.target, "POWER")) module->POWER = state_after_click(m);
        return;
    }
    const int direction = knob_direction(m);
    if (direction == 0) return;
    for (const TIME_KNOB& k : TIME_KNOBS) {
        if (!widget_has(this, m.target, k.word)) continue;
        module->*k.field = step_time(module->*k.field, direction);
        set_label(this, k.label, "%4.1f", (double)(module->*k.field));
    }
    if (widget_has(this, m.target, "SUSTAIN")) {
        module->SUSTAIN = step_sustain(module->SUSTAIN, direction);
        set_label(this, "LABEL_SUSTAIN", SUSTAIN_FORMAT, (double)module->SUSTAIN);
    }
}

int VCA_GUI::evolue() {
    if (view_mode == 1)
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) handle(*it);
    set_label(this, "label_NAME", "%s", module->name);
    OBJET::evolue();
    return 0;
}
