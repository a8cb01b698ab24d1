// The program's entry.
//
//   z_ozodive --render OUT.wav --seconds S [PATCH]
//       plays PATCH (default KSY/ZZZ.ksy) through the render callback into a
//       WAV file, much faster than real time, without a sound device.
//
// The live program (sound device, remote control, panels) is not built yet.
#include <cstdio>
#include <cstring>

#include "shell/render.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; i++)
        if (std::strcmp(argv[i], "--render") == 0) return render_command(argc, argv);
    std::printf("z_ozodive: the live sound output is not built yet.\n"
                "Render a patch to a file instead:\n"
                "  z_ozodive --render OUT.wav --seconds S [PATCH]\n");
    return 0;
}
