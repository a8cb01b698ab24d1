#include "synth/filters.h"

#include <cmath>

#include "synth/fast_sin.h"
#include "synth/names.h"
#include "synth/signal.h"

namespace {
constexpr double TWO_PI = 6.283185307179586;
constexpr double FILTER_RATE = 44100.0;
}  // namespace

// ---------------------------------------------------------------- biquad

PCF::PCF() {
    source = nullptr;
    gate_source = nullptr;
    sync_source = nullptr;
    copy_name(name, "Emptynamed_PCF");
    set_HiCutOff(300);
}

namespace {

// The filter's angle for a cut-off f: 2 pi f / 44100 radians per sample.
inline double angle_of(double f) { return TWO_PI * f / FILTER_RATE; }

// The filter cookbook's biquads for cos w = c, sin w = s. Types 0-4 scale the
// numerator by the linear gain G; the shelves and the peak use A = 10^(g/40),
// the shelves at slope 1. Sets the six coefficients, normalised by a0.
inline void cookbook(double c, double s, double q, unsigned long type, double G, double A, double& inv_a0,
                     double& b0, double& b1, double& b2, double& a1, double& a2) {
    const double alpha = s / (2 * q);
    double nb0, nb1, nb2, na0, na1, na2;
    if (type <= 4) {
        na0 = 1 + alpha;
        na1 = -2 * c;
        na2 = 1 - alpha;
        switch (type) {
        case 0: nb0 = G; nb1 = 0; nb2 = 0; na0 = 1; na1 = 0; na2 = 0; break;
        case 1: nb0 = G * (1 - c) / 2; nb1 = G * (1 - c); nb2 = G * (1 - c) / 2; break;
        case 2: nb0 = G * (1 + c) / 2; nb1 = -G * (1 + c); nb2 = G * (1 + c) / 2; break;
        case 3: nb0 = G * alpha; nb1 = 0; nb2 = -G * alpha; break;
        default: nb0 = G; nb1 = -2 * c * G; nb2 = G; break;
        }
    } else {
        const double B = s * std::sqrt((A * A + 1) - (A - 1) * (A - 1));
        switch (type) {
        case 5:
            nb0 = A * ((A + 1) - (A - 1) * c + B);
            nb1 = 2 * A * ((A - 1) - (A + 1) * c);
            nb2 = A * ((A + 1) - (A - 1) * c - B);
            na0 = (A + 1) + (A - 1) * c + B;
            na1 = -2 * ((A - 1) + (A + 1) * c);
            na2 = (A + 1) + (A - 1) * c - B;
            break;
        case 6:
            nb0 = A * ((A + 1) + (A - 1) * c + B);
            nb1 = -2 * A * ((A - 1) + (A + 1) * c);
            nb2 = A * ((A + 1) + (A - 1) * c - B);
            na0 = (A + 1) - (A - 1) * c + B;
            na1 = 2 * ((A - 1) - (A + 1) * c);
            na2 = (A + 1) - (A - 1) * c - B;
            break;
        default:
            nb0 = 1 + alpha * A;
            nb1 = -2 * c;
            nb2 = 1 - alpha * A;
            na0 = 1 + alpha / A;
            na1 = -2 * c;
            na2 = 1 - alpha / A;
            break;
        }
    }
    inv_a0 = 1 / na0;
    b0 = nb0 * inv_a0;
    b1 = nb1 * inv_a0;
    b2 = nb2 * inv_a0;
    a1 = na1 * inv_a0;
    a2 = na2 * inv_a0;
}

// The coefficients of n cut-offs (the cosines and sines of their angles), one
// cookbook() each: a loop that vectorises, built for AVX-512 where the CPU has
// it (the same operations either way, so the same bits).
struct COEFFICIENTS {
    static constexpr int MOST = 64;
    double inv_a0[MOST], b0[MOST], b1[MOST], b2[MOST], a1[MOST], a2[MOST];
};

template <unsigned long TYPE>
inline __attribute__((always_inline)) void cookbook_run(const double* c, const double* s, double q, double G, double A,
                                                       COEFFICIENTS& k, int n) {
    for (int t = 0; t < n; t++)
        cookbook(c[t], s[t], q, TYPE, G, A, k.inv_a0[t], k.b0[t], k.b1[t], k.b2[t], k.a1[t], k.a2[t]);
}

// One loop per type, so that no lane of it branches.
#define COOKBOOK_BLOCK_BODY                                   \
    switch (type) {                                           \
    case 0: cookbook_run<0>(c, s, q, G, A, k, n); break;      \
    case 1: cookbook_run<1>(c, s, q, G, A, k, n); break;      \
    case 2: cookbook_run<2>(c, s, q, G, A, k, n); break;      \
    case 3: cookbook_run<3>(c, s, q, G, A, k, n); break;      \
    case 4: cookbook_run<4>(c, s, q, G, A, k, n); break;      \
    case 5: cookbook_run<5>(c, s, q, G, A, k, n); break;      \
    case 6: cookbook_run<6>(c, s, q, G, A, k, n); break;      \
    default: cookbook_run<7>(c, s, q, G, A, k, n); break;     \
    }

__attribute__((target(KEL_AVX512_TARGET))) void cookbook_block_avx512(
    const double* c, const double* s, double q, unsigned long type, double G, double A, COEFFICIENTS& k, int n) {
    COOKBOOK_BLOCK_BODY
}

void cookbook_block_plain(const double* c, const double* s, double q, unsigned long type, double G, double A,
                          COEFFICIENTS& k, int n) {
    COOKBOOK_BLOCK_BODY
}

#undef COOKBOOK_BLOCK_BODY

const bool kWide = kel_has_avx512();

}  // namespace

