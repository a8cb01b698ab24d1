// The patch container: step order and its one-sample delays, the two lookup
// rules, sub-patches, the reload lock, and a per-sample path that never allocates.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "synth/generator.h"
#include "synth/random.h"
#include "synth/names.h"
#include "synth/notes.h"

// ---------------------------------------------------------------- allocation counter

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t n) {
    allocations++;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

template <class T>
T* named(T* m, const char* n) {
    copy_name(m->name, n);
    return m;
}

// A patch wired by hand: sequencer -> VCO (pitch) -> VCA (gated) -> PCF -> output.
struct BusyPatch {
    GENERATOR g;
    INPUT mod_freq, out_in;
    BusyPatch() {
        fill_NOTE2FREQ();
        auto* seq = named(new SEQUENCER(), "SEQUENCER_1");
        for (int s = 0; s < SEQ_STEPS; s++) seq->LENGHT[s] = 0.5f;
        seq->divider[0] = seq->wished_divider = 40.0f;
        auto* osc = named(new VCO(1.0f, 44.0f, SAW), "VCO_1");
        osc->source = &seq->value;
        auto* lfo = named(new VCO(0.5f, 3.0f, SIN), "VCO_LFO");
        auto* noise = named(new VCO(1.0f, 200.0f, NOISE_WHITE), "VCO_NOISE");
        auto* chaos = named(new VCO(1.0f, 200.0f, NOISE_LORENZ), "VCO_CHAOS");
        auto* vca = named(new VCA(), "VCA_1");
        vca->ATTACK = 5;
        vca->DECAY = 20;
        vca->SUSTAIN = 0.5f;
        vca->RELEASE = 30;
        vca->source = &osc->value;
        vca->gate_source = &seq->gate;
        auto* filter = named(new PCF(), "PCF_1");
        filter->BYPASS = 0;
        filter->TYPE = LOWPASS;
        filter->source = &vca->value;
        mod_freq.source = &lfo->value;
        filter->MOD_FREQ = &mod_freq;
        testing::internal::CaptureStdout();  // the sampler reports its file
        auto* sampler = named(new SAMPLER(), "SAMPLER_1");
        testing::internal::GetCapturedStdout();
        sampler->mode = SMP_LOOP_BACKWARD;
        sampler->gate_source = &seq->gate;
        sampler->source = &seq->value;
        auto* mix = named(new MIXER(), "MIXER_1");
        mix->ajoute_en_entree(filter, -1);
        mix->ajoute_en_entree(sampler, -1);
        mix->ajoute_en_entree(noise, -1);
        auto* out = named(new SOUND_OUTPUT(), "SOUND_OUT");
        out_in.source = &mix->value;
        out->IN = &out_in;
        g.add(seq);
        g.add(osc);
        g.add(lfo);
        g.add(noise);
        g.add(chaos);
        g.add(vca);
        g.add(filter);
        g.add(sampler);
        g.add(mix);
        g.add(out);
    }
};

}  // namespace

TEST(PatchStep, EmptyPatchOutputsSilence) {
    GENERATOR g;
    g.value = 0.7f;
    EXPECT_EQ(g.evolue(), 1);
    EXPECT_EQ(g.value, 0.0f);
}

TEST(PatchStep, NothingOnThePerSamplePathAllocates) {
    BusyPatch p;
    p.g.evolue();
    const long before = allocations.load();
    for (int i = 0; i < 44100; i++) p.g.evolue();
    EXPECT_EQ(allocations.load(), before);
    EXPECT_NE(p.g.value, 0.0f);  // the patch did play
}

TEST(PatchStep, LaterTypesSeeThisSampleEarlierTypesThePrevious) {
    GENERATOR g;
    auto* k = new CONSTANTE(0.5f);
    auto* osc = new VCO(1.0f, 441.0f, SAW);  // stepped before the VCA
    auto* vca = new VCA();                    // unlinked gate: outputs 1.0 once stepped
    INPUT from_vca(vca), from_osc(osc);
    osc->ALT_AMP = &from_vca;
    vca->source = &k->value;
    auto* out = new SOUND_OUTPUT();
    out->IN = &from_osc;
    g.add(k);
    g.add(osc);
    g.add(vca);
    g.add(out);
    g.evolue();
    // First sample: the VCA had not yet produced 1.0 when the VCO read it (0.0).
    EXPECT_FLOAT_EQ(osc->value, 0.0f);
    EXPECT_FLOAT_EQ(vca->value, 1.0f);
    EXPECT_EQ(g.value, osc->value);  // sound outputs come last: this sample's value
    g.evolue();
    EXPECT_FLOAT_EQ(osc->value, 0.02f);  // cycle 0.02 at amplitude 1.0
    EXPECT_EQ(g.value, osc->value);
}

