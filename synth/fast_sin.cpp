#include "synth/fast_sin.h"

#include <immintrin.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

// x is reduced to r = x - n pi/2 with |r| <= pi/4 (a little more when x 2/pi
// lies near a half), carried as two doubles hi + lo, and sin or cos of r is a
// polynomial chosen by n mod 4. Every lane runs the same IEEE operations in the
// same order whatever the vector width, so the 2-, 4- and 8-wide code agree
// bit for bit. (The build forbids fused multiply-add contraction.)
// The 4- and 8-wide code is only ever inlined into functions built for AVX2 and AVX-512.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

typedef double v2d __attribute__((vector_size(16)));
typedef long long v2l __attribute__((vector_size(16)));
typedef double v4d __attribute__((vector_size(32)));
typedef long long v4l __attribute__((vector_size(32)));
typedef double v8d __attribute__((vector_size(64)));
typedef long long v8l __attribute__((vector_size(64)));

constexpr double TWO_OVER_PI = 0.6366197723675814;
// 1.5 x 2^52: adding it rounds to an integer held in the low bits of the mantissa.
constexpr double ROUNDER = 6755399441055744.0;
// pi/2 in pieces of 33, 33, 33 and 53 bits: n x piece is exact for |n| < 2^20.
constexpr double PIO2_1 = 1.5707963267341256;
constexpr double PIO2_2 = 6.077100506303966e-11;
constexpr double PIO2_3 = 2.0222662487111665e-21;
constexpr double PIO2_4 = 8.4784276603689e-32;
// Above this the pieces are no longer exact (n reaches 2^20): the C library reduces.
constexpr double REDUCE_LIMIT = 1.6e6;
// Below this sin(x) rounds to x (x^2/6 is under half an ulp); keeps the sign of -0.
constexpr double TINY = 1.4901161193847656e-08;  // 2^-26

// sin r = r + r^3 S(r^2), cos r = 1 - r^2/2 + r^4 C(r^2): near-minimax fits on
// |r| <= pi/4 + 0.002, errors below 2^-65 relative.
constexpr double S0 = -0.16666666666666666, S1 = 0.008333333333333331, S2 = -0.00019841269841264943,
                 S3 = 2.75573192192438e-06, S4 = -2.5052106199405445e-08, S5 = 1.6058526395022024e-10,
                 S6 = -7.586389958204284e-13;
constexpr double C0 = 0.041666666666666664, C1 = -0.0013888888888887359, C2 = 2.480158729870778e-05,
                 C3 = -2.755731724176732e-07, C4 = 2.087614003959427e-09, C5 = -1.1382184802496203e-11;

// a + b as hi + lo exactly (no condition on the magnitudes).
template <class V>
inline __attribute__((always_inline)) void two_sum(V a, V b, V& hi, V& lo) {
    hi = a + b;
    const V bb = hi - a;
    lo = (a - (hi - bb)) + (b - bb);
}

// One bit per lane whose mask is set.
inline __attribute__((always_inline)) int lane_bits(v2l m) { return _mm_movemask_pd((__m128d)m); }
inline __attribute__((always_inline)) int lane_bits(v4l m) {
    return lane_bits(v2l{m[0], m[1]}) | lane_bits(v2l{m[2], m[3]}) << 2;
}
inline __attribute__((always_inline)) int lane_bits(v8l m) {
    return lane_bits(v4l{m[0], m[1], m[2], m[3]}) | lane_bits(v4l{m[4], m[5], m[6], m[7]}) << 4;
}

// Below this x - n pi/2 leaves at least 2^-56, so the third piece needs no exact sum.
constexpr double SHORT_LIMIT = 64.0;

