#include "engine/events.h"

#include <cstdio>
#include <cstdlib>

#include "engine/objet.h"
#include "synth/exit.h"

SDL_Event event;
int mouse_x = 0, mouse_y = 0;
int LLDOWNmouse_x = 0, LLDOWNmouse_y = 0;
int LLUPmouse_x = 0, LLUPmouse_y = 0;
int RRDOWNmouse_x = 0, RRDOWNmouse_y = 0;
int Lpressed_flag = 0, Rpressed_flag = 0, Mpressed_flag = 0;
int Mbx = 0, Mby = 0;
SPRITE* cible = nullptr;
SPRITE* cible_touched = nullptr;
int nr_ins_touched = -1;
int nr_ins_cible = -1;
int nr_objet_clk_droit = -1;

namespace {
void end_with_zero() { kel_exit(0); }
void (*escape_action)() = end_with_zero;

bool valid(const std::vector<OBJET*>& panels, int index) {
    return index >= 0 && index < (int)panels.size() && panels[index] != nullptr;
}

// Posts a message for element s (which is marked for redrawing) to panel index.
void post(std::vector<OBJET*>& panels, int index, int type, const SDL_Event& e, const char* text, SPRITE* s) {
    if (!valid(panels, index)) return;
    if (s != nullptr) s->changed = 1;
    panels[index]->ajoute_message(MESSAGE(type, e, text, s));
}

// The first element under the pointer, searching the panels from index 0;
// its panel's index in *panel.
SPRITE* pointed(std::vector<OBJET*>& panels, int* panel) {
    for (int i = 0; i < (int)panels.size(); i++) {
        if (panels[i] == nullptr) continue;
        if (SPRITE* s = panels[i]->get_pointed_object()) {
            *panel = i;
            return s;
        }
    }
    return nullptr;
}

void motion(const SDL_Event& e, std::vector<OBJET*>& panels, int* result) {
    if (Mpressed_flag) *result = 3;
    mouse_x = e.motion.x;
    mouse_y = e.motion.y;
    int found_in = nr_ins_touched;
    SPRITE* found = pointed(panels, &found_in);
    if (found != nullptr) nr_ins_touched = found_in;
    if (nr_ins_touched != -1) {
        if (found != nullptr && found != cible_touched) {
            if (cible_touched != nullptr) {
                post(panels, nr_ins_touched, 0, e, "TOUCH_OUT", cible_touched);
                cible_touched->touched = 0;
                cible_touched = nullptr;
            }
            found->touched = 1;
            post(panels, nr_ins_touched, 0, e, "TOUCH_IN", found);
            *result = 1;
            cible_touched = found;
        } else if (found == nullptr && cible_touched != nullptr) {
            post(panels, nr_ins_touched, 0, e, "TOUCH_OUT", cible_touched);
            cible_touched->touched = 0;
            cible_touched = nullptr;
            nr_ins_touched = -1;
            *result = 1;
        }
    }
    // Every pixel of vertical travel with the left button held on an element
    // is one knob step; the pointer goes back to where the button went down.
    if (Lpressed_flag && cible != nullptr) {
        const int dy = LLDOWNmouse_y - mouse_y;
        if (dy != 0) {
            const char* text = dy > 0 ? "SLD_UP" : "SLD_DOWN";
            for (int i = 0; i < std::abs(dy); i++) post(panels, nr_ins_cible, 0, e, text, cible);
            *result = 1;
            SDL_WarpMouse((Uint16)LLDOWNmouse_x, (Uint16)LLDOWNmouse_y);
            LLUPmouse_x = mouse_x;
            LLUPmouse_y = mouse_y;
        }
    }
}

// A copy of the pointed element under it, at the same place.
void duplicate(std::vector<OBJET*>& panels, int index, SPRITE* s) {
    OBJET* panel = panels[index];
    char name[KEL_NAME_SIZE];
    std::snprintf(name, sizeof name, "%d_sprite_%d", (int)panels.size() - 1, (int)panel->current_list->size());
    SPRITE* copy;
    if (auto* knob = dynamic_cast<SLIDER*>(s)) {
        copy = new SLIDER(name, knob->SPR_NAME);
    } else if (auto* button = dynamic_cast<BUTTON*>(s)) {
        copy = new BUTTON(name, button->image_on, button->image_touch, button->image_off, nullptr);
    } else {
        copy = new SPRITE(s->SPR_NAME, (int)s->x, (int)s->y, 0, 0, 0, 1.0f, 0, 255);
        copy->set_NAME(name);
    }
    copy->Is_Key = s->Is_Key;
    copy->Key = s->Key;
    copy->Additive = s->Additive;
    copy->Zoom = s->Zoom;
    copy->Angle = s->Angle;
    copy->setxyz(s->x, s->y, 0);
    copy->Alpha = s->Alpha;
    copy->evolue();
    panel->current_list->insert(panel->current_list->begin(), copy);
}

// A left or right press on an element: it becomes the target and its panel
// gets the press. Null when the press is on no element.
SPRITE* press_target(const SDL_Event& e, std::vector<OBJET*>& panels) {
    int index = -1;
    SPRITE* s = pointed(panels, &index);
    if (s == nullptr) return nullptr;
    cible = s;
    post(panels, index, 1, e, nullptr, s);
    nr_ins_cible = index;
    return s;
}

void button_down(const SDL_Event& e, std::vector<OBJET*>& panels, int* result) {
    const int button = e.button.button;
    if (button == SDL_BUTTON_MIDDLE) {
        Mbx = mouse_x;
        Mby = mouse_y;
        Mpressed_flag = 1;
        int index = -1;
        if (SPRITE* s = pointed(panels, &index)) {
            nr_ins_touched = index;
            duplicate(panels, index, s);
        }
    }
    if (button == SDL_BUTTON_LEFT) {
        *result = 1;
        Lpressed_flag = 1;
        mouse_x = LLDOWNmouse_x = e.button.x;
        mouse_y = LLDOWNmouse_y = e.button.y;
        if (SPRITE* s = press_target(e, panels)) s->pressed = 1;
    }
    if (button == SDL_BUTTON_RIGHT) {
        Rpressed_flag = 1;
        mouse_x = RRDOWNmouse_x = e.button.x;
        mouse_y = RRDOWNmouse_y = e.button.y;
        if (press_target(e, panels) != nullptr) {
            *result = 1;
        } else {
            nr_objet_clk_droit = -1;
            for (int i = 0; i < (int)panels.size(); i++) {
                const OBJET* p = panels[i];
                if (p == nullptr) continue;
                const int left = (int)p->x - 10, top = (int)p->y - 10;
                if (mouse_x >= left && mouse_x <= left + (int)p->w + 40 && mouse_y >= top &&
                    mouse_y <= top + (int)p->h + 40) {
                    nr_objet_clk_droit = i;
                    break;
                }
            }
        }
    }
}

void button_up(const SDL_Event& e, std::vector<OBJET*>& panels, int* result) {
    const int button = e.button.button;
    // The wheel sends a press and a release at once: it neither ends a drag
    // nor clicks a button.
    if (button == SDL_BUTTON_WHEELUP || button == SDL_BUTTON_WHEELDOWN) return;
    if (button == SDL_BUTTON_MIDDLE) {
        Mpressed_flag = 0;
        Mbx = mouse_x;
        Mby = mouse_y;
    }
    if (nr_objet_clk_droit != -1) cible = nullptr;
    nr_objet_clk_droit = -1;
    Rpressed_flag = 0;
    *result = 1;
    if (cible != nullptr && Lpressed_flag) {
        Lpressed_flag = 0;
        post(panels, nr_ins_cible, 1, e, nullptr, cible);
        cible->pressed = 0;
        cible = nullptr;
        SDL_WarpMouse((Uint16)LLDOWNmouse_x, (Uint16)LLDOWNmouse_y);
    }
}
}  // namespace

