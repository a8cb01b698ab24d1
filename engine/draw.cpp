#include "engine/draw.h"

#include <GL/gl.h>
#include <SDL/SDL.h>

#include <cstring>
#include <initializer_list>

#include "engine/display.h"
#include "engine/font_engine.h"
#include "engine/freetype.h"
#include "engine/globals.h"
#include "engine/kbiblio.h"
#include "engine/sprite.h"
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
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(cx - offsx, cy + SPRITE_Y_SHIFT - offsy, z);
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
    glRecti(x - offsx, y - offsy + RECT_Y_SHIFT, x + width - offsx, y + height - offsy + RECT_Y_SHIFT);
    glColor4ub(255, 255, 255, 255);
    if (aa != 0xFF) unblend();
}

namespace {
/// Points along a cable: the curve parameter runs 0, 1/30, ... 1.
constexpr int CABLE_POINTS = 31;

// Three passes of the curve, each one pixel further by step and a quarter
// darker. The quadratic through the control points is the one a GL
// evaluator of order 3 draws; it is computed here and the segments of all
// passes go in one batch, which costs a few GL calls per cable, not a few
// hundred.
void cable_passes(const GLfloat (&points)[3][3], int r, int g, int b, int step) {
    GLfloat xs[CABLE_POINTS], ys[CABLE_POINTS];
    for (int i = 0; i < CABLE_POINTS; i++) {
        const GLfloat t = (GLfloat)i / 30.0f, u = 1.0f - t;
        xs[i] = u * u * points[0][0] + 2 * u * t * points[1][0] + t * t * points[2][0];
        ys[i] = u * u * points[0][1] + 2 * u * t * points[1][1] + t * t * points[2][1];
    }
    glLineWidth(1);
    glBegin(GL_LINES);
    for (int pass = 0; pass < 3; pass++) {
        glColor3ub((GLubyte)r, (GLubyte)g, (GLubyte)b);
        const GLfloat dy = (GLfloat)(pass * step);
        for (int i = 0; i + 1 < CABLE_POINTS; i++) {
            glVertex2f(xs[i], ys[i] + dy);
            glVertex2f(xs[i + 1], ys[i + 1] + dy);
        }
        r -= r / 4;
        g -= g / 4;
        b -= b / 4;
    }
    glEnd();
}
}  // namespace

int draw_fil(void*, int x0, int y0, int x1, int y1, int colour) {
    // The middle control point sits at the sum of both ends' heights, so the
    // wire sags below them like a cable under its own weight.
    const GLfloat start[3][3] = {
        {(GLfloat)(x0 - offsx), (GLfloat)(y0 - offsy + SPRITE_Y_SHIFT), 0},
        {(GLfloat)((x0 + x1) / 2 - offsx), (GLfloat)(y0 + y1 - offsy + SPRITE_Y_SHIFT), 0},
        {(GLfloat)(x1 - offsx), (GLfloat)(y1 - offsy + SPRITE_Y_SHIFT), 0}};
    const int r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
    // Full colour and two darker lines above, then three darker lines below.
    cable_passes(start, r, g, b, -1);
    GLfloat below[3][3];
    std::memcpy(below, start, sizeof below);
    for (auto& p : below) p[1] += 1;
    cable_passes(below, r, g, b, +1);
    glColor4f(1, 1, 1, 1);
    glDisable(GL_MAP1_VERTEX_3);
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
        if (mask_drawn) {
            glDisable(GL_DEPTH_TEST);
            glBlendFunc(GL_DST_COLOR, GL_ZERO);
            glEnable(GL_BLEND);
            draw_triangle(&mask, cx, cy, z, 0, 0, (float)(Angle + 90), w / 2 * Zoom, h / 2 * Zoom, 0, 0, 255);
            glBlendFunc(GL_ONE, GL_ONE);
        }
        const unsigned picture = texture_of(SPR_NAME);
        if (picture != 0)
            draw_triangle(&picture, cx, cy, z, 0, 0, (float)(Angle + 90), w / 2 * Zoom, h / 2 * Zoom,
                          Additive, Substractive, 255);
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

void draw_caption(const char* caption, float x, float y, bool screen_coords, int font_nr, int size,
                  unsigned colour) {
    glColor3d(((colour >> 16) & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, (colour & 0xFF) / 255.0);
    char text[800];
    copy_name(text, caption);
    for (char* p = text; *p != '\0'; p++)
        if (*p == '_') *p = ' ';
    const float ty = screen_coords ? text_baseline_row() - y : y;
    freetype::print(FONTS.get_Font(font_nr, size), x, ty, "%s", text);
    glColor3d(1, 1, 1);
}
