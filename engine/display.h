// Opening the display: the OpenGL window of the interface, the small software
// window with the splash picture, the projections every drawing relies on, and
// the file listing of the browsers.
#pragma once

#include <vector>

/// Opens the small frameless software window (always 320 x 240) with the
/// splash picture "Kel_Engine/SnapShot.jpg", creates the two 2048 x 2048
/// drawing surfaces, sets the caption and loads the image library from kim.
/// The size arguments are not used. Returns 1; failures end the process.
int KEL_ENGINE_Init(int width, int height, const char* caption, const char* kim);
/// Opens a width x height OpenGL window (resizable), sets the GL state the drawing code
/// expects and creates the image library, loading kim unless it is null.
/// Returns 1; a failing video set-up ends the process with status 1.
int initGL(int width, int height, const char* unused, const char* kim);
/// Follows a new window size (the window manager's resize): the video mode
/// set again at that size, window_width() and window_height() and the
/// viewport updated. False, with nothing changed, when SDL refuses.
bool resize_display(int width, int height);
/// Viewport of the whole window and a 45-degree perspective; mode 1 then
/// selects an identity model-view, any other mode leaves an identity projection
/// selected. A height of 0 counts as 1. Returns 1.
int resizeWindow(int width, int height, int mode);
/// Saves the projection and sets a pixel projection (y downwards when
/// top < bottom), with an identity model-view selected.
void OrthoMode(int left, int top, int right, int bottom);
/// Restores the projection saved by OrthoMode.
void PerspectiveMode();
/// The regular files of directory whose names end in "." and the extension,
/// upper-case extension first, each group sorted, then the whole list
/// reversed. Empty when the directory cannot be read. The caller owns the
/// vector and its strings (delete[] each, then delete the vector).
std::vector<char*>* get_file_list(const char* directory, const char* extension);
/// Size of the window initGL opened, pixels; 1024 x 768 until then. The
/// drawing rules written for a 1024 x 768 window follow it.
int window_width();
int window_height();
/// Labels give their y in window rows from the top; the text projection counts
/// rows from the bottom: row y is drawn at text_baseline_row() - y (747 in a
/// 768-pixel window).
int text_baseline_row();

/// Frees a list made by get_file_list.
void free_file_list(std::vector<char*>* list);
