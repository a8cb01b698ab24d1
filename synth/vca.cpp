#include "synth/vca.h"

#include <cmath>

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
