#include "shell/app.h"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "engine/dialog.h"
#include "engine/display.h"
#include "shell/audio.h"
#include "shell/console.h"
#include "shell/globals.h"
#include "shell/midi_input.h"
#include "shell/recorder.h"
#include "shell/remote.h"
#include "shell/settings.h"
#include "shell/sound_device.h"
#include "shell/startup.h"
#include "shell/wav_save.h"
#include "shell/window.h"
#include "synth/generator.h"

namespace {

void request_quit(int) { console_quit_requested = 1; }

void install_quit_signals() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = request_quit;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: a wait on a key or a socket ends at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// Reads the keys typed since the last frame, up to a frame's worth (the rest
// wait for the next frames); true when ESC was among them. While the window
// shows a dialog, the keys answer it (a name typed on the console, as the
// console prompts always took it).
bool escape_typed() {
    static bool end_told = false;
    for (int n = 0; n < CONSOLE_KEYS_PER_FRAME; n++) {
        const int k = console_poll_key();
        if (k == GETCH_END) {
            // An input that ends while a name is asked for cancels it, once.
            if (console_input_ended() && !end_told) {
                end_told = true;
                dialog_console_ended();
            }
            return false;
        }
        if (dialog_console_byte(k)) continue;
        if (k == KEY_ESCAPE) return true;
    }
    return false;
}

// What every frame does besides drawing: remote orders, console keys, the
// recorder. False when the user asked to quit.
bool frame_chores(OUTPUT_RECORDER* recorder) {
    if (console_quit_requested) return false;
    Exec_Remote_Order();
    if (escape_typed()) return false;
    if (recorder != nullptr) recorder->drain();
    return true;
}

void wait_for_quit(OUTPUT_RECORDER* recorder) {
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::microseconds(1000000 / MAIN_LOOP_HZ);
    auto next = clock::now();
    while (frame_chores(recorder)) {
        next += period;
        const auto now = clock::now();
        if (next < now) next = now;  // after a stall, go on from now rather than race
        std::this_thread::sleep_until(next);
    }
}

void save_recording(OUTPUT_RECORDER* recorder) {
    auto sound = recorder->take();
    SaveToWav(sound.get());
    std::printf("Recorded %d frames (%.1f s) into %s\n", sound->length, sound->length / 44100.0,
                RECORD_FILE);
    if (recorder->lost_frames() > 0)
        std::printf("Recording: %ld frames could not be kept\n", recorder->lost_frames());
}

}  // namespace

namespace {
// "oss", "daemon", "alsa" or "none" as the output menu's kinds, and "jack"
// (which no menu offers); -1 otherwise.
int output_kind(const char* name) { return sound_output_from_word(name); }

// Writes the settings, saying so when they cannot be kept (never fatal).
void keep_settings(const std::string& path, const SETTINGS& settings) {
    if (path.empty()) return;  // neither XDG_CONFIG_HOME nor HOME: nowhere to keep them
    std::string why;
    if (!settings_save(path, settings, &why)) std::fprintf(stderr, "Settings not kept: %s\n", why.c_str());
}

// A whole positive number up to limit; -1 otherwise.
int whole_number(const char* text, int limit) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 1 || v > limit) return -1;
    return (int)v;
}
}  // namespace

