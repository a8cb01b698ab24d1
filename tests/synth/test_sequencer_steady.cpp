// The sequencer's waiting samples taken a stretch at a time (steady_steps)
// against evolue() at every sample: the same notes, gates and timing, for
// gates shorter and longer than a step, tied (bypassed) steps, rests, a
// pattern change and a divider changed while playing.
#include <gtest/gtest.h>

#include <memory>
#include <random>

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

// length of every step's gate (fraction of the step), divider
class SteadySteps : public testing::TestWithParam<std::pair<float, float>> {};

TEST_P(SteadySteps, SameAsEvolueAtEverySample) {
    fill_NOTE2FREQ();
    auto a = std::make_unique<SEQUENCER>(), b = std::make_unique<SEQUENCER>();
    for (SEQUENCER* q : {a.get(), b.get()}) {
        q->divider[0] = q->wished_divider = GetParam().second;
        q->NBR_STEP[0] = 6;
        q->NBR_STEP[1] = 3;
        for (int s = 0; s < 6; s++) q->LENGHT[s] = GetParam().first, q->note[s] = 30 + s;
        q->note[2] = 0, q->octave[2] = 0;  // a rest
        q->bypass[4] = 1;                  // step 3's gate is tied over step 4
        q->LENGHT[SEQ_STEPS] = 0.01f;      // pattern 1: a gate shorter than the smallest
    }
    std::mt19937 g(3);
    constexpr int SAMPLES = 400000;
    for (int t = 0; t < SAMPLES;) {
        if (t > SAMPLES / 2) a->wished_pattern = b->wished_pattern = 1;
        if (t > SAMPLES * 3 / 4) a->wished_divider = b->wished_divider = 9.0f;
        const int steady = b->steady_steps(1 + static_cast<int>(g() % 300));
        for (int k = 0; k < steady; k++) a->evolue();
        ASSERT_TRUE(snap(*a) == snap(*b)) << "after the stretch ending at sample " << t + steady;
        t += steady;
        a->evolue();
        b->evolue();
        ASSERT_TRUE(snap(*a) == snap(*b)) << "sample " << t;
        t++;
    }
}

INSTANTIATE_TEST_SUITE_P(Gates, SteadySteps,
                         testing::Values(std::make_pair(0.5f, 8.0f), std::make_pair(1.0f, 6.0f),
                                         std::make_pair(8.0f, 6.0f), std::make_pair(0.0f, 20.0f)));

TEST(SteadySteps, NoneWithASyncInput) {
    auto q = std::make_unique<SEQUENCER>();
    int pulse = 0;
    q->sync_source = &pulse;
    EXPECT_EQ(q->steady_steps(100), 0);
}

}  // namespace
