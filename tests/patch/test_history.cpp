// Modules added to and taken out of a patch, and the undo history: each kind
// of edit undone gives back the patch text it started from, redone the text it
// made; a removed module takes its cables with it and brings them back.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "patch/module_edit.h"
#include "patch/patch_history.h"
#include "tests/patch/ksy_fixture.h"

namespace {

const char* const PATCH =
    "BEGIN_OBJECTS_DECLARE\n"
    "VCO_TONE;TYPE=1;FREQ=440;AMOUNT=0.8;\n"
    "VCA_1;ATTACK=0.01;\n"
    "MIXER_1;V_00=0.5;\n"
    "SOUND_OUT;;\n"
    "END_OBJECTS_DECLARE\n"
    "BEGIN_LINKS_DECLARE\n"
    "MIXER_1;ADD_CHANELL=VCO_TONE;\n"
    "SOUND_OUT;IN=MIXER_1;\n"
    "VCA_1;IN=VCO_TONE;\n"
    "END_LINKS_DECLARE\n";

float loudness(GENERATOR& g) {
    float out[512];
    g.render(out, 512);
    float peak = 0;
    for (float v : out) peak = std::max(peak, std::fabs(v));
    return peak;
}

class History : public KsyTest {
protected:
    void SetUp() override {
        KsyTest::SetUp();
        load_text(g, PATCH);
        ASSERT_EQ(result, 1);
    }
    MODULE_REF named(const char* n) { return find_module(g, n); }
    GENERATOR g;
    PATCH_HISTORY h;
};

struct EDIT_CASE {
    const char* label;
    std::function<std::unique_ptr<HISTORY_STEP>(GENERATOR&)> make;  ///< makes the edit, returns its step
};

std::unique_ptr<HISTORY_STEP> add_vco(GENERATOR& g) {
    MODULE_REF m = make_module((unique_module_name(g, TW_VCO) + ";;").c_str());
    EXPECT_TRUE(insert_module(g, m));
    MODULE_REMOVAL r;
    r.module = m;
    return std::make_unique<MODULE_STEP>(r, true);
}

std::unique_ptr<HISTORY_STEP> remove_vco(GENERATOR& g) {
    MODULE_REMOVAL r;
    EXPECT_TRUE(remove_module(g, find_module(g, "VCO_TONE"), &r));
    EXPECT_EQ(r.inputs.size(), 2u);  // the mixer's channel and the amplifier's input
    return std::make_unique<MODULE_STEP>(r, false);
}

std::unique_ptr<HISTORY_STEP> duplicate_mixer(GENERATOR& g) {
    std::string line = module_line(find_module(g, "MIXER_1"));
    line.replace(0, line.find(';'), "MIXER_2");
    MODULE_REF m = make_module(line.c_str());
    EXPECT_TRUE(insert_module(g, m));
    MODULE_REMOVAL r;
    r.module = m;
    return std::make_unique<MODULE_STEP>(r, true);
}

std::unique_ptr<HISTORY_STEP> cable(GENERATOR& g) {
    auto step = std::make_unique<PORTS_STEP>();
    auto* vca = static_cast<VCA*>(find_module(g, "VCA_1").module);
    auto* mixer = static_cast<MIXER*>(find_module(g, "MIXER_1").module);
    const INPUT_PORT port = input_port(vca, "IN");
    PORT_STATE s{port, port_words(port), {}};
    link_value_port(g, port, mixer);
    s.after = port_words(port);
    step->ports.push_back(s);
    return step;
}

std::unique_ptr<HISTORY_STEP> knob(GENERATOR& g) {
    auto step = std::make_unique<SETTINGS_STEP>();
    step->module = find_module(g, "VCO_TONE");
    step->before = module_line(step->module);
    static_cast<VCO*>(step->module.module)->FREQ = 220.0f;
    static_cast<VCO*>(step->module.module)->TYPE = 3;
    step->after = module_line(step->module);
    return step;
}

std::unique_ptr<HISTORY_STEP> rename(GENERATOR& g) {
    auto step = std::make_unique<RENAME_STEP>();
    step->module = find_module(g, "MIXER_1");
    step->before = "MIXER_1";
    step->after = "MIXER_DRUMS";
    EXPECT_EQ(rename_refusal(g, step->module, "MIXER_DRUMS"), nullptr);
    step->redo(g);
    return step;
}

const EDIT_CASE EDITS[] = {
    {"add", add_vco},     {"remove", remove_vco}, {"duplicate", duplicate_mixer},
    {"cable", cable},     {"settings", knob},     {"rename", rename},
};

TEST_F(History, EachEditUndoneAndRedoneGivesBackTheSamePatchText) {
    for (const EDIT_CASE& c : EDITS) {
        SCOPED_TRACE(c.label);
        const std::string before = patch_text(g);
        h.push(c.make(g));
        const std::string after = patch_text(g);
        EXPECT_NE(before, after);
        EXPECT_TRUE(h.unsaved());
        ASSERT_NE(h.undo(g), nullptr);
        EXPECT_EQ(patch_text(g), before);
        ASSERT_NE(h.redo(g), nullptr);
        EXPECT_EQ(patch_text(g), after);
        // Undone again, so the next case starts from the loaded patch.
        h.undo(g);
        EXPECT_FALSE(h.unsaved());
    }
}

TEST_F(History, EveryEditInARowUndoesToTheLoadedPatch) {
    const std::string loaded = patch_text(g);
    std::vector<std::string> texts{loaded};
    for (const EDIT_CASE& c : EDITS) {
        if (std::string(c.label) == "remove") continue;  // the later edits use the oscillator
        h.push(c.make(g));
        texts.push_back(patch_text(g));
    }
    for (size_t i = texts.size() - 1; i > 0; i--) {
        EXPECT_EQ(patch_text(g), texts[i]);
        h.undo(g);
    }
    EXPECT_EQ(patch_text(g), loaded);
    while (h.redo(g) != nullptr) {
    }
    EXPECT_EQ(patch_text(g), texts.back());
}

TEST_F(History, ARemovedOscillatorIsSilentAndComesBackWithItsCables) {
    EXPECT_GT(loudness(g), 0.1f);
    h.push(remove_vco(g));
    EXPECT_EQ(g.nb_vcos, 0);
    EXPECT_EQ(loudness(g), 0.0f);
    h.undo(g);
    EXPECT_EQ(g.nb_vcos, 1);
    EXPECT_GT(loudness(g), 0.1f);
    h.redo(g);
    EXPECT_EQ(loudness(g), 0.0f);
}

TEST_F(History, KeepsItsNewestStepsAndFreesTheModulesOfThoseItForgets) {
    // Adding and removing modules many times over: the steps beyond the
    // history's room go, and with them the modules they own (a leak shows
    // under the leak checker).
    for (int i = 0; i < 400; i++) {
        h.push(add_vco(g));
        MODULE_REMOVAL r;
        // The new oscillator heads its list.
        ASSERT_TRUE(remove_module(g, MODULE_REF{TW_VCO, g.vcos[0]}, &r));
        h.push(std::make_unique<MODULE_STEP>(r, false));
    }
    EXPECT_EQ(h.undo_count(), PATCH_HISTORY::CAPACITY);
    EXPECT_EQ(g.nb_vcos, 1);
    ASSERT_NE(h.undo(g), nullptr);
    EXPECT_EQ(g.nb_vcos, 2);
    while (h.undo(g) != nullptr) {
    }
    EXPECT_EQ(g.nb_vcos, 1);
    // A new edit forgets the undone steps, deleting the modules they hold out.
    h.push(knob(g));
    EXPECT_EQ(h.redo_count(), 0u);
}

struct NAME_CASE {
    const char* module;
    const char* name;
    bool taken;
};

TEST_F(History, RenamesKeepTheTypeWordStayUniqueAndHoldNoSeparator) {
    const NAME_CASE cases[] = {
        {"VCO_TONE", "VCO_BASS", true},      {"VCO_TONE", "BASS", false},     {"VCO_TONE", "VCA_BASS", false},
        {"VCO_TONE", "VCO BASS", false},     {"VCO_TONE", "VCO;X", false},    {"VCO_TONE", "VCO=2", false},
        {"MIXER_1", "SOUND_OUT", false},     {"MIXER_1", "MIXER_1", true},    {"VCO_TONE", "VCO_PCF", false},
        {"VCA_1", "", false},
    };
    for (const NAME_CASE& c : cases) {
        SCOPED_TRACE(std::string(c.module) + " -> " + c.name);
        EXPECT_EQ(rename_refusal(g, named(c.module), c.name) == nullptr, c.taken);
    }
    EXPECT_EQ(unique_module_name(g, TW_VCA), "VCA_2");
    EXPECT_EQ(unique_module_name(g, TW_SEQUENCER), "SEQUENCER_1");
}

TEST(MakeModule, EveryTypeTheBrowserOffersIsMadeWithItsDefaults) {
    const TypeWord types[] = {TW_SEQUENCER, TW_PCF, TW_KEY, TW_SAMPLER, TW_VCO, TW_VCA, TW_VARIABLE,
                              TW_BASIC_OPERATION, TW_CONSTANTE, TW_AFFICHAGE, TW_SOUND_OUT, TW_MIXER};
    for (TypeWord t : types) {
        const std::string line = std::string(type_word_text(t)) + "_1;;";
        MODULE_REF m = make_module(line.c_str());
        ASSERT_TRUE(m.valid()) << line;
        EXPECT_EQ(m.type, t);
        EXPECT_EQ(std::string(module_name(m)), std::string(type_word_text(t)) + "_1");
        delete_module(m);
    }
    EXPECT_FALSE(make_module("NOTHING_1;;").valid());
    EXPECT_FALSE(make_module("VCA_MIXER;;").valid());  // two modules
}

}  // namespace

namespace {

TEST(SettingsStep, ASequencerStepEditedIsTakenBackWithItsGrid) {
    MODULE_REF m = make_module("SEQUENCER_1;");
    ASSERT_TRUE(m.valid());
    auto* s = static_cast<SEQUENCER*>(m.module);
    GENERATOR g;
    SETTINGS_STEP step;
    step.module = m;
    step.before = module_line(m);
    step.grid_before = module_grid(m);
    s->note[3] = 7;
    s->bypass[4] = 1;
    s->NBR_STEP[0] = 5;
    step.after = module_line(m);
    step.grid_after = module_grid(m);
    step.undo(g);
    EXPECT_EQ(module_grid(m), step.grid_before);
    step.redo(g);
    EXPECT_EQ(s->note[3], 7);
    EXPECT_EQ(s->bypass[4], 1);
    EXPECT_EQ(s->NBR_STEP[0], 5);
    delete_module(m);
}

}  // namespace
