// Sampler (loading, play modes, rate, reads inside its data, ending the program
// on an unreadable file) and mixer (averaging, mutes, channel links).
#include <gtest/gtest.h>

#include "tests/temp_path.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "synth/exit.h"
#include "synth/mixer.h"
#include "synth/sampler.h"

namespace {

// A canonical 16-bit stereo file of n values 100, 200, ...; `claimed` overrides the data size.
std::string write_wav(const std::string& name, int n, long long claimed = -1) {
    std::vector<unsigned char> b;
    auto put = [&](std::uint32_t v, int size) { for (int i = 0; i < size; i++) b.push_back(static_cast<unsigned char>(v >> (8 * i))); };
    auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
    const std::uint32_t size = claimed < 0 ? 2 * n : static_cast<std::uint32_t>(claimed);
    tag("RIFF");
    put(size + 36, 4);
    tag("WAVE");
    tag("fmt ");
    for (std::uint32_t v : {16u, 0x00020001u, 44100u, 176400u, 0x00100004u}) put(v, 4);  // PCM, 2 ch, 4-byte frames, 16 bits
    tag("data");
    put(size, 4);
    for (int i = 0; i < n; i++) put(static_cast<std::uint32_t>((i + 1) * 100), 2);
    const std::string path = test_temp_path(name);
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    return path;
}

float out(int index) { return index < 0 ? 0.0f : (index + 1) * 100 / 32768.0f; }

struct ExitCalled {
    int status;
};

class Sampling : public ::testing::Test {
protected:
    void SetUp() override {
        ::testing::internal::CaptureStdout();
        sampler = std::make_unique<SAMPLER>();
        said = ::testing::internal::GetCapturedStdout();
        load("ten_frames.wav", 20);  // length 40 bytes / 4 = 10
        sampler->gate_source = &gate;
    }
    void load(const char* name, int n, long long claimed = -1) {
        ::testing::internal::CaptureStdout();
        sampler->load_SAMPLE(write_wav(name, n, claimed).c_str());
        ::testing::internal::GetCapturedStdout();
    }
    std::vector<float> play(int n) {
        std::vector<float> v;
        for (int i = 0; i < n; i++) sampler->evolue(), v.push_back(sampler->value);
        return v;
    }
    int gate = 1;
    std::string said;
    std::unique_ptr<SAMPLER> sampler;
};

TEST_F(Sampling, NewSamplerLoadsTheDefaultSoundAndLoadsResetOnlyTheMode) {
    EXPECT_EQ(said, "Loaded WAVE file [Sounds/phaser.wav               ][88200 ]\n");  // 2 s of stereo
    sampler->mode = SMP_LOOP_BACKWARD;
    sampler->position = 6.0f;
    load("short_data.wav", 12, 800);  // claims 400 values, holds 12
    EXPECT_EQ(sampler->mode, SMP_FORWARD);
    EXPECT_EQ(sampler->position, 6.0f);
    EXPECT_EQ(sampler->length, 24 / 4);
    EXPECT_STREQ(sampler->file_name, test_temp_path("short_data.wav").c_str());
}

TEST_F(Sampling, GateLinkAndGateWordDecidePlaying) {
    sampler->gate_source = nullptr;
    sampler->value = 0.25f;
    play(2);
    EXPECT_EQ(sampler->value, 0.25f);  // no gate link: nothing new
    sampler->gate_source = &gate;
    play(3);
    gate = 0;
    EXPECT_EQ(play(1)[0], 0.0f);
    EXPECT_EQ(sampler->position, 0.0f);
    gate = 1;
    EXPECT_EQ(play(1)[0], out(0));
}

// With 10 frames at rate 1 the position moves 2 values a call and the play
// ends when it reaches 20, the end of the data: on call 11, which reads value 0
// again as the play restarts. Backward reads index 20 - position; 20 is one
// past the data, where the buffer holds silence. -1 stands for an output of 0.
struct ModeCase {
    int mode;
    std::vector<int> reads;
    int gate_after;
};

class SamplerModes : public Sampling, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(SamplerModes, ReadInTheirDirectionAndStopOrLoop) {
    sampler->mode = GetParam().mode;
    const std::vector<float> v = play(12);
    for (size_t k = 0; k < v.size(); k++) EXPECT_EQ(v[k], out(GetParam().reads[k])) << "call " << k;
    EXPECT_EQ(gate, GetParam().gate_after);
}

INSTANTIATE_TEST_SUITE_P(Sampler, SamplerModes,
                         ::testing::Values(ModeCase{SMP_FORWARD, {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 0, -1}, 0},
                                           ModeCase{SMP_BACKWARD, {-1, 18, 16, 14, 12, 10, 8, 6, 4, 2, -1, -1}, 0},
                                           ModeCase{SMP_LOOP_FORWARD, {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 0, 2}, 1},
                                           ModeCase{SMP_LOOP_BACKWARD, {-1, 18, 16, 14, 12, 10, 8, 6, 4, 2, -1, 18}, 1}));

TEST_F(Sampling, RateComesFromThePitchInputAndItsMagnitude) {
    load("long.wav", 400);
    OUTPUT pitch_in;
    pitch_in.value = 880.0f;  // 880 / 440 + 1 - 1 = rate 2
    sampler->source = &pitch_in.value;
    EXPECT_EQ(play(3), (std::vector<float>{out(0), out(4), out(8)}));
    EXPECT_EQ(sampler->position, 12.0f);
    pitch_in.value = -440.0f;  // rate -1 plays forward at speed 1
    gate = 0;
    play(1);
    gate = 1;
    EXPECT_EQ(play(2), (std::vector<float>{out(0), out(2)}));
}

TEST_F(Sampling, PositionThrownBeyondTheEndEndsThePlayAtAnyRate) {
    sampler->mode = SMP_LOOP_FORWARD;
    sampler->pitch = 1e30f;
    play(1);
    // Even at rate 0 a position past the end ends the play: the loop starts again.
    sampler->pitch = 0.0f;
    EXPECT_EQ(play(1)[0], out(0));
    EXPECT_EQ(sampler->position, 0.0f);
}

TEST_F(Sampling, OneShotPlaysToTheEndOfItsDataAtAnyRate) {
    load("ramp.wav", 300);  // 150 frames, the last value 30000: far from 0
    for (const float rate : {0.25f, 1.0f, 2.0f}) {
        gate = 0;
        play(1);
        gate = 1;
        sampler->pitch = rate;
        // The read position moves 2 x rate values a call: the play ends when it
        // reaches 300, after ceil(300 / (2 x rate)) reads.
        const int reads = static_cast<int>(std::ceil(300 / (2 * rate)));
        const std::vector<float> v = play(reads + 2);
        EXPECT_EQ(v[reads - 1], out(static_cast<int>((reads - 1) * 2 * rate))) << rate;
        EXPECT_EQ(gate, 0) << rate;  // a one-shot closes its gate at the end
        EXPECT_EQ(v.back(), 0.0f) << rate;
    }
}

// Whatever the mode, rate and recorded length, reads stay inside the data (the
// sanitizers watch) and the output stays a bounded sample.
struct Wild {
    int mode;
    float pitch;
    int length;
};

class SamplerReads : public Sampling, public ::testing::WithParamInterface<Wild> {};

TEST_P(SamplerReads, NeverLeaveTheData) {
    sampler->mode = GetParam().mode;
    sampler->pitch = GetParam().pitch;
    sampler->length = GetParam().length;
    for (int i = 0; i < 300; i++) {
        gate = 1;
        sampler->evolue();
        ASSERT_TRUE(std::fabs(sampler->value) <= 1.0f) << i;
    }
}

const float kInf = std::numeric_limits<float>::infinity(), kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Sampler, SamplerReads,
                         ::testing::Values(Wild{0, 1, 10}, Wild{1, 1, 10}, Wild{2, 0.37f, 10}, Wild{3, 3.3f, 10},
                                           Wild{2, 1, 1000}, Wild{3, 1, 1000}, Wild{1, 7.5f, 1000}, Wild{2, 1e30f, 10},
                                           Wild{3, -kInf, 10}, Wild{0, kNaN, 10}, Wild{3, kNaN, 1000}, Wild{3, 1, 0},
                                           Wild{7, 1, 10}),
                         [](const auto& i) { return "mode" + std::to_string(i.param.mode) + "_" + std::to_string(i.index); });

