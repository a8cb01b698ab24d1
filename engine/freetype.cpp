#include "engine/freetype.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include FT_GLYPH_H

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "engine/gl_context.h"

namespace freetype {

namespace {

// Owner that gives a glyph back however make_dlist ends.
struct GlyphHold {
    FT_Glyph glyph = nullptr;
    ~GlyphHold() {
        if (glyph != nullptr) FT_Done_Glyph(glyph);
    }
};

/// Coverage 0..255 of pixel (i, j) of a glyph bitmap, row 0 at the top whatever
/// the direction its rows are stored in.
unsigned char coverage(const FT_Bitmap& b, int i, int j) {
    const int stride = b.pitch < 0 ? -b.pitch : b.pitch;
    const int row = b.pitch < 0 ? static_cast<int>(b.rows) - 1 - j : j;
    const unsigned char* p = b.buffer + static_cast<long>(row) * stride;
    switch (b.pixel_mode) {
    case FT_PIXEL_MODE_GRAY:
        return p[i];
    case FT_PIXEL_MODE_MONO:
        return ((p[i >> 3] >> (7 - (i & 7))) & 1) ? 255 : 0;
    default:
        return 0;  // no other mode comes out of normal rendering of an outline
    }
}

}  // namespace

int next_p2(int a) {
    int rval = 1;
    while (rval < a && rval < (1 << 30)) rval <<= 1;
    return rval;
}

// ---------------------------------------------------------------- font_data

font_file::font_file(const char* fname) {
    if (FT_Init_FreeType(&library_) != 0) {
        library_ = nullptr;
        throw std::runtime_error("FT_Init_FreeType failed");
    }
    if (fname == nullptr || FT_New_Face(library_, fname, 0, &face_) != 0) {
        face_ = nullptr;
        FT_Done_FreeType(library_);
        throw std::runtime_error("FT_New_Face failed (there is probably a problem with your font file)");
    }
}

font_file::~font_file() {
    FT_Done_Face(face_);
    FT_Done_FreeType(library_);
}

void font_data::init(const char* fname, unsigned int h) {
    clean();
    const font_file file(fname);
    init(file, h);
}

void font_data::init(const font_file& file, unsigned int h) {
    clean();
    height = static_cast<float>(h);
    FT_Face face = file.face();
    // 26.6 fixed point at 96 dpi both ways.
    FT_Set_Char_Size(face, static_cast<FT_F26Dot6>(h) * 64, static_cast<FT_F26Dot6>(h) * 64, 96, 96);
    if (!gl_context_ready()) return;  // named and sized, but nothing drawable without a context

    first_list = glGenLists(FONT_CHARACTERS);
    if (first_list == 0) return;
    char_textures = new unsigned[FONT_CHARACTERS];
    glGenTextures(FONT_CHARACTERS, char_textures);
    short* widths = new short[FONT_CHARACTERS];
    advances = widths;
    try {
        for (int c = 0; c < FONT_CHARACTERS; c++)
            widths[c] = static_cast<short>(make_dlist(face, static_cast<unsigned char>(c), first_list, char_textures));
    } catch (...) {
        clean();
        throw;
    }
}

void font_data::clean() {
    // Without a context (never made, or gone at exit) there is nothing to delete.
    if (gl_context_ready()) {
        if (first_list != 0) glDeleteLists(first_list, FONT_CHARACTERS);
        if (char_textures != nullptr) glDeleteTextures(FONT_CHARACTERS, char_textures);
    }
    delete[] char_textures;
    char_textures = nullptr;
    delete[] advances;
    advances = nullptr;
    first_list = 0;
    height = 0.0f;
}

// ---------------------------------------------------------------- one glyph

int make_dlist(FT_Face face, unsigned char ch, unsigned list_base, unsigned* tex_base) {
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, ch), FT_LOAD_DEFAULT) != 0)
        throw std::runtime_error("FT_Load_Glyph failed");
    GlyphHold hold;
    if (FT_Get_Glyph(face->glyph, &hold.glyph) != 0) throw std::runtime_error("FT_Get_Glyph failed");
    if (FT_Glyph_To_Bitmap(&hold.glyph, FT_RENDER_MODE_NORMAL, nullptr, 1) != 0)
        throw std::runtime_error("FT_Glyph_To_Bitmap failed");
    const FT_BitmapGlyph glyph = reinterpret_cast<FT_BitmapGlyph>(hold.glyph);
    const FT_Bitmap& bitmap = glyph->bitmap;
    const int width = static_cast<int>(bitmap.width);
    const int rows = static_cast<int>(bitmap.rows);

    // Power-of-two texture, luminance and alpha both the coverage; an empty
    // glyph (the space) gets a 1 x 1 blank texture and still advances.
    const int tw = next_p2(width);
    const int th = next_p2(rows);
    std::vector<GLubyte> image(static_cast<std::size_t>(2) * tw * th, 0);
    for (int j = 0; j < rows; j++) {
        for (int i = 0; i < width; i++) {
            const unsigned char v = coverage(bitmap, i, j);
            image[2 * (i + j * tw)] = v;
            image[2 * (i + j * tw) + 1] = v;
        }
    }
    glBindTexture(GL_TEXTURE_2D, tex_base[ch]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    // Rows of 2-byte pixels, 1 or 2 pixels wide, are not 4-byte aligned.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, tw, th, 0, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, image.data());
    glPopClientAttrib();

    const float tx = static_cast<float>(width) / tw;
    const float ty = static_cast<float>(rows) / th;
    glNewList(list_base + ch, GL_COMPILE);
    glBindTexture(GL_TEXTURE_2D, tex_base[ch]);
    glPushMatrix();
    glTranslatef(static_cast<float>(glyph->left), 0, 0);
    glTranslatef(0, static_cast<float>(glyph->top - rows), 0);
    glBegin(GL_QUADS);
    glTexCoord2d(0, 0);
    glVertex2f(0, static_cast<float>(rows));
    glTexCoord2d(0, ty);
    glVertex2f(0, 0);
    glTexCoord2d(tx, ty);
    glVertex2f(static_cast<float>(width), 0);
    glTexCoord2d(tx, 0);
    glVertex2f(static_cast<float>(width), static_cast<float>(rows));
    glEnd();
    glPopMatrix();
    const int advance = static_cast<int>(face->glyph->advance.x >> 6);
    glTranslatef(static_cast<float>(advance), 0, 0);
    glEndList();
    return advance;
}

