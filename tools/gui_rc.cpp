// Resource files of the panels (data/RC/*.RC, the backs' RC/BACK_*.RC and
// the set-up window's FOND_GLOBAL.RC), written from the layout table in the
// panels' own writer style: tab-separated fields, "\r\n" line ends.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/gui_layout.h"
#include "tools/gui_pictures.h"

namespace gui {
namespace {

using layout::Item;
using layout::Kind;

// Fields are read as white-space separated tokens.
bool one_token(const char* s) { return *s && !std::strpbrk(s, " \t\r\n"); }

bool write_item(FILE* f, const Item& it, int room = 0) {
    if (it.kind != Kind::Sprite && it.kind != Kind::Button && it.kind != Kind::Knob && it.kind != Kind::Label)
        return true;  // engraved on the face
    if (!one_token(it.name)) return false;
    switch (it.kind) {
        case Kind::Sprite:
            std::fprintf(f, "SPRITE\t%s\t%s\t%s\t%d\t%d\t%d\t%d\t%d\t%f\t%d\t%d\r\n", it.name, it.img, it.img2, it.x, it.y, 0, 0,
                         it.additive, it.zoom, 0, 255);
            return one_token(it.img) && one_token(it.img2);
        case Kind::Button:
            std::fprintf(f, "BUTTON\t%s\t%s\t%s\t%s\t%d\t%d\t%d\t%d\t%d\t%f\t%d\r\n", it.name, it.img, it.img2, it.img3, it.x, it.y,
                         0, 0, 0, it.zoom, 0);
            return one_token(it.img) && one_token(it.img2) && one_token(it.img3);
        case Kind::Knob:
            std::fprintf(f, "SLIDER\t%s\t%s\t%d\t%d\t%d\t%d\t%d\t%f\t%d\r\n", it.name, it.img, it.x, it.y, 0, 0, 0, it.zoom, 0);
            return one_token(it.img);
        case Kind::Label:
            std::fprintf(f, "LABEL\t%s\t%s\t%d\t%d\t%d\t%d\t%d\t", it.name, it.img, it.x, layout::rc_label_y(it.y), it.font,
                         it.size, it.colour);
            // The room a caption may take: the engine draws a longer one smaller, then cuts it.
            if (room > 0) std::fprintf(f, "%d\t", room);
            std::fprintf(f, "\r\n");
            return one_token(it.img);
        default: return true;
    }
}

// The width a label may take before it meets what stands right of it on the
// same strip: a button, an engraved legend, the panel's edge. Titles and
// file names only; the values fit their windows by their format.
int room_of(const layout::Panel& p, const Item& label) {
    const bool title = !std::strcmp(label.name, "label_NAME");
    if (!title && std::strcmp(label.name, "LABEL_FILENAME") != 0) return 0;
    if (!title) return label.w > 0 ? label.w - 8 : 0;
    float limit = p.w - 8.0f;
    for (const Item& it : p.items) {
        // Things on the same row: their box spans the label's baseline.
        if (it.kind == Kind::Button && it.x > label.x && it.y <= label.y && it.y + 18 >= label.y - 8)
            limit = std::min(limit, it.x - 4.0f);
        if (it.kind == Kind::Legend && it.x > label.x && std::abs(it.y - label.y) <= 4)
            limit = std::min(limit, it.x - text_width(Font::CondBold, it.w, it.name) / 2 - 6);
    }
    return std::max(0, int(limit) - label.x);
}

const layout::Panel* panel_of(const char* rc) {
    for (const layout::Panel& p : layout::panels())
        if (!std::strcmp(p.rc, rc)) return &p;
    return nullptr;
}

// A back shares its front's size and back picture; its sockets must lie on it.
bool write_back(const layout::Back& b) {
    const layout::Panel* front = panel_of(b.front);
    if (!front || !*front->back) {
        std::fprintf(stderr, "%s: no front %s with a back picture\n", b.rc, b.front);
        return false;
    }
    FILE* f = std::fopen(b.rc, "wb");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", b.rc);
        return false;
    }
    bool ok = true;
    std::fprintf(f, "THIS\tCOLOR=0;WIDTH=%d;HEIGHT=%d;ALPHA=255;\r\n", front->w, front->h);
    const bool small = layout::back_header(front->h) == layout::kSmallHeader;
    const Item title = small ? layout::name_label(b.name, 6, 11, 7) : layout::name_label(b.name, 16, 15);
    // The type is engraved at the right of wide backs' strips (faces' back()).
    float limit = front->w - 8.0f;
    if (front->w >= 200) {
        const std::string type = front->w >= 400 ? std::string(front->title) + " \xc2\xb7 CONNECTIONS" : front->title;
        limit = front->w - 16.0f - text_width(Font::CondBold, 10, type) - 8;
    }
    ok = write_item(f, title, std::max(0, int(limit) - title.x)) && ok;
    // Captions are drawn by the font engine at its pixel size; centring them
    // needs the same font the generator measures with.
    const int px = int(std::lround(layout::kJackSize * 96.0 / 72.0));
    for (const layout::Socket& s : b.sockets) {
        if (s.x < 0 || s.y < 0 || s.x + layout::kJack > front->w || s.y + layout::kJack > front->h) {
            std::fprintf(stderr, "%s: socket %s lies off the %d x %d face\n", b.rc, s.name, front->w, front->h);
            ok = false;
        }
        const bool out = layout::is_output(s);
        ok = write_item(f, layout::sprite(s.name, out ? "JACK_OUT" : "JACK_IN", s.x, s.y,
                                          out ? "JACK_OUT_MASK" : "JACK_IN_MASK")) && ok;
        std::string caption = s.caption, label = std::string("LABEL_") + s.name;
        int x = int(std::lround(s.x + layout::kJack / 2.0 - text_width(Font::Cond, px, caption) / 2));
        for (char& c : caption)
            if (c == ' ') c = '_';  // one token; the label shows '_' as a space
        ok = write_item(f, layout::label(label.c_str(), caption.c_str(), x, layout::jack_caption_y(s.y), 0,
                                         layout::kJackFont, layout::kJackSize,
                                         out ? layout::kJackOutInk : layout::kJackInk)) && ok;
    }
    std::fprintf(f, "SPRITE\tIMAGE_FOND\t%s\t0\t0\t0\t0\t0\t0\t%f\t0\t255\r\n", front->back, 1.0);
    return std::fclose(f) == 0 && ok;
}

}  // namespace

