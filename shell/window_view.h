// How the window shows the patch: zoom (Ctrl+wheel, Ctrl -/+/0), fitting the
// whole patch (F), scrolling with the wheel, following the window manager's
// resizes, how cables are drawn (C in the back view), and the help and status
// lines at the foot of the window, which the patch area ends above.
#pragma once

#include <SDL.h>

#include <vector>

class OBJET;

/// The zoom and fit keys and the cable look key; true when the key was one
/// of them. backs: the panels' backs are shown (C is a note key otherwise).
bool view_key(SDLKey key, SDLMod mod, bool backs, const std::vector<OBJET*>& shown);
/// The wheel: with Ctrl held it zooms around the pointer, else it scrolls
/// (Shift: sideways). True when the event was a wheel turn.
bool view_wheel(const SDL_Event& e);
/// Zoom and scroll that show every panel whole above the foot lines.
void fit_patch(const std::vector<OBJET*>& shown);
/// Follows a new window size. False when the display refused it.
bool follow_resize(int width, int height);
/// Keeps hanging cables above the bottom of the rack of these panels.
void set_rack(const std::vector<OBJET*>& shown);

/// The help line for the view shown, and the cable look in words.
const char* help_text(bool backs);
/// Lays out the foot of the window for this status ("" for none): sets the
/// rows the patch area leaves free (reserved_rows, engine/view.h).
void layout_foot(const char* help, const char* status);
/// Draws the foot: the help line (wrapped at its '|' to the window's
/// width) and above it the status line when there is news.
void draw_foot(const char* help, const char* status);
