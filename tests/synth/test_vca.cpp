// Amplifier and envelope: stages, release from the level reached, the sustain
// fall of 0.1 % per sample, gate words other than 1, inversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "synth/vca.h"

namespace {

// A VCA fed by a constant input and a gate word the test holds.
struct Rig {
    float in = 1.0f;
    int gate = 0;
    VCA vca;
    Rig() {
        vca.source = &in;
        vca.gate_source = &gate;
    }
    float step() {
        vca.evolue();
        return vca.value;
    }
    float steps(int n) {
        for (int i = 0; i < n; i++) vca.evolue();
        return vca.value;
    }
};

// Milliseconds reached after n steps of the gate timer (single-precision sum).
double ms_after(int n) {
    float t = 0;
    for (int i = 0; i < n; i++) t += ONE_SAMPLE_SECONDS;
    return t * 1000.0;
}

// The block kernel against evolue(): gates opening and closing at random
// (and words other than 0 and 1), a moving input, every stage reached.
struct EnvelopeCase {
    float attack, decay, sustain, release;
    int invert;
};
class EnvelopeBlock : public testing::TestWithParam<EnvelopeCase> {};

TEST_P(EnvelopeBlock, SameSamplesAndStateAsEvolue) {
    const EnvelopeCase c = GetParam();
    constexpr int SAMPLES = 40000;
    std::mt19937 g(11);
    std::vector<float> gate(SAMPLES), in(SAMPLES);
    int word = 0;
    for (int t = 0; t < SAMPLES; t++) {
        if (g() % 3000 == 0) word = g() % 9 == 0 ? 2 : 1 - (word == 1);
        std::memcpy(&gate[t], &word, sizeof word);
        in[t] = g() % 500 == 0 ? 0.0f : 0.8f * std::sin(t * 0.01f);
    }
    Rig a, b;
    for (VCA* v : {&a.vca, &b.vca}) {
        v->ATTACK = c.attack, v->DECAY = c.decay, v->SUSTAIN = c.sustain, v->RELEASE = c.release;
        v->INVERT = c.invert;
    }
    std::vector<float> stepped(SAMPLES), blocked(SAMPLES);
    for (int t = 0; t < SAMPLES; t++) {
        std::memcpy(&a.gate, &gate[t], sizeof a.gate);
        a.in = in[t];
        stepped[t] = a.step();
    }
    for (int t = 0; t < SAMPLES;) {
        const int n = std::min<int>(SAMPLES - t, 1 + static_cast<int>(g() % 64));
        ASSERT_TRUE(b.vca.envelope_block(&gate[t], &in[t], &blocked[t], n));
        t += n;
    }
    auto bits = [](float f) {
        std::uint32_t u;
        std::memcpy(&u, &f, sizeof u);
        return u;
    };
    for (int t = 0; t < SAMPLES; t++) ASSERT_EQ(bits(stepped[t]), bits(blocked[t])) << "sample " << t;
    EXPECT_EQ(bits(a.vca.gate_time), bits(b.vca.gate_time));
    EXPECT_EQ(bits(a.vca.release_time), bits(b.vca.release_time));
    EXPECT_EQ(bits(a.vca.release_level), bits(b.vca.release_level));
}

INSTANTIATE_TEST_SUITE_P(Stages, EnvelopeBlock,
                         testing::Values(EnvelopeCase{4, 260, 0, 60, 0}, EnvelopeCase{15, 700, 0.6f, 250, 0},
                                         EnvelopeCase{1, 30, 0.3f, 0, 1}, EnvelopeCase{0, 0, 0.5f, 40, 0},
                                         EnvelopeCase{50, 10, 0, 300, 1}));

}  // namespace

TEST(VcaLinks, UnlinkedGateIsAFixedLevelAndUnlinkedInputDoesNothing) {
    float in = 0.3f;
    VCA level;
    level.source = &in;
    EXPECT_EQ(level.evolue(), 1);
    EXPECT_EQ(level.value, 1.0f);
    EXPECT_EQ(level.BYPASS, 1);

    VCA idle;
    int gate = 1;
    idle.gate_source = &gate;
    idle.value = 0.42f;
    EXPECT_EQ(idle.evolue(), 0);
    EXPECT_EQ(idle.value, 0.42f);
}

TEST(VcaEnvelope, AttackRisesLinearlyToPeak) {
    Rig r;
    r.gate = 1;
    EXPECT_EQ(r.step(), 0.0f);  // the first open sample starts from 0
    EXPECT_EQ(r.vca.BYPASS, 0);
    // ATTACK 1000 ms: after 22050 samples the output is about half way.
    float v = r.steps(22050);
    EXPECT_NEAR(v, ms_after(22050) / 1000.0, 1e-6);
    EXPECT_NEAR(v, 0.5, 1e-3);
    r.in = 0.5f;  // the envelope multiplies the input
    float next = r.step();
    EXPECT_NEAR(next, 0.5 * ms_after(22051) / 1000.0, 1e-6);
}

