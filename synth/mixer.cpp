#include "synth/mixer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

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
    if (count > 8) return mix_many(count);
    int n = 0;
    for (int j = 0; j < count; j++)
        if (mute[j] != 1.0f && input[j].source != nullptr) n++;
    float sum = 0.0f;
    for (int j = 0; j < count; j++) {
        if (mute[j] == 1.0f || input[j].source == nullptr) continue;
        // Several channels are averaged, then raised by half again.
        if (n > 1)
            sum += *input[j].source / n * 1.5f * level[j];
        else
            sum += *input[j].source * level[j];
    }
    value = sum;
    return 1;
}

// Many channels: each active one's input and level are read once, the terms
// are computed side by side, and the sum keeps its order (the same bits as above).
int MIXER::mix_many(int count) {
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
        const float count_f = static_cast<float>(n);
        float term[MIXER_CHANNELS];
        for (int k = 0; k < n; k++) term[k] = in[k] / count_f * 1.5f * gain[k];
        for (int k = 0; k < n; k++) sum += term[k];
    } else if (n == 1) {
        sum += in[0] * gain[0];
    }
    value = sum;
    return 1;
}

namespace {

typedef float v4f __attribute__((vector_size(16)));

// out[t] += in[t] / count * 1.5 * gain: the per-sample expression, four samples at a time.
void add_terms(float* out, const float* in, float count, float gain, int n) {
    int t = 0;
    for (; t + 4 <= n; t += 4) {
        v4f x, sum;
        std::memcpy(&x, in + t, sizeof x);
        std::memcpy(&sum, out + t, sizeof sum);
        sum += x / count * 1.5f * gain;
        std::memcpy(out + t, &sum, sizeof sum);
    }
    for (; t < n; t++) out[t] += in[t] / count * 1.5f * gain;
}

}  // namespace

// The channels are taken one after the other over the whole block: each
// sample's sum still adds its terms in channel order (the same bits).
void MIXER::mix_block(const float* const* in, float* out, int n) {
    std::fill(out, out + n, 0.0f);
    const int count = channel_count < MIXER_CHANNELS ? channel_count : MIXER_CHANNELS;
    if (enabled != 0 && count > 0) {
        int active[MIXER_CHANNELS];
        int used = 0;
        for (int j = 0; j < count; j++)
            if (mute[j] != 1.0f && in[j] != nullptr) active[used++] = j;
        if (used > 1) {
            for (int k = 0; k < used; k++) add_terms(out, in[active[k]], static_cast<float>(used), level[active[k]], n);
        } else if (used == 1) {
            const float* x = in[active[0]];
            const float gain = level[active[0]];
            for (int t = 0; t < n; t++) out[t] += x[t] * gain;
        }
    }
    value = out[n - 1];
}
