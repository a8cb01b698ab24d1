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
#define KSY_COUNT(list) add(#list, g.list.size(), g.nb_##list)
    KSY_COUNT(sequencers); KSY_COUNT(keyboards); KSY_COUNT(vcos); KSY_COUNT(mixers); KSY_COUNT(samplers);
    KSY_COUNT(vcas); KSY_COUNT(pcfs); KSY_COUNT(constantes); KSY_COUNT(operations); KSY_COUNT(values);
    KSY_COUNT(variables); KSY_COUNT(sound_outputs); KSY_COUNT(generators);
    return s;
}

struct Case {
    const char* text;
    const char* expected;
};
void PrintTo(const Case& c, std::ostream* os) { *os << label(c.text); }
class TypeWords : public KsyTest, public ::testing::WithParamInterface<Case> {};
class VcoType : public KsyTest, public ::testing::WithParamInterface<Case> {};
class OutOfRange : public KsyTest, public ::testing::WithParamInterface<Case> {};

TEST_P(TypeWords, NameDecidesWhichModulesAreCreated) {
    GENERATOR g;
    load_text(g, GetParam().text);
    EXPECT_EQ(census(g), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    LoaderQuirks, TypeWords,
    ::testing::Values(Case{"VCO_LFO_1;-;", "vcos=1"}, Case{"LFO_1;-;", ""}, Case{"vco_1;-;", ""},
                      Case{"PCF_KEY_1;-;", "pcfs=1"}, Case{"KEY_VCO_1;-;", "keyboards=1"},
                      Case{"SAMPLER_VCO;-;", "samplers=1"}, Case{"GENERATOR_VCO;-;", "generators=1"},
                      Case{"VCO_MIXER_1;-;", "vcos=1 mixers=1"}, Case{"SEQUENCER_KEY;-;", "sequencers=1 keyboards=1"},
                      Case{"PCF_VCA_1;-;", "vcas=1 pcfs=1"},
                      Case{"X_VARIABLE;; X_BASIC_OPERATION;-; X_CONSTANTE;-; X_AFFICHAGE;; X_SOUND_OUT;;",
                           "constantes=1 operations=1 values=1 variables=1 sound_outputs=1"}));

TEST_F(KsyTest, ModulesOfOneTypeAreListedNewestFirst) {
    GENERATOR g;
    load_text(g, "VCO_A;-; VCO_B;-; VCO_C;-;");
    ASSERT_EQ(g.vcos.size(), 3u);
    EXPECT_STREQ(g.vcos[0]->name, "VCO_C");
    EXPECT_STREQ(g.vcos[2]->name, "VCO_A");
}

TEST_P(VcoType, FirstCharacterWithSevenAndEightSwapped) {
    GENERATOR g;
    load_text(g, std::string("VCO_1;TYPE=") + GetParam().text + ";");
    EXPECT_EQ(g.vcos.at(0)->TYPE, std::atoi(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(LoaderQuirks, VcoType,
                         ::testing::Values(Case{"1", "1"}, Case{"6", "6"}, Case{"7", "8"}, Case{"8", "7"},
                                           Case{"9", "9"}, Case{"0", "1"}, Case{"x", "1"}, Case{"75", "8"}));

TEST_F(KsyTest, NumbersAreReadAsTheFormatReadsThem) {
    GENERATOR g;
    load_text(g, "CONSTANTE_1;VALUE=2.75; VCA_1;ATTACK=12.9;SUSTAIN=0.8;RELEASE=-4.5;"
                 " PCF_1;GAIN=25;HICUT=1200.7;Q=0.5; PCF_2;GAIN=25;AMOUNT=0.5; PCF_3;GAIN=9;"
                 " VCO_1;FREQ=100;NOTE=58;PHASE=1.5; MIXER_1;V_00=0.5;V_03=0.25;");
    // Envelope times, sustain and constants keep their decimals (a saved
    // patch must come back as it was).
    EXPECT_EQ(g.constantes[0]->VALUE, 2.75f);
    EXPECT_EQ(g.vcas[0]->ATTACK, 12.9f);
    EXPECT_EQ(g.vcas[0]->SUSTAIN, 0.8f);
    EXPECT_EQ(g.vcas[0]->RELEASE, -4.5f);
    const PCF& f1 = *g.get_PCF_by_name("PCF_1");
    EXPECT_EQ(f1.GAIN, 25.0f);
    EXPECT_EQ(f1.LEVEL, 2.0f);  // GAIN also sets the amount to 25 / 10 in integers
    EXPECT_EQ(f1.HICUT, 1200);
    EXPECT_EQ(f1.Q, 0.5f);
    EXPECT_EQ(g.get_PCF_by_name("PCF_2")->LEVEL, 0.5f);
    EXPECT_EQ(g.get_PCF_by_name("PCF_3")->LEVEL, 0.0f);
    EXPECT_NEAR(g.vcos[0]->FREQ, 8.1757989 * std::pow(2.0, (58 + 11) / 12.0), 1e-3);
    EXPECT_EQ(g.vcos[0]->PHASE, 1.5f);
    const SHARED<float>* level = g.mixers[0]->level;
    EXPECT_EQ(level[0] + level[1] + level[3], 0.5f + 1.0f + 0.25f);
}

TEST_F(KsyTest, InlineSequencerKeysAddressTheirPatternAndStep) {
    GENERATOR g;
    const std::string out = load_text(
        g, "SEQUENCER_1;DIVIDER=4.5;NBR_STEP=16;NBR_STEP_005=8;NOTE_001_05=27;BYPASS_5=1;"
           "BYPASS_002_07=1;VOLUME_12=0.5;VOLUME_003_04=0.25;LENGHT_9=0.75;LENGHT_004_06=0.125;");
    const SEQUENCER& s = *g.sequencers.at(0);
    EXPECT_EQ(s.divider[0] + s.wished_divider, 4.5f + 4.5f);
    EXPECT_EQ(s.NBR_STEP[0] * 100 + s.NBR_STEP[5], 1608);
    EXPECT_EQ(s.octave[1 * 64 + 5] * 100 + s.note[1 * 64 + 5], 203);  // 27 = 2 x 12 + 3
    EXPECT_EQ(s.bypass[5] + s.bypass[2 * 64 + 7], 2);
    EXPECT_EQ(s.volume[12] + s.volume[3 * 64 + 4], 0.5f + 0.25f);
    EXPECT_EQ(s.LENGHT[9] + s.LENGHT[4 * 64 + 6], 0.75f + 0.125f);
    EXPECT_NE(out.find("[BYPASS_5=1]\n[BYPASS_002_07=1]\n"), std::string::npos) << out;
}

TEST_F(KsyTest, PatternFileIsLoadedAndSetsTheWishedDivider) {
    GENERATOR g;
    load_text(g, "SEQUENCER_1;PARTITION_FILE_NAME=PARTITIONS/bass.PAR;");
    SEQUENCER direct;
    ASSERT_EQ(direct.load_partition("PARTITIONS/bass.PAR"), 1);
    EXPECT_EQ(std::memcmp(g.sequencers[0]->note, direct.note, sizeof direct.note), 0);
    EXPECT_EQ(g.sequencers[0]->wished_divider, direct.divider[0]);
}

TEST_P(OutOfRange, FieldIsReportedAndIgnored) {
    GENERATOR g;
    const std::string out = load_text(g, GetParam().text);
    EXPECT_NE(out.find(std::string("Line 1: ") + GetParam().expected), std::string::npos) << out;
    const SEQUENCER fresh;
    // The grid fields lie in one block, from the dividers to the volumes.
    const std::size_t grid = reinterpret_cast<const char*>(std::end(fresh.volume)) -
                             reinterpret_cast<const char*>(fresh.divider);
    for (const SEQUENCER* s : g.sequencers) EXPECT_EQ(std::memcmp(s->divider, fresh.divider, grid), 0);
    for (const MIXER* m : g.mixers) EXPECT_EQ(m->level[0], 1.0f);
    for (const VCO* v : g.vcos) EXPECT_EQ(v->FREQ, 110.0f);
}

INSTANTIATE_TEST_SUITE_P(
    LoaderLimits, OutOfRange,
    ::testing::Values(Case{"SEQUENCER_1;NOTE_070_01=5;", "pattern 70 outside 0..63"},
                      Case{"SEQUENCER_1;NOTE_001_99=5;", "step 99 outside 0..63"},
                      Case{"SEQUENCER_1;NOTE_001_01=2000;", "note number 2000 outside 0..1999"},
                      Case{"SEQUENCER_1;NBR_STEP=65;", "step count 65 outside 1..64"},
                      Case{"SEQUENCER_1;BYPASS_099_01=1;", "pattern 99"},
                      Case{"MIXER_1;V_24=0.5;", "mixer channel 24 outside 0..23"},
                      Case{"VCO_1;NOTE=-1;", "note number -1"}, Case{"VCO_1;FREQ;", "field [FREQ] has no value"}));

TEST_F(KsyTest, TokensAreCountedAcrossCommentsAndMarkers) {
    GENERATOR g;
    EXPECT_EQ(load_text(g, "BEGIN_OBJECTS_DECLARE\n# two words\n\n  VCO_1 VCO_2;-;\nEND_OBJECTS_DECLARE\nVCO_3;-;"),
              "Ligne 3 semble avoir moins de 2 parametres\nLigne 4 semble avoir moins de 2 parametres\n"
              "Ligne 5 semble avoir moins de 2 parametres\n");
    EXPECT_EQ(census(g), "vcos=1");
    EXPECT_EQ(result, 1);
}

TEST_F(KsyTest, OverlongTokensAndNamesAreReported) {
    GENERATOR g;
    const std::string longest = "VCO_" + std::string(380000 - 7, 'B') + ";-;";
    const std::string out = load_text(g, std::string(380001, 'A') + " " + longest + " X");
    EXPECT_NE(out.find("Line 1: token longer than 380000 characters, ignored\nLine 2: name [VCO_BBB"), std::string::npos);
    EXPECT_NE(out.find("longer than 79 characters, cut\nLigne 3 semble"), std::string::npos);
    EXPECT_EQ(std::strlen(g.vcos.at(0)->name), 79u);
}

TEST_F(KsyTest, EmptyFieldEndsTheProgramButOnlyDropsTheRestOfAMixerLine) {
    GENERATOR g;
    EXPECT_EQ(load_text(g, "BEGIN_OBJECTS_DECLARE VCO_1;;"), "Erreur, au niveau des parametre ligne [2]\n");
    EXPECT_EQ(exit_status, -1);
    exit_status = 0;
    EXPECT_EQ(load_text(g, "MIXER_1;V_00=0.5;;V_01=0.25; KEY_1;; VCO_1;-;"),
              "Mixer Erreur, au niveau des parametre ligne [1]\n");
    EXPECT_EQ(exit_status, 0);
    EXPECT_EQ(g.mixers[0]->level[0] + g.mixers[0]->level[1], 0.5f + 1.0f);
    EXPECT_EQ(census(g), "keyboards=1 vcos=1 mixers=1");
}

TEST_F(KsyTest, UnreadableFileEmptiesThePatchAndFails) {
    GENERATOR g;
    load_text(g, "VCO_1;-;");
    EXPECT_EQ(load(g, dir + "/none.ksy"), "Must Specify a true filename\n");
    EXPECT_EQ(result + g.nb_vcos + static_cast<int>(g.vcos.size()), 0);
    EXPECT_EQ(load(g, dir), "Must Specify a true filename\n");  // a folder is no patch
    EXPECT_EQ(result, 0);
    load_text(g, "");
    EXPECT_EQ(result, 1);
}

TEST_F(KsyTest, ConstructorLoadsAFileOrStaysEmpty) {
    std::string path = write("c.ksy", "VCA_1;-; KEY_1;;");
    GENERATOR g(&path[0]), empty(nullptr);
    EXPECT_EQ(census(g), "keyboards=1 vcas=1");
    EXPECT_STREQ(g.file_name, path.c_str());
    EXPECT_EQ(census(empty) + empty.file_name, "");
}

TEST_F(KsyTest, SubPatchIsLoadedWithItsLinks) {
    const std::string sub = write("sub.ksy", "VCO_S;FREQ=330; SOUND_OUT_S;; END_OBJECTS_DECLARE\n"
                                             "BEGIN_LINKS_DECLARE SOUND_OUT_S;IN=VCO_S; END_LINKS_DECLARE");
    GENERATOR g;
    EXPECT_EQ(load_text(g, "GENERATOR_1;FILE=" + sub + "; GENERATOR_2;FILE=" + dir + "/none.ksy; VCO_1;-;"),
              "Must Specify a true filename\n");
    EXPECT_EQ(census(g), "vcos=1 generators=2");
    const GENERATOR& s = *g.get_GENERATOR_by_name("GENERATOR_1");
    EXPECT_STREQ(s.file_name, sub.c_str());
    EXPECT_EQ(s.vcos.at(0)->FREQ, 330.0f);
    EXPECT_EQ(s.sound_outputs.at(0)->IN->source, &s.vcos[0]->value);
    EXPECT_EQ(census(*g.get_GENERATOR_by_name("GENERATOR_2")), "");
}

TEST_F(KsyTest, PatchesIncludingThemselvesStop) {
    GENERATOR g;
    const std::string a = dir + "/a.ksy", b = dir + "/b.ksy";
    write("a.ksy", "GENERATOR_B;FILE=" + b + "; VCO_A;-;");
    write("b.ksy", "GENERATOR_A;FILE=" + a + "; VCO_B;-;");
    EXPECT_EQ(load(g, a), "Sub-patch [" + a + "] includes itself: not loaded\n");
    EXPECT_EQ(census(*g.generators.at(0)), "vcos=1 generators=1");
    EXPECT_EQ(census(*g.generators[0]->generators.at(0)), "");
    for (int i = 0; i < 10; i++)
        write("f" + std::to_string(i) + ".ksy", "GENERATOR_N;FILE=" + dir + "/f" + std::to_string(i + 1) + ".ksy;");
    EXPECT_EQ(load(g, dir + "/f0.ksy"), "Sub-patch [" + dir + "/f9.ksy] nested more than 8 deep: not loaded\n");
}

TEST_F(KsyTest, ReloadReplacesThePatchAndWaitsForTheAudioLock) {
    GENERATOR g;
    load_text(g, "VCO_1;-; VCO_2;-; SOUND_OUT_1;; END_OBJECTS_DECLARE BEGIN_LINKS_DECLARE "
                 "SOUND_OUT_1;IN=VCO_1; VCO_2;MOD_FREQ=VCO_1;");
    EXPECT_EQ(g.owned_inputs.size(), 2u);
    std::string other = write("other.ksy", "VCA_1;-;");
    std::unique_lock<std::mutex> audio(g.audio_lock);
    std::thread reload([&] { g.load_KSY(&other[0]); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(g.vcos.size(), 2u);  // untouched while the callback holds the lock
    audio.unlock();
    reload.join();
    EXPECT_EQ(census(g), "vcas=1");
    EXPECT_TRUE(g.owned_inputs.empty());
}

}  // namespace
