#include "engine/objet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <cstdlib>
#include <cstring>

#include "engine/display.h"
#include "engine/draw.h"
#include "engine/events.h"
#include "engine/globals.h"
#include "engine/view.h"
#include "patch/kstr_parser.h"
#include "synth/exit.h"
#include "synth/names.h"

// ----------------------------------------------------------------- building

OBJET::OBJET(int px, int py, const char* name) : SPRITE("IMG_001", 100, 100, 0, 0, 0, 1.0f, 0, 0) {
    // A panel without an ALPHA entry draws its background opaque.
    Alpha = 255;
    current_list = &elements;
    ix = px;
    iy = py;
    iw = ih = 0;
    panel_name[0] = rc_path[0] = '\0';
    if (name == nullptr) {
        std::printf("Cannot Create OBJET withouth a name\n");
        kel_exit(-1);
    }
    copy_name(panel_name, name);
    x = (float)px;
    y = (float)py;
}

void OBJET::read_parameters(const char* token, int entry) {
    KSTR_PARSER fields(token, ';');
    const int n = fields.get_nbr_champs();
    // Fewer than two ';' and the token is ignored; text after the last ';' is not used.
    if (n < 2) return;
    for (int i = 0; i < n; i++) {
        char* field = fields.get_champ(i);
        if (field == nullptr) {
            std::printf("Erreur, au niveau des parametre ligne [%d]\n", entry);
            kel_exit(-1);
        }
        char* value = KSTR_PARSER(field, '=').get_champ(1);
        const int v = value != nullptr ? std::atoi(value) : 0;
        if (std::strstr(field, "COLOR")) COLOR = v;
        if (std::strstr(field, "ALPHA")) Alpha = v;
        if (std::strstr(field, "WIDTH")) WIDTH = w = (float)v;
        if (std::strstr(field, "HEIGHT")) HEIGHT = h = (float)v;
        delete[] value;
        delete[] field;
    }
}

namespace {
// "<panel>_<element>", cut to the name field.
void element_name(SPRITE* s, const char* panel, const char* own) {
    char name[KEL_NAME_SIZE];
    std::snprintf(name, sizeof name, "%s_%s", panel, own);
    s->set_NAME(name);
}

bool truncated(int got, int wanted, const char* path, const char* keyword) {
    if (got == wanted) return false;
    std::printf("RC file [%s] ends inside a %s entry\n", path, keyword);
    return true;
}
}  // namespace

int OBJET::load_RC(const char* path) {
    copy_name(rc_path, path);
    // Owned, so that it is closed however the reading ends: a malformed entry
    // ends it through the exit function, which may throw rather than end the process.
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        path != nullptr ? std::fopen(path, "rt") : nullptr, std::fclose);
    std::FILE* const f = file.get();
    if (f == nullptr) {
        std::printf("Failing to Load RC[%s] (cause Fopen())\n", rc_path);
        return -1;
    }
    char keyword[80], name[80], a[80], b[80], c[80], token[800];
    int entry = 0;
    while (std::fscanf(f, "%79s", keyword) == 1) {
        entry++;
        SPRITE* made = nullptr;
        if (std::strcmp(keyword, "THIS") == 0) {
            if (truncated(std::fscanf(f, "%799s", token), 1, path, keyword)) break;
            read_parameters(token, entry);
        } else if (std::strcmp(keyword, "SPRITE") == 0) {
            int sx, sy, is_key, key, additive, turn, alpha = 255;
            float zoom;
            if (truncated(std::fscanf(f, "%79s %79s %79s %d %d %d %d %d %f %d", name, a, b, &sx, &sy, &is_key, &key,
                                      &additive, &zoom, &turn),
                          10, path, keyword))
                break;
            // The alpha is optional: a keyword in its place is left for the next entry.
            if (std::fscanf(f, "%d", &alpha) != 1) alpha = 255;
            SPRITE* s = new SPRITE(a, (int)(sx + x), (int)(sy + y), is_key, key, additive, zoom, turn, 0);
            if (b[0] != '0') copy_name(s->MASK_NAME, b);
            s->Alpha = alpha;
            made = s;
        } else if (std::strcmp(keyword, "BUTTON") == 0) {
            int bx, by, is_key, key, additive, turn;
            float zoom;
            if (truncated(std::fscanf(f, "%79s %79s %79s %79s %d %d %d %d %d %f %d", name, a, b, c, &bx, &by, &is_key,
                                      &key, &additive, &zoom, &turn),
                          11, path, keyword))
                break;
            BUTTON* button = new BUTTON(name, a, c, b, nullptr);
            button->Is_Key = is_key;
            button->Key = (unsigned)key;
            button->Additive = additive;
            button->Zoom = zoom;
            button->Angle = turn;
            button->setxyz((float)bx, (float)by, 0);
            made = button;
        } else if (std::strcmp(keyword, "SLIDER") == 0) {
            int kx, ky, is_key, key, additive, turn;
            float zoom;
            if (truncated(std::fscanf(f, "%79s %79s %d %d %d %d %d %f %d", name, a, &kx, &ky, &is_key, &key, &additive,
                                      &zoom, &turn),
                          9, path, keyword))
                break;
            SLIDER* knob = new SLIDER(name, a);
            knob->Is_Key = is_key;
            knob->Key = (unsigned)key;
            knob->Additive = additive;
            knob->Zoom = zoom > 100 ? 1.0f : zoom;
            knob->Angle = turn;
            knob->setxyz((float)kx, (float)ky, 0);
            made = knob;
        } else if (std::strcmp(keyword, "LABEL") == 0) {
            int lx, ly, font, size, colour;
            if (truncated(std::fscanf(f, "%79s %799s %d %d %d %d %d", name, token, &lx, &ly, &font, &size, &colour), 7,
                          path, keyword))
                break;
            LABEL* label = new LABEL(token, lx, ly, 0, 0, font, size, colour);
            label->setxyz((float)lx, (float)ly, 0);
            // The room the caption may take is optional, as a sprite's alpha.
            int room = 0;
            if (std::fscanf(f, "%d", &room) == 1) label->room = room > 0 ? room : 0;
            made = label;
        }
        // Any other keyword is skipped, one token at a time.
        if (made == nullptr) continue;
        element_name(made, panel_name, name);
        current_list->insert(current_list->begin(), made);
    }
    calcule_lasurfaceoccupee();
    return 1;
}

