// The biquad's block kernel against evolue(): every response type, a fixed and
// a swept cut-off (coefficients from our own sine and cosine, a block at a
// time), a modulated mix, stretches of silence (passed without stepping), and
// settings that blow up (reset to silence): the same floats and the same state.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

#include "synth/filters.h"

namespace {

std::uint32_t bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

// type, swept, mix modulated, Q
class FilterBlock : public testing::TestWithParam<std::tuple<int, bool, bool, float>> {};

TEST_P(FilterBlock, SameSamplesAndStateAsEvolue) {
    const auto [type, swept, mixed, q] = GetParam();
    constexpr int SAMPLES = 20000;
    std::mt19937 g(static_cast<unsigned>(type * 17 + swept * 5 + mixed * 3));
    std::vector<float> in(SAMPLES), sweep(SAMPLES), mix(SAMPLES);
    for (int t = 0; t < SAMPLES; t++) {
        // A sawtooth with gaps of silence, now and then a wild sample.
        in[t] = (t / 1500) % 4 == 3 ? 0.0f : 0.6f * ((t % 97) / 48.5f - 1.0f);
        if (g() % 3000 == 0) in[t] = 40.0f;
        sweep[t] = 0.8f * std::sin(t * 0.001f) + (g() % 5000 == 0 ? 30.0f : 0.0f);  // past Nyquist too
        mix[t] = std::uniform_real_distribution<float>(-0.5f, 0.5f)(g);
    }
    if (swept) sweep[123] = std::numeric_limits<float>::quiet_NaN();
    PCF stepped, blocked;
    for (PCF* p : {&stepped, &blocked}) {
        p->BYPASS = 0;
        p->TYPE = type;
        p->HICUT = 1200;
        p->Q = q;
        p->GAIN = -3.5f;
        p->LEVEL = 0.25f;
        p->mix = 0.8f;
    }
    float word_in = 0, word_sweep = 0, word_mix = 0, dummy = 0;
    INPUT sweep_link, mix_link;
    sweep_link.source = &word_sweep;
    mix_link.source = &word_mix;
    stepped.source = &word_in;
    blocked.source = &dummy;  // linked; the kernel reads the history
    if (swept) stepped.MOD_FREQ = &sweep_link;
    if (mixed) stepped.MOD_AMP = &mix_link;
    std::vector<float> a(SAMPLES), b(SAMPLES);
    for (int t = 0; t < SAMPLES; t++) {
        word_in = in[t], word_sweep = sweep[t], word_mix = mix[t];
        stepped.evolue();
        a[t] = stepped.value;
    }
    for (int t = 0; t < SAMPLES;) {
        const int n = std::min<int>(SAMPLES - t, g() % 7 == 0 ? 65 + g() % 100 : 1 + g() % 64);
        ASSERT_TRUE(blocked.filter_block(in.data() + t, swept ? sweep.data() + t : nullptr,
                                         mixed ? mix.data() + t : nullptr, b.data() + t, n));
        t += n;
    }
    for (int t = 0; t < SAMPLES; t++) ASSERT_EQ(bits(a[t]), bits(b[t])) << "sample " << t;
    EXPECT_EQ(std::memcmp(&stepped.y1, &blocked.y1, sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(&stepped.b0, &blocked.b0, sizeof(double)), 0);
    EXPECT_EQ(stepped.TYPE, blocked.TYPE);
}

INSTANTIATE_TEST_SUITE_P(Responses, FilterBlock,
                         testing::Combine(testing::Values(-1, 0, 1, 2, 3, 4, 5, 6, 7, 9), testing::Bool(),
                                          testing::Bool(), testing::Values(0.7071f, 0.0f)));

TEST(FilterBlock, FrozenUnlinkedAndBypassedAreLeftToTheSteps) {
    float x[4] = {0.1f, 0.2f, 0.3f, 0.4f}, out[4];
    PCF p;
    p.BYPASS = 0;
    EXPECT_FALSE(p.filter_block(x, nullptr, nullptr, out, 4));  // no input linked
    p.source = &x[0];
    p.enabled = 0;
    EXPECT_FALSE(p.filter_block(x, nullptr, nullptr, out, 4));
    p.enabled = 1;
    p.BYPASS = 1;
    EXPECT_FALSE(p.filter_block(x, nullptr, nullptr, out, 4));
    p.BYPASS = 0;
    EXPECT_TRUE(p.filter_block(x, nullptr, nullptr, out, 4));
}

}  // namespace
