// Patching by hand in the back view: cables drawn for every link, made by
// dragging from an output socket to an input socket, removed by unplugging
// or a right click; every change goes into the patch's undo history.
#pragma once

#include <SDL.h>

#include <vector>

class OBJET;
class GENERATOR_GUI;

/// Takes the events that belong to patching (presses and drags on sockets
/// while the backs are shown). True when the event was used and must not go
/// to the panels.
bool patching_event(const SDL_Event& e, std::vector<OBJET*>& shown, GENERATOR_GUI* patch_panel);
/// Draws the cables of every link (and the one being dragged) over the panels.
void draw_patching(std::vector<OBJET*>& shown, GENERATOR_GUI* patch_panel);
/// Puts a cable in hand back where it was (Ctrl+Z during a drag); false when none is in hand.
bool patching_cancel_drag(GENERATOR_GUI* patch_panel);
/// The ports changed elsewhere (undo, a module removed): cables are drawn again from them.
void patching_cables_changed();
/// Shows a message in the status line (and on the console).
void patching_say(const char* text);
/// Forgets every cable and drag: called before the panels are rebuilt or deleted.
void patching_reset();
/// The last patching message for the status line ("" for none).
const char* patching_status();
