#include "panels/vco_gui.h"

#include <cmath>
#include <limits>

#include "panels/panel_common.h"

namespace {

constexpr double ABOVE_ALL = std::numeric_limits<double>::infinity();

// The frequency knob: coarse steps high up, ever finer ones towards zero. The
// top band has no upper end, so a value set above the audible range by a
// patch file or the remote control still steps both ways.
const KNOB_BAND FREQ_RAISE[] = {
    {50, true, ABOVE_ALL, false, 1},
    {20, true, 50, false, 0.5},
    {10, true, 20, false, 0.025},
    {1, true, 10, false, 0.0125},
    {0.1, false, 1, false, 0.00625},
    {0.00001, false, 0.1, false, 0.003125},
};
// Lowering stops at 0.01: below it the knob only raises.
const KNOB_BAND FREQ_LOWER[] = {
    {50, true, ABOVE_ALL, false, 1},
    {20, true, 50, false, 0.5},
    {10, true, 20, false, 0.025},
    {1, true, 10, false, 0.0125},
    {0.1, false, 1, false, 0.00625},
    {0.01, false, 0.1, false, 0.003125},
};
constexpr float FREQ_FLOOR = 0.001f;

// The amplitude: the frequency's bands with closed lower ends, and a last band
// that starts at 0.001 when raising and stops at 0.01 when lowering.
const KNOB_BAND AMOUNT_RAISE[] = {
    {50, true, ABOVE_ALL, false, 1},
    {20, true, 50, false, 0.5},
    {10, true, 20, false, 0.025},
    {1, true, 10, false, 0.0125},
    {0.1, true, 1, false, 0.00625},
    {0.001, true, 0.1, false, 0.003125},
};
const KNOB_BAND AMOUNT_LOWER[] = {
    {50, true, ABOVE_ALL, false, 1},
    {20, true, 50, false, 0.5},
    {10, true, 20, false, 0.025},
    {1, true, 10, false, 0.0125},
    {0.1, true, 1, false, 0.00625},
    {0.01, false, 0.1, false, 0.003125},
};
// Raising from silence jumps to this amplitude; lowering below it silences.
constexpr float AMOUNT_LEAST = 0.01f;

// Pictures of the wave types 1..9.
const char* const WAVE_PICTURES[] = {
    "DISP_SIN",         "DISP_TRI",           "DISP_SAW",          "DISP_SQR",       "DISP_PULSE",
    "DISP_NOISE_WHITE", "DISP_NOISE_ROSSLER", "DISP_NOISE_LORENZ", "DISP_NOISE_KEL",
};
constexpr int WAVE_TYPES = 9;

float step_amount(float amount, int direction) {
    if (direction > 0) {
        amount = step_bands(amount, AMOUNT_RAISE, 1);
        return amount == 0.0f ? AMOUNT_LEAST : amount;
    }
    amount = step_bands(amount, AMOUNT_LOWER, -1);
    return amount < AMOUNT_LEAST ? 0.0f : amount;
}

// The phase knob turns the other way round from the others and wraps at a
// whole turn, keeping the sign (-1 stays -1).
float step_phase(float phase, int direction) {
    const double p = std::fmod(std::trunc((double)phase - direction), 360.0);
    return std::isfinite(p) ? (float)p : 0.0f;
}



}  // namespace

float step_frequency_bands(float value, int direction) {
    return direction > 0 ? step_bands(value, FREQ_RAISE, 1) : step_bands(value, FREQ_LOWER, -1);
}

float step_frequency_knob(float value, int direction) {
    value = step_frequency_bands(value, direction);
    return value <= FREQ_FLOOR ? FREQ_FLOOR : value;
}

VCO_GUI::VCO_GUI(VCO* m, int px, int py, const char* name) : OBJET(px, py, name), module(m) {
    build_panel(this, "VCO_%s", "RC/BACK_VCO.RC", "RC/VCO.RC");
    set_knob(this, "SLD_FREQUENCE", knob_angle(module->FREQ));
    set_knob(this, "SLD_VOLUME", knob_angle(module->AMOUNT));
    set_knob(this, "SLD_PHASE", knob_angle(module->PHASE));
    set_knob(this, "SLD_PWM", knob_angle(module->PWM));
    set_label(this, "LABEL_FREQUENCE", "%5.3f", (double)module->FREQ);
    set_label(this, "LABEL_VOLUME", "%5.3f", (double)module->AMOUNT);
    set_label(this, "LABEL_PHASE", "%3.0f", (double)module->PHASE);
    set_label(this, "label_NAME", "%s", module->name);
    set_label(this, "LABEL_PWM", "%5.3f", (double)module->PWM);
    set_button(this, "POWER", module->POWER);
    show_wave();
    toggle_all_draw_flag(1);
    OBJET::evolue();
}

void VCO_GUI::show_wave() {
    const int type = module->TYPE;
    show_or_blank(this, "AFFICHAGE_TYPE_ONDE", type >= 1 && type <= WAVE_TYPES ? WAVE_PICTURES[type - 1] : nullptr);
}

void VCO_GUI::cycle_wave(int mouse_button) {
    const int type = module->TYPE;
    if (mouse_button == SDL_BUTTON_LEFT || mouse_button == SDL_BUTTON_WHEELUP)
        module->TYPE = type > WAVE_TYPES - 1 ? 1 : type + 1;
    else if (mouse_button == SDL_BUTTON_WHEELDOWN)
        module->TYPE = type < 2 ? WAVE_TYPES - 1 : type - 1;  // down from 1 lands on 8
    show_wave();
}

bool VCO_GUI::handle(const MESSAGE& m) {
    if (is_click(m)) {
        if (is_widget(this, m.target, "POWER")) module->POWER = state_after_click(m);
        if (is_widget(this, m.target, "AFFICHAGE_TYPE_ONDE")) cycle_wave(m.sdl_event.button.button);
        return false;
    }
    const int direction = knob_direction(m);
    if (direction == 0) return false;
    if (is_widget(this, m.target, "SLD_FREQUENCE")) {
        module->FREQ = step_frequency_knob(module->FREQ, direction);
        set_label(this, "LABEL_FREQUENCE", "%5.3f", (double)module->FREQ);
    } else if (is_widget(this, m.target, "SLD_PWM")) {
        module->PWM = step_frequency_knob(module->PWM, direction);
        set_label(this, "LABEL_PWM", "%5.3f", (double)module->PWM);
    } else if (is_widget(this, m.target, "SLD_VOLUME")) {
        module->AMOUNT = step_amount(module->AMOUNT, direction);
        set_label(this, "LABEL_VOLUME", "%5.3f", (double)module->AMOUNT);
    } else if (is_widget(this, m.target, "SLD_PHASE")) {
        module->PHASE = step_phase(module->PHASE, direction);
        set_label(this, "LABEL_PHASE", "%d", (int)module->PHASE);
        return true;  // the phase knob itself does not turn
    }
    return false;
}

int VCO_GUI::evolue() {
    if (view_mode == 1) {
        // Oldest first; the phase knob's messages leave the queue here.
        for (size_t i = messages.size(); i-- > 0;)
            if (handle(messages[i])) messages.erase(messages.begin() + (long)i);
    }
    set_label(this, "label_NAME", "%s", module->name);
    OBJET::evolue();
    return 0;
}
