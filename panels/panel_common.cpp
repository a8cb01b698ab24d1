#include "panels/panel_common.h"

#include <cstdarg>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <limits>

#include "panels/panel_globals.h"

std::vector<SEQ_GUI*> sequenceurs_gui;
std::vector<OBJET*> objets_panel_front;
std::vector<OBJET*> objets_SAVE;
std::vector<LINK*> liens;
int BACK_VIEW_TOGGLE = 0;

void load_into(OBJET* panel, std::vector<SPRITE*>* list, const char* rc) {
    std::vector<SPRITE*>* current = panel->current_list;
    panel->current_list = list;
    panel->load_RC(rc);
    panel->current_list = current;
}

void build_panel(OBJET* panel, const char* image_format, const char* back_rc, const char* front_rc) {
    char image[KEL_NAME_SIZE];
    std::snprintf(image, sizeof image, image_format, panel->panel_name);
    panel->set_sprite_NAME(image);
    load_into(panel, &panel->alt_elements, back_rc);
    load_into(panel, &panel->elements, front_rc);
    panel->current_list = &panel->elements;
}

bool is_widget(const OBJET* panel, const SPRITE* element, const char* name) {
    return element != nullptr && std::strcmp(panel->own_name(element), name) == 0;
}

bool widget_has(const OBJET* panel, const SPRITE* element, const char* part) {
    return element != nullptr && std::strstr(panel->own_name(element), part) != nullptr;
}

bool is_click(const MESSAGE& m) {
    return m.type == 1 && m.sdl_event.type == SDL_MOUSEBUTTONUP && m.target != nullptr;
}

int knob_direction(const MESSAGE& m) {
    if (m.type != 0 || m.target == nullptr || std::strstr(m.target->NAME, "SLD") == nullptr) return 0;
    if (std::strstr(m.text, "SLD_") == nullptr) return 0;
    if (std::strstr(m.text, "SLD_DOWN") != nullptr) return 1;
    if (std::strstr(m.text, "SLD_UP") != nullptr) return -1;
    return 0;
}

int state_after_click(const MESSAGE& m) {
    const auto* button = dynamic_cast<const BUTTON*>(m.target);
    if (button == nullptr) return 0;
    return button->STATE != 0 ? 0 : 1;
}

LABEL* find_label(OBJET* panel, const char* name) {
    return dynamic_cast<LABEL*>(panel->get_SPRITE_by_name(name));
}

BUTTON* find_button(OBJET* panel, const char* name) {
    return dynamic_cast<BUTTON*>(panel->get_SPRITE_by_name(name));
}

namespace {
void write_label_v(LABEL* label, const char* format, va_list args) {
    if (label == nullptr) return;
    char text[CAPTION_SIZE];
    std::vsnprintf(text, sizeof text, format, args);
    label->set_caption(text);
    label->changed = 1;
}
}  // namespace

void write_label(LABEL* label, const char* format, ...) {
    va_list args;
    va_start(args, format);
    write_label_v(label, format, args);
    va_end(args);
}

void set_label(OBJET* panel, const char* name, const char* format, ...) {
    va_list args;
    va_start(args, format);
    write_label_v(find_label(panel, name), format, args);
    va_end(args);
}

// Shows a picture in a display, or nothing at all for a null one. A blank
// display keeps the box of the picture it showed, so it can still be clicked.
void show_or_blank(OBJET* panel, const char* name, const char* image) {
    SPRITE* display = panel->get_SPRITE_by_name(name);
    if (display == nullptr) return;
    if (image == nullptr) {
        display->evolue();  // takes the size of the picture it shows now
        image = "";
    }
    display->set_sprite_NAME(image);
    display->changed = 1;
}

int knob_angle(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return std::numeric_limits<int>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
    return (int)value;
}

void set_picture(OBJET* panel, const char* name, const char* image) {
    SPRITE* s = panel->get_SPRITE_by_name(name);
    if (s == nullptr) return;
    s->set_sprite_NAME(image);
    s->changed = 1;
}

void set_button(OBJET* panel, const char* name, int state) {
    BUTTON* b = find_button(panel, name);
    if (b == nullptr) return;
    b->STATE = state != 0 ? 1 : 0;
    b->set_sprite_NAME(b->STATE ? b->image_on : b->image_off);
}

void set_knob(OBJET* panel, const char* name, int angle) {
    if (SPRITE* s = panel->get_SPRITE_by_name(name)) s->Angle = angle;
}

float step_bands(float value, const KNOB_BAND* bands, int count, int direction) {
    for (int i = 0; i < count; i++) {
        const KNOB_BAND& b = bands[i];
        const double v = value;
        const bool above = b.low_closed ? v >= b.low : v > b.low;
        const bool below = b.high_closed ? v <= b.high : v < b.high;
        if (above && below) value = (float)(v + direction * b.step);
    }
    return value;
}
