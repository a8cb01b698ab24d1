// Anti-aliased rasteriser for the interface pictures (see gui_raster.h).
#include "tools/gui_raster.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <stdexcept>

namespace gui {

RGB hex(uint32_t v) {
    return {((v >> 16) & 0xFF) / 255.0f, ((v >> 8) & 0xFF) / 255.0f, (v & 0xFF) / 255.0f};
}

RGB mix(RGB a, RGB b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

RGB scale(RGB c, float k) { return {c.r * k, c.g * k, c.b * k}; }

Layer::Layer(int w_, int h_) : w(w_), h(h_), px(size_t(w_) * h_, RGB{0, 0, 0}), cov(size_t(w_) * h_, 0.0f) {}

Layer::Layer(int w_, int h_, RGB fill) : w(w_), h(h_), px(size_t(w_) * h_, fill), cov(size_t(w_) * h_, 1.0f) {}

void Layer::blend(int x, int y, RGB c, float a) {
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0.0f) return;
    a = std::min(a, 1.0f);
    size_t i = size_t(y) * w + x;
    px[i] = mix(px[i], c, a);
    cov[i] = cov[i] + a * (1.0f - cov[i]);
}

// ---------------------------------------------------------------- shapes

void fill(Layer& l, const Sdf& sdf, const Paint& paint, float x0, float y0, float x1, float y1,
          float opacity) {
    int ix0 = std::max(0, int(std::floor(x0)) - 1), iy0 = std::max(0, int(std::floor(y0)) - 1);
    int ix1 = std::min(l.w, int(std::ceil(x1)) + 1), iy1 = std::min(l.h, int(std::ceil(y1)) + 1);
    for (int y = iy0; y < iy1; ++y)
        for (int x = ix0; x < ix1; ++x) {
            float px = x + 0.5f, py = y + 0.5f;
            float a = std::clamp(0.5f - sdf(px, py), 0.0f, 1.0f);
            if (a > 0.0f) l.blend(x, y, paint(px, py), a * opacity);
        }
}

void fill(Layer& l, const Sdf& sdf, RGB c, float x0, float y0, float x1, float y1, float opacity) {
    fill(l, sdf, [c](float, float) { return c; }, x0, y0, x1, y1, opacity);
}

Sdf circle(float cx, float cy, float r) {
    return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

Sdf ring(float cx, float cy, float r, float hw) {
    return [=](float x, float y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - hw; };
}

Sdf rbox(float x, float y, float w, float h, float rad) {
    float cx = x + w / 2, cy = y + h / 2, hw = w / 2 - rad, hh = h / 2 - rad;
    return [=](float px, float py) {
        float qx = std::fabs(px - cx) - hw, qy = std::fabs(py - cy) - hh;
        float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
        return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.0f) - rad;
    };
}

static float seg_dist(float px, float py, float ax, float ay, float bx, float by) {
    float dx = bx - ax, dy = by - ay, l2 = dx * dx + dy * dy;
    float t = l2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / l2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(px - ax - t * dx, py - ay - t * dy);
}

Sdf segment(float ax, float ay, float bx, float by, float hw) {
    return [=](float x, float y) { return seg_dist(x, y, ax, ay, bx, by) - hw; };
}

Sdf polyline(const std::vector<float>& xy, float hw) {
    return [xy, hw](float x, float y) {
        float d = 1e9f;
        for (size_t i = 0; i + 3 < xy.size(); i += 2)
            d = std::min(d, seg_dist(x, y, xy[i], xy[i + 1], xy[i + 2], xy[i + 3]));
        return d - hw;
    };
}

Sdf polygon(const std::vector<float>& xy) {
    return [xy](float x, float y) {
        size_t n = xy.size() / 2;
        float d = 1e9f;
        bool inside = false;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
            d = std::min(d, seg_dist(x, y, xi, yi, xj, yj));
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
        }
        return inside ? -d : d;
    };
}

// ------------------------------------------------------ building blocks

