#include "synth/mixer.h"

#include <cstdio>

#include "synth/names.h"

MIXER::MIXER() {
    copy_name(name, "Emptynamed_MIXER");
    for (int j = 0; j < MIXER_CHANNELS; j++) {
        level[j] = 1.0f;
        mute[j] = 0.0f;
        input[j].source = nullptr;
    }
}

int MIXER::ajoute_en_entree(OUTPUT* src, int channel) {
    if (channel == -1) channel = channel_count;
    if (channel < 0 || channel >= MIXER_CHANNELS || channel_count >= MIXER_CHANNELS) {
        std::printf("Mixer [%s] has no channel %d left (at most %d links): link ignored\n", name,
                    channel, MIXER_CHANNELS);
        return 0;
    }
    input[channel].source = src != nullptr ? &src->value : nullptr;
    channel_count++;
    return 1;
}

int MIXER::evolue() {
    const int count = channel_count < MIXER_CHANNELS ? channel_count : MIXER_CHANNELS;
    if (enabled == 0 || count <= 0) {
        value = 0.0f;
        return 1;
    }
    // Each active channel's input and level are read once, then weighed together.
    float in[MIXER_CHANNELS];
    float gain[MIXER_CHANNELS];
    int n = 0;
    for (int j = 0; j < count; j++) {
        const float* src = input[j].source;
        if (mute[j] == 1.0f || src == nullptr) continue;
        in[n] = *src;
        gain[n] = level[j];
        n++;
    }
    float sum = 0.0f;
    if (n > 1) {
        // Several channels are averaged, then raised by half again. The terms
        // are independent (computed several at a time); the sum keeps its order.
        const float count_f = static_cast<float>(n);
        if (n <= 8) {
            for (int k = 0; k < n; k++) sum += in[k] / count_f * 1.5f * gain[k];
        } else {
            float term[MIXER_CHANNELS];
            for (int k = 0; k < n; k++) term[k] = in[k] / count_f * 1.5f * gain[k];
            for (int k = 0; k < n; k++) sum += term[k];
        }
    } else if (n == 1) {
        sum += in[0] * gain[0];
    }
    value = sum;
    return 1;
}
