// The amplifier with its gated attack-decay-sustain-release envelope.
#pragma once

#include "synth/ports.h"
#include "synth/shared_word.h"

/// Length of one sample in seconds (1/44100, as a single-precision constant).
constexpr float ONE_SAMPLE_SECONDS = 2.2675736545e-05f;

/// Amplifier: input x envelope. Without a gate link it outputs a constant 1.0,
/// so it can stand as a fixed level.
class VCA : public OUTPUT, public INPUT_GATE, public INPUT {
public:
    float release_time = 0.0f;  ///< seconds since the gate closed
    float gate_time = 0.0f;     ///< seconds since the gate opened
    SHARED<int> INVERT = 0;             ///< non-zero: envelope becomes |envelope - 1|
    char name[88];              ///< module name, holds "VCA"
    SHARED<float> ATTACK = 1000.0f;     ///< ms
    SHARED<float> PEAK = 1.0f;          ///< level at the end of the attack
    SHARED<float> DECAY = 1000.0f;      ///< ms
    SHARED<float> SUSTAIN = 1.0f;       ///< fraction of PEAK; 0 makes the decay fall to zero
    SHARED<float> RELEASE = 1000.0f;    ///< ms
    float release_level = 0.0f; ///< level the release starts from
    SHARED<int> BYPASS = 0;             ///< recomputed each step: 1 while the gate is not linked
    SHARED<int> POWER = 1;              ///< 0 switches the amplifier off: it outputs 0 and its envelope waits

    VCA();
    /// One sample; 0 (and nothing done) while the signal input is not linked.
    /// Switched off (POWER 0), it outputs 0.
    int evolue() override;
    /// n samples as n evolue() would give them, with the gate reading gate[t]
    /// (the gate word's int bits) and the input in[t] at sample t; the
    /// parameters are read once. False, and nothing done, when a linked input
    /// comes with no history (the module is then stepped the plain way).
    bool envelope_block(const float* gate, const float* in, float* out, int n);

private:
    void gate_open_step();
    void gate_closed_step();
};
