#include "engine/draw.h"

#include <GL/gl.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "engine/display.h"
#include "engine/font_engine.h"
#include "engine/freetype.h"
#include "engine/globals.h"
#include "engine/kbiblio.h"
#include "engine/sprite.h"
#include "engine/view.h"
#include "synth/names.h"

int offsx = 0;
int offsy = 0;

namespace {
// Turns on blending with the given factors and lets the quad ignore depth.
void blend(GLenum source, GLenum destination) {
    glBlendFunc(source, destination);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
}

void unblend() {
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}

// GL texture name of a library picture, 0 when there is none.
unsigned texture_of(const char* name) {
    if (bibliotheque_graphique == nullptr) return 0;
    const int index = bibliotheque_graphique->get_index_image(const_cast<char*>(name));
    return index < 0 ? 0 : bibliotheque_graphique->get_texture(index);
}
}  // namespace

void draw_triangle(const unsigned* texture, float cx, float cy, float z, float rx, float ry, float rz,
                   float a, float b, int additive, int subtractive, int alpha) {
    // The box's edges go to whole window pixels, then the quad is drawn about
    // the middle of that box: at 100 % a picture lands texel for pixel.
    const float left = window_x(cx - a), right = window_x(cx + a);
    const float top = window_y(cy - b + SPRITE_Y_SHIFT), bottom = window_y(cy + b + SPRITE_Y_SHIFT);
    a = (right - left) / 2;
    b = (bottom - top) / 2;
    glPushMatrix();
    glLoadIdentity();
    glTranslatef((left + right) / 2, (top + bottom) / 2, z);
    glRotatef(rx, 1, 0, 0);
    glRotatef(ry, 0, 1, 0);
    glRotatef(rz, 0, 0, 1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture != nullptr ? *texture : 0);
    // A later mode replaces an earlier one.
    const bool translucent = alpha != 255;
    if (translucent) blend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (additive) blend(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    if (subtractive) blend(GL_DST_COLOR, GL_ZERO);
    if (translucent) glColor4ub(255, 255, 255, (GLubyte)alpha);
    // Half height along x and half width along y: the 90 degrees every caller
    // adds to the angle stand the quad upright.
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0); glVertex3f(-b, a, 0);
    glTexCoord2f(0, 1); glVertex3f(b, a, 0);
    glTexCoord2f(1, 1); glVertex3f(b, -a, 0);
    glTexCoord2f(1, 0); glVertex3f(-b, -a, 0);
    glEnd();
    for (int mode : {additive != 0, subtractive != 0, translucent})
        if (mode) unblend();
    glColor4ub(255, 255, 255, 255);
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
}

void FillRect(int x, int y, int width, int height, int colour) {
    const unsigned c = (unsigned)colour;  // the alpha byte is unsigned: 0xFF000000 is opaque
    const GLubyte aa = (GLubyte)(c >> 24), rr = (GLubyte)(c >> 16), gg = (GLubyte)(c >> 8), bb = (GLubyte)c;
    if (aa != 0xFF) blend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4ub(rr, gg, bb, aa);
    glRectf(window_x((float)x), window_y((float)(y + RECT_Y_SHIFT)), window_x((float)(x + width)),
            window_y((float)(y + height + RECT_Y_SHIFT)));
    glColor4ub(255, 255, 255, 255);
    if (aa != 0xFF) unblend();
}

namespace {
/// Points along a cable: the curve parameter runs 0, 1/30, ... 1.
constexpr int CABLE_POINTS = 31;
/// Width of a cable's coloured core and of its dark edge on each side, window pixels.
constexpr float CABLE_CORE = 3.0f, CABLE_EDGE = 1.0f;

CABLE_LOOK cable_look = CABLE_OPAQUE;
float cable_floor_y = 1e9f;

// A band of the given width along the points (window pixels), one quad per
// segment, its corners pushed out along the segment's normal.
void cable_band(const GLfloat (&xs)[CABLE_POINTS], const GLfloat (&ys)[CABLE_POINTS], float width) {
    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i < CABLE_POINTS; i++) {
        const int a = i > 0 ? i - 1 : 0, b = i + 1 < CABLE_POINTS ? i + 1 : i;
        float dx = xs[b] - xs[a], dy = ys[b] - ys[a];
        const float length = std::sqrt(dx * dx + dy * dy);
        if (length > 0) {
            dx /= length;
            dy /= length;
        } else {
            dx = 1;
            dy = 0;
        }
        const float nx = -dy * width / 2, ny = dx * width / 2;
        glVertex2f(xs[i] + nx, ys[i] + ny);
        glVertex2f(xs[i] - nx, ys[i] - ny);
    }
    glEnd();
}
}  // namespace

