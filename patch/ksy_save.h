// Saving a patch file. The objects section comes from the patch's own module
// lists; the links section from whoever can name the module behind each
// input's source (the patch's panels), through KSY_SOURCES. The file is
// written beside its target and renamed over it only once complete.
//
// A saved patch loads back to the same patch: every list in its order, every
// number as the same float, every link, every setting a panel can change.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

class GENERATOR;
class INPUT;
class INPUT_GATE;
class INPUT_SYNC;
class VCO;
class VCA;
class PCF;
class MIXER;
class SEQUENCER;
class KEYBOARD;
class SAMPLER;
class CONSTANTE;
class BASIC_OPERATION;
class VARIABLE;
class VALEUR;
class SOUND_OUTPUT;

/// Folder of the patch files, relative to the working directory.
constexpr const char* KSY_DIR = "KSY";
/// Folder where new pattern files are made, relative to the working directory.
constexpr const char* PATTERN_FILE_DIR = "PARTITIONS";
/// Longest name the save prompt takes, ".ksy" included.
constexpr std::size_t PATCH_NAME_MAX = 200;

/// Names the module whose output feeds an input: what a link line writes.
class KSY_SOURCES {
public:
    virtual ~KSY_SOURCES() = default;
    /// Name of the module whose value `in` reads; null when none is known.
    virtual const char* value_source(INPUT* in) = 0;
    /// Name of the module whose gate word `in` reads; null when none is known.
    virtual const char* gate_source(INPUT_GATE* in) = 0;
    /// Name of the module whose sync pulse `in` reads; null when none is known.
    virtual const char* sync_source(INPUT_SYNC* in) = 0;
};

// ---------------------------------------------------------------- objects section
// One line per module: "NAME;KEY=value;...;". Numbers are written so that
// reading them gives the same float. Settings older files never held are
// written only when they differ from a new module's (or, for the wished
// divider, from what loading the pattern file gives).

void write_desc_to_file(std::FILE* f, const VCO& m);
void write_desc_to_file(std::FILE* f, const VCA& m);
void write_desc_to_file(std::FILE* f, const PCF& m);
void write_desc_to_file(std::FILE* f, const MIXER& m);
/// Writes partition_file_name as it is: see GENERATOR::save_KSY for new pattern files.
void write_desc_to_file(std::FILE* f, const SEQUENCER& m);
void write_desc_to_file(std::FILE* f, const KEYBOARD& m);
void write_desc_to_file(std::FILE* f, const SAMPLER& m);
void write_desc_to_file(std::FILE* f, const CONSTANTE& m);
void write_desc_to_file(std::FILE* f, const BASIC_OPERATION& m);
void write_desc_to_file(std::FILE* f, const VARIABLE& m);
void write_desc_to_file(std::FILE* f, const VALEUR& m);
void write_desc_to_file(std::FILE* f, const SOUND_OUTPUT& m);
/// A sub-patch: its name and file (its own file is not rewritten).
void write_desc_to_file(std::FILE* f, const GENERATOR& m);

/// The text a number is written as: the shortest that reads back as exactly v
/// (whole numbers without decimals). out holds at least 48 characters.
const char* ksy_number(float v, char* out, std::size_t size);

// ---------------------------------------------------------------- links section
// One line per module with at least one linked input: "NAME;KEY=SOURCE;...;".
// An input whose source cannot be named is reported and left out; a mixer
// channel left unplugged is written as EMPTY_CHANELL so that the channels
// after it keep their places (and levels).

void write_links(std::FILE* f, VCO& m, KSY_SOURCES& sources);
void write_links(std::FILE* f, VCA& m, KSY_SOURCES& sources);
void write_links(std::FILE* f, PCF& m, KSY_SOURCES& sources);
void write_links(std::FILE* f, SAMPLER& m, KSY_SOURCES& sources);
void write_links(std::FILE* f, MIXER& m, KSY_SOURCES& sources);
void write_links(std::FILE* f, BASIC_OPERATION& m, KSY_SOURCES& sources);
void write_links(std::FILE* f, VARIABLE& m, KSY_SOURCES& sources);
void write_links(std::FILE* f, VALEUR& m, KSY_SOURCES& sources);
void write_links(std::FILE* f, SOUND_OUTPUT& m, KSY_SOURCES& sources);
void write_links(std::FILE* f, SEQUENCER& m, KSY_SOURCES& sources);

/// Writes the lines of the links section (between its markers).
using KSY_LINKS_WRITER = std::function<void(std::FILE*)>;

// ---------------------------------------------------------------- files

/// Writes patch g to path: the format marker, the objects section (new pattern
/// files first, see GENERATOR::save_KSY), the links section from `links`, the
/// closing line. Nothing is written when a module name or file name cannot be
/// stored in a patch file or a sample file cannot be read back. The text goes
/// to a hidden temporary file in path's folder, renamed over path once
/// complete: a failed save leaves any file at path as it was, and the pattern
/// files it made are removed again. 1 when saved (said unless quiet); 0 after a
/// message.
int save_ksy_file(const char* path, GENERATOR& g, const KSY_LINKS_WRITER& links, bool quiet = false);

/// Reads a patch name from `in`, bounded: the rest of an over-long line is
/// consumed. Leading and trailing blanks are dropped; end of input, Escape or an
/// empty name cancels; a name holding '/', "..", a blank, ';', '=' or a control
/// character, or starting with '.', is refused; ".ksy" is added when missing.
/// 1 with "KSY/<name>" in path; 0 after a message.
int read_patch_name(std::FILE* in, char* path, std::size_t size);

/// The rules of read_patch_name for a name already typed: blanks around it
/// dropped, refused names and empty ones said, ".ksy" added. 1 with
/// "KSY/<name>" in path; 0 after a message.
int patch_name_path(std::string name, char* path, std::size_t size);

/// Prints the patch files of KSY/ (names ending in .ksy, in order).
void list_patch_files();

/// The console save: lists KSY/, asks for a name on `in`, saves g there with
/// the links `links` writes. 1 when a file was written; 0 after a message.
int SAVE_KSY(GENERATOR& g, const KSY_LINKS_WRITER& links, std::FILE* in);
