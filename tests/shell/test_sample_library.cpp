// The sound library's sample calls over our WAV reader, and SaveToWav: header
// bytes from the header table, round trips, files that cannot be made.
#include <gtest/gtest.h>

#include "tests/temp_path.h"
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "shell/fsound.h"
#include "shell/wav_save.h"

namespace {

std::vector<unsigned char> read_all(const char* path) {
    std::vector<unsigned char> b(1 << 16);
    FILE* f = std::fopen(path, "rb");
    b.resize(f ? std::fread(b.data(), 1, b.size(), f) : 0);
    if (f) std::fclose(f);
    return b;
}
std::uint32_t u32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
unsigned u16(const std::vector<unsigned char>& b, size_t at) { return b[at] | b[at + 1] << 8; }
std::string tag(const std::vector<unsigned char>& b, size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

// SaveToWav writes into the working directory: each test works in a folder of its own.
class RecordFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getcwd(home, sizeof home), nullptr);
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : test) c = c == '/' ? '_' : c;
        folder = test_temp_path("record_" + test);
        mkdir(folder.c_str(), 0755);
        ASSERT_EQ(chdir(folder.c_str()), 0);
    }
    void TearDown() override {
        std::remove(RECORD_FILE);
        rmdir(RECORD_FILE);
        ASSERT_EQ(chdir(home), 0);
        rmdir(folder.c_str());
    }
    // A sample whose bytes count 0, 1, 2, ... (mod 251).
    static std::unique_ptr<FSOUND_SAMPLE> counting(int frames, unsigned mode, int rate) {
        auto s = wav_new_sample(frames, mode, rate);
        auto* bytes = reinterpret_cast<unsigned char*>(s->data.data());
        for (size_t i = 0; i < s->data_bytes(); i++) bytes[i] = static_cast<unsigned char>(i % 251);
        return s;
    }
    char home[4096];
    std::string folder;
};

struct Layout {
    int frames;
    unsigned mode;
    int rate, channels, bits;
};

class SavedHeader : public RecordFolder, public ::testing::WithParamInterface<Layout> {};

TEST_P(SavedHeader, FollowsTheHeaderTable) {
    const Layout l = GetParam();
    SaveToWav(counting(l.frames, l.mode, l.rate).get());
    const std::vector<unsigned char> b = read_all(RECORD_FILE);
    const std::uint32_t data_size = static_cast<std::uint32_t>(l.frames * l.channels * l.bits / 8);
    ASSERT_EQ(b.size(), 44 + data_size);
    EXPECT_EQ(tag(b, 0) + tag(b, 8) + tag(b, 12) + tag(b, 36), "RIFFWAVEfmt data");
    EXPECT_EQ(u32(b, 4), data_size + 36);
    EXPECT_EQ(u32(b, 16), 16u);
    EXPECT_EQ(u16(b, 20), 1u);
    EXPECT_EQ(u16(b, 22), static_cast<unsigned>(l.channels));
    EXPECT_EQ(u32(b, 24), static_cast<std::uint32_t>(l.rate));
    EXPECT_EQ(u32(b, 28), static_cast<std::uint32_t>(l.rate * l.channels * l.bits / 8));
    EXPECT_EQ(u16(b, 32), static_cast<unsigned>(l.channels * l.bits / 8));
    EXPECT_EQ(u16(b, 34), static_cast<unsigned>(l.bits));
    EXPECT_EQ(u32(b, 40), data_size);
    for (size_t i = 0; i < data_size; i++) ASSERT_EQ(b[44 + i], i % 251) << i;
}

INSTANTIATE_TEST_SUITE_P(SampleLibrary, SavedHeader,
                         ::testing::Values(Layout{1000, FSOUND_16BITS | FSOUND_STEREO, 44100, 2, 16},
                                           Layout{333, 0, 8000, 1, 8}, Layout{5, FSOUND_STEREO, 22050, 2, 8},
                                           Layout{9, FSOUND_16BITS, 48000, 1, 16}, Layout{0, FSOUND_16BITS, 44100, 1, 16}),
                         [](const auto& i) {
                             return std::to_string(i.param.frames) + "_frames_" + std::to_string(i.param.channels) +
                                    "ch_" + std::to_string(i.param.bits) + "bit";
                         });

