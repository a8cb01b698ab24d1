// Filters: the biquad, the vowel formant filter and the phaser.
#pragma once

#include "synth/ports.h"
#include "synth/shared_word.h"

/// Biquad response types of PCF (TYPE).
enum {
    PCF_GAIN_ONLY = 0,
    LOWPASS = 1,
    HIGHPASS = 2,
    BANDPASS = 3,  ///< constant 0 dB peak
    NOTCH = 4,
    LOWSHELF = 5,
    HIGHSHELF = 6,
    PEAKING = 7,
};

/// Two-pole, two-zero filter with eight responses, a sweepable cut-off, a
/// post-filter level and a wet/dry mix. A new filter is bypassed.
class PCF : public INPUT, public OUTPUT, public INPUT_GATE, public INPUT_SYNC {
public:
    SHARED<int> enabled = 1;      ///< POWER: 0 outputs silence
    INPUT* MOD_PHASE = nullptr;   ///< linkable, not read
    INPUT* MOD_FREQ = nullptr;    ///< scales the cut-off (0 leaves it, -1 zeroes it)
    INPUT* MOD_AMP = nullptr;     ///< scales the mix
    char name[800];               ///< module name, holds "PCF"
    SHARED<float> mix = 1.0f;     ///< wet share, 0..1
    SHARED<int> TYPE = BANDPASS;  ///< response, 0..7 (wrapped at each step)
    SHARED<int> BYPASS = 1;       ///< non-zero: the input passes unchanged
    SHARED<int> HICUT;            ///< cut-off, Hz
    SHARED<float> GAIN = 1.0f;    ///< dB, used by the coefficient formulas
    SHARED<float> LEVEL = 1.0f;   ///< the filtered sample is multiplied by 1 + LEVEL
    SHARED<float> Q = 1.0f;       ///< resonance

    double x1 = 0, x2 = 0;        ///< last two inputs
    double y1 = 0, y2 = 0;        ///< last two outputs
    double inv_a0 = 1, a1 = 0, a2 = 0, b0 = 0, b1 = 0, b2 = 0;  ///< normalised by a0
    double key_f = 0, key_q = 0, key_g = 0;  ///< what the coefficients were computed for
    int key_type = -1;                       ///< -1: nothing computed yet

    PCF();
    void set_HiCutOff(int hz) { HICUT = hz; }
    /// Raises the cut-off by 100 Hz (a remote-control step). Returns 1.
    int set_HiCutOff_Lower() { HICUT += 100; return 1; }
    /// One direct-form-I biquad step at 44100 Hz; coefficients are recomputed
    /// only when f, q, g or type change. One history per filter: channel is unused.
    double FilterCell(unsigned long channel, double x, double f, double q, double g,
                      unsigned long type);
    int evolue() override;

    /// n samples as n evolue() would give them, with the input reading in[t]
    /// and MOD_FREQ, MOD_AMP (null: not linked) mod_freq[t], mod_amp[t] at
    /// sample t. The parameters are read once. False, and nothing done, for a
    /// frozen, unlinked or bypassed filter (stepped the plain way).
    bool filter_block(const float* in, const float* mod_freq, const float* mod_amp, float* out, int n);

private:
    void compute_coefficients(double f, double q, double g, unsigned long type);
    void update_gains(double g);
    /// One step of the biquad with the coefficients as they stand.
    double biquad(double x);
    /// 10^(g / 20) (linear gain) and 10^(g / 40) (shelf and peak amplitude) for
    /// gain_for_: a swept cut-off recomputes the coefficients at every sample,
    /// the gain seldom changes.
    double gain_for_ = 0.0, linear_gain_ = 1.0, shelf_gain_ = 1.0;
};

/// Number of vowels of the formant filter (A, E, I, O, U).
constexpr int FORMANT_VOWELS = 5;

/// Tenth-order all-pole vowel filter.
class FORMANT_PCF : public INPUT, public OUTPUT, public INPUT_GATE, public INPUT_SYNC {
public:
    SHARED<int> enabled = 1;  ///< 0 freezes the output
    SHARED<float> mix = 1.0f; ///< wet share, 0..1
    SHARED<int> BYPASS = 0;   ///< non-zero: the input passes unchanged
    SHARED<float> vowel = 0.0f;       ///< 0 A, 1 E, 2 I, 3 O, 4 U (truncated, clamped to 0..4)
    double memory[10] = {};   ///< last ten outputs, newest first
    char name[800];           ///< module name

    FORMANT_PCF();
    /// One step of the vowel filter on *input.
    double formant_filter(float* input, int vowel_index);
    int evolue() override;
};

/// Six-stage all-pass phaser with a sine sweep and feedback.
class PHASER : public INPUT, public OUTPUT {
public:
    /// One first-order all-pass stage.
    struct AllpassDelay {
        float a1 = 0.0f;   ///< coefficient
        float zm1 = 0.0f;  ///< stage memory
        void Delay(float d) { a1 = (1.0f - d) / (1.0f + d); }
        float Update(float in) {
            float y = -a1 * in + zm1;
            zm1 = y * a1 + in;
            return y;
        }
    };

    SHARED<int> BYPASS = 0;     ///< non-zero: the input passes unchanged
    AllpassDelay stages[6];     ///< stages[5] is applied first
    float lfo_phase = 0.0f;     ///< radians
    float lfo_increment;        ///< radians per sample (0.4 Hz sweep by default)
    float zm1 = 0.0f;           ///< the chain's last output, fed back
    float dmin;                 ///< sweep low end, as a fraction of Nyquist (440 Hz)
    float dmax;                 ///< sweep high end, as a fraction of Nyquist (1600 Hz)
    SHARED<float> feedback = 0.7f; ///< 0..<1
    SHARED<float> depth = 1.0f; ///< wet amount added to the dry signal
    char name[800];             ///< module name

    PHASER();
    /// Sets the sweep range in Hz.
    void Range(float low_hz, float high_hz);
    /// Sets the sweep rate in Hz.
    void Rate(float hz);
    int evolue() override;
};
