// The oscillator: nine waveforms, two of them chaotic attractors.
#pragma once

#include "synth/ports.h"

/// Waveform codes of the oscillator (stored in patch files as TYPE).
typedef int type_generateur;
constexpr type_generateur SIN = 1;
constexpr type_generateur TRI = 2;
constexpr type_generateur SAW = 3;
constexpr type_generateur SQR = 4;
constexpr type_generateur PULSE = 5;
constexpr type_generateur NOISE_WHITE = 6;
constexpr type_generateur NOISE_ROSSLER = 7;
constexpr type_generateur NOISE_LORENZ = 8;
constexpr type_generateur NOISE_KEL = 9;

/// Output scale of the Lorenz source (x rarely leaves about -20..20).
constexpr float LORENZ_SCALE = 0.05107f;
/// Output scale of the Rossler source.
constexpr float ROSSLER_SCALE = 0.05757f;

/// Lorenz attractor integrated by one explicit Euler step per sample.
class BLorenzOsc {
public:
    float dx = 0.0f, dy = 0.0f, dz = 0.0f;  ///< last derivatives
    float step;                             ///< integration step, freq / sample_rate
    float freq = 440.0f;                    ///< speed of travel along the attractor, Hz
    float x = 1.0f, y = 1.0f, z = 1.0f;     ///< state
    float a = 10.0f;                        ///< sigma
    float b = 28.0f;                        ///< rho
    float c = 2.666f;                       ///< beta (2.666, not 8/3: the sound depends on it)
    float sample_rate = 44100.0f;           ///< Hz

    BLorenzOsc() { SetSampleRate(44100.0f); SetFreq(440.0f); }
    void SetFreq(float f) { freq = f; step = f / sample_rate; }
    void SetSampleRate(float r) { sample_rate = r; step = freq / r; }
    /// One Euler step; returns the new x scaled to about -1..1.
    float Iterate();
};

/// Rossler attractor integrated by one explicit Euler step per sample.
class BRosslerOsc {
public:
    float dx = 0.0f, dy = 0.0f, dz = 0.0f;  ///< last derivatives
    float step;                             ///< integration step, freq x 2.91 / sample_rate
    float freq = 440.0f;                    ///< Hz
    float x = 1.0f, y = 1.0f, z = 1.0f;     ///< state
    float a = 0.15f;
    float b = 0.2f;
    float c = 10.0f;
    float sample_rate = 44100.0f;           ///< Hz

    BRosslerOsc() { SetSampleRate(44100.0f); SetFreq(440.0f); }
    void SetFreq(float f) { freq = f; step = f * 2.91f / sample_rate; }
    void SetSampleRate(float r) { sample_rate = r; step = freq * 2.91f / r; }
    /// One Euler step; returns the new x scaled to about -1..1.
    float Iterate();
};

/// Oscillator module. The main input, when linked, is a pitch in Hz that FREQ
/// transposes (FREQ 44 plays the pitch received, 88 an octave up).
class VCO : public OUTPUT, public INPUT, public INPUT_GATE, public INPUT_SYNC, public INPUTS {
public:
    int POWER = 1;                 ///< 0 silences the module
    INPUT* MOD_PHASE = nullptr;    ///< scales the phase offset (0 leaves it, -1 zeroes it)
    INPUT* MOD_FREQ = nullptr;     ///< scales the frequency
    INPUT* MOD_AMP = nullptr;      ///< scales the amplitude
    INPUT* MOD_PWM = nullptr;      ///< scales the pulse width
    INPUT* ALT_PHASE = nullptr;    ///< replaces PHASE
    INPUT* ALT_FREQ = nullptr;     ///< replaces FREQ, in Hz
    INPUT* ALT_AMP = nullptr;      ///< replaces AMOUNT
    INPUT* ALT_PWM = nullptr;      ///< replaces PWM
    char name[80];                 ///< module name, holds "VCO"
    float cycle = 0.0f;            ///< phase accumulator, -1..1
    float PHASE = 0.0f;            ///< phase offset (radians for the sine, cycle units otherwise)
    float AMOUNT;                  ///< amplitude, at most 1 (negative inverts)
    float FREQ;                    ///< frequency, Hz
    float PWM = 0.1f;              ///< pulse threshold on cycle, -1..1
    float signed_hold = 0.0f;      ///< held value of the random-sign noise
    float driven_frequency = 0.0f; ///< last frequency derived from the main input, Hz
    type_generateur TYPE;          ///< waveform code, 1..9
    float random_hold = 0.0f;      ///< held value of the white noise
    BLorenzOsc lorenz;             ///< source of NOISE_LORENZ
    BRosslerOsc rossler;           ///< source of NOISE_ROSSLER

    VCO(float amount, float freq, type_generateur type);
    int evolue() override;
};
