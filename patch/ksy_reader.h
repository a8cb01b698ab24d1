// What the two sections of a patch file share: opening the file, reading it
// token by token, cutting fields, and the number conversions of the format.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

#include "patch/type_words.h"

/// Longest token a patch file may hold, in characters.
constexpr int KSY_TOKEN_MAX = 380000;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using KsyFile = std::unique_ptr<std::FILE, FileCloser>;

/// Opens a patch file for reading; null when it cannot be opened or is not a
/// regular file (a device or a pipe would never end, or block the loader).
KsyFile open_ksy(const char* path);

/// First token of the files the saver writes. In such a file every field is
/// matched on its key (the text before "="), never on its value: a source named
/// VCO_SINE in MOD_FREQ=VCO_SINE does not also feed the main input (IN), nor a
/// pattern file NOTES.PAR set a step's note. Files without it are read as they
/// always were, keys searched in the whole field. Older readers skip it as a comment.
constexpr const char* KSY_FORMAT_MARKER = "#KSY_FORMAT_2";

/// True when the open file f starts with KSY_FORMAT_MARKER. Leaves f at its start.
bool ksy_keyed_format(std::FILE* f);

/// Reads a patch file as blank-separated tokens, counting them from 1.
class KsyTokens {
public:
    explicit KsyTokens(std::FILE* f) : file(f) {}
    /// The next token into `token`; false at the end of the file. A token longer
    /// than KSY_TOKEN_MAX is read to its end, reported with its ordinal and
    /// skipped (it is counted all the same).
    bool next(std::string& token);
    /// Ordinal of the last token read: the "line" number of the messages.
    int counter() const { return count; }

private:
    std::FILE* file;
    int count = 0;
};

/// A field cut at "=": the key before it and the value after it (null when
/// absent, as get_champ gives them).
struct KeyValue {
    std::unique_ptr<char[]> key;
    std::unique_ptr<char[]> value;
    explicit KeyValue(const char* field);
    /// The key, or "" when the field starts with "=".
    const char* key_text() const { return key ? key.get() : ""; }
};

/// The integer at the start of s, as the format reads numbers: optional sign,
/// digits up to the first other character (decimals are dropped), 0 when there
/// is none; clamped to the int range instead of overflowing.
int ksy_int(const char* s);
/// The real number at the start of s (0 when there is none); beyond the float
/// range it becomes an infinity.
float ksy_real(const char* s);
/// ksy_int of the characters of s from position `from`, at most `count` of
/// them (0: to the end). Positions past the end of s read as nothing (0).
int ksy_int_at(const char* s, int from, int count);

/// Prints "Erreur, au niveau des parametre ligne [%d]\n" and ends the program
/// with status -1: an empty field in a module or link line.
[[noreturn]] void ksy_empty_field(int counter);

class GENERATOR;

/// How many modules a module line of this name makes: one per type word of
/// the name that the objects section acts on (0 for none).
int modules_made_by(const char* name);

/// The types of the modules a module line of this name makes, in the loader's
/// order; returns how many (modules_made_by).
int module_words(const char* name, TypeWord (&words)[TW_COUNT]);
/// True when the loader applies the field (KEY=value) of a module line to a
/// module of type w: one of its keys is recognised in it.
bool object_field_applies(TypeWord w, const char* field, bool keyed);
/// True when an empty field (";;") on a line of a module of type w ends the program.
bool empty_field_ends_program(TypeWord w);

/// Reads the objects section of the open file f into g (which is empty).
void read_objects(GENERATOR& g, std::FILE* f);
/// What a link feeds: a value word, a gate word, a sync pulse or a mixer channel.
enum LinkKind { LINK_VALUE, LINK_GATE, LINK_SYNC, LINK_CHANNEL };

/// One input the links section knows for a type of module.
struct LinkInput {
    const char* key;  ///< the input's name
    bool exact;       ///< matched on the key exactly; else found inside the key (or the field)
    LinkKind kind;
    bool read;        ///< false: linkable, but the module never reads it
};

/// A module a link line of some name is meant for.
struct LinkTarget {
    TypeWord word;
    bool fatal;  ///< a line naming no such module ends the program
};

/// The targets a link line of this name acts on, in the loader's order.
int link_targets(const char* name, LinkTarget (&targets)[TW_COUNT]);
/// The inputs of a module of type target, into *inputs; returns their count
/// (0 for a type that takes no links).
int link_inputs(TypeWord target, const LinkInput** inputs);
/// True when the loader links `input` from this field (its key before "=").
bool link_input_matches(const LinkInput& input, const char* key, const char* field, bool keyed);

/// Reads the links section of the open file f into g, from the file's start.
void read_links(GENERATOR& g, std::FILE* f);

/// GENERATOR::load_KSY on a patch file held in memory (size bytes at data),
/// called name in messages and by the sub-patch nesting check: g is emptied,
/// then loaded. 1 when loaded, 0 when not.
int load_ksy_bytes(GENERATOR& g, const char* data, std::size_t size, const char* name);
