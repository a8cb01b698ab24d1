// Nanoseconds per sample of each module kind inside a small patch, stepped
// sample by sample (blocks 0) and computed by blocks (blocks 1): a sine
// modulated by an LFO, a slow free sine (a period too long to keep), a filter
// at a fixed and at a swept cut-off, an envelope gated by a sequencer, and a
// sequencer with the one-shot sampler it gates. Each patch ends in a sound
// output; the time is that of the whole patch.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/data_folder.h"
#include "synth/block.h"
#include "synth/generator.h"
#include "synth/notes.h"

namespace {

struct SmallPatch {
    GENERATOR g;
    std::vector<std::unique_ptr<INPUT>> links;
    INPUT* link(OUTPUT* o) {
        links.push_back(std::make_unique<INPUT>(o));
        return links.back().get();
    }
    void hear(OUTPUT* o) {
        auto* out = new SOUND_OUTPUT();
        out->IN = link(o);
        g.add(out);
    }
};

void run(benchmark::State& state, GENERATOR& g) {
    const bool blocks = state.range(0) == 1;
    g.blocks_enabled = blocks;
    float out[BLOCK_FRAMES];
    for (auto _ : state) {
        if (blocks) {
            g.render(out, BLOCK_FRAMES);
        } else {
            g.evolue();
        }
        benchmark::DoNotOptimize(g.value);
    }
    state.SetItemsProcessed(state.iterations() * (blocks ? BLOCK_FRAMES : 1));
}

SEQUENCER* sequencer(SmallPatch& p) {
    fill_NOTE2FREQ();
    auto* q = new SEQUENCER();
    q->divider[0] = q->wished_divider = 8.0f;  // a step every 5,512 samples
    q->NBR_STEP[0] = 4;
    for (int s = 0; s < 4; s++) q->LENGHT[s] = 0.5f;
    p.g.add(q);
    return q;
}

void BM_KindModulatedSine(benchmark::State& state) {
    SmallPatch p;
    auto* lfo = new VCO(0.005f, 3.1f, SIN);
    auto* carrier = new VCO(0.5f, 440.0f, SIN);
    carrier->MOD_FREQ = p.link(lfo);
    p.g.add(lfo);
    p.g.add(carrier);
    p.hear(carrier);
    run(state, p.g);
}
BENCHMARK(BM_KindModulatedSine)->Arg(0)->Arg(1)->ArgName("blocks");

// Sixteen such voices, summed: modulated oscillators that read none of one
// another, whose cycles the block kernel steps side by side.
void BM_KindVibratoVoices(benchmark::State& state) {
    SmallPatch p;
    auto* mix = new MIXER();
    for (int i = 0; i < 16; i++) {
        auto* lfo = new VCO(0.005f, 0.5f + 0.1f * i, SIN);
        auto* carrier = new VCO(0.02f, 55.0f + 41.3f * i, SIN);
        carrier->MOD_FREQ = p.link(lfo);
        p.g.add(carrier);
        p.g.add(lfo);
        mix->ajoute_en_entree(carrier, -1);
    }
    p.g.add(mix);
    p.hear(mix);
    run(state, p.g);
}
BENCHMARK(BM_KindVibratoVoices)->Arg(0)->Arg(1)->ArgName("blocks");

void BM_KindSlowFreeSine(benchmark::State& state) {
    SmallPatch p;
    auto* lfo = new VCO(0.5f, 0.5f, SIN);
    p.g.add(lfo);
    p.hear(lfo);
    run(state, p.g);
}
BENCHMARK(BM_KindSlowFreeSine)->Arg(0)->Arg(1)->ArgName("blocks");

void filter(benchmark::State& state, bool swept) {
    SmallPatch p;
    auto* saw = new VCO(0.5f, 110.0f, SAW);
    auto* lfo = new VCO(0.5f, 0.3f, SIN);
    auto* f = new PCF();
    f->source = &saw->value;
    f->BYPASS = 0;
    f->TYPE = LOWPASS;
    f->HICUT = 1000;
    f->Q = 0.7071f;
    f->GAIN = 0;
    if (swept) f->MOD_FREQ = p.link(lfo);
    p.g.add(saw);
    p.g.add(lfo);
    p.g.add(f);
    p.hear(f);
    run(state, p.g);
}
void BM_KindFilter(benchmark::State& state) { filter(state, false); }
void BM_KindSweptFilter(benchmark::State& state) { filter(state, true); }
BENCHMARK(BM_KindFilter)->Arg(0)->Arg(1)->ArgName("blocks");
BENCHMARK(BM_KindSweptFilter)->Arg(0)->Arg(1)->ArgName("blocks");

void BM_KindEnvelope(benchmark::State& state) {
    SmallPatch p;
    SEQUENCER* q = sequencer(p);
    auto* saw = new VCO(0.5f, 110.0f, SAW);
    auto* v = new VCA();
    v->gate_source = &q->gate;
    v->source = &saw->value;
    v->ATTACK = 10;
    v->DECAY = 50;
    v->SUSTAIN = 0.5f;
    v->RELEASE = 40;
    p.g.add(saw);
    p.g.add(v);
    p.hear(v);
    run(state, p.g);
}
BENCHMARK(BM_KindEnvelope)->Arg(0)->Arg(1)->ArgName("blocks");

void BM_KindSequencedSampler(benchmark::State& state) {
    static const bool entered = (enter_data_folder(), true);
    (void)entered;
    SmallPatch p;
    SEQUENCER* q = sequencer(p);
    auto* s = new SAMPLER();
    s->gate_source = &q->gate;
    s->source = &q->value;
    p.g.add(s);
    p.hear(s);
    run(state, p.g);
}
BENCHMARK(BM_KindSequencedSampler)->Arg(0)->Arg(1)->ArgName("blocks");

}  // namespace
