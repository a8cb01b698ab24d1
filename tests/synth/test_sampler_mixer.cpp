// Sampler (loading, play modes, rate, staying inside its data, ending the
// program on an unreadable file) and mixer (averaging, mutes, channel links).
#include <gtest/gtest.h>

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

// A canonical 44-byte-header 16-bit PCM file; data_size overrides the size the
// header claims (negative: the true size).
std::string write_wav(const std::string& name, const std::vector<short>& values, int channels,
                      long long data_size = -1) {
    const std::string path = ::testing::TempDir() + name;
    const std::uint32_t bytes = static_cast<std::uint32_t>(values.size() * 2);
    const std::uint32_t claimed = data_size < 0 ? bytes : static_cast<std::uint32_t>(data_size);
    std::vector<unsigned char> h;
    auto tag = [&](const char* t) { h.insert(h.end(), t, t + 4); };
    auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; i++) h.push_back(static_cast<unsigned char>(v >> (8 * i))); };
    auto u16 = [&](unsigned v) { h.push_back(v & 0xff); h.push_back((v >> 8) & 0xff); };
    tag("RIFF"); u32(claimed + 36); tag("WAVE");
    tag("fmt "); u32(16); u16(1); u16(channels); u32(44100); u32(44100 * channels * 2); u16(channels * 2); u16(16);
    tag("data"); u32(claimed);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return path;
    std::fwrite(h.data(), 1, h.size(), f);
    if (!values.empty()) std::fwrite(values.data(), 2, values.size(), f);
    std::fclose(f);
    return path;
}

// Values 100, 200, ... so every read tells its index.
std::vector<short> ramp(int n) {
    std::vector<short> v(n);
    for (int i = 0; i < n; i++) v[i] = static_cast<short>((i + 1) * 100);
    return v;
}

float out(int index) { return (index + 1) * 100 / 32768.0f; }

struct ExitCalled {
    int status;
};

class Sampling : public ::testing::Test {
protected:
    void SetUp() override {
        ::testing::internal::CaptureStdout();
        sampler = std::make_unique<SAMPLER>();
        // 10 stereo frames: length 40 bytes / 4 = 10, values 0..19.
        sampler->load_SAMPLE(write_wav("ten_frames.wav", ramp(20), 2).c_str());
        ::testing::internal::GetCapturedStdout();
        sampler->gate_source = &gate;
    }
    // Steps n times and returns the outputs.
    std::vector<float> play(int n) {
        std::vector<float> v;
        for (int i = 0; i < n; i++) {
            sampler->evolue();
            v.push_back(sampler->value);
        }
        return v;
    }
    int gate = 1;
    std::unique_ptr<SAMPLER> sampler;
};

TEST_F(Sampling, NewSamplerHoldsTheDefaultSoundAndLoadsResetTheMode) {
    ::testing::internal::CaptureStdout();
    SAMPLER fresh;
    const std::string said = ::testing::internal::GetCapturedStdout();
    // Two seconds of stereo at 44100 Hz: 352,800 bytes / 4.
    EXPECT_EQ(fresh.length, 88200);
    EXPECT_STREQ(fresh.file_name, "Sounds/phaser.wav");
    EXPECT_EQ(said, "Loaded WAVE file [Sounds/phaser.wav               ][88200 ]\n");
    EXPECT_EQ(fresh.mode, SMP_FORWARD);
    EXPECT_EQ(fresh.pitch, 1.0f);
    EXPECT_EQ(fresh.position, 0.0f);

    sampler->mode = SMP_LOOP_BACKWARD;
    sampler->position = 6.0f;
    ::testing::internal::CaptureStdout();
    sampler->load_SAMPLE(write_wav("mono.wav", ramp(10), 1).c_str());
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(sampler->mode, SMP_FORWARD);
    EXPECT_EQ(sampler->position, 6.0f);  // a load does not rewind
    EXPECT_EQ(sampler->length, 20 / 4);  // 10 mono values are 20 bytes
}

