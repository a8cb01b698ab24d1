// The synthesizer's pseudo-random generator, shared by the noise oscillators
// and the naming of new pattern files.
//
// It behaves like the C library's rand()/srand() (values 0..KEL_RAND_MAX), but
// never takes a lock: the C library's generator guards its state with a mutex,
// which has no place on the audio thread.
#pragma once

#include <cstdint>

/// The largest value kel_rand returns (2^31 - 1, as the C library's RAND_MAX here).
constexpr int KEL_RAND_MAX = 2147483647;

/// Next value in 0..KEL_RAND_MAX.
int kel_rand();

/// Restarts the sequence from a seed.
void kel_srand(std::uint32_t seed);
