// The links section: each target type with the sources it accepts, the last
// type word deciding, mixer channels, missing targets, and a whole patch.
#include <cmath>
#include <string>

#include "tests/patch/ksy_fixture.h"

namespace {

class Links : public KsyTest {
protected:
    /// Loads a patch holding one or two modules of every type, with these link lines.
    std::string link(const std::string& lines) {
        const std::string empty = write("empty.ksy", "");
        return load_text(g, "BEGIN_OBJECTS_DECLARE VCO_1;FREQ=1; VCO_2;FREQ=2; VCO_MIXER_1;FREQ=3;"
                            " SAMPLER_1;FILE=Sounds/kick.wav; VCA_1;ATTACK=1; PCF_1;Q=1; MIXER_1;V_00=1;"
                            " CONSTANTE_1;VALUE=5; CONSTANTE_2;VALUE=2; VARIABLE_1;; AFFICHAGE_1;;"
                            " SOUND_OUT_1;; BASIC_OPERATION_1;TYPE=2; SEQUENCER_1;DIVIDER=2; KEY_1;;"
                            " SEQUENCER_KEY_9;DIVIDER=2; GENERATOR_1;FILE=" + empty + "; END_OBJECTS_DECLARE\n"
                            "BEGIN_LINKS_DECLARE\n" + lines + "\nEND_LINKS_DECLARE\n");
    }
    GENERATOR g;
};

// What an input reads, for inputs held directly and for allocated ones.
const void* via(const INPUT* in) { return in ? in->source : nullptr; }
#define IN(expr) [](GENERATOR& g) -> const void* { (void)g; return expr; }

struct LinkCase {
    const char* line;
    const void* (*input)(GENERATOR&);     // the word the target input reads
    const void* (*expected)(GENERATOR&);  // null: left unlinked
};
void PrintTo(const LinkCase& c, std::ostream* os) { *os << label(c.line); }

class LinkTable : public Links, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(LinkTable, InputReadsTheSourceItAccepts) {
    const std::string out = link(GetParam().line);
    ASSERT_EQ(exit_status, 0) << out;
    EXPECT_EQ(GetParam().input(g), GetParam().expected(g)) << GetParam().line;
}

#define V(type, name) &g.get_##type##_by_name(name)->value
INSTANTIATE_TEST_SUITE_P(
    LinksPerTarget, LinkTable,
    ::testing::Values(
        LinkCase{"VCO_1;MOD_FREQ=CONSTANTE_1;", IN(via(g.get_VCO_by_name("VCO_1")->MOD_FREQ)), IN(V(CONSTANTE, "CONSTANTE_1"))},
        LinkCase{"VCO_1;IN=KEY_1;", IN(g.get_VCO_by_name("VCO_1")->source), IN(V(KEYBOARD, "KEY_1"))},
        // Every module with an output feeds every value input (what the saver writes).
        LinkCase{"VCO_1;IN=PCF_1;", IN(g.get_VCO_by_name("VCO_1")->source), IN(V(PCF, "PCF_1"))},
        LinkCase{"VCO_1;MOD_AMP=VCO_9;", IN(via(g.get_VCO_by_name("VCO_1")->MOD_AMP)), IN(nullptr)},
        LinkCase{"BASIC_OPERATION_1;IN_IF=SEQUENCER_1;", IN(via(g.operations[0]->IN_IF)), IN(V(SEQUENCER, "SEQUENCER_1"))},
        LinkCase{"AFFICHAGE_1;IN=BASIC_OPERATION_1;", IN(g.values[0]->source), IN(V(BASIC_OPERATION, "x"))},
        LinkCase{"SOUND_OUT_1;IN=MIXER_1;", IN(via(g.sound_outputs[0]->IN)), IN(V(MIXER, "MIXER_1"))},
        LinkCase{"VARIABLE_1;IN_ASSIGN=CONSTANTE_2;", IN(via(g.variables[0]->IN_ASSIGN)), IN(V(CONSTANTE, "CONSTANTE_2"))},
        LinkCase{"VARIABLE_1;IN_ASSIGN=CONSTANTE_2;", IN(g.variables[0]->source), IN(nullptr)},
        LinkCase{"VCA_1;IN=PCF_1;", IN(g.vcas[0]->source), IN(V(PCF, "PCF_1"))},
        LinkCase{"VCA_1;IN=CONSTANTE_1;", IN(g.vcas[0]->source), IN(V(CONSTANTE, "CONSTANTE_1"))},
        LinkCase{"VCA_1;GATE=SEQUENCER_KEY_9;", IN(g.vcas[0]->gate_source), IN(&g.get_SEQUENCER_by_name("SEQUENCER_KEY_9")->gate)},
        LinkCase{"PCF_1;SYNC=SEQUENCER_KEY_9;", IN(g.pcfs[0]->sync_source), IN(&g.get_KEYBOARD_by_name("SEQUENCER_KEY_9")->pulse)},
        LinkCase{"PCF_1;MOD_FREQ=VCA_1;", IN(via(g.pcfs[0]->MOD_FREQ)), IN(V(VCA, "VCA_1"))},
        LinkCase{"PCF_1;MOD_PHASE=MIXER_1;", IN(via(g.pcfs[0]->MOD_PHASE)), IN(V(MIXER, "MIXER_1"))},
        LinkCase{"SAMPLER_1;MOD_AMP=VCO_2;", IN(via(g.samplers[0]->MOD_AMP)), IN(V(VCO, "VCO_2"))},
        LinkCase{"SAMPLER_1;MOD_FREQ=VCA_1;", IN(via(g.samplers[0]->MOD_FREQ)), IN(V(VCA, "VCA_1"))},
        LinkCase{"SAMPLER_1;IN=SEQUENCER_1;", IN(g.samplers[0]->source), IN(V(SEQUENCER, "SEQUENCER_1"))},
        LinkCase{"SAMPLER_1;GATE=KEY_1;", IN(g.samplers[0]->gate_source), IN(&g.get_KEYBOARD_by_name("KEY_1")->gate)},
        LinkCase{"SEQUENCER_1;SYNC=KEY_1;", IN(g.get_SEQUENCER_by_name("SEQUENCER_1")->sync_source), IN(&g.get_KEYBOARD_by_name("KEY_1")->pulse)}));

TEST_F(Links, MixerChannelsFollowFieldOrderOneChannelPerMatchingWord) {
    link("MIXER_1;ADD_CHANELL=VCO_1;ADD_CHANELL=PCF_1;ADD_CHANELL=GENERATOR_1;ADD_CHANELL=CONSTANTE_1;"
         " VCO_MIXER_1;ADD_CHANELL=VCO_MIXER_1;");
    const MIXER& m = *g.get_MIXER_by_name("MIXER_1");
    ASSERT_EQ(m.channel_count, 4);
    EXPECT_EQ(m.input[0].source, V(VCO, "VCO_1"));
    EXPECT_EQ(m.input[1].source, V(PCF, "PCF_1"));
    EXPECT_EQ(m.input[2].source, &g.generators[0]->value);
    EXPECT_EQ(m.input[3].source, V(CONSTANTE, "CONSTANTE_1"));
    // The target VCO_MIXER_1 is a VCO (first in the chain), which has no ADD_CHANELL
    // input: nothing is linked. As a mixer source the same name adds two channels.
    link("MIXER_1;ADD_CHANELL=VCO_MIXER_1;");
    const MIXER& m2 = *g.get_MIXER_by_name("MIXER_1");
    ASSERT_EQ(m2.channel_count, 2);
    EXPECT_EQ(m2.input[0].source, V(VCO, "VCO_MIXER_1"));
    EXPECT_EQ(m2.input[1].source, V(MIXER, "VCO_MIXER_1"));
    EXPECT_EQ(g.get_MIXER_by_name("VCO_MIXER_1")->channel_count, 0);
    // Reading the links again adds the channels again.
    EXPECT_EQ(g.load_KSY_link(g.file_name), 1);
    EXPECT_EQ(m2.channel_count, 4);
    std::string none = dir + "/none.ksy";
    testing::internal::CaptureStdout();
    EXPECT_EQ(g.load_KSY_link(&none[0]), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Must Specify a true filename\n");
}

TEST_F(Links, OperationOnTwoConstants) {
    link("BASIC_OPERATION_1;IN1=CONSTANTE_1;IN2=CONSTANTE_2;");
    g.evolue();
    EXPECT_EQ(g.operations[0]->value, 5.0f - 2.0f);  // TYPE 2 subtracts
}

TEST_F(Links, MessagesCountEveryTokenOfTheFile) {
    // 17 module tokens and three markers come first: "BEGIN_LINKS_DECLARE" is token 20.
    std::string out = link("# note VCO_1 VCO_1;IN;MOD_AMP=CONSTANTE_1;");
    EXPECT_NE(out.find("\nLigne 22 semble avoir moins de 2 parametres\nLigne 23 semble avoir moins de 2 parametres\n"
                       "Line 24: field [IN] names no source, ignored\n"), std::string::npos) << out;
    EXPECT_NE(via(g.get_VCO_by_name("VCO_1")->MOD_AMP), nullptr);
    out = link("VCO_1;IN=KEY_1;;");
    EXPECT_EQ(exit_status, -1);
    EXPECT_NE(out.find("]\nErreur, au niveau des parametre ligne [21]\n"), std::string::npos) << out;
}

struct MissingCase {
    const char* line;
    const char* message;
    int status;
};
void PrintTo(const MissingCase& c, std::ostream* os) { *os << label(c.line); }
class MissingTarget : public KsyTest, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(MissingTarget, EndsTheProgramOrSkipsTheLine) {
    GENERATOR g;
    const std::string out = load_text(g, std::string("KEY_1;; END_OBJECTS_DECLARE BEGIN_LINKS_DECLARE ") +
                                             GetParam().line + " X_SEQUENCER_1;SYNC=KEY_1;");
    EXPECT_EQ(out, GetParam().message);
    EXPECT_EQ(exit_status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    LinksMissing, MissingTarget,
    ::testing::Values(MissingCase{"BASIC_OPERATION_1;IN1=KEY_1;", "Cannot Found BASIC_OPERATION [BASIC_OPERATION_1]\n", -1},
                      MissingCase{"AFFICHAGE_1;IN=KEY_1;", "Cannot Found VALEUR [AFFICHAGE_1]\n", -1},
                      MissingCase{"SOUND_OUT_1;IN=KEY_1;", "Cannot Found SOUND_OUTPUT [SOUND_OUT_1]\n", -1},
                      MissingCase{"VARIABLE_1;IN=KEY_1;", "Cannot Found VARIABLE [VARIABLE_1]\n", -1},
                      MissingCase{"VCO_1;IN=KEY_1;", "Cannot Found VCO [VCO_1]\n", -1},
                      MissingCase{"SEQUENCER_1;SYNC=KEY_1;",
                                  "Cannot Found SEQUENCER [SEQUENCER_1]\nCannot Found SEQUENCER [X_SEQUENCER_1]\n", 0},
                      MissingCase{"MIXER_1;ADD_CHANELL=KEY_1;", "Cannot Found MIXER [MIXER_1]\nCannot Found SEQUENCER [X_SEQUENCER_1]\n", 0},
                      MissingCase{"PCF_VCA_SAMPLER;IN=KEY_1;",
                                  "Cannot Found VCA [PCF_VCA_SAMPLER]\nCannot Found PCF [PCF_VCA_SAMPLER]\n"
                                  "Cannot Found SAMPLER [PCF_VCA_SAMPLER]\nCannot Found SEQUENCER [X_SEQUENCER_1]\n", 0}));

TEST_F(KsyTest, LinksAreReadOnlyBetweenTheirMarkers) {
    GENERATOR g;
    load_text(g, "VCA_1;ATTACK=1; KEY_1;; END_OBJECTS_DECLARE VCA_1;GATE=KEY_1;");
    EXPECT_EQ(g.vcas[0]->gate_source, nullptr);
    load_text(g, "VCA_1;ATTACK=1; KEY_1;; END_OBJECTS_DECLARE BEGIN_LINKS_DECLARE VCA_1;GATE=KEY_1;");
    EXPECT_EQ(g.vcas[0]->gate_source, &g.keyboards[0]->gate);
}

// The patch kept as a fuzzing seed uses every module type of the loader but the
// sub-patch, and every kind of link.
TEST_F(KsyTest, WholePatchLoadsAndPlays) {
    GENERATOR g;
    const std::string out = load(g, "../fuzz/corpus/fuzz_ksy_loader/full.ksy");
    ASSERT_EQ(exit_status + result, 0 + 1) << out;
    const SEQUENCER* seq = g.sequencers.at(0);
    EXPECT_EQ(g.get_VCO_by_name("VCO_BASS")->source, &seq->value);
    EXPECT_EQ(g.get_VCO_by_name("VCO_LFO")->TYPE, NOISE_LORENZ);
    EXPECT_EQ(g.vcas.at(0)->gate_source, &seq->gate);
    EXPECT_EQ(seq->sync_source, &g.keyboards.at(0)->pulse);
    EXPECT_EQ(g.mixers.at(0)->channel_count, 2);
    EXPECT_EQ(g.owned_inputs.size(), 9u);  // 2 on the VCO, 1 each on filter and sampler, 3 + 1 + 1
    float loudest = 0.0f;
    for (int i = 0; i < 2 * 44100; i++) {
        g.evolue();
        ASSERT_TRUE(std::isfinite(g.value));
        loudest = std::fmax(loudest, std::fabs(g.value));
    }
    EXPECT_GT(loudest, 0.1f);
    EXPECT_EQ(g.values.at(0)->value, g.variables.at(0)->value);
}

}  // namespace