TEST(PatchStep, LastAddedOfATypeIsSteppedFirstAndOnlyTheFirstOutputIsHeard) {
    GENERATOR g;
    auto* first = new CONSTANTE(0.25f);
    auto* second = new CONSTANTE(0.75f);
    INPUT a(first), b(second);
    auto* out_a = new SOUND_OUTPUT();
    auto* out_b = new SOUND_OUTPUT();
    out_a->IN = &a;
    out_b->IN = &b;
    g.add(first);
    g.add(second);
    g.add(out_a);
    g.add(out_b);  // added last: front of the list, the one heard
    g.evolue();
    EXPECT_EQ(g.value, 0.75f);
    EXPECT_EQ(g.sound_outputs[0], out_b);
    EXPECT_EQ(g.constantes[0], second);
}

// Blocks: the same bits as sample by sample, through relinks between calls,
// and nothing allocated once the patch has been planned.
TEST(PatchBlocks, BlocksGiveTheSamplesOfTheStepAndNeverAllocate) {
    BusyPatch by_block, by_sample;
    by_sample.g.blocks_enabled = false;
    std::vector<float> a(44100), b(44100);
    auto render_both = [&](int from, int to) {
        kel_srand(7);
        for (int i = from; i < to; i += 1000) by_block.g.render(&a[i], std::min(1000, to - i));
        kel_srand(7);
        by_sample.g.render(&b[from], to - from);
    };
    render_both(0, 1);  // plans the blocked patch
    const long before = allocations.load();
    render_both(1, 22050);
    EXPECT_EQ(allocations.load(), before);
    // A relink between two calls: the mixer's first channel now reads the noise.
    for (BusyPatch* p : {&by_block, &by_sample})
        p->g.edit([&](GENERATOR& g) { g.mixers[0]->input[0].source = &g.vcos[1]->value; });
    render_both(22050, 44100);
    EXPECT_TRUE(by_block.g.rendered_by_blocks());
    EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(float)));
    EXPECT_NE(a[44099], 0.0f);
}

TEST(PatchStep, SameTypeLinkedBackwardsSeesPreviousSample) {
    GENERATOR g;
    auto* early = new VCO(1.0f, 441.0f, SAW);  // added first: stepped last
    auto* late = new VCO(1.0f, 441.0f, SAW);   // added last: stepped first
    INPUT from_early(early);
    late->ALT_AMP = &from_early;
    g.add(early);
    g.add(late);
    g.evolue();
    EXPECT_FLOAT_EQ(late->value, 0.0f);  // read early's 0.0 of before
    g.evolue();
    EXPECT_FLOAT_EQ(late->value, 0.02f * 0.01f);
}

TEST(PatchStep, SubPatchRunsInsideItsParentAndReceivesItsInputs) {
    GENERATOR parent;
    auto* sub = new GENERATOR();
    auto* in = new SOUND_INPUT();
    auto* doubled = new BASIC_OPERATION();
    INPUT a(in), b(in), out_link(doubled);
    doubled->IN1 = &a;
    doubled->IN2 = &b;
    auto* sub_out = new SOUND_OUTPUT();
    sub_out->IN = &out_link;
    sub->add(in);
    sub->add(doubled);
    sub->add(sub_out);

    auto* k = new CONSTANTE(0.125f);
    OUTPUT_GATE gate(1);
    sub->source = &k->value;
    sub->gate_source = &gate.gate;
    INPUT from_sub(sub);
    auto* out = new SOUND_OUTPUT();
    out->IN = &from_sub;
    parent.add(k);
    parent.add(sub);
    parent.add(out);

    parent.evolue();  // the inputs are handed over at the end of the sub-patch's step
    EXPECT_EQ(parent.value, 0.0f);
    parent.evolue();
    EXPECT_EQ(in->value, 0.125f);
    EXPECT_EQ(in->gate, 1);
    EXPECT_EQ(parent.value, 0.25f);
    // Destroying the parent destroys the sub-patch and its modules (checked by the leak checker).
}

TEST(PatchStep, StepNeverRunsPastTheListWhateverTheCount) {
    GENERATOR g;
    g.add(new CONSTANTE(1.0f));
    g.nb_constantes = 5;
    g.evolue();
    g.clear_KSY();
    EXPECT_EQ(g.nb_constantes, 0);
    EXPECT_TRUE(g.constantes.empty());
}

