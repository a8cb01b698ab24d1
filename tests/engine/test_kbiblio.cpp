// The image library without a display: KIM files cut into tiles from pictures
// the tests draw themselves, where the reading stops, the exits, and how names
// and indices behave when the table fills, entries are replaced or removed.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/kbiblio.h"
#include "synth/exit.h"
#include "tests/temp_path.h"

namespace {

struct KimExit {
    int status;
};

[[noreturn]] void throw_kim_exit(int status) { throw KimExit{status}; }

// The sheet used throughout: 2 rows x 3 columns of 32 x 16 tiles with 2 pixels
// between columns and 1 between rows, so 100 x 33 pixels. Tile (r, c) is one
// flat colour; the gaps are white.
constexpr int kTileW = 32, kTileH = 16, kRows = 2, kCols = 3, kGapX = 2, kGapY = 1;
constexpr int kSheetW = kCols * kTileW + (kCols - 1) * kGapX;
constexpr int kSheetH = kRows * kTileH + (kRows - 1) * kGapY;

/// Colour of tile (r, c) as 0xRRGGBB.
int tile_rgb(int r, int c) { return ((40 + 60 * c) << 16) | ((30 + 100 * r) << 8) | (10 + 20 * (r * kCols + c)); }

void fill(SDL_Surface* s, int x, int y, int w, int h, int rgb) {
    SDL_Rect rect{Sint16(x), Sint16(y), Uint16(w), Uint16(h)};
    SDL_FillRect(s, &rect, SDL_MapRGB(s->format, Uint8(rgb >> 16), Uint8(rgb >> 8), Uint8(rgb)));
}

/// The sheet as a BMP of the given depth (8: a palette of the colours used).
std::string write_sheet(const std::string& name, int bits) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, kSheetW, kSheetH, bits, 0, 0, 0, 0);
    std::vector<SDL_Color> palette{SDL_Color{255, 255, 255, 0}};
    for (int n = 0; n < kRows * kCols; n++) {
        const int rgb = tile_rgb(n / kCols, n % kCols);
        palette.push_back(SDL_Color{Uint8(rgb >> 16), Uint8(rgb >> 8), Uint8(rgb), 0});
    }
    if (bits == 8) SDL_SetColors(s, palette.data(), 0, static_cast<int>(palette.size()));
    fill(s, 0, 0, kSheetW, kSheetH, 0xFFFFFF);
    for (int r = 0; r < kRows; r++)
        for (int c = 0; c < kCols; c++)
            fill(s, c * (kTileW + kGapX), r * (kTileH + kGapY), kTileW, kTileH, tile_rgb(r, c));
    const std::string path = test_temp_path(name);
    SDL_SaveBMP(s, path.c_str());
    SDL_FreeSurface(s);
    return path;
}

std::string write_text(const std::string& name, const std::string& text) {
    const std::string path = test_temp_path(name);
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(text.c_str(), f);
    std::fclose(f);
    return path;
}

/// Replaces every "@" in text by the temp folder prefix of this process.
std::string with_paths(std::string text) {
    const std::string prefix = test_temp_path("");
    for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + prefix.size()))
        text.replace(at, 1, prefix);
    return text;
}

/// Colour of pixel (x, y) as 0xRRGGBB.
int colour_at(SDL_Surface* s, int x, int y) {
    SDL_LockSurface(s);
    const Uint8* p = static_cast<const Uint8*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    Uint32 v = 0;
    for (int i = 0; i < s->format->BytesPerPixel; i++) v |= Uint32(p[i]) << (8 * i);  // little endian
    SDL_UnlockSurface(s);
    Uint8 r, g, b;
    SDL_GetRGB(v, s->format, &r, &g, &b);
    return (r << 16) | (g << 8) | b;
}

class Kim : public ::testing::Test {
protected:
    void SetUp() override {
        previous = set_exit_handler(throw_kim_exit);
        write_sheet("sheet.bmp", 24);
        SDL_Surface* one = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 3, 24, 0, 0, 0, 0);
        SDL_SaveBMP(one, test_temp_path("a.bmp").c_str());
        SDL_FreeSurface(one);
    }
    void TearDown() override {
        lib.release_all();
        set_exit_handler(previous);
    }
    void load(const std::string& kim_text) {
        ::testing::internal::CaptureStdout();
        lib.load_KIM(write_text("lib.KIM", with_paths(kim_text)).c_str());
        said = ::testing::internal::GetCapturedStdout();
    }
    std::vector<std::string> names() const {
        std::vector<std::string> v;
        for (int i = 0; i < lib.image_count; i++) v.push_back(lib.names[i]);
        return v;
    }
    KBIBLIO lib;
    exit_handler previous = nullptr;
    std::string said;
};

