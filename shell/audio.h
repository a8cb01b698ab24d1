// The render callback: the only audio path. The sound layer calls it from its
// own thread whenever the stream needs sound; it steps the patch once per frame.
#pragma once

/// An output stream of the sound layer (opaque here).
struct FSOUND_STREAM;

/// Stream mode: 16-bit, stereo, signed, non-blocking.
constexpr unsigned STREAM_MODE = 0x1000150;

/// Fills buff (len bytes of 16-bit stereo frames) by stepping main_gen once per
/// frame. Leaves the buffer untouched while CALLBACK_READY is 0, and writes
/// silence when a patch reload holds the patch. Returns 1 (keep playing).
/// Never allocates, prints, waits or throws.
int instrument_callback(FSOUND_STREAM* stream, void* buff, int len, void* userdata);

/// Halves both channels of len 16-bit stereo frames of newbuffer, in place.
/// Returns newbuffer. (A processing-unit callback; not registered anywhere.)
void* dspcallback(void* originalbuffer, void* newbuffer, int length, void* userdata);

/// Stream end and sync-point callback: reports which one happened. Returns 1.
int endcallback(FSOUND_STREAM* stream, void* buff, int len, void* userdata);

/// The 16-bit sample the stream carries for a patch output v: v x 32767
/// truncated toward zero, of which the low 16 bits are kept (values past full
/// scale wrap). NaN gives 0 and values beyond the 32-bit range stop at its ends.
short sample_from_output(float v);
