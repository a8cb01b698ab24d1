// Modules added to and taken out of a playing patch. Everything that can
// allocate (the module itself, the list's new storage, a block plan with room
// for the new count) is made on the calling thread; one edit of the patch then
// swaps it in between two blocks, and what it swapped out is freed back on the
// calling thread. A module taken out stays alive (its owner, usually the undo
// history, deletes it with delete_module) so that it can come back with its
// settings and cables.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "patch/link_ports.h"
#include "patch/type_words.h"

/// One module of a patch, by the list it lives in (its type word).
struct MODULE_REF {
    TypeWord type = TW_COUNT;
    void* module = nullptr;
    bool valid() const { return module != nullptr && type != TW_COUNT; }
    bool operator==(const MODULE_REF& o) const { return type == o.type && module == o.module; }
};

/// The module's name buffer (null for an invalid ref) and its size.
char* module_name(MODULE_REF m);
std::size_t module_name_size(MODULE_REF m);

/// A new module made from an objects-section line ("VCO_3;;" gives an
/// oscillator with its type's defaults; "VCO_3;FREQ=220;" sets what it names),
/// by the patch loader's own rules, in no patch yet. Invalid when the line's
/// name makes no module or more than one. Defined with the patch loader.
MODULE_REF make_module(const char* object_line);
/// Applies the settings of an objects-section line to a module that exists
/// (the name field is ignored). Fields naming files (patterns, samples,
/// sub-patches) are skipped: they load, and loading is not a setting.
void apply_module_line(MODULE_REF m, const char* object_line);
/// The module's objects-section line as the saver writes it ("VCO_1;TYPE=1;...;\n").
std::string module_line(MODULE_REF m);

/// Deletes a module that no patch holds (with the right destructor).
void delete_module(MODULE_REF m);

/// The module's place in its list of g (0 = newest), -1 when g does not hold it.
int module_index(GENERATOR& g, MODULE_REF m);
/// The module of g whose name is exactly name; invalid when none.
MODULE_REF find_module(GENERATOR& g, const char* name);
/// Every module of the lists the loader makes, list by list, newest first.
std::vector<MODULE_REF> patch_modules(GENERATOR& g);

/// An input port and what it held before an edit (after it, once done).
struct PORT_STATE {
    INPUT_PORT port;
    PORT_WORDS before;
    PORT_WORDS after;
};

/// What taking a module out of a patch changed: where it was, and the inputs
/// of the patch that read it, unlinked with it.
struct MODULE_REMOVAL {
    MODULE_REF module;
    int index = 0;
    std::vector<PORT_STATE> inputs;
};

/// Puts m into g at index of its list (clamped; 0 = newest), in one edit.
/// A sub-patch becomes g's. False (nothing done) for an invalid ref or one g holds already.
bool insert_module(GENERATOR& g, MODULE_REF m, int index = 0);
/// Takes m out of g in one edit, unlinking every input of g that reads its
/// value, gate or pulse word; what changed goes to removal. m stays alive.
/// False when g does not hold m.
bool remove_module(GENERATOR& g, MODULE_REF m, MODULE_REMOVAL* removal);
/// Puts a removed module back where it was, with the inputs it fed, in one edit.
bool restore_module(GENERATOR& g, const MODULE_REMOVAL& removal);

/// A name for a new module of type t, unique in g: "<WORD>_<n>" with the
/// smallest n >= 1 free.
std::string unique_module_name(GENERATOR& g, TypeWord t);
/// The type a name gives (the loader's rule), TW_COUNT when none or several modules.
TypeWord type_of_name(const char* name);
/// Why a module of g cannot take new_name, or null when it can: the name must
/// keep a type word of the same type only, be unique and hold no blank, ';' or '='.
const char* rename_refusal(GENERATOR& g, MODULE_REF m, const char* new_name);

/// The links section of g written from the modules' own names (no panels
/// needed): what a patch with every source in g saves.
std::function<void(std::FILE*)> links_by_names(GENERATOR& g);
/// The whole text of g as a patch file saved now (for comparing states).
std::string patch_text(GENERATOR& g);
