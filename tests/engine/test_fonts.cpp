// The font table without a display: font lists read up to their end, real
// DejaVu fonts opened by FreeType but left undrawable without a GL context,
// broken and surplus fonts, and the bounds of get_Font.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/font_engine.h"
#include "synth/exit.h"
#include "tests/temp_path.h"

namespace {

const std::string kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const std::string kMono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

struct FontExit {
    int status;
};

[[noreturn]] void throw_font_exit(int status) { throw FontExit{status}; }

std::string write_list(const std::string& text) {
    const std::string path = test_temp_path("fonts.lst");
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(text.c_str(), f);
    std::fclose(f);
    return path;
}

bool empty_entry(const freetype::font_data& f) {
    return f.height == 0.0f && f.char_textures == nullptr && f.first_list == 0;
}

class NextP2 : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(NextP2, SmallestPowerOfTwoNotBelow) { EXPECT_EQ(freetype::next_p2(GetParam().first), GetParam().second); }

INSTANTIATE_TEST_SUITE_P(Fonts, NextP2,
                         ::testing::Values(std::pair{-4, 1}, std::pair{0, 1}, std::pair{1, 1}, std::pair{2, 2},
                                           std::pair{3, 4}, std::pair{5, 8}, std::pair{64, 64}, std::pair{65, 128}));

class FontList : public ::testing::Test {
protected:
    void SetUp() override { previous = set_exit_handler(throw_font_exit); }
    void TearDown() override { set_exit_handler(previous); }
    /// Loads a list into fonts, keeping what was printed.
    void load(const std::string& text) {
        ::testing::internal::CaptureStdout();
        fonts.Load_Fonts(write_list(text).c_str());
        said = ::testing::internal::GetCapturedStdout();
    }
    FONT_ENGINE fonts;
    exit_handler previous = nullptr;
    std::string said;
};

struct ListCase {
    const char* label;
    std::string text;
    std::vector<std::string> names;  // loaded fonts, in order
};

class FontListReading : public FontList, public ::testing::WithParamInterface<ListCase> {};

TEST_P(FontListReading, LoadsTheListedFontsUpToTheEnd) {
    load(GetParam().text);
    ASSERT_EQ(fonts.font_count, static_cast<int>(GetParam().names.size())) << said;
    for (int i = 0; i < fonts.font_count; i++) EXPECT_EQ(fonts.font_names[i], GetParam().names[i]);
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, FontListReading,
    ::testing::Values(ListCase{"HeaderThenEnd", "FONTS V1\nEND\nsans " + kSans + "\n", {}},
                      ListCase{"TwoFonts", "FONTS V1\nsans " + kSans + "\nmono " + kMono + "\nEND\n", {"sans", "mono"}},
                      ListCase{"HashPathStops", "F V sans " + kSans + " mono #x s " + kSans + " END", {"sans"}},
                      ListCase{"EndOfFileWithoutEnd", "F V sans " + kSans + " mono " + kMono, {"sans", "mono"}},
                      ListCase{"NameWithoutPath", "F V sans " + kSans + " mono", {"sans"}},
                      // A font FreeType cannot open keeps its number (labels name
                      // fonts by number), standing in with the plain sans font.
                      ListCase{"BrokenFontKeepsItsNumber",
                               "F V gone /nonexistent/font.ttf text /etc/passwd mono " + kMono + " END",
                               {"gone", "text", "mono"}}),
    [](const ::testing::TestParamInfo<ListCase>& i) { return std::string(i.param.label); });

TEST_F(FontList, FontsWithoutAContextAreNamedButNotDrawable) {
    EXPECT_TRUE(empty_entry(FONTS.get_Font(0, 12)));  // the program's table starts empty
    load("FONTS V1\nsans " + kSans + "\nEND\n");
    ASSERT_EQ(fonts.font_count, 1);
    EXPECT_NE(said.find("()[0][" + kSans + "][23]"), std::string::npos);
    const freetype::font_data f = fonts.get_Font(0, 12);
    EXPECT_EQ(f.height, 12.0f);
    EXPECT_EQ(f.char_textures, nullptr);
    EXPECT_EQ(f.first_list, 0u);
    freetype::print(f, 10, 10, "draws %s", "nothing");  // no context: no GL call at all

    EXPECT_FALSE(empty_entry(fonts.get_Font(0, 6)));
    for (auto [font, size] : {std::pair{-1, 12}, std::pair{1, 12}, std::pair{10, 12}, std::pair{0, 5}, std::pair{0, 24},
                              std::pair{0, -1}})
        EXPECT_TRUE(empty_entry(fonts.get_Font(font, size))) << font << "," << size;
}

TEST_F(FontList, EleventhFontIsRefused) {
    std::string text = "F V";
    for (int i = 0; i < 11; i++) text += " f" + std::to_string(i) + " " + kSans;
    load(text);
    EXPECT_EQ(fonts.font_count, FONT_ENGINE_FONTS);
    EXPECT_STREQ(fonts.font_names[9], "f9");
    EXPECT_NE(said.find("[f10] not loaded"), std::string::npos) << said;

    ::testing::internal::CaptureStdout();
    fonts.load_TTF(kSans.c_str());
    said = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(fonts.font_count, FONT_ENGINE_FONTS);
    fonts.Clean_Fonts();
    EXPECT_EQ(fonts.font_count, 0);
    EXPECT_TRUE(empty_entry(fonts.get_Font(0, 12)));
}

TEST_F(FontList, FreeTypeFailuresThrowAndMissingListsEndTheProgram) {
    ::testing::internal::CaptureStdout();
    try {
        fonts.load_TTF("/nonexistent/font.ttf");
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "FT_New_Face failed (there is probably a problem with your font file)");
    }
    EXPECT_EQ(fonts.font_count, 0);

    int status = 0;
    try {
        fonts.Load_Fonts(test_temp_path("no_such.lst").c_str());
    } catch (const FontExit& e) {
        status = e.status;
    }
    said = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, -1);
    EXPECT_NE(said.find("Impossible d'ouvrir ["), std::string::npos) << said;
}

}  // namespace
