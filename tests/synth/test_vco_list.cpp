// Stepping a list of oscillators together (sines computed side by side, the
// periods of free-running sines played back) must give, sample for sample, the
// bits that stepping each oscillator on its own gives, whatever is changed
// between two samples.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "synth/random.h"
#include "synth/vco.h"

namespace {

// One list of oscillators with its links; built twice, stepped two ways.
struct Bank {
    std::vector<std::unique_ptr<VCO>> owned;
    std::vector<VCO*> list;
    std::vector<std::unique_ptr<INPUT>> links;
    int pulse = 0;

    VCO* add(float amount, float freq, int type, float phase = 0.0f) {
        owned.push_back(std::make_unique<VCO>(amount, freq, type));
        owned.back()->PHASE = phase;
        list.push_back(owned.back().get());
        return list.back();
    }
    INPUT* link(VCO* from) {
        links.push_back(std::make_unique<INPUT>(from));
        return links.back().get();
    }
};

// A list as patches make them: free sines (fast and slow, beyond full scale,
// inverted, far phases), sines reading the sine stepped just before them and
// one stepped after them, other waveforms in between.
void build(Bank& b) {
    VCO* lfo = b.add(0.8f, 3.0f, SIN);
    b.add(1.0f, 440.0f, SIN);
    b.add(2.0f, 1000.0f, SIN);              // amplitude held at 1
    b.add(-0.5f, 97.3f, SIN, 1e5f);         // inverted, phase far out
    b.add(0.7f, 5.0f, SIN);                 // period longer than the kept one
    VCO* reader = b.add(0.6f, 220.0f, SIN);
    reader->MOD_FREQ = b.link(lfo);         // reads an oscillator stepped before it
    VCO* saw = b.add(0.9f, 150.0f, SAW);
    VCO* early_reader = b.add(0.5f, 330.0f, SIN);
    VCO* late = b.add(0.4f, 660.0f, SIN);
    early_reader->ALT_AMP = b.link(late);   // reads one stepped after it: the previous sample
    b.add(1.0f, 500.0f, NOISE_WHITE);
    VCO* chained = b.add(0.3f, 123.0f, SIN);
    chained->MOD_PHASE = b.link(saw);
    b.add(0.5f, 61.0f, SIN, 0.3f);
    b.add(1.0f, 44100.0f, SIN);             // resets at every sample
    for (int i = 0; i < 40; i++) {          // enough waiting sines to fill the batch
        VCO* v = b.add(0.02f, 100.0f + 37.0f * i, SIN, i % 2 ? 2e6f : 0.0f);  // some beyond the reduction
        v->MOD_FREQ = b.link(lfo);
    }
}

// Steps n samples the list way and the single way and compares every output;
// `change` may alter both banks identically before each sample. `size` keeps
// only the first oscillators (a short list is stepped another way).
void compare(int n, const std::function<void(Bank&, int)>& change = nullptr, size_t size = 1000) {
    Bank together, alone;
    build(together);
    build(alone);
    if (size < together.list.size()) {
        together.list.resize(size);
        alone.list.resize(size);
    }
    std::vector<std::vector<float>> a(n), b(n);
    // The shared random generator is drawn in the same order by both ways.
    kel_srand(7);
    for (int t = 0; t < n; t++) {
        if (change) change(together, t);
        step_vco_list(together.list.data(), static_cast<int>(together.list.size()));
        for (VCO* v : together.list) a[t].push_back(v->value);
    }
    kel_srand(7);
    for (int t = 0; t < n; t++) {
        if (change) change(alone, t);
        for (VCO* v : alone.list) v->evolue();
        for (VCO* v : alone.list) b[t].push_back(v->value);
    }
    for (int t = 0; t < n; t++)
        for (size_t i = 0; i < a[t].size(); i++)
            ASSERT_EQ(std::memcmp(&a[t][i], &b[t][i], sizeof(float)), 0)
                << "sample " << t << ", oscillator " << i << ": " << a[t][i] << " vs " << b[t][i];
}

TEST(OscillatorList, SameBitsAsSteppingEachAlone) {
    compare(30000);
    compare(30000, nullptr, 6);
}

TEST(OscillatorList, ChangesBetweenSamplesTakeEffectAtTheNextSample) {
    compare(40000, [](Bank& b, int t) {
        VCO& v = *b.list[1];  // a free 440 Hz sine, its period long kept by then
        if (t == 9000) v.FREQ = 441.0f;
        if (t == 9001) v.AMOUNT = 0.5f;
        if (t == 12000) v.PHASE = 0.25f;
        if (t == 15000) v.TYPE = TRI;
        if (t == 15003) v.TYPE = SIN;
        if (t == 18000) v.POWER = 0;
        if (t == 18100) v.POWER = 1;
        if (t == 21000) v.MOD_FREQ = b.link(b.list[0]);
        if (t == 21500) v.MOD_FREQ = nullptr;
        if (t == 24000) v.sync_source = &b.pulse;
        b.pulse = (t == 24010);  // a sync pulse sets the cycle to 0 mid-period
        if (t == 24020) v.sync_source = nullptr;
        if (t == 30000) v.cycle = 0.5f;  // as the test scope does to its own oscillators
    });
}

}  // namespace