// SHIFT 1 gives the cosine: cos x = sin(x + pi/2), one quadrant on.
template <class V, class L, int SHIFT>
inline __attribute__((always_inline)) V sin_lanes(const V& x, const V& ax) {
    const V t = x * TWO_OVER_PI + ROUNDER;
    const V n = t - ROUNDER;
    const L quadrant = (L)(t) + SHIFT;

    // x - n pi/2: the first product cancels exactly, the second is summed exactly.
    const V a = x - n * PIO2_1;
    V s1, e1;
    two_sum<V>(a, -(n * PIO2_2), s1, e1);
    const V tail = (e1 - n * PIO2_3) - n * PIO2_4;
    V hi = s1 + tail;
    V lo = tail - (hi - s1);
    const L far = ax >= SHORT_LIMIT;
    if (lane_bits(far) != 0) {
        // Farther out the third piece can be as large as the remainder: sum it exactly too.
        V s2, e2;
        two_sum<V>(s1, -(n * PIO2_3), s2, e2);
        const V far_tail = (e1 + e2) - n * PIO2_4;
        const V far_hi = s2 + far_tail;
        const V far_lo = far_tail - (far_hi - s2);
        hi = far ? far_hi : hi;
        lo = far ? far_lo : lo;
    }

    // One Horner scheme serves both: the lanes that need the cosine take its coefficients.
    const L odd = (quadrant & 1) != 0;
    const V z = hi * hi;
    const V p = (odd ? C0 : S1) + z * ((odd ? C1 : S2) + z * ((odd ? C2 : S3) +
                z * ((odd ? C3 : S4) + z * ((odd ? C4 : S5) + z * (odd ? C5 : S6)))));
    const V v = z * hi;
    const V sine = hi - ((z * (0.5 * lo - v * p) - lo) - v * S0);
    const V half_z = 0.5 * z;
    const V w = 1.0 - half_z;
    const V cosine = w + (((1.0 - w) - half_z) + (z * (z * p) - hi * lo));

    V r = odd ? cosine : sine;
    r = (quadrant & 2) != 0 ? -r : r;
    if (SHIFT == 0) return ax < TINY ? x : r;
    return r;
}

// Stores the lanes; those the reduction cannot take (huge, infinite, NaN) go to the C library.
template <class V, class L, int SHIFT>
inline __attribute__((always_inline)) void sin_store(double* out, const V& in, int lanes) {
    const L magnitude = (L)(in) & 0x7fffffffffffffffLL;
    const V ax = (V)(magnitude);
    V r = sin_lanes<V, L, SHIFT>(in, ax);
    const L reducible = ax < REDUCE_LIMIT;
    const int all = (1 << lanes) - 1;
    if ((lane_bits(reducible) & all) != all) {
        for (int i = 0; i < lanes; i++)
            if (reducible[i] == 0) r[i] = SHIFT ? std::cos(in[i]) : std::sin(in[i]);  // from `in`: out may be x
    }
    if (lanes == static_cast<int>(sizeof(V) / sizeof(double))) {
        __builtin_memcpy(out, &r, sizeof r);
    } else {
        for (int i = 0; i < lanes; i++) out[i] = r[i];
    }
}

// One vector per call: with no loop around it the compiler keeps the constants
// where they are instead of spreading them over the stack first, which a call
// for a handful of sines would pay for whole.
template <int SHIFT>
__attribute__((noinline)) void sin2_sse2(const double* x, double* out, int lanes) {
    v2d in = {0.0, 0.0};
    if (lanes == 2)
        __builtin_memcpy(&in, x, sizeof in);
    else
        in[0] = x[0];
    sin_store<v2d, v2l, SHIFT>(out, in, lanes);
}

template <int SHIFT>
__attribute__((target("avx2"), noinline)) void sin4_avx2(const double* x, double* out, int lanes) {
    v4d in = {0.0, 0.0, 0.0, 0.0};
    if (lanes == 4)
        __builtin_memcpy(&in, x, sizeof in);
    else
        for (int k = 0; k < lanes; k++) in[k] = x[k];
    sin_store<v4d, v4l, SHIFT>(out, in, lanes);
}

template <int SHIFT>
void sin_n_sse2(const double* x, double* out, int n) {
    for (int i = 0; i < n; i += 2) sin2_sse2<SHIFT>(x + i, out + i, n - i < 2 ? n - i : 2);
}

template <int SHIFT>
void sin_n_avx2(const double* x, double* out, int n) {
    for (int i = 0; i < n; i += 4) sin4_avx2<SHIFT>(x + i, out + i, n - i < 4 ? n - i : 4);
}

// Eight at a time over the whole array: a loop, so that the constants stay in
// registers from one vector to the next (the arrays here are a block long).
template <int SHIFT>
__attribute__((target("avx512f,avx512dq"), noinline)) void sin_n_avx512(const double* x, double* out, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        v8d in;
        __builtin_memcpy(&in, x + i, sizeof in);
        sin_store<v8d, v8l, SHIFT>(out + i, in, 8);
    }
    if (i < n) {
        v8d in = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
        for (int k = 0; k < n - i; k++) in[k] = x[i + k];
        sin_store<v8d, v8l, SHIFT>(out + i, in, n - i);
    }
}

// Z_OZODIVE_SIMD=plain keeps to the plain x86-64 builds whatever the CPU
// has: the tests prove those give the same samples on a machine whose wider
// builds would otherwise always be taken.
bool plain_only() {
    const char* e = std::getenv("Z_OZODIVE_SIMD");
    return e != nullptr && std::strcmp(e, "plain") == 0;
}

bool cpu_has_avx512() {
    __builtin_cpu_init();
    return !plain_only() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
}

