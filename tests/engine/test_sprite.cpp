// The object model without a display: names and ids, the hit and overlap
// tests, keypad zones and the change detection that decides what is redrawn;
// and the software blitter's pixel rules on plain SDL surfaces.
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/blitter.h"
#include "engine/sprite.h"

TEST(EngineObjects, IdsAndNamingRules) {
    KEL_ENGINE a, b, c;
    EXPECT_EQ(b.id, a.id + 1);
    EXPECT_EQ(c.id, b.id + 1);
    char expected[80];
    std::snprintf(expected, sizeof expected, "ITEM_%20lu", b.id);
    EXPECT_STREQ(b.NAME, expected);
    EXPECT_EQ(std::string(b.ID_NAME), "");

    BASE p(1, 2, 3, "given");
    std::snprintf(expected, sizeof expected, "BASE_ITEM_%20lu", p.id);
    EXPECT_STREQ(p.NAME, expected);  // the given name does not survive

    b.set_NAME(nullptr);
    std::snprintf(expected, sizeof expected, "DEFAULT_ITEM_%20lu", b.id);
    EXPECT_STREQ(b.NAME, expected);

    const std::string long_name(200, 'n');
    b.set_NAME(long_name.c_str());
    EXPECT_EQ(std::strlen(b.NAME), 79u);  // cut, still terminated

    SPRITE s("KNOB", 5, 6, 0, 0, 0, 1.0f, 0, 255);
    EXPECT_STREQ(s.NAME, "KNOB");
    EXPECT_STREQ(s.SPR_NAME, "KNOB");
    EXPECT_STREQ(s.MASK_NAME, "");
    SPRITE unnamed(nullptr, 0, 0, 0, 0, 0, 1.0f, 0, 255);
    EXPECT_STREQ(unnamed.SPR_NAME, "");
}

TEST(EngineObjects, PointsBoxesAndZones) {
    EXPECT_TRUE(BASE(0, 0, 0) == BASE(1.9f, -1.9f, 1.9f));
    EXPECT_FALSE(BASE(0, 0, 0) == BASE(0, 2, 0));

    RECTANGLE box(0, 0, 0, 10, 10, 0, nullptr);
    EXPECT_TRUE(box == BASE(0, 0, 0));
    EXPECT_TRUE(box == BASE(10, 10, 0));  // edges included
    EXPECT_FALSE(box == BASE(11, 5, 0));

    RECTANGLE right(10, 10, 0, 5, 5, 0, nullptr), far(20, 0, 0, 5, 5, 0, nullptr);
    EXPECT_TRUE(box == right);  // corners touch
    EXPECT_FALSE(box == far);

    RECTANGLE big(0, 0, 0, 100, 100, 0, nullptr);
    EXPECT_EQ(big.get_postion_in_rectangle(10, 10), 7);
    EXPECT_EQ(big.get_postion_in_rectangle(50, 50), 5);
    EXPECT_EQ(big.get_postion_in_rectangle(90, 90), 3);
    EXPECT_EQ(big.get_postion_in_rectangle(90, 10), 9);
    EXPECT_EQ(big.get_postion_in_rectangle(10, 90), 1);
    EXPECT_EQ(big.get_postion_in_rectangle(25, 50), 0);  // on a border

    // A sprite's box grows with its zoom; a sprite compared with a panel's box
    // still gets the overlap test, not a point test.
    SPRITE s("X", 100, 100, 0, 0, 0, 2.0f, 0, 255);
    s.w = 10;
    s.h = 10;
    EXPECT_TRUE(s == BASE(119, 119, 0));
    EXPECT_FALSE(s == BASE(121, 100, 0));
    RECTANGLE panel(105, 95, 0, 2, 10, 0, nullptr);
    EXPECT_TRUE(s == panel);
}

TEST(EngineObjects, ChangeDetection) {
    SPRITE s("A", 10, 20, 0, 0, 0, 1.0f, 0, 255);
    s.changed = s.dirty = 0;
    s.evolue();
    EXPECT_EQ(s.changed, 1) << "a new sprite is drawn at least once";
    s.changed = s.dirty = 0;
    s.evolue();
    EXPECT_EQ(s.changed, 0) << "nothing moved";

    struct CASE { const char* what; void (*change)(SPRITE&); };
    const CASE cases[] = {
        {"angle", [](SPRITE& t) { t.Angle += 1; }},
        {"pointer", [](SPRITE& t) { t.touched = 1; }},
        {"alpha", [](SPRITE& t) { t.Alpha = 10; }},
        {"x", [](SPRITE& t) { t.x += 3; }},
        {"picture", [](SPRITE& t) { t.set_sprite_NAME("B"); }},
    };
    for (const auto& c : cases) {
        c.change(s);
        s.changed = s.dirty = 0;
        s.evolue();
        EXPECT_EQ(s.changed, 1) << c.what;
        EXPECT_EQ(s.dirty, 1) << c.what;
        s.changed = s.dirty = 0;
        s.evolue();
        EXPECT_EQ(s.changed, 0) << c.what << " settles";
    }

    EXPECT_EQ(s.set_sprite_NAME("B"), 0);
    EXPECT_EQ(s.changed, 0);

    s.x = 10.5f;  // a non-integral coordinate never matches its integer cache
    for (int i = 0; i < 3; i++) {
        s.changed = 0;
        s.evolue();
        EXPECT_EQ(s.changed, 1);
    }
}