// ---------------------------------------------------------------- lookups

TEST(PatchLookup, LoneModuleOfLenientTypesAnswersAnyName) {
    GENERATOR g;
    auto* k1 = named(new KEYBOARD(), "KEY_A");
    g.add(k1);
    EXPECT_EQ(g.get_KEYBOARD_by_name("anything at all"), k1);
    auto* k2 = named(new KEYBOARD(), "KEY_B");
    g.add(k2);
    EXPECT_EQ(g.get_KEYBOARD_by_name("anything at all"), nullptr);
    EXPECT_EQ(g.get_KEYBOARD_by_name("KEY_A"), k1);

    auto* c = named(new CONSTANTE(1), "CONSTANTE_1");
    g.add(c);
    EXPECT_EQ(g.get_CONSTANTE_by_name("CONSTANTE_9"), c);
    g.add(named(new VARIABLE(0), "VARIABLE_1"));
    EXPECT_NE(g.get_VARIABLE_by_name("x"), nullptr);
    g.add(named(new VALEUR(), "AFFICHAGE_1"));
    EXPECT_NE(g.get_VALEUR_by_name("x"), nullptr);
    g.add(named(new BASIC_OPERATION(), "BASIC_OPERATION_1"));
    EXPECT_NE(g.get_BASIC_OPERATION_by_name("x"), nullptr);
    g.add(named(new SOUND_OUTPUT(), "SOUND_OUT_1"));
    EXPECT_NE(g.get_SOUND_OUTPUT_by_name("x"), nullptr);
    g.add(named(new GENERATOR(), "GENERATOR_1"));
    EXPECT_NE(g.get_GENERATOR_by_name("x"), nullptr);
}

TEST(PatchLookup, StrictTypesAlwaysCompareExactly) {
    GENERATOR g;
    EXPECT_EQ(g.get_VCO_by_name("VCO_1"), nullptr);
    auto* v = named(new VCO(1, 110, SIN), "VCO_1");
    g.add(v);
    EXPECT_EQ(g.get_VCO_by_name("VCO_2"), nullptr);
    EXPECT_EQ(g.get_VCO_by_name("vco_1"), nullptr);  // case matters
    EXPECT_EQ(g.get_VCO_by_name("VCO_1"), v);
    auto* v2 = named(new VCO(1, 110, SIN), "VCO_1");
    g.add(v2);
    EXPECT_EQ(g.get_VCO_by_name("VCO_1"), v2);  // first equal name from the front

    g.add(named(new VCA(), "VCA_1"));
    g.add(named(new PCF(), "PCF_1"));
    g.add(named(new MIXER(), "MIXER_1"));
    g.add(named(new SEQUENCER(), "SEQUENCER_1"));
    EXPECT_EQ(g.get_VCA_by_name("VCA_2"), nullptr);
    EXPECT_EQ(g.get_PCF_by_name("PCF_2"), nullptr);
    EXPECT_EQ(g.get_MIXER_by_name("MIXER_2"), nullptr);
    EXPECT_EQ(g.get_SEQUENCER_by_name("SEQUENCER_2"), nullptr);
    EXPECT_NE(g.get_SEQUENCER_by_name("SEQUENCER_1"), nullptr);
}

// ---------------------------------------------------------------- reload lock

TEST(PatchReload, ReloadWaitsForTheBufferAndTheCallbackNeverWaits) {
    GENERATOR g;
    g.add(new CONSTANTE(0.5f));
    INPUT link(g.constantes[0]);
    auto* out = new SOUND_OUTPUT();
    out->IN = &link;
    g.add(out);

    // The callback holds the patch while it computes a buffer.
    ASSERT_TRUE(g.audio_lock.try_lock());
    std::atomic<bool> reloaded{false};
    std::thread reload([&] {
        std::lock_guard<std::mutex> hold(g.audio_lock);
        g.clear_KSY();
        reloaded = true;
    });
    for (int i = 0; i < 3072; i++) g.evolue();  // still the old patch, intact
    EXPECT_FALSE(reloaded.load());
    EXPECT_EQ(g.value, 0.5f);
    g.audio_lock.unlock();
    reload.join();
    EXPECT_TRUE(reloaded.load());
    EXPECT_EQ(g.nb_sound_outputs, 0);

    // While a reload holds the patch, the callback's try-lock fails at once.
    std::lock_guard<std::mutex> reloading(g.audio_lock);
    std::thread callback([&] { EXPECT_FALSE(g.audio_lock.try_lock()); });
    callback.join();
}