const char* OBJET::own_name(const SPRITE* s) const {
    const size_t n = std::strlen(panel_name);
    if (n > 0 && std::strncmp(s->NAME, panel_name, n) == 0 && s->NAME[n] == '_') return s->NAME + n + 1;
    return s->NAME;
}

int OBJET::view_RC(const char* path) {
    std::FILE* f = path != nullptr ? std::fopen(path, "wt") : nullptr;
    if (f == nullptr) {
        std::printf("Cannot write RC[%s]\n", path != nullptr ? path : "");
        return 0;
    }
    std::fprintf(f, "THIS\nCOLOR=%d;WIDTH=%d;HEIGHT=%d;ALPHA=%d;\n", COLOR & 0xFFFFFF, (int)WIDTH, (int)HEIGHT, Alpha);
    // Back to front is the order of the file; every element is written.
    for (auto it = current_list->rbegin(); it != current_list->rend(); ++it) {
        SPRITE* s = *it;
        const char* name = own_name(s);
        if (auto* label = dynamic_cast<LABEL*>(s)) {
            // One token: spaces become '_', which shows as a space again.
            char caption[CAPTION_SIZE];
            copy_name(caption, label->CAPTION);
            for (char* p = caption; *p; p++)
                if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') *p = '_';
            if (caption[0] == '\0') copy_name(caption, "_");
            std::fprintf(f, "LABEL\t%s\t%s\t%d\t%d\t%d\t%d\t%d\t", name, caption, (int)s->x, (int)s->y,
                         label->font_nr, label->Size, (int)label->Col);
            if (label->room > 0) std::fprintf(f, "%d\t", label->room);
            std::fprintf(f, "\r\n");
        } else if (dynamic_cast<SLIDER*>(s) != nullptr) {
            std::fprintf(f, "SLIDER\t%s\t%s\t%d\t%d\t%d\t%d\t%d\t%f\t%d\r\n", name, s->SPR_NAME, (int)s->x,
                         (int)s->y, s->Is_Key, (int)s->Key, s->Additive, (double)s->Zoom, s->Angle);
        } else if (auto* button = dynamic_cast<BUTTON*>(s)) {
            std::fprintf(f, "BUTTON\t%s\t%s\t%s\t%s\t%d\t%d\t%d\t%d\t%d\t%f\t%d\r\n", name, button->image_on,
                         button->image_off, button->image_touch, (int)s->x, (int)s->y, s->Is_Key, (int)s->Key,
                         s->Additive, (double)s->Zoom, s->Angle);
        } else {
            std::fprintf(f, "SPRITE\t%s\t%s\t%s\t%d\t%d\t%d\t%d\t%d\t%f\t%d\t%d\r\n", name, s->SPR_NAME,
                         s->MASK_NAME[0] ? s->MASK_NAME : "0", (int)s->x, (int)s->y, s->Is_Key, (int)s->Key,
                         s->Additive, (double)s->Zoom, s->Angle, s->Alpha);
        }
    }
    const bool ok = std::fclose(f) == 0;
    if (!ok) std::printf("Cannot write RC[%s]\n", path);
    return ok ? 1 : 0;
}

// ---------------------------------------------------------------- messages

namespace {
bool draw_on_change = true;
}  // namespace

