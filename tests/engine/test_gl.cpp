// The GL renderer on a real X server (Xvfb, Mesa's llvmpipe): pictures keep
// their colours through the upload whatever their pixel format, text leaves ink
// where it is printed, a turned sprite covers its turned box, and cables sag.
#include <GL/gl.h>
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "engine/display.h"
#include "engine/draw.h"
#include "engine/font_engine.h"
#include "engine/freetype.h"
#include "engine/globals.h"
#include "engine/kbiblio.h"
#include "engine/sprite.h"
#include "tests/xvfb.h"

namespace {
constexpr int W = 320, H = 240;
const char* const SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class GlDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(shared_xvfb().display().empty()) << "Xvfb did not start";
        initGL(W, H, "", nullptr);
        OrthoMode(0, 0, W, H);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    void TearDown() override { PerspectiveMode(); }

    // Colour of window pixel (x, y), y counted from the top.
    static std::array<int, 3> pixel(int x, int y) {
        unsigned char p[4] = {};
        glReadPixels(x, H - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2]};
    }
    static bool ink(int x, int y) {
        const auto p = pixel(x, y);
        return p[0] + p[1] + p[2] > 200;
    }
};

// A size x size picture of one colour in the given pixel format.
SDL_Surface* plain(int bpp, Uint32 rmask, Uint32 gmask, Uint32 bmask, int r, int g, int b) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 64, bpp, rmask, gmask, bmask, 0);
    if (bpp == 8) {
        SDL_Color palette[2] = {{0, 0, 0, 0}, {(Uint8)r, (Uint8)g, (Uint8)b, 0}};
        SDL_SetColors(s, palette, 0, 2);
    }
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, (Uint8)r, (Uint8)g, (Uint8)b));
    return s;
}

void draw_sprite(const char* image, int x, int y, int angle = 0) {
    SPRITE s(image, x, y, 0, 0, 0, 1.0f, angle, 255);
    s.blit(nullptr);
}
}  // namespace

