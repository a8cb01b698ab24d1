// The objects section: type words, keys and their conversions, the inline
// sequencer keys, messages and exits, sub-patches, reloads.
#include <cmath>
#include <cstring>
#include <string>
#include <thread>

#include "tests/patch/ksy_fixture.h"

namespace {

/// The non-empty lists of a patch, checking that each count agrees with its list.
std::string census(const GENERATOR& g) {
    std::string s;
    auto add = [&](const char* what, std::size_t size, int count) {
        EXPECT_EQ(static_cast<int>(size), count) << what;
        if (size) s += std::string(s.empty() ? "" : " ") + what + "=" + std::to_string(size);
    };
    add("sequencers", g.sequencers.size(), g.nb_sequencers);
    add("keyboards", g.keyboards.size(), g.nb_keyboards);
    add("vcos", g.vcos.size(), g.nb_vcos);
    add("mixers", g.mixers.size(), g.nb_mixers);
    add("samplers", g.samplers.size(), g.nb_samplers);
    add("vcas", g.vcas.size(), g.nb_vcas);
    add("pcfs", g.pcfs.size(), g.nb_pcfs);
    add("constantes", g.constantes.size(), g.nb_constantes);
    add("operations", g.operations.size(), g.nb_operations);
    add("values", g.values.size(), g.nb_values);
    add("variables", g.variables.size(), g.nb_variables);
    add("sound_outputs", g.sound_outputs.size(), g.nb_sound_outputs);
    add("generators", g.generators.size(), g.nb_generators);
    return s;
}

double note_hz(int n) { return 8.1757989 * std::pow(2.0, (n + 11) / 12.0); }

// ------------------------------------------------------------ type words

struct WordCase {
    const char* line;
    const char* created;
};
void PrintTo(const WordCase& c, std::ostream* os) { *os << label(c.line); }
class TypeWords : public KsyTest, public ::testing::WithParamInterface<WordCase> {};

TEST_P(TypeWords, NameDecidesWhichModulesAreCreated) {
    GENERATOR g;
    load_text(g, GetParam().line);
    EXPECT_EQ(census(g), GetParam().created) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    LoaderQuirks, TypeWords,
    ::testing::Values(WordCase{"VCO_LFO_1;-;", "vcos=1"}, WordCase{"LFO_1;-;", ""}, WordCase{"vco_1;-;", ""},
                      WordCase{"PCF_KEY_1;-;", "pcfs=1"}, WordCase{"KEY_VCO_1;-;", "keyboards=1"},
                      WordCase{"SAMPLER_VCO;-;", "samplers=1"}, WordCase{"GENERATOR_VCO;-;", "generators=1"},
                      WordCase{"VCO_MIXER_1;-;", "vcos=1 mixers=1"},
                      WordCase{"SEQUENCER_KEY_1;-;", "sequencers=1 keyboards=1"},
                      WordCase{"PCF_VCA_1;-;", "vcas=1 pcfs=1"},
                      WordCase{"X_VARIABLE;; X_BASIC_OPERATION;-; X_CONSTANTE;-; X_AFFICHAGE;; X_SOUND_OUT;;",
                               "constantes=1 operations=1 values=1 variables=1 sound_outputs=1"}));

TEST_F(KsyTest, ModulesOfOneTypeAreListedNewestFirst) {
    GENERATOR g;
    load_text(g, "VCO_A;-; VCO_B;-; VCO_C;-;");
    ASSERT_EQ(g.vcos.size(), 3u);
    EXPECT_STREQ(g.vcos[0]->name, "VCO_C");
    EXPECT_STREQ(g.vcos[2]->name, "VCO_A");
}

// ------------------------------------------------------------ keys

struct TypeCase {
    const char* value;
    int type;
};
void PrintTo(const TypeCase& c, std::ostream* os) { *os << label(c.value); }
class VcoType : public KsyTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(VcoType, FirstCharacterWithSevenAndEightSwapped) {
    GENERATOR g;
    load_text(g, std::string("VCO_1;TYPE=") + GetParam().value + ";");
    ASSERT_EQ(g.vcos.size(), 1u);
    EXPECT_EQ(g.vcos[0]->TYPE, GetParam().type) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(LoaderQuirks, VcoType,
                         ::testing::Values(TypeCase{"1", 1}, TypeCase{"6", 6}, TypeCase{"7", 8},
                                           TypeCase{"8", 7}, TypeCase{"9", 9}, TypeCase{"0", 1},
                                           TypeCase{"x", 1}, TypeCase{"75", 8}));

TEST_F(KsyTest, KeysAreConvertedAsTheFormatReadsThem) {
    GENERATOR g;
    load_text(g,
              "CONSTANTE_1;VALUE=2.75;\n"
              "VCA_1;ATTACK=12.9;DECAY=300;SUSTAIN=0.8;RELEASE=-4.5;INVERT=1;BYPASS=1;\n"
              "PCF_1;GAIN=25;HICUT=1200.7;Q=0.5;TYPE=2;BYPASS=0;\n"
              "PCF_2;GAIN=25;AMOUNT=0.5;\n"
              "PCF_3;GAIN=9;\n"
              "VCO_1;FREQ=220.5;AMOUNT=0.25;PHASE=1.5;\n"
              "VCO_2;FREQ=100;NOTE=58;\n"
              "BASIC_OPERATION_1;TYPE=17;\n"
              "MIXER_1;V_00=0.5;V_03=0.25;\n");
    EXPECT_EQ(g.constantes[0]->VALUE, 2.0f);
    const VCA& a = *g.vcas[0];
    EXPECT_EQ(a.ATTACK, 12.0f);
    EXPECT_EQ(a.DECAY, 300.0f);
    EXPECT_EQ(a.SUSTAIN, 0.0f);
    EXPECT_EQ(a.RELEASE, -4.0f);
    EXPECT_EQ(a.INVERT, 1);
    const PCF& f1 = *g.get_PCF_by_name("PCF_1");
    EXPECT_EQ(f1.GAIN, 25.0f);
    EXPECT_EQ(f1.LEVEL, 2.0f);  // 25 / 10 in integers
    EXPECT_EQ(f1.HICUT, 1200);
    EXPECT_EQ(f1.Q, 0.5f);
    EXPECT_EQ(f1.TYPE, 2);
    EXPECT_EQ(f1.BYPASS, 0);
    EXPECT_EQ(g.get_PCF_by_name("PCF_2")->LEVEL, 0.5f);
    EXPECT_EQ(g.get_PCF_by_name("PCF_3")->LEVEL, 0.0f);
    const VCO& v1 = *g.get_VCO_by_name("VCO_1");
    EXPECT_EQ(v1.FREQ, 220.5f);
    EXPECT_EQ(v1.AMOUNT, 0.25f);
    EXPECT_EQ(v1.PHASE, 1.5f);
    EXPECT_NEAR(g.get_VCO_by_name("VCO_2")->FREQ, note_hz(58), 1e-3);
    EXPECT_EQ(g.operations[0]->operation, 17);
    const MIXER& m = *g.mixers[0];
    EXPECT_EQ(m.level[0], 0.5f);
    EXPECT_EQ(m.level[1], 1.0f);
    EXPECT_EQ(m.level[3], 0.25f);
}

TEST_F(KsyTest, InlineSequencerKeysAddressTheirPatternAndStep) {
    GENERATOR g;
    const std::string out = load_text(
        g, "SEQUENCER_1;DIVIDER=4.5;NBR_STEP=16;NBR_STEP_005=8;NOTE_001_05=27;BYPASS_5=1;"
           "BYPASS_002_07=1;VOLUME_12=0.5;VOLUME_003_04=0.25;LENGHT_9=0.75;LENGHT_004_06=0.125;");
    ASSERT_EQ(g.sequencers.size(), 1u);
    const SEQUENCER& s = *g.sequencers[0];
    EXPECT_EQ(s.divider[0], 4.5f);
    EXPECT_EQ(s.wished_divider, 4.5f);
    EXPECT_EQ(s.NBR_STEP[0], 16);
    EXPECT_EQ(s.NBR_STEP[5], 8);
    EXPECT_EQ(s.octave[1 * 64 + 5], 2);  // 27 = 2 x 12 + 3
    EXPECT_EQ(s.note[1 * 64 + 5], 3);
    EXPECT_EQ(s.bypass[5], 1);
    EXPECT_EQ(s.bypass[2 * 64 + 7], 1);
    EXPECT_EQ(s.volume[12], 0.5f);
    EXPECT_EQ(s.volume[3 * 64 + 4], 0.25f);
    EXPECT_EQ(s.LENGHT[9], 0.75f);
    EXPECT_EQ(s.LENGHT[4 * 64 + 6], 0.125f);
    EXPECT_NE(out.find("[BYPASS_5=1]\n[BYPASS_002_07=1]\n"), std::string::npos) << out;
}

TEST_F(KsyTest, PatternFileIsLoadedAndSetsTheWishedDivider) {
    GENERATOR g;
    load_text(g, "SEQUENCER_1;PARTITION_FILE_NAME=PARTITIONS/bass.PAR;");
    SEQUENCER direct;
    ASSERT_EQ(direct.load_partition("PARTITIONS/bass.PAR"), 1);
    const SEQUENCER& s = *g.sequencers[0];
    EXPECT_EQ(std::memcmp(s.note, direct.note, sizeof s.note), 0);
    EXPECT_EQ(std::memcmp(s.divider, direct.divider, sizeof s.divider), 0);
    EXPECT_EQ(s.wished_divider, direct.divider[0]);
    EXPECT_STREQ(s.partition_file_name, "PARTITIONS/bass.PAR");
}

// ------------------------------------------------------------ numbers outside their grids

struct RangeCase {
    const char* line;
    const char* message;
};
void PrintTo(const RangeCase& c, std::ostream* os) { *os << label(c.line); }
class OutOfRange : public KsyTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(OutOfRange, FieldIsReportedAndIgnored) {
    GENERATOR g;
    const std::string out = load_text(g, GetParam().line);
    EXPECT_EQ(exit_status, 0);
    EXPECT_NE(out.find(std::string("Line 1: ") + GetParam().message), std::string::npos) << out;
    const SEQUENCER fresh;
    for (const SEQUENCER* s : g.sequencers) {
        EXPECT_EQ(std::memcmp(s->note, fresh.note, sizeof s->note), 0);
        EXPECT_EQ(std::memcmp(s->NBR_STEP, fresh.NBR_STEP, sizeof s->NBR_STEP), 0);
        EXPECT_EQ(std::memcmp(s->volume, fresh.volume, sizeof s->volume), 0);
    }
    for (const MIXER* m : g.mixers)
        for (float level : m->level) EXPECT_EQ(level, 1.0f);
    for (const VCO* v : g.vcos) EXPECT_EQ(v->FREQ, 110.0f);
}

INSTANTIATE_TEST_SUITE_P(
    LoaderLimits, OutOfRange,
    ::testing::Values(RangeCase{"SEQUENCER_1;NOTE_070_01=5;", "pattern 70 outside 0..63"},
                      RangeCase{"SEQUENCER_1;NOTE_001_99=5;", "step 99 outside 0..63"},
                      RangeCase{"SEQUENCER_1;NOTE_001_01=2000;", "note number 2000 outside 0..1999"},
                      RangeCase{"SEQUENCER_1;NBR_STEP=65;", "step count 65 outside 1..64"},
                      RangeCase{"SEQUENCER_1;NBR_STEP_099=4;", "pattern 99"},
                      RangeCase{"SEQUENCER_1;VOLUME_070_01=0.5;", "pattern 70"},
                      RangeCase{"MIXER_1;V_24=0.5;", "mixer channel 24 outside 0..23"},
                      RangeCase{"VCO_1;NOTE=-1;", "note number -1"},
                      RangeCase{"VCO_1;FREQ;", "field [FREQ] has no value"}));

// ------------------------------------------------------------ tokens, messages, exits

TEST_F(KsyTest, TokensAreCountedAcrossCommentsAndMarkers) {
    GENERATOR g;
    const std::string out =
        load_text(g, "BEGIN_OBJECTS_DECLARE\n# two words\n\n  VCO_1 VCO_2;-;\nEND_OBJECTS_DECLARE\nVCO_3;-;\n");
    EXPECT_EQ(out,
              "Ligne 3 semble avoir moins de 2 parametres\nLigne 4 semble avoir moins de 2 parametres\n"
              "Ligne 5 semble avoir moins de 2 parametres\n");
    EXPECT_EQ(census(g), "vcos=1");
    EXPECT_EQ(result, 1);
}

TEST_F(KsyTest, OverlongTokensAndNamesAreReported) {
    GENERATOR g;
    const std::string huge(380001, 'A');
    const std::string longest = "VCO_" + std::string(380000 - 7, 'B') + ";-;";
    const std::string out = load_text(g, huge + " " + longest + " X");
    EXPECT_NE(out.find("Line 1: token longer than 380000 characters, ignored\n"), std::string::npos);
    EXPECT_NE(out.find("Line 2: name [VCO_BBB"), std::string::npos);
    EXPECT_NE(out.find("longer than 79 characters, cut\n"), std::string::npos);
    EXPECT_NE(out.find("Ligne 3 semble"), std::string::npos);
    ASSERT_EQ(g.vcos.size(), 1u);
    EXPECT_EQ(std::strlen(g.vcos[0]->name), 79u);
}

TEST_F(KsyTest, EmptyFieldEndsTheProgramButOnlyDropsTheRestOfAMixerLine) {
    GENERATOR g;
    std::string out = load_text(g, "BEGIN_OBJECTS_DECLARE VCO_1;FREQ=1;;AMOUNT=1;");
    EXPECT_EQ(exit_status, -1);
    EXPECT_EQ(out, "Erreur, au niveau des parametre ligne [2]\n");

    exit_status = 0;
    out = load_text(g, "MIXER_1;V_00=0.5;;V_01=0.25; KEY_1;; VCO_1;-;");
    EXPECT_EQ(exit_status, 0);
    EXPECT_EQ(out, "Mixer Erreur, au niveau des parametre ligne [1]\n");
    EXPECT_EQ(g.mixers[0]->level[0], 0.5f);
    EXPECT_EQ(g.mixers[0]->level[1], 1.0f);
    EXPECT_EQ(census(g), "keyboards=1 vcos=1 mixers=1");
}

TEST_F(KsyTest, MissingSampleFileEndsTheProgram) {
    GENERATOR g;
    std::string out = load_text(g, "SAMPLER_1;FILE=Sounds/kick.wav;");
    EXPECT_STREQ(g.samplers[0]->file_name, "Sounds/kick.wav");
    out = load_text(g, "SAMPLER_1;FILE=Sounds/no_such.wav;");
    EXPECT_EQ(exit_status, -1);
    EXPECT_NE(out.find("Error load the file\n"), std::string::npos) << out;
}

TEST_F(KsyTest, UnreadableFileEmptiesThePatchAndFails) {
    GENERATOR g;
    load_text(g, "VCO_1;-;");
    ASSERT_EQ(g.vcos.size(), 1u);
    EXPECT_EQ(load(g, dir + "/none.ksy"), "Must Specify a true filename\n");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(census(g), "");
    EXPECT_EQ(load(g, dir), "Must Specify a true filename\n");  // a folder is no patch
    EXPECT_EQ(result, 0);
    load_text(g, "");
    EXPECT_EQ(result, 1);
}

TEST_F(KsyTest, ConstructorLoadsAFileOrStaysEmpty) {
    std::string path = write("c.ksy", "VCA_1;-; KEY_1;;");
    testing::internal::CaptureStdout();
    GENERATOR g(&path[0]);
    GENERATOR empty(nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(census(g), "keyboards=1 vcas=1");
    EXPECT_STREQ(g.file_name, path.c_str());
    EXPECT_EQ(census(empty), "");
    EXPECT_STREQ(empty.file_name, "");
}

// ------------------------------------------------------------ sub-patches and reloads

TEST_F(KsyTest, SubPatchIsLoadedWithItsLinks) {
    const std::string sub = write("sub.ksy",
                                  "VCO_S;FREQ=330; SOUND_OUT_S;; END_OBJECTS_DECLARE\n"
                                  "BEGIN_LINKS_DECLARE SOUND_OUT_S;IN=VCO_S; END_LINKS_DECLARE");
    GENERATOR g;
    const std::string out = load_text(g, "GENERATOR_1;FILE=" + sub + "; GENERATOR_2;FILE=" + dir + "/none.ksy; VCO_1;-;");
    EXPECT_EQ(out, "Must Specify a true filename\n");
    EXPECT_EQ(census(g), "vcos=1 generators=2");
    const GENERATOR& s = *g.get_GENERATOR_by_name("GENERATOR_1");
    EXPECT_STREQ(s.file_name, sub.c_str());
    ASSERT_EQ(s.vcos.size(), 1u);
    EXPECT_EQ(s.vcos[0]->FREQ, 330.0f);
    ASSERT_NE(s.sound_outputs[0]->IN, nullptr);
    EXPECT_EQ(s.sound_outputs[0]->IN->source, &s.vcos[0]->value);
    EXPECT_EQ(census(*g.get_GENERATOR_by_name("GENERATOR_2")), "");
}

TEST_F(KsyTest, PatchesIncludingThemselvesStop) {
    GENERATOR g;
    const std::string a = dir + "/a.ksy", b = dir + "/b.ksy";
    write("a.ksy", "GENERATOR_B;FILE=" + b + "; VCO_A;-;");
    write("b.ksy", "GENERATOR_A;FILE=" + a + "; VCO_B;-;");
    EXPECT_EQ(load(g, a), "Sub-patch [" + a + "] includes itself: not loaded\n");
    const GENERATOR& gb = *g.generators[0];
    EXPECT_EQ(census(gb), "vcos=1 generators=1");
    EXPECT_EQ(census(*gb.generators[0]), "");

    for (int i = 0; i < 10; i++)
        write("f" + std::to_string(i) + ".ksy", "GENERATOR_N;FILE=" + dir + "/f" + std::to_string(i + 1) + ".ksy;");
    const std::string out = load(g, dir + "/f0.ksy");
    EXPECT_EQ(out, "Sub-patch [" + dir + "/f9.ksy] nested more than 8 deep: not loaded\n");
}

TEST_F(KsyTest, ReloadReplacesThePatchAndWaitsForTheAudioLock) {
    GENERATOR g;
    load_text(g, "VCO_1;-; VCO_2;-; SOUND_OUT_1;; END_OBJECTS_DECLARE BEGIN_LINKS_DECLARE SOUND_OUT_1;IN=VCO_1; VCO_2;MOD_FREQ=VCO_1;");
    EXPECT_EQ(g.owned_inputs.size(), 2u);
    const std::string other = write("other.ksy", "VCA_1;-;");
    bool loaded = false;
    std::unique_lock<std::mutex> audio(g.audio_lock);
    std::thread reload([&] {
        std::string p = other;
        g.load_KSY(&p[0]);
        loaded = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(g.vcos.size(), 2u);  // untouched while the callback holds the lock
    audio.unlock();
    reload.join();
    EXPECT_TRUE(loaded);
    EXPECT_EQ(census(g), "vcas=1");
    EXPECT_TRUE(g.owned_inputs.empty());
}

}  // namespace
