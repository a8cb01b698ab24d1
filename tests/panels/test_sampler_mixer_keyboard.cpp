// The sampler, mixer and keyboard panels driven by messages, as the event
// loop sends them, without a display.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "panels/keyboard_gui.h"
#include "panels/mixer_gui.h"
#include "panels/sampler_gui.h"
#include "tests/temp_path.h"

namespace {
MESSAGE message(OBJET* panel, const char* widget, int type, Uint8 event, const char* text) {
    SDL_Event e{};
    e.type = event;
    e.button.button = SDL_BUTTON_LEFT;
    SPRITE* target = panel->get_SPRITE_by_name(widget);
    EXPECT_NE(target, nullptr) << widget;
    return MESSAGE(type, e, text, target);
}
// One frame of the window: messages, then everything drawn afresh.
void frame(OBJET* panel) {
    panel->evolue();
    panel->toggle_all_draw_flag(1);
    panel->Draw_Scene(nullptr, 1);
}
void click(OBJET* panel, const char* widget) {
    panel->ajoute_message(message(panel, widget, 1, SDL_MOUSEBUTTONUP, nullptr));
    frame(panel);
}
// One message per pixel of drag, at most 100 a frame.
void turn(OBJET* panel, const char* knob, const char* text, int times = 1) {
    for (int left = times; left > 0; left -= 100) {
        for (int i = 0; i < std::min(left, 100); i++) panel->ajoute_message(message(panel, knob, 0, 0, text));
        frame(panel);
    }
}
const char* caption(OBJET* panel, const char* name) {
    return dynamic_cast<LABEL*>(panel->get_SPRITE_by_name(name))->CAPTION;
}
const char* picture(OBJET* panel, const char* sprite) { return panel->get_SPRITE_by_name(sprite)->SPR_NAME; }

// A 16-bit stereo WAV file of the given values.
void write_wav(const std::string& path, const std::vector<short>& values) {
    const uint32_t bytes = (uint32_t)values.size() * 2, head[] = {0x46464952, 36 + bytes, 0x45564157, 0x20746d66,
        16, 0x00020001, 44100, 44100 * 4, 0x00100004, 0x61746164, bytes};  // RIFF, WAVE, fmt, PCM, data
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(head), sizeof head);
    f.write(reinterpret_cast<const char*>(values.data()), bytes);
}

struct SAMPLER_MIXER_KEYBOARD : ::testing::Test {
    SAMPLER sampler;
    MIXER mixer;
    KEYBOARD keyboard;
    std::vector<OBJET*> panels;
    template <typename P, typename M>
    P* make(M* module, const char* name = "0") {
        panels.push_back(new P(module, 0, 0, name));
        return static_cast<P*>(panels.back());
    }
    void TearDown() override { for (OBJET* p : panels) destroy_panel(p); }
};
}  // namespace

TEST_F(SAMPLER_MIXER_KEYBOARD, SamplerKnobSteps) {
    auto* p = make<SAMPLER_GUI>(&sampler);
    const struct { SHARED<float>* field; const char* knob; float from; const char* text; float to; } cases[] = {
        {&sampler.pitch, "SLD_FREQUENCE", 1.0f, "SLD_DOWN", 1.015625f},     // [1, 10), then the final 0.003125
        {&sampler.pitch, "SLD_FREQUENCE", 0.002f, "SLD_UP", -0.001125f},    // through 0
        {&sampler.pitch, "SLD_FREQUENCE", -2.0f, "SLD_DOWN", -1.984375f},   // bands on the magnitude
        {&sampler.pitch, "SLD_FREQUENCE", 30000.0f, "SLD_DOWN", 30001.003125f},
        {&sampler.amplitude, "SLD_VOLUME", 0.0f, "SLD_DOWN", 0.01f},        // no band, then off zero
        {&sampler.amplitude, "SLD_VOLUME", 0.1f, "SLD_UP", 0.090625f},      // to 0.09375, then (0.01, 0.1)
        {&sampler.amplitude, "SLD_VOLUME", 100000.0f, "SLD_UP", 99999.0f},
        {&sampler.phase, "SLD_PHASE", -359.5f, "SLD_DOWN", 0.0f},           // -360.5 cut to -360
        {&sampler.phase, "SLD_PHASE", 0.0f, "SLD_DOWN", -1.0f},
    };
    for (const auto& c : cases) {
        *c.field = c.from;
        turn(p, c.knob, c.text);
        EXPECT_NEAR(*c.field, c.to, 1e-6 * (1 + std::abs(c.to))) << c.knob << " from " << c.from << " " << c.text;
    }
    EXPECT_STREQ(caption(p, "LABEL_FREQUENCE"), "30001.004");
    EXPECT_STREQ(caption(p, "LABEL_PHASE"), "-1");
    EXPECT_EQ(p->get_SPRITE_by_name("SLD_PHASE")->Angle, 0);    // phase messages never reach the knob
    EXPECT_EQ(p->get_SPRITE_by_name("SLD_VOLUME")->Angle, -1);  // the others turn theirs
}

