#include "synth/vco.h"

#include <cmath>

#include "synth/names.h"
#include "synth/random.h"
#include "synth/signal.h"

// ---------------------------------------------------------------- chaos sources

float BLorenzOsc::Iterate() {
    dx = (y - x) * a;
    dy = x * (b - z) - y;
    dz = x * y - z * c;
    x = x + step * dx;
    y = y + step * dy;
    z = z + step * dz;
    return x * LORENZ_SCALE;
}

float BRosslerOsc::Iterate() {
    dx = -y - z;
    dy = x + a * y;
    dz = b + z * (x - c);
    x = x + step * dx;
    y = y + step * dy;
    z = z + step * dz;
    return x * ROSSLER_SCALE;
}

// ---------------------------------------------------------------- oscillator

VCO::VCO(float amount, float freq, type_generateur type)
    : AMOUNT(amount), FREQ(freq), TYPE(type) {
    source = nullptr;
    gate_source = nullptr;
    sync_source = nullptr;
    copy_name(name, "Emptynamed_VCO");
    // The list documents the inputs a patch may link; it ends up newest first.
    add_input("INPUT_INL", nullptr);
    add_input("INPUT_IN_GATE", nullptr);
    add_input("INPUT_MOD_PHASE", nullptr);
    add_input("INPUT_MOD_FREQ", nullptr);
    add_input("INPUT_MOD_AMP", nullptr);
    add_input("INPUT_MOD_PWM", nullptr);
    add_input("INPUT_ALT_PHASE", nullptr);
    add_input("INPUT_ALT_FREQ", nullptr);
    add_input("INPUT_ALT_AMP", nullptr);
    add_input("INPUT_ALT_PWM", nullptr);
    lorenz.SetFreq(220.0f);
    rossler.SetFreq(220.0f);
}

namespace {

// Stepped white noise: a new level once per cycle, spread over -1..1 when A is 1.
float white_noise(float A, bool new_cycle, float& hold) {
    if (A == 0.0f) return 0.0f;
    if (new_cycle) hold = static_cast<float>(kel_rand() / (A * 2147483648.0 + 1.0));
    float h = hold;
    float scaled = (h * 10923 + h * 10923 + h * 10923) * 2 - 32766;
    return static_cast<float>(scaled * 3.0518509e-05);
}

// Random-sign noise: a new magnitude once per cycle, a coin toss for the sign
// at every sample. Divided by 32676 (not 32767): full scale is clipped.
float kel_noise(float A, bool new_cycle, float& hold) {
    if (A == 0.0f) return 0.0f;
    if (new_cycle) {
        double span = static_cast<double>(A) * 32767.0 + 1.0;
        // Below 1 (tiny or negative amplitude) the modulo would be undefined.
        int n = span >= 1.0 ? static_cast<int>(span) : 1;
        hold = static_cast<float>(kel_rand() % n);
    }
    if (kel_rand() % 2 == 1) hold = -hold;
    return static_cast<float>(hold / 32676.0);
}

}  // namespace

int VCO::evolue() {
    if (POWER == 0) {
        value = 0.0f;
        return 1;
    }
    if (sync_source != nullptr && *sync_source != 0) cycle = 0.0f;

    float A = linked(ALT_AMP) ? read(ALT_AMP) : AMOUNT;
    float F = linked(ALT_FREQ) ? read(ALT_FREQ) : FREQ;
    float P = linked(ALT_PHASE) ? read(ALT_PHASE) : PHASE;
    float W = linked(ALT_PWM) ? read(ALT_PWM) : PWM;

    if (source != nullptr) {
        F = linked(ALT_FREQ) ? static_cast<float>(read(ALT_FREQ) / 44.0)
                             : static_cast<float>(*source * FREQ / 44.0);
        driven_frequency = F;
    }

    if (linked(MOD_AMP)) A = A + A * read(MOD_AMP);
    if (linked(MOD_FREQ)) F = F + F * read(MOD_FREQ);
    if (linked(MOD_PHASE)) P = P + P * read(MOD_PHASE);
    if (linked(MOD_PWM)) W = W + W * read(MOD_PWM);
    if (A > 1.0f) A = 1.0f;

    // The overshoot is dropped on purpose: the reset sample is the new-cycle mark.
    cycle = static_cast<float>(cycle + F / 44100.0);
    if (cycle > 1.0f) cycle = -1.0f;
    const bool new_cycle = cycle == -1.0f;
    const float c = cycle;

    float out;
    switch (TYPE) {
    case SIN: out = static_cast<float>(A * std::sin(6.283185307179586 * c + P)); break;
    case TRI: {
        float t = 2 * A * std::fabs(c);
        out = 2 * (t - A);
        break;
    }
    case SAW: out = A * c; break;
    // The square is the pulse at width 0: high for the first half of the cycle.
    case SQR: out = (0.0f >= c + P) ? A : -A; break;
    case PULSE: out = (W >= c + P) ? A : -A; break;
    case NOISE_WHITE: out = white_noise(A, new_cycle, random_hold); break;
    case NOISE_ROSSLER:
        if (new_cycle) rossler.SetFreq(F);
        out = A * rossler.Iterate();
        break;
    case NOISE_LORENZ:
        if (new_cycle) lorenz.SetFreq(F);
        out = A * lorenz.Iterate();
        break;
    case NOISE_KEL: out = kel_noise(A, new_cycle, signed_hold); break;
    default: out = 0.0f; break;
    }
    value = clip_unit(out);
    return 1;
}
