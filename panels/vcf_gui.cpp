#include "panels/vcf_gui.h"

#include <cmath>
#include <limits>

#include "panels/panel_common.h"

namespace {

constexpr double ABOVE_ALL = std::numeric_limits<double>::infinity();

// The cut-off, Hz: "SLD_DOWN" lowers it and "SLD_UP" raises it, by 100 Hz
// above 5 kHz down to 1 Hz below 10 Hz. Lowering works from any height (a
// patch file may set more than the knob reaches); raising stops past 10 kHz.
const KNOB_BAND CUTOFF_LOWER[] = {
    {4999, false, ABOVE_ALL, false, 100},
    {2500, true, 4999, true, 50},
    {1000, true, 2500, false, 25},
    {100, true, 1000, false, 10},
    {9, false, 100, false, 2},
    {1, false, 9, true, 1},
};
const KNOB_BAND CUTOFF_RAISE[] = {
    {4999, false, 9999, true, 100},
    {2500, true, 4999, true, 50},
    {1000, true, 2500, false, 25},
    {100, true, 1000, false, 10},
    {9, false, 100, false, 2},
    {0, false, 9, true, 1},
};
constexpr int CUTOFF_LEAST = 1;

// Gain (dB), Q and level move by a fixed step whatever their value.
const KNOB_BAND GAIN_Q_STEP[] = {{-ABOVE_ALL, false, ABOVE_ALL, false, 0.1}};
const KNOB_BAND LEVEL_STEP[] = {{-ABOVE_ALL, false, ABOVE_ALL, false, 0.05}};
constexpr float Q_LEAST = 0.001f;

// The responses in the filter's own numbering (the one of patch files): 0 is
// gain only, 1..7 the biquad shapes.
const char* const TYPE_PICTURES[] = {
    "DISP_FILTRE_GAIN",     "DISP_FILTRE_LOWPASS",  "DISP_FILTRE_HIGHPASS",  "DISP_FILTRE_BANDPASS",
    "DISP_FILTRE_NOTCH",    "DISP_FILTRE_LOWSHELF", "DISP_FILTRE_HIGHSHELF", "DISP_FILTRE_PEAKING",
};
const char* const TYPE_NAMES[] = {
    "GAIN", "LOWPASS", "HIGHPASS", "BANDPASS", "NOTCH", "LOWSHELF", "HIGHSHELF", "PEAKING",
};
constexpr int LAST_TYPE = PEAKING;

// A knob message moves the cut-off down (direction +1) or up (-1); never below 1 Hz.
int step_cutoff(int hz, int direction) {
    const float before = (float)hz;
    const float after = direction > 0 ? step_bands(before, CUTOFF_LOWER, -1) : step_bands(before, CUTOFF_RAISE, 1);
    if (after < (float)CUTOFF_LEAST) return CUTOFF_LEAST;
    if (after == before) return hz;  // untouched, even where a float cannot hold every int
    if (after >= 2147483648.0f) return std::numeric_limits<int>::max();
    return (int)after;
}



}  // namespace

VCF_GUI::VCF_GUI(PCF* m, int px, int py, const char* name) : OBJET(px, py, name), module(m) {
    build_panel(this, "VCF_%s", "RC/BACK_VCF.RC", "RC/VCF.RC");
    set_knob(this, "SLD_HICUTOFF", module->HICUT);
    set_knob(this, "SLD_GAIN", knob_angle(module->GAIN));
    set_knob(this, "SLD_LEVEL", knob_angle(module->LEVEL));
    set_knob(this, "SLD_QRATIO", knob_angle(module->Q));
    show_type();
    set_label(this, "LABEL_HICUTOFF", "%d", module->HICUT.load());
    set_label(this, "LABEL_GAIN", "%2.1f", (double)module->GAIN);
    set_label(this, "LABEL_QRATIO", "%2.1f", (double)module->Q);
    set_label(this, "LABEL_LEVEL", "%2.1f", (double)module->LEVEL);
    // A new panel shows the type's number; its name appears at the first click.
    set_label(this, "LABEL_TYPE", "%d", module->TYPE.load());
    set_label(this, "label_NAME", "%s", module->name);
    set_button(this, "POWER", module->enabled);
    set_button(this, "BYPASS", module->BYPASS);
    toggle_all_draw_flag(1);
    set_label(this, "label_NAME", "%s", module->name);
    OBJET::evolue();
}

void VCF_GUI::show_type() {
    const int type = module->TYPE;
    const bool known = type >= 0 && type <= LAST_TYPE;
    show_or_blank(this, "AFFICHAGE_TYPE_FILTRE", known ? TYPE_PICTURES[type] : nullptr);
    set_label(this, "LABEL_TYPE", "%8s", known ? TYPE_NAMES[type] : "");
}

void VCF_GUI::step_knob(const SPRITE* knob, int direction) {
    if (is_widget(this, knob, "SLD_HICUTOFF")) {
        module->HICUT = step_cutoff(module->HICUT, direction);
        set_label(this, "LABEL_HICUTOFF", "%4d", module->HICUT.load());
    } else if (is_widget(this, knob, "SLD_GAIN")) {
        module->GAIN = step_bands(module->GAIN, GAIN_Q_STEP, direction);
        set_label(this, "LABEL_GAIN", "%2.1f", (double)module->GAIN);
    } else if (is_widget(this, knob, "SLD_QRATIO")) {
        const float q = step_bands(module->Q, GAIN_Q_STEP, direction);
        module->Q = q <= Q_LEAST ? Q_LEAST : q;
        set_label(this, "LABEL_QRATIO", "%2.1f", (double)module->Q);
    } else if (is_widget(this, knob, "SLD_LEVEL")) {
        const float level = step_bands(module->LEVEL, LEVEL_STEP, direction);
        module->LEVEL = level < 0.0f ? 0.0f : level > 1.0f ? 1.0f : level;
        set_label(this, "LABEL_LEVEL", "%2.1f", (double)module->LEVEL);
    }
}

void VCF_GUI::handle(const MESSAGE& m) {
    if (is_click(m)) {
        if (is_widget(this, m.target, "POWER")) module->enabled = state_after_click(m);
        if (is_widget(this, m.target, "BYPASS")) module->BYPASS = state_after_click(m);
        if (is_widget(this, m.target, "AFFICHAGE_TYPE_FILTRE")) {
            // Any mouse button; the types run round 0..7.
            const int type = module->TYPE;
            module->TYPE = type >= LAST_TYPE ? 0 : type < -1 ? LAST_TYPE : type + 1;
            show_type();
        }
        return;
    }
    const int direction = knob_direction(m);
    if (direction != 0) step_knob(m.target, direction);
}

int VCF_GUI::evolue() {
    if (view_mode == 1)
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) handle(*it);
    OBJET::evolue();
    return 0;
}
