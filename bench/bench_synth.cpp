// Nanoseconds per sample of each module type (each waveform apart), and of a
// patch of 64 oscillators summed, filtered and sent out, with its real-time
// factor (seconds of audio computed per second of CPU).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "synth/generator.h"
#include "synth/notes.h"

namespace {

// Reports the time per sample and how many seconds of sound one CPU second computes.
void per_sample(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations());
    state.counters["realtime_factor"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 44100.0, benchmark::Counter::kIsRate);
}

void BM_VCO(benchmark::State& state) {
    VCO v(0.8f, 220.0f, static_cast<type_generateur>(state.range(0)));
    for (auto _ : state) {
        v.evolue();
        benchmark::DoNotOptimize(v.value);
    }
    per_sample(state);
}
BENCHMARK(BM_VCO)->DenseRange(1, 9)->ArgName("type");

void BM_VCO_modulated(benchmark::State& state) {
    VCO lfo(0.5f, 2.0f, SIN);
    INPUT link(&lfo);
    VCO v(0.8f, 220.0f, SAW);
    v.MOD_FREQ = &link;
    v.MOD_AMP = &link;
    for (auto _ : state) {
        lfo.evolue();
        v.evolue();
        benchmark::DoNotOptimize(v.value);
    }
    per_sample(state);
}
BENCHMARK(BM_VCO_modulated);

void BM_VCA(benchmark::State& state) {
    float in = 0.5f;
    int gate = 1;
    VCA v;
    v.source = &in;
    v.gate_source = &gate;
    v.ATTACK = 10;
    v.DECAY = 50;
    v.SUSTAIN = 0.5f;
    long n = 0;
    for (auto _ : state) {
        gate = (++n % 20000) < 15000;  // attack, decay, sustain and release in turn
        v.evolue();
        benchmark::DoNotOptimize(v.value);
    }
    per_sample(state);
}
BENCHMARK(BM_VCA);

// A filter of the given type on a sawtooth; range(1) = 1 sweeps the cut-off,
// which recomputes the coefficients at every sample.
void BM_PCF(benchmark::State& state) {
    VCO saw(0.5f, 110.0f, SAW), lfo(0.5f, 0.3f, SIN);
    INPUT sweep(&lfo);
    PCF p;
    p.source = &saw.value;
    p.BYPASS = 0;
    p.TYPE = static_cast<int>(state.range(0));
    p.HICUT = 1000;
    if (state.range(1)) p.MOD_FREQ = &sweep;
    for (auto _ : state) {
        saw.evolue();
        lfo.evolue();
        p.evolue();
        benchmark::DoNotOptimize(p.value);
    }
    per_sample(state);
}
BENCHMARK(BM_PCF)->ArgsProduct({{1, 3, 5, 7}, {0, 1}})->ArgNames({"type", "swept"});

void BM_FORMANT_PCF(benchmark::State& state) {
    VCO saw(0.5f, 110.0f, SAW);
    FORMANT_PCF f;
    f.source = &saw.value;
    for (auto _ : state) {
        saw.evolue();
        f.evolue();
        benchmark::DoNotOptimize(f.value);
    }
    per_sample(state);
}
BENCHMARK(BM_FORMANT_PCF);

void BM_PHASER(benchmark::State& state) {
    VCO saw(0.5f, 110.0f, SAW);
    PHASER p;
    p.source = &saw.value;
    for (auto _ : state) {
        saw.evolue();
        p.evolue();
        benchmark::DoNotOptimize(p.value);
    }
    per_sample(state);
}
BENCHMARK(BM_PHASER);

void BM_values(benchmark::State& state) {
    CONSTANTE k(0.5f);
    VARIABLE v(0.0f);
    VALEUR shown;
    BASIC_OPERATION op;
    SOUND_OUTPUT out;
    INPUT a(&k), b(&v), c(&op);
    v.source = &k.value;
    v.IN_ASSIGN = &a;
    shown.source = &v.value;
    op.IN1 = &a;
    op.IN2 = &b;
    op.operation = static_cast<int>(state.range(0));
    out.IN = &c;
    for (auto _ : state) {
        k.evolue();
        v.evolue();
        shown.evolue();
        op.evolue();
        out.evolue();
        benchmark::DoNotOptimize(out.value);
    }
    per_sample(state);
}
BENCHMARK(BM_values)->Arg(1)->Arg(10)->Arg(17)->ArgName("operation");

// 64 oscillators of mixed types, summed pairwise by BASIC_OPERATIONs down to
// one signal, through a lowpass to a sound output.
struct BigPatch {
    GENERATOR g;
    std::vector<std::unique_ptr<INPUT>> links;
    INPUT* link(OUTPUT* o) {
        links.push_back(std::make_unique<INPUT>(o));
        return links.back().get();
    }
    BigPatch() {
        fill_NOTE2FREQ();
        std::vector<OUTPUT*> layer;
        for (int i = 0; i < 64; i++) {
            auto* v = new VCO(1.0f / 64, static_cast<float>(NOTE2FREQ[30 + i % 24]), 1 + i % 9);
            g.add(v);
            layer.push_back(v);
        }
        while (layer.size() > 1) {
            std::vector<OUTPUT*> next;
            for (size_t i = 0; i + 1 < layer.size(); i += 2) {
                auto* sum = new BASIC_OPERATION();
                sum->IN1 = link(layer[i]);
                sum->IN2 = link(layer[i + 1]);
                g.add(sum);
                next.push_back(sum);
            }
            layer = next;
        }
        auto* lp = new PCF();
        lp->BYPASS = 0;
        lp->TYPE = LOWPASS;
        lp->HICUT = 2000;
        lp->source = &layer[0]->value;
        g.add(lp);
        auto* out = new SOUND_OUTPUT();
        out->IN = link(lp);
        g.add(out);
    }
};

void BM_Patch64(benchmark::State& state) {
    BigPatch p;
    for (auto _ : state) {
        p.g.evolue();
        benchmark::DoNotOptimize(p.g.value);
    }
    per_sample(state);
}
BENCHMARK(BM_Patch64);

}  // namespace
