// The render callback: the only audio path. The sound layer calls it from its
// own thread whenever the stream needs sound; it steps the patch once per frame.
#pragma once

#include "shell/sound_device.h"
#include "shell/sound_switch.h"

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
/// scale wrap). NaN and infinities give 0; finite values beyond the 32-bit range
/// stop at its ends.
short sample_from_output(float v);

/// The stream Stream_Create started (null before).
extern FSOUND_STREAM* main_stream;

/// Creates and starts the stream that instrument_callback fills (BufferSize
/// bytes a buffer, 16-bit stereo, Frequency Hz). Returns 1; on failure prints
/// "Error!" and the sound layer's error text and ends the program with status 1.
int Stream_Create();

/// Moves main_stream to place (sound_switch), the patch held meanwhile: the
/// callback leaves it alone (CALLBACK_READY is 0) from before the old stream
/// stops until the new one plays, and edits queued meanwhile are applied by
/// their own thread. Control thread only.
SOUND_SWITCH switch_main_stream(const SOUND_PLACE& place);