TEST_F(Sampling, WithoutGateLinkTheOutputIsLeftAlone) {
    sampler->gate_source = nullptr;
    sampler->value = 0.25f;
    play(3);
    EXPECT_EQ(sampler->value, 0.25f);
    EXPECT_EQ(sampler->position, 0.0f);
}

TEST_F(Sampling, ClosedGateRewindsAndSilences) {
    play(3);
    gate = 0;
    play(1);
    EXPECT_EQ(sampler->value, 0.0f);
    EXPECT_EQ(sampler->position, 0.0f);
    gate = 1;
    EXPECT_EQ(play(1)[0], out(0));
}

TEST_F(Sampling, SyncRestartsFromTheBeginning) {
    int pulse = 0;
    sampler->sync_source = &pulse;
    play(3);
    pulse = 1;
    EXPECT_EQ(play(1)[0], out(0));
}

// The end test 2 x position x d > 2 x length stops a 10-frame sample at rate 1
// once the position (two values per call) passes 10: calls 0..5 read values
// 0, 2, .., 10, and call 6 finds the end.
TEST_F(Sampling, ForwardOneShotStopsAndClosesItsSourceGate) {
    const std::vector<float> v = play(6);
    for (int k = 0; k < 6; k++) EXPECT_EQ(v[k], out(2 * k)) << k;
    EXPECT_EQ(play(1)[0], out(0));
    EXPECT_EQ(gate, 0);
    EXPECT_EQ(play(1)[0], 0.0f);
}

TEST_F(Sampling, BackwardReadsFromTheEndStayingInsideTheData) {
    sampler->mode = SMP_BACKWARD;
    const std::vector<float> v = play(6);
    // Index 2 x length - position: the first (20) is one past the data and is
    // read as the last value.
    EXPECT_EQ(v[0], out(19));
    for (int k = 1; k < 6; k++) EXPECT_EQ(v[k], out(20 - 2 * k)) << k;
    play(1);
    EXPECT_EQ(gate, 0);
}

TEST_F(Sampling, LoopingModesStartAgainWithTheGateOpen) {
    sampler->mode = SMP_LOOP_FORWARD;
    std::vector<float> v = play(8);
    EXPECT_EQ(v[6], out(0));
    EXPECT_EQ(v[7], out(2));
    EXPECT_EQ(gate, 1);
}

TEST_F(Sampling, PitchInputOf880HzDoublesTheRate) {
    sampler->load_SAMPLE(write_wav("long.wav", ramp(400), 2).c_str());
    OUTPUT pitch_in;
    pitch_in.value = 880.0f;
    sampler->source = &pitch_in.value;
    const std::vector<float> v = play(3);
    EXPECT_EQ(sampler->position, 12.0f);  // 4 values per call
    EXPECT_EQ(v[0], out(0));
    EXPECT_EQ(v[1], out(4));
    EXPECT_EQ(v[2], out(8));
}

TEST_F(Sampling, NegativeRateKeepsTheModesDirection) {
    sampler->pitch = -1.0f;
    const std::vector<float> v = play(3);
    EXPECT_EQ(v[1], out(2));
    EXPECT_EQ(v[2], out(4));
}

TEST_F(Sampling, PositionThrownBeyondTheEndIsBroughtBackToIt) {
    sampler->mode = SMP_LOOP_FORWARD;
    sampler->pitch = 1e30f;
    play(1);
    // With the rate back at 0 the end test cannot fire; the position, whose
    // integer part is far beyond 2 x length, is set to 2 x length (20), whose
    // read stays on the last value.
    sampler->pitch = 0.0f;
    EXPECT_EQ(play(1)[0], out(19));
    EXPECT_EQ(sampler->position, 20.0f);
}

TEST_F(Sampling, AmplitudeModulationAddsToTheLevel) {
    OUTPUT mod;
    mod.value = 1.0f;
    INPUT amp(&mod);
    sampler->MOD_AMP = &amp;
    sampler->amplitude = 0.5f;
    EXPECT_FLOAT_EQ(play(1)[0], out(0) * (0.5f + 0.5f * 1.0f));
    sampler->MOD_AMP = nullptr;
}

