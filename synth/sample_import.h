// Samples in any format libsndfile reads (WAV of any width, AIFF, FLAC, Ogg
// Vorbis, ...), at any rate and with any number of channels, turned into the
// 16-bit stereo 44100 Hz data the sampler plays.
#pragma once

#include <memory>
#include <string>

#include "synth/wav.h"

/// The rate samples are played at, Hz.
constexpr int SAMPLE_PLAY_RATE = 44100;

/// Reads the sound file at path with libsndfile: a mono file gives both
/// channels the same values, channels past the second are dropped, another rate
/// is converted to 44100 Hz with libsamplerate. Null, after a message naming the
/// file, when it cannot be read or the result would hold more than
/// capacity_bytes.
std::unique_ptr<FSOUND_SAMPLE> sample_import(const char* path, int capacity_bytes);

/// Why the file at path would not load as a sample ("" when it would), read
/// from its header only: the checker asks this without loading the sound.
std::string sample_problem(const char* path, int capacity_bytes);
