// Front resource files of the panels (data/RC/*.RC and the set-up window's
// FOND_GLOBAL.RC), written from the layout table in the panels' own writer
// style: tab-separated fields, "\r\n" line ends.
#include <cstdio>
#include <cstring>

#include "tools/gui_layout.h"
#include "tools/gui_pictures.h"

namespace gui {
namespace {

using layout::Item;
using layout::Kind;

// Fields are read as white-space separated tokens.
bool one_token(const char* s) { return *s && !std::strpbrk(s, " \t\r\n"); }

bool write_item(FILE* f, const Item& it) {
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
            std::fprintf(f, "LABEL\t%s\t%s\t%d\t%d\t%d\t%d\t%d\t\r\n", it.name, it.img, it.x, layout::rc_label_y(it.y), it.font,
                         it.size, it.colour);
            return one_token(it.img);
        default: return true;
    }
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
        for (const Item& it : p.items) ok = write_item(f, it) && ok;
        std::fprintf(f, "SPRITE\tIMAGE_FOND\t%s\t0\t0\t0\t0\t0\t0\t%f\t0\t255\r\n", p.face, 1.0);
        ok = std::fclose(f) == 0 && ok;
    }
    return ok;
}

}  // namespace gui
