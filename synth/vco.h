// The oscillator: nine waveforms, two of them chaotic attractors.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "synth/ports.h"
#include "synth/shared_word.h"

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
    SHARED<int> POWER = 1;         ///< 0 silences the module
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
    SHARED<float> PHASE = 0.0f;    ///< phase offset (radians for the sine, cycle units otherwise)
    SHARED<float> AMOUNT;          ///< amplitude, at most 1 (negative inverts)
    SHARED<float> FREQ;            ///< frequency, Hz
    SHARED<float> PWM = 0.1f;      ///< pulse threshold on cycle, -1..1
    float signed_hold = 0.0f;      ///< held value of the random-sign noise
    float driven_frequency = 0.0f; ///< last frequency derived from the main input, Hz
    SHARED<type_generateur> TYPE;  ///< waveform code, 1..9

private:
    // State of the step itself, kept in the cache line of the parameters it follows.
    double increment_ = 0.0;            ///< F / 44100: cycle advance per sample
    std::uint32_t increment_for_ = 0;   ///< bits of the F that `increment_` is for (+0.0)
    // After its first reset a free-running sine repeats exactly (see vco.cpp):
    // the outputs of one period are kept while A, P and F (increment_for_) keep their bits.
    std::uint32_t period_key_[2] = {0x7fc00001u, 0};  ///< bits of A and P (none yet)
    float period_cycle_ = 0.0f;         ///< the cycle the last played-back step left
    int period_pos_ = -1;               ///< samples since the last reset; -1 unknown
    int period_filled_ = 0;             ///< period_out_[0 .. period_filled_) are known
    int period_length_ = 0;             ///< samples from one reset to the next; 0 unknown
    /// PERIOD_CAPACITY outputs, then the cycle each of them left; allocated with the module.
    std::unique_ptr<float[]> period_out_;
    std::uint32_t driven_for_[2] = {0, 0};  ///< bits of the pitch input and FREQ driven_ is for (0, 0)
    float driven_ = 0.0f;                    ///< pitch input x FREQ / 44 for them

    /// The frequency a pitch input drives: pitch x FREQ / 44, divided only when they change.
    float driven(float pitch, float freq) {
        std::uint32_t bits[2];
        std::memcpy(&bits[0], &pitch, sizeof bits[0]);
        std::memcpy(&bits[1], &freq, sizeof bits[1]);
        if (bits[0] != driven_for_[0] || bits[1] != driven_for_[1]) {
            driven_for_[0] = bits[0];
            driven_for_[1] = bits[1];
            driven_ = static_cast<float>(pitch * freq / 44.0);
        }
        return driven_;
    }

