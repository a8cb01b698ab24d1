// The sample operations of the sound library, over our own WAV reader.
//
// A handle is an FSOUND_SAMPLE (synth/wav.h) that the caller owns from
// FSOUND_Sample_Load until FSOUND_Sample_Free. Only 16-bit PCM WAV files load.
#pragma once

#include "synth/wav.h"

/// Mode bit: 16-bit values (else 8-bit).
constexpr unsigned FSOUND_16BITS = SAMPLE_MODE_16BITS;
/// Mode bit: stereo frames (else mono).
constexpr unsigned FSOUND_STEREO = SAMPLE_MODE_STEREO;
/// Mode asked for by the sampler's load: an ordinary sound without 3-D placement (8192).
constexpr unsigned FSOUND_2D = 0x2000;
/// Slot argument meaning "any free slot".
constexpr int FSOUND_FREE = -1;

/// Loads the WAV file at path into a new handle, or null after a message. Every
/// load gives a handle of its own: slot, mode, offset and length are accepted
/// for the library's sake, but the file alone decides the format.
FSOUND_SAMPLE* FSOUND_Sample_Load(int slot, const char* path, unsigned mode, int offset, int length);
/// Length of the sample in frames; 0 for null.
unsigned FSOUND_Sample_GetLength(FSOUND_SAMPLE* sample);
/// The FSOUND_16BITS / FSOUND_STEREO bits of the sample; 0 for null.
unsigned FSOUND_Sample_GetMode(FSOUND_SAMPLE* sample);
/// Default frequency (Hz), volume (0..255), pan (0..255, 128 centre) and
/// priority (0..255); each pointer may be null. 1, or 0 for a null sample.
int FSOUND_Sample_GetDefaults(FSOUND_SAMPLE* sample, int* freq, int* vol, int* pan, int* pri);
/// Gives the data from offset for length bytes (cut to the data held) as one
/// part: *ptr1/*len1; the second part is always empty. 1, or 0 when the
/// sample is null or the range starts outside the data.
int FSOUND_Sample_Lock(FSOUND_SAMPLE* sample, int offset, int length, void** ptr1, void** ptr2,
                       unsigned* len1, unsigned* len2);
/// Ends a lock; the data never moves, so this only checks the sample. 1, or 0 for null.
int FSOUND_Sample_Unlock(FSOUND_SAMPLE* sample, void* ptr1, void* ptr2, unsigned len1, unsigned len2);
/// Releases a handle from FSOUND_Sample_Load; null is ignored.
void FSOUND_Sample_Free(FSOUND_SAMPLE* sample);