TEST_F(GlDrawing, PicturesKeepTheirColoursAfterFontsAreLoaded) {
    // The font takes texture names of its own first: pictures must not land on them.
    FONTS.load_TTF(const_cast<char*>(SANS));
    auto* lib = bibliotheque_graphique;
    lib->add_image("RED24", plain(24, 0xFF, 0xFF00, 0xFF0000, 255, 0, 0), 64, 64);
    lib->add_image("GREEN32", plain(32, 0xFF0000, 0xFF00, 0xFF, 0, 255, 0), 64, 64);
    lib->add_image("BLUE8", plain(8, 0, 0, 0, 0, 0, 255), 64, 64);
    draw_sprite("RED24", 0, 0);
    draw_sprite("GREEN32", 100, 0);
    draw_sprite("BLUE8", 200, 0);
    const int row = 32 + SPRITE_Y_SHIFT;
    EXPECT_EQ(pixel(32, row), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(pixel(132, row), (std::array<int, 3>{0, 255, 0}));
    EXPECT_EQ(pixel(232, row), (std::array<int, 3>{0, 0, 255}));

    // A font printed after the pictures still writes white ink, and the
    // pictures drawn again are unchanged.
    glColor3d(1, 1, 1);
    freetype::print(FONTS.get_Font(0, 20), 10, 60, "MMM");
    EXPECT_TRUE(ink(20, H - 60 - 5) || ink(25, H - 60 - 7));
    draw_sprite("RED24", 0, 0);
    EXPECT_EQ(pixel(32, row), (std::array<int, 3>{255, 0, 0}));
    FONTS.Clean_Fonts();
}

TEST_F(GlDrawing, TextInkAndLineStep) {
    FONTS.load_TTF(const_cast<char*>(SANS));
    const freetype::font_data font = FONTS.get_Font(0, 20);
    glColor3d(1, 1, 1);
    const float x = 50, base = 150;  // window pixels, y up from the bottom
    freetype::print(font, x, base, "I\nI");
    // Rows (from the top) of the first and last ink in the column band of the glyph.
    auto ink_rows = [&](int from, int to) {
        int first = -1, last = -1;
        for (int y = from; y < to; y++)
            for (int xx = (int)x; xx < (int)x + 15; xx++)
                if (ink(xx, y)) {
                    if (first < 0) first = y;
                    last = y;
                }
        return std::make_pair(first, last);
    };
    const int baseline_row = H - (int)base;  // 90
    const auto line1 = ink_rows(0, baseline_row + 3);
    ASSERT_GE(line1.first, 0) << "no ink for the first line";
    EXPECT_NEAR(line1.second, baseline_row, 2) << "the capital stands on the baseline";
    EXPECT_GT(line1.second - line1.first, 10) << "a 20-pixel capital is at least 10 pixels tall";
    const auto line2 = ink_rows(baseline_row + 3, H);
    ASSERT_GE(line2.first, 0) << "no ink for the second line";
    EXPECT_NEAR(line2.second - line1.second, 20 / 0.63, 1.5);

    // A font that was never loaded draws nothing; codes past 127 draw as '?'.
    glClear(GL_COLOR_BUFFER_BIT);
    freetype::print(FONTS.get_Font(7, 20), x, base, "III");
    EXPECT_LT(ink_rows(0, H).first, 0);
    freetype::print(font, x, base, "%s", "\xC3\xA9");
    EXPECT_GE(ink_rows(0, H).first, 0);
    FONTS.Clean_Fonts();
}

TEST_F(GlDrawing, CaptionsShrinkThenEndInDots) {
    FONTS.load_TTF(const_cast<char*>(SANS));
    auto width = [](const char* text, int size) { return freetype::text_width(FONTS.get_Font(0, size), text); };
    char text[800] = "VCO LFO SLOW";
    // Room enough: unchanged.
    EXPECT_EQ(fit_caption(text, 0, 8, width(text, 8)), 8);
    EXPECT_STREQ(text, "VCO LFO SLOW");
    // A little short: a smaller size that fits.
    const int size = fit_caption(text, 0, 8, width(text, 8) - 4);
    EXPECT_LT(size, 8);
    EXPECT_GE(size, CAPTION_MIN_SIZE);
    EXPECT_LE(width(text, size), width("VCO LFO SLOW", 8) - 4);
    EXPECT_STREQ(text, "VCO LFO SLOW");
    // Far too short: the smallest size, cut, ending in "..".
    EXPECT_EQ(fit_caption(text, 0, 8, 40), CAPTION_MIN_SIZE);
    EXPECT_LE(width(text, CAPTION_MIN_SIZE), 40);
    EXPECT_STREQ(text + std::strlen(text) - 2, "..");
    EXPECT_EQ(std::strncmp(text, "VCO", 3), 0);
    FONTS.Clean_Fonts();
}

TEST_F(GlDrawing, TurnedSpriteCoversTheTurnedBox) {
    bibliotheque_graphique->add_image("BAR", plain(24, 0xFF, 0xFF00, 0xFF0000, 255, 255, 255), 64, 64);
    SDL_Surface* bar = SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 16, 24, 0xFF, 0xFF00, 0xFF0000, 0);
    SDL_FillRect(bar, nullptr, SDL_MapRGB(bar->format, 255, 255, 255));
    bibliotheque_graphique->add_image("BAR", bar, 64, 16);
    // Upright: 64 wide, 16 tall, centred on (132, 108 + shift).
    draw_sprite("BAR", 100, 100, 0);
    const int cx = 132, cy = 108 + SPRITE_Y_SHIFT;
    EXPECT_TRUE(ink(cx + 25, cy));
    EXPECT_FALSE(ink(cx, cy + 25));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_sprite("BAR", 100, 100, 90);
    EXPECT_TRUE(ink(cx, cy + 25));
    EXPECT_TRUE(ink(cx, cy - 25));
    EXPECT_FALSE(ink(cx + 25, cy));
}

TEST_F(GlDrawing, RectanglesAndCables) {
    FillRect(10, 10, 50, 30, (int)0xFF00FF00u);  // opaque: the alpha byte is unsigned
    EXPECT_EQ(pixel(30, 30), (std::array<int, 3>{0, 255, 0}));
    FillRect(10, 10, 50, 30, (int)0x80FF0000u);  // translucent red over green
    const auto mixed = pixel(30, 30);
    EXPECT_NEAR(mixed[0], 128, 3);
    EXPECT_NEAR(mixed[1], 127, 3);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_fil(nullptr, 100, 50, 200, 50, 0xFFFF00);
    // Control rows y0, y0 + y1 and y1 (plus the shift): the middle of the curve
    // hangs half the middle point's depth, 25 pixels, below the ends.
    const int end_row = 50 + SPRITE_Y_SHIFT, middle_row = end_row + 25;
    bool lit_at_middle = false;
    for (int y = middle_row - 2; y <= middle_row + 2; y++) lit_at_middle |= pixel(150, y)[0] > 200;
    EXPECT_TRUE(lit_at_middle);
    EXPECT_FALSE(ink(150, end_row)) << "the cable sags: it is not a straight line";
}
