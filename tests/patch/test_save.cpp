// Patch saving: the name prompt, numbers that read back as the same float,
// failures that leave the old file, pattern files, and what the loader reads
// of the saver's new keys and links.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "patch/ksy_reader.h"
#include "patch/ksy_save.h"
#include "synth/names.h"
#include "tests/patch/ksy_fixture.h"

namespace fs = std::filesystem;

namespace {

// ------------------------------------------------------------ the prompt

struct NameCase {
    const char* typed;
    const char* path;     ///< "" when nothing is to be saved
    const char* message;  ///< part of what is printed, when refused or cancelled
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << label(c.typed); }
class PatchName : public ::testing::TestWithParam<NameCase> {};

TEST_P(PatchName, IsCheckedCompletedOrCancelled) {
    const std::string typed = GetParam().typed;
    std::FILE* in = fmemopen(const_cast<char*>(typed.data()), typed.size(), "r");
    ASSERT_NE(in, nullptr);
    char path[PATCH_NAME_MAX + 16];
    testing::internal::CaptureStdout();
    const int ok = read_patch_name(in, path, sizeof path);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ok, GetParam().path[0] != '\0');
    EXPECT_STREQ(path, GetParam().path);
    EXPECT_NE(out.find(GetParam().message), std::string::npos) << out;
    // Whatever happened, the line was consumed: the next prompt reads the next one.
    char next[PATCH_NAME_MAX + 16];
    testing::internal::CaptureStdout();
    const int again = read_patch_name(in, next, sizeof next);
    testing::internal::GetCapturedStdout();
    if (typed.find("\nnext\n") != std::string::npos) {
        EXPECT_EQ(std::to_string(again) + next, "1KSY/next.ksy");
    }
    std::fclose(in);
}

const std::string kLong = std::string(PATCH_NAME_MAX + 1, 'x') + "\nnext\n";
INSTANTIATE_TEST_SUITE_P(
    SavePrompt, PatchName,
    ::testing::Values(NameCase{"song\nnext\n", "KSY/song.ksy", ""}, NameCase{"  song.ksy \t\n", "KSY/song.ksy", ""},
                      NameCase{"Song.KSY", "KSY/Song.KSY", ""}, NameCase{"so\x7fng\n", "KSY/sng.ksy", ""},
                      NameCase{"\nnext\n", "", "cancelled"}, NameCase{"   \n", "", "cancelled"},
                      NameCase{"", "", "end of input"}, NameCase{"\x1b[A\nnext\n", "", "cancelled"},
                      NameCase{"a/b\nnext\n", "", "refused"}, NameCase{"..\n", "", "refused"},
                      NameCase{"x..y\n", "", "refused"}, NameCase{"my song\n", "", "refused"},
                      NameCase{"a;b\n", "", "refused"}, NameCase{".hidden\n", "", "refused"},
                      NameCase{kLong.c_str(), "", "longer than 200"}));

// ------------------------------------------------------------ numbers

struct NumberCase {
    float value;
    const char* text;
};
class Number : public ::testing::TestWithParam<NumberCase> {};

TEST_P(Number, ShortestTextReadingBackAsTheSameFloat) {
    char text[48];
    EXPECT_STREQ(ksy_number(GetParam().value, text, sizeof text), GetParam().text);
}

// 0.9f is 0.89999997615814208984375: "0.9" is the nearest one-digit text.
INSTANTIATE_TEST_SUITE_P(SaveNumbers, Number,
                         ::testing::Values(NumberCase{0.9f, "0.9"}, NumberCase{100.0f, "100"},
                                           NumberCase{-0.0f, "-0"}, NumberCase{1.0f / 3.0f, "0.33333334"},
                                           NumberCase{440.5f, "440.5"}, NumberCase{1e-7f, "1e-07"},
                                           NumberCase{16777216.0f, "16777216"}, NumberCase{INFINITY, "inf"}));

TEST(SaveNumbers, EveryFloatReadsBackBitForBit) {
    std::mt19937 bits(7);
    char text[48];
    for (int i = 0; i < 200000; i++) {
        const std::uint32_t w = bits();
        float v;
        std::memcpy(&v, &w, sizeof v);
        if (std::isnan(v)) continue;
        const float back = ksy_real(ksy_number(v, text, sizeof text));
        ASSERT_EQ(std::memcmp(&back, &v, sizeof v), 0) << text;
    }
}

// ------------------------------------------------------------ files

