#include "shell/app.h"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "shell/audio.h"
#include "shell/console.h"
#include "shell/globals.h"
#include "shell/recorder.h"
#include "shell/remote.h"
#include "shell/sound_device.h"
#include "shell/startup.h"
#include "shell/wav_save.h"
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

// Drains the keys typed since the last frame; true when ESC was among them.
bool escape_typed() {
    for (int k = console_poll_key(); k != GETCH_END; k = console_poll_key())
        if (k == KEY_ESCAPE) return true;
    return false;
}

void wait_for_quit(OUTPUT_RECORDER* recorder) {
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::microseconds(1000000 / MAIN_LOOP_HZ);
    auto next = clock::now();
    while (!console_quit_requested) {
        Exec_Remote_Order();
        if (escape_typed()) break;
        if (recorder != nullptr) recorder->drain();
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

bool parse_app_options(int argc, char** argv, APP_OPTIONS* options) {
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (std::strcmp(a, "--headless") == 0) {
            options->headless = true;
        } else if (std::strcmp(a, "--record") == 0) {
            options->record = true;
        } else if (a[0] == '-' && a[1] != '\0') {
            std::fprintf(stderr, "Unknown option [%s]\n", a);
            return false;
        } else if (options->patch != nullptr) {
            std::fprintf(stderr, "Only one patch can be played: [%s] and [%s]\n", options->patch, a);
            return false;
        } else {
            options->patch = a;
        }
    }
    return true;
}

int run_synthesizer(const APP_OPTIONS& options) {
    // A set-up failure that ends the program after the device was opened
    // still stops the stream: the sound layer does it when it is torn down.
    install_quit_signals();

    std::unique_ptr<OUTPUT_RECORDER> recorder;
    if (options.record) {
        recorder = std::make_unique<OUTPUT_RECORDER>();
        sound_set_monitor(OUTPUT_RECORDER::monitor, recorder.get());
    }

    char program[] = "z_ozodive";
    char* args[3] = {program, const_cast<char*>(options.patch), nullptr};
    init_Z_OZODIVE(options.patch != nullptr ? 2 : 1, args);

    // The patch plays from start-up.
    main_gen = gen;
    CALLBACK_READY = 1;
    // One pass with the buttons released gives them their first repeat step
    // (start-up leaves it at 0, where a held button would never move).
    Exec_Remote_Order();
    remote_server_start(tcpsock);
    std::printf("Playing. ESC quits.\n");
    std::fflush(stdout);

    wait_for_quit(recorder.get());

    std::printf("Quitting\n");
    CALLBACK_READY = 0;
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