void brushed(Layer& l, int x0, int y0, int x1, int y1, RGB base, float strength, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> n(0.0f, 1.0f);
    float row = 0.0f;
    for (int y = y0; y < y1; ++y) {
        row = 0.55f * row + 0.45f * n(rng);  // neighbouring rows are alike
        float streak = 0.0f;
        for (int x = x0 - 30; x < x1; ++x) {  // run-in so the left edge is not plain
            streak = 0.93f * streak + 0.07f * n(rng) * 3.0f;
            if (x < x0) continue;
            float k = 1.0f + strength * (0.5f * row + 0.5f * streak + 0.25f * n(rng));
            float light = 1.0f + 0.05f * (0.5f - float(y - y0) / std::max(1, y1 - y0));
            if (x >= 0 && y >= 0 && x < l.w && y < l.h) {
                l.at(x, y) = scale(base, k * light);
                l.cov[size_t(y) * l.w + x] = 1.0f;
            }
        }
    }
}

void screw(Layer& l, float cx, float cy, float r, float turn) {
    fill(l, circle(cx + 0.6f, cy + 0.8f, r + 0.6f), hex(0x000000), cx - r - 2, cy - r - 2, cx + r + 3,
         cy + r + 3, 0.35f);
    fill(l, circle(cx, cy, r),
         [=](float x, float y) {
             float t = std::clamp(((x - cx) + (y - cy)) / (2.0f * r) * 0.5f + 0.5f, 0.0f, 1.0f);
             return mix(hex(0xe6e8ea), hex(0x7a7e84), t);
         },
         cx - r, cy - r, cx + r, cy + r);
    fill(l, ring(cx, cy, r - 0.4f, 0.45f), hex(0x55585c), cx - r, cy - r, cx + r, cy + r, 0.6f);
    float s = r * 0.62f, c = std::cos(turn), sn = std::sin(turn);
    for (int k = 0; k < 2; ++k) {
        float dx = k ? -sn : c, dy = k ? c : sn;
        fill(l, segment(cx - dx * s, cy - dy * s, cx + dx * s, cy + dy * s, r * 0.16f), hex(0x3a3c40),
             cx - r, cy - r, cx + r, cy + r);
    }
}

void shadow(Layer& l, float x, float y, float w, float h, float radius, float blur, float strength) {
    Sdf d = rbox(x, y, w, h, radius);
    int ix0 = std::max(0, int(x - blur)), iy0 = std::max(0, int(y - blur));
    int ix1 = std::min(l.w, int(x + w + blur + 1)), iy1 = std::min(l.h, int(y + h + blur + 1));
    for (int py = iy0; py < iy1; ++py)
        for (int px = ix0; px < ix1; ++px) {
            float v = d(px + 0.5f, py + 0.5f);
            float a = strength * (1.0f - std::clamp(v / blur, 0.0f, 1.0f));
            if (a > 0) l.at(px, py) = scale(l.at(px, py), 1.0f - a);
        }
}

void stamp(Layer& dst, const Layer& src, int x, int y) {
    for (int j = 0; j < src.h; ++j)
        for (int i = 0; i < src.w; ++i) {
            int dx = x + i, dy = y + j;
            if (dx < 0 || dy < 0 || dx >= dst.w || dy >= dst.h) continue;
            size_t s = size_t(j) * src.w + i, d = size_t(dy) * dst.w + dx;
            float a = src.cov[s];
            RGB c = src.px[s], o = dst.px[d];
            dst.px[d] = {o.r * (1 - a) + c.r, o.g * (1 - a) + c.g, o.b * (1 - a) + c.b};
            dst.cov[d] = dst.cov[d] + a * (1 - dst.cov[d]);
        }
}

