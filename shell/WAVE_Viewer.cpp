// The program's entry.
//
//   z_ozodive [--headless] [--record] [--size WxH] [--output KIND] [--driver N] [--midi KIND]
//             [--sound-window] [PATCH]
//       plays PATCH (default KSY/ZZZ.ksy) live in a window (1024 x 768, or
//       --size): the console asks for the sound output and driver unless
//       --output and --driver name them, the remote control listens on port
//       9999, Escape quits. --headless plays without a window. --record also
//       writes what was played to record.wav at exit.
//   z_ozodive --render OUT.wav --seconds S [PATCH]
//       plays PATCH through the render callback into a WAV file, much faster
//       than real time, without a sound device.
//   z_ozodive --check PATCH...
//       reads the patches without playing and prints what looks wrong in them.
//   z_ozodive --scope
//       the oscillator test scope: three sines drawn as traces in a window.
//   z_ozodive --help | -h | --version
#include <cstdio>
#include <cstring>
#include <vector>

#include "patch/ksy_check.h"
#include "patch/ksy_reader.h"
#include "shell/app.h"
#include "shell/exit_status.h"
#include "shell/render.h"
#include "shell/scope.h"

namespace {
const char* const VERSION = "z_ozodive 0.1";

// Printed on stdout for --help, on stderr after a wrong command line. The
// manual page z_ozodive.1 says the same at length.
const char* const USAGE =
    "usage: z_ozodive [--headless] [--record] [--size WxH] [--output oss|daemon|alsa|none|jack]\n"
    "                 [--driver N] [--midi auto|alsa|jack|none] [--sound-window] [PATCH]\n"
    "       z_ozodive --render OUT.wav --seconds S [PATCH]\n"
    "       z_ozodive --check PATCH...\n"
    "       z_ozodive --scope\n"
    "       z_ozodive --help | -h | --version\n";

const char* const OPTIONS =
    "\n"
    "Plays PATCH (default KSY/ZZZ.ksy, from the data folder) live in a window.\n"
    "  --headless          play without a window, in the console; Escape quits\n"
    "  --record            also write what was played to record.wav at exit\n"
    "  --size WxH          window size, 320x240 to 6000x6000 (default 1024x768)\n"
    "  --output KIND       sound output: oss, daemon, alsa, jack or none (else asked)\n"
    "  --driver N          driver number from 1, as the driver menu lists them (else asked)\n"
    "  --midi KIND         MIDI input: auto, alsa, jack or none (default auto)\n"
    "  --sound-window      after the console questions, the small sound set-up window (OSS)\n"
    "  --render OUT.wav    play PATCH into a WAV file, faster than real time, no sound device\n"
    "  --seconds S         length of the --render output, in seconds\n"
    "  --check PATCH...    read the patches without playing; print each suspicious thing\n"
    "                      with its file and line\n"
    "  --scope             the oscillator test scope: three sines and their sum as traces\n"
    "  --help, -h          this text\n"
    "  --version           the program's version\n"
    "The remote control listens on TCP port 9999 while a patch plays.\n"
    "\n"
    "Exit status:\n"
    EXIT_STATUS_TABLE
    "See man z_ozodive.\n";
// "--check PATCH...": every other word is a patch to check.
int check_patches(int argc, char** argv) {
    std::vector<char*> patches;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--check") == 0) continue;
        if (argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "Unknown option [%s]\n", argv[i]);
            std::fputs(USAGE, stderr);
            return 1;
        }
        patches.push_back(argv[i]);
    }
    if (patches.empty()) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    return check_command(static_cast<int>(patches.size()), patches.data());
}
}  // namespace

int main(int argc, char** argv) {
    // Messages reach a pipe or a log as they happen, not when a buffer fills.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(USAGE, stdout);
            std::fputs(OPTIONS, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", VERSION);
            return 0;
        }
    }
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--check") == 0) return check_patches(argc, argv);
        if (std::strcmp(argv[i], "--render") == 0) return render_command(argc, argv);
        if (std::strcmp(argv[i], "--scope") == 0) return run_scope();
    }
    APP_OPTIONS options;
    if (const int status = parse_app_options(argc, argv, &options)) {
        std::fputs(USAGE, stderr);
        return status;
    }
    // Without a window there is nothing to play a missing patch in. (The window
    // starts with an empty patch instead.)
    if (options.headless && options.patch != nullptr && !open_ksy(options.patch)) {
        std::printf("Cannot open the patch [%s]\n", options.patch);
        return 1;
    }
    return run_synthesizer(options);
}
