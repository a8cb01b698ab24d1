#include "shell/demo_panel.h"

#include <cstdio>
#include <cstring>

DEMO_PANEL::DEMO_PANEL(int px, int py) : OBJET(0, 0, "D") {
    load_RC("RC/DEMO.RC");
    setxyz((float)px, (float)py, 0);
    if (SPRITE* knob = get_SPRITE_by_name("SLD_DEMO")) reported_angle = knob->Angle;
    toggle_all_draw_flag(1);
}

int DEMO_PANEL::evolue() {
    if (view_mode == 1) {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it)
            if (it->type == 0 && it->target != nullptr && std::strncmp(it->text, "TOUCH_", 6) == 0)
                std::printf("demo: %s %s\n", it->text, it->target->NAME);
    }
    SPRITE* knob = get_SPRITE_by_name("SLD_DEMO");
    if (knob != nullptr && knob->Angle != reported_angle) {
        reported_angle = knob->Angle;
        std::printf("demo: knob %d\n", reported_angle);
    }
    if (auto* button = dynamic_cast<BUTTON*>(get_SPRITE_by_name("POWER"))) {
        if (button->STATE != reported_state) {
            reported_state = button->STATE;
            std::printf("demo: button %d\n", reported_state);
        }
    }
    if (auto* readout = dynamic_cast<LABEL*>(get_SPRITE_by_name("LABEL_VALUE"))) {
        char text[32];
        std::snprintf(text, sizeof text, "%d", reported_angle);
        readout->set_caption(text);
    }
    std::fflush(stdout);
    return OBJET::evolue();
}
