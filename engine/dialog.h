// The window's dialogs, drawn by the engine over the panels in the
// instrument's look: a text field (a name to type), a file list (a file to
// choose from a folder and its subfolders) and a question with buttons. One
// is open at a time; while it is open it takes every key and click, and the
// sound plays on. Its answer is handed to a function given when it opened,
// once the dialog has closed (that function may open the next dialog).
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// ---------------------------------------------------------------- the parts, without drawing

/// What a text field holds and how keys change it. The text it opens with
/// is selected: the first character typed replaces it, Backspace clears it.
struct TEXT_FIELD {
    std::string text;
    std::size_t max = 79;    ///< characters
    bool selected = false;   ///< the whole text is selected
    /// A character typed (printable ASCII; others are ignored). False when refused (full).
    bool type(unsigned c);
    /// Backspace: the selection, else the last character.
    void erase();
};

/// One row of a file list.
struct FILE_ROW {
    std::string name;  ///< a file's or a folder's name; ".." for the folder above
    bool folder = false;
};

/// The rows of folder root/sub: the folder above ("..", when sub is not
/// empty), the subfolders, then the files ending in extension: first those
/// named in `first` (paths as root/sub/name, in that order), then the others
/// by name. Hidden entries (starting with '.') are left out. Rows whose name
/// does not hold filter (any case) are left out, except "..".
std::vector<FILE_ROW> folder_rows(const std::string& root, const std::string& sub, const std::string& extension,
                                  const std::vector<std::string>& first, const std::string& filter);

// ---------------------------------------------------------------- opening

/// A name to type. done(true, text) on Enter; done(false, "") on Escape or
/// when another dialog takes its place.
using TEXT_DONE = std::function<void(bool ok, const std::string& text)>;
void dialog_text(const std::string& title, const std::string& initial, std::size_t max, TEXT_DONE done);

/// A file to choose in root (browsable below it, never above), files ending
/// in extension, those in `first` listed first. Typing filters, Enter or a
/// click opens a folder or chooses a file. done(true, "root/sub/name"), or
/// done(false, "") when cancelled.
void dialog_files(const std::string& title, const std::string& root, const std::string& extension,
                  const std::vector<std::string>& first, TEXT_DONE done);

/// A question. done(i) with the button chosen (a click, its first letter,
/// Left/Right then Enter), or done(cancel) on Escape.
using CHOICE_DONE = std::function<void(int button)>;
void dialog_question(const std::string& message, const std::vector<std::string>& buttons, int cancel,
                     CHOICE_DONE done);

// ---------------------------------------------------------------- the frame loop

/// A dialog is open.
bool dialog_shown();
/// Takes the window's events while a dialog is open (true: used), and the
/// release of an Escape that closed one.
bool dialog_event(const SDL_Event& e);
/// A key as typed (a character, '\n' for Enter, 27 for Escape, 8 or 127 to
/// erase), as the window's keys are; true when a dialog took it.
bool dialog_key(unsigned c);
/// The open text field or file list may also be answered with a line typed
/// on the console, as the console prompts always were: answer gets the line
/// as a stream (with its '\n'; empty when the console input ended while the
/// dialog was open), reads it with the console's own rules, and the dialog
/// closes without calling its done.
using CONSOLE_ANSWER = std::function<void(std::FILE* line)>;
void dialog_console_answer(CONSOLE_ANSWER answer);
/// A byte typed on the console while a dialog is open: a line for the
/// console answer, else the key for the dialog. True when a dialog took it.
bool dialog_console_byte(int c);
/// The console input ended: a console answer being typed gets what it has.
void dialog_console_ended();
/// Closes the open dialog as cancelled.
void dialog_cancel();
/// Draws the open dialog over everything (pixel projection, unscrolled).
void draw_dialog();
/// What the dialog shows now, summed: the frame is drawn again when it
/// changes (0 while none is open).
std::uint64_t dialog_look();

// ---------------------------------------------------------------- drawing helpers

/// A filled box, top at window row top (rows counted from the top); colour 0xAARRGGBB.
void window_box(int x, int top, int w, int h, unsigned colour);
/// Text of the engine's first font at pixel size, its top at row top.
void window_text(int size, int x, int top, const char* text);
