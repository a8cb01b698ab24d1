// Bounded copies into the fixed-size name and path arrays of the modules.
#pragma once

#include <cstddef>

/// Copies src into dst (capacity n, n > 0), cutting it to n - 1 characters;
/// dst is always terminated. A null src gives an empty name. Returns 1 when the
/// whole text fitted, 0 when it was cut.
int copy_name(char* dst, std::size_t n, const char* src);

/// The same for a character array, whose capacity is known.
template <std::size_t N>
int copy_name(char (&dst)[N], const char* src) {
    return copy_name(dst, N, src);
}