/// A working folder holding KSY/ and PARTITIONS/ of its own, the samples and
/// pattern files of data/ reached through links; the test runs inside it.
class SaveFiles : public KsyTest {
protected:
    void SetUp() override {
        KsyTest::SetUp();
        fs::create_directory(dir + "/KSY");
        fs::create_directory(dir + "/PARTITIONS");
        fs::create_directory_symlink(std::string(KEL_DATA_DIR) + "/Sounds", dir + "/Sounds");
        fs::copy_file(std::string(KEL_DATA_DIR) + "/PARTITIONS/bass.PAR", dir + "/PARTITIONS/bass.PAR");
        home = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override {
        fs::current_path(home);
        KsyTest::TearDown();
    }
    /// Saves g to path (no links), returning what was printed.
    std::string save(GENERATOR& g, const std::string& path, int expected = 1) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(save_ksy_file(path.c_str(), g, nullptr), expected);
        return testing::internal::GetCapturedStdout();
    }
    static std::string text(const std::string& path) {
        std::ifstream f(path);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    /// Entries of a folder.
    static int entries(const std::string& folder) {
        return static_cast<int>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
    fs::path home;
};

TEST_F(SaveFiles, FailuresSayWhyAndLeaveTheOldFileAndNoPatternFile) {
    std::ofstream("KSY/old.ksy") << "old text\n";
    GENERATOR g;
    load_text(g, "SEQUENCER_1;DIVIDER=3; VCO_1;FREQ=1; SAMPLER_1;FILE=Sounds/kick.wav;");
    copy_name(g.samplers[0]->file_name, "Sounds/missing.wav");
    EXPECT_NE(save(g, "KSY/old.ksy", 0).find("[Sounds/missing.wav] of [SAMPLER_1] cannot be read back"),
              std::string::npos);
    copy_name(g.samplers[0]->file_name, "Sounds/kick.wav");
    copy_name(g.vcos[0]->name, "VCO=1");
    EXPECT_NE(save(g, "KSY/old.ksy", 0).find("[VCO=1] cannot be stored"), std::string::npos);
    copy_name(g.vcos[0]->name, "VCO_1");
    // The target cannot be replaced: the pattern file made for the sequencer goes again.
    fs::create_directory("KSY/dir.ksy");
    EXPECT_NE(save(g, "KSY/dir.ksy", 0).find("Cannot replace [KSY/dir.ksy]"), std::string::npos);
    EXPECT_STREQ(g.sequencers[0]->partition_file_name, "");
    std::ofstream("NOT_A_FOLDER") << "";
    EXPECT_NE(save(g, "NOT_A_FOLDER/x.ksy", 0).find("Cannot write in [NOT_A_FOLDER/]"), std::string::npos);
    EXPECT_EQ(text("KSY/old.ksy"), "old text\n");
    EXPECT_EQ(entries("KSY"), 2);  // old.ksy and dir.ksy: no temporary file left
    EXPECT_EQ(entries("PARTITIONS"), 1);
    // Then a save that works replaces the old file whole, with a word about a
    // name that makes two modules when loaded.
    copy_name(g.vcos[0]->name, "VCO_MIXER_1");
    EXPECT_NE(save(g, "KSY/old.ksy").find("[VCO_MIXER_1] holds the words of several module types"), std::string::npos);
    EXPECT_EQ(text("KSY/old.ksy").rfind(KSY_FORMAT_MARKER, 0), 0u);
    EXPECT_EQ(entries("KSY"), 2);
}

// ------------------------------------------------------------ what the loader reads

// What a file written by hand notices: decimals are kept, a filter's amount
// still follows its gain's integer part unless AMOUNT follows, new keys are
// matched on their key alone, and a pattern name written with a backslash opens.
TEST_F(SaveFiles, TheLoaderReadsDecimalsAndTheNewKeysOnlyByTheirKey) {
    GENERATOR g;
    load_text(g, "CONSTANTE_1;VALUE=-2.75; VCA_1;ATTACK=12.5;SUSTAIN=0.5; PCF_1;GAIN=25.5; PCF_2;GAIN=25.5;AMOUNT=0.25;"
                 " SEQUENCER_1;PARTITION_FILE_NAME=PARTITIONS/POWER.PAR;"
                 " SEQUENCER_2;PARTITION_FILE_NAME=PARTITIONS\\bass.PAR;");
    EXPECT_EQ(g.constantes[0]->VALUE, -2.75f);
    EXPECT_EQ(g.vcas[0]->ATTACK + g.vcas[0]->SUSTAIN, 12.5f + 0.5f);
    EXPECT_EQ(g.get_PCF_by_name("PCF_1")->GAIN + g.get_PCF_by_name("PCF_1")->LEVEL, 25.5f + 2.0f);
    EXPECT_EQ(g.get_PCF_by_name("PCF_2")->LEVEL, 0.25f);
    EXPECT_EQ(g.get_SEQUENCER_by_name("SEQUENCER_1")->running, 1);  // POWER in a file name is no POWER key
    EXPECT_STREQ(g.get_SEQUENCER_by_name("SEQUENCER_2")->partition_file_name, "PARTITIONS/bass.PAR");
}

// Without the marker a field's key is searched in its whole text, and the
// source name VCO_SINE holds IN; with it, only the key counts.
TEST_F(KsyTest, MarkedFilesMatchLinkKeysOnTheKeyAlone) {
    for (const bool keyed : {false, true}) {
        GENERATOR g;
        load_text(g, (keyed ? std::string(KSY_FORMAT_MARKER) : "") +
                         " VCO_1;FREQ=1; VCO_SINE;FREQ=2; END_OBJECTS_DECLARE BEGIN_LINKS_DECLARE VCO_1;MOD_FREQ=VCO_SINE;");
        const VCO& v = *g.get_VCO_by_name("VCO_1");
        const float* sine = &g.get_VCO_by_name("VCO_SINE")->value;
        EXPECT_EQ(v.MOD_FREQ->source, sine);
        EXPECT_EQ(v.source, keyed ? nullptr : sine);
    }
}

}  // namespace
