// The oscillators' and filters' double-precision sine and cosine: our own range reduction and
// polynomials, several arguments at a time where the CPU allows.
#pragma once

/// sin(x), within 1 ulp of the exact value for every double (NaN and the
/// infinities give NaN). Pure arithmetic: no allocation, no lock, no errno.
double kel_sin(double x);

/// out[i] = kel_sin(x[i]) for 0 <= i < n, bit for bit, computed eight at a time
/// on CPUs with AVX-512 (from eight arguments on), four at a time with AVX2 and
/// two at a time otherwise. x and out may be the same array.
void kel_sin_n(const double* x, double* out, int n);

/// cos(x), within 1 ulp of the exact value like kel_sin (the same reduction,
/// one quadrant on). For the filters' coefficients.
double kel_cos(double x);

/// *sine = kel_sin(x), *cosine = kel_cos(x), bit for bit, sharing the reduction.
void kel_sincos(double x, double* sine, double* cosine);

/// out[i] = kel_cos(x[i]) for 0 <= i < n, bit for bit, as kel_sin_n.
void kel_cos_n(const double* x, double* out, int n);

/// True when the CPU runs AVX-512 (F and DQ): the vector kernels that have an
/// eight-lane form use it. Decided once, before any sound is computed.
bool kel_has_avx512();

/// The target of the kernels' AVX-512 builds (GCC is also told to use whole
/// 512-bit vectors where it vectorises; clang takes no such option here).
#if defined(__clang__)
#define KEL_AVX512_TARGET "avx512f,avx512dq,avx512vl"
#else
#define KEL_AVX512_TARGET "avx512f,avx512dq,avx512vl,prefer-vector-width=512"
#endif
