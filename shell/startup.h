// Start-up of the synthesizer: the note table, the patch, the console dialogue
// that picks the sound output and driver, the remote-control socket, the stream.
#pragma once

#include "shell/sound_errors.h"

/// Oldest sound-layer version the program runs with.
constexpr float REQUIRED_SOUND_VERSION = 3.74f;

/// Loads the patch named by argv[1] (else "KSY/ZZZ.ksy") into gen, runs the
/// sound dialogue, opens the remote-control socket on port 9999 and starts the
/// stream. Returns 1; ends the program with status 1 (network or stream set-up)
/// or 2 (port 9999 taken) on failure.
int init_Z_OZODIVE(int argc, char** argv);

/// A sound set-up chosen before start-up, from the command line.
struct SOUND_CHOICE {
    int output = -1;      ///< FSOUND_OUTPUT_* to use without the output menu; -1 asks
    int driver = -1;      ///< driver number as the menu shows it (from 1); -1 asks, or 1 with output
    bool window = false;  ///< run the windowed set-up (init_sound_GRFX) after the console one
    /// The output and driver (from 1) of the last run, from the settings; -1 when none.
    /// Used only when standard input is not a terminal and ends before a choice.
    int remembered_output = -1;
    int remembered_driver = -1;
};
/// Used by the next init_Z_OZODIVE.
void set_sound_choice(const SOUND_CHOICE& choice);

/// The console dialogue: output type, then driver, then FSOUND_Init at
/// Frequency. 1 when the device runs, 0 when it does not; ESC ends the
/// program with status 0. At the end of the keys on standard input a terminal
/// ends the program with status 0 too; other input (a desktop launcher's, a
/// pipe that closed) leaves the choice to the program: the remembered output
/// and driver, else the sound daemon, else ALSA's default, else NoSound, named
/// on the console and on the window's status line.
/// A menu answered by the sound choice is not shown; a chosen driver that does
/// not exist ends the program with status 2 and a message naming the valid ones.
int init_sound();


/// The name the driver menu gives an output kind ("" for kinds it does not name).
const char* sound_output_name(int output);

/// True when standard input is not a terminal (a desktop launcher, a pipe):
/// no one can be asked, and the program chooses the sound output itself.
bool program_chooses_sound();
/// Says on the console and on the window's status line "what" followed by
/// where the sound goes now, in plain words.
void announce_sound_output(const char* what);
/// When no one can be asked and the output chosen does not open: the outputs
/// the program tries itself, in their order (the remembered one, the sound
/// daemon, ALSA, NoSound), until one opens, which is announced. 1 when one
/// runs, else 0. The layer must not be initialised.
int init_sound_fallback();

/// A windowed sound set-up menu; nothing to do here. Returns 1.
int MENU_SOUND_CONFIG_2();
/// Background decoration hook; draws nothing.
void dessine_decor_du_fond(int);
