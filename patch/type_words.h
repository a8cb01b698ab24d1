// The type words of patch files. A module's type is never stored: both sections
// of a patch file find it by searching the module's name for one of these words.
#pragma once

#include <cstring>

/// The words, one per module type the files know.
enum TypeWord {
    TW_SEQUENCER,
    TW_PCF,
    TW_KEY,
    TW_SAMPLER,
    TW_GENERATOR,
    TW_VCO,
    TW_VCA,
    TW_VARIABLE,
    TW_BASIC_OPERATION,
    TW_CONSTANTE,
    TW_AFFICHAGE,
    TW_SOUND_OUT,
    TW_MIXER,
    TW_COUNT  ///< how many words there are
};

/// The text of a type word, as it appears inside module names.
inline const char* type_word_text(TypeWord w) {
    static const char* const texts[] = {
        "SEQUENCER", "PCF", "KEY", "SAMPLER", "GENERATOR", "VCO", "VCA",
        "VARIABLE", "BASIC_OPERATION", "CONSTANTE", "AFFICHAGE", "SOUND_OUT", "MIXER",
    };
    return texts[w];
}

/// True when name holds the type word anywhere (null holds nothing).
inline bool has_word(const char* name, TypeWord w) {
    return name != nullptr && std::strstr(name, type_word_text(w)) != nullptr;
}
