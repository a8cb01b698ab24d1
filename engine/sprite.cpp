#include "engine/sprite.h"

#include <SDL/SDL.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/kbiblio.h"
#include "engine/globals.h"
#include "synth/names.h"

// ---------------------------------------------------------------- KEL_ENGINE

unsigned long KEL_ENGINE::CPT = 0;

namespace {
// Names made from a pattern and the id: "ITEM_", "DEFAULT_ITEM_", "BASE_ITEM_".
void numbered_name(char (&dst)[KEL_NAME_SIZE], const char* prefix, unsigned long id) {
    std::snprintf(dst, sizeof dst, "%s%20lu", prefix, id);
}
}  // namespace

KEL_ENGINE::KEL_ENGINE() : id(CPT++), hidden(0) {
    std::memset(ID_NAME, 0, sizeof ID_NAME);
    numbered_name(NAME, "ITEM_", id);
}

KEL_ENGINE::KEL_ENGINE(const char* name) : id(CPT++), hidden(0) {
    std::memset(ID_NAME, 0, sizeof ID_NAME);
    set_NAME(name);
}

void KEL_ENGINE::set_NAME(const char* name) {
    if (name == nullptr) numbered_name(NAME, "DEFAULT_ITEM_", id);
    else copy_name(NAME, name);
}

void KEL_ENGINE::set_ID_NAME(const char* name) {
    if (name == nullptr) numbered_name(ID_NAME, "DEFAULT_ITEM_", id);
    else copy_name(ID_NAME, name);
}

// ---------------------------------------------------------------------- BASE

BASE::BASE(float nx, float ny, float nz) : x(nx), y(ny), z(nz) {}

BASE::BASE(float nx, float ny, float nz, const char* name) : KEL_ENGINE(name), x(nx), y(ny), z(nz) {
    numbered_name(NAME, "BASE_ITEM_", id);
}

BASE::~BASE() { x = y = z = 0; }

bool BASE::near(const BASE& p) const {
    return std::fabs(x - p.x) < 2 && std::fabs(y - p.y) < 2 && std::fabs(z - p.z) < 2;
}

// ----------------------------------------------------------------- RECTANGLE

RECTANGLE::RECTANGLE(float nx, float ny, float nz, float nw, float nh, float nangle, const char* name)
    : BASE(nx, ny, nz, name), w(nw), h(nh), angle(nangle) {}

void RECTANGLE::affiche() {
    std::printf("RECT[%p] %d, %d, %d %d, %d, %d \n", static_cast<void*>(this), (int)x, (int)y,
                (int)z, (int)w, (int)h, (int)angle);
}

namespace {
// The point-in-box rule on truncated values, right and bottom edges given.
bool point_in(const BASE& p, int left, int top, int right, int bottom) {
    const int px = (int)p.x, py = (int)p.y;
    return px >= left && right >= px && py >= top && bottom >= py;
}
}  // namespace

bool RECTANGLE::contains(const BASE& p) const {
    return point_in(p, (int)x, (int)y, (int)x + (int)w, (int)y + (int)h);
}

bool RECTANGLE::overlaps(const RECTANGLE& r) const {
    const int X = (int)x, Y = (int)y, W = (int)w, H = (int)h;
    const int rx = (int)r.x, ry = (int)r.y, rw = (int)r.w, rh = (int)r.h;
    if (ry + rh < Y || Y + H < ry) return false;
    return rx + rw >= X && X + W >= rx;
}

int RECTANGLE::get_postion_in_rectangle(int px, int py) const {
    const float fx = (float)px, fy = (float)py;
    int column = 0, row = 0;  // 1..3 from the left, 1..3 from the top
    if (fx < w / 4) column = 1;
    else if (fx > w / 4 && fx < w - w / 4) column = 2;
    else if (fx > w - w / 4) column = 3;
    if (fy < h / 4) row = 1;
    else if (fy > h / 4 && fy < h - h / 4) row = 2;
    else if (fy > h - h / 4) row = 3;
    if (column == 0 || row == 0) return 0;
    static const int keypad[3][3] = {{7, 8, 9}, {4, 5, 6}, {1, 2, 3}};
    return keypad[row - 1][column - 1];
}

