// NoSound's pacer: a thread of our own that asks the stream for sound at the
// pace a device would, and throws the sound away.
#pragma once

struct FSOUND_STREAM;

/// Starts the stream's pacer thread. False (after a line in the sound log)
/// when no thread can be made.
bool nosound_start(FSOUND_STREAM* st);
/// Stops the pacer, if it runs; returns once it has ended.
void nosound_stop(FSOUND_STREAM* st);