TEST_F(SAMPLER_MIXER_KEYBOARD, SamplerPlayModeAndViews) {
    auto* p = make<SAMPLER_GUI>(&sampler);
    const char* cycle[] = {"SMP_PLAY_AR", "SMP_PLAY_LOOPAV", "SMP_PLAY_LOOPAR", "SMP_PLAY_AV"};
    for (int i = 0; i < 4; i++) {
        click(p, "AFFICHAGE_TYPE_LOOP");
        EXPECT_EQ(sampler.mode, (i + 1) % 4);
        EXPECT_STREQ(picture(p, "AFFICHAGE_TYPE_LOOP"), cycle[i]);
    }
    EXPECT_EQ(p->current_list, &p->mini);  // starts small
    click(p, "VIEW");
    EXPECT_EQ(p->current_list, &p->elements);
    click(p, "VIEW");
    EXPECT_EQ(p->current_list, &p->mini);
    p->toggle_view_mode(4);
    p->toggle_view_mode(0);  // from the back it stays there
    EXPECT_EQ(p->current_list, &p->alt_elements);
}

TEST_F(SAMPLER_MIXER_KEYBOARD, SamplerWaveformStaysInsideTheData) {
    auto* p = make<SAMPLER_GUI>(&sampler);
    float xy[SAMPLER_GUI::WAVE_POINTS][2];
    sampler.handle = wav_new_sample(4, SAMPLE_MODE_16BITS | SAMPLE_MODE_STEREO, 44100);
    sampler.handle->data = {-32768, 0, 0, 0, 0, 0, 0, 32767};
    sampler.length = 4;  // point i reads value i x 4 / 150: 0..7
    p->x = 10, p->y = 20;
    EXPECT_EQ(p->waveform(xy), 300);
    // x: panel 10 + AFFWAVE's 58; y: (127 + 32768) / 1120 = 29 below the base
    // line 102 + 0 (no picture, no height) + 18, plus the panel's 20.
    EXPECT_EQ(xy[0][0], 68.0f);
    EXPECT_EQ(xy[0][1], 169.0f);
    EXPECT_EQ(xy[299][1], 111.0f);  // (127 - 32767) / 1120 = -29
    sampler.length = 1000;          // longer than the data: only values 0 and 6 exist
    EXPECT_EQ(p->waveform(xy), 2);
    sampler.handle.reset();
    EXPECT_EQ(p->waveform(xy), 0);
    p->toggle_view_mode(1);  // drawn with no data
}