// ---------------------------------------------------------------- printing

void pushScreenCoordinateMatrix() {
    glPushAttrib(GL_TRANSFORM_BIT);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(viewport[0], viewport[2], viewport[1], viewport[3]);
    glPopAttrib();
}

void pop_projection_matrix() {
    glPushAttrib(GL_TRANSFORM_BIT);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}

int text_width(const font_data& ft_font, const char* text) {
    if (ft_font.advances == nullptr || text == nullptr) return 0;
    int width = 0;
    for (const char* p = text; *p != '\0' && *p != '\n'; p++) {
        const unsigned char c = static_cast<unsigned char>(*p);
        width += ft_font.advances[c < FONT_CHARACTERS ? c : '?'];
    }
    return width;
}

void print(const font_data& ft_font, float x, float y, const char* fmt, ...) {
    if (ft_font.first_list == 0 || ft_font.char_textures == nullptr || !gl_context_ready()) return;
    char text[16384];
    text[0] = '\0';
    if (fmt != nullptr) {
        va_list ap;
        va_start(ap, fmt);
        std::vsnprintf(text, sizeof text, fmt, ap);
        va_end(ap);
    }
    print_scaled(ft_font, x, y, 1.0f, text);
}

void print_scaled(const font_data& ft_font, float x, float y, float scale, const char* source) {
    if (ft_font.first_list == 0 || ft_font.char_textures == nullptr || !gl_context_ready() || source == nullptr) return;
    char text[16384];
    std::snprintf(text, sizeof text, "%s", source);
    // Only codes 0..127 have display lists.
    for (char* p = text; *p != '\0'; p++)
        if (static_cast<unsigned char>(*p) >= FONT_CHARACTERS) *p = '?';
    // Glyph quads are whole pixels from the start: a start between pixels
    // would sample every glyph between its texels and thin strokes vanish.
    x = std::round(x);
    y = std::round(y);

    pushScreenCoordinateMatrix();
    const float line_height = ft_font.height / 0.63f * scale;
    glPushAttrib(GL_LIST_BIT | GL_CURRENT_BIT | GL_ENABLE_BIT | GL_TRANSFORM_BIT);
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glListBase(ft_font.first_list);
    const char* line = text;
    for (int i = 0;; i++) {
        const char* end = line;
        while (*end != '\0' && *end != '\n') end++;
        glPushMatrix();
        glLoadIdentity();
        glTranslatef(x, std::round(y - line_height * i), 0);
        if (scale != 1.0f) glScalef(scale, scale, 1);
        glCallLists(static_cast<GLsizei>(end - line), GL_UNSIGNED_BYTE, line);
        glPopMatrix();
        if (*end == '\0') break;
        line = end + 1;
    }
    glPopAttrib();
    pop_projection_matrix();
}

}  // namespace freetype
