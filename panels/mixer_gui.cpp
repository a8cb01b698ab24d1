#include "panels/mixer_gui.h"

#include <cmath>
#include <cstdio>

#include "panels/panel_common.h"

namespace {
// A knob turns one degree per message and has no stops; its angle is kept
// far enough inside the int range that further turns cannot overflow it.
constexpr double ANGLE_LIMIT = 1e9;

// The knob angle that stands for a level, to the nearest degree.
int angle_of_level(float level) {
    const double a = std::round((double)level * MIXER_GUI::DEGREES_PER_LEVEL);
    if (std::isnan(a)) return 0;
    return (int)std::fmax(-ANGLE_LIMIT, std::fmin(ANGLE_LIMIT, a));
}

void name_widget(SPRITE* s, const char* panel, const char* format, int n) {
    // Room for any panel name; set_NAME keeps what fits.
    char own[KEL_NAME_SIZE], name[PANEL_PATH_SIZE + KEL_NAME_SIZE];
    std::snprintf(own, sizeof own, format, n);
    std::snprintf(name, sizeof name, "%s_%s", panel, own);
    s->set_NAME(name);
}

void set_caption(LABEL* label, const char* format, double value) {
    char text[CAPTION_SIZE];
    std::snprintf(text, sizeof text, format, value);
    label->set_caption(text);
    label->changed = 1;
}
}  // namespace

void MIXER_GUI::build_strip(int column, int row) {
    const int n = 7 * column + row + 1;
    const float left = 90.0f * (float)column, top = 18.0f * (float)row;
    STRIP& s = strips[n - 1];

    s.knob = new SLIDER("VOL", "SLD");
    name_widget(s.knob, panel_name, "SLD_CANAL_%d", n);
    s.knob->setxyz(left + 50, top + 67, 0);
    s.knob->Is_Key = 1;
    s.knob->Key = 0;
    s.knob->Additive = 0;
    s.knob->Zoom = 0.75f;
    // The knob starts where the level is, so taking hold of it changes nothing.
    s.knob->Angle = s.shown = angle_of_level(module->level[n - 1]);
    elements.push_back(s.knob);

    s.level = new LABEL("1.0", (int)x, (int)y, 55, 50, 0, 8, 0);
    name_widget(s.level, panel_name, "LABEL_CANAL_%d", n);
    s.level->setxyz(left + 72, top + 73, 0);
    set_caption(s.level, "%2.1f", module->level[n - 1]);
    elements.push_back(s.level);

    char number[16];
    std::snprintf(number, sizeof number, "%d", n);
    auto* tag = new LABEL(number, (int)x, (int)y, 55, 50, 0, 8, 0);
    name_widget(tag, panel_name, "LABEL_CANAL_%d_TXT", n);
    tag->setxyz(left + 22, top + 73, 0);
    elements.push_back(tag);

    s.mute = new BUTTON("MUTE", "CHK_4_ON", "0", "CHK_4_OFF", nullptr);
    name_widget(s.mute, panel_name, "BYPASS_CANAL_%d", n);
    s.mute->setxyz(left + 32, top + 68, 0);
    s.mute->Is_Key = 1;
    s.mute->Key = 0;
    s.mute->Additive = 0;
    s.mute->Zoom = 0.75f;
    s.mute->Angle = 0;
    s.mute->STATE = module->mute[n - 1] == 1.0f ? 1 : 0;
    s.mute->set_sprite_NAME(s.mute->STATE ? s.mute->image_on : s.mute->image_off);
    s.mute->changed = 1;
    elements.push_back(s.mute);
}

MIXER_GUI::MIXER_GUI(MIXER* mixer, int px, int py, const char* name) : OBJET(px, py, name), module(mixer) {
    build_panel(this, "MIXER_%s", "RC/BACK_MIXER.RC", "RC/MIXER.RC");
    for (int column = 0; column < 3; column++)
        for (int row = 0; row < 7; row++) build_strip(column, row);
    set_button(this, "POWER", module->enabled);
    set_label(this, "label_NAME", "%s", module->name);
    calcule_lasurfaceoccupee();
    toggle_all_draw_flag(1);
    OBJET::evolue();
}

int MIXER_GUI::evolue() {
    if (view_mode == 1) {
        for (int j = 0; j < STRIPS; j++) {
            STRIP& s = strips[j];
            // A knob turned since the last frame (it turns only while held)
            // sets the level, the last degrees before its release included;
            // otherwise it follows the level, whoever changed it, so the next
            // hold starts from there.
            if (s.knob->Angle != s.shown) module->level[j] = (float)s.knob->Angle / DEGREES_PER_LEVEL;
            else s.knob->Angle = angle_of_level(module->level[j]);
            s.shown = s.knob->Angle;
            set_caption(s.level, "%2.1f", module->level[j]);
            module->mute[j] = s.mute->STATE != 0 ? 1.0f : 0.0f;
        }
        for (auto it = messages.rbegin(); it != messages.rend(); ++it)
            if (is_click(*it) && is_widget(this, it->target, "POWER")) module->enabled = state_after_click(*it);
    }
    set_label(this, "label_NAME", "%s", module->name);
    OBJET::evolue();
    return 0;
}
