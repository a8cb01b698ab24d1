// Building the patch in the window: the module browser (A, Insert, or a
// right click on empty rack space), Delete or Backspace on a panel to remove
// its module, Ctrl+D to duplicate it, a double click on its title to rename
// it, and Ctrl+Z / Ctrl+Shift+Z / Ctrl+Y over the patch's one undo history
// (cables, modules, names and the settings a knob drag or a click changes).
#pragma once

#include <cstdint>

#include <SDL.h>

#include <vector>

class OBJET;
class GENERATOR_GUI;

/// Takes the events that belong to building the patch (every key while the
/// browser or the name field is open). True when the event was used.
/// Called before the other handlers of the window.
bool rack_event(const SDL_Event& e, std::vector<OBJET*>& shown, GENERATOR_GUI* patch_panel);
/// Called once the panels have read this frame's messages: a knob drag or
/// click that changed a module's settings becomes one step of the history.
void rack_after_frame(GENERATOR_GUI* patch_panel);
/// True (once) when the panels must be built again (a module came or went,
/// an undo or redo). The window rebuilds them and then calls rack_rebuilt.
bool rack_rebuild_wanted();
/// After the panels were built again: the view scrolls to a new module's panel.
void rack_rebuilt(GENERATOR_GUI* patch_panel, int width, int height);
/// Draws the browser or the name field over the panels, when open.
void draw_rack_edit(int width, int height);
/// What the browser and the name field show now, summed: the frame is drawn
/// again when it changes (0 while neither is open).
std::uint64_t rack_edit_look();
/// The window's title: "z_ozodive - NAME.ksy", with " *" while the patch
/// differs from its file.
void rack_title(const char* patch_path, char* out, int size);
/// A patch was loaded in place of the one edited: the history is forgotten.
void rack_forget();
/// The patch was saved as it is now.
void rack_saved();
