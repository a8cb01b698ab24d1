// Offline rendering: a patch played through the render callback into a WAV
// file, with no sound device, console menu, socket or window.
#pragma once

/// Runs "--render OUT.wav --seconds S [PATCH]" (argv[0] is the program).
/// Returns the process exit status: 0 when the file was written.
int render_command(int argc, char** argv);

/// Loads patch_path (with the start-up messages), plays floor(seconds x 44100)
/// frames through instrument_callback in buffers of BufferSize bytes and writes
/// them to out_path as 16-bit stereo 44100 Hz. Returns 0, or 1 after a message.
int render_patch_to_wav(const char* out_path, double seconds, const char* patch_path, bool progress);
