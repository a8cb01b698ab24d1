// Previews of the panels as the engine shows them: the face, then every
// widget of the layout table and those the panels build in code, with the
// engine's blend rules (mask multiplied in then picture added, additive
// digits, opaque pictures) and labels at the font engine's pixel size.
// For checking a restyle by eye; the pictures go to a folder of one's own.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tools/gui_pictures.h"

namespace gui {
namespace {

using layout::Item;
using layout::Kind;

void draw_image(Layer& dst, const Layer& pic, const Layer* mask, float x, float y, float zoom, bool additive) {
    float w = pic.w * zoom, h = pic.h * zoom, left = x + pic.w / 2.0f - w / 2, top = y + pic.h / 2.0f - h / 2;
    for (int dy = int(std::floor(top)); dy < int(std::ceil(top + h)); ++dy)
        for (int dx = int(std::floor(left)); dx < int(std::ceil(left + w)); ++dx) {
            int sx = int((dx + 0.5f - left) / zoom), sy = int((dy + 0.5f - top) / zoom);
            if (sx < 0 || sy < 0 || sx >= pic.w || sy >= pic.h || dx < 0 || dy < 0 || dx >= dst.w || dy >= dst.h) continue;
            RGB s = pic.px[size_t(sy) * pic.w + sx], &d = dst.at(dx, dy);
            if (mask) {
                float m = mask->px[size_t(sy) * pic.w + sx].r;
                d = {d.r * m + s.r, d.g * m + s.g, d.b * m + s.b};
            } else if (additive) {
                d = {s.r * s.r + d.r * (1 - s.r), s.g * s.g + d.g * (1 - s.g), s.b * s.b + d.b * (1 - s.b)};
            } else {
                d = s;
            }
        }
}

// Mask a button derives from its state-1 picture: up to the last '_', then MASK.
std::string button_mask(const std::string& on) {
    size_t cut = on.rfind('_');
    return cut == std::string::npos || cut == 0 ? "" : on.substr(0, cut + 1) + "MASK";
}

// Widgets the mixer and sequencer panels build in code, at their code positions.
std::vector<Item> code_widgets(const std::string& rc) {
    using namespace layout;
    std::vector<Item> v;
    static std::vector<std::string> texts;  // captions outlive the items
    texts.reserve(64);
    if (rc == "RC/MIXER.RC")
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 7; ++r) {
                int x = mixer_strip_x(c), y = mixer_row_y(r);
                Item k = knob("SLD", "SLD", x + 50, y);
                k.zoom = 0.75f;
                v.push_back(k);
                v.push_back(label("LEVEL", "1.0", x + 72, y + 6 + 6, 0, kCond, 8, 0));
                texts.push_back(std::to_string(7 * c + r + 1));
                v.push_back(label("N", texts.back().c_str(), x + 22, y + 6 + 6, 0, kCond, 8, 0));
                Item b = button("MUTE", "CHK_4_ON", "CHK_4_OFF", "0", x + 32, y + 1);
                b.zoom = 0.75f;
                v.push_back(b);
            }
    if (rc == "RC/SEQUENCEUR.RC")
        for (int i = 0; i < kSeqColumns; ++i) {
            int x = seq_column_x(i);
            v.push_back(label("V", "1.0", 62 + x, 125 + 6, 0, kCond, 8, i < 16 ? 0 : 0x808080));
            v.push_back(label("L", "1.0", 62 + x, 155 + 6, 0, kCond, 8, i < 16 ? 0 : 0x808080));
            v.push_back(sprite("S", i == 3 ? "LAMP_LED_1_1" : "LAMP_LED_1_0", 65 + x, 5));
            const char* set = i < 16 ? "LED_NUMERIC_1_" : "LED_NUMERIC_2_";
            static std::vector<std::string> digits;
            digits.reserve(256);
            digits.push_back(std::string(set) + std::to_string(i % 10 + 1));
            v.push_back(sprite("O", digits.back().c_str(), 70 + x, 36, "0", 1.0f, 1));
            digits.push_back(std::string(set) + "0");
            v.push_back(sprite("O0", digits.back().c_str(), 61 + x, 36, "0", 1.0f, 1));
            digits.push_back(std::string(set) + std::to_string((i * 7) % 13 > 9 ? (i * 7) % 13 - 9 : (i * 7) % 13 + 1));
            v.push_back(sprite("N", digits.back().c_str(), 70 + x, 73, "0", 1.0f, 1));
            digits.push_back(std::string(set) + ((i * 7) % 13 > 9 ? "2" : "0"));
            v.push_back(sprite("N0", digits.back().c_str(), 61 + x, 73, "0", 1.0f, 1));
            v.push_back(knob("SV", "SLD", 62 + x, 106));
            v.push_back(knob("SL", "SLD", 62 + x, 136));
            v.push_back(button("OU", "BUTTONSTYLEA_0", "BUTTONSTYLEA_0", "BUTTONSTYLEA_0", 65 + x, 27));
            v.push_back(button("OD", "BUTTONSTYLEB_0", "BUTTONSTYLEB_0", "BUTTONSTYLEB_0", 65 + x, 53));
            v.push_back(button("NU", "BUTTONSTYLEA_0", "BUTTONSTYLEA_0", "BUTTONSTYLEA_0", 65 + x, 64));
            v.push_back(button("ND", "BUTTONSTYLEB_0", "BUTTONSTYLEB_0", "BUTTONSTYLEB_0", 65 + x, 91));
            Item b = button("B", "LAMP_LED_2_0", "0", i % 5 == 2 ? "LAMP_LED_2_1" : "LAMP_LED_2_0", 65 + x, 15);
            b.img2 = i % 5 == 2 ? "LAMP_LED_2_1" : "LAMP_LED_2_0";
            b.zoom = 1.4f;
            v.push_back(b);
        }
    return v;
}

void draw_item(Layer& f, const Library& lib, const Item& it) {
    static const Font fonts[] = {Font::Cond, Font::Bold, Font::Mono, Font::Sans};
    switch (it.kind) {
        case Kind::Label: {
            std::string t = it.img;
            for (char& c : t)
                if (c == '_') c = ' ';
            text(f, fonts[it.font], int(std::lround(it.size * 96.0 / 72.0)), it.x, it.y, t, hex(it.colour));
            return;
        }
        case Kind::Sprite:
        case Kind::Knob:
        case Kind::Button: {
            std::string img = it.kind == Kind::Button ? it.img2 : it.img;
            std::string mask = it.kind == Kind::Knob ? img + "_MASK" : it.kind == Kind::Button ? button_mask(it.img) : it.img2;
            const Layer* pic = lib.find(img);
            if (!pic) {
                std::fprintf(stderr, "preview: no picture %s\n", img.c_str());
                return;
            }
            draw_image(f, *pic, lib.find(mask), it.x, it.y, it.zoom, it.additive);
            return;
        }
        default: return;
    }
}

}  // namespace

void write_previews(const Library& lib, const std::string& dir) {
    for (const layout::Panel& p : layout::panels()) {
        Layer f = panel_face(p);
        for (auto it = p.items.rbegin(); it != p.items.rend(); ++it) draw_item(f, lib, *it);
        for (const Item& it : code_widgets(p.rc)) draw_item(f, lib, it);
        std::string name = p.rc;
        name = dir + "/" + name.substr(name.rfind('/') + 1) + ".png";
        write_png(name, f);
    }
}

}  // namespace gui
