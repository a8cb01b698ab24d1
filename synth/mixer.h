// The mixer: up to 24 linked outputs, each with a level and a mute.
#pragma once

#include "synth/ports.h"
#include "synth/shared_word.h"

/// Channels of a mixer.
constexpr int MIXER_CHANNELS = 24;

/// Mixer: sums its active channels (averaged x 1.5 when there are several).
class MIXER : public OUTPUT {
public:
    SHARED<int> enabled = 1;          ///< 0: the output is 0
    char name[800];                   ///< module name, holds "MIXER"
    int channel_count = 0;            ///< channels in use, from 0 upwards
    SHARED<float> level[MIXER_CHANNELS]; ///< per-channel level (keys V_00..V_23)
    SHARED<float> mute[MIXER_CHANNELS];  ///< exactly 1.0 silences the channel
    INPUT input[MIXER_CHANNELS];      ///< per-channel source, null when free

    MIXER();
    /// Links source to channel (-1: the next free one). Returns 1.
    int ajoute_en_entree(OUTPUT* source, int channel);
    int evolue() override;
    /// n samples at once, as n evolue() would give them: in[j] holds channel
    /// j's input at each sample (null: the channel is not linked).
    void mix_block(const float* const* in, float* out, int n);

private:
    /// evolue() for more than eight channels in use.
    int mix_many(int count);
};