void set_cable_look(CABLE_LOOK look) { cable_look = look; }
CABLE_LOOK get_cable_look() { return cable_look; }
void set_cable_floor(float y) { cable_floor_y = y; }

float cable_sag_row(float x0, float y0, float x1, float y1) {
    // A cable hangs under its own weight: the curve's middle control point
    // sits at the sum of both ends' heights. A long cable low on the rack
    // would hang far down, so the sag (half the control point's depth below
    // the chord) is held to a few tens of pixels, more for longer cables,
    // and the lowest point stays above the rack's floor.
    const float chord = std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
    const float max_sag = std::min(CABLE_SAG_MAX, CABLE_SAG_MIN + chord / 10);
    const float middle = (y0 + y1) / 2;
    float control = std::min(y0 + y1, middle + 2 * max_sag);
    // The lowest point of the curve is (y0 + 2 control + y1) / 4 at worst.
    const float floor_control = (4 * cable_floor_y - y0 - y1) / 2;
    if (control > floor_control) control = std::max(std::max(y0, y1), floor_control);
    return control;
}

int draw_fil(void*, int x0, int y0, int x1, int y1, int colour) {
    if (cable_look == CABLE_HIDDEN) return 1;
    const float control = cable_sag_row((float)x0, (float)y0, (float)x1, (float)y1);
    const float px[3] = {(float)x0, (x0 + x1) / 2.0f, (float)x1};
    const float py[3] = {(float)y0, control, (float)y1};
    // The quadratic a GL evaluator of order 3 would draw, in window pixels.
    const float zoom = view_zoom();
    GLfloat xs[CABLE_POINTS], ys[CABLE_POINTS];
    for (int i = 0; i < CABLE_POINTS; i++) {
        const float t = (float)i / (CABLE_POINTS - 1), u = 1.0f - t;
        const float x = u * u * px[0] + 2 * u * t * px[1] + t * t * px[2];
        const float y = u * u * py[0] + 2 * u * t * py[1] + t * t * py[2];
        xs[i] = x * zoom - (float)offsx;
        ys[i] = (y + SPRITE_Y_SHIFT) * zoom - (float)offsy;
    }
    const int r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
    const GLubyte alpha = cable_look == CABLE_HALF ? 128 : 255;
    const float core = std::max(CABLE_CORE, CABLE_CORE * zoom);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // A dark edge, the colour, and a light streak along the top.
    glColor4ub((GLubyte)(r / 3), (GLubyte)(g / 3), (GLubyte)(b / 3), alpha);
    cable_band(xs, ys, core + 2 * CABLE_EDGE);
    glColor4ub((GLubyte)r, (GLubyte)g, (GLubyte)b, alpha);
    cable_band(xs, ys, core);
    for (float& y : ys) y -= core / 4;
    glColor4ub((GLubyte)(r + (255 - r) / 2), (GLubyte)(g + (255 - g) / 2), (GLubyte)(b + (255 - b) / 2),
               (GLubyte)(alpha / 2));
    cable_band(xs, ys, 1.0f);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glColor4f(1, 1, 1, 1);
    return 1;
}

