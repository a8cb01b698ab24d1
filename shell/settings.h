// What the program remembers from one run to the next, in a small text file:
// $XDG_CONFIG_HOME/z_ozodive/settings (default ~/.config/z_ozodive/settings),
// one "key=value" a line:
//   output=daemon        the sound output (oss, daemon, alsa, jack or none)
//   driver=1             its driver, from 1 as the driver menu numbers them
//   window=1024x768      the window's size at the last clean quit
//   last_patch=KSY/ZZZ.ksy
//   recent=KSY/a.ksy     one line per recent patch, the most recent first
// Blank lines and lines starting with '#' are skipped; an unknown key or a
// broken value is ignored with a message, never fatal. The file is replaced
// whole (a temporary file, flushed to disk, renamed over it), so a crash while
// writing leaves the old one.
#pragma once

#include <string>
#include <vector>

struct SETTINGS {
    int output = -1;  ///< FSOUND_OUTPUT_*, -1 when none is remembered
    int driver = -1;  ///< from 1; -1 when none
    int width = 0;    ///< window size; 0 when none
    int height = 0;
    std::string last_patch;
    std::vector<std::string> recent;  ///< most recent first, at most SETTINGS_RECENT_MAX
};

constexpr std::size_t SETTINGS_RECENT_MAX = 10;

/// The output kind named by word (oss, daemon, alsa, jack, none); -1 for another word.
int sound_output_from_word(const char* word);
/// The word for an output kind; "" for a kind without one.
const char* sound_output_word(int kind);

/// The settings file's path: $XDG_CONFIG_HOME/z_ozodive/settings, else
/// $HOME/.config/z_ozodive/settings; "" when neither variable is set.
std::string settings_path();

/// The settings in text; each line ignored is described in problems ("line 3: ...").
SETTINGS settings_parse(const std::string& text, std::vector<std::string>* problems);
/// The text of the file for these settings.
std::string settings_text(const SETTINGS& settings);

/// Reads the file at path into settings (left as they are when it does not
/// exist). Every problem is printed on stderr; false when the file exists but
/// cannot be read.
bool settings_load(const std::string& path, SETTINGS* settings);
/// Writes the file atomically, making its folder when needed. False with a
/// reason in why when it cannot be written (the old file is then untouched).
bool settings_save(const std::string& path, const SETTINGS& settings, std::string* why);

/// Puts patch first in the recent list (once) and makes it the last patch.
void settings_note_patch(SETTINGS* settings, const std::string& patch);