TEST_F(SAMPLER_MIXER_KEYBOARD, SamplerBrowsesSoundsSkippingWhatCannotLoad) {
    auto* p = make<SAMPLER_GUI>(&sampler);
    const std::string root = test_temp_path("sounds_root"), sounds = root + "/Sounds/";
    std::filesystem::create_directories(sounds);
    write_wav(sounds + "a.wav", {1, 2, 3, 4, 5, 6});
    write_wav(sounds + "e.wav", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    write_wav(sounds + "b c.wav", {1, 2});                       // a blank has no place in a patch file
    write_wav(sounds + std::string(80, 'f') + ".wav", {1, 2});  // longer than the sampler's name
    std::ofstream(sounds + "d.wav") << "not a sound";
    // Listed as fff...f.wav, e.wav, d.wav, b c.wav, a.wav.
    const std::filesystem::path back = std::filesystem::current_path();
    std::filesystem::current_path(root);
    sampler.load_SAMPLE("Sounds/e.wav");
    sampler.mode = 2;

    click(p, "FILE_UP");  // past d.wav and "b c.wav"
    EXPECT_STREQ(sampler.file_name, "Sounds/a.wav");
    EXPECT_EQ(sampler.length, 3);
    EXPECT_STREQ(caption(p, "LABEL_FILENAME"), "Sounds/a.wav");
    sampler.mode = 2;
    click(p, "FILE_UP");  // the end: nothing reloaded
    EXPECT_EQ(sampler.mode, 2);
    click(p, "FILE_DOWN");
    click(p, "FILE_DOWN");  // only the long name lies before e.wav
    EXPECT_STREQ(sampler.file_name, "Sounds/e.wav");
    EXPECT_EQ(sampler.length, 5);
    std::filesystem::current_path(back);
}

TEST_F(SAMPLER_MIXER_KEYBOARD, MixerLevelsFromHeldKnobsAndMutes) {
    mixer.level[0] = 0.25f;
    mixer.level[1] = 0.7f;
    mixer.mute[6] = 1.0f;
    auto* p = make<MIXER_GUI>(&mixer, "123");  // past two characters: the strips are still found
    EXPECT_EQ(p->get_SPRITE_by_name("SLD_CANAL_1")->Angle, 450);  // starts where the level is

    // Held, then dragged 450 pixels the "SLD_DOWN" way: 0.25 + 450 / 1800.
    p->ajoute_message(message(p, "SLD_CANAL_1", 1, SDL_MOUSEBUTTONDOWN, nullptr));
    turn(p, "SLD_CANAL_1", "SLD_DOWN", 450);
    frame(p);
    EXPECT_EQ(mixer.level[0], 0.5f);
    EXPECT_STREQ(caption(p, "LABEL_CANAL_1"), "0.5");
    turn(p, "SLD_CANAL_1", "SLD_UP", 1800);  // no stop at 0
    frame(p);
    EXPECT_EQ(mixer.level[0], -0.5f);
    p->ajoute_message(message(p, "SLD_CANAL_2", 1, SDL_MOUSEBUTTONDOWN, nullptr));
    frame(p);
    frame(p);
    EXPECT_EQ(mixer.level[1], 0.7f);  // held without a turn: unchanged

    EXPECT_EQ(mixer.mute[6], 1.0f);  // the key starts as the mixer is
    click(p, "BYPASS_CANAL_1");
    frame(p);
    EXPECT_EQ(mixer.mute[0], 1.0f);
    click(p, "POWER");
    EXPECT_EQ(mixer.enabled, 0);
}

TEST_F(SAMPLER_MIXER_KEYBOARD, KeyboardOctaveLimitsAndPower) {
    auto* p = make<KEYBOARD_GUI>(&keyboard);
    const struct { int from; const char* widget; int to; } cases[] = {
        {3, "BUTTON_OCT_UP", 4}, {7, "BUTTON_OCT_UP", 7},         {0, "BUTTON_OCT_DOWN", 0},
        {12, "label_NAME", 7},   {INT_MAX, "BUTTON_OCT_UP", 7},   {INT_MIN, "BUTTON_OCT_DOWN", 0},
    };
    for (const auto& c : cases) {
        keyboard.octave = c.from;
        click(p, c.widget);
        EXPECT_EQ(keyboard.octave, c.to) << c.from << " " << c.widget;
        EXPECT_EQ(picture(p, "SPRITE_OCT"), "LED_NUMERIC_1_" + std::to_string(c.to + 1));
    }
    click(p, "POWER");  // the state the lamp shows after the click
    EXPECT_EQ(keyboard.on, 0);
}