void PCF::update_gains(double g) {
    if (g != gain_for_ || std::isnan(g)) {
        gain_for_ = g;
        linear_gain_ = std::pow(10.0, g / 20);
        shelf_gain_ = std::pow(10.0, g / 40);
    }
}

// Our own sine and cosine (within 1 ulp of the C library's, and the same
// whether computed alone or a block at a time).
void PCF::compute_coefficients(double f, double q, double g, unsigned long type) {
    const double w = angle_of(f);
    update_gains(g);
    double c, s;
    kel_sincos(w, &s, &c);
    cookbook(c, s, q, type, linear_gain_, shelf_gain_, inv_a0, b0, b1, b2, a1, a2);
}

double PCF::FilterCell(unsigned long, double x, double f, double q, double g, unsigned long type) {
    if (f != key_f || q != key_q || g != key_g || static_cast<long>(type) != key_type) {
        key_f = f;
        key_q = q;
        key_g = g;
        key_type = static_cast<int>(type);
        compute_coefficients(f, q, g, type);
    }
    return biquad(x);
}

inline double PCF::biquad(double x) {
    double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    if (!std::isfinite(y)) {
        // An unusable setting (Q of 0, a cut-off beyond Nyquist that rings up)
        // would otherwise leave infinities in the history and kill the filter
        // for good: start again from silence.
        x1 = x2 = y1 = y2 = 0;
        return 0;
    }
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
}