bool cpu_has_avx2() {
    __builtin_cpu_init();
    return !plain_only() && __builtin_cpu_supports("avx2");
}

// Decided once at start-up, before any audio runs.
const bool kUseAvx2 = cpu_has_avx2();
const bool kUseAvx512 = cpu_has_avx512();

}  // namespace

// The same operations as one lane of sin_lanes, in the same order (so the same
// bits), but only those the argument needs: one oscillator stepped alone waits
// for its sine, and the shorter chain is what it waits for.
namespace {

// The argument reduced by pi/2 in four pieces: x = quadrant * pi/2 + hi + lo.
struct REDUCED {
    long long quadrant;
    double hi, lo;
};
inline REDUCED reduce(double x, double ax) {
    const double t = x * TWO_OVER_PI + ROUNDER;
    const double n = t - ROUNDER;
    REDUCED r;
    __builtin_memcpy(&r.quadrant, &t, sizeof r.quadrant);
    const double a = x - n * PIO2_1;
    double s1, e1;
    two_sum<double>(a, -(n * PIO2_2), s1, e1);
    if (ax >= SHORT_LIMIT) {
        double s2, e2;
        two_sum<double>(s1, -(n * PIO2_3), s2, e2);
        const double tail = (e1 + e2) - n * PIO2_4;
        r.hi = s2 + tail;
        r.lo = tail - (r.hi - s2);
    } else {
        const double tail = (e1 - n * PIO2_3) - n * PIO2_4;
        r.hi = s1 + tail;
        r.lo = tail - (r.hi - s1);
    }
    return r;
}

template <int SHIFT>
double sin_one(double x) {
    const double ax = std::fabs(x);
    if (!(ax < REDUCE_LIMIT)) return SHIFT ? std::cos(x) : std::sin(x);
    if (SHIFT == 0 && ax < TINY) return x;
    const REDUCED red = reduce(x, ax);
    const long long quadrant = red.quadrant + SHIFT;
    const double hi = red.hi, lo = red.lo;
    const double z = hi * hi;
    double r;
    if (quadrant & 1) {
        const double p = C0 + z * (C1 + z * (C2 + z * (C3 + z * (C4 + z * C5))));
        const double half_z = 0.5 * z;
        const double w = 1.0 - half_z;
        r = w + (((1.0 - w) - half_z) + (z * (z * p) - hi * lo));
    } else {
        const double p = S1 + z * (S2 + z * (S3 + z * (S4 + z * (S5 + z * S6))));
        const double v = z * hi;
        r = hi - ((z * (0.5 * lo - v * p) - lo) - v * S0);
    }
    return (quadrant & 2) ? -r : r;
}

}  // namespace

double kel_sin(double x) { return sin_one<0>(x); }

double kel_cos(double x) { return sin_one<1>(x); }

// One reduction and both polynomials: the operations of kel_sin and kel_cos.
void kel_sincos(double x, double* sine, double* cosine) {
    const double ax = std::fabs(x);
    if (!(ax < REDUCE_LIMIT)) {
        *sine = std::sin(x);
        *cosine = std::cos(x);
        return;
    }
    const REDUCED red = reduce(x, ax);
    const long long quadrant = red.quadrant;
    const double hi = red.hi, lo = red.lo;
    const double z = hi * hi;
    const double pc = C0 + z * (C1 + z * (C2 + z * (C3 + z * (C4 + z * C5))));
    const double half_z = 0.5 * z;
    const double w = 1.0 - half_z;
    const double c = w + (((1.0 - w) - half_z) + (z * (z * pc) - hi * lo));
    const double ps = S1 + z * (S2 + z * (S3 + z * (S4 + z * (S5 + z * S6))));
    const double v = z * hi;
    const double s = hi - ((z * (0.5 * lo - v * ps) - lo) - v * S0);
    const double sin_r = (quadrant & 1) ? c : s, cos_r = (quadrant & 1) ? s : c;
    *sine = ax < TINY ? x : (quadrant & 2) ? -sin_r : sin_r;
    *cosine = ((quadrant + 1) & 2) ? -cos_r : cos_r;
}

namespace {

template <int SHIFT>
void sin_n(const double* x, double* out, int n) {
    if (kUseAvx512 && n >= 8)
        sin_n_avx512<SHIFT>(x, out, n);
    else if (kUseAvx2)
        sin_n_avx2<SHIFT>(x, out, n);
    else
        sin_n_sse2<SHIFT>(x, out, n);
}

}  // namespace

void kel_sin_n(const double* x, double* out, int n) { sin_n<0>(x, out, n); }

bool kel_has_avx512() { return cpu_has_avx512(); }

void kel_cos_n(const double* x, double* out, int n) { sin_n<1>(x, out, n); }