namespace {
SDL_Surface* surface32(int w, int h) {
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF, 0xFF00, 0xFF0000, 0);
}
uint32_t word_at(SDL_Surface* s, int x, int y) {
    uint32_t v;
    std::memcpy(&v, static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 4, 4);
    return v;
}
void set_word(SDL_Surface* s, int x, int y, uint32_t v) {
    std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 4, &v, 4);
}
}  // namespace

TEST(SoftwareBlitter, PixelRules) {
    SDL_Surface* dst = surface32(8, 8);
    SDL_Surface* src = surface32(4, 4);
    ClearScreen(dst, 0, 0, 0);
    EXPECT_EQ(word_at(dst, 7, 7), 0xFF000000u);

    // Additive: each colour byte saturates, the destination's top byte stays.
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) set_word(src, x, y, 0x00C08040u);
    set_word(dst, 1, 1, 0x12808080u);
    KEL_Ultra_Blit(dst, src, nullptr, 1, 1, true, false, 0, 255, 255, true);
    EXPECT_EQ(word_at(dst, 1, 1), 0x12FFFFC0u);

    // Copy: red and blue bytes exchange, top byte cleared; the keyed pixel is
    // skipped whatever its top byte; the blit is clipped at the right and
    // bottom edges (an unclipped copy would write past the surface).
    set_word(src, 0, 0, 0xFFFF00FFu);
    set_word(src, 1, 0, 0x44112233u);
    ClearScreen(dst, 0, 0, 0);
    KEL_Ultra_Blit(dst, src, nullptr, 6, 6, false, true, 0x00FF00FF, 0, 0, true);
    EXPECT_EQ(word_at(dst, 6, 6), 0xFF000000u);
    EXPECT_EQ(word_at(dst, 7, 6), 0x00332211u);
    KEL_Ultra_Blit(dst, src, nullptr, -3, -3, false, false, 0, 0, 0, true);
    EXPECT_EQ(word_at(dst, 0, 0), 0x004080C0u);  // source pixel (3, 3), exchanged

    // The value form of putpixel only writes rows 1..799 inside the surface.
    ClearScreen(dst, 0, 0, 0);
    putpixel(dst, 2, 0, 0x123456u);
    EXPECT_EQ(word_at(dst, 2, 0), 0xFF000000u);
    putpixel(dst, 2, 1, 0x123456u);
    EXPECT_EQ(word_at(dst, 2, 1), 0x123456u);
    putpixel(dst, 100, 1, 0x123456u);  // outside: ignored
    EXPECT_EQ(getpixel(dst, 100, 1), 0u);

    // Bresenham from (0, 0) to (3, 1).
    ClearScreen(dst, 0, 0, 0);
    SDL_Surface* line = surface32(8, 8);
    ClearScreen(line, 0, 0, 0);
    draw_line(line, 0, 1, 3, 2, nullptr);  // one row down: row 0 is never written
    int lit = 0;
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) lit += word_at(line, x, y) == 0xFFFFFFu;
    EXPECT_EQ(lit, 4);
    EXPECT_EQ(word_at(line, 0, 1), 0xFFFFFFu);
    EXPECT_EQ(word_at(line, 1, 1), 0xFFFFFFu);
    EXPECT_EQ(word_at(line, 2, 2), 0xFFFFFFu);
    EXPECT_EQ(word_at(line, 3, 2), 0xFFFFFFu);
    draw_line(line, -50, -50, 50, 50, nullptr);  // runs off the surface without harm

    SDL_FreeSurface(line);
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
}

TEST(SoftwareBlitter, TablesAndCurves) {
    EXPECT_EQ(xoffset[2 * XOFFSET_COLUMNS + 10], 30);  // 3 bytes per pixel, column 10
    EXPECT_EQ(SUBMASK[255 * 256 + 77], 77);
    EXPECT_EQ(SUBMASK[0 * 256 + 200], 0);
    EXPECT_EQ(SUBMASK[128 * 256 + 128], 64);

    const double pts[3] = {0, 10, 20};  // evenly spaced: the curve is the line
    EXPECT_DOUBLE_EQ(evaluateBezier(pts, 3, 1.5), 10.0);
    EXPECT_DOUBLE_EQ(evaluateBezier(pts, 3, -1), 0.0);
    EXPECT_DOUBLE_EQ(evaluateBezier(pts, 3, 3), 20.0);
    EXPECT_DOUBLE_EQ(evaluateBezier(nullptr, 0, 0.5), 0.0);
    const int16_t xs[3] = {0, 5, 10}, ys[3] = {0, 5, 0};
    EXPECT_EQ(bezierColor2(nullptr, xs, ys, 2, 4, 0), -1);
    EXPECT_EQ(bezierColor2(nullptr, xs, ys, 3, 1, 0), -1);
    EXPECT_EQ(bezierColor2(nullptr, xs, ys, 3, 4, 0), 0);
}
