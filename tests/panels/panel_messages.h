// Driving a panel from a test: knob messages and clicks aimed at its widgets,
// and what its labels and displays show.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/objet.h"
#include "panels/panel_common.h"

inline constexpr int DOWN = 1, UP = -1;  // "SLD_DOWN" raises, "SLD_UP" lowers

// Posts a knob message (direction) or a click (mouse button), then runs the frame.
inline void post(OBJET* p, const char* widget, int direction, int button = 0) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = SDL_MOUSEBUTTONUP;
    e.button.button = (Uint8)button;
    SPRITE* w = p->get_SPRITE_by_name(widget);
    ASSERT_NE(w, nullptr) << widget;
    p->ajoute_message(MESSAGE(button ? 1 : 0, e, button ? nullptr : direction == DOWN ? "SLD_DOWN" : "SLD_UP", w));
    p->evolue();
}
inline void click(OBJET* p, const char* widget, int button = SDL_BUTTON_LEFT) { post(p, widget, 0, button); }
inline std::string caption(OBJET* p, const char* label) {
    const LABEL* l = find_label(p, label);
    return l != nullptr ? l->CAPTION : "<missing>";
}
inline std::string picture(OBJET* p, const char* sprite) {
    const SPRITE* s = p->get_SPRITE_by_name(sprite);
    return s != nullptr ? s->SPR_NAME : "<missing>";
}