TEST_F(RecordFolder, SavedFileLoadsBackThroughBothReaders) {
    auto s = counting(1000, FSOUND_16BITS | FSOUND_STEREO, 44100);
    SaveToWav(s.get());
    const std::vector<unsigned char> first = read_all(RECORD_FILE);
    EXPECT_EQ(first.size(), 4044u);
    EXPECT_EQ(u32(first, 4), 4036u);
    EXPECT_EQ(u32(first, 28), 176400u);
    EXPECT_EQ(u16(first, 32), 4u);

    std::vector<short> buffer(2000);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(LoadToWav(buffer.data(), RECORD_FILE, 4000), 4000);
    FSOUND_SAMPLE* loaded = FSOUND_Sample_Load(0, RECORD_FILE, FSOUND_2D, 0, 0);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(buffer, s->data);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(FSOUND_Sample_GetLength(loaded), 1000u);
    EXPECT_EQ(FSOUND_Sample_GetMode(loaded), FSOUND_16BITS | FSOUND_STEREO);
    int freq = 0;
    EXPECT_EQ(FSOUND_Sample_GetDefaults(loaded, &freq, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(freq, 44100);

    // A lock is one part, cut to the data; none starts outside it.
    void *p1 = nullptr, *p2 = &freq;
    unsigned l1 = 0, l2 = 99;
    ASSERT_EQ(FSOUND_Sample_Lock(loaded, 30, 5000, &p1, &p2, &l1, &l2), 1);
    EXPECT_EQ(l1, 4000u - 30);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(l2, 0u);
    EXPECT_EQ(std::memcmp(p1, first.data() + 44 + 30, l1), 0);
    EXPECT_EQ(FSOUND_Sample_Unlock(loaded, p1, p2, l1, l2), 1);
    EXPECT_EQ(FSOUND_Sample_Lock(loaded, 4001, 1, &p1, &p2, &l1, &l2), 0);
    EXPECT_EQ(FSOUND_Sample_Lock(loaded, -1, 1, &p1, &p2, &l1, &l2), 0);

    SaveToWav(loaded);  // the loaded copy saves to the same file
    FSOUND_Sample_Free(loaded);
    EXPECT_EQ(read_all(RECORD_FILE), first);
}

TEST_F(RecordFolder, NothingIsWrittenForANullSampleOrAnUncreatableFile) {
    SaveToWav(nullptr);
    EXPECT_TRUE(read_all(RECORD_FILE).empty());
    EXPECT_EQ(FSOUND_Sample_GetLength(nullptr), 0u);
    EXPECT_EQ(FSOUND_Sample_GetDefaults(nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    FSOUND_Sample_Free(nullptr);

    ASSERT_EQ(mkdir(RECORD_FILE, 0755), 0);  // a folder in the way
    auto s = counting(10, FSOUND_16BITS | FSOUND_STEREO, 44100);
    ::testing::internal::CaptureStdout();
    SaveToWav(s.get());
    EXPECT_FALSE(save_wav_file(s.get(), "no/such/folder/named.wav"));
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("Cannot create [record.wav]"), std::string::npos) << said;
    EXPECT_NE(said.find("Cannot create [no/such/folder/named.wav]"), std::string::npos) << said;
    struct stat st;
    ASSERT_EQ(stat(RECORD_FILE, &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(RecordFolder, MissingOrForeignFilesGiveNoHandle) {
    FILE* f = std::fopen("text.wav", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a sound at all, just some text\n", f);
    std::fclose(f);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(FSOUND_Sample_Load(0, "missing.wav", FSOUND_2D, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, "text.wav", FSOUND_2D, 0, 0), nullptr);
    const std::string said = ::testing::internal::GetCapturedStdout();
    std::remove("text.wav");
    EXPECT_NE(said.find("Error load [missing.wav]"), std::string::npos) << said;
    EXPECT_NE(said.find("[text.wav]"), std::string::npos) << said;
}

}  // namespace