TEST(VcaEnvelope, SustainFallsByAThousandthPerSampleThenHolds) {
    Rig r;
    r.vca.ATTACK = 10;     // 441 samples
    r.vca.DECAY = 100000;  // stay in sustain
    r.vca.SUSTAIN = 0.5f;
    r.gate = 1;
    int n = 0;
    while (r.vca.gate_time * 1000.0 < 10.0) {
        r.step();
        n++;
    }
    float expected = r.vca.value;  // the last attack output
    for (int i = 0; i < 2000; i++) {
        expected = expected > 0.5f ? expected - expected / 1000 : 0.5f * 1.0f;
        ASSERT_FLOAT_EQ(r.step(), expected) << "sustain sample " << i;
    }
    EXPECT_EQ(r.vca.value, 0.5f);
    // gate_time no longer advances: the sustain lasts while the gate is open.
    const float t = r.vca.gate_time;
    r.steps(50000);
    EXPECT_EQ(r.vca.gate_time, t);
    EXPECT_EQ(r.vca.value, 0.5f);
    EXPECT_GT(n, 400);
}

TEST(VcaEnvelope, DecayToZeroWhenSustainIsZeroThenPreviousTimesInput) {
    Rig r;
    r.vca.ATTACK = 10;
    r.vca.DECAY = 500;
    r.vca.SUSTAIN = 0.0f;
    r.gate = 1;
    while (r.vca.gate_time * 1000.0 < 10.0) r.step();
    // Half way through the decay the level is half the peak.
    while (r.vca.gate_time * 1000.0 < 260.0) r.step();
    EXPECT_NEAR(r.vca.value, 0.5, 1e-3);
    while (r.vca.gate_time * 1000.0 < 510.0) r.step();
    const float rest = r.step();
    EXPECT_NEAR(rest, 0.0, 1e-3);
    // No stage any more: each output is the previous output times the input.
    r.vca.value = 0.8f;  // a level to watch
    r.in = 0.5f;
    EXPECT_FLOAT_EQ(r.step(), 0.4f);
    EXPECT_FLOAT_EQ(r.step(), 0.2f);
}

TEST(VcaEnvelope, ReleaseFallsFromTheLevelReached) {
    Rig r;
    r.vca.RELEASE = 100;
    r.gate = 1;
    r.steps(11025);  // a quarter through the 1000 ms attack
    const float reached = r.vca.value;
    EXPECT_NEAR(reached, 0.25, 1e-3);
    r.gate = 0;
    // r_ms counts from one sample after the close.
    for (int k = 1; k <= 100; k++) {
        float expected = static_cast<float>(reached - ms_after(k) * reached / 100.0);
        ASSERT_FLOAT_EQ(r.step(), expected) << k;
    }
    EXPECT_EQ(r.vca.gate_time, 0.0f);
    r.steps(4400);  // 100 ms later the release is over
    EXPECT_NEAR(r.vca.value, 0.0, 1e-3);
}

TEST(VcaEnvelope, GateWordOtherThanOneIsClosed) {
    Rig r;
    r.vca.RELEASE = 100;
    r.gate = 1;
    r.steps(22050);
    r.gate = 2;
    const float before = r.vca.value;
    float after = r.step();
    EXPECT_LT(after, before);  // releasing
    EXPECT_EQ(r.vca.gate_time, 0.0f);
}

TEST(VcaEnvelope, ReopeningDuringReleaseRestartsTheAttackFromZero) {
    Rig r;
    r.vca.RELEASE = 1000;
    r.gate = 1;
    r.steps(22050);
    r.gate = 0;
    r.steps(100);
    EXPECT_GT(r.vca.value, 0.4f);
    r.gate = 1;
    EXPECT_EQ(r.step(), 0.0f);
    EXPECT_EQ(r.vca.release_time, 0.0f);
}

TEST(VcaEnvelope, ReleaseZeroHoldsThePreviousOutputTimesInput) {
    Rig r;
    r.vca.RELEASE = 0;
    r.gate = 1;
    r.steps(22050);
    const float held = r.vca.value;
    r.gate = 0;
    EXPECT_EQ(r.step(), held);
    r.in = 0.5f;
    EXPECT_FLOAT_EQ(r.step(), held * 0.5f);
}

TEST(VcaEnvelope, InvertTurnsTheAttackUpsideDown) {
    Rig r;
    r.vca.INVERT = 1;
    r.in = 0.8f;
    r.gate = 1;
    EXPECT_FLOAT_EQ(r.step(), 0.8f);  // |0 - 1| x 0.8
    r.steps(22049);
    float v = r.step();  // envelope about 0.5 -> |0.5 - 1| x 0.8
    EXPECT_NEAR(v, 0.4, 1e-3);
}

TEST(VcaPower, SwitchedOffIsSilentAndResumesWhenSwitchedOn) {
    Rig r;
    r.vca.ATTACK = 10;
    r.vca.DECAY = 100000;
    r.vca.SUSTAIN = 0.5f;
    r.gate = 1;
    r.steps(20000);
    EXPECT_EQ(r.vca.value, 0.5f);  // holding the sustain
    r.vca.POWER = 0;
    for (int i = 0; i < 100; i++) ASSERT_EQ(r.step(), 0.0f);
    r.vca.POWER = 1;
    EXPECT_EQ(r.step(), 0.5f);  // back at the sustain level

    float in = 0.3f;  // a fixed level (no gate link) is silenced too
    VCA level;
    level.source = &in;
    level.POWER = 0;
    EXPECT_EQ(level.evolue(), 1);
    EXPECT_EQ(level.value, 0.0f);
}
