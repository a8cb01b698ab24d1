// The sound output panel, drawn over the window (F2): every output kind the
// console menus offer, and JACK, with their drivers. Choosing a driver moves
// the playing stream there at once (the patch plays on); a device that does
// not open is named with the reason on the status line and the console, and
// the sound goes back where it played. The output chosen is remembered in the
// settings file.
//   Up, Down, Page Up, Page Down   move among the drivers
//   1 to 5                         the first driver of OSS, the sound daemon, ALSA, NoSound, JACK
//                                  (the console menu's numbers, JACK after them)
//   Enter, a click on a driver     play through it
//   Escape, F2, a click outside    close the panel
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

struct SETTINGS;

/// The settings the output chosen is kept in (may be null: not kept), written
/// to settings_file ("" for nowhere); the window's other parts keep theirs in
/// the same object, so that no writer undoes another's.
void sound_panel_start(SETTINGS* settings, const std::string& settings_file);
/// F2 opens the panel; while it is open it takes every key and click (key
/// releases go on, but the Escape that closed it). True when the event was used.
/// Called before the window's other handlers.
bool sound_panel_event(const SDL_Event& e);
/// Draws the panel over everything, when open (window size in pixels).
void draw_sound_panel(int width, int height);
/// What the panel shows now, summed: the frame is drawn again when it
/// changes (0 while it is closed).
std::uint64_t sound_panel_look();