// ---------------------------------------------------------------- tiles

class KimSheetDepth : public ::testing::TestWithParam<int> {};

TEST_P(KimSheetDepth, SheetIsCutRowMajorIntoColourExactTiles) {
    const std::string sheet = write_sheet("depth_sheet.bmp", GetParam());
    const std::string kim = write_text("depth.KIM", "IMAGES V1\nKNOB " + sheet + " TILES 32 16 2 3 2 1\nEND\n");
    KBIBLIO lib(kim.c_str());
    ASSERT_EQ(lib.image_count, 6);
    EXPECT_EQ(lib.get_index_image("KNOB_6"), -1);
    for (int n = 0; n < 6; n++) {
        const std::string name = "KNOB_" + std::to_string(n);
        SDL_Surface* tile = lib.get_image(name.c_str());
        ASSERT_NE(tile, nullptr) << name;
        EXPECT_EQ(lib.get_index_image(name.c_str()), n);
        EXPECT_EQ(tile->w, kTileW);
        EXPECT_EQ(tile->h, kTileH);
        const int want = tile_rgb(n / kCols, n % kCols);
        EXPECT_EQ(colour_at(tile, 0, 0), want) << name;
        EXPECT_EQ(colour_at(tile, kTileW - 1, kTileH - 1), want) << name;
    }
    // KNOB_4 is the tile whose corner is (34, 17): row 1, column 1.
    EXPECT_EQ(colour_at(lib.get_image("KNOB_4"), 5, 5), tile_rgb(1, 1));
    lib.release_all();
}

INSTANTIATE_TEST_SUITE_P(Kim, KimSheetDepth, ::testing::Values(8, 24));

// ---------------------------------------------------------------- reading

struct ReadCase {
    const char* label;
    const char* text;                 // "@" is the temp folder prefix
    std::vector<std::string> stored;  // names, in index order
    const char* message;              // part of what is printed, or ""
};

class KimReading : public Kim, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(KimReading, StoresWhatTheRecordsAllow) {
    load(GetParam().text);
    EXPECT_EQ(names(), GetParam().stored);
    EXPECT_NE(said.find(GetParam().message), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(
    Kim, KimReading,
    ::testing::Values(
        ReadCase{"HeaderThenEnd", "IMAGES V1 END A @a.bmp SIMPLEPART", {}, ""},
        ReadCase{"HashPathStops", "H H A @a.bmp SIMPLEPART B #x SIMPLEPART C @a.bmp SIMPLEPART END", {"A"}, ""},
        ReadCase{"EndOfFileWithoutEnd", "H H A @a.bmp SIMPLEPART B @sheet.bmp T 32 16 1 2 2 1", {"A", "B_0", "B_1"},
                 ""},
        ReadCase{"NumberThatIsNotOne", "H H A @a.bmp SIMPLEPART B @sheet.bmp T 32 x 1 1 0 0 C @a.bmp SIMPLEPART",
                 {"A"}, ""},
        ReadCase{"ExistingNameKeptOnce", "H H A @a.bmp SIMPLEPART A @sheet.bmp SIMPLEPART END", {"A"}, ""},
        ReadCase{"UnreadableSheetSkippedSilently", "H H S @none.bmp T 32 16 1 1 0 0 A @a.bmp SIMPLEPART END",
                 {"A"}, ""},
        ReadCase{"BadSheetCountsSkipped",
                 "H H S @sheet.bmp T 0 16 2 3 2 1 R @sheet.bmp T 32 16 -1 3 2 1 C @sheet.bmp T 32 16 2 0 2 1 "
                 "A @a.bmp SIMPLEPART END",
                 {"A"},
                 "Sheet [R] skipped"},
        // 3 x 4 tiles asked of a sheet that holds 2 x 3: the rest reach outside
        // it; tile numbers still count the missing columns.
        ReadCase{"TilesOutsideThePictureLeftOut",
                 "H H K @sheet.bmp T 32 16 3 4 2 1 END",
                 {"K_0", "K_1", "K_2", "K_4", "K_5", "K_6"},
                 "tiles reaching outside"},
        ReadCase{"NegativeGapsStayInside", "H H K @sheet.bmp T 32 16 1 3 -40 0 END", {"K_0"},
                 "tiles reaching outside"}),
    [](const ::testing::TestParamInfo<ReadCase>& i) { return std::string(i.param.label); });

TEST_F(Kim, UnreadableKimFileOrSimplepartPictureEndsTheProgram) {
    const struct {
        std::string path;
        const char* message;
    } cases[] = {
        {test_temp_path("no_such.KIM"), "Impossible d'ouvrir ["},
        {write_text("missing.KIM", with_paths("H H A @a.bmp SIMPLEPART B @gone.png SIMPLEPART END")),
         "Erreur au de chargement simplepart ["},
    };
    for (const auto& c : cases) {
        ::testing::internal::CaptureStdout();
        int status = 0;
        try {
            lib.load_KIM(c.path.c_str());
        } catch (const KimExit& e) {
            status = e.status;
        }
        said = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, -1) << c.path;
        EXPECT_NE(said.find(c.message), std::string::npos) << said;
    }
}

// ---------------------------------------------------------------- names and indices

TEST_F(Kim, FullTableRefusesTheNextImageAndKeepsTheRest) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 2, 2, 24, 0, 0, 0, 0);
    for (int i = 0; i < KBIBLIO_CAPACITY; i++)
        ASSERT_EQ(lib.add_image(("IMG_" + std::to_string(i)).c_str(), s, 2, 2), 1);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(lib.add_image("ONE_TOO_MANY", s, 2, 2), 0);
    EXPECT_EQ(lib.load_image_and_store_it(s, "ONE_TOO_MANY"), 0);
    said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("[ONE_TOO_MANY] not stored"), std::string::npos) << said;
    EXPECT_EQ(lib.image_count, KBIBLIO_CAPACITY);
    EXPECT_EQ(lib.get_index_image("ONE_TOO_MANY"), -1);
    EXPECT_EQ(lib.add_image("IMG_399", s, 2, 2), 1);  // replacing still works
    EXPECT_EQ(lib.get_index_image("IMG_399"), 399);
}