float smoothstep(float e0, float e1, float v) {
    float t = std::clamp((v - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// ---------------------------------------------------------------- text

static FT_Library ft_lib = nullptr;
static FT_Face faces[5] = {};

static const char* font_file(Font f) {
    switch (f) {
        case Font::Sans: return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
        case Font::Bold: return "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
        case Font::Mono: return "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
        case Font::Cond: return "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf";
        case Font::CondBold: return "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf";
    }
    return "";
}

static FT_Face face(Font f, int size) {
    if (!ft_lib && FT_Init_FreeType(&ft_lib)) throw std::runtime_error("FT_Init_FreeType failed");
    FT_Face& fc = faces[int(f)];
    if (!fc && FT_New_Face(ft_lib, font_file(f), 0, &fc))
        throw std::runtime_error(std::string("cannot open font ") + font_file(f));
    FT_Set_Pixel_Sizes(fc, 0, size);
    return fc;
}

void release_fonts() {
    for (FT_Face& f : faces)
        if (f) FT_Done_Face(f), f = nullptr;
    if (ft_lib) FT_Done_FreeType(ft_lib), ft_lib = nullptr;
}

// Next code point of a UTF-8 string (the legends use a few symbols).
static uint32_t next_cp(const std::string& s, size_t& i) {
    unsigned char c = s[i++];
    if (c < 0x80) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    uint32_t cp = c & (0x3F >> extra);
    while (extra-- > 0 && i < s.size()) cp = (cp << 6) | (s[i++] & 0x3F);
    return cp;
}

float text_width(Font f, int size, const std::string& s) {
    FT_Face fc = face(f, size);
    float w = 0;
    for (size_t i = 0; i < s.size();) {
        if (FT_Load_Char(fc, next_cp(s, i), FT_LOAD_DEFAULT)) continue;
        w += fc->glyph->advance.x / 64.0f;
    }
    return w;
}

void text(Layer& l, Font f, int size, float x, float y, const std::string& s, RGB c, Align a,
          float opacity) {
    if (a != Align::Left) x -= text_width(f, size, s) * (a == Align::Centre ? 0.5f : 1.0f);
    FT_Face fc = face(f, size);
    float pen = std::round(x);
    int base = int(std::round(y));
    for (size_t i = 0; i < s.size();) {
        if (FT_Load_Char(fc, next_cp(s, i), FT_LOAD_RENDER)) continue;
        FT_GlyphSlot g = fc->glyph;
        for (unsigned r = 0; r < g->bitmap.rows; ++r)
            for (unsigned k = 0; k < g->bitmap.width; ++k) {
                float v = g->bitmap.buffer[r * g->bitmap.pitch + k] / 255.0f;
                l.blend(int(pen) + g->bitmap_left + int(k), base - g->bitmap_top + int(r), c, v * opacity);
            }
        pen += g->advance.x / 64.0f;
    }
}

void engrave(Layer& l, Font f, int size, float x, float y, const std::string& s, bool dark_plate, Align a) {
    if (dark_plate) {
        text(l, f, size, x, y + 1, s, hex(0x000000), a, 0.7f);
        text(l, f, size, x, y, s, hex(0xdedad0), a);
    } else {
        text(l, f, size, x, y + 1, s, hex(0xffffff), a, 0.55f);
        text(l, f, size, x, y, s, hex(0x26282c), a);
    }
}

// -------------------------------------------------------------- output

static uint8_t to8(float v) { return uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

static bool write_rgb_png(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = w;
    img.height = h;
    img.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&img, path.c_str(), 0, rgb.data(), 0, nullptr)) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), img.message);
        return false;
    }
    return true;
}

bool write_png(const std::string& path, const Layer& l) {
    std::vector<uint8_t> rgb;
    rgb.reserve(l.px.size() * 3);
    for (const RGB& c : l.px) rgb.insert(rgb.end(), {to8(c.r), to8(c.g), to8(c.b)});
    return write_rgb_png(path, l.w, l.h, rgb);
}

bool write_mask_png(const std::string& path, const Layer& l) {
    std::vector<uint8_t> rgb;
    rgb.reserve(l.cov.size() * 3);
    for (float a : l.cov) {
        uint8_t v = to8(1.0f - a);
        rgb.insert(rgb.end(), {v, v, v});
    }
    return write_rgb_png(path, l.w, l.h, rgb);
}

bool write_jpeg(const std::string& path, const Layer& l, int quality) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = l.w;
    cinfo.image_height = l.h;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(l.w) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < l.w; ++x) {
            RGB c = l.px[size_t(cinfo.next_scanline) * l.w + x];
            row[3 * x] = to8(c.r), row[3 * x + 1] = to8(c.g), row[3 * x + 2] = to8(c.b);
        }
        JSAMPROW rp = row.data();
        jpeg_write_scanlines(&cinfo, &rp, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(f);
    return true;
}

}  // namespace gui