int RECTANGLE::get_angle_in_rectangle(int px, int py) const {
    const int cx = (int)w / 2, cy = (int)h / 2;
    // A box narrower than 2 pixels has no half size to divide by: report 0.
    const float ax = cx != 0 ? (float)(px - cx) / cx : 0.0f;
    const float ay = cy != 0 ? (float)(py - cy) / cy : 0.0f;
    for (int i = 0; i < 6; i++) std::printf("[%5.2f] [%5.2f] \n", ax, ay);
    return 1;
}

float RECTANGLE::get_hypo() const {
    return std::sqrt((w - x) * (w - x) + (h - y) * (h - y));
}

// -------------------------------------------------------------------- SPRITE

SPRITE::SPRITE(const char* image, int nx, int ny, int is_key, int key, int additive, float zoom,
               int angle_deg, int alpha)
    : RECTANGLE((float)nx, (float)ny, 0, 0, 0, 0, nullptr) {
    ix = nx;
    iy = ny;
    // Caches that cannot match any real state, so the first evolue marks the
    // new sprite changed and dirty whatever its attributes are.
    iw = ih = -1;
    last_angle = angle_deg + 1;
    last_alpha = alpha + 1;
    dirty = 1;
    copy_name(last_image, image);
    set_NAME(image != nullptr ? image : "");
    copy_name(SPR_NAME, image);
    MASK_NAME[0] = '\0';
    Angle = angle_deg;
    Zoom = zoom;
    Is_Key = is_key;
    Key = (unsigned)key;
    Alpha = alpha;
    Additive = additive;
}

int SPRITE::evolue() {
    auto mark = [this] { changed = dirty = 1; };
    if (Angle != last_angle) { last_angle = Angle; mark(); }
    if (touched != last_touched) { last_touched = touched; mark(); }
    if (Alpha != last_alpha) { last_alpha = Alpha; mark(); }
    // A float compared with its integer cache: a non-integral coordinate marks
    // the sprite changed on every call.
    if (h != (float)ih) { ih = (int)h; mark(); }
    if (w != (float)iw) { iw = (int)w; mark(); }
    if (x != (float)ix) { ix = (int)x; mark(); }
    if (y != (float)iy) { iy = (int)y; mark(); }
    if (std::strcmp(SPR_NAME, last_image) != 0) {
        copy_name(last_image, SPR_NAME);
        own_surface = nullptr;
        mark();
    }
    if (SDL_Surface* s = get_SDL_Surface()) {
        w = (float)s->w;
        h = (float)s->h;
    }
    return 0;
}

void SPRITE::affiche() {
    std::printf("SPRITE:\n-------\n");
    std::printf("NAME[%16s]  SPR_NAME[%16s]  MASK_NAME [%16s] XYWH[%3d-%3d-%3d-%3d] Zoom=%4.4f "
                "Angle=%4.4f\n",
                NAME, SPR_NAME, MASK_NAME, (int)x, (int)y, (int)w, (int)h, (double)Zoom,
                (double)Angle);
    std::printf("Is_Key=%1d Key=%08x Additive=%1d Substractive=%1d Alpha=%3d\n", Is_Key, Key,
                Additive, Substractive, Alpha);
    std::printf("--------------------------------------------------------------\n");
}

SDL_Surface* SPRITE::get_SDL_Surface() const {
    if (own_surface != nullptr) return own_surface;
    if (bibliotheque_graphique == nullptr) return nullptr;
    return bibliotheque_graphique->get_image(SPR_NAME);
}

int SPRITE::set_sprite_NAME(const char* image) {
    const char* name = image != nullptr ? image : "";
    if (std::strcmp(name, SPR_NAME) == 0) return 0;
    copy_name(SPR_NAME, name);
    dirty = changed = 1;
    return 1;
}

void SPRITE::clear(SDL_Surface* destination, SDL_Surface* background) {
    if (!dirty || destination == nullptr || background == nullptr) return;
    SDL_Rect r{(Sint16)ix, (Sint16)iy, (Uint16)(iw > 0 ? iw : 0), (Uint16)(ih > 0 ? ih : 0)};
    SDL_Rect d = r;
    SDL_UpperBlit(background, &r, destination, &d);
}

bool SPRITE::contains(const BASE& p) const {
    const int left = (int)x, top = (int)y;
    return point_in(p, left, top, (int)(w * Zoom) + left, (int)(h * Zoom) + top);
}