TEST_F(Kim, IndicesStayWithTheirImages) {
    SDL_Surface* first = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 24, 0, 0, 0, 0);
    SDL_Surface* second = SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 2, 24, 0, 0, 0, 0);
    SDL_Surface* other = SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 24, 0, 0, 0, 0);
    lib.add_image("KNOB", first, 4, 4);
    lib.add_image("knob", other, 1, 1);  // names are case-sensitive
    lib.add_image("LED", other, 1, 1);
    EXPECT_EQ(lib.get_index_image("knob"), 1);

    lib.add_image("KNOB", second, 8, 2);  // replaced in place; the library frees first
    EXPECT_EQ(lib.get_index_image("KNOB"), 0);
    EXPECT_EQ(lib.get_image("KNOB"), second);
    EXPECT_EQ(lib.widths[0], 8);
    EXPECT_EQ(lib.heights[0], 2);

    SDL_Surface* spare = SDL_CreateRGBSurface(SDL_SWSURFACE, 2, 2, 24, 0, 0, 0, 0);
    EXPECT_EQ(lib.load_image_and_store_it(spare, "LED"), 3);  // an existing name: nothing stored
    EXPECT_EQ(lib.get_image("LED"), other);
    EXPECT_EQ(lib.load_image_and_store_it(static_cast<SDL_Surface*>(nullptr), "NULL"), 0);

    EXPECT_EQ(lib.remove_image("knob"), 1);
    EXPECT_EQ(lib.remove_image("knob"), -1);
    EXPECT_EQ(lib.get_index_image("knob"), -1);
    EXPECT_EQ(lib.get_index_image("LED"), 2);
    lib.add_image("knob", other, 1, 1);  // a fresh entry, never the removed one
    EXPECT_EQ(lib.get_index_image("knob"), 3);
    lib.add_image(nullptr, other, 1, 1);
    EXPECT_EQ(lib.get_index_image(""), 4);
    EXPECT_EQ(lib.image_count, 5);

    for (int i = -1; i <= 5; i++) EXPECT_EQ(lib.get_texture(i), 0u) << i;  // no GL context here
    EXPECT_EQ(lib.refresh_GLimage("NOT_THERE"), 0);
    SDL_FreeSurface(spare);
}

}  // namespace
