// Widget pictures: knobs, buttons, lamps, LED digits, the small LCD
// displays of the panels, cable plugs and sockets.
//
// Shaped pictures are drawn over black with their coverage kept, so the
// picture is black outside the shape and its mask (1 - coverage) is white
// there: the engine multiplies the mask into the frame, then adds the picture.
#include <cmath>
#include <cstdio>
#include <random>

#include "tools/gui_pictures.h"

namespace gui {
namespace {

constexpr float kPi = 3.14159265f;

// Colours shared by the displays.
const RGB kLcdBg = hex(0x0a1a11), kLcdBg2 = hex(0x061009), kPhosphor = hex(0x86ffab),
          kLcdText = hex(0x62d38d), kLcdGrid = hex(0x15301f);
const RGB kDarkZone = hex(0x1c1e22);  // sequencer step area behind the lamps

Paint vgrad(RGB top, RGB bottom, float y0, float y1) {
    return [=](float, float y) { return mix(top, bottom, std::clamp((y - y0) / (y1 - y0), 0.0f, 1.0f)); };
}

// ------------------------------------------------------------- knobs

}  // namespace

Layer knob_picture(int size, float angle) {
    Layer l(size, size);
    float c = size / 2.0f, r = c - 0.7f;
    int ribs = size >= 24 ? 36 : 24;
    fill(l, circle(c, c, r),
         [=](float x, float y) {
             float a = std::atan2(y - c, x - c) - angle, d = std::hypot(x - c, y - c) / r;
             RGB base = mix(hex(0x44474d), hex(0x141518), d);
             float rib = 0.5f + 0.5f * std::cos(a * ribs);
             return mix(base, scale(base, 1.7f), rib * smoothstep(0.72f, 0.92f, d) * 0.7f);
         },
         0, 0, size, size);
    float rc = r * 0.66f;
    fill(l, circle(c, c, rc + 0.8f), hex(0x0b0c0e), 0, 0, size, size, 0.8f);
    fill(l, circle(c, c, rc),
         [=](float x, float y) {
             float d = std::hypot(x - c, y - c) / rc;
             float v = 0.86f + 0.05f * std::sin(d * 31.0f) + 0.10f * (1 - d * d);
             return scale(hex(0xb4b8be), v);
         },
         0, 0, size, size);
    fill(l, ring(c, c, rc - 0.5f, 0.5f), hex(0xeef0f2), 0, 0, size, size, 0.35f);
    float s = std::sin(angle), co = std::cos(angle);
    auto at = [&](float rad, float& x, float& y) { x = c + s * rad, y = c - co * rad; };
    float x0, y0, x1, y1;
    at(r * 0.96f, x0, y0);
    at(r * 0.22f, x1, y1);
    float hw = std::max(0.75f, size / 30.0f);
    fill(l, segment(x0, y0, x1, y1, hw + 0.6f), hex(0x000000), 0, 0, size, size, 0.5f);
    fill(l, segment(x0, y0, x1, y1, hw), hex(0xfbf7ec), 0, 0, size, size);
    return l;
}

namespace {

// ------------------------------------------------------------ buttons

// Round illuminated push button (power, bypass): metal bezel, lit or dark cap.
Layer lamp_button(int size, RGB lit, bool on, bool power_icon) {
    Layer l(size, size);
    float c = size / 2.0f, r = c - 0.5f, rc = r * 0.72f;
    fill(l, circle(c, c, r), vgrad(hex(0xeceef0), hex(0x5d6167), c - r, c + r), 0, 0, size, size);
    fill(l, circle(c, c, rc + 0.9f), hex(0x16171a), 0, 0, size, size);
    RGB dark = mix(hex(0x2a2c30), lit, 0.18f);
    fill(l, circle(c, c, rc),
         [=](float x, float y) {
             float d = std::hypot(x - c, y - c + rc * 0.25f) / rc;
             return on ? mix(mix(hex(0xffffff), lit, 0.35f), scale(lit, 0.75f), std::min(d, 1.0f))
                       : mix(scale(dark, 1.5f), dark, std::min(d, 1.0f));
         },
         0, 0, size, size);
    if (power_icon) {
        RGB ink = on ? scale(lit, 0.3f) : hex(0x8a8f96);
        float ri = rc * 0.52f;
        Sdf arc = [=](float x, float y) {
            float d = std::fabs(std::hypot(x - c, y - c) - ri) - 0.7f;
            float a = std::atan2(x - c, -(y - c));  // 0 at the top
            return std::fabs(a) < 0.7f ? std::max(d, 0.9f) : d;
        };
        fill(l, arc, ink, 0, 0, size, size);
        fill(l, segment(c, c - ri - 1.0f, c, c - 0.5f, 0.7f), ink, 0, 0, size, size);
    }
    fill(l, circle(c - rc * 0.35f, c - rc * 0.4f, rc * 0.3f), hex(0xffffff), 0, 0, size, size, 0.3f);
    return l;
}

// Rectangular LED key (pattern select).
Layer led_key(int w, int h, RGB lit, bool on) {
    Layer l(w, h);
    fill(l, rbox(0, 0, w, h, 3), hex(0x15161a), 0, 0, w, h);
    Paint p = on ? vgrad(mix(hex(0xffffff), lit, 0.5f), scale(lit, 0.8f), 1, h - 1)
                 : vgrad(hex(0x54585e), hex(0x2d3034), 1, h - 1);
    fill(l, rbox(1.2f, 1.2f, w - 2.4f, h - 2.4f, 2), p, 0, 0, w, h);
    if (on) fill(l, rbox(3, 2, w - 6, 2, 1), hex(0xffffff), 0, 0, w, h, 0.35f);
    return l;
}

enum class Glyph { Up, Down, Left, Right, View, Text };

// Momentary plastic key with a glyph; touched keys glow at the rim.
Layer key(int w, int h, Glyph g, bool touched, const char* caption = "") {
    Layer l(w, h);
    fill(l, rbox(0, 0, w, h, 3), touched ? hex(0x3d8fe0) : hex(0x4b4f56), 0, 0, w, h);
    RGB top = touched ? hex(0xffffff) : hex(0xe8eaed), bot = touched ? hex(0xc2c8d0) : hex(0xa3a8af);
    fill(l, rbox(1, 1, w - 2, h - 2, 2.2f), vgrad(top, bot, 1, h - 1), 0, 0, w, h);
    RGB ink = hex(0x25272b);
    float cx = w / 2.0f, cy = h / 2.0f;
    switch (g) {
        case Glyph::Up: fill(l, polygon({cx, cy - 3.5f, cx + 4, cy + 2.5f, cx - 4, cy + 2.5f}), ink, 0, 0, w, h); break;
        case Glyph::Down: fill(l, polygon({cx, cy + 3.5f, cx + 4, cy - 2.5f, cx - 4, cy - 2.5f}), ink, 0, 0, w, h); break;
        case Glyph::Left: fill(l, polygon({cx - 3.5f, cy, cx + 2.5f, cy - 4, cx + 2.5f, cy + 4}), ink, 0, 0, w, h); break;
        case Glyph::Right: fill(l, polygon({cx + 3.5f, cy, cx - 2.5f, cy - 4, cx - 2.5f, cy + 4}), ink, 0, 0, w, h); break;
        case Glyph::View:
            fill(l, ring(cx - 1.2f, cy - 1, 3.0f, 0.75f), ink, 0, 0, w, h);
            fill(l, segment(cx + 1.1f, cy + 1.3f, cx + 4, cy + 4.2f, 0.95f), ink, 0, 0, w, h);
            break;
        case Glyph::Text: text(l, Font::Bold, 8, cx, cy + 3, caption, ink, Align::Centre); break;
    }
    return l;
}

// Tiny triangular step key of the sequencer columns.
Layer step_key(bool up) {
    Layer l(10, 8);
    std::vector<float> tri = up ? std::vector<float>{5, 0.6f, 9.5f, 7.4f, 0.5f, 7.4f}
                                : std::vector<float>{5, 7.4f, 9.5f, 0.6f, 0.5f, 0.6f};
    fill(l, polygon(tri), hex(0x5c6067), 0, 0, 10, 8);
    std::vector<float> inner = up ? std::vector<float>{5, 2.2f, 8.0f, 6.6f, 2.0f, 6.6f}
                                  : std::vector<float>{5, 5.8f, 8.0f, 1.4f, 2.0f, 1.4f};
    fill(l, polygon(inner), vgrad(hex(0xe2e4e7), hex(0xa9aeb5), 1, 7), 0, 0, 10, 8);
    return l;
}

// -------------------------------------------------------------- lamps

Layer glow_dot(int w, int h, float cx, float cy, float r, RGB lit, bool on, bool bezel) {
    Layer l(w, h);
    if (bezel) fill(l, circle(cx, cy, r + 1.4f), vgrad(hex(0xe0e2e5), hex(0x50545a), cy - r, cy + r), 0, 0, w, h);
    fill(l, circle(cx, cy, r + 0.4f), hex(0x0c0d0f), 0, 0, w, h);
    RGB off = mix(hex(0x1a1b1d), lit, 0.22f);
    fill(l, circle(cx, cy, r),
         [=](float x, float y) {
             float d = std::min(std::hypot(x - cx, y - cy) / r, 1.0f);
             return on ? mix(mix(hex(0xffffff), lit, 0.45f), lit, d) : mix(scale(off, 1.4f), off, d);
         },
         0, 0, w, h);
    fill(l, circle(cx - r * 0.35f, cy - r * 0.4f, r * 0.32f), hex(0xffffff), 0, 0, w, h, on ? 0.55f : 0.25f);
    return l;
}

// Step lamp: an opaque tile on the colour of the sequencer's dark zone.
Layer step_lamp(bool on) {
    Layer l(10, 7, kDarkZone);
    RGB lit = hex(0x6dff7c);
    if (on) fill(l, rbox(0, 0, 10, 7, 3), lit, 0, 0, 10, 7, 0.25f);
    fill(l, rbox(1.5f, 1.2f, 7, 4.6f, 1.5f), hex(0x08090a), 0, 0, 10, 7);
    fill(l, rbox(2, 1.7f, 6, 3.6f, 1.2f), on ? vgrad(hex(0xeaffea), lit, 1.7f, 5.3f) : vgrad(hex(0x1f4026), hex(0x12281a), 1.7f, 5.3f),
         0, 0, 10, 7);
    return l;
}

// Mute key of the mixer strips: rubber key with a red LED.
Layer mute_key(bool on) {
    Layer l(16, 16);
    fill(l, rbox(0.5f, 0.5f, 15, 15, 3.5f), hex(0x1a1b1e), 0, 0, 16, 16);
    fill(l, rbox(1.5f, 1.5f, 13, 13, 2.8f), vgrad(hex(0x6a6e75), hex(0x3a3d42), 1.5f, 14.5f), 0, 0, 16, 16);
    Layer dot = glow_dot(16, 16, 8, 8, 3.2f, hex(0xff3a26), on, false);
    stamp(l, dot, 0, 0);
    return l;
}

// ----------------------------------------------------------- LED digits

// Seven-segment digit tiles: tile 0 blank, tile n the digit n - 1.
std::vector<Layer> led_digits(RGB lit, RGB unlit) {
    // Segment end points on a slanted 9 x 14 cell: a b c d e f g.
    auto sx = [](float x, float y) { return x + (7.0f - y) * 0.13f; };
    const float L = 2.3f, R = 6.7f, T = 1.9f, M = 7.0f, B = 12.1f;
    const float seg[7][4] = {{L, T, R, T}, {R, T, R, M}, {R, M, R, B}, {L, B, R, B},
                             {L, M, L, B}, {L, T, L, M}, {L, M, R, M}};
    const char* on[10] = {"abcdef", "bc", "abdeg", "abcdg", "bcfg", "acdfg", "acdefg", "abc", "abcdefg", "abcdfg"};
    std::vector<Layer> tiles;
    for (int n = 0; n <= 10; ++n) {
        Layer l(9, 14, hex(0x000000));
        for (int s = 0; s < 7; ++s) {
            bool lit_s = n > 0 && std::string(on[n - 1]).find(char('a' + s)) != std::string::npos;
            float x0 = seg[s][0], y0 = seg[s][1], x1 = seg[s][2], y1 = seg[s][3];
            float dx = x1 - x0, dy = y1 - y0, len = std::hypot(dx, dy), k = 0.75f / len;
            x0 += dx * k, y0 += dy * k, x1 -= dx * k, y1 -= dy * k;
            Sdf sd = segment(sx(x0, y0), y0, sx(x1, y1), y1, 0.72f);
            if (lit_s) {
                Sdf halo = segment(sx(x0, y0), y0, sx(x1, y1), y1, 1.8f);
                fill(l, halo, lit, 0, 0, 9, 14, 0.22f);
            }
            fill(l, sd, lit_s ? lit : unlit, 0, 0, 9, 14);
        }
        tiles.push_back(l);
    }
    return tiles;
}

// --------------------------------------------------------- LCD displays

Layer lcd(int w, int h) {
    Layer l(w, h, hex(0x020503));
    fill(l, rbox(1, 1, w - 2, h - 2, 1.5f), vgrad(kLcdBg, kLcdBg2, 1, h - 1), 0, 0, w, h);
    for (int y = 4; y < h - 2; y += 4)
        for (int x = 4; x < w - 2; x += 4) l.blend(x, y, kLcdGrid, 0.8f);
    fill(l, rbox(1, 1, w - 2, 2, 1), hex(0x000000), 0, 0, w, 3, 0.5f);
    return l;
}

void trace(Layer& l, const std::vector<float>& pts, RGB c = kPhosphor, float hw = 0.6f) {
    fill(l, polyline(pts, hw + 1.4f), c, 0, 0, l.w, l.h, 0.18f);
    fill(l, polyline(pts, hw), c, 0, 0, l.w, l.h);
}

void caption(Layer& l, const std::string& s) {
    text(l, Font::CondBold, 9, l.w / 2.0f, l.h - 4.0f, s, kLcdText, Align::Centre);
}

// Waveform of the oscillator types over two cycles, in the area x 6..66, y 5..27.
std::vector<float> wave(int type) {
    std::vector<float> p;
    const float x0 = 7, x1 = 65, yc = 16, a = 9;
    auto add = [&](float t, float v) { p.push_back(x0 + (x1 - x0) * t), p.push_back(yc - a * v); };
    switch (type) {
        case 1:
            for (int i = 0; i <= 120; ++i) add(i / 120.0f, std::sin(i / 120.0f * 4 * kPi));
            break;
        case 2:
            for (int i = 0; i <= 8; ++i) add(i / 8.0f, (i % 4 == 0 || i % 4 == 2) ? 0 : (i % 4 == 1 ? 1 : -1));
            break;
        case 3:
            add(0, -1), add(0.5f, 1), add(0.5f, -1), add(1, 1);
            break;
        case 4:
            add(0, 1), add(0.25f, 1), add(0.25f, -1), add(0.5f, -1), add(0.5f, 1), add(0.75f, 1), add(0.75f, -1),
                add(1, -1);
            break;
        case 5:
            add(0, 1), add(0.1f, 1), add(0.1f, -1), add(0.5f, -1), add(0.5f, 1), add(0.6f, 1), add(0.6f, -1),
                add(1, -1);
            break;
        case 6: {
            std::mt19937 rng(6);
            std::uniform_real_distribution<float> u(-1, 1);
            float v = u(rng);
            for (int i = 0; i < 12; ++i) {
                add(i / 12.0f, v);
                v = u(rng);
                add(i / 12.0f, v);
                add((i + 1) / 12.0f, v);
            }
            break;
        }
    }
    return p;
}

// Points of a chaotic attractor projected onto the display area.
std::vector<float> attractor(bool lorenz) {
    double x = 1, y = 1, z = 1;
    std::vector<double> xs, ys;
    for (int i = 0; i < 9000; ++i) {
        double dx, dy, dz, dt = lorenz ? 0.006 : 0.02;
        if (lorenz) dx = 10 * (y - x), dy = x * (28 - z) - y, dz = x * y - 8.0 / 3.0 * z;
        else dx = -y - z, dy = x + 0.2 * y, dz = 0.2 + z * (x - 5.7);
        x += dx * dt, y += dy * dt, z += dz * dt;
        if (i > 1500 && i % 3 == 0) xs.push_back(x), ys.push_back(lorenz ? z : y);
    }
    double lx = 1e9, hx = -1e9, ly = 1e9, hy = -1e9;
    for (size_t i = 0; i < xs.size(); ++i)
        lx = std::min(lx, xs[i]), hx = std::max(hx, xs[i]), ly = std::min(ly, ys[i]), hy = std::max(hy, ys[i]);
    std::vector<float> p;
    for (size_t i = 0; i < xs.size(); ++i) {
        p.push_back(float(14 + (xs[i] - lx) / (hx - lx) * 44));
        p.push_back(float(27 - (ys[i] - ly) / (hy - ly) * 23));
    }
    return p;
}

Layer wave_display(int type) {
    static const char* names[] = {"", "SINE", "TRIANGLE", "SAW", "SQUARE", "PULSE", "NOISE S&H", "ROSSLER", "LORENZ", "RANDOM SIGN"};
    Layer l = lcd(72, 40);
    fill(l, segment(6, 16, 66, 16, 0.4f), kLcdGrid, 0, 0, 72, 40, 0.9f);
    if (type <= 6) {
        trace(l, wave(type));
    } else if (type == 9) {
        std::mt19937 rng(9);
        std::uniform_real_distribution<float> u(0.2f, 1.0f);
        for (int i = 0; i < 20; ++i) {
            float x = 8 + i * 2.95f, v = u(rng) * (rng() % 2 ? 1 : -1);
            fill(l, segment(x, 16, x, 16 - 9 * v, 0.7f), kPhosphor, 0, 0, 72, 40);
        }
    } else {
        fill(l, polyline(attractor(type == 8), 0.35f), kPhosphor, 0, 0, 72, 40, 0.8f);
    }
    caption(l, names[type]);
    return l;
}

// Magnitude (dB) of the usual biquad responses at f, cut-off 1 kHz.
float response_db(int kind, float f) {
    const double fs = 44100, f0 = 1000, A = std::pow(10.0, 9.0 / 40), w0 = 2 * kPi * f0 / fs;
    const double q = kind <= 1 ? 1.6 : 0.9, al = std::sin(w0) / (2 * q), cw = std::cos(w0), sA = 2 * std::sqrt(A) * al;
    double b0 = 1, b1 = 0, b2 = 0, a0 = 1, a1 = 0, a2 = 0;
    switch (kind) {
        case 0: b0 = (1 - cw) / 2, b1 = 1 - cw, b2 = b0, a0 = 1 + al, a1 = -2 * cw, a2 = 1 - al; break;
        case 1: b0 = (1 + cw) / 2, b1 = -(1 + cw), b2 = b0, a0 = 1 + al, a1 = -2 * cw, a2 = 1 - al; break;
        case 2: b0 = al, b1 = 0, b2 = -al, a0 = 1 + al, a1 = -2 * cw, a2 = 1 - al; break;
        case 3: b0 = 1, b1 = -2 * cw, b2 = 1, a0 = 1 + al, a1 = -2 * cw, a2 = 1 - al; break;
        case 4:
            b0 = A * ((A + 1) - (A - 1) * cw + sA), b1 = 2 * A * ((A - 1) - (A + 1) * cw), b2 = A * ((A + 1) - (A - 1) * cw - sA);
            a0 = (A + 1) + (A - 1) * cw + sA, a1 = -2 * ((A - 1) + (A + 1) * cw), a2 = (A + 1) + (A - 1) * cw - sA;
            break;
        case 5:
            b0 = A * ((A + 1) + (A - 1) * cw + sA), b1 = -2 * A * ((A - 1) + (A + 1) * cw), b2 = A * ((A + 1) + (A - 1) * cw - sA);
            a0 = (A + 1) - (A - 1) * cw + sA, a1 = 2 * ((A - 1) - (A + 1) * cw), a2 = (A + 1) - (A - 1) * cw - sA;
            break;
        case 6:
            b0 = 1 + al * A * A, b1 = -2 * cw, b2 = 1 - al * A * A, a0 = 1 + al / A, a1 = -2 * cw, a2 = 1 - al / A;
            break;
        default: return 6.0f;  // plain gain
    }
    double w = 2 * kPi * f / fs;
    auto mag2 = [w](double c0, double c1, double c2) {
        double re = c0 + c1 * std::cos(w) + c2 * std::cos(2 * w), im = -c1 * std::sin(w) - c2 * std::sin(2 * w);
        return re * re + im * im;
    };
    return float(10 * std::log10(mag2(b0, b1, b2) / mag2(a0, a1, a2) + 1e-12));
}

Layer filter_display(int kind, const char* name) {
    Layer l = lcd(72, 40);
    const float top = 5, zero = 14, per_db = 0.5f, bottom = 28;  // 0 dB at y 14
    fill(l, segment(6, zero, 66, zero, 0.4f), kLcdGrid, 0, 0, 72, 40, 0.9f);
    std::vector<float> p;
    for (int i = 0; i <= 60; ++i) {
        float f = 30.0f * std::pow(600.0f, i / 60.0f);
        float y = std::clamp(zero - per_db * response_db(kind, f), top, bottom);
        p.push_back(6.0f + i), p.push_back(y);
    }
    std::vector<float> area = p;
    area.insert(area.end(), {66, bottom, 6, bottom});
    fill(l, polygon(area), kPhosphor, 6, top, 66, bottom + 1, 0.16f);
    trace(l, p);
    caption(l, name);
    return l;
}

// Gate outline of the logic operations, centred in a 44 x 28 display.
std::vector<float> gate_body(int kind) {
    std::vector<float> p;
    auto bez = [&](float ax, float ay, float bx, float by, float cx, float cy) {
        for (int i = 0; i <= 12; ++i) {
            float t = i / 12.0f, u = 1 - t;
            p.push_back(u * u * ax + 2 * u * t * bx + t * t * cx), p.push_back(u * u * ay + 2 * u * t * by + t * t * cy);
        }
    };
    if (kind == 0) {  // and
        p = {13, 6, 21, 6};
        for (int i = 0; i <= 16; ++i) {
            float a = -kPi / 2 + kPi * i / 16;
            p.push_back(21 + 8 * std::cos(a)), p.push_back(14 + 8 * std::sin(a));
        }
        p.insert(p.end(), {13, 22, 13, 6});
    } else if (kind == 1) {  // or
        bez(12, 6, 24, 6, 31, 14);
        bez(31, 14, 24, 22, 12, 22);
        bez(12, 22, 16, 14, 12, 6);
    } else {  // buffer triangle of not
        p = {14, 6, 29, 14, 14, 22, 14, 6};
    }
    return p;
}

Layer operation_display(int op) {
    Layer l = lcd(44, 28);
    const char* sym[] = {"", "+", "−", "÷", "×", "", "", "", "", "", "", "=", "≠", ">", "<", "≥", "≤", ""};
    if (*sym[op]) {
        text(l, Font::Bold, 20, 22, 21, sym[op], kPhosphor, Align::Centre);
        return l;
    }
    if (op == 17) {  // switch: IN1 when the condition holds, else IN2
        fill(l, segment(5, 9, 14, 9, 0.6f), kPhosphor, 0, 0, 44, 28);
        fill(l, segment(5, 19, 14, 19, 0.6f), kPhosphor, 0, 0, 44, 28);
        fill(l, segment(30, 14, 39, 14, 0.6f), kPhosphor, 0, 0, 44, 28);
        fill(l, segment(30, 14, 15.5f, 9.5f, 0.7f), kPhosphor, 0, 0, 44, 28);
        for (float y : {9.0f, 19.0f}) fill(l, ring(15.5f, y, 1.4f, 0.5f), kPhosphor, 0, 0, 44, 28);
        fill(l, circle(30, 14, 1.6f), kPhosphor, 0, 0, 44, 28);
        text(l, Font::CondBold, 8, 22, 26, "IF", kLcdText, Align::Centre);
        return l;
    }
    int body = (op == 5 || op == 6) ? 0 : (op == 9) ? 2 : 1;
    bool bubble = op == 6 || op == 8 || op == 9;
    float out_x = body == 0 ? 29 : body == 1 ? 31 : 29;
    trace(l, gate_body(body), kPhosphor, 0.55f);
    if (op == 10) trace(l, {9, 6, 13, 14, 9, 22}, kPhosphor, 0.55f);  // xor's second back curve
    if (body == 2) {
        fill(l, segment(6, 14, 14, 14, 0.55f), kPhosphor, 0, 0, 44, 28);
    } else {
        float in_x = body == 1 ? 14 : 13;
        fill(l, segment(5, 10, in_x, 10, 0.55f), kPhosphor, 0, 0, 44, 28);
        fill(l, segment(5, 18, in_x, 18, 0.55f), kPhosphor, 0, 0, 44, 28);
    }
    if (bubble) {
        fill(l, ring(out_x + 2, 14, 1.8f, 0.55f), kPhosphor, 0, 0, 44, 28);
        out_x += 3.8f;
    }
    fill(l, segment(out_x, 14, 39, 14, 0.55f), kPhosphor, 0, 0, 44, 28);
    return l;
}

// Play mode: |> once forward, <| once backward, a circling arrow round
// the direction for the loops.
Layer play_mode(bool reverse, bool loop) {
    Layer l = lcd(44, 20);
    float cx = 10, cy = 10, k = reverse ? -1.0f : 1.0f, t = loop ? 2.6f : 4.2f;
    fill(l, polygon({cx + k * t, cy, cx - k * t * 0.8f, cy - t, cx - k * t * 0.8f, cy + t}), kPhosphor, 0, 0, 44, 20);
    if (loop) {
        Sdf arc = [=](float x, float y) {
            float d = std::fabs(std::hypot(x - cx, y - cy) - 6.5f) - 0.7f;
            float a = std::atan2(y - cy, k * (x - cx));  // gap on the top, on the leading side
            return (a > -1.5f && a < -0.5f) ? std::max(d, 1.0f) : d;
        };
        fill(l, arc, kPhosphor, 0, 0, 44, 20);
        float hx = cx + k * 6.5f * std::cos(-0.5f), hy = cy + 6.5f * std::sin(-0.5f);
        fill(l, polygon({hx - k * 2.6f, hy - 1.2f, hx + k * 1.8f, hy - 2.0f, hx + k * 0.4f, hy + 2.6f}), kPhosphor, 0, 0, 44, 20);
    } else {
        float bar = cx - k * 4.6f;
        fill(l, segment(bar, cy - 4.2f, bar, cy + 4.2f, 0.7f), kPhosphor, 0, 0, 44, 20);
    }
    text(l, Font::CondBold, 9, 31, 14, loop ? "LOOP" : "ONCE", kLcdText, Align::Centre);
    return l;
}

Layer patch_display() {
    Layer l = lcd(72, 28);
    Sdf arc = [](float x, float y) {
        float d = std::fabs(std::hypot(x - 12, y - 14) - 6) - 0.8f;
        float a = std::atan2(y - 14, x - 12);
        return (a > -1.2f && a < -0.2f) ? std::max(d, 1.0f) : d;
    };
    fill(l, arc, kPhosphor, 0, 0, 72, 28);
    fill(l, polygon({15.5f, 5.5f, 20.5f, 8.5f, 15.5f, 12.0f}), kPhosphor, 0, 0, 72, 28);
    text(l, Font::CondBold, 11, 44, 13, "RELOAD", kPhosphor, Align::Centre);
    text(l, Font::Mono, 8, 44, 23, "brio3.ksy", kLcdText, Align::Centre);
    return l;
}

// Scope screen behind the sampler's waveform: the engine draws the trace
// centred 3 pixels below the picture's middle, over the first 300 columns.
Layer wave_screen() {
    const int w = 300, h = 70, yc = h / 2 + 3;
    Layer l = lcd(w, h);
    for (int x = 0; x <= w; x += 30) fill(l, segment(x, 2, x, h - 2, 0.4f), kLcdGrid, 0, 0, w, h);
    for (int k = -2; k <= 2; ++k) {
        float y = yc + k * 14.5f;
        fill(l, segment(2, y, w - 2, y, k ? 0.4f : 0.5f), k ? kLcdGrid : hex(0x24553a), 0, 0, w, h);
    }
    for (int x = 6; x < w; x += 6) fill(l, segment(x, yc - 1.5f, x, yc + 1.5f, 0.4f), hex(0x24553a), 0, 0, w, h);
    return l;
}

// -------------------------------------------------------- plugs, sockets

Layer plug(bool plugged) {
    Layer l(20, 20);
    float c = 10;
    if (plugged) {
        fill(l, circle(c, c, 9.5f), vgrad(hex(0xf0f2f4), hex(0x6a6e74), 0, 20), 0, 0, 20, 20);
    } else {
        fill(l, circle(c + 1.5f, c + 1.8f, 8.0f), hex(0x000000), 0, 0, 20, 20, 0.45f);
    }
    float r = plugged ? 7.4f : 7.8f;
    fill(l, circle(c, c, r),
         [=](float x, float y) {
             float a = std::atan2(y - c, x - c), d = std::hypot(x - c, y - c) / r;
             RGB b = mix(hex(0x3c3f45), hex(0x101113), d);
             return mix(b, scale(b, 1.8f), (0.5f + 0.5f * std::cos(a * 18)) * smoothstep(0.6f, 0.9f, d) * 0.6f);
         },
         0, 0, 20, 20);
    fill(l, circle(c, c, r * 0.5f), vgrad(hex(0x3a3d42), hex(0x0c0d0f), c - 4, c + 4), 0, 0, 20, 20);
    fill(l, circle(c - 1.6f, c - 1.8f, 1.6f), hex(0xffffff), 0, 0, 20, 20, 0.35f);
    return l;
}

Layer jack(bool output) {
    Layer l(16, 16);
    float c = 8;
    if (output) fill(l, circle(c, c, 7.8f), hex(0xd9822b), 0, 0, 16, 16);
    std::vector<float> hexagon;
    float rh = output ? 6.2f : 7.4f;
    for (int i = 0; i < 6; ++i) hexagon.push_back(c + rh * std::cos(i * kPi / 3)), hexagon.push_back(c + rh * std::sin(i * kPi / 3));
    fill(l, polygon(hexagon), vgrad(hex(0xf2f3f5), hex(0x7b8087), c - rh, c + rh), 0, 0, 16, 16);
    fill(l, circle(c, c, 4.0f), hex(0x55595f), 0, 0, 16, 16);
    fill(l, circle(c, c, 3.0f), hex(0x050506), 0, 0, 16, 16);
    return l;
}

}  // namespace

void draw_widgets(Library& lib) {
    for (auto [name, size] : {std::pair<const char*, int>{"KNOB", 32}, {"KNOB_S", 24}, {"SLD", 16}})
        lib.shaped(name, knob_picture(size));

    // Two-state buttons share one mask per family, named after the state-1
    // picture up to its last '_' followed by MASK (PWR_ON -> PWR_MASK).
    lib.shaped("PWR_ON", lamp_button(18, hex(0x45ff6a), true, true), "PWR_MASK");
    lib.picture("PWR_OFF", lamp_button(18, hex(0x45ff6a), false, true));
    lib.shaped("BYP_ON", lamp_button(18, hex(0xffb020), true, false), "BYP_MASK");
    lib.picture("BYP_OFF", lamp_button(18, hex(0xffb020), false, false));
    lib.shaped("SEL_ON", led_key(14, 12, hex(0xff6a2a), true), "SEL_MASK");
    lib.picture("SEL_OFF", led_key(14, 12, hex(0xff6a2a), false));

    // Momentary keys: tile 0 at rest, tile 1 under the pointer.
    struct K { const char* name; int w; Glyph g; const char* cap; };
    for (const K& k : {K{"BTN_UP", 16, Glyph::Up, ""}, K{"BTN_DOWN", 16, Glyph::Down, ""}, K{"BTN_LEFT", 16, Glyph::Left, ""},
                       K{"BTN_RIGHT", 16, Glyph::Right, ""}, K{"BTN_VIEW", 20, Glyph::View, ""},
                       K{"BTN_LOAD", 30, Glyph::Text, "LOAD"}, K{"BTN_SAVE", 30, Glyph::Text, "SAVE"}}) {
        Layer rest = key(k.w, 14, k.g, false, k.cap);
        lib.sheet(k.name, {rest, key(k.w, 14, k.g, true, k.cap)});
        lib.mask(std::string(k.name) + "_MASK", rest);
    }
    lib.shaped("BUTTONSTYLEA_0", step_key(true), "BUTTONSTYLEA_MASK");
    lib.shaped("BUTTONSTYLEB_0", step_key(false), "BUTTONSTYLEB_MASK");

    lib.sheet("LAMP_LED_1", {step_lamp(false), step_lamp(true)});
    Layer mute_off = glow_dot(10, 8, 5, 4, 2.6f, hex(0xff3a26), false, true);
    lib.sheet("LAMP_LED_2", {mute_off, glow_dot(10, 8, 5, 4, 2.6f, hex(0xff3a26), true, true)});
    lib.mask("LAMP_LED_2_MASK", mute_off);
    lib.shaped("CHK_1_ON", glow_dot(14, 14, 7, 7, 4.6f, hex(0xff3a26), true, true), "CHK_1_MASK");
    lib.picture("CHK_1_OFF", glow_dot(14, 14, 7, 7, 4.6f, hex(0xff3a26), false, true));
    lib.shaped("CHK_4_ON", mute_key(true), "CHK_4_MASK");
    lib.picture("CHK_4_OFF", mute_key(false));

    lib.sheet("LED_NUMERIC_1", led_digits(hex(0xff3a22), hex(0x2a0907)));
    lib.sheet("LED_NUMERIC_2", led_digits(hex(0x6a4a44), hex(0x161010)));

    static const char* waves[] = {"", "DISP_SIN", "DISP_TRI", "DISP_SAW", "DISP_SQR", "DISP_PULSE",
                                  "DISP_NOISE_WHITE", "DISP_NOISE_ROSSLER", "DISP_NOISE_LORENZ", "DISP_NOISE_KEL"};
    for (int t = 1; t <= 9; ++t) lib.picture(waves[t], wave_display(t));
    static const char* filters[][2] = {{"LOWPASS", "LOW PASS"},   {"HIGHPASS", "HIGH PASS"}, {"BANDPASS", "BAND PASS"},
                                       {"NOTCH", "NOTCH"},        {"LOWSHELF", "LOW SHELF"}, {"HIGHSHELF", "HIGH SHELF"},
                                       {"PEAKING", "PEAKING"},    {"GAIN", "GAIN"}};
    for (int k = 0; k < 8; ++k) lib.picture(std::string("DISP_FILTRE_") + filters[k][0], filter_display(k, filters[k][1]));
    for (int op = 1; op <= 17; ++op) {
        char name[32];
        std::snprintf(name, sizeof name, "DISP_OPERATION_%02d", op);
        lib.picture(name, operation_display(op));
    }
    lib.picture("SMP_PLAY_AV", play_mode(false, false));
    lib.picture("SMP_PLAY_AR", play_mode(true, false));
    lib.picture("SMP_PLAY_LOOPAV", play_mode(false, true));
    lib.picture("SMP_PLAY_LOOPAR", play_mode(true, true));
    lib.picture("DISP_PATCH", patch_display());
    lib.picture("WAVE_SCREEN", wave_screen());

    lib.shaped("FICHE_PLUG", plug(true));
    lib.shaped("FICHE_UNPLUG", plug(false));
    lib.shaped("JACK_IN", jack(false));
    lib.shaped("JACK_OUT", jack(true));
}

}  // namespace gui
