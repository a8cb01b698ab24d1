#include "shell/startup.h"

#include <SDL.h>
#include <SDL_net.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "shell/audio.h"
#include "shell/console.h"
#include "shell/globals.h"
#include "shell/remote.h"
#include "shell/sound_device.h"
#include "shell/sound_drivers.h"
#include "shell/sound_window.h"
#include "shell/status_line.h"
#include "synth/exit.h"
#include "synth/generator.h"
#include "synth/notes.h"

namespace {

SOUND_CHOICE sound_choice;

void separator() { std::printf("---------------------------------------------------------\n"); }

/// Keys in a row that choose nothing after which a menu gives up: a person
/// never types that many, an input that never runs dry (/dev/zero) soon does.
constexpr int MENU_WRONG_KEYS_MAX = 1000;

/// menu_choice's answer when the input ended and the program chooses instead.
constexpr int MENU_INPUT_ENDED = -1;

// The number key ('1'..'0' + choices) typed in a menu, from 0. The menus end
// the program on ESC or a request to end, and also when no key can ever come
// (the input ended, or waiting on it keeps failing) or when the input goes on
// choosing nothing, rather than waiting or spinning for ever. Without a
// terminal, the end of the input is no request to quit (a desktop launcher
// gives none): MENU_INPUT_ENDED then lets the program choose.
int menu_choice(int choices) {
    const bool program_chooses = program_chooses_sound();
    for (int wrong = 0; wrong < MENU_WRONG_KEYS_MAX; wrong++) {
        const int k = getch();
        if (k == KEY_ESCAPE) kel_exit(0);
        if (k == GETCH_END && program_chooses) return MENU_INPUT_ENDED;
        if (k == GETCH_END || k == GETCH_FAILED) {
            std::printf("No more keys on standard input: quitting\n");
            kel_exit(0);
        }
        if (k >= '1' && k < '1' + choices) return k - '1';
    }
    std::printf("No choice among the last %d keys on standard input: quitting\n", MENU_WRONG_KEYS_MAX);
    kel_exit(0);
}

}  // namespace

const char* sound_output_name(int output) {
    switch (output) {
        case FSOUND_OUTPUT_NOSOUND: return "NoSound";
        case FSOUND_OUTPUT_WINMM: return "Windows Multimedia Waveout";
        case FSOUND_OUTPUT_DSOUND: return "Direct Sound";
        case FSOUND_OUTPUT_OSS: return "Open Sound System";
        case FSOUND_OUTPUT_ESD: return "Enlightment Sound Daemon";
        case FSOUND_OUTPUT_ALSA: return "Alsa";
        case FSOUND_OUTPUT_ASIO: return "ASIO";
        case FSOUND_OUTPUT_JACK: return "JACK";
        default: return "";
    }
}

bool program_chooses_sound() { return isatty(0) == 0; }

namespace {
const char* output_name(int output) { return sound_output_name(output); }

// True when output kind has a driver here (the driver list is left on it).
bool output_has_driver(int kind) { return kind >= 0 && FSOUND_SetOutput(kind) && FSOUND_GetNumDrivers() > 0; }

// Whether the program chose the output (the input ended before the output
// menu was answered), and the outputs it has still to try when one fails.
bool program_chose_output = false;
int outputs_tried = 0;

// The outputs the program tries in turn: the remembered one, the sound daemon,
// ALSA, then silence, which always plays.
int next_automatic_output() {
    const int order[] = {sound_choice.remembered_output, FSOUND_OUTPUT_ESD, FSOUND_OUTPUT_ALSA, FSOUND_OUTPUT_NOSOUND};
    while (outputs_tried < 4) {
        const int kind = order[outputs_tried++];
        if (output_has_driver(kind)) return kind;
    }
    return -1;
}

// The driver the program picks on output kind: the remembered one when it is
// the remembered output's and still exists, else the first.
int automatic_driver(int kind, int drivers) {
    if (kind == sound_choice.remembered_output && sound_choice.remembered_driver >= 1 &&
        sound_choice.remembered_driver <= drivers)
        return sound_choice.remembered_driver - 1;
    return 0;
}

void choose_output() {
    separator();
    std::printf("Output Type\n");
    separator();
    std::printf("1 - OSS - Open Sound System\n");
    std::printf("2 - ESD - Elightment Sound Daemon\n");
    std::printf("3 - ALSA 0.9 - Advanced Linux Sound Architecture\n");
    std::printf("4 - NoSound\n");
    separator();
    std::printf("Press a corresponding number or ESC to quit\n");
    std::fflush(stdout);
    static const int outputs[4] = {FSOUND_OUTPUT_OSS, FSOUND_OUTPUT_ESD, FSOUND_OUTPUT_ALSA,
                                   FSOUND_OUTPUT_NOSOUND};
    const int choice = menu_choice(4);
    if (choice != MENU_INPUT_ENDED) {
        FSOUND_SetOutput(outputs[choice]);
        return;
    }
    program_chose_output = true;
    next_automatic_output();
}

// Says on the console and on the status line where the sound goes when the
// program chose it.
void announce_choice(bool chosen_output) {
    announce_sound_output(chosen_output ? "No terminal to ask: sound output" : "No terminal to ask: sound driver");
}

// Why the output selected did not open, on the console.
void say_not_opened() {
    std::printf("%s did not open (%s)\n", sound_kind_plain_name(FSOUND_GetOutput()), sound_failure_text());
}

// Opens the outputs the program tries, from where their order stands, until
// one runs; that one is announced. False when none does.
bool open_next_automatic() {
    for (int kind = next_automatic_output(); kind >= 0; kind = next_automatic_output()) {
        FSOUND_SetDriver(automatic_driver(kind, FSOUND_GetNumDrivers()));
        if (FSOUND_Init(Frequency, 32, 0)) {
            announce_choice(true);
            return true;
        }
        say_not_opened();
    }
    return false;
}

}  // namespace

