// The note-to-frequency table shared by keyboards, sequencers and the patch loader.
#pragma once

/// Number of entries in NOTE2FREQ.
constexpr int NOTE2FREQ_SIZE = 2000;

/// Frequency in Hz of note number i (octave x 12 + semitone); entry 58 is 440 Hz.
/// Filled once at start-up by fill_NOTE2FREQ; entries from 1525 on are infinite.
extern double NOTE2FREQ[NOTE2FREQ_SIZE];

/// NOTE2FREQ[i] = 8.1757989 x 2^((i + 11) / 12), the power taken in single precision.
void fill_NOTE2FREQ();
