// Small per-sample helpers shared by the modules.
#pragma once

#include <cmath>
#include <climits>

/// Clips a sample to -1..1 (NaN passes unchanged).
inline float clip_unit(float v) {
    if (v >= 1.0f) return 1.0f;
    if (v <= -1.0f) return -1.0f;
    return v;
}

/// A float truncated toward zero to an int; values beyond the int range stop at
/// its ends and NaN gives 0, where a bare conversion would be undefined.
inline int truncate_to_int(float v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483520.0f) return INT_MAX;  // largest float below 2^31
    if (v <= -2147483648.0f) return INT_MIN;
    return static_cast<int>(v);
}