void announce_sound_output(const char* what) {
    const char* driver = FSOUND_GetDriverName(FSOUND_GetDriver());
    char text[320];
    std::snprintf(text, sizeof text, "%s %s", what, sound_output_description(FSOUND_GetOutput(), driver).c_str());
    std::printf("%s\n", text);
    std::fflush(stdout);
    status_message(text);
}

int init_sound_fallback() {
    FSOUND_Close();
    program_chose_output = true;
    outputs_tried = 0;
    return open_next_automatic() ? 1 : 0;
}

void set_sound_choice(const SOUND_CHOICE& choice) { sound_choice = choice; }

namespace {
// The driver the command line chose, from 1, checked against the list.
int chosen_driver(int drivers) {
    const int driver = sound_choice.driver > 0 ? sound_choice.driver : 1;
    if (driver <= drivers) return driver - 1;
    if (drivers == 0 && FSOUND_GetOutput() == FSOUND_OUTPUT_JACK)
        std::fprintf(stderr, "No JACK server is running: start jackd (or PipeWire's JACK) first, or choose "
                             "another --output (oss, daemon, alsa or none)\n");
    else if (drivers == 0)
        std::fprintf(stderr, "%s has no driver here: choose another --output (oss, daemon, alsa, jack or none)\n",
                     sound_kind_plain_name(FSOUND_GetOutput()));
    else
        std::fprintf(stderr, "No driver %d for %s: --driver takes 1 to %d\n", driver,
                     sound_kind_plain_name(FSOUND_GetOutput()), drivers);
    kel_exit(2);
}
}  // namespace

int init_sound() {
    if (FSOUND_GetVersion() < REQUIRED_SOUND_VERSION) {
        std::printf("Error : You are using the wrong DLL version!  You should be using FMOD %.02f\n",
                    static_cast<double>(REQUIRED_SOUND_VERSION));
        return 0;
    }
    if (sound_choice.output >= 0) FSOUND_SetOutput(sound_choice.output);
    else choose_output();

    separator();
    std::printf("%s Driver list\n", output_name(FSOUND_GetOutput()));
    separator();
    const int drivers = FSOUND_GetNumDrivers();
    for (int i = 0; i < drivers; i++) std::printf("%d - %s\n", i + 1, FSOUND_GetDriverName(i));
    separator();
    std::printf("Press a corresponding number or ESC to quit\n");
    std::fflush(stdout);

    int choice;
    bool program_chose_driver = program_chose_output;
    if (sound_choice.output >= 0 || sound_choice.driver > 0) {
        choice = chosen_driver(drivers);
    } else if (program_chose_output) {
        choice = automatic_driver(FSOUND_GetOutput(), drivers);
    } else {
        choice = menu_choice(drivers);
        if (choice == MENU_INPUT_ENDED && drivers == 0) {
            // The output piped in has no driver here: the program chooses another.
            program_chose_output = true;
            next_automatic_output();
        }
        if (choice == MENU_INPUT_ENDED) {
            choice = automatic_driver(FSOUND_GetOutput(), FSOUND_GetNumDrivers());
            program_chose_driver = true;
        }
    }
    FSOUND_SetDriver(choice);
    if (FSOUND_Init(Frequency, 32, 0)) {
        if (program_chose_driver) announce_choice(program_chose_output);
        return 1;
    }
    // An output the program chose that does not open gives way to the next one.
    if (program_chose_output) {
        say_not_opened();
        if (open_next_automatic()) return 1;
    }
    std::printf("Error!\n");
    std::printf("%s\n", FMOD_ErrorString(FSOUND_GetError()));
    return 0;
}

int init_Z_OZODIVE(int argc, char** argv) {
    remote_state_reset();

    std::printf("Generating Note Tabs\n");
    fill_NOTE2FREQ();

    if (argc > 1) {
        std::printf("Loading [%s]\n", argv[1]);
        gen = new GENERATOR(argv[1]);
    } else {
        static char default_patch[] = "KSY/ZZZ.ksy";
        gen = new GENERATOR(default_patch);
    }
    std::fflush(stdout);

    if (sound_choice.window) init_sound_GRFX();
    else init_sound();

    std::printf("\tInit SDL_Net for the remote control on port 9999\n");
    std::fflush(stdout);
    if (SDLNet_Init() < 0) {
        std::fprintf(stderr, "Couldn't initialize net: %s\n", SDL_GetError());
        kel_exit(1);
    }
    std::atexit(SDLNet_Quit);
    if (SDLNet_ResolveHost(&ip, nullptr, REMOTE_PORT) == -1) {
        std::fprintf(stderr, "SDLNet_ResolveHost: %s\n", SDL_GetError());
        kel_exit(1);
    }
    tcpsock = SDLNet_TCP_Open(&ip);
    if (tcpsock == nullptr) {
        std::fprintf(stderr, "SDLNet_TCP_Open: %s\n", SDL_GetError());
        kel_exit(2);
    }

    Stream_Create();
    return 1;
}

int MENU_SOUND_CONFIG_2() { return 1; }

void dessine_decor_du_fond(int) {}
