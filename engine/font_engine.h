// The font table: up to 10 named TrueType fonts, each rendered at every size
// from 6 to 23 pixels, loaded from a font list file. Labels fetch a rendered
// font with get_Font and print with freetype::print.
#pragma once

#include <cstddef>
#include <cstdio>

#include "engine/freetype.h"

/// Fonts a FONT_ENGINE holds.
constexpr int FONT_ENGINE_FONTS = 10;
/// Entries per font in the table; sizes FONT_SIZE_MIN..FONT_SIZE_MAX are rendered.
constexpr int FONT_ENGINE_SIZES = 24;
constexpr int FONT_SIZE_MIN = 6;    ///< smallest rendered size, pixels
constexpr int FONT_SIZE_MAX = 23;   ///< largest rendered size, pixels
/// Size of a font name, terminator included.
constexpr int FONT_NAME_SIZE = 80;

/// Named fonts at sizes 6..23.
class FONT_ENGINE {
public:
    char font_names[FONT_ENGINE_FONTS][FONT_NAME_SIZE];                   ///< name of each font, load order
    freetype::font_data font_table[FONT_ENGINE_FONTS][FONT_ENGINE_SIZES];  ///< [font][size in pixels]
    int font_count;                                                       ///< fonts loaded, 0..10

    /// An empty engine.
    FONT_ENGINE();
    /// An engine with every font of the font list file at path.
    explicit FONT_ENGINE(const char* path);
    /// Clean_Fonts.
    ~FONT_ENGINE();
    FONT_ENGINE(const FONT_ENGINE&) = delete;
    FONT_ENGINE& operator=(const FONT_ENGINE&) = delete;

    /// Replaces the fonts with those of a font list file: two header tokens,
    /// then "name path" pairs up to a name END, a path beginning with '#', or
    /// the end of the file. A list that cannot be opened ends the process
    /// (status -1); a font whose file FreeType cannot read is reported and skipped.
    void Load_Fonts(const char* path);
    /// Load_Fonts on a font list held in memory (size bytes at data).
    void Load_Fonts_Text(const char* data, std::size_t size);
    /// Adds the TrueType file as the next font, rendered at sizes 6..23.
    /// FreeType failures throw std::runtime_error and add nothing; an eleventh
    /// font is refused with a message.
    FONT_ENGINE& load_TTF(const char* file);
    /// A copy of entry [font][size]; an empty entry (which draws nothing) for a
    /// font not loaded or a size outside 6..23.
    freetype::font_data get_Font(int font, int size) const;
    /// Releases every rendered font; no fonts afterwards.
    void Clean_Fonts();

private:
    /// Reads the fonts of the open font list f (see Load_Fonts).
    void read_font_list(std::FILE* f);
};

/// The program's font table, empty until fonts are loaded into it.
extern FONT_ENGINE FONTS;
