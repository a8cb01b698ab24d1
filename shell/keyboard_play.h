// Playing the patch from the computer keyboard in the window: two rows of
// keys are a keyboard module's keys, tracker style.
#pragma once

#include <SDL.h>

#include <vector>

class OBJET;

/// Takes the key presses and releases that play notes. True when the event
/// was used and must not go to the panels.
bool keyboard_play_event(const SDL_Event& e, std::vector<OBJET*>& shown);
/// Forgets held keys and the chosen keyboard module: called before the
/// panels are rebuilt or deleted.
void keyboard_play_reset();