void SPRITE::blit(SDL_Surface*) {
    changed = 0;
    ix = (int)x;
    iy = (int)y;
    const bool masked = MASK_NAME[0] != '\0' && MASK_NAME[0] != '0';
    if (masked) {
        // The mask darkens the frame where the shape stands; the picture,
        // black outside the shape, is then added on top.
        const unsigned mask = texture_of(MASK_NAME);
        const bool mask_drawn = mask != 0;
        const float cx = (float)((int)x + w / 2), cy = (float)((int)y + h / 2);
        // Below full opacity, a of the shape covers: the frame keeps 1 - a
        // of itself where the mask is dark (mask x a + (1 - a)), and a of
        // the picture is added. Masked pictures were always drawn whole, and
        // some are made with an alpha of 0: only 1..254 lets anything through.
        const float a = Alpha > 0 && Alpha < 255 ? Alpha / 255.0f : 1.0f;
        if (mask_drawn) {
            glDisable(GL_DEPTH_TEST);
            if (a < 1.0f) glBlendFunc(GL_DST_COLOR, GL_ONE_MINUS_SRC_ALPHA);
            else glBlendFunc(GL_DST_COLOR, GL_ZERO);
            glEnable(GL_BLEND);
            glColor4f(a, a, a, a);
            draw_triangle(&mask, cx, cy, z, 0, 0, (float)(Angle + 90), w / 2 * Zoom, h / 2 * Zoom, 0, 0, 255);
            glBlendFunc(GL_ONE, GL_ONE);
        }
        const unsigned picture = texture_of(SPR_NAME);
        glColor4f(a, a, a, 1.0f);
        if (picture != 0)
            draw_triangle(&picture, cx, cy, z, 0, 0, (float)(Angle + 90), w / 2 * Zoom, h / 2 * Zoom,
                          Additive, Substractive, 255);
        glColor4f(1, 1, 1, 1);
        if (mask_drawn) {
            glDisable(GL_BLEND);
            glEnable(GL_DEPTH_TEST);
        }
        return;
    }
    SDL_Surface* image = bibliotheque_graphique != nullptr ? bibliotheque_graphique->get_image(SPR_NAME) : nullptr;
    const unsigned picture = texture_of(SPR_NAME);
    if (image == nullptr || picture == 0) return;
    w = (float)image->w;
    h = (float)image->h;
    draw_triangle(&picture, (float)((int)x + w / 2), (float)((int)y + h / 2), z, 0, 0, (float)(Angle + 90),
                  w / 2 * Zoom, h / 2 * Zoom, Additive, Substractive, Alpha);
}

namespace {
/// The caption as shown: '_' as a space.
void shown_caption(char (&text)[800], const char* caption) {
    copy_name(text, caption);
    for (char* p = text; *p != '\0'; p++)
        if (*p == '_') *p = ' ';
}
}  // namespace

int fit_caption(char* text, int font_nr, int size, int room) {
    if (room <= 0) return size;
    int s = size;
    while (s > CAPTION_MIN_SIZE && freetype::text_width(FONTS.get_Font(font_nr, s), text) > room) s--;
    const freetype::font_data font = FONTS.get_Font(font_nr, s);
    if (font.advances == nullptr || freetype::text_width(font, text) <= room) return s;
    // Still too long at the smallest size: cut, and say so with "..".
    size_t n = std::strlen(text);
    const int dots = freetype::text_width(font, "..");
    while (n > 0) {
        text[--n] = '\0';
        while (n > 0 && text[n - 1] == ' ') text[--n] = '\0';
        if (freetype::text_width(font, text) + dots <= room) break;
    }
    std::strcat(text, "..");
    return s;
}

void draw_caption(const char* caption, float x, float y, bool screen_coords, int font_nr, int size,
                  unsigned colour, int room) {
    glColor3d(((colour >> 16) & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, (colour & 0xFF) / 255.0);
    char text[800];
    shown_caption(text, caption);
    if (!screen_coords) {
        freetype::print_scaled(FONTS.get_Font(font_nr, size), x, y, 1.0f, text);
        glColor3d(1, 1, 1);
        return;
    }
    size = fit_caption(text, font_nr, size, room);
    // The patch's size drawn with the nearest rendered size, stretched only
    // beyond the rendered sizes.
    const float wanted = size * view_zoom();
    const int drawn = std::min(FONT_SIZE_MAX, std::max(FONT_SIZE_MIN, (int)std::lround(wanted)));
    const float scale = wanted < FONT_SIZE_MIN || wanted > FONT_SIZE_MAX ? wanted / drawn : 1.0f;
    // Text rows count from the bottom of the window.
    const float row = window_y(y + LABEL_BASELINE_SHIFT);
    freetype::print_scaled(FONTS.get_Font(font_nr, drawn), window_x(x), (float)window_height() - row, scale, text);
    glColor3d(1, 1, 1);
}
