// Nanoseconds per sample of the note sources and players: the sequencer, a
// playing looping sampler and a mixer with all 24 channels linked.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench/data_folder.h"
#include "synth/mixer.h"
#include "synth/notes.h"
#include "synth/sampler.h"
#include "synth/sequencer.h"

namespace {

void BM_Sequencer(benchmark::State& state) {
    fill_NOTE2FREQ();
    auto q = std::make_unique<SEQUENCER>();
    q->divider[0] = q->wished_divider = 16.0f;  // a step every 2,756 samples
    for (auto _ : state) {
        q->evolue();
        benchmark::DoNotOptimize(q->value);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Sequencer);

void BM_SamplerLooping(benchmark::State& state) {
    // Made once: every new sampler loads (and announces) its file.
    static const std::unique_ptr<SAMPLER> shared = [] {
        enter_data_folder();
        return std::make_unique<SAMPLER>();
    }();
    SAMPLER* s = shared.get();
    s->position = 0.0f;
    int gate = 1;
    OUTPUT pitch;
    pitch.value = 523.25f;  // plays at 523.25 / 440 of the recorded rate
    s->gate_source = &gate;
    s->source = &pitch.value;
    s->mode = SMP_LOOP_FORWARD;
    for (auto _ : state) {
        s->evolue();
        benchmark::DoNotOptimize(s->value);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SamplerLooping);

void BM_Mixer24(benchmark::State& state) {
    MIXER m;
    OUTPUT sources[MIXER_CHANNELS];
    for (int j = 0; j < MIXER_CHANNELS; j++) {
        sources[j].value = (j % 7) / 7.0f - 0.5f;
        m.ajoute_en_entree(&sources[j], -1);
        m.level[j] = 0.5f + j / 48.0f;
    }
    m.mute[3] = 1.0f;
    for (auto _ : state) {
        m.evolue();
        benchmark::DoNotOptimize(m.value);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Mixer24);

}  // namespace
