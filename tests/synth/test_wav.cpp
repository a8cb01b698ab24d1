// The WAV reader: canonical files, the chunk walk, and malformed files, each
// either refused with a message or read cleanly within the caller's room.
#include <gtest/gtest.h>

#include "tests/temp_path.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "synth/wav.h"

namespace {

// Builds WAV file images chunk by chunk.
struct Bytes {
    std::vector<unsigned char> b;
    Bytes& tag(const char* t) { b.insert(b.end(), t, t + 4); return *this; }
    Bytes& u32(std::uint32_t v) { for (int i = 0; i < 4; i++) b.push_back(static_cast<unsigned char>(v >> (8 * i))); return *this; }
    Bytes& u16(unsigned v) { b.push_back(v & 0xff); b.push_back((v >> 8) & 0xff); return *this; }
    Bytes& raw(std::size_t n, unsigned char fill = 0) { b.insert(b.end(), n, fill); return *this; }
    Bytes& values(int n) {
        for (int i = 0; i < n; i++) u16(static_cast<unsigned>(1000 + 7 * i));
        return *this;
    }
    // A "fmt " chunk of the given size (at least 16), then its padding fields.
    Bytes& fmt(unsigned format_tag = 1, unsigned channels = 2, unsigned bits = 16, std::uint32_t size = 16) {
        tag("fmt ").u32(size).u16(format_tag).u16(channels).u32(44100).u32(44100 * channels * bits / 8);
        u16(channels * bits / 8).u16(bits);
        return raw(size - 16);
    }
    Bytes& riff() { return tag("RIFF").u32(0).tag("WAVE"); }
    Bytes& data(std::uint32_t claimed, int present_values) { return tag("data").u32(claimed).values(present_values); }
};

// Value i of a file made with Bytes::values.
short value_at(int i) { return static_cast<short>(1000 + 7 * i); }

std::string write_file(const std::string& name, const std::vector<unsigned char>& b) {
    const std::string path = test_temp_path(name);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f != nullptr) {
        if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    }
    return path;
}

struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    int load_result;     // LoadToWav: data size, or -1
    int sample_frames;   // frames of the loaded sample, or -1 when refused
    int channels;        // of the loaded sample
};

constexpr int kRoom = 4096;  // bytes of room given to the reader

std::vector<Case> cases() {
    return {
        {"canonical", Bytes().riff().fmt().data(40, 20).b, 40, 10, 2},
        {"mono", Bytes().riff().fmt(1, 1).data(40, 20).b, 40, 20, 1},
        {"list_chunk_first", Bytes().riff().tag("LIST").u32(10).raw(10, 'x').fmt().data(8, 4).b, 8, 2, 2},
        {"odd_chunk_padded", Bytes().riff().fmt().tag("junk").u32(3).raw(4, 0xff).data(8, 4).b, 8, 2, 2},
        {"longer_fmt", Bytes().riff().fmt(1, 2, 16, 18).data(8, 4).b, 8, 2, 2},
        {"odd_data_size", Bytes().riff().fmt().data(9, 5).b, 9, 2, 2},
        {"data_beyond_file", Bytes().riff().fmt().data(4000, 6).b, 4000, 3, 2},
        {"empty_data", Bytes().riff().fmt().data(0, 0).b, 0, 0, 2},
        {"exactly_the_room", Bytes().riff().fmt().data(kRoom, kRoom / 2).b, kRoom, kRoom / 4, 2},
        {"beyond_the_room", Bytes().riff().fmt().data(kRoom + 2, kRoom / 2 + 1).b, -1, -1, 0},
        {"huge_data_claim", Bytes().riff().fmt().data(0xffffffffu, 2).b, -1, -1, 0},
        {"empty_file", {}, -1, -1, 0},
        {"truncated_riff", Bytes().tag("RIFF").u16(0).b, -1, -1, 0},
        {"truncated_fmt", Bytes().riff().tag("fmt ").u32(16).u16(1).u16(2).b, -1, -1, 0},
        {"header_only_riff", Bytes().riff().b, -1, -1, 0},
        {"not_riff", Bytes().tag("RIFX").u32(0).tag("WAVE").fmt().data(8, 4).b, -1, -1, 0},
        {"not_wave", Bytes().tag("RIFF").u32(0).tag("AVI ").fmt().data(8, 4).b, -1, -1, 0},
        {"float_format", Bytes().riff().fmt(3, 2, 32).data(8, 4).b, -1, -1, 0},
        {"eight_bit", Bytes().riff().fmt(1, 2, 8).data(8, 4).b, -1, -1, 0},
        {"three_channels", Bytes().riff().fmt(1, 3).data(12, 6).b, -1, -1, 0},
        {"no_channel", Bytes().riff().fmt(1, 0).data(8, 4).b, -1, -1, 0},
        {"short_fmt", Bytes().riff().tag("fmt ").u32(14).u16(1).u16(2).u32(44100).u32(0).u16(4).data(8, 4).b, -1, -1, 0},
        {"data_before_fmt", Bytes().riff().data(8, 4).fmt().b, -1, -1, 0},
        {"no_data_chunk", Bytes().riff().fmt().b, -1, -1, 0},
        {"no_fmt_chunk", Bytes().riff().tag("LIST").u32(2).raw(2).b, -1, -1, 0},
        {"chunk_beyond_file", Bytes().riff().fmt().tag("LIST").u32(0xfffffff0u).data(8, 4).b, -1, -1, 0},
    };
}