bool PCF::filter_block(const float* in, const float* mod_freq, const float* mod_amp, float* out, int n) {
    if (enabled == 0 || source == nullptr || BYPASS != 0 || in == nullptr || n <= 0) return false;
    constexpr int MOST = 64;
    if (n > MOST) {
        filter_block(in, mod_freq, mod_amp, out, MOST);
        auto later = [](const float* h) { return h != nullptr ? h + MOST : nullptr; };
        return filter_block(in + MOST, later(mod_freq), later(mod_amp), out + MOST, n - MOST);
    }
    // The parameters, read once a block (the type wrapped as each step wraps it).
    if (TYPE > 7) TYPE = 0;
    if (TYPE < 0) TYPE = 7;
    const unsigned long type = static_cast<unsigned long>(TYPE);
    const float mix_level = mix, level = LEVEL, hicut = static_cast<float>(HICUT);
    const double q = Q, g = GAIN;
    float f[MOST];
    for (int t = 0; t < n; t++) f[t] = mod_freq != nullptr ? hicut + hicut * mod_freq[t] : hicut;
    // A swept cut-off: the sines and cosines of the block's angles, computed
    // together, then the coefficients of every sample (used where the step
    // would compute them: at a sounding sample whose cut-off changed). A
    // silent block computes none.
    double cw[MOST], sw[MOST];
    COEFFICIENTS k;
    bool sounding = false;
    for (int t = 0; t < n; t++) sounding |= in[t] != 0.0f;
    if (mod_freq != nullptr && sounding) {
        for (int t = 0; t < n; t++) cw[t] = angle_of(f[t]);
        kel_sin_n(cw, sw, n);
        kel_cos_n(cw, cw, n);
        update_gains(g);
        if (kWide)
            cookbook_block_avx512(cw, sw, q, type, linear_gain_, shelf_gain_, k, n);
        else
            cookbook_block_plain(cw, sw, q, type, linear_gain_, shelf_gain_, k, n);
    }
    // A fixed cut-off's coefficients, computed where the first sounding step
    // would compute them (the same for all of the block's sounding samples).
    const long type_key = static_cast<long>(type);
    if (mod_freq == nullptr && sounding && (static_cast<double>(hicut) != key_f || q != key_q || g != key_g ||
                                            type_key != key_type)) {
        key_f = hicut;
        key_q = q;
        key_g = g;
        key_type = static_cast<int>(type);
        compute_coefficients(hicut, q, g, type);
    }
    // The step's state in locals for the loop (the history is a chain of
    // dependent steps; through memory it would be longer), written back after.
    double X1 = x1, X2 = x2, Y1 = y1, Y2 = y2;
    double B0 = b0, B1 = b1, B2 = b2, A1 = a1, A2 = a2, IA0 = inv_a0, KF = key_f, KQ = key_q, KG = key_g;
    long KT = key_type;
    for (int t = 0; t < n; t++) {
        const float x = in[t];
        float v = 0.0f;
        if (x != 0.0f) {
            // Silence is passed without stepping, as in evolue().
            if (mod_freq != nullptr) {
                const double ft = f[t];
                if (ft != KF || q != KQ || g != KG || type_key != KT) {
                    KF = ft;
                    KQ = q;
                    KG = g;
                    KT = type_key;
                    IA0 = k.inv_a0[t];
                    B0 = k.b0[t];
                    B1 = k.b1[t];
                    B2 = k.b2[t];
                    A1 = k.a1[t];
                    A2 = k.a2[t];
                }
            }
            const float m = mod_amp != nullptr ? mix_level + mix_level * mod_amp[t] : mix_level;
            // biquad(), on the locals.
            const double xd = x;
            double y = B0 * xd + B1 * X1 + B2 * X2 - A1 * Y1 - A2 * Y2;
            if (!std::isfinite(y)) {
                X1 = X2 = Y1 = Y2 = 0;
                y = 0;
            } else {
                X2 = X1;
                X1 = xd;
                Y2 = Y1;
                Y1 = y;
            }
            v = static_cast<float>(y);
            v = v + v * level;
            v = v * m + (1 - m) * x;
        }
        if (v > 1.0f) v = 1.0f;
        if (v < -1.0f) v = -1.0f;
        out[t] = v;
    }
    x1 = X1, x2 = X2, y1 = Y1, y2 = Y2;
    b0 = B0, b1 = B1, b2 = B2, a1 = A1, a2 = A2, inv_a0 = IA0, key_f = KF, key_q = KQ, key_g = KG;
    key_type = static_cast<int>(KT);
    value = out[n - 1];
    return true;
}

int PCF::evolue() {
    if (enabled == 0) {
        // Switched off: silence, while the history waits for it to come back on.
        value = 0.0f;
    } else if (source == nullptr) {
        value = 0.0f;
    } else if (BYPASS != 0) {
        value = *source;
    } else {
        float m = mix;
        if (linked(MOD_AMP)) m = m + m * read(MOD_AMP);
        float f = static_cast<float>(HICUT);
        if (linked(MOD_FREQ)) f = f + f * read(MOD_FREQ);
        if (TYPE > 7) TYPE = 0;
        if (TYPE < 0) TYPE = 7;
        const float x = *source;
        if (x == 0.0f) {
            // Silence is passed without stepping: the history waits for the next sound.
            value = 0.0f;
        } else {
            value = static_cast<float>(FilterCell(0, x, f, Q, GAIN, static_cast<unsigned long>(TYPE)));
            value = value + value * LEVEL;
            value = value * m + (1 - m) * x;
        }
    }
    if (value > 1.0f) value = 1.0f;
    if (value < -1.0f) value = -1.0f;
    return 1;
}

