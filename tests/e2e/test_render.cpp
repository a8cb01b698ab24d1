// The whole program: patches rendered to WAV files by the executable, through
// the same callback the sound card will hear, then read back and checked.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "synth/notes.h"
#include "synth/wav.h"

namespace {

const std::string kProgram = std::string(KEL_BINARY_DIR) + "/z_ozodive";
const std::string kData = KEL_DATA_DIR;

std::string temp_path(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/z_ozodive_e2e_" + std::to_string(getpid()) + "_" + name;
}

// Runs the program from the data folder; returns its exit status, its output in *out.
int run(const std::string& args, std::string* out = nullptr) {
    const std::string log = temp_path("log.txt");
    const std::string cmd = "cd '" + kData + "' && '" + kProgram + "' " + args + " >'" + log + "' 2>&1";
    const int rc = std::system(cmd.c_str());
    if (out != nullptr) {
        std::ifstream f(log);
        out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    std::remove(log.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

struct Rendered {
    std::vector<short> left, right;
    WAV_FORMAT format;
};

Rendered read_back(const std::string& path) {
    Rendered r;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr) << path;
    if (f == nullptr) return r;
    EXPECT_EQ(wav_read_header(f, &r.format), nullptr);
    std::fseek(f, 0, SEEK_SET);
    auto s = wav_read_sample(f, path.c_str(), 1 << 30);
    std::fclose(f);
    EXPECT_TRUE(s);
    if (!s) return r;
    for (size_t i = 0; i + 1 < s->data.size(); i += 2) {
        r.left.push_back(s->data[i]);
        r.right.push_back(s->data[i + 1]);
    }
    return r;
}

Rendered render(const std::string& patch, double seconds, const std::string& name) {
    const std::string out = temp_path(name + ".wav");
    std::string log;
    const int rc = run("--render '" + out + "' --seconds " + std::to_string(seconds) + " " + patch, &log);
    EXPECT_EQ(rc, 0) << log;
    Rendered r = read_back(out);
    std::remove(out.c_str());
    return r;
}

std::string write_patch(const std::string& name, const std::string& text) {
    const std::string path = temp_path(name + ".ksy");
    std::ofstream(path) << text;
    return path;
}

}  // namespace

TEST(RenderCommand, WritesTheCanonicalFormatAndTheExactFrameCount) {
    const std::string patch = write_patch("const", "CONSTANTE_HALF;VALUE=0;\nSOUND_OUT;;\nEND_OBJECTS_DECLARE\n"
                                                   "BEGIN_LINKS_DECLARE\nSOUND_OUT;IN=CONSTANTE_HALF;\nEND_LINKS_DECLARE\n");
    const std::string out = temp_path("format.wav");
    ASSERT_EQ(run("--render '" + out + "' --seconds 0.5 '" + patch + "'"), 0);
    std::ifstream f(out, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const size_t frames = 22050;
    ASSERT_EQ(bytes.size(), 44 + frames * 4);
    auto u32 = [&](size_t at) { return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | (unsigned)bytes[at + 3] << 24; };
    auto u16 = [&](size_t at) { return bytes[at] | bytes[at + 1] << 8; };
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(u32(4), frames * 4 + 36);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u16(20), 1u);
    EXPECT_EQ(u16(22), 2u);
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u32(28), 176400u);
    EXPECT_EQ(u16(32), 4u);
    EXPECT_EQ(u16(34), 16u);
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
    EXPECT_EQ(u32(40), frames * 4);
    std::remove(out.c_str());
    std::remove(patch.c_str());
}

TEST(RenderCommand, SawtoothAt441HzFollowsItsCycle) {
    const std::string patch = write_patch("saw", "VCO_SAW;TYPE=3;FREQ=441;AMOUNT=1;\nMIXER_1;V_00=1;\nSOUND_OUT;;\n"
                                                 "END_OBJECTS_DECLARE\nBEGIN_LINKS_DECLARE\n"
                                                 "SOUND_OUT;IN=VCO_SAW;\nEND_LINKS_DECLARE\n");
    Rendered r = render("'" + patch + "'", 0.1, "saw");
    ASSERT_EQ(r.left.size(), 4410u);
    float cycle = 0;
    for (size_t i = 0; i < r.left.size(); i++) {
        cycle = static_cast<float>(cycle + 441.0f / 44100.0);
        if (cycle > 1.0f) cycle = -1.0f;
        const float v = cycle >= 1.0f ? 1.0f : cycle;
        ASSERT_EQ(r.left[i], static_cast<short>(static_cast<int>(v * 32767.0))) << i;
        ASSERT_EQ(r.right[i], r.left[i]);
    }
    std::remove(patch.c_str());
}

TEST(RenderCommand, ConstantAndOperationReachTheOutputScaled) {
    // Constants keep their decimals: 1.9 / 2 through an operation of two
    // constants gives 0.95 -> 0.95 x 32767 = 31128.6, truncated to 31128.
    const std::string patch = write_patch(
        "ops", "CONSTANTE_ONE;VALUE=1.9;\nCONSTANTE_TWO;VALUE=2;\nBASIC_OPERATION_DIV;TYPE=3;\nSOUND_OUT;;\n"
               "END_OBJECTS_DECLARE\nBEGIN_LINKS_DECLARE\nBASIC_OPERATION_DIV;IN1=CONSTANTE_ONE;IN2=CONSTANTE_TWO;\n"
               "SOUND_OUT;IN=BASIC_OPERATION_DIV;\nEND_LINKS_DECLARE\n");
    Rendered r = render("'" + patch + "'", 0.01, "ops");
    ASSERT_EQ(r.left.size(), 441u);
    for (short s : r.left) ASSERT_EQ(s, 31128);
    std::remove(patch.c_str());
}

TEST(RenderCommand, SequencerSoundsItsFirstStepOnFrame22050) {
    fill_NOTE2FREQ();
    const std::string patch = write_patch("seq", "SEQUENCER_1;DIVIDER=2;\nSOUND_OUT;;\nEND_OBJECTS_DECLARE\n"
                                                 "BEGIN_LINKS_DECLARE\nSOUND_OUT;IN=SEQUENCER_1;\nEND_LINKS_DECLARE\n");
    // The sequencer outputs a frequency in Hz; the output store keeps its low 16 bits.
    Rendered r = render("'" + patch + "'", 0.6, "seq");
    ASSERT_GT(r.left.size(), 22050u);
    const int word = static_cast<int>(static_cast<float>(NOTE2FREQ[46]) * 32767.0);
    const short expected = static_cast<short>(word & 0xFFFF);
    EXPECT_EQ(r.left[22048], 0);
    EXPECT_EQ(r.left[22049], expected);  // the 22,050th frame
    std::remove(patch.c_str());
}

TEST(RenderCommand, BadArgumentsAreRefusedClearly) {
    std::string log;
    EXPECT_NE(run("--render", &log), 0);
    EXPECT_NE(log.find("usage"), std::string::npos);
    EXPECT_NE(run("--render x.wav --seconds abc", &log), 0);
    EXPECT_NE(log.find("--seconds"), std::string::npos);
    EXPECT_NE(run("--render x.wav --seconds -1", &log), 0);
    EXPECT_NE(run("--render /nonexistent/dir/out.wav --seconds 1", &log), 0);
    EXPECT_NE(log.find("Cannot create"), std::string::npos);
    EXPECT_NE(run("--render " + temp_path("nopatch.wav") + " --seconds 1 KSY/no_such_patch.ksy", &log), 0);
    EXPECT_NE(log.find("no_such_patch"), std::string::npos);
    std::remove(temp_path("nopatch.wav").c_str());
}

// ---------------------------------------------------------------- the patches we ship

namespace {

struct Loudness {
    double rms = 0;
    double clipped_share = 0;  // frames at full scale
    double silent_share = 0;   // one-second blocks that are silent
};

Loudness measure(const std::vector<short>& s) {
    Loudness l;
    double sum = 0;
    size_t clipped = 0, silent_blocks = 0, blocks = 0;
    for (size_t i = 0; i < s.size(); i++) {
        sum += static_cast<double>(s[i]) * s[i];
        if (std::abs(s[i]) >= 32766) clipped++;
    }
    for (size_t b = 0; b + 44100 <= s.size(); b += 44100, blocks++) {
        double e = 0;
        for (size_t i = b; i < b + 44100; i++) e += static_cast<double>(s[i]) * s[i];
        if (std::sqrt(e / 44100) < 100) silent_blocks++;
    }
    l.rms = s.empty() ? 0 : std::sqrt(sum / s.size()) / 32768.0;
    l.clipped_share = s.empty() ? 0 : static_cast<double>(clipped) / s.size();
    l.silent_share = blocks ? static_cast<double>(silent_blocks) / blocks : 1;
    return l;
}

}  // namespace

class ShippedPatch : public ::testing::TestWithParam<std::string> {};

TEST_P(ShippedPatch, PlaysWithoutSilenceOrConstantClipping) {
    Rendered r = render(GetParam(), 8.0, "shipped");
    ASSERT_EQ(r.left.size(), 8u * 44100);
    Loudness l = measure(r.left);
    EXPECT_GT(l.rms, 0.02) << GetParam();
    EXPECT_LT(l.clipped_share, 0.01) << GetParam();
    EXPECT_EQ(l.silent_share, 0.0) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Default, ShippedPatch, ::testing::Values("KSY/ZZZ.ksy", "KSY/brio3.ksy"));

class ExamplePatch : public ::testing::TestWithParam<std::string> {};

TEST_P(ExamplePatch, IsHeardAndDoesNotClipConstantly) {
    Rendered r = render("KSY/examples/" + GetParam() + ".ksy", 4.0, "example");
    ASSERT_EQ(r.left.size(), 4u * 44100);
    Loudness l = measure(r.left);
    EXPECT_GT(l.rms, 0.02) << GetParam();
    EXPECT_LT(l.clipped_share, 0.01) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(OnePerModuleType, ExamplePatch,
                         ::testing::Values("VCO", "VCA", "PCF", "SEQUENCER", "KEY", "SAMPLER", "MIXER",
                                           "CONSTANTE", "VARIABLE", "AFFICHAGE", "BASIC_OPERATION",
                                           "SOUND_OUT", "GENERATOR"));