public:
    float random_hold = 0.0f;      ///< held value of the white noise
    BLorenzOsc lorenz;             ///< source of NOISE_LORENZ
    BRosslerOsc rossler;           ///< source of NOISE_ROSSLER

    /// Longest period a free-running sine keeps, in samples (10.8 Hz and up).
    static constexpr int PERIOD_CAPACITY = 4096;

    VCO(float amount, float freq, type_generateur type);
    int evolue() override;

    /// The working values of one step, after the inputs are read and the cycle advanced.
    struct Step {
        float A;          ///< amplitude, at most 1
        float F;          ///< frequency, Hz
        float P;          ///< phase offset
        float W;          ///< pulse width
        bool new_cycle;   ///< the cycle was reset at this sample
    };
    /// Sync, working values and cycle advance of one sample (POWER not tested).
    Step advance();
    /// The argument of the sine for a step: 2 pi x cycle + phase, in double precision.
    double sine_argument(const Step& s) const { return 6.283185307179586 * cycle + s.P; }
    /// The output of a non-sine waveform for a step, before clipping.
    float shape(const Step& s);

    /// True when no input is linked: the step reads only the module's own fields.
    bool unlinked() const {
        const INPUT* const* extra = &MOD_PHASE;  // the eight MOD_ and ALT_ pointers, in a row
        std::uintptr_t any = reinterpret_cast<std::uintptr_t>(source) | reinterpret_cast<std::uintptr_t>(sync_source);
        for (int i = 0; i < 8; i++) any |= reinterpret_cast<std::uintptr_t>(extra[i]);
        return any == 0;
    }
    /// Steps an unlinked sine with POWER on (see step_vco_list). Returns true
    /// when the output came from its period; otherwise *x and *amplitude are
    /// the sine's argument and amplitude, and *slot, when not null, is where
    /// the period keeps the output once it is computed.
    bool step_free_sine(double* x, double* amplitude, float** slot);
    /// Steps an unlinked sine with POWER on over n samples into out, exactly as
    /// n calls of evolue() would: played back from its period once one is known.
    void free_sine_block(float* out, int n);
    /// The same for any unlinked waveform but the two noises (POWER on).
    void free_block(float* out, int n);
    /// What a block kernel reads: in[k] is the history of input k over the
    /// block (k in the order below; null when the input is not linked). The
    /// sync word holds the pulse's int bits.
    enum BlockInput { IN_PITCH, IN_SYNC, IN_MOD_PHASE, IN_MOD_FREQ, IN_MOD_AMP, IN_MOD_PWM,
                      IN_ALT_PHASE, IN_ALT_FREQ, IN_ALT_AMP, IN_ALT_PWM, BLOCK_INPUTS };
    /// Steps an oscillator with linked inputs (any waveform but the two noises,
    /// POWER on) over n samples into out, exactly as n calls of evolue() would
    /// with each input reading in[k][t] at sample t. The parameters are read once.
    void linked_block(const float* const* in, float* out, int n);
    /// Most oscillators linked_blocks steps side by side.
    static constexpr int LANES = 16;
    /// Steps count <= LANES oscillators with linked inputs, none reading
    /// another's output, over the same n samples: oscillator j as
    /// linked_block(in[j], out[j], n) would, bit for bit. Their cycles, each a
    /// chain of dependent steps, advance side by side, one lane each.
    static void linked_blocks(VCO* const* v, const float* const (*in)[BLOCK_INPUTS], float* const* out, int count,
                              int n);
    /// Asks the cache for what the list step reads of this oscillator (the
    /// step reads five lines of it; fetched ahead, they are there in time).
    void prefetch() const {
        const char* at = reinterpret_cast<const char*>(this);
        for (int line = 0; line < 5; line++) __builtin_prefetch(at + 64 * line);
    }
    /// Asks the cache for the period output this oscillator plays next (reads
    /// its position: call once prefetch() had time to bring it).
    void prefetch_period() const {
        if (period_pos_ >= 0) __builtin_prefetch(period_out_.get() + period_pos_ + 1);
    }

private:
    /// Longest block the linked kernels take at once, in samples.
    static constexpr int LINKED_MOST = 64;
    /// What a linked block's steps read besides the cycle: per sample, the
    /// amplitude, frequency, phase and pulse width advance() would give.
    struct LinkedWork {
        float A[LINKED_MOST], F[LINKED_MOST], P[LINKED_MOST], W[LINKED_MOST];
    };
    /// Reads the inputs of n <= LINKED_MOST samples into w, and writes the
    /// cycle's increments to inc[t * stride]. Leaves the kept increment and
    /// driven frequency as the last step would, and drops the kept period.
    void linked_prepare(const float* const* in, LinkedWork& w, double* inc, int stride, int n);
    /// The outputs of the block from the cycles cyc[t * stride] (the cycle
    /// is left at the last of them).
    void linked_finish(const LinkedWork& w, const float* cyc, int stride, float* out, int n);
    /// free_sine_block's work, and that built for the CPU's widest vectors and for any x86-64.
    void free_sine_body(float* out, int n);
    void free_sine_avx512(float* out, int n);
    void free_sine_plain(float* out, int n);
    /// linked_blocks built for the CPU's widest vectors, and for any x86-64.
    static void linked_blocks_avx512(VCO* const* v, const float* const (*in)[BLOCK_INPUTS], float* const* out,
                                     int count, int n);
    static void linked_blocks_plain(VCO* const* v, const float* const (*in)[BLOCK_INPUTS], float* const* out,
                                    int count, int n);

    /// Adds F / 44100 to the cycle, resetting it to -1 past 1. True on the reset sample.
    bool advance_cycle(float F) {
        // A division per sample is dear: the quotient is kept while F keeps its bits.
        std::uint32_t bits;
        std::memcpy(&bits, &F, sizeof bits);
        if (bits != increment_for_) {
            increment_for_ = bits;
            increment_ = F / 44100.0;
        }
        // The overshoot is dropped on purpose: the reset sample is the new-cycle mark.
        float c = static_cast<float>(cycle + increment_);
        if (c > 1.0f) c = -1.0f;
        cycle = c;
        return c == -1.0f;
    }
};

/// Steps the first n oscillators of a list, in order, exactly as n calls of
/// evolue() would, but computes the sines of neighbouring oscillators together
/// (an oscillator that reads one stepped just before it waits for its value).
void step_vco_list(VCO* const* list, int n);
