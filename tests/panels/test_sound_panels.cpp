// The oscillator, amplifier and filter panels without a display: knob bands,
// type displays, and buttons writing the module flags.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "panels/panel_common.h"
#include "panels/values_gui.h"
#include "tests/panels/panel_messages.h"
#include "panels/vca_gui.h"
#include "panels/vcf_gui.h"
#include "panels/vco_gui.h"
#include "tests/temp_path.h"

namespace {
std::string printed(const char* format, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

struct SoundPanels : ::testing::Test {
    std::vector<OBJET*> made;
    template <class P, class M>
    P* panel(M* module) {
        made.push_back(new P(module, 0, 0, "0"));
        return static_cast<P*>(made.back());
    }
    void TearDown() override {
        for (OBJET* p : made) destroy_panel(p);
    }
};
struct STEP {
    float start;
    int direction;
    float expected;
};
}  // namespace

TEST_F(SoundPanels, FrequencyAndPulseWidthBands) {
    const STEP rows[] = {
        {440, DOWN, 441}, {440, UP, 439}, {49.9f, DOWN, 50.4f},  // the 50+ band is tested first
        {50, UP, 48.5f},  // 49 falls into the next band, which applies too
        {1, DOWN, 1.0125f}, {0.5f, DOWN, 0.50625f}, {0.05f, UP, 0.046875f},
        {0.002f, UP, 0.002f}, {0.0005f, UP, 0.001f}, {0.0005f, DOWN, 0.003625f},  // floor 0.001
        {22050, DOWN, 22051}, {22050, UP, 22049}, {30000, UP, 29999},
    };
    VCO vco(1.0f, 440.0f, SIN);
    auto* p = panel<VCO_GUI>(&vco);
    for (const STEP& r : rows) {
        vco.FREQ = vco.PWM = r.start;
        post(p, "SLD_FREQUENCE", r.direction);
        post(p, "SLD_PWM", r.direction);
        EXPECT_FLOAT_EQ(vco.FREQ, r.expected) << r.start << " " << r.direction;
        EXPECT_FLOAT_EQ(vco.PWM, r.expected) << r.start << " " << r.direction;
        EXPECT_EQ(caption(p, "LABEL_FREQUENCE"), printed("%5.3f", r.expected));
    }
}

TEST_F(SoundPanels, AmountBands) {
    const STEP rows[] = {
        {0, DOWN, 0.01f}, {0.005f, UP, 0}, {0.001f, DOWN, 0.004125f}, {0.0005f, DOWN, 0.0005f},
        {0.1f, DOWN, 0.10625f}, {1, UP, 0.98125f}, {22050, DOWN, 22051}, {-0.5f, DOWN, -0.5f}, {-0.5f, UP, 0},
    };
    VCO vco(1.0f, 440.0f, SIN);
    auto* p = panel<VCO_GUI>(&vco);
    for (const STEP& r : rows) {
        vco.AMOUNT = r.start;
        post(p, "SLD_VOLUME", r.direction);
        EXPECT_FLOAT_EQ(vco.AMOUNT, r.expected) << r.start << " " << r.direction;
    }
}

TEST_F(SoundPanels, PhaseTurnsBackwardsWrapsAndLeavesItsKnobStill) {
    const STEP rows[] = {{359, UP, 0}, {0, DOWN, -1}, {-359, DOWN, 0}, {10, UP, 11}, {720.7f, UP, 1}};
    VCO vco(1.0f, 440.0f, SIN);
    vco.PHASE = 30;
    auto* p = panel<VCO_GUI>(&vco);
    for (const STEP& r : rows) {
        vco.PHASE = r.start;
        post(p, "SLD_PHASE", r.direction);
        EXPECT_EQ(vco.PHASE, r.expected) << r.start;
        EXPECT_EQ(caption(p, "LABEL_PHASE"), printed("%.0f", r.expected));
    }
    // The phase knob never gets its messages; the frequency knob turns with its own.
    EXPECT_EQ(p->get_SPRITE_by_name("SLD_PHASE")->Angle, 30);
    post(p, "SLD_FREQUENCE", DOWN);
    EXPECT_EQ(p->get_SPRITE_by_name("SLD_FREQUENCE")->Angle, 441);
}

TEST_F(SoundPanels, CutoffBands) {
    const STEP rows[] = {
        {5000, DOWN, 4850}, {2500, DOWN, 2425}, {100, DOWN, 88},  // two bands in one message
        {9999, UP, 10099}, {10099, UP, 10099}, {12000, DOWN, 11900}, {20000, DOWN, 19900},
        {2, DOWN, 1}, {1, DOWN, 1}, {1, UP, 2}, {9, UP, 10}, {0, UP, 1}, {-40, DOWN, 1},
    };
    PCF pcf;
    auto* p = panel<VCF_GUI>(&pcf);
    for (const STEP& r : rows) {
        pcf.HICUT = (int)r.start;
        post(p, "SLD_HICUTOFF", r.direction);
        EXPECT_EQ(pcf.HICUT, (int)r.expected) << r.start << " " << r.direction;
        EXPECT_EQ(caption(p, "LABEL_HICUTOFF"), printed("%4.0f", r.expected));
    }
}

TEST_F(SoundPanels, GainQAndLevelSteps) {
    struct { const char* knob; SHARED<float> PCF::*field; STEP step; } rows[] = {
        {"GAIN", &PCF::GAIN, {1, DOWN, 1.1f}}, {"GAIN", &PCF::GAIN, {-3, UP, -3.1f}},
        {"QRATIO", &PCF::Q, {1, DOWN, 1.1f}}, {"QRATIO", &PCF::Q, {0.05f, UP, 0.001f}},
        {"LEVEL", &PCF::LEVEL, {0.98f, DOWN, 1}}, {"LEVEL", &PCF::LEVEL, {0.02f, UP, 0}},
        {"LEVEL", &PCF::LEVEL, {0.5f, UP, 0.45f}},
    };
    PCF pcf;
    auto* p = panel<VCF_GUI>(&pcf);
    for (const auto& r : rows) {
        pcf.*r.field = r.step.start;
        post(p, ("SLD_" + std::string(r.knob)).c_str(), r.step.direction);
        EXPECT_FLOAT_EQ(pcf.*r.field, r.step.expected) << r.knob << " " << r.step.start;
        EXPECT_EQ(caption(p, ("LABEL_" + std::string(r.knob)).c_str()), printed("%2.1f", r.step.expected));
    }
}

TEST_F(SoundPanels, EnvelopeTimesAndSustain) {
    VCA vca;
    auto* p = panel<VCA_GUI>(&vca);
    vca.ATTACK = 1000;
    post(p, "SLD_ATTACK", DOWN);
    EXPECT_EQ(vca.ATTACK, 1001.0f);
    EXPECT_EQ(caption(p, "LABEL_ATTACK"), "1001.0");
    vca.RELEASE = 0.5f;
    post(p, "SLD_RELEASE", UP);
    EXPECT_EQ(vca.RELEASE, 0.0f);

    const STEP sustain[] = {
        {0.5f, DOWN, 0.51f}, {0.5f, UP, 0.49f}, {1, DOWN, 1}, {0, UP, 0}, {0.995f, DOWN, 1},
        {0.555f, DOWN, 0.56f}, {0.555f, UP, 0.55f}, {0.01f, UP, 0}, {5, UP, 1},  // a file's 5 comes back
    };
    for (const STEP& r : sustain) {
        vca.SUSTAIN = r.start;
        post(p, "SLD_SUSTAIN", r.direction);
        EXPECT_FLOAT_EQ(vca.SUSTAIN, r.expected) << r.start << " " << r.direction;
        EXPECT_EQ(caption(p, "LABEL_SUSTAIN"), printed("%4.2f", r.expected));
    }
    // A hundred steps each way land on the ends exactly (0 means "decay to zero").
    for (int i = 0; i < 100; i++) post(p, "SLD_SUSTAIN", UP);
    EXPECT_EQ(vca.SUSTAIN, 0.0f);
    for (int i = 0; i < 100; i++) post(p, "SLD_SUSTAIN", DOWN);
    EXPECT_EQ(vca.SUSTAIN, 1.0f);
}

TEST_F(SoundPanels, WaveAndFilterTypesCycleWithTheirPictures) {
    VCO vco(1.0f, 440.0f, SAW);
    auto* p = panel<VCO_GUI>(&vco);
    EXPECT_EQ(picture(p, "AFFICHAGE_TYPE_ONDE"), "DISP_SAW");
    VCO odd(1.0f, 440.0f, 0);
    EXPECT_EQ(picture(panel<VCO_GUI>(&odd), "AFFICHAGE_TYPE_ONDE"), "");  // blank, type kept
    EXPECT_EQ(odd.TYPE, 0);
    struct { int start, button, expected; const char* picture; } waves[] = {
        {9, SDL_BUTTON_LEFT, 1, "DISP_SIN"}, {1, SDL_BUTTON_WHEELDOWN, 8, "DISP_NOISE_LORENZ"},
        {4, SDL_BUTTON_WHEELUP, 5, "DISP_PULSE"}, {8, SDL_BUTTON_LEFT, 9, "DISP_NOISE_KEL"},
        {6, SDL_BUTTON_MIDDLE, 6, "DISP_NOISE_WHITE"}, {0, SDL_BUTTON_LEFT, 1, "DISP_SIN"},
        {12, SDL_BUTTON_WHEELDOWN, 11, ""},
    };
    for (const auto& r : waves) {
        vco.TYPE = r.start;
        click(p, "AFFICHAGE_TYPE_ONDE", r.button);
        EXPECT_EQ(vco.TYPE, r.expected) << r.start << " button " << r.button;
        EXPECT_EQ(picture(p, "AFFICHAGE_TYPE_ONDE"), r.picture);
    }

    PCF pcf;  // a bandpass, type 3 in the filter's numbering
    auto* f = panel<VCF_GUI>(&pcf);
    EXPECT_EQ(picture(f, "AFFICHAGE_TYPE_FILTRE"), "DISP_FILTRE_BANDPASS");
    EXPECT_EQ(caption(f, "LABEL_TYPE"), "3");  // the number until the first click
    struct { int start, expected; const char *picture, *label; } filters[] = {
        {7, 0, "DISP_FILTRE_GAIN", "    GAIN"}, {0, 1, "DISP_FILTRE_LOWPASS", " LOWPASS"},
        {2, 3, "DISP_FILTRE_BANDPASS", "BANDPASS"}, {6, 7, "DISP_FILTRE_PEAKING", " PEAKING"},
        {9, 0, "DISP_FILTRE_GAIN", "    GAIN"}, {-3, 7, "DISP_FILTRE_PEAKING", " PEAKING"},
    };
    int button = SDL_BUTTON_LEFT;
    for (const auto& r : filters) {
        pcf.TYPE = r.start;
        click(f, "AFFICHAGE_TYPE_FILTRE", button = button % 5 + 1);  // any mouse button
        EXPECT_EQ(pcf.TYPE, r.expected) << r.start;
        EXPECT_EQ(picture(f, "AFFICHAGE_TYPE_FILTRE"), r.picture);
        EXPECT_EQ(caption(f, "LABEL_TYPE"), r.label);
    }
}

TEST_F(SoundPanels, ButtonsWriteTheStateTheyShowAfterTheClick) {
    VCO vco(1.0f, 440.0f, SIN);
    auto* vp = panel<VCO_GUI>(&vco);
    EXPECT_EQ(find_button(vp, "POWER")->STATE, 1);
    click(vp, "POWER");
    EXPECT_EQ(vco.POWER, 0);
    click(vp, "POWER");
    EXPECT_EQ(vco.POWER, 1);

    PCF pcf;
    pcf.enabled = 0;  // and bypassed, as a new filter is
    auto* fp = panel<VCF_GUI>(&pcf);
    EXPECT_EQ(find_button(fp, "POWER")->STATE, 0);
    EXPECT_EQ(find_button(fp, "BYPASS")->STATE, 1);
    click(fp, "POWER");
    click(fp, "BYPASS");
    EXPECT_EQ(pcf.enabled, 1);
    EXPECT_EQ(pcf.BYPASS, 0);

    float in = 0.7f;
    VCA vca;  // without a gate link: a fixed level of 1
    vca.source = &in;
    click(panel<VCA_GUI>(&vca), "POWER");
    vca.evolue();
    EXPECT_EQ(vca.POWER, 0);
    EXPECT_EQ(vca.value, 0.0f);
}

TEST_F(SoundPanels, PanelsWithoutTheirResourceFilesStillWork) {
    const std::filesystem::path home = std::filesystem::current_path();
    const std::string empty = test_temp_path("no_rc");  // no RC file: every widget is missing
    std::filesystem::create_directories(empty);
    std::filesystem::current_path(empty);
    VCO vco(1.0f, 440.0f, 0);
    VCA vca;
    PCF pcf;
    CONSTANTE cst(4.0f);
    VARIABLE var(0.0f);
    VALEUR val;
    BASIC_OPERATION op;
    SOUND_OUTPUT out;
    const std::vector<OBJET*> panels = {
        panel<VCO_GUI>(&vco),       panel<VCA_GUI>(&vca),      panel<VCF_GUI>(&pcf),
        panel<CONSTANTE_GUI>(&cst), panel<VARIABLE_GUI>(&var), panel<VALEUR_GUI>(&val),
        panel<BASIC_OPERATION_GUI>(&op), panel<SOUND_OUTPUT_GUI>(&out),
    };
    std::filesystem::current_path(home);
    for (OBJET* p : panels)
        for (int mode : {1, 2, 4}) {
            p->toggle_view_mode(mode);
            EXPECT_EQ(p->evolue(), 0);
        }
}
