// The running synthesizer: start-up, then the main loop that serves the
// remote control and the console until ESC, SIGINT or SIGTERM.
#pragma once

#include "shell/midi_input.h"
#include "shell/startup.h"

/// What the command line asks for:
/// z_ozodive [--headless] [--record] [--size WxH] [--output KIND] [--driver N] [--sound-window]
/// [--midi SYSTEM] [PATCH].
struct APP_OPTIONS {
    bool headless = false;        ///< console only, no window
    bool record = false;          ///< capture the output and write "record.wav" at exit
    int width = 1024;             ///< window size, pixels
    int height = 768;
    bool size_given = false;      ///< --size was given (else the remembered size is used)
    SOUND_CHOICE sound;           ///< output and driver chosen without the menus
    MIDI_SYSTEM midi = MIDI_SYSTEM::AUTO;  ///< where our MIDI input port lives (--midi)
    const char* patch = nullptr;  ///< patch file; null for "KSY/ZZZ.ksy"
};

/// Reads the options after argv[0]. Returns 0 when they are good; otherwise,
/// after a message, the exit status: 1 for an unknown option or a second
/// patch name, 2 for a value that is not one of those an option takes.
int parse_app_options(int argc, char** argv, APP_OPTIONS* options);

/// Starts the synthesizer and plays the patch until the user quits (Escape or
/// the close button in the window, ESC typed on standard input, SIGINT or
/// SIGTERM). Returns the exit status, 0; set-up failures end the program with
/// their own status on the way (1 when no window can be opened).
int run_synthesizer(const APP_OPTIONS& options);

/// Main-loop rate: frames drawn and remote orders applied this many times a second.
constexpr int MAIN_LOOP_HZ = 60;
