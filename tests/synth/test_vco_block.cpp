// The oscillator's block kernels against evolue(): an oscillator with linked
// inputs computed over a block from its inputs' histories, and a free sine whose
// period is too long to keep, must give the same floats and leave the same
// cycle as stepping sample by sample, whatever the increments (ties of the
// float rounding, binade ends, zero, negative, NaN) and sync pulses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "synth/vco.h"

namespace {

std::uint32_t bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

// Frequencies whose increment F / 44100 is an odd number of half float steps
// (u = 2^-24 on [0.5, 1), 2^-25 on [0.25, 0.5)): each step on that binade
// rounds by the cycle's last bit. 11025 x 1501 < 2^24: the floats are exact.
const float TIES[] = {11025.0f * 1501.0f * 0x1p-23f, 11025.0f * 1501.0f * 0x1p-24f, 11025.0f * 1001.0f * 0x1p-23f,
                      11025.0f * 3.0f * 0x1p-23f};

// How the input feeding a modulation moves.
enum Feed { SLOW, NOISE, TIE_STEPS, WILD };

struct Case {
    type_generateur type;
    int input;   // VCO::BlockInput linked (besides MOD_FREQ when mod_freq)
    Feed feed;
    bool sync;
};

float feed_value(Feed f, int t, std::mt19937& g) {
    switch (f) {
    case SLOW: return 0.3f * std::sin(t * 0.0007f);
    case NOISE: return std::uniform_real_distribution<float>(-1.2f, 1.2f)(g);
    case TIE_STEPS: return TIES[(t / 3000) % 4];
    default: {
        const float wild[] = {0.0f, -0.0f, 1e-30f, -3000.0f, 50000.0f, std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(), 0.25f};
        return (g() % 50 == 0) ? wild[g() % 8] : std::uniform_real_distribution<float>(-1.0f, 1.0f)(g);
    }
    }
}

// One case's input histories, and what evolue() gives from them.
struct Reference {
    std::vector<float> hist[VCO::BLOCK_INPUTS];
    std::vector<float> out;
    float freq;
    std::uint32_t cycle, driven_frequency;
    std::mt19937 g;
};

void make_reference(const Case& c, int samples, Reference& r) {
    r.g.seed(static_cast<unsigned>(c.type * 131 + c.input * 7 + c.feed * 3 + c.sync));
    // Each input's history, and the pulses.
    const bool pitch = c.input == VCO::IN_PITCH;
    for (int k = 0; k < VCO::BLOCK_INPUTS; k++) {
        const bool used = k == c.input || (k == VCO::IN_SYNC && c.sync);
        if (!used) continue;
        r.hist[k].resize(samples);
        for (int t = 0; t < samples; t++) {
            float v = feed_value(c.feed, t, r.g);
            if (k == VCO::IN_SYNC) {
                const int pulse = r.g() % 997 == 0;
                std::memcpy(&v, &pulse, 4);
            } else if (c.feed == TIE_STEPS && k != VCO::IN_ALT_FREQ) {
                v = 0.0f;  // the frequency stays on a tie
            } else if (k == VCO::IN_ALT_FREQ || (pitch && c.feed != WILD)) {
                v = c.feed == TIE_STEPS ? v : 200.0f + 150.0f * v;  // Hz
            }
            r.hist[k][t] = v;
        }
    }
    // Stepped: the input words take the history before each step.
    r.freq = c.feed == TIE_STEPS ? TIES[0] : 331.7f;
    VCO stepped(0.7f, r.freq, c.type);
    stepped.PHASE = 0.4f;
    float words[VCO::BLOCK_INPUTS] = {};
    INPUT links[VCO::BLOCK_INPUTS];
    INPUT** fields[] = {nullptr, nullptr, &stepped.MOD_PHASE, &stepped.MOD_FREQ, &stepped.MOD_AMP,
                        &stepped.MOD_PWM, &stepped.ALT_PHASE, &stepped.ALT_FREQ, &stepped.ALT_AMP, &stepped.ALT_PWM};
    for (int k = 0; k < VCO::BLOCK_INPUTS; k++) {
        if (r.hist[k].empty()) continue;
        links[k].source = &words[k];
        if (k == VCO::IN_PITCH) stepped.source = &words[k];
        else if (k == VCO::IN_SYNC) stepped.sync_source = reinterpret_cast<int*>(&words[k]);
        else *fields[k] = &links[k];
    }
    r.out.resize(samples);
    for (int t = 0; t < samples; t++) {
        for (int k = 0; k < VCO::BLOCK_INPUTS; k++)
            if (!r.hist[k].empty()) words[k] = r.hist[k][t];
        stepped.evolue();
        r.out[t] = stepped.value;
    }
    r.cycle = bits(stepped.cycle);
    r.driven_frequency = bits(stepped.driven_frequency);
}

// The oscillator that computes a case by blocks, as the reference was stepped.
std::unique_ptr<VCO> blocked_oscillator(const Case& c, const Reference& r) {
    auto v = std::make_unique<VCO>(0.7f, r.freq, c.type);
    v->PHASE = 0.4f;
    return v;
}

void expect_same(const Reference& r, const std::vector<float>& b, const VCO& blocked) {
    for (size_t t = 0; t < r.out.size(); t++)
        ASSERT_EQ(bits(r.out[t]), bits(b[t])) << "sample " << t << ": " << r.out[t] << " against " << b[t];
    EXPECT_EQ(r.cycle, bits(blocked.cycle));
    EXPECT_EQ(r.driven_frequency, bits(blocked.driven_frequency));
}

const Case CASES[] = {
    Case{SIN, VCO::IN_MOD_FREQ, SLOW, false}, Case{SIN, VCO::IN_MOD_FREQ, NOISE, true},
    Case{SIN, VCO::IN_MOD_FREQ, TIE_STEPS, false}, Case{SIN, VCO::IN_MOD_FREQ, WILD, false},
    Case{SIN, VCO::IN_ALT_FREQ, TIE_STEPS, true}, Case{SIN, VCO::IN_ALT_FREQ, WILD, false},
    Case{SIN, VCO::IN_PITCH, SLOW, true}, Case{SIN, VCO::IN_PITCH, WILD, false},
    Case{SIN, VCO::IN_MOD_PHASE, NOISE, false}, Case{SIN, VCO::IN_MOD_AMP, WILD, false},
    Case{SIN, VCO::IN_ALT_AMP, NOISE, false}, Case{SIN, VCO::IN_ALT_PHASE, WILD, false},
    Case{SIN, VCO::IN_SYNC, SLOW, true}, Case{TRI, VCO::IN_MOD_FREQ, NOISE, true},
    Case{SAW, VCO::IN_ALT_FREQ, TIE_STEPS, false}, Case{SQR, VCO::IN_MOD_PHASE, SLOW, false},
    Case{PULSE, VCO::IN_MOD_PWM, NOISE, false}, Case{PULSE, VCO::IN_ALT_PWM, WILD, true},
    Case{NOISE_ROSSLER, VCO::IN_MOD_FREQ, SLOW, false}, Case{NOISE_LORENZ, VCO::IN_PITCH, SLOW, true}};

class LinkedBlock : public testing::TestWithParam<Case> {};

TEST_P(LinkedBlock, SameSamplesAndCycleAsEvolue) {
    const Case c = GetParam();
    constexpr int SAMPLES = 30000;
    Reference r;
    make_reference(c, SAMPLES, r);
    auto blocked = blocked_oscillator(c, r);
    std::vector<float> b(SAMPLES);
    // In blocks of every size up to 64, and a few longer ones.
    for (int t = 0; t < SAMPLES;) {
        const int n = std::min<int>(SAMPLES - t, r.g() % 9 == 0 ? 65 + r.g() % 200 : 1 + r.g() % 64);
        const float* in[VCO::BLOCK_INPUTS];
        for (int k = 0; k < VCO::BLOCK_INPUTS; k++) in[k] = r.hist[k].empty() ? nullptr : r.hist[k].data() + t;
        blocked->linked_block(in, b.data() + t, n);
        t += n;
    }
    expect_same(r, b, *blocked);
}

INSTANTIATE_TEST_SUITE_P(Inputs, LinkedBlock, testing::ValuesIn(CASES));

// Every case at once, the oscillators taken side by side in runs of every
// length up to the lanes (a run starting at a different case each block).
TEST(LinkedBlocks, SideBySideSameAsEachAlone) {
    constexpr int SAMPLES = 12000;
    constexpr int COUNT = static_cast<int>(std::size(CASES));
    std::vector<Reference> refs(COUNT);
    std::vector<std::unique_ptr<VCO>> blocked;
    std::vector<std::vector<float>> b(COUNT, std::vector<float>(SAMPLES));
    for (int i = 0; i < COUNT; i++) {
        make_reference(CASES[i], SAMPLES, refs[i]);
        blocked.push_back(blocked_oscillator(CASES[i], refs[i]));
    }
    std::mt19937 g(7);
    for (int t = 0; t < SAMPLES;) {
        const int n = std::min<int>(SAMPLES - t, 1 + g() % 64);
        const int start = static_cast<int>(g() % COUNT);
        for (int done = 0; done < COUNT;) {
            const int count = std::min<int>(COUNT - done, 1 + static_cast<int>(g() % VCO::LANES));
            VCO* v[VCO::LANES];
            const float* in[VCO::LANES][VCO::BLOCK_INPUTS];
            float* out[VCO::LANES];
            for (int j = 0; j < count; j++) {
                const int i = (start + done + j) % COUNT;
                v[j] = blocked[i].get();
                out[j] = b[i].data() + t;
                for (int k = 0; k < VCO::BLOCK_INPUTS; k++)
                    in[j][k] = refs[i].hist[k].empty() ? nullptr : refs[i].hist[k].data() + t;
            }
            VCO::linked_blocks(v, in, out, count, n);
            done += count;
        }
        t += n;
    }
    for (int i = 0; i < COUNT; i++) {
        SCOPED_TRACE("case " + std::to_string(i));
        expect_same(refs[i], b[i], *blocked[i]);
    }
}

// A free sine slower than the longest period kept (and one at a tie of the
// rounding): its block, computed up to each reset at once, against evolue().
TEST(FreeSineBlock, LongPeriodsSameAsEvolue) {
    for (float f : {0.5f, 3.3f, 10.0f, TIES[0], TIES[3], 0.0f, -2.0f}) {
        VCO stepped(0.5f, f, SIN), blocked(0.5f, f, SIN);
        constexpr int SAMPLES = 200000;
        std::vector<float> a(SAMPLES), b(SAMPLES);
        for (int t = 0; t < SAMPLES; t++) stepped.evolue(), a[t] = stepped.value;
        std::mt19937 g(7);
        for (int t = 0; t < SAMPLES;) {
            const int n = std::min<int>(SAMPLES - t, 1 + g() % 64);
            blocked.free_block(b.data() + t, n);
            t += n;
        }
        for (int t = 0; t < SAMPLES; t++) ASSERT_EQ(bits(a[t]), bits(b[t])) << "F " << f << ", sample " << t;
        EXPECT_EQ(bits(stepped.cycle), bits(blocked.cycle)) << f;
    }
}

}  // namespace
