// The sequencer's waiting samples taken a stretch at a time (steady_steps)
// against evolue() at every sample: the same notes, gates and timing, for
// gates shorter and longer than a step, tied (bypassed) steps, rests, a
// pattern change and a divider changed while playing.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "synth/notes.h"
#include "synth/sequencer.h"

namespace {

struct Snapshot {
    float value, counter;
    int gate, gate_open, pattern, step;
    bool operator==(const Snapshot& o) const {
        return value == o.value && counter == o.counter && gate == o.gate && gate_open == o.gate_open &&
               pattern == o.pattern && step == o.step;
    }
};

Snapshot snap(const SEQUENCER& q) {
    return {q.value, q.sample_counter, q.gate, q.gate_open, q.current_pattern, q.current_step};
}

// length of every step's gate (fraction of the step), divider, sync pulses now and then
class SteadySteps : public testing::TestWithParam<std::tuple<float, float, bool>> {};

TEST_P(SteadySteps, SameAsEvolueAtEverySample) {
    fill_NOTE2FREQ();
    const auto [length, divider, synced] = GetParam();
    auto a = std::make_unique<SEQUENCER>(), b = std::make_unique<SEQUENCER>();
    int pulse_a = 0, pulse_b = 0;
    for (SEQUENCER* q : {a.get(), b.get()}) {
        q->divider[0] = q->wished_divider = divider;
        q->NBR_STEP[0] = 6;
        q->NBR_STEP[1] = 3;
        for (int s = 0; s < 6; s++) q->LENGHT[s] = length, q->note[s] = 30 + s;
        q->note[2] = 0, q->octave[2] = 0;  // a rest
        q->bypass[4] = 1;                  // step 3's gate is tied over step 4
        q->LENGHT[SEQ_STEPS] = 0.01f;      // pattern 1: a gate shorter than the smallest
    }
    std::mt19937 g(3);
    constexpr int SAMPLES = 400000;
    // The sync input's words (int bits, as a block keeps them): a pulse now and then.
    std::vector<float> sync(SAMPLES + 300, 0.0f);
    if (synced) {
        a->sync_source = &pulse_a;
        b->sync_source = &pulse_b;
        for (float& w : sync) {
            const int word = g() % 2500 == 0;
            std::memcpy(&w, &word, sizeof w);
        }
    }
    auto word = [&](int t) {
        int w;
        std::memcpy(&w, &sync[t], sizeof w);
        return w;
    };
    for (int t = 0; t < SAMPLES;) {
        if (t > SAMPLES / 2) a->wished_pattern = b->wished_pattern = 1;
        if (t > SAMPLES * 3 / 4) a->wished_divider = b->wished_divider = 9.0f;
        const int n = 1 + static_cast<int>(g() % 300);
        const int steady = synced ? b->steady_steps(n, &sync[t]) : b->steady_steps(n);
        for (int k = 0; k < steady; k++) {
            pulse_a = word(t + k);
            a->evolue();
        }
        ASSERT_TRUE(snap(*a) == snap(*b)) << "after the stretch ending at sample " << t + steady;
        t += steady;
        pulse_a = pulse_b = word(t);
        a->evolue();
        b->evolue();
        ASSERT_TRUE(snap(*a) == snap(*b)) << "sample " << t;
        t++;
    }
}

INSTANTIATE_TEST_SUITE_P(Gates, SteadySteps,
                         testing::Values(std::make_tuple(0.5f, 8.0f, false), std::make_tuple(1.0f, 6.0f, false),
                                         std::make_tuple(8.0f, 6.0f, false), std::make_tuple(0.0f, 20.0f, false),
                                         std::make_tuple(0.5f, 8.0f, true), std::make_tuple(8.0f, 6.0f, true)));

// A linked sync input whose words are not known: nothing can be skipped.
TEST(SteadySteps, NoneWithASyncInputOfUnknownWords) {
    auto q = std::make_unique<SEQUENCER>();
    int pulse = 0;
    q->sync_source = &pulse;
    EXPECT_EQ(q->steady_steps(100), 0);
}

}  // namespace
