// The windowed program: the GL window, the background, the panels and the
// frame loop that ties them to the sound.
#pragma once

#include <functional>
#include <string>

struct SETTINGS;

/// What the window shows.
struct WINDOW_SETUP {
    int width = 1024;                   ///< pixels
    int height = 768;
    const char* patch = "KSY/ZZZ.ksy";  ///< the patch's file, named in the title
    SETTINGS* settings = nullptr;       ///< the recent patches, kept as files are saved and opened
    std::string settings_file;          ///< where they are written ("" for nowhere)
};

/// Ends the program with status 1 and a one-line message naming --headless
/// when no window can be opened (no DISPLAY, or the X server refuses).
void require_display();

/// Opens the window and runs the frame loop, about 60 frames a second:
/// events, background and panels, then chores() (remote orders, console keys,
/// the recorder), then the swap. Returns when Escape or the close button is
/// pressed in the window or chores() returns false.
void run_window(const WINDOW_SETUP& setup, const std::function<bool()>& chores);