// A file that cannot be read ends the program with status -1 through kel_exit;
// the sampler (here still alive) keeps what it had.
class SamplerExit : public Sampling, public ::testing::WithParamInterface<long long> {};

TEST_P(SamplerExit, UnreadableFileEndsWithStatusMinusOne) {
    const exit_handler previous = set_exit_handler([](int status) { throw ExitCalled{status}; });
    // -1: a missing file; otherwise a file whose data chunk claims that many bytes.
    const std::string path = GetParam() < 0 ? test_temp_path("missing.wav") : write_wav("bad.wav", 4, GetParam());
    int status = 0;
    ::testing::internal::CaptureStdout();
    try {
        sampler->load_SAMPLE(path.c_str());
    } catch (const ExitCalled& e) {
        status = e.status;
    }
    const std::string text = ::testing::internal::GetCapturedStdout();
    set_exit_handler(previous);
    EXPECT_EQ(status, -1);
    EXPECT_NE(text.find("Error load the file [" + path + "]\n"), std::string::npos) << text;
    EXPECT_EQ(sampler->length, 10);
    EXPECT_EQ(play(1)[0], out(0));
}

INSTANTIATE_TEST_SUITE_P(Sampler, SamplerExit, ::testing::Values(-1LL, SAMPLER_CAPACITY_BYTES + 2LL));

