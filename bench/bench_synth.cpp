// Nanoseconds per sample of each module type (each waveform apart), of the
// sine kernel, of lists of oscillators stepped together, and of whole patches
// (64 oscillators of mixed types; the peer job of 64 sines, mixers and a
// lowpass) with their real-time factor (seconds of audio computed per second
// of CPU); and the audio callback's worst 3072-frame buffer on the default patches.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "bench/data_folder.h"
#include "shell/audio.h"
#include "shell/globals.h"
#include "synth/block.h"
#include "synth/fast_sin.h"
#include "synth/generator.h"
#include "synth/notes.h"

namespace {

// Reports the time per sample and how many seconds of sound one CPU second computes.
void per_sample(benchmark::State& state, long samples_per_iteration = 1) {
    const long samples = state.iterations() * samples_per_iteration;
    state.SetItemsProcessed(samples);
    state.counters["realtime_factor"] =
        benchmark::Counter(static_cast<double>(samples) / 44100.0, benchmark::Counter::kIsRate);
}

// A whole patch: sample by sample (blocks 0), or through render() a block at a time (blocks 1).
void run_patch(benchmark::State& state, GENERATOR& g) {
    const bool blocks = state.range(0) == 1;
    float out[BLOCK_FRAMES];
    g.blocks_enabled = blocks;
    for (auto _ : state) {
        if (blocks) {
            g.render(out, BLOCK_FRAMES);
        } else {
            g.evolue();
        }
        benchmark::DoNotOptimize(g.value);
    }
    per_sample(state, blocks ? BLOCK_FRAMES : 1);
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
    run_patch(state, p.g);
}
BENCHMARK(BM_Patch64)->Arg(0)->Arg(1)->ArgName("blocks");

// Sines per second: the kernel over 64 oscillator arguments against the C library.
void BM_Sine(benchmark::State& state) {
    std::vector<double> x(64), out(64);
    for (int i = 0; i < 64; i++) x[i] = 6.283185307179586 * (i / 32.0 - 1.0) + 0.1;
    const bool ours = state.range(0) == 1;
    for (auto _ : state) {
        if (ours) {
            kel_sin_n(x.data(), out.data(), 64);
        } else {
            for (int i = 0; i < 64; i++) out[i] = std::sin(x[i]);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_Sine)->Arg(0)->Arg(1)->ArgName("ours");

// 64 sines stepped as a list, per sample: free-running (periods played back),
// or each modulated by a slow LFO (a sine computed at every sample).
void BM_VCOList(benchmark::State& state) {
    VCO lfo(0.01f, 0.5f, SIN);
    INPUT wobble(&lfo);
    std::vector<std::unique_ptr<VCO>> owned;
    std::vector<VCO*> list;
    for (int i = 0; i < 64; i++) {
        owned.push_back(std::make_unique<VCO>(0.01f, 55.0f + 20.35f * i, SIN));
        if (state.range(0) == 1) owned.back()->MOD_FREQ = &wobble;
        list.push_back(owned.back().get());
    }
    for (auto _ : state) {
        lfo.evolue();
        step_vco_list(list.data(), 64);
        benchmark::DoNotOptimize(list[63]->value);
    }
    per_sample(state);
}
BENCHMARK(BM_VCOList)->Arg(0)->Arg(1)->ArgName("modulated");

// The peer job as the loader builds it: 64 sines (55 Hz up in steps of
// 20.35 Hz, amplitude 0.01) into three mixers, summed, a 2 kHz lowpass, a mixer
// and the sound output.
struct PeerJob {
    GENERATOR g;
    std::vector<std::unique_ptr<INPUT>> links;
    PeerJob() {
        std::vector<VCO*> osc;
        for (int i = 0; i < 64; i++) {
            osc.push_back(new VCO(0.01f, 55.0f + 20.35f * i, SIN));
            g.add(osc.back());
        }
        auto mixer = [&](int from, int to) {
            auto* m = new MIXER();
            for (int i = from; i < to; i++) m->ajoute_en_entree(osc[i], -1);
            return m;
        };
        MIXER* a = mixer(0, 22);
        MIXER* b = mixer(22, 44);
        MIXER* c = mixer(44, 64);
        auto* sum = new MIXER();
        auto* last = new MIXER();
        auto* lp = new PCF();
        lp->BYPASS = 0;
        lp->TYPE = LOWPASS;
        lp->HICUT = 2000;
        lp->Q = 0.7071f;
        lp->GAIN = 0;
        auto* out = new SOUND_OUTPUT();
        for (MIXER* m : {a, b, c, sum, last}) g.add(m);
        g.add(lp);
        g.add(out);
        sum->ajoute_en_entree(a, -1);
        sum->ajoute_en_entree(b, -1);
        sum->ajoute_en_entree(c, -1);
        lp->source = &sum->value;
        last->ajoute_en_entree(lp, -1);
        links.push_back(std::make_unique<INPUT>(last));
        out->IN = links.back().get();
    }
};

void BM_PeerJob(benchmark::State& state) {
    PeerJob p;
    run_patch(state, p.g);
}
BENCHMARK(BM_PeerJob)->Arg(0)->Arg(1)->ArgName("blocks");

// CPU time of this thread, in microseconds: the worst buffer is not the one the
// scheduler happened to interrupt on a busy machine.
double thread_cpu_us() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// The audio callback filling 3072-frame buffers from a default patch: the mean
// (the reported time) and the worst buffer seen in CPU time, as a counter in microseconds.
void callback_buffers(benchmark::State& state, const char* path) {
    enter_data_folder();
    fill_NOTE2FREQ();
    std::string name = path;
    auto patch = std::make_unique<GENERATOR>(&name[0]);
    std::vector<unsigned char> buffer(BufferSize);
    main_gen = patch.get();
    CALLBACK_READY = 1;
    double worst = 0;
    for (auto _ : state) {
        const double start = thread_cpu_us();
        instrument_callback(nullptr, buffer.data(), BufferSize, nullptr);
        worst = std::max(worst, thread_cpu_us() - start);
        benchmark::DoNotOptimize(buffer.data());
    }
    CALLBACK_READY = 0;
    main_gen = nullptr;
    state.counters["worst_us"] = worst;
    state.counters["realtime_factor"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * (BufferSize / 4) / 44100.0,
                           benchmark::Counter::kIsRate);
}
void BM_CallbackBuffer_ZZZ(benchmark::State& state) { callback_buffers(state, "KSY/ZZZ.ksy"); }
void BM_CallbackBuffer_brio3(benchmark::State& state) { callback_buffers(state, "KSY/brio3.ksy"); }
BENCHMARK(BM_CallbackBuffer_ZZZ)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CallbackBuffer_brio3)->Unit(benchmark::kMicrosecond);

}  // namespace
