#include "shell/patching.h"

bool patching_event(const SDL_Event&, std::vector<OBJET*>&, GENERATOR_GUI*) { return false; }
void draw_patching(std::vector<OBJET*>&, GENERATOR_GUI*) {}
void patching_undo(GENERATOR_GUI*) {}
void patching_reset() {}
const char* patching_status() { return ""; }
