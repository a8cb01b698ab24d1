// Program-wide values of the application shell.
#pragma once

#include <atomic>

class GENERATOR;

/// Sample rate of the device and of the stream, Hz.
extern const int Frequency;
/// Length of one stream buffer in bytes (3072 stereo 16-bit frames, about 69.7 ms).
extern const int BufferSize;
/// 0 while the audio callback must leave its buffers alone; 1 lets it play
/// main_gen. Together with main_gen it hands a complete patch to the audio
/// thread: written with release, read with acquire.
extern std::atomic<int> CALLBACK_READY;
/// The application's patch, loaded at start-up.
extern GENERATOR* gen;
/// The patch the audio callback steps (set from gen before the callback is let in).
extern std::atomic<GENERATOR*> main_gen;
