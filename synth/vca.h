// The amplifier with its gated attack-decay-sustain-release envelope.
#pragma once

#include "synth/ports.h"

/// Length of one sample in seconds (1/44100, as a single-precision constant).
constexpr float ONE_SAMPLE_SECONDS = 2.2675736545e-05f;

/// Amplifier: input x envelope. Without a gate link it outputs a constant 1.0,
/// so it can stand as a fixed level.
class VCA : public OUTPUT, public INPUT_GATE, public INPUT {
public:
    float release_time = 0.0f;  ///< seconds since the gate closed
    float gate_time = 0.0f;     ///< seconds since the gate opened
    int INVERT = 0;             ///< non-zero: envelope becomes |envelope - 1|
    char name[88];              ///< module name, holds "VCA"
    float ATTACK = 1000.0f;     ///< ms
    float PEAK = 1.0f;          ///< level at the end of the attack
    float DECAY = 1000.0f;      ///< ms
    float SUSTAIN = 1.0f;       ///< fraction of PEAK; 0 makes the decay fall to zero
    float RELEASE = 1000.0f;    ///< ms
    float release_level = 0.0f; ///< level the release starts from
    int BYPASS = 0;             ///< recomputed each step: 1 while the gate is not linked
    int POWER = 1;              ///< 0 switches the amplifier off: it outputs 0 and its envelope waits

    VCA();
    /// One sample; 0 (and nothing done) while the signal input is not linked.
    /// Switched off (POWER 0), it outputs 0.
    int evolue() override;

private:
    void gate_open_step();
    void gate_closed_step();
};
