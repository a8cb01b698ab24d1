// Samples in other formats: each file is made here with libsndfile, loaded
// through the reader the sampler uses, and must come out as 16-bit stereo at
// 44100 Hz with its pitch, length and level kept.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "synth/sample_import.h"
#include "synth/sampler.h"
#include "synth/wav.h"
#include "tests/temp_path.h"

namespace {

constexpr double TONE_HZ = 441.0;
constexpr double SECONDS = 0.2;
constexpr double LEVEL = 0.5;

struct Format {
    const char* name;
    int format;
    int channels;
    int rate;
    double level_tolerance;  ///< lossy formats move the peak a little
};

// A sine of TONE_HZ at LEVEL, SECONDS long, in the format asked.
std::string write_tone(const Format& f) {
    const std::string path = test_temp_path(std::string(f.name));
    SF_INFO info{};
    info.samplerate = f.rate;
    info.channels = f.channels;
    info.format = f.format;
    SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(out, nullptr) << sf_strerror(nullptr);
    if (out == nullptr) return path;
    const int frames = static_cast<int>(f.rate * SECONDS);
    std::vector<float> data(static_cast<size_t>(frames) * f.channels);
    for (int t = 0; t < frames; t++)
        for (int c = 0; c < f.channels; c++)
            data[static_cast<size_t>(t) * f.channels + c] =
                static_cast<float>(LEVEL * std::sin(2 * M_PI * TONE_HZ * t / f.rate));
    sf_writef_float(out, data.data(), frames);
    sf_close(out);
    return path;
}

// Rising zero crossings of one channel, as a frequency at 44100 Hz.
double pitch_of(const FSOUND_SAMPLE& s, int channel) {
    int first = -1, last = -1, count = 0;
    for (int t = 1; t < s.length; t++) {
        if (s.data[2 * (t - 1) + channel] < 0 && s.data[2 * t + channel] >= 0) {
            if (first < 0) first = t;
            last = t;
            count++;
        }
    }
    return count > 1 ? (count - 1) * 44100.0 / (last - first) : 0.0;
}

class SampleFormats : public ::testing::TestWithParam<Format> {};

TEST_P(SampleFormats, PlayAtTheirPitchAndFullLength) {
    const Format& f = GetParam();
    const std::string path = write_tone(f);
    ::testing::internal::CaptureStdout();
    auto s = wav_load_sample(path.c_str(), SAMPLER_CAPACITY_BYTES);
    ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(s) << f.name;
    EXPECT_EQ(s->channels(), 2);
    EXPECT_EQ(s->bits(), 16);
    EXPECT_EQ(s->frequency, 44100);
    EXPECT_NEAR(s->length, 44100 * SECONDS, 2) << "the length of the sound is kept";
    EXPECT_NEAR(pitch_of(*s, 0), TONE_HZ, 1.0);
    EXPECT_NEAR(pitch_of(*s, 1), TONE_HZ, 1.0);
    short peak = 0;
    bool same = true;
    for (int t = 0; t < s->length; t++) {
        peak = std::max(peak, s->data[2 * t]);
        same = same && s->data[2 * t] == s->data[2 * t + 1];
    }
    EXPECT_NEAR(peak / 32768.0, LEVEL, f.level_tolerance);
    EXPECT_TRUE(same) << "both channels carry the tone";
}

INSTANTIATE_TEST_SUITE_P(
    Import, SampleFormats,
    ::testing::Values(Format{"mono16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, 0.001},
                      Format{"u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 2, 44100, 0.01},
                      Format{"pcm24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 44100, 0.001},
                      Format{"pcm32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 1, 44100, 0.001},
                      Format{"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 0.001},
                      Format{"rate48k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000, 0.01},
                      Format{"rate22k.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 22050, 0.01},
                      Format{"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, 0.05},
                      Format{"aiff.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 44100, 0.001}),
    [](const auto& i) { return std::to_string(i.index); });

TEST(SampleImport, SixteenBitStereoAt44100IsReadByteForByte) {
    // Such a file holds exactly what the sampler plays: no conversion touches it.
    const Format f{"plain.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 0};
    const std::string path = write_tone(f);
    SF_INFO info{};
    SNDFILE* in = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(in, nullptr);
    std::vector<short> raw(static_cast<size_t>(info.frames) * 2);
    sf_readf_short(in, raw.data(), info.frames);
    sf_close(in);
    auto s = wav_load_sample(path.c_str(), SAMPLER_CAPACITY_BYTES);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->data, raw);
}

TEST(SampleImport, TooLargeOrUnreadableIsRefusedNamingTheFile) {
    const std::string big = write_tone({"big.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 22050, 0});
    const std::string junk = test_temp_path("junk.wav");
    std::FILE* f = std::fopen(junk.c_str(), "wb");
    std::fputs("not a sound at all", f);
    std::fclose(f);
    for (const std::string& path : {big, junk}) {
        ::testing::internal::CaptureStdout();
        // 0.2 s at 22050 Hz is 8820 frames at 44100 Hz: 35280 bytes, more than 1000.
        EXPECT_FALSE(wav_load_sample(path.c_str(), 1000));
        const std::string said = ::testing::internal::GetCapturedStdout();
        EXPECT_NE(said.find("[" + path + "] not loaded"), std::string::npos) << said;
        EXPECT_NE(sample_problem(path.c_str(), 1000), "");
    }
    EXPECT_EQ(sample_problem(big.c_str(), SAMPLER_CAPACITY_BYTES), "");
}

}  // namespace
