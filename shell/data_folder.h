// The folder the program works in. Every file it reads or writes at run time
// (patches, pattern files, sounds, panel files, pictures, the font list, the
// recording) is named relative to it, so the program enters it at start-up.
#pragma once

#include <string>

/// Where the program's files are, as chosen at start-up.
struct DATA_FOLDER {
    std::string work;     ///< the folder entered (absolute)
    std::string shipped;  ///< the installed share folder the interface files come from ("" in a checkout)
};

/// Chooses the working folder and enters it:
/// - `named` (--data DIR), when given;
/// - else the current folder, when it is a data folder (a checkout's data/, as
///   scripts/run.sh starts the program);
/// - else the user's folder $XDG_DATA_HOME/z_ozodive (default
///   ~/.local/share/z_ozodive), made on first use: KSY/, PARTITIONS/ and
///   Sounds/ copied from the installed share folder (prefix/share/z_ozodive,
///   beside the program's bin/), never over a file of the user's, and the
///   interface files (panel files, pictures, font list) linked to it;
/// - else (a program that is not installed) the current folder, as it is.
/// False, after a message on stderr, when no folder can be used.
bool enter_data_folder(const char* named, DATA_FOLDER* chosen);

/// True when dir holds the program's interface files (RC/ and Kel_Engine/GUI.KIM).
bool is_data_folder(const std::string& dir);
