// Stepping through the files of one directory: the sampler's sounds and the
// sequencer's pattern files. A panel asks for the neighbour of the file its
// module holds; the order is the one of get_file_list (engine/display.h).
#pragma once

#include <string>

/// The bare file name of a path: the text after its last '/' or '\'. The
/// first character is never taken as a separator, so a path without one
/// (or whose only separator is its first character) is returned whole.
const char* recupere_nom_fichier_extreme_droite(const char* path);

/// The listed name after the one whose bare name equals current's (the first
/// such entry), in the files of directory with the extension. The last entry
/// is its own next: browsing stops at the end. Empty when current is not
/// listed. The name is bare: join the directory in front of it to open it.
std::string recupere_nom_fichier_suivant(const char* current, const char* directory, const char* extension);

/// The same towards the front of the listing; the first entry is its own
/// previous.
std::string recupere_nom_fichier_precedent(const char* current, const char* directory, const char* extension);
