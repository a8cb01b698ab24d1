// Start-up of the synthesizer: the note table, the patch, the console dialogue
// that picks the sound output and driver, the remote-control socket, the stream.
#pragma once

/// Oldest sound-layer version the program runs with.
constexpr float REQUIRED_SOUND_VERSION = 3.74f;

/// Loads the patch named by argv[1] (else "KSY/ZZZ.ksy") into gen, runs the
/// sound dialogue, opens the remote-control socket on port 9999 and starts the
/// stream. Returns 1; ends the program with status 1 (network or stream set-up)
/// or 2 (port 9999 taken) on failure.
int init_Z_OZODIVE(int argc, char** argv);

/// The console dialogue: output type, then driver, then FSOUND_Init at
/// Frequency. 1 when the device runs, 0 when it does not; ESC ends the
/// program with status 0 (as does the end of the keys on standard input).
int init_sound();

/// The fixed text of a sound-layer error code.
const char* FMOD_ErrorString(int code);

/// A windowed sound set-up menu; nothing to do here. Returns 1.
int MENU_SOUND_CONFIG_2();
/// Background decoration hook; draws nothing.
void dessine_decor_du_fond(int);