// Whatever the rate, mode and recorded length, every read stays inside the
// data (the sanitizers watch the reads) and the output stays a bounded sample.
struct Wild {
    int mode;
    float pitch;
    int length;  // length field, possibly beyond the data
};

class SamplerReads : public Sampling, public ::testing::WithParamInterface<Wild> {};

TEST_P(SamplerReads, NeverLeaveTheData) {
    sampler->mode = GetParam().mode;
    sampler->pitch = GetParam().pitch;
    sampler->length = GetParam().length;
    for (int i = 0; i < 300; i++) {
        gate = 1;
        sampler->evolue();
        ASSERT_TRUE(std::isfinite(sampler->value)) << i;
        ASSERT_LE(std::fabs(sampler->value), 1.0f) << i;
    }
}

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Sampler, SamplerReads,
                         ::testing::Values(Wild{0, 1.0f, 10}, Wild{1, 1.0f, 10}, Wild{2, 0.37f, 10},
                                           Wild{3, 3.3f, 10}, Wild{2, 1.0f, 1000}, Wild{3, 1.0f, 1000},
                                           Wild{1, 7.5f, 1000}, Wild{2, 1e30f, 10}, Wild{3, -kInf, 10},
                                           Wild{0, kNaN, 10}, Wild{3, kNaN, 1000}, Wild{2, 0.0f, 0},
                                           Wild{3, 1.0f, 0}, Wild{7, 1.0f, 10}),
                         [](const ::testing::TestParamInfo<Wild>& i) {
                             return "mode" + std::to_string(i.param.mode) + "_case" + std::to_string(i.index);
                         });

TEST_F(Sampling, TruncatedFilePlaysWhatItHolds) {
    // The header claims 400 values, the file holds 12.
    ::testing::internal::CaptureStdout();
    sampler->load_SAMPLE(write_wav("short_data.wav", ramp(12), 2, 800).c_str());
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(sampler->length, 24 / 4);
}

// An unreadable file ends the program with status -1 through kel_exit.
class SamplerExit : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { previous = set_exit_handler([](int status) { throw ExitCalled{status}; }); }
    void TearDown() override { set_exit_handler(previous); }
    exit_handler previous = nullptr;
};

TEST_P(SamplerExit, UnreadableFileEndsWithStatusMinusOne) {
    ::testing::internal::CaptureStdout();
    SAMPLER s;
    const int length = s.length;
    int status = 0;
    try {
        s.load_SAMPLE(GetParam());
    } catch (const ExitCalled& e) {
        status = e.status;
    }
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, -1);
    EXPECT_NE(said.find("Error load the file\n"), std::string::npos) << said;
    // The sampler still plays what it had.
    EXPECT_EQ(s.length, length);
    ASSERT_NE(s.handle, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Sampler, SamplerExit,
                         ::testing::Values("Sounds/no_such_file.wav", "PARTITIONS/bass.PAR"));

TEST(SamplerExitLimit, DataBeyondTheCapacityIsRefused) {
    const exit_handler previous = set_exit_handler([](int status) { throw ExitCalled{status}; });
    const std::string big = write_wav("too_big.wav", ramp(4), 2, SAMPLER_CAPACITY_BYTES + 2LL);
    ::testing::internal::CaptureStdout();
    SAMPLER s;
    EXPECT_THROW(s.load_SAMPLE(big.c_str()), ExitCalled);
    ::testing::internal::GetCapturedStdout();
    set_exit_handler(previous);
}

// ---------------------------------------------------------------- mixer

class Mixing : public ::testing::Test {
protected:
    // Links n sources with values v[0..n-1] on channels 0..n-1.
    void link(const std::vector<float>& v) {
        for (size_t j = 0; j < v.size(); j++) {
            sources[j].value = v[j];
            ASSERT_EQ(mixer.ajoute_en_entree(&sources[j], -1), 1);
        }
    }
    float step() {
        mixer.evolue();
        return mixer.value;
    }
    MIXER mixer;
    OUTPUT sources[MIXER_CHANNELS + 2];
};

