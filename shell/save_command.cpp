#include "shell/save_command.h"

#include <cstdio>

int save_from_window(GENERATOR_GUI*) {
    std::printf("Saving is not available yet\n");
    return 0;
}