void set_draw_on_change(bool draw) { draw_on_change = draw; }

int OBJET::ajoute_message(const MESSAGE& m) {
    messages.insert(messages.begin(), m);
    return 1;
}

int OBJET::evolue() {
    const bool had_messages = !messages.empty();
    while (!messages.empty()) {
        const MESSAGE m = messages.back();
        messages.pop_back();
        if (m.target == nullptr) {
            if (m.sdl_event.type != SDL_USEREVENT) std::printf("ZZZ\n");
            continue;
        }
        // Only buttons and knobs take messages; the rest are dropped. When
        // the panel is not drawn at once, the widget takes them at once: a
        // knob turns, a button switches, and the frame sees the change.
        if (auto* knob = dynamic_cast<SLIDER*>(m.target)) {
            knob->ajoute_message(&m);
            if (!draw_on_change) knob->evolue();
        } else if (auto* button = dynamic_cast<BUTTON*>(m.target)) {
            button->ajoute_message(&m);
            if (!draw_on_change) button->evolue();
        }
    }
    if (had_messages && draw_on_change) {
        for (SPRITE* s : *current_list)
            if (s->changed) {
                Draw_Scene(nullptr, 1);
                break;
            }
    }
    SPRITE::evolue();
    return 0;
}

// ------------------------------------------------------------------ pointing

namespace {
// The hit test of a sprite moved by (dx, dy), box scaled by its zoom.
bool hit(const SPRITE& s, float dx, float dy, int px, int py) {
    const int left = (int)(s.x + dx), top = (int)(s.y + dy);
    return px >= left && (int)(s.w * s.Zoom) + left >= px && py >= top && (int)(s.h * s.Zoom) + top >= py;
}
}  // namespace

SPRITE* OBJET::get_pointed_object() {
    // Elements are drawn shifted down and scrolled: the pointer is taken back
    // into the coordinates they are stored in, so a click acts on what is
    // drawn under it.
    const int px = (int)std::floor(patch_x((float)mouse_x));
    const int py = (int)std::floor(patch_y((float)mouse_y)) - SPRITE_Y_SHIFT;
    for (auto it = current_list->rbegin(); it != current_list->rend(); ++it) {
        SPRITE* s = *it;
        if (hit(*s, x, y, px, py)) {
            if (s->Zoom != 1.0f) std::printf("M\n");
            return s;
        }
    }
    return nullptr;
}

int OBJET::get_nr_object(SPRITE* sprite) {
    int i = 0;
    for (auto it = current_list->rbegin(); it != current_list->rend(); ++it, ++i)
        if (*it == sprite && std::strstr(sprite->NAME, "BACK") == nullptr) return i;
    return 0;
}

SPRITE* OBJET::get_SPRITE_by_name(const char* name) {
    if (name == nullptr) return nullptr;
    for (auto it = current_list->rbegin(); it != current_list->rend(); ++it)
        if (std::strcmp(name, own_name(*it)) == 0) return *it;
    return nullptr;
}

BUTTON* OBJET::get_BUTTON_by_name(const char* name) {
    if (name == nullptr) return nullptr;
    for (auto it = current_list->rbegin(); it != current_list->rend(); ++it)
        if (std::strstr((*it)->NAME, "BUTTON") != nullptr && std::strcmp(name, own_name(*it)) == 0)
            return dynamic_cast<BUTTON*>(*it);
    return nullptr;
}

// ------------------------------------------------------------------- viewing

int OBJET::toggle_view_mode(int type) {
    switch (type) {
    case 0:
        view_mode = view_mode == 1 ? 2 : 1;
        current_list = &elements;
        break;
    case 1:
    case 2:
        view_mode = type;
        current_list = &elements;
        break;
    case 4:
        view_mode = 4;
        current_list = &alt_elements;
        break;
    default:
        break;
    }
    view_switched();
    return 1;
}

void OBJET::view_switched() {
    calcule_lasurfaceoccupee();
    toggle_all_draw_flag(1);
    Draw_Scene(nullptr, 1);
    changed = dirty = 1;
}

int OBJET::toggle_all_draw_flag(int value) {
    for (SPRITE* s : *current_list) s->changed = s->dirty = value;
    return (int)current_list->size();
}

void OBJET::calcule_lasurfaceoccupee() {
    int sw = (int)WIDTH, sh = (int)HEIGHT;
    if (SPRITE* fond = get_SPRITE_by_name("IMAGE_FOND")) {
        if (SDL_Surface* image = fond->get_SDL_Surface()) {
            sw = image->w;
            sh = image->h;
        }
    }
    sw &= 0xFFFF;
    sh &= 0xFFFF;
    if (view_mode == 2) {
        sw /= 2;
        sh /= 2;
    }
    w = (float)sw;
    h = (float)sh;
}

