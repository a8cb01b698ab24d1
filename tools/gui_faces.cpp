// Panel faces (front and back) drawn from the layout table, the background
// of the sound set-up window, and the start-up splash picture.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "tools/gui_layout.h"
#include "tools/gui_pictures.h"

namespace gui {
namespace {

using layout::Item;
using layout::Kind;
using layout::Panel;
using layout::Style;

const RGB kAlu = hex(0xc4c7cb), kAnodised = hex(0x25282d), kRecess = hex(0x0d0f11);

unsigned seed_of(const std::string& s) {
    unsigned h = 2166136261u;
    for (char c : s) h = (h ^ unsigned(char(c))) * 16777619u;
    return h;
}

void picture_size(const char* image, int& w, int& h) {
    w = h = 0;
    for (const auto& s : layout::picture_sizes())
        if (!std::strcmp(s.image, image)) w = s.w, h = s.h;
    if (w) return;
    // Pictures of one family share the size of the listed one.
    std::string n = image;
    for (const auto& s : layout::picture_sizes()) {
        std::string k = s.image;
        size_t cut = k.rfind('_');
        if (cut != std::string::npos && n.compare(0, cut + 1, k, 0, cut + 1) == 0) w = s.w, h = s.h;
    }
}

// Cap height in pixels of a label at the font engine's size (points at 96 dpi).
float cap_height(int size) { return 0.73f * size * 96.0f / 72.0f; }

void bevel(Layer& f) {
    for (int x = 0; x < f.w; ++x) f.blend(x, 0, hex(0xffffff), 0.45f), f.blend(x, f.h - 1, hex(0x000000), 0.6f);
    for (int y = 0; y < f.h; ++y) f.blend(0, y, hex(0xffffff), 0.35f), f.blend(f.w - 1, y, hex(0x000000), 0.6f);
}

void dark_band(Layer& f, int y0, int y1, unsigned seed) {
    brushed(f, 0, y0, f.w, y1, kAnodised, 0.06f, seed);
    for (int x = 0; x < f.w; ++x) {
        f.blend(x, y1 - 1, hex(0x000000), 0.5f);
        if (y1 < f.h) f.blend(x, y1, hex(0xffffff), 0.45f);
    }
}

// Sunken window: shadowed rim, light lower lip.
void sunken(Layer& f, float x, float y, float w, float h, const Paint& inside) {
    fill(f, rbox(x - 1, y - 1, w + 2, h + 2, 2.5f), hex(0xffffff), x - 2, y - 2, x + w + 2, y + h + 2, 0.45f);
    fill(f, rbox(x - 1, y - 1, w + 1, h + 1, 2.5f), hex(0x1a1c1f), x - 2, y - 2, x + w + 2, y + h + 2);
    fill(f, rbox(x, y, w, h, 2), inside, x, y, x + w, y + h);
    fill(f, rbox(x, y, w, 2, 1), hex(0x000000), x, y, x + w, y + 2, 0.35f);
}

void lcd_window(Layer& f, const Item& it) {
    float cap = cap_height(it.size);
    float y = std::round(it.y - cap - 4), h = std::round(cap + 8);
    sunken(f, it.x - 4, y, it.w, h, [=](float, float py) {
        return mix(hex(0xa8b98a), hex(0xc4d3a6), std::clamp((py - y) / h, 0.0f, 1.0f));
    });
}

void knob_scale(Layer& f, const Item& it, bool on_dark) {
    int w, h;
    picture_size(it.img, w, h);
    float cx = it.x + w / 2.0f, cy = it.y + h / 2.0f, r = w / 2.0f;
    RGB ink = on_dark ? hex(0xd8d4ca) : hex(0x2a2c30);
    // The knobs turn endlessly: a full ring of ticks, dots around small knobs.
    for (int k = 0; k < 24; ++k) {
        float a = k * 3.14159265f / 12, s = std::sin(a), c = -std::cos(a);
        if (w >= 32) {
            float len = k % 3 ? 2.0f : 3.0f;
            fill(f, segment(cx + s * (r + 1.5f), cy + c * (r + 1.5f), cx + s * (r + 1.5f + len), cy + c * (r + 1.5f + len), 0.45f),
                 ink, cx - r - 8, cy - r - 8, cx + r + 8, cy + r + 8, 0.85f);
        } else if (k % 2 == 0) {
            fill(f, circle(cx + s * (r + 2.2f), cy + c * (r + 2.2f), k % 6 ? 0.5f : 0.75f), ink, cx - r - 6, cy - r - 6,
                 cx + r + 6, cy + r + 6);
        }
    }
    fill(f, circle(cx + 0.8f, cy + 1.2f, r), hex(0x000000), cx - r - 3, cy - r - 3, cx + r + 4, cy + r + 4, 0.35f);
}

void button_seat(Layer& f, const Item& it) {
    int w, h;
    picture_size(it.img, w, h);
    if (!w) return;
    bool round = !std::strncmp(it.img, "PWR", 3) || !std::strncmp(it.img, "BYP", 3) || !std::strncmp(it.img, "CHK_1", 5);
    Sdf s = round ? circle(it.x + w / 2.0f, it.y + h / 2.0f, w / 2.0f + 1.2f) : rbox(it.x - 1.2f, it.y - 1.2f, w + 2.4f, h + 2.4f, 3.5f);
    fill(f, s, hex(0x000000), it.x - 3, it.y - 3, it.x + w + 3, it.y + h + 3, 0.45f);
}

int header_of(const Panel& p) {
    return p.style == Style::Module ? layout::kHeader : p.style == Style::Small ? layout::kSmallHeader : 0;
}

void items(Layer& f, const Panel& p, bool dark_face) {
    int header = header_of(p);
    for (const Item& it : p.items) {
        bool on_dark = dark_face || it.y < header;
        switch (it.kind) {
            case Kind::Recess:
                sunken(f, it.x, it.y, it.w, it.h, [](float, float) { return kRecess; });
                break;
            case Kind::Label:
                if (it.w > 0) lcd_window(f, it);
                break;
            case Kind::Knob: knob_scale(f, it, on_dark); break;
            case Kind::Button: button_seat(f, it); break;
            case Kind::Sprite:
                if (!std::strncmp(it.img, "CHK_1", 5)) button_seat(f, it);
                break;
            case Kind::Legend:
                engrave(f, Font::CondBold, it.w, it.x, it.y, it.name, on_dark || it.dark, Align::Centre);
                break;
            case Kind::Screw: screw(f, it.x, it.y, 3.2f, float(seed_of(p.face + std::to_string(it.x + it.y)) % 100) / 30.0f); break;
        }
    }
}

// ------------------------------------------------------- panel specials

void mixer_strips(Layer& f) {
    using namespace layout;
    for (int c = 0; c < 3; ++c) {
        int x = mixer_strip_x(c);
        engrave(f, Font::CondBold, 7, x + 26, 61, "#", false, Align::Centre);
        engrave(f, Font::CondBold, 7, x + 40, 61, "MUTE", false, Align::Centre);
        engrave(f, Font::CondBold, 7, x + 72, 61, "LEVEL", false, Align::Centre);
        if (c) fill(f, segment(x + 15, 52, x + 15, mixer_row_y(7) - 2, 0.5f), hex(0x3a3c40), x + 13, 50, x + 18, 200, 0.7f);
        for (int r = 0; r < 7; ++r) {
            int y = mixer_row_y(r);
            if (r % 2 == 0) fill(f, rbox(x + 18, y, 72, 17, 2), hex(0x000000), x + 17, y, x + 91, y + 18, 0.06f);
            // knob (zoom 0.75 about its centre): a small scale of dots
            float cx = x + 58, cy = y + 8;
            for (int k = 0; k < 12; ++k) {
                float a = k * 3.14159265f / 6;
                fill(f, circle(cx + 7.8f * std::sin(a), cy - 7.8f * std::cos(a), 0.45f), hex(0x2a2c30), cx - 10, cy - 10, cx + 10, cy + 10);
            }
        }
    }
}

void piano(Layer& f, int x0, int y0, int w, int h) {
    const int keys = 14;
    float kw = float(w) / keys;
    sunken(f, x0, y0, w, h, [](float, float) { return hex(0xf4f1e8); });
    for (int k = 1; k < keys; ++k) fill(f, segment(x0 + k * kw, y0, x0 + k * kw, y0 + h, 0.4f), hex(0x55575b), x0, y0, x0 + w, y0 + h);
    for (int k = 0; k < keys - 1; ++k) {
        int n = k % 7;
        if (n == 2 || n == 6) continue;
        float bx = x0 + (k + 1) * kw - kw * 0.32f;
        fill(f, rbox(bx, y0, kw * 0.64f, h * 0.6f, 0.8f), hex(0x1b1c1f), bx - 1, y0, bx + kw, y0 + h);
    }
}

void speaker(Layer& f, float cx, float cy, float r) {
    sunken(f, cx - r - 2, cy - r - 2, 2 * r + 4, 2 * r + 4, [](float, float) { return hex(0x1a1b1e); });
    for (float y = cy - r; y <= cy + r; y += 3.2f)
        for (float x = cx - r; x <= cx + r; x += 3.2f)
            if (std::hypot(x - cx, y - cy) < r - 0.5f) fill(f, circle(x, y, 0.9f), hex(0x050506), x - 2, y - 2, x + 2, y + 2);
}

void sequencer_zones(Layer& f) {
    using namespace layout;
    const int dark_end = 102;
    brushed(f, 0, 0, f.w, dark_end, hex(0x1c1e22), 0.04f, 11);
    for (int x = 0; x < f.w; ++x) f.blend(x, dark_end - 1, hex(0x000000), 0.5f), f.blend(x, dark_end, hex(0xffffff), 0.45f);
    struct Row { const char* name; int y; bool dark; };
    for (const Row& r : {Row{"STEP", 12, true}, Row{"MUTE", 24, true}, Row{"OCT", 48, true}, Row{"NOTE", 85, true},
                         Row{"VOL", 118, false}, Row{"LEN", 148, false}})
        engrave(f, Font::CondBold, 9, 30, r.y, r.name, r.dark, Align::Centre);
    for (int i = 0; i < kSeqColumns; ++i) {
        int x = seq_column_x(i);
        sunken(f, x + 60, 35, 20, 16, [](float, float) { return hex(0x050506); });
        sunken(f, x + 60, 72, 20, 16, [](float, float) { return hex(0x050506); });
        engrave(f, Font::CondBold, 7, x + 70, 172, std::to_string(i + 1), false, Align::Centre);
        if (i % 4 == 0 && i)
            fill(f, segment(x + 58, 4, x + 58, 98, 0.5f), hex(0x5a5e66), x + 56, 2, x + 60, 100, 0.6f),
                fill(f, segment(x + 58, 105, x + 58, 176, 0.5f), hex(0x50535a), x + 56, 102, x + 60, 178, 0.5f);
    }
    for (int x = 4; x < f.w - 4; ++x) f.blend(x, 178, hex(0x000000), 0.35f), f.blend(x, 179, hex(0xffffff), 0.5f);
}

Layer face(const Panel& p) {
    Layer f(p.w, p.h);
    unsigned seed = seed_of(p.face);
    bool dark = p.style == Style::Setup;
    brushed(f, 0, 0, p.w, p.h, dark ? kAnodised : kAlu, 0.05f, seed);
    if (int header = header_of(p)) dark_band(f, 0, header, seed + 1);
    std::string rc = p.rc;
    if (p.style == Style::Sequencer) sequencer_zones(f);
    if (rc == "RC/MIXER.RC") mixer_strips(f);
    if (rc == "RC/KEYBOARD.RC") piano(f, 14, 72, 88, 15);
    if (rc == "RC/SOUND_OUTPUT.RC") {
        speaker(f, 30, 36, 15);
        engrave(f, Font::CondBold, 9, 82, 33, "MAIN OUT", false, Align::Centre);
        engrave(f, Font::CondBold, 7, 82, 45, "L + R", false, Align::Centre);
    }
    if (p.style == Style::Setup) {
        text(f, Font::Bold, 30, p.w / 2.0f, 72, "z_ozodive", hex(0xf2ead8), Align::Centre);
        engrave(f, Font::CondBold, 12, p.w / 2.0f, 100, "SOUND DEVICE SET-UP", true, Align::Centre);
        for (int x = 20; x < p.w - 20; ++x) f.blend(x, 116, hex(0x000000), 0.6f), f.blend(x, 117, hex(0xffffff), 0.25f);
        const char* lines[] = {"OUTPUT   OSS", "DRIVER   1", "RATE     44100 Hz", "FORMAT   16-BIT STEREO"};
        for (int i = 0; i < 4; ++i) text(f, Font::Mono, 12, 60, 146 + 22.0f * i, lines[i], hex(0xcfc9bb));
        for (auto [x, y] : {std::pair<int, int>{9, 9}, {p.w - 10, 9}, {9, p.h - 10}, {p.w - 10, p.h - 10}}) screw(f, x, y, 4, 0.5f);
    }
    items(f, p, dark);
    bevel(f);
    return f;
}

// Wiring view: a darker plate; the sockets and their captions are widgets
// of the back's RC file, the plate gives each socket a seat and gathers the
// outputs on a light plate of their own, as a real module marks its outputs.
const layout::Back* back_of(const Panel& p) {
    for (const layout::Back& b : layout::backs())
        if (!std::strcmp(b.front, p.rc)) return &b;
    return nullptr;
}

void output_plate(Layer& f, const layout::Back& b, int header) {
    using namespace layout;
    const int px = int(std::lround(kJackSize * 96.0 / 72.0));
    float x0 = f.w, y0 = f.h, x1 = 0, y1 = 0;
    for (const Socket& s : b.sockets) {
        if (!is_output(s)) continue;
        float half = std::max(float(kJack), text_width(Font::Cond, px, s.caption)) / 2 + 5, cx = s.x + kJack / 2.0f;
        x0 = std::min(x0, cx - half), x1 = std::max(x1, cx + half);
        y0 = std::min(y0, s.y - 4.0f), y1 = std::max(y1, jack_caption_y(s.y) + 4.0f);
    }
    if (x1 <= x0) return;
    x0 = std::max(x0, 7.0f), x1 = std::min(x1, f.w - 7.0f), y0 = std::max(y0, header + 3.0f), y1 = std::min(y1, f.h - 3.0f);
    fill(f, rbox(x0 + 0.6f, y0 + 1.2f, x1 - x0, y1 - y0, 3), hex(0x000000), x0 - 2, y0 - 2, x1 + 3, y1 + 4, 0.45f);
    fill(f, rbox(x0, y0, x1 - x0, y1 - y0, 3), [=](float, float py) {
        return mix(hex(0xd4d7db), hex(0xaeb2b8), std::clamp((py - y0) / (y1 - y0), 0.0f, 1.0f));
    }, x0 - 1, y0 - 1, x1 + 1, y1 + 1);
}

// A dark ring under the socket's nut, so a socket without a plug still reads as a hole.
void socket_seat(Layer& f, const layout::Socket& s) {
    float c = layout::kJack / 2.0f, cx = s.x + c, cy = s.y + c;
    fill(f, circle(cx + 0.5f, cy + 1.0f, c + 1.5f), hex(0x000000), cx - c - 4, cy - c - 4, cx + c + 5, cy + c + 5, 0.4f);
    fill(f, ring(cx, cy, c + 1.0f, 0.5f), hex(0xffffff), cx - c - 3, cy - c - 3, cx + c + 3, cy + c + 3, 0.12f);
}

Layer back(const Panel& p) {
    Layer f(p.w, p.h);
    unsigned seed = seed_of(p.back);
    brushed(f, 0, 0, p.w, p.h, hex(0x33363c), 0.05f, seed);
    int header = layout::back_header(p.h);
    brushed(f, 0, 0, p.w, header, hex(0x1b1d21), 0.05f, seed + 1);
    for (int x = 0; x < p.w; ++x) f.blend(x, header, hex(0x000000), 0.5f), f.blend(x, header + 1, hex(0xffffff), 0.12f);
    // The module's name is a label at the left of the strip; the type is
    // engraved at the right where the strip is wide enough for both.
    if (p.w >= 200)
        engrave(f, Font::CondBold, 10, p.w - 16.0f, 15,
                p.w >= 400 ? std::string(p.title) + " \xc2\xb7 CONNECTIONS" : std::string(p.title), true, Align::Right);
    Sdf frame = [=](float x, float y) { return std::fabs(rbox(5, header + 5, p.w - 10, p.h - header - 10, 3)(x, y)) - 0.5f; };
    fill(f, frame, hex(0x8a8f97), 0, header, p.w, p.h, 0.35f);
    if (const layout::Back* b = back_of(p)) {
        output_plate(f, *b, header);
        for (const layout::Socket& s : b->sockets) socket_seat(f, s);
    }
    if (p.h >= 80)
        for (auto [x, y] : {std::pair<int, int>{7, 11}, {p.w - 8, 11}, {7, p.h - 8}, {p.w - 8, p.h - 8}}) screw(f, x, y, 3.2f, 0.3f);
    bevel(f);
    return f;
}

}  // namespace

Layer panel_face(const layout::Panel& p) { return face(p); }

void draw_faces(Library& lib) {
    for (const Panel& p : layout::panels()) {
        lib.picture(p.face, face(p));
        if (*p.back) lib.picture(p.back, back(p));
    }
}

bool draw_splash(const std::string& path) {
    const int w = 320, h = 240;
    Layer s(w, h);
    fill(s, rbox(-1, -1, w + 2, h + 2, 0), [](float, float y) { return mix(hex(0x20242c), hex(0x090a0d), y / 240.0f); }, 0, 0, w, h);
    // A trace across the screen, as on a scope.
    std::vector<float> wave;
    for (int x = 0; x <= w; x += 2) {
        float t = x / float(w);
        wave.push_back(x), wave.push_back(118 + 16 * std::sin(t * 18.85f) * std::exp(-2.2f * t) + 3 * std::sin(t * 75));
    }
    fill(s, polyline(wave, 3.5f), hex(0xff8a2a), 0, 80, w, 160, 0.12f);
    fill(s, polyline(wave, 1.0f), hex(0xffb066), 0, 80, w, 160);
    text(s, Font::Bold, 40, w / 2.0f + 2, 74, "z_ozodive", hex(0x000000), Align::Centre, 0.6f);
    text(s, Font::Bold, 40, w / 2.0f, 72, "z_ozodive", hex(0xf4ecda), Align::Centre);
    text(s, Font::CondBold, 12, w / 2.0f, 96, "M O D U L A R   S Y N T H E S I Z E R", hex(0xc9b48a), Align::Centre);
    // Aluminium front with a row of knobs and lamps.
    brushed(s, 0, 164, w, h, hex(0xc4c7cb), 0.05f, 77);
    for (int x = 0; x < w; ++x) s.blend(x, 164, hex(0xffffff), 0.6f), s.blend(x, 163, hex(0x000000), 0.7f);
    const char* names[] = {"FREQ", "PHASE", "CUTOFF", "RES", "ATTACK", "RELEASE"};
    for (int k = 0; k < 6; ++k) {
        float cx = 32 + k * 51.0f;
        fill(s, circle(cx + 1, 201.5f, 15), hex(0x000000), cx - 20, 180, cx + 22, 230, 0.35f);
        stamp(s, knob_picture(32, -1.6f + k * 0.65f), int(cx) - 16, 184);
        engrave(s, Font::CondBold, 8, cx, 180, names[k], false, Align::Centre);
    }
    text(s, Font::CondBold, 8, w - 8, 236, "starting\xe2\x80\xa6", hex(0x3a3c40), Align::Right);
    for (auto [x, y] : {std::pair<int, int>{7, 171}, {w - 8, 171}}) screw(s, x, y, 3.2f, 0.7f);
    return write_jpeg(path, s, 92);
}

}  // namespace gui
