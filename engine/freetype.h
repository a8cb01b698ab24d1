// Text through OpenGL: one TrueType font at one pixel size becomes 128 textures
// and 128 display lists, one per character code 0..127, and formatted text is
// printed by calling the lists of its characters.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

namespace freetype {

/// Characters that have a display list: codes 0 .. FONT_CHARACTERS - 1.
constexpr int FONT_CHARACTERS = 128;

/// A font file opened by FreeType, to be rendered at several sizes without
/// opening it again for each. FreeType failures throw std::runtime_error.
class font_file {
public:
    explicit font_file(const char* fname);
    ~font_file();
    font_file(const font_file&) = delete;
    font_file& operator=(const font_file&) = delete;
    FT_Face face() const { return face_; }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

/// One font rendered at one size. Copies share the textures and lists; clean()
/// of one copy releases them for all.
struct font_data {
    float height = 0.0f;                  ///< nominal height, pixels
    unsigned* char_textures = nullptr;    ///< 128 GL texture names, one per character; null when not rendered
    unsigned first_list = 0;              ///< display list of character c is first_list + c; 0 when not rendered
    /// Advance of each character, whole pixels (what its display list moves right by).
    const short* advances = nullptr;

    /// Renders the font file at height pixels. FreeType failures throw
    /// std::runtime_error. Without a GL context the file is still opened and
    /// sized (so a bad file is reported) but nothing drawable is made.
    void init(const char* fname, unsigned int h);
    /// The same with a font file already open (its face is sized to h).
    void init(const font_file& file, unsigned int h);
    /// Releases the lists and textures (GL deletes only while a context exists).
    void clean();
};

/// Renders character ch of face into texture tex_base[ch] and compiles display
/// list list_base + ch, which draws it and moves right by its advance, which
/// it returns (whole pixels).
int make_dlist(FT_Face face, unsigned char ch, unsigned list_base, unsigned* tex_base);

/// Width of one line of text as print draws it, pixels (codes 128..255 count
/// as '?'); 0 for a font never rendered.
int text_width(const font_data& ft_font, const char* text);

/// Smallest power of two >= a; 1 for a <= 1.
int next_p2(int a);

/// Saves the projection and sets one in window pixels, y up from the bottom of the viewport.
void pushScreenCoordinateMatrix();
/// Restores the projection saved by pushScreenCoordinateMatrix.
void pop_projection_matrix();

/// Prints printf-style text with its first line's baseline at window pixel (x, y),
/// in the current GL colour; each '\n' starts a line height / 0.63 pixels lower.
/// Characters 128..255 show as '?'. A font that was never rendered draws nothing.
void print(const font_data& ft_font, float x, float y, const char* fmt, ...)
    __attribute__((format(printf, 4, 5)));
/// Prints text as print does, scaled by scale about its baseline's start. The
/// start is put on a whole pixel first: text between pixels loses its thin strokes.
void print_scaled(const font_data& ft_font, float x, float y, float scale, const char* text);

}  // namespace freetype
