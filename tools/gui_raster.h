// Small anti-aliased rasteriser for the interface pictures: a float RGB
// layer with coverage, shapes given as signed distance functions (pixels,
// negative inside), FreeType text, PNG and JPEG output.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gui {

/// Colour, each channel 0..1 (sRGB values, written as they are).
struct RGB {
    float r, g, b;
};

RGB hex(uint32_t rgb);                        ///< 0xRRGGBB to RGB
RGB mix(RGB a, RGB b, float t);               ///< a + (b - a) * t
RGB scale(RGB c, float k);                    ///< c * k

/// A picture being drawn: colour premultiplied by coverage, and the coverage
/// (0 transparent .. 1 opaque) so that a mask can be derived from it.
struct Layer {
    int w = 0, h = 0;
    std::vector<RGB> px;
    std::vector<float> cov;

    Layer(int w, int h);                      ///< black, transparent
    Layer(int w, int h, RGB fill);            ///< opaque fill

    RGB& at(int x, int y) { return px[y * w + x]; }
    /// Composites colour c with opacity a over pixel (x, y); ignores out of range.
    void blend(int x, int y, RGB c, float a);
};

using Sdf = std::function<float(float, float)>;
using Paint = std::function<RGB(float, float)>;

/// Fills the shape sdf < 0 inside the box [x0, x1) x [y0, y1) with paint,
/// edges anti-aliased over one pixel, at the given opacity.
void fill(Layer& l, const Sdf& sdf, const Paint& paint, float x0, float y0, float x1, float y1,
          float opacity = 1.0f);
/// Same with a flat colour.
void fill(Layer& l, const Sdf& sdf, RGB c, float x0, float y0, float x1, float y1,
          float opacity = 1.0f);

// Distance functions, all in pixels.
Sdf circle(float cx, float cy, float r);
Sdf rbox(float x, float y, float w, float h, float radius);      ///< box with corner x, y
Sdf segment(float ax, float ay, float bx, float by, float halfwidth);
Sdf polyline(const std::vector<float>& xy, float halfwidth);     ///< x0, y0, x1, y1, ...
Sdf polygon(const std::vector<float>& xy);                       ///< closed, any winding
Sdf ring(float cx, float cy, float r, float halfwidth);

// Building blocks shared by faces and widgets.
/// Brushed metal: base colour with horizontal streaks; fixed seed.
void brushed(Layer& l, int x0, int y0, int x1, int y1, RGB base, float strength, unsigned seed);
/// Cross-head screw of radius r centred at (cx, cy).
void screw(Layer& l, float cx, float cy, float r, float turn);
/// Soft drop shadow of a rounded box, darkening what is there.
void shadow(Layer& l, float x, float y, float w, float h, float radius, float blur, float strength);

/// Composites a layer (premultiplied colour and coverage) onto another at (x, y).
void stamp(Layer& dst, const Layer& src, int x, int y);
/// 0 below e0, 1 above e1, smooth in between.
float smoothstep(float e0, float e1, float v);

// Text. Fonts are DejaVu files; size is the FreeType pixel size (em).
enum class Font { Sans, Bold, Mono, Cond, CondBold };
enum class Align { Left, Centre, Right };
float text_width(Font f, int size, const std::string& s);
/// Draws s with its baseline at y; x is the left edge, centre or right edge.
void text(Layer& l, Font f, int size, float x, float y, const std::string& s, RGB c,
          Align a = Align::Left, float opacity = 1.0f);
/// Engraved legend: dark letters with a light lower lip on a light plate,
/// or light letters with a dark lip on a dark plate.
void engrave(Layer& l, Font f, int size, float x, float y, const std::string& s, bool dark_plate,
             Align a = Align::Centre);
void release_fonts();

// Output. Pictures are written as 8-bit RGB; a mask is white where the
// frame must show through and black where the picture covers it.
bool write_png(const std::string& path, const Layer& l);
bool write_mask_png(const std::string& path, const Layer& l);
bool write_jpeg(const std::string& path, const Layer& l, int quality);

}  // namespace gui