bool write_rc_files() {
    bool ok = true;
    for (const layout::Panel& p : layout::panels()) {
        FILE* f = std::fopen(p.rc, "wb");
        if (!f) {
            std::fprintf(stderr, "cannot write %s\n", p.rc);
            ok = false;
            continue;
        }
        if (p.style == layout::Style::Setup) {
            // The program's background behind the panels: one dark rack
            // colour over any window size, no picture.
            std::fprintf(f, "THIS\tCOLOR=%d;WIDTH=6000;HEIGHT=6000;ALPHA=255;\r\n", 0x1E2229);
            ok = std::fclose(f) == 0 && ok;
            continue;
        }
        std::fprintf(f, "THIS\tCOLOR=0;WIDTH=%d;HEIGHT=%d;ALPHA=255;\r\n", p.w, p.h);
        // Entries first in the file are drawn last and found first under the
        // pointer, so the face comes last: widgets stay on top of it.
        for (const Item& it : p.items) ok = write_item(f, it, it.kind == Kind::Label ? room_of(p, it) : 0) && ok;
        std::fprintf(f, "SPRITE\tIMAGE_FOND\t%s\t0\t0\t0\t0\t0\t0\t%f\t0\t255\r\n", p.face, 1.0);
        ok = std::fclose(f) == 0 && ok;
    }
    for (const layout::Back& b : layout::backs()) ok = write_back(b) && ok;
    return ok;
}

}  // namespace gui
