#include "shell/keyboard_play.h"

bool keyboard_play_event(const SDL_Event&, std::vector<OBJET*>&) { return false; }
void keyboard_play_reset() {}
