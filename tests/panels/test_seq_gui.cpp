// The sequencer panel without a display: step edits through the column
// widgets, pattern, divider and step-count buttons, the two faces, pattern
// files saved, loaded and browsed, and the console name reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/dialog.h"
#include "panels/panel_globals.h"
#include "panels/seq_gui.h"
#include "tests/temp_path.h"

namespace {

/// A stream holding text, as typed at the console.
std::FILE* typed(const std::string& text) {
    std::FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

struct SEQ_PANEL : ::testing::Test {
    SEQUENCER seq;
    SEQ_GUI* panel = new SEQ_GUI(&seq, 0, 0, "0");

    ~SEQ_PANEL() override {
        dialog_cancel();
        destroy_panel(panel);
    }
    SPRITE* widget(const char* name) {
        SPRITE* s = panel->get_SPRITE_by_name(name);
        EXPECT_NE(s, nullptr) << name;
        return s;
    }
    template <class T>
    T* get(const char* name) {
        return dynamic_cast<T*>(widget(name));
    }
    void post(int type, int sdl_type, const char* text, SPRITE* target) {
        SDL_Event e{};
        e.type = (Uint8)sdl_type;
        panel->ajoute_message(MESSAGE(type, e, text, target));
    }
    /// One frame as the window runs it: the panel reads its messages, then
    /// draws, which lets the widgets take theirs.
    void frame() {
        panel->evolue();
        panel->Draw_Scene(nullptr, 1);
    }
    void click(const char* name, int times = 1) {
        for (int i = 0; i < times; i++) {
            post(1, SDL_MOUSEBUTTONUP, "", widget(name));
            frame();
        }
    }
    /// Knob messages, all in one frame as a fast drag gives them.
    void drag(const char* name, const char* text, int times) {
        SPRITE* knob = widget(name);
        for (int i = 0; i < times; i++) post(0, 0, text, knob);
        frame();
    }
    /// A line typed on the console while the panel's dialog is open.
    void type_at_prompt(const std::string& text) {
        ASSERT_TRUE(dialog_shown());
        for (char c : text) dialog_console_byte((unsigned char)c);
        EXPECT_FALSE(dialog_shown());
    }
    /// Keys typed in the window while the panel's dialog is open.
    void type_in_window(const std::string& text) {
        ASSERT_TRUE(dialog_shown());
        for (char c : text) dialog_key((unsigned char)c);
    }
    int at(int step) const { return seq.current_pattern * SEQ_STEPS + step; }
    std::string caption(const char* name) { return get<LABEL>(name) ? get<LABEL>(name)->CAPTION : "?"; }
    std::string picture(const char* name) { return widget(name) ? widget(name)->SPR_NAME : "?"; }
    int state(const char* name) { return get<BUTTON>(name) ? get<BUTTON>(name)->STATE : -1; }
};

}  // namespace

TEST_F(SEQ_PANEL, StepButtonsEditTheirOwnColumnOfThePlayingPattern) {
    panel->toggle_view_mode(1);
    seq.current_pattern = 3;  // the wished pattern stays 0: edits go to the one playing
    seq.note[at(0)] = 5;
    seq.octave[at(1)] = 10;
    click("BUTTON_NOTE_12_UP", 3);   // 10 -> 12, held there
    click("BUTTON_NOTE_1_DOWN", 6);  // 5 -> 0, held there
    click("BUTTON_OCT_2_UP");        // held at 10
    click("BUTTON_OCT_2_DOWN");
    EXPECT_EQ(seq.note[at(11)], 12);
    EXPECT_EQ(seq.note[at(0)], 0);
    EXPECT_EQ(seq.octave[at(1)], 9);
    EXPECT_EQ(seq.note[0 * SEQ_STEPS + 11], 10);
    // Image n shows the digit n - 1, image 0 is blank.
    EXPECT_EQ(picture("SPRITE_NOTE_12_0") + " " + picture("SPRITE_NOTE_12"), "LED_NUMERIC_1_2 LED_NUMERIC_1_3");
    EXPECT_EQ(picture("SPRITE_NOTE_1_0") + " " + picture("SPRITE_NOTE_1"), "LED_NUMERIC_1_0 LED_NUMERIC_1_1");
    EXPECT_EQ(picture("SPRITE_OCT_2"), "LED_NUMERIC_1_10");

    // The bypass lamp is on while the step plays.
    EXPECT_EQ(state("BUTTON_BYPASS_4"), 1);
    click("BUTTON_BYPASS_4");
    EXPECT_EQ(seq.bypass[at(3)], 1);
    EXPECT_EQ(picture("BUTTON_BYPASS_4"), "LAMP_LED_2_1");
    click("BUTTON_BYPASS_4");
    EXPECT_EQ(seq.bypass[at(3)], 0);
    EXPECT_EQ(state("BUTTON_BYPASS_4"), 1);
}

TEST_F(SEQ_PANEL, KnobsStepVolumeOnItsGridAndLengthWithinLimits) {
    panel->toggle_view_mode(1);
    drag("SLD_VOL_10", "SLD_DOWN", 1);
    EXPECT_EQ(seq.volume[at(9)], 1.1f);
    EXPECT_EQ(seq.volume[at(0)], 1.0f);
    EXPECT_EQ(caption("LABEL_TXT_10_VOL"), "1.1");
    // Down to the floor, then ten steps of 0.1 up: exactly 1.0 again, so the step sounds.
    drag("SLD_VOL_10", "SLD_UP", 30);
    EXPECT_EQ(seq.volume[at(9)], 0.0f);
    drag("SLD_VOL_10", "SLD_DOWN", 10);
    EXPECT_EQ(seq.volume[at(9)], 1.0f);
    seq.volume[at(9)] = 1e30f;  // from a file: the first step lands on 2.0
    drag("SLD_VOL_10", "SLD_UP", 11);
    EXPECT_EQ(seq.volume[at(9)], 1.0f);

    drag("SLD_LENGHT_3", "SLD_DOWN", 1);
    EXPECT_EQ(seq.LENGHT[at(2)], 2.0f);
    drag("SLD_LENGHT_3", "SLD_UP", 22);
    EXPECT_EQ(seq.LENGHT[at(2)], 1.0f / 256);
    drag("SLD_LENGHT_3", "SLD_DOWN", 40);
    EXPECT_EQ(seq.LENGHT[at(2)], 256.0f);
    seq.LENGHT[at(2)] = 0.0f;  // doubling alone would never leave 0
    drag("SLD_LENGHT_3", "SLD_DOWN", 1);
    EXPECT_EQ(seq.LENGHT[at(2)], 1.0f / 256);
}

TEST_F(SEQ_PANEL, PatternButtonsChooseTheWishedPatternOnBothFaces) {
    click("BUTTON_PATTERN_5");  // on the compact face
    click("BUTTON_PATTERN_2");
    EXPECT_EQ(seq.wished_pattern, 2);
    EXPECT_EQ(seq.current_pattern, 0);
    EXPECT_EQ(state("BUTTON_PATTERN_2"), 1);
    EXPECT_EQ(state("BUTTON_PATTERN_5"), 0);
    panel->toggle_view_mode(1);
    EXPECT_EQ(state("BUTTON_PATTERN_2") * 10 + state("BUTTON_PATTERN_0"), 10);
}

TEST_F(SEQ_PANEL, DividerAndStepCountStayWithinLimits) {
    panel->toggle_view_mode(1);
    click("BUTTON_DIVIDER_UP", 2);
    EXPECT_EQ(seq.wished_divider, 0.5f);
    EXPECT_EQ(caption("LABEL_WISHED_DIVIDER"), "0.500");
    EXPECT_EQ(caption("LABEL_DIVIDER"), "2.000");
    // One step per pattern: it sounds after 22050 samples, the boundary comes with the next one.
    seq.NBR_STEP[0] = 1;
    for (int i = 0; i < 22051; i++) seq.evolue();
    frame();
    EXPECT_EQ(caption("LABEL_DIVIDER"), "0.500");
    click("BUTTON_DIVIDER_UP", 10);
    EXPECT_EQ(seq.wished_divider, 1.0f / 64);
    click("BUTTON_DIVIDER_DOWN", 20);
    EXPECT_EQ(seq.wished_divider, 64.0f);

    // The step count stays within 1..32; columns beyond it are greyed.
    seq.NBR_STEP[0] = 32;
    click("BUTTON_MAX_STEP_DOWN", 35);
    EXPECT_EQ(seq.NBR_STEP[0], 1);
    EXPECT_EQ(caption("LABEL_MAX_STEP"), " 1");
    ASSERT_TRUE(get<LABEL>("LABEL_TXT_1_VOL") && get<LABEL>("LABEL_TXT_2_LENGHT"));
    EXPECT_EQ(get<LABEL>("LABEL_TXT_1_VOL")->Col, 0u);
    EXPECT_EQ(get<LABEL>("LABEL_TXT_2_LENGHT")->Col, 0x808080u);
    EXPECT_EQ(picture("SPRITE_OCT_2"), "LED_NUMERIC_2_4");  // octave 3, greyed
    click("BUTTON_MAX_STEP_UP", 35);
    EXPECT_EQ(seq.NBR_STEP[0], 32);
    // A count from a file above the panel's range: "up" keeps it, "down" brings it into range.
    seq.NBR_STEP[0] = 64;
    click("BUTTON_MAX_STEP_UP");
    EXPECT_EQ(seq.NBR_STEP[0], 64);
    click("BUTTON_MAX_STEP_DOWN");
    EXPECT_EQ(seq.NBR_STEP[0], 32);
}

TEST_F(SEQ_PANEL, StartsCompactWhereOnlyItsOwnControlsAct) {
    EXPECT_TRUE(panel->compact());
    EXPECT_EQ(sequenceurs_gui.front(), panel);
    SEQUENCER other;
    auto* second = new SEQ_GUI(&other, 0, 0, "1");
    EXPECT_EQ(sequenceurs_gui.front(), second);
    destroy_panel(second);
    EXPECT_EQ(std::count(sequenceurs_gui.begin(), sequenceurs_gui.end(), second), 0);

    auto full = std::find_if(panel->elements.begin(), panel->elements.end(), [this](SPRITE* s) {
        return std::strcmp(panel->own_name(s), "BUTTON_MAX_STEP_DOWN") == 0;
    });
    ASSERT_NE(full, panel->elements.end());
    post(1, SDL_MOUSEBUTTONUP, "", *full);  // aimed at the hidden face
    frame();
    EXPECT_EQ(seq.NBR_STEP[0], 32);

    EXPECT_EQ(state("POWER"), 1);
    click("POWER");
    EXPECT_EQ(seq.running, 0);
    click("VIEW");
    EXPECT_FALSE(panel->compact());
    EXPECT_EQ(state("POWER"), 0);  // the full face's switch follows the module
    click("POWER");
    EXPECT_EQ(seq.running, 1);
}

TEST_F(SEQ_PANEL, PatternFilesSavedLoadedAndBrowsed) {
    panel->toggle_view_mode(1);
    const std::filesystem::path home = std::filesystem::current_path();
    const std::string scratch = test_temp_path("seq_gui_files");
    std::filesystem::create_directories(scratch + "/PARTITIONS");
    std::filesystem::current_path(scratch);
    struct BACK_HOME {
        std::filesystem::path to;
        ~BACK_HOME() { std::filesystem::current_path(to); }
    } back_home{home};

    seq.note[at(0)] = 7;
    click("BT_SAVE");
    type_at_prompt("kick\n");
    EXPECT_EQ(std::filesystem::file_size("PARTITIONS/kick.PAR"), (std::uintmax_t)PARTITION_FILE_BYTES);
    EXPECT_EQ(caption("LABEL_FILENAME"), "kick.PAR");
    seq.note[at(0)] = 3;
    click("BT_SAVE");
    type_in_window("snare.PAR\n");  // the name field of the window
    EXPECT_FALSE(dialog_shown());
    click("BT_LOAD");
    type_at_prompt("kick\n");
    EXPECT_EQ(picture("SPRITE_NOTE_1"), "LED_NUMERIC_1_8");  // note 7 again
    // The window's list: typing filters, Enter loads the one left.
    click("BT_LOAD");
    type_in_window("sna\n");
    EXPECT_FALSE(dialog_shown());
    EXPECT_EQ(seq.note[at(0)], 3);
    click("BT_LOAD");
    type_in_window("kick\n");

    // The listing is sorted, then reversed: snare.PAR, kick.PAR. Its ends do not wrap.
    click("FILE_UP");
    EXPECT_STREQ(seq.partition_file_name, "PARTITIONS/kick.PAR");
    click("FILE_DOWN");
    EXPECT_EQ(seq.note[at(0)], 3);
    EXPECT_EQ(caption("LABEL_FILENAME"), "snare.PAR");
    click("FILE_DOWN");
    EXPECT_STREQ(seq.partition_file_name, "PARTITIONS/snare.PAR");
    click("FILE_UP");
    EXPECT_EQ(seq.note[at(0)], 7);
}

TEST(SEQ_PATTERN_NAME, ReadsOneBoundedPlainName) {
    const struct {
        const char* typed;
        int ok;
        const char* name;
    } cases[] = {
        {"bass\n", 1, "bass.PAR"}, {"  lead.PAR \r\n", 1, "lead.PAR"}, {"low.par\n", 1, "low.par"},
        {"drums", 1, "drums.PAR"}, {"", 0, ""}, {" \t\n", 0, ""}, {"../x\n", 0, ""}, {"..\n", 0, ""},
    };
    char name[300];
    for (const auto& c : cases) {
        std::FILE* in = typed(c.typed);
        EXPECT_EQ(read_pattern_name(in, name, sizeof name), c.ok) << c.typed;
        EXPECT_STREQ(name, c.name) << c.typed;
        std::fclose(in);
    }
    // An overlong line is consumed whole; the next prompt reads the next line.
    std::FILE* in = typed(std::string(400, 'y') + "\nnext\n");
    EXPECT_EQ(read_pattern_name(in, name, sizeof name), 0);
    EXPECT_EQ(read_pattern_name(in, name, sizeof name), 1);
    EXPECT_STREQ(name, "next.PAR");
    std::fclose(in);
}