class WavFiles : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override { path = write_file(std::string("wav_") + GetParam().name + ".wav", GetParam().bytes); }
    std::string path;
};

TEST_P(WavFiles, LoadToWavReadsOrRefusesWithinTheRoom) {
    const Case& c = GetParam();
    // A heap block of exactly the room, filled with a mark: the sanitizers see any overrun.
    std::vector<short> buffer(kRoom / 2, 0x5a5a);
    ::testing::internal::CaptureStdout();
    const int got = LoadToWav(buffer.data(), path.c_str(), kRoom);
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(got, c.load_result);
    if (got < 0) {
        EXPECT_NE(said.find(path), std::string::npos) << "the message names the file: " << said;
        for (short v : buffer) ASSERT_EQ(v, 0x5a5a);
        return;
    }
    const int present = c.sample_frames * c.channels;
    for (int i = 0; i < present; i++) ASSERT_EQ(buffer[i], value_at(i)) << i;
}

TEST_P(WavFiles, SampleIsSizedToTheDataTheFileHolds) {
    const Case& c = GetParam();
    // The WAV reader itself (the sampler sends the files it refuses or would
    // misread to the converter of synth/sample_import.h).
    ::testing::internal::CaptureStdout();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::unique_ptr<FSOUND_SAMPLE> s = wav_read_sample(f, path.c_str(), kRoom);
    std::fclose(f);
    ::testing::internal::GetCapturedStdout();
    if (c.sample_frames < 0) {
        EXPECT_EQ(s, nullptr);
        return;
    }
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->length, c.sample_frames);
    EXPECT_EQ(s->channels(), c.channels);
    EXPECT_EQ(s->bits(), 16);
    EXPECT_EQ(s->frequency, 44100);
    EXPECT_EQ(s->data_bytes(), static_cast<std::size_t>(c.sample_frames * c.channels * 2));
    ASSERT_GE(s->data.size(), static_cast<std::size_t>(c.sample_frames * c.channels));
    for (int i = 0; i < c.sample_frames * c.channels; i++) ASSERT_EQ(s->data[i], value_at(i)) << i;
}

INSTANTIATE_TEST_SUITE_P(Wav, WavFiles, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

TEST(WavReader, MissingFileIsReportedAndTheBufferUntouched) {
    short buffer[4] = {1, 2, 3, 4};
    const std::string path = test_temp_path("no_such_file.wav");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(LoadToWav(buffer, path.c_str(), sizeof buffer), -1);
    EXPECT_EQ(wav_load_sample(path.c_str(), 100), nullptr);
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(said, "Error load [" + path + "]\n" + "Error load [" + path + "]\n");
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[3], 4);
}

// The sounds that come with the program: 16-bit stereo at 44100 Hz, short, not clipped.
class ShippedSound : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedSound, IsShortUnclippedStereo) {
    ::testing::internal::CaptureStdout();
    std::unique_ptr<FSOUND_SAMPLE> s = wav_load_sample(GetParam(), 16000000);
    ::testing::internal::GetCapturedStdout();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->channels(), 2);
    EXPECT_EQ(s->frequency, 44100);
    EXPECT_GT(s->length, 44100 / 20);
    EXPECT_LE(s->length, 3 * 44100);
    int peak = 0;
    for (short v : s->data) peak = std::max(peak, v < 0 ? -v : static_cast<int>(v));
    EXPECT_GT(peak, 32768 / 4) << "audible";
    EXPECT_LT(peak, 32767) << "not clipped";
}

INSTANTIATE_TEST_SUITE_P(Wav, ShippedSound,
                         ::testing::Values("Sounds/phaser.wav", "Sounds/kick.wav", "Sounds/snare.wav",
                                           "Sounds/hihat.wav", "Sounds/voice.wav"));

}  // namespace
