// The running synthesizer: start-up, then the main loop that serves the
// remote control and the console until ESC, SIGINT or SIGTERM.
#pragma once

/// What the command line asks for: z_ozodive [--headless] [--record] [PATCH].
struct APP_OPTIONS {
    bool headless = false;        ///< no window (the only mode until the panels exist)
    bool record = false;          ///< capture the output and write "record.wav" at exit
    const char* patch = nullptr;  ///< patch file; null for "KSY/ZZZ.ksy"
};

/// Reads the options after argv[0]. False, after a usage message, on an
/// unknown option or a second patch name.
bool parse_app_options(int argc, char** argv, APP_OPTIONS* options);

/// Starts the synthesizer and plays the patch until the user quits (ESC typed
/// on standard input, SIGINT or SIGTERM). Returns the exit status, 0; set-up
/// failures end the program with their own status on the way.
int run_synthesizer(const APP_OPTIONS& options);

/// Main-loop rate: remote orders are applied this many times a second.
constexpr int MAIN_LOOP_HZ = 60;
