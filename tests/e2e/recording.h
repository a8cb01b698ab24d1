// Reading back what the program recorded: the left channel of record.wav, its
// audible part, its pitch and its peak.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "synth/wav.h"

// Left channel of a 16-bit stereo WAV file.
inline std::vector<short> left_channel(const std::string& path) {
    std::vector<short> left;
    auto s = wav_load_sample(path.c_str(), 1 << 30);
    if (!s) return left;
    for (size_t i = 0; i + 1 < s->data.size(); i += 2) left.push_back(s->data[i]);
    return left;
}

// The part of a recording between its first and last sample louder than floor.
inline std::vector<short> audible_part(const std::vector<short>& x, int floor = 1000) {
    auto loud = [&](short v) { return std::abs(v) > floor; };
    const auto first = std::find_if(x.begin(), x.end(), loud);
    const auto last = std::find_if(x.rbegin(), x.rend(), loud).base();
    return first < last ? std::vector<short>(first, last) : std::vector<short>();
}

// Frequency from the rising zero crossings, Hz.
inline double pitch(const std::vector<short>& x) {
    int first = -1, last = -1, count = 0;
    for (size_t i = 1; i < x.size(); i++) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            if (first < 0) first = static_cast<int>(i);
            last = static_cast<int>(i);
            count++;
        }
    }
    if (count < 2) return 0.0;
    return (count - 1) * 44100.0 / (last - first);
}

inline int peak(const std::vector<short>& x, size_t from, size_t to) {
    int p = 0;
    for (size_t i = from; i < to && i < x.size(); i++) p = std::max(p, std::abs(static_cast<int>(x[i])));
    return p;
}