TEST_F(Mixing, NewMixerIsSilent) {
    EXPECT_EQ(mixer.channel_count, 0);
    mixer.value = 0.5f;
    EXPECT_EQ(step(), 0.0f);
}

TEST_F(Mixing, OneChannelPassesAtItsLevel) {
    link({0.8f});
    mixer.level[0] = 0.5f;
    EXPECT_FLOAT_EQ(step(), 0.4f);
}

TEST_F(Mixing, SeveralChannelsAreAveragedAndRaisedByHalf) {
    link({1.0f, 1.0f});
    EXPECT_FLOAT_EQ(step(), 1.5f);
    MIXER three;
    OUTPUT a, b, c;
    a.value = 0.2f;
    b.value = -0.4f;
    c.value = 0.9f;
    three.ajoute_en_entree(&a, -1);
    three.ajoute_en_entree(&b, -1);
    three.ajoute_en_entree(&c, -1);
    three.level[2] = 0.5f;
    three.evolue();
    EXPECT_FLOAT_EQ(three.value, (0.2f - 0.4f + 0.9f * 0.5f) / 3 * 1.5f);
}

TEST_F(Mixing, MutedChannelLeavesSumAndCount) {
    link({0.6f, 0.2f, 1.0f});
    mixer.mute[2] = 1.0f;
    EXPECT_FLOAT_EQ(step(), (0.6f + 0.2f) / 2 * 1.5f);
    mixer.mute[1] = 1.0f;
    EXPECT_FLOAT_EQ(step(), 0.6f);
    mixer.mute[1] = 0.99f;  // only exactly 1.0 mutes
    EXPECT_FLOAT_EQ(step(), (0.6f + 0.2f) / 2 * 1.5f);
}

TEST_F(Mixing, DisabledMixerOutputsZero) {
    link({0.6f});
    mixer.enabled = 0;
    EXPECT_EQ(step(), 0.0f);
}

TEST_F(Mixing, ChannelFiveAsFirstLinkOnlyCountsOne) {
    sources[0].value = 0.7f;
    EXPECT_EQ(mixer.ajoute_en_entree(&sources[0], 5), 1);
    EXPECT_EQ(mixer.channel_count, 1);
    EXPECT_EQ(step(), 0.0f);  // channel 0 is examined, and it is free
    // The next free link goes to channel 1, which is now examined.
    sources[1].value = 0.3f;
    mixer.ajoute_en_entree(&sources[1], -1);
    EXPECT_FLOAT_EQ(step(), 0.3f);
}

TEST_F(Mixing, LinksBeyondTwentyFourAreIgnored) {
    std::vector<float> v(MIXER_CHANNELS);
    float sum = 0;
    for (int j = 0; j < MIXER_CHANNELS; j++) sum += v[j] = (j % 5) / 10.0f;
    link(v);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(mixer.ajoute_en_entree(&sources[MIXER_CHANNELS], -1), 0);
    EXPECT_EQ(mixer.ajoute_en_entree(&sources[MIXER_CHANNELS + 1], 30), 0);
    EXPECT_EQ(mixer.ajoute_en_entree(&sources[MIXER_CHANNELS + 1], 3), 0);
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("link ignored"), std::string::npos);
    EXPECT_EQ(mixer.channel_count, MIXER_CHANNELS);
    EXPECT_EQ(mixer.input[3].source, &sources[3].value);
    EXPECT_NEAR(step(), sum / MIXER_CHANNELS * 1.5f, 1e-6);
}

TEST_F(Mixing, OutOfRangeChannelIsIgnored) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(mixer.ajoute_en_entree(&sources[0], -2), 0);
    EXPECT_EQ(mixer.ajoute_en_entree(&sources[0], MIXER_CHANNELS), 0);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(mixer.channel_count, 0);
}

}  // namespace