// ---------------------------------------------------------------- mixer

class Mixing : public ::testing::Test {
protected:
    float mix(const std::vector<float>& values) {
        for (size_t j = 0; j < values.size(); j++) {
            sources[j].value = values[j];
            if (mixer.input[j].source == nullptr) mixer.ajoute_en_entree(&sources[j], -1);
        }
        mixer.evolue();
        return mixer.value;
    }
    MIXER mixer;
    OUTPUT sources[MIXER_CHANNELS + 1];
};

TEST_F(Mixing, ActiveChannelsAreAveragedAndRaisedByHalf) {
    EXPECT_EQ(mix({}), 0.0f);
    mixer.level[0] = 0.5f;
    EXPECT_FLOAT_EQ(mix({0.8f}), 0.4f);  // one channel passes at its level
    mixer.level[0] = 1.0f;
    EXPECT_FLOAT_EQ(mix({1.0f, 1.0f}), 1.5f);
    mixer.level[2] = 0.5f;
    EXPECT_FLOAT_EQ(mix({0.2f, -0.4f, 0.9f}), (0.2f - 0.4f + 0.9f * 0.5f) / 3 * 1.5f);
    mixer.mute[2] = 1.0f;  // left out of the sum and of the count
    EXPECT_FLOAT_EQ(mix({0.2f, -0.4f, 0.9f}), (0.2f - 0.4f) / 2 * 1.5f);
    mixer.mute[1] = 0.99f;  // only exactly 1.0 mutes
    EXPECT_FLOAT_EQ(mix({0.2f, -0.4f, 0.9f}), (0.2f - 0.4f) / 2 * 1.5f);
    mixer.enabled = 0;
    EXPECT_EQ(mix({0.2f, -0.4f, 0.9f}), 0.0f);
}

TEST_F(Mixing, ChannelFiveAsFirstLinkOnlyCountsOne) {
    sources[0].value = 0.7f;
    EXPECT_EQ(mixer.ajoute_en_entree(&sources[0], 5), 1);
    EXPECT_EQ(mixer.channel_count, 1);
    mixer.evolue();
    EXPECT_EQ(mixer.value, 0.0f);  // channel 0 is examined, and it is free
    sources[1].value = 0.3f;
    mixer.ajoute_en_entree(&sources[1], -1);  // goes to channel 1
    mixer.evolue();
    EXPECT_FLOAT_EQ(mixer.value, 0.3f);
}

TEST_F(Mixing, LinksBeyondTwentyFourOrOutsideTheChannelsAreIgnored) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(mixer.ajoute_en_entree(&sources[0], -2), 0);
    EXPECT_EQ(mixer.ajoute_en_entree(&sources[0], MIXER_CHANNELS), 0);
    std::vector<float> v(MIXER_CHANNELS);
    float sum = 0;
    for (int j = 0; j < MIXER_CHANNELS; j++) sum += v[j] = (j % 5) / 10.0f;
    const float expected = sum / MIXER_CHANNELS * 1.5f;
    EXPECT_NEAR(mix(v), expected, 1e-6);
    EXPECT_EQ(mixer.ajoute_en_entree(&sources[MIXER_CHANNELS], -1), 0);
    EXPECT_EQ(mixer.ajoute_en_entree(&sources[MIXER_CHANNELS], 3), 0);
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("link ignored"), std::string::npos);
    EXPECT_EQ(mixer.channel_count, MIXER_CHANNELS);
    EXPECT_EQ(mixer.input[3].source, &sources[3].value);
    mixer.evolue();
    EXPECT_NEAR(mixer.value, expected, 1e-6);
}

}  // namespace