void OBJET::Draw_Scene(SDL_Surface*, int background) {
    if (w <= 0) calcule_lasurfaceoccupee();
    if (h <= 0) calcule_lasurfaceoccupee();
    if (background) {
        if (SPRITE* fond = get_SPRITE_by_name("IMAGE_FOND")) {
            // Saved and restored exactly, so the picture never drifts.
            const float fx = fond->x, fy = fond->y, fzoom = fond->Zoom;
            fond->x += x;
            fond->y += y;
            if (view_mode == 2) {
                fond->Zoom = 0.5f;
                fond->x -= fond->w / 4;
                fond->y -= fond->h / 4;
            }
            WIDTH = fond->w;
            HEIGHT = fond->h;
            fond->blit(nullptr);
            fond->x = fx;
            fond->y = fy;
            fond->Zoom = fzoom;
        } else {
            COLOR = (int)(((unsigned)COLOR & 0xFFFFFFu) | ((unsigned)Alpha << 24));
            FillRect((int)x, (int)y, (int)WIDTH, (int)HEIGHT, COLOR);
        }
    }
    bool drawn = false;
    for (SPRITE* s : *current_list) {
        const float sx = s->x, sy = s->y;
        s->evolue();
        if (s->changed == 1 && view_mode != 2) {
            if (auto* label = dynamic_cast<LABEL*>(s)) {
                label->x += x;
                label->y += y;
                label->blit(nullptr);
                drawn = true;
            } else {
                if (std::strstr(s->SPR_NAME, "POWER")) std::printf("buttno\n");
                if (std::strstr(s->SPR_NAME, "FOND") == nullptr) {
                    s->x += x;
                    s->y += y;
                    s->blit(nullptr);
                    s->changed = 0;
                    drawn = true;
                }
            }
        }
        s->x = sx;
        s->y = sy;
    }
    if (drawn) changed = 1;
}

SPRITE* OBJET::Draw_Shadow() {
    SPRITE* shadow = get_SPRITE_by_name("FOND_MASK");
    if (shadow == nullptr) return nullptr;
    const float sx = shadow->x, sy = shadow->y, szoom = shadow->Zoom;
    shadow->x += x;
    shadow->y += y;
    if (view_mode == 2) {
        shadow->Zoom = 0.5f;
        shadow->x -= shadow->w / 4;
        shadow->y -= shadow->h / 4;
    }
    shadow->blit(nullptr);
    shadow->x = sx;
    shadow->y = sy;
    shadow->Zoom = szoom;
    return shadow;
}

int OBJET::Draw_Scene_into_buffer(SDL_Surface* surface) {
    if (own_surface == nullptr || surface == nullptr) return -1;
    SDL_Rect at{(Sint16)(int)x, (Sint16)(int)y, 0, 0};
    return SDL_UpperBlit(own_surface, nullptr, surface, &at);
}

void OBJET::collect_elements(std::vector<SPRITE*>& out) const {
    for (auto* list : {&elements, &alt_elements, &extra_elements}) out.insert(out.end(), list->begin(), list->end());
}

void destroy_panel(OBJET* panel) {
    if (panel == nullptr) return;
    std::vector<SPRITE*> all;
    panel->collect_elements(all);
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    for (SPRITE* s : all) delete s;
    delete panel;
}

// ------------------------------------------------------------ the patch area

int draw_all_modules(int, int, std::vector<OBJET*>& panels, int, int, int, int background, int shadows) {
    // The patch area seen through the view, in patch pixels.
    const float ox = patch_x(0), oy = patch_y(0) - SPRITE_Y_SHIFT;
    const float W = patch_x((float)window_width()) - ox, H = patch_y((float)window_height()) - SPRITE_Y_SHIFT - oy;
    if (shadows) {
        const RECTANGLE view(ox, oy, 0, W, H, 0, nullptr);
        for (auto it = panels.rbegin(); it != panels.rend(); ++it) {
            OBJET* p = *it;
            if (view.overlaps(*p)) {
                p->evolue();
                p->Draw_Shadow();
            }
        }
    }
    for (auto it = panels.rbegin(); it != panels.rend(); ++it) {
        OBJET* p = *it;
        const RECTANGLE view(ox - p->w, oy - p->h, 0, W + 2 * p->w, H + 2 * p->h, 0, nullptr);
        if (view.overlaps(*p)) p->Draw_Scene(nullptr, background);
    }
    return 1;
}

int draw_all_modules_DASH(int, int, std::vector<OBJET*>& panels, SDL_Surface*, int dx, int dy) {
    for (OBJET* p : panels) {
        p->evolue();
        p->toggle_all_draw_flag(1);
        const float px = p->x, py = p->y;
        p->x += (float)dx;
        p->y += (float)dy;
        p->Draw_Scene(nullptr, 1);
        p->x = px;
        p->y = py;
    }
    return 1;
}
