#include "engine/widgets.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/display.h"
#include "engine/draw.h"
#include "synth/names.h"

// ------------------------------------------------------------------ MESSAGE

MESSAGE::MESSAGE(int t, const SDL_Event& event, const char* message_text, SPRITE* sprite)
    : type(t), sdl_event(event), target(sprite) {
    copy_name(text, message_text);
}

// ------------------------------------------------------------ MSG_RESPONDER

MSG_RESPONDER::~MSG_RESPONDER() {
    for (MESSAGE* m : queue) delete m;
}

int MSG_RESPONDER::ajoute_message(const MESSAGE* m) {
    queue.insert(queue.begin(), new MESSAGE(*m));
    return 1;
}

MESSAGE* MSG_RESPONDER::take_oldest() {
    if (queue.empty()) return nullptr;
    MESSAGE* m = queue.back();
    queue.pop_back();
    return m;
}

namespace {
bool says(const MESSAGE* m, const char* word) { return m->type == 0 && std::strstr(m->text, word) != nullptr; }
bool mouse(const MESSAGE* m, Uint8 sdl_type) { return m->type == 1 && m->sdl_event.type == sdl_type; }

// Hover and press notices, common to buttons and knobs.
void follow_pointer(SPRITE* s, const MESSAGE* m) {
    if (mouse(m, SDL_MOUSEBUTTONDOWN)) s->pressed = 1;
    if (says(m, "TOUCH_IN")) s->touched = 1;
    if (says(m, "TOUCH_OUT")) s->touched = 0;
}
}  // namespace

// -------------------------------------------------------------------- BUTTON

BUTTON::BUTTON(const char* name, const char* on, const char* touch, const char* off, const char* mask)
    : SPRITE("IMG_001", 100, 100, 0, 0, 0, 1.0f, 0, 0) {
    // Widgets draw opaque unless told otherwise.
    Alpha = 255;
    set_NAME(name);
    copy_name(image_touch, touch);
    copy_name(image_off, off);
    copy_name(image_on, on);
    copy_name(SPR_NAME, image_on);
    set_sprite_NAME(image_off);
    if (mask != nullptr) {
        copy_name(MASK_NAME, mask);
    } else {
        const char* last = std::strrchr(image_on, '_');
        if (last != nullptr && last > image_on) {
            char derived[KEL_NAME_SIZE];
            std::snprintf(derived, sizeof derived, "%.*sMASK", (int)(last - image_on + 1), image_on);
            copy_name(MASK_NAME, derived);
        }
    }
    evolue();
}

int BUTTON::evolue() {
    int handled = 0;
    while (MESSAGE* m = take_oldest()) {
        follow_pointer(this, m);
        if (mouse(m, SDL_MOUSEBUTTONUP)) {
            pressed = 0;
            STATE = std::abs(1 - STATE);
        }
        delete m;
        handled++;
    }
    if (handled > 0) {
        set_sprite_NAME(STATE != 0 ? image_on : image_off);
        if (touched && image_touch[0] != '0') set_sprite_NAME(image_touch);
    }
    SPRITE::evolue();
    return 0;
}

void BUTTON::affiche() {
    std::printf("BUTTON : ");
    SPRITE::affiche();
    std::printf("\n\t STATE[%d]\r\n", STATE);
}

// -------------------------------------------------------------------- SLIDER

SLIDER::SLIDER(const char* name, const char* image) : SPRITE("IMG_001", 100, 100, 0, 0, 0, 1.0f, 0, 0) {
    Alpha = 255;
    set_NAME(name);
    set_sprite_NAME(image);
    char mask[KEL_NAME_SIZE + 8];
    std::snprintf(mask, sizeof mask, "%s_MASK", SPR_NAME);
    copy_name(MASK_NAME, mask);
    evolue();
}

int SLIDER::evolue() {
    while (MESSAGE* m = take_oldest()) {
        follow_pointer(this, m);
        if (mouse(m, SDL_MOUSEBUTTONUP)) pressed = 0;
        if (says(m, "SLD_DOWN")) Angle += 1;
        if (says(m, "SLD_UP")) Angle -= 1;
        delete m;
    }
    SPRITE::evolue();
    return 0;
}

void SLIDER::affiche() {
    std::printf("SLIDER : ");
    SPRITE::affiche();
    std::printf("\n\t STATE[%d]\r\n", Angle);
}

// --------------------------------------------------------------------- LABEL

LABEL::LABEL(const char* caption, int lx, int ly, int, int, int font, int size, int colour)
    : SPRITE("IMG_001", 100, 100, 0, 0, 0, 1.0f, 0, 0) {
    Alpha = 255;
    screen_coords = true;
    changed = 1;
    Col = (unsigned)colour;
    Size = size >= 6 && size <= 23 ? size : 10;
    font_nr = font >= 0 && font <= 9 ? font : 0;
    copy_name(CAPTION, caption);
    last_caption[0] = '\0';
    setxyz((float)lx, (float)(text_baseline_row() - ly), 0);
}

int LABEL::evolue() {
    SPRITE::evolue();
    if (std::strcmp(CAPTION, last_caption) == 0 && Col == (unsigned)last_colour) return 0;
    last_colour = (int)Col;
    copy_name(last_caption, CAPTION);
    changed = 1;
    w = (float)((unsigned)std::strlen(CAPTION) * (unsigned)Size / 2);
    h = (float)Size;
    return 0;
}

void LABEL::affiche() {
    std::printf("LABEL:\n-------\n");
    std::printf("NAME[%16s] XYWH[%3d-%3d-%3d-%3d] Zoom=%4.4f Angle=%4.4f\n", NAME, (int)x, (int)y, (int)w,
                (int)h, (double)Zoom, (double)Angle);
    std::printf("Font Nr=%3d Size=%3d Col=%08x Col2=%08x\n", font_nr, Size, Col, Col2);
    std::printf("CAPTION [%s]\n,", CAPTION);
    std::printf("--------------------------------------------------------------\n");
}

void LABEL::blit(SDL_Surface*) {
    draw_caption(CAPTION, x, y, screen_coords, font_nr, Size, Col, room);
    changed = 1;
}

void LABEL::set_caption(const char* caption) { copy_name(CAPTION, caption); }
