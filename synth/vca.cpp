#include "synth/vca.h"

#include <cmath>
#include <cstring>

#include "synth/names.h"

VCA::VCA() {
    gate_source = nullptr;
    source = nullptr;
    copy_name(name, "Emptynamed_VCA");
}

// While the gate is open: attack from 0 to PEAK, then either a linear fall to
// zero (SUSTAIN 0) or a 0.1 %-per-sample fall to the sustain level, which then
// holds as long as the gate stays open.
void VCA::gate_open_step() {
    release_time = 0.0f;
    const double t_ms = gate_time * 1000.0;
    if (t_ms < ATTACK) {
        value = static_cast<float>(t_ms * PEAK / ATTACK);
        gate_time += ONE_SAMPLE_SECONDS;
        release_level = value;
    } else if (t_ms < ATTACK + DECAY) {
        if (SUSTAIN == 0.0f) {
            value = static_cast<float>(PEAK - (t_ms - ATTACK) * PEAK / DECAY);
            gate_time += ONE_SAMPLE_SECONDS;
        } else if (value > SUSTAIN) {
            // The sustain stage never advances gate_time, so it lasts while the gate is open.
            value = value - value / 1000;
        } else {
            value = PEAK * SUSTAIN;
        }
        release_level = value;
    }
}

// While the gate is closed: a linear fall from the level reached to zero over RELEASE ms.
void VCA::gate_closed_step() {
    gate_time = 0.0f;
    if (RELEASE != 0.0f && value != 0.0f && RELEASE >= release_time * 1000.0) {
        release_time += ONE_SAMPLE_SECONDS;
        const double r_ms = release_time * 1000.0;
        value = static_cast<float>(release_level - r_ms * release_level / RELEASE);
    }
}

int VCA::evolue() {
    if (source == nullptr) return 0;
    // Off, the output is 0 and the envelope stands still; `value` is also the
    // running level, so a sustain resumes at its level when switched on again.
    if (POWER == 0) {
        value = 0.0f;
        return 1;
    }
    BYPASS = gate_source == nullptr ? 1 : 0;
    if (BYPASS == 1) {
        value = 1.0f;
        return 1;
    }
    const int g = *gate_source;
    const float x = *source;
    // `value` carries the previous output into the next sample: a stage that
    // sets no level leaves the previous output to be multiplied by x again.
    if (g == 1) {
        gate_open_step();
        if (INVERT != 0) value = std::fabs(value - 1.0f);
        value = g * value * x;
    } else {
        gate_closed_step();
        if (INVERT != 0) value = std::fabs(value - 1.0f);
        value = value * x;
    }
    return 1;
}

// evolue() over a block, its stages written out again on locals: the same
// operations in the same types (the times in float, the levels computed in
// double where the step computes them so), so the same bits.
bool VCA::envelope_block(const float* gate, const float* in, float* out, int n) {
    if ((source != nullptr && in == nullptr) || (gate_source != nullptr && gate == nullptr)) return false;
    if (n <= 0) return true;
    if (source == nullptr) {
        for (int t = 0; t < n; t++) out[t] = value;  // the step does nothing
        return true;
    }
    if (POWER == 0 || gate_source == nullptr) {
        if (POWER != 0) BYPASS = 1;
        value = POWER == 0 ? 0.0f : 1.0f;
        for (int t = 0; t < n; t++) out[t] = value;
        return true;
    }
    BYPASS = 0;
    const float attack = ATTACK, decay = DECAY, sustain = SUSTAIN, peak = PEAK, release = RELEASE;
    const float attack_end = attack + decay;  // summed in float, as the step sums them
    const bool invert = INVERT != 0;
    float v = value, gt = gate_time, rt = release_time, rl = release_level;
    for (int t = 0; t < n; t++) {
        int g;
        std::memcpy(&g, &gate[t], sizeof g);
        const float x = in[t];
        if (g == 1) {
            rt = 0.0f;
            const double t_ms = gt * 1000.0;
            if (t_ms < attack) {
                v = static_cast<float>(t_ms * peak / attack);
                gt += ONE_SAMPLE_SECONDS;
                rl = v;
            } else if (t_ms < attack_end) {
                if (sustain == 0.0f) {
                    v = static_cast<float>(peak - (t_ms - attack) * peak / decay);
                    gt += ONE_SAMPLE_SECONDS;
                } else if (v > sustain) {
                    v = v - v / 1000;
                } else {
                    v = peak * sustain;
                }
                rl = v;
            }
            if (invert) v = std::fabs(v - 1.0f);
            v = static_cast<float>(g) * v * x;
        } else {
            gt = 0.0f;
            if (release != 0.0f && v != 0.0f && release >= rt * 1000.0) {
                rt += ONE_SAMPLE_SECONDS;
                const double r_ms = rt * 1000.0;
                v = static_cast<float>(rl - r_ms * rl / release);
            }
            if (invert) v = std::fabs(v - 1.0f);
            v = v * x;
        }
        out[t] = v;
    }
    value = v;
    gate_time = gt;
    release_time = rt;
    release_level = rl;
    return true;
}