int dispatch_event(const SDL_Event& e, std::vector<OBJET*>& panels, int result) {
    switch (e.type) {
    case SDL_KEYDOWN:
        if (e.key.keysym.sym == SDLK_ESCAPE) {
            std::printf("ESACEPPEEO\n");
            escape_action();
            break;
        }
        // Keys go to panel 0; with no panel they are dropped.
        post(panels, 0, 1, e, nullptr, nullptr);
        break;
    case SDL_KEYUP:
        if (e.key.keysym.sym == SDLK_ESCAPE) {
            std::printf("ESCAPE\n");
            escape_action();
        }
        break;
    case SDL_MOUSEMOTION: motion(e, panels, &result); break;
    case SDL_MOUSEBUTTONDOWN: button_down(e, panels, &result); break;
    case SDL_MOUSEBUTTONUP: button_up(e, panels, &result); break;
    default: break;
    }
    return result;
}

int SDL_PollEVENT_for_init(std::vector<OBJET*> panels) {
    int result = 0;
    while (SDL_PollEvent(&event)) result = dispatch_event(event, panels, result);
    return result;
}

void reset_event_state() {
    cible = cible_touched = nullptr;
    nr_ins_touched = nr_ins_cible = nr_objet_clk_droit = -1;
    Lpressed_flag = Rpressed_flag = Mpressed_flag = 0;
}

void set_escape_action(void (*action)()) { escape_action = action != nullptr ? action : end_with_zero; }
