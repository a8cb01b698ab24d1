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
//   z_ozodive --scope
//       the oscillator test scope: three sines drawn as traces in a window.
#include <cstdio>
#include <cstring>

#include "shell/app.h"
#include "shell/render.h"
#include "shell/scope.h"

int main(int argc, char** argv) {
    // Messages reach a pipe or a log as they happen, not when a buffer fills.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--render") == 0) return render_command(argc, argv);
        if (std::strcmp(argv[i], "--scope") == 0) return run_scope();
    }
    APP_OPTIONS options;
    if (const int status = parse_app_options(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: z_ozodive [--headless] [--record] [--size WxH] [--output oss|daemon|alsa|none|jack]\n"
                     "                 [--driver N] [--midi auto|alsa|jack|none] [--sound-window] [PATCH]\n"
                     "       z_ozodive --render OUT.wav --seconds S [PATCH]\n"
                     "       z_ozodive --scope\n");
        return status;
    }
    return run_synthesizer(options);
}
