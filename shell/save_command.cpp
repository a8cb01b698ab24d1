#include "shell/save_command.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "panels/generator_gui.h"
#include "patch/ksy_save.h"
#include "synth/generator.h"

namespace {

/// Puts a terminal on standard input back in line mode (typing and erasing
/// a name as usual) for the prompt, and as it was afterwards. Standard input
/// that is not a terminal is left alone.
class LINE_MODE {
public:
    LINE_MODE() {
        if (!isatty(0) || tcgetattr(0, &before) != 0) return;
        termios line = before;
        line.c_lflag |= ICANON | ECHO;
        saved = tcsetattr(0, TCSANOW, &line) == 0;
    }
    ~LINE_MODE() {
        if (saved) tcsetattr(0, TCSANOW, &before);
    }
    LINE_MODE(const LINE_MODE&) = delete;
    LINE_MODE& operator=(const LINE_MODE&) = delete;

private:
    termios before{};
    bool saved = false;
};

}  // namespace

int save_from_window(GENERATOR_GUI* patch_panel) {
    if (patch_panel == nullptr || patch_panel->module == nullptr) {
        std::printf("No patch to save\n");
        return 0;
    }
    // The window waits for the name; the sound plays on.
    const LINE_MODE line_mode;
    const int saved = SAVE_KSY(*patch_panel->module, [patch_panel](std::FILE* f) { patch_panel->write_links_section(f); },
                               stdin);
    std::fflush(stdout);
    return saved;
}
