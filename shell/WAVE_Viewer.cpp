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
#include <filesystem>
#include <string>
#include <vector>

#include "patch/ksy_check.h"
#include "patch/ksy_reader.h"
#include "shell/app.h"
#include "shell/data_folder.h"
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
    "Plays PATCH (default KSY/ZZZ.ksy, from the data folder) live in a window; a PATCH\n"
    "that does not exist opens there as an empty patch (--headless and --render end\n"
    "with status 1). In the window Ctrl+S saves, Ctrl+O opens, Ctrl+N starts anew.\n"
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
    "  --data DIR          work in the data folder DIR (else the current folder when it is\n"
    "                      one, else ~/.local/share/z_ozodive, made from the installed data)\n"
    "  --help, -h          this text\n"
    "  --version           the program's version\n"
    "The remote control listens on TCP port 9999 while a patch plays.\n"
    "\n"
    "Exit status:\n"
    EXIT_STATUS_TABLE
    "See man z_ozodive.\n";
bool takes_value(const char* option) {
    for (const char* o : {"--size", "--output", "--driver", "--midi", "--render", "--seconds", "--data"})
        if (std::strcmp(option, o) == 0) return true;
    return false;
}

// Takes --data DIR out of the arguments. When the program is about to leave
// the folder it was started in for its data folder, files named on the
// command line that exist from there (and --render's output) are made
// absolute; the others are read from the data folder, as the manual says.
bool take_data_option(int argc, char** argv, std::vector<std::string>* kept, const char** named) {
    namespace fs = std::filesystem;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--data") != 0) continue;
        if (i + 1 >= argc) {
            std::fprintf(stderr, "--data needs a folder\n");
            return false;
        }
        *named = argv[i + 1];
    }
    const bool moving = *named != nullptr || !is_data_folder(".");
    auto from_here = [&](const char* a, bool always) {
        std::error_code ec;
        const bool absolute = moving && (always || fs::is_regular_file(a, ec));
        return absolute ? fs::absolute(a, ec).string() : std::string(a);
    };
    kept->push_back(argv[0]);
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (std::strcmp(a, "--data") == 0) {
            i++;
            continue;
        }
        const bool value_follows = takes_value(a) && i + 1 < argc;
        kept->push_back(value_follows || a[0] == '-' ? std::string(a) : from_here(a, false));
        if (!value_follows) continue;
        const char* value = argv[++i];
        kept->push_back(std::strcmp(a, "--render") == 0 ? from_here(value, true) : std::string(value));
    }
    return true;
}

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
    std::vector<std::string> kept;
    const char* named = nullptr;
    if (!take_data_option(argc, argv, &kept, &named)) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    bool checking = false;
    for (const std::string& a : kept) checking = checking || a == "--check";
    DATA_FOLDER folder;
    // Checking patches needs no data folder: without one, the patches are read from here.
    if (!enter_data_folder(named, &folder) && !checking) return 1;
    std::vector<char*> args;
    for (std::string& a : kept) args.push_back(&a[0]);
    args.push_back(nullptr);
    argc = static_cast<int>(kept.size());
    argv = args.data();
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