int parse_app_options(int argc, char** argv, APP_OPTIONS* options) {
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        const bool takes_value = std::strcmp(a, "--size") == 0 || std::strcmp(a, "--output") == 0 ||
                                 std::strcmp(a, "--driver") == 0 || std::strcmp(a, "--midi") == 0;
        if (takes_value && value == nullptr) {
            std::fprintf(stderr, "%s needs a value\n", a);
            return 2;
        }
        if (std::strcmp(a, "--headless") == 0) {
            options->headless = true;
        } else if (std::strcmp(a, "--record") == 0) {
            options->record = true;
        } else if (std::strcmp(a, "--sound-window") == 0) {
            options->sound.window = true;
        } else if (std::strcmp(a, "--size") == 0) {
            int w = 0, h = 0;
            char rest = 0;
            if (std::sscanf(value, "%dx%d%c", &w, &h, &rest) != 2 || w < 320 || h < 240 || w > 6000 || h > 6000) {
                std::fprintf(stderr, "--size takes WIDTHxHEIGHT, from 320x240 to 6000x6000 (e.g. 1280x960), not [%s]\n",
                             value);
                return 2;
            }
            options->width = w;
            options->height = h;
            options->size_given = true;
            i++;
        } else if (std::strcmp(a, "--output") == 0) {
            options->sound.output = output_kind(value);
            if (options->sound.output < 0) {
                std::fprintf(stderr, "--output takes oss, daemon, alsa, jack or none, not [%s]\n", value);
                return 2;
            }
            i++;
        } else if (std::strcmp(a, "--driver") == 0) {
            options->sound.driver = whole_number(value, 99);
            if (options->sound.driver < 0) {
                std::fprintf(stderr, "--driver takes a driver number from 1, as the driver menu lists them, not [%s]\n",
                             value);
                return 2;
            }
            i++;
        } else if (std::strcmp(a, "--midi") == 0) {
            if (!midi_system_from_name(value, &options->midi)) {
                std::fprintf(stderr, "--midi takes auto, alsa, jack or none, not [%s]\n", value);
                return 2;
            }
            i++;
        } else if (a[0] == '-' && a[1] != '\0') {
            std::fprintf(stderr, "Unknown option [%s]\n", a);
            return 1;
        } else if (options->patch != nullptr) {
            std::fprintf(stderr, "Only one patch can be played: [%s] and [%s]\n", options->patch, a);
            return 1;
        } else {
            options->patch = a;
        }
    }
    return 0;
}

int run_synthesizer(const APP_OPTIONS& given) {
    // What the last run remembered: the output for a start without a
    // terminal, the window's size when --size does not name one.
    const std::string settings_file = settings_path();
    SETTINGS settings;
    if (!settings_file.empty()) settings_load(settings_file, &settings);
    APP_OPTIONS options = given;
    options.sound.remembered_output = settings.output;
    options.sound.remembered_driver = settings.driver;
    if (!options.size_given && settings.width > 0) {
        options.width = settings.width;
        options.height = settings.height;
    }

    // A set-up failure that ends the program after the device was opened
    // still stops the stream: the sound layer does it when it is torn down.
    install_quit_signals();

    std::unique_ptr<OUTPUT_RECORDER> recorder;
    if (options.record) {
        recorder = std::make_unique<OUTPUT_RECORDER>();
        sound_set_monitor(OUTPUT_RECORDER::monitor, recorder.get());
    }

    // Without a display the window cannot open: say so before any question is asked.
    if (!options.headless) require_display();
    set_sound_choice(options.sound);
    char program[] = "z_ozodive";
    char* args[3] = {program, const_cast<char*>(options.patch), nullptr};
    init_Z_OZODIVE(options.patch != nullptr ? 2 : 1, args);
    // The output and driver chosen, however they were, are the next run's.
    settings.output = FSOUND_GetOutput();
    settings.driver = FSOUND_GetDriver() + 1;
    settings_note_patch(&settings, options.patch != nullptr ? options.patch : "KSY/ZZZ.ksy");
    keep_settings(settings_file, settings);

    // The patch plays from start-up.
    main_gen.store(gen, std::memory_order_release);
    CALLBACK_READY.store(1, std::memory_order_release);
    // One pass with the buttons released gives them their first repeat step
    // (start-up leaves it at 0, where a held button would never move).
    Exec_Remote_Order();
    remote_server_start(tcpsock);
    midi_input_start(options.midi, FSOUND_GetOutput() == FSOUND_OUTPUT_JACK);
    if (options.headless) {
        std::printf("Playing. ESC quits.\n");
        std::fflush(stdout);
        wait_for_quit(recorder.get());
    } else {
        WINDOW_SETUP window;
        window.width = options.width;
        window.height = options.height;
        window.patch = options.patch != nullptr ? options.patch : "KSY/ZZZ.ksy";
        window.settings = &settings;
        window.settings_file = settings_file;
        run_window(window, [&] { return frame_chores(recorder.get()); });
        settings.width = window_width();
        settings.height = window_height();
    }
    keep_settings(settings_file, settings);

    std::printf("Quitting\n");
    midi_input_stop();
    CALLBACK_READY.store(0, std::memory_order_release);
    FSOUND_Stream_Close(main_stream);
    main_stream = nullptr;
    FSOUND_Close();
    sound_set_monitor(nullptr, nullptr);
    remote_server_stop();
    SDLNet_TCP_Close(tcpsock);
    tcpsock = nullptr;
    tcatexit();
    if (recorder) save_recording(recorder.get());
    main_gen = nullptr;
    delete gen;
    gen = nullptr;
    std::fflush(stdout);
    return 0;
}
