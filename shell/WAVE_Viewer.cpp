// The program's entry. The sound output, the patch files and the panels are
// still being built: for now it builds a small patch in memory, computes one
// second of it and reports what it heard.
#include <cmath>
#include <cstdio>

#include "synth/generator.h"
#include "synth/notes.h"

int main() {
    fill_NOTE2FREQ();
    GENERATOR patch;
    auto* osc = new VCO(0.5f, static_cast<float>(NOTE2FREQ[46]), SAW);
    auto* lfo = new VCO(1.0f, 0.5f, SIN);
    auto* filter = new PCF();
    filter->BYPASS = 0;
    filter->TYPE = LOWPASS;
    filter->HICUT = 1200;
    filter->LEVEL = 0.0f;
    filter->GAIN = 0.0f;
    filter->source = &osc->value;
    filter->MOD_FREQ = new INPUT(lfo);
    auto* out = new SOUND_OUTPUT();
    out->IN = new INPUT(filter);
    patch.add(osc);
    patch.add(lfo);
    patch.add(filter);
    patch.add(out);

    double sum = 0, peak = 0;
    for (int i = 0; i < 44100; i++) {
        patch.evolue();
        sum += static_cast<double>(patch.value) * patch.value;
        peak = std::fmax(peak, std::fabs(patch.value));
    }
    std::printf("z_ozodive: signal core built. One second of a swept sawtooth: RMS %.3f, peak %.3f.\n",
                std::sqrt(sum / 44100), peak);
    std::printf("Patch files, sound output and panels are not built yet.\n");
    delete filter->MOD_FREQ;
    delete out->IN;
    return 0;
}
