// The patch's files from the window: Ctrl+S saves (the name typed in the
// window, or as always on the console), Ctrl+Shift+S saves under a new name,
// Ctrl+O opens a patch of KSY/, Ctrl+N starts an empty one, and quitting,
// opening or starting anew with unsaved edits asks first: Save, Discard or
// Cancel. While edits are unsaved they are written every AUTOSAVE seconds to
// a hidden file beside the patches (KSY/.autosave-NAME.ksy), which the next
// start offers to restore; a clean quit removes it.
#pragma once

#include <SDL.h>

#include <string>

class GENERATOR_GUI;
struct SETTINGS;

/// Seconds between autosaves while edits are unsaved (the environment's
/// Z_OZODIVE_AUTOSAVE_SECONDS, 1..3600, when set).
int autosave_seconds();

/// The autosave file of a patch file ("" for a new patch).
std::string autosave_path(const std::string& patch);

/// The window opens on patch (its own file; missing when the command line
/// named a file that is not there). Offers a newer autosave to restore.
/// settings (may be null) keep the recent patches, written to settings_file.
void files_start(const std::string& patch, SETTINGS* settings, const std::string& settings_file);

/// The patch's own file ("" for a new patch).
const std::string& files_patch();

/// The window's file keys (Ctrl+S, Ctrl+Shift+S, Ctrl+O, Ctrl+N, Ctrl+Q); true when used.
bool files_key(SDLKey key, SDLMod mod, GENERATOR_GUI* patch_panel);

/// Escape, the close button or Ctrl+Q: quits, or asks first when edits are unsaved.
void files_quit_request(GENERATOR_GUI* patch_panel);
/// The player chose to quit.
bool files_quit_wanted();

/// A patch to load in place of the one playing, asked for by a dialog.
struct FILE_LOAD {
    enum KIND { NONE, FILE, EMPTY, RESTORE } kind = NONE;
    std::string path;
};
/// Taken (and cleared) by the frame loop between frames.
FILE_LOAD files_take_load();
/// What came of it: the patch's own file follows an open, a restore marks
/// the patch unsaved.
void files_loaded(const FILE_LOAD& load, bool ok);

/// Once a frame: the autosave when it is due.
void files_frame(GENERATOR_GUI* patch_panel);

/// The window closes. A quit the player chose removes the autosave; any
/// other end (a signal, Escape on the console) writes unsaved edits to it
/// and keeps it for the next start.
void files_end(GENERATOR_GUI* patch_panel, bool chosen);
