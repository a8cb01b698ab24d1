#include "shell/sound_window.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/blitter.h"
#include "engine/globals.h"
#include "engine/objet.h"
#include "shell/globals.h"
#include "shell/sound_device.h"
#include "shell/startup.h"

OBJET* decor_config = nullptr;

namespace {
void separator() { std::printf("---------------------------------------------------------\n"); }

// Output names as this window prints them: the menu's, with ALSA in capitals
// and nothing for ASIO.
const char* window_output_name(int output) {
    if (output == FSOUND_OUTPUT_ALSA) return "ALSA";
    if (output == FSOUND_OUTPUT_ASIO) return "";
    return sound_output_name(output);
}

void clear_to_magenta() {
    if (screen == nullptr) return;
    ClearScreen(screen, 255, 0, 255);
    SDL_Flip(screen);
}
}  // namespace

int init_sound_GRFX() {
    init_sound();
    const int console_output = FSOUND_GetOutput(), console_driver = FSOUND_GetDriver();
    decor_config = new OBJET(0, 0, "1");
    decor_config->load_RC("FOND_GLOBAL.RC");
    if (FSOUND_GetVersion() < REQUIRED_SOUND_VERSION) {
        clear_to_magenta();
        return 0;
    }
    // Only on an X display: without one SDL would settle for a text-mode
    // driver and draw the set-up window into the terminal, over the console.
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && display[0] != '\0' && SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)
        screen = SDL_SetVideoMode(358, 261, 0, SDL_HWSURFACE | SDL_NOFRAME | SDL_ANYFORMAT | SDL_DOUBLEBUF);
    clear_to_magenta();
    // The console dialogue left a device open: a second one cannot start on top.
    FSOUND_Close();
    FSOUND_SetOutput(FSOUND_OUTPUT_OSS);
    std::printf("OSS\n");
    FSOUND_SetDriver(1);
    if (!FSOUND_Init(Frequency, 32, 0)) {
        std::printf("Error!\n");
        std::printf("%s\n", FMOD_ErrorString(FSOUND_GetError()));
        const std::string why = sound_failure_text();
        // Play on with what the console chose.
        FSOUND_SetOutput(console_output);
        FSOUND_SetDriver(console_driver);
        const bool back = FSOUND_Init(Frequency, 32, 0) == 1;
        // With no one to ask, the window says where the sound goes, and the
        // program chooses again when even the console's device does not open.
        if (program_chooses_sound() && back)
            announce_sound_output(("No terminal to ask: OSS did not open (" + why + "); sound output").c_str());
        else if (program_chooses_sound())
            init_sound_fallback();
        return 0;
    }
    if (program_chooses_sound()) announce_sound_output("No terminal to ask: sound output");
    separator();
    std::printf("%s Recording device driver list\n", window_output_name(FSOUND_GetOutput()));
    separator();
    return 1;
}