// ---------------------------------------------------------------- formant filter

namespace {
const double coeff[FORMANT_VOWELS][11] = {
    {3.11044e-06, 8.943665402, -36.83889529, 92.01697887, -154.337906, 181.6233289,
     -151.8651235, 89.09614114, -35.10298511, 8.388101016, -0.923313471},  // A
    {4.36215e-06, 8.90438318, -36.55179099, 91.05750846, -152.422234, 179.1170248,
     -149.6496211, 87.78352223, -34.60687431, 8.282228154, -0.914150747},  // E
    {3.33819e-06, 8.893102966, -36.49532826, 90.96543286, -152.4545478, 179.4835618,
     -150.315433, 88.43409371, -34.98612086, 8.407803364, -0.932568035},  // I
    {1.13572e-06, 8.994734087, -37.2084849, 93.22900521, -156.6929844, 184.596544,
     -154.3755513, 90.49663749, -35.58964535, 8.478996281, -0.929252233},  // O
    {4.09431e-07, 8.997322763, -37.20218544, 93.11385476, -156.2530937, 183.7080141,
     -153.2631681, 89.59539726, -35.12454591, 8.338655623, -0.910251753},  // U
};

int vowel_index(float v) {
    if (!(v > 0.0f)) return 0;  // also NaN
    if (v >= FORMANT_VOWELS - 1) return FORMANT_VOWELS - 1;
    return static_cast<int>(v);
}
}  // namespace

FORMANT_PCF::FORMANT_PCF() {
    source = nullptr;
    gate_source = nullptr;
    sync_source = nullptr;
    copy_name(name, "Emptynamed_FORMANT_PCF");
}

double FORMANT_PCF::formant_filter(float* input, int v) {
    if (v < 0) v = 0;
    if (v >= FORMANT_VOWELS) v = FORMANT_VOWELS - 1;
    const double* k = coeff[v];
    double r = k[0] * *input;
    for (int i = 0; i < 10; i++) r += k[i + 1] * memory[i];
    if (!std::isfinite(r)) {
        // The ten poles sit close to the unit circle; never let a blow-up stick.
        for (double& m : memory) m = 0;
        return 0;
    }
    for (int i = 9; i > 0; i--) memory[i] = memory[i - 1];
    memory[0] = static_cast<float>(r);
    return static_cast<float>(r);
}

int FORMANT_PCF::evolue() {
    if (enabled != 0 && source != nullptr) {
        const float x = *source;
        if (BYPASS != 0) {
            value = x;
        } else if (x == 0.0f) {
            value = 0.0f;
        } else {
            const float m = mix;
            value = static_cast<float>(formant_filter(source, vowel_index(vowel)));
            value = value * m + (1 - m) * x;
        }
    }
    if (value > 1.0f) value = 1.0f;
    if (value < -1.0f) value = -1.0f;
    return 1;
}

// ---------------------------------------------------------------- phaser

PHASER::PHASER() {
    source = nullptr;
    copy_name(name, "Emptynamed_PHASER");
    Range(440.0f, 1600.0f);
    Rate(0.4f);
}

void PHASER::Range(float low_hz, float high_hz) {
    dmin = low_hz / (44100.0f / 2.0f);
    dmax = high_hz / (44100.0f / 2.0f);
}

void PHASER::Rate(float hz) { lfo_increment = 2.0f * 3.14159265f * (hz / 44100.0f); }

int PHASER::evolue() {
    if (source == nullptr) {
        value = 0.0f;
        return 1;
    }
    if (BYPASS != 0) {
        value = *source;
        return 1;
    }
    const float x = *source;
    const float d = dmin + (dmax - dmin) * ((sinf(lfo_phase) + 1.0f) / 2.0f);
    lfo_phase += lfo_increment;
    if (lfo_phase >= 6.28318f) lfo_phase -= 6.28318f;
    for (AllpassDelay& stage : stages) stage.Delay(d);
    float y = x + zm1 * feedback;
    for (int i = 5; i >= 0; i--) y = stages[i].Update(y);
    zm1 = y;
    value = x + y * depth;
    return 1;
}
