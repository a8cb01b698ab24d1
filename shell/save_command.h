// Saving the patch on screen from the window (Ctrl+S): the name is asked on
// the console, the file written through the patch saver.
#pragma once

class GENERATOR_GUI;

/// Saves the patch whose panel is given (its objets hold the module panels).
/// Every failure is reported; the program goes on. Returns 1 when a file was written.
int save_from_window(GENERATOR_GUI* patch_panel);
