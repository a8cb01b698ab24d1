// The links section of a patch file: which output feeds which input. A link
// points the target's input at the source's value, gate or pulse word, with
// the writes of patch/link_ports.h that hand-made cables use too.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <string>

#include "patch/kstr_parser.h"
#include "patch/ksy_reader.h"
#include "patch/link_ports.h"
#include "patch/type_words.h"
#include "synth/exit.h"
#include "synth/generator.h"

namespace {

// ------------------------------------------------------------ sources

/// The source type words an input accepts, in test order.
struct SourceSet {
    TypeWord words[TW_COUNT];
    int n = 0;
};

/// The words an input was always read with (`old`), preceded by the other
/// words of `all`. The last word a name holds decides, so a name holding one
/// of the old words still resolves as it always did, and a name holding none
/// (a link older readers dropped) now finds its module.
template <std::size_t N, std::size_t A>
SourceSet widened(const TypeWord (&old)[N], const TypeWord (&all)[A]) {
    SourceSet set;
    for (TypeWord w : all)
        if (std::find(std::begin(old), std::end(old), w) == std::end(old)) set.words[set.n++] = w;
    for (TypeWord w : old) set.words[set.n++] = w;
    return set;
}

// What files were always read with, per input.
const TypeWord ANY_VALUE[] = {TW_VCO, TW_SAMPLER, TW_VCA, TW_CONSTANTE, TW_VARIABLE,
                              TW_AFFICHAGE, TW_MIXER, TW_BASIC_OPERATION, TW_SEQUENCER, TW_KEY};
const TypeWord SOUND_OUT_VALUE[] = {TW_VCO, TW_SAMPLER, TW_VCA, TW_CONSTANTE, TW_VARIABLE,
                                    TW_AFFICHAGE, TW_BASIC_OPERATION, TW_MIXER, TW_SEQUENCER, TW_KEY};
const TypeWord VCO_VALUE[] = {TW_VCO, TW_SAMPLER, TW_VCA, TW_MIXER, TW_CONSTANTE,
                              TW_VARIABLE, TW_AFFICHAGE, TW_BASIC_OPERATION, TW_SEQUENCER, TW_KEY};
const TypeWord MIXER_VALUE[] = {TW_VCO, TW_SAMPLER, TW_VCA, TW_PCF, TW_MIXER, TW_GENERATOR};
const TypeWord VCA_VALUE[] = {TW_VCO, TW_PCF, TW_SAMPLER, TW_MIXER};
const TypeWord PCF_MOD[] = {TW_VCO, TW_SAMPLER, TW_VCA};
const TypeWord PCF_VALUE[] = {TW_PCF, TW_VCO, TW_SAMPLER, TW_MIXER, TW_VCA, TW_SEQUENCER, TW_KEY};
const TypeWord SAMPLER_MOD[] = {TW_VCO, TW_SAMPLER};
const TypeWord NOTE_SOURCES[] = {TW_SEQUENCER, TW_KEY};  // sampler pitch; pcf and sampler sync
const TypeWord GATE_SOURCES[] = {TW_KEY, TW_SEQUENCER};
const TypeWord KEY_ONLY[] = {TW_KEY};

// Every word of a module with a value output, and of one with a sync output:
// whatever the saver can name as the source of such an input.
const TypeWord VALUE_OUTPUTS[] = {TW_VCO, TW_SAMPLER, TW_VCA, TW_PCF, TW_MIXER, TW_CONSTANTE, TW_VARIABLE,
                                  TW_AFFICHAGE, TW_BASIC_OPERATION, TW_SEQUENCER, TW_KEY, TW_GENERATOR};
const TypeWord SYNC_OUTPUTS[] = {TW_SEQUENCER, TW_KEY};

// The sets each input reads with now.
const SourceSet ANY_SOURCE = widened(ANY_VALUE, VALUE_OUTPUTS);
const SourceSet SOUND_OUT_SOURCE = widened(SOUND_OUT_VALUE, VALUE_OUTPUTS);
const SourceSet VCO_SOURCE = widened(VCO_VALUE, VALUE_OUTPUTS);
const SourceSet MIXER_NEW_SOURCE = widened(MIXER_VALUE, VALUE_OUTPUTS);
const SourceSet VCA_SOURCE = widened(VCA_VALUE, VALUE_OUTPUTS);
const SourceSet PCF_MOD_SOURCE = widened(PCF_MOD, VALUE_OUTPUTS);
const SourceSet PCF_SOURCE = widened(PCF_VALUE, VALUE_OUTPUTS);
const SourceSet SAMPLER_MOD_SOURCE = widened(SAMPLER_MOD, VALUE_OUTPUTS);
const SourceSet SAMPLER_SOURCE = widened(NOTE_SOURCES, VALUE_OUTPUTS);
const SourceSet GATE_SOURCE = widened(GATE_SOURCES, GATE_SOURCES);
const SourceSet SYNC_SOURCE = widened(NOTE_SOURCES, SYNC_OUTPUTS);
const SourceSet SEQUENCER_SYNC_SOURCE = widened(KEY_ONLY, SYNC_OUTPUTS);

/// The module of type w named name, as an output; null when there is none.
OUTPUT* find_output(GENERATOR& g, TypeWord w, const char* name) {
    switch (w) {
        case TW_VCO: return g.get_VCO_by_name(name);
        case TW_SAMPLER: return g.get_SAMPLER_by_name(name);
        case TW_VCA: return g.get_VCA_by_name(name);
        case TW_PCF: return g.get_PCF_by_name(name);
        case TW_MIXER: return g.get_MIXER_by_name(name);
        case TW_CONSTANTE: return g.get_CONSTANTE_by_name(name);
        case TW_VARIABLE: return g.get_VARIABLE_by_name(name);
        case TW_AFFICHAGE: return g.get_VALEUR_by_name(name);
        case TW_BASIC_OPERATION: return g.get_BASIC_OPERATION_by_name(name);
        case TW_SEQUENCER: return g.get_SEQUENCER_by_name(name);
        case TW_KEY: return g.get_KEYBOARD_by_name(name);
        case TW_GENERATOR: return g.get_GENERATOR_by_name(name);
        case TW_SOUND_OUT: return g.get_SOUND_OUTPUT_by_name(name);
        case TW_COUNT: break;
    }
    return nullptr;
}

/// Every word of the set is tested; the last one the name holds decides.
int deciding_word(const char* name, const SourceSet& set) {
    int found = -1;
    for (int i = 0; i < set.n; i++)
        if (has_word(name, set.words[i])) found = set.words[i];
    return found;
}

OUTPUT* value_source(GENERATOR& g, const char* name, const SourceSet& set) {
    const int w = deciding_word(name, set);
    return w < 0 ? nullptr : find_output(g, static_cast<TypeWord>(w), name);
}

OUTPUT_GATE* gate_source(GENERATOR& g, const char* name, const SourceSet& set = GATE_SOURCE) {
    const int w = deciding_word(name, set);
    if (w == TW_KEY) return g.get_KEYBOARD_by_name(name);
    if (w == TW_SEQUENCER) return g.get_SEQUENCER_by_name(name);
    return nullptr;
}

OUTPUT_SYNC* sync_source(GENERATOR& g, const char* name, const SourceSet& set = SYNC_SOURCE) {
    const int w = deciding_word(name, set);
    if (w == TW_KEY) return g.get_KEYBOARD_by_name(name);
    if (w == TW_SEQUENCER) return g.get_SEQUENCER_by_name(name);
    return nullptr;
}

// ------------------------------------------------------------ one link line

struct LinkLine {
    GENERATOR& g;
    const KSTR_FIELDS& fields;
    int counter;
    bool keyed;  ///< the file matches fields on their keys (KSY_FORMAT_MARKER)
};

/// One INPUTKEY=SOURCENAME field.
struct LinkField {
    const char* text;    ///< the whole field
    const char* key;     ///< before "=" ("" when absent)
    const char* source;  ///< after "="
    bool keyed;
    /// The input keys are searched in the whole field, as files always were
    /// read, or in the key alone in a keyed file.
    bool holds(const char* k) const { return std::strstr(keyed ? key : text, k) != nullptr; }
    /// Keys older readers do not know are matched exactly.
    bool is(const char* k) const { return std::strcmp(key, k) == 0; }
};

/// Calls apply for fields 1 to (separators - 1). An empty field ends the
/// program; a field naming no source cannot link anything and is reported.
template <class F>
void walk(const LinkLine& l, F apply) {
    for (int i = 1; i < l.fields.get_nbr_champs(); i++) {
        const char* text = l.fields.field(i);
        if (text == nullptr) ksy_empty_field(l.counter);
        const KeyValue kv(text);
        if (kv.value == nullptr) {
            std::printf("Line %d: field [%.200s] names no source, ignored\n", l.counter, text);
            continue;
        }
        apply(LinkField{text, kv.key_text(), kv.value.get(), l.keyed});
    }
}

// ------------------------------------------------------------ targets

bool link_sequencer(const LinkLine& l, const char* name) {
    SEQUENCER* m = l.g.get_SEQUENCER_by_name(name);
    if (m == nullptr) return false;
    walk(l, [&](const LinkField& f) {
        if (f.holds("SYNC")) link_sync(m->sync_source, sync_source(l.g, f.source, SEQUENCER_SYNC_SOURCE));
    });
    return true;
}

bool link_operation(const LinkLine& l, const char* name) {
    BASIC_OPERATION* m = l.g.get_BASIC_OPERATION_by_name(name);
    if (m == nullptr) return false;
    static const struct {
        const char* key;
        INPUT* OPERATION::*input;
    } inputs[] = {{"IN1", &OPERATION::IN1}, {"IN2", &OPERATION::IN2}, {"IN_IF", &OPERATION::IN_IF}};
    walk(l, [&](const LinkField& f) {
        for (const auto& in : inputs)
            if (f.holds(in.key)) link_new(l.g, m->*in.input, value_source(l.g, f.source, ANY_SOURCE));
    });
    return true;
}

bool link_valeur(const LinkLine& l, const char* name) {
    VALEUR* m = l.g.get_VALEUR_by_name(name);
    if (m == nullptr) return false;
    walk(l, [&](const LinkField& f) {
        if (f.holds("IN")) link_address(m->source, value_source(l.g, f.source, ANY_SOURCE));
    });
    return true;
}

bool link_sound_output(const LinkLine& l, const char* name) {
    SOUND_OUTPUT* m = l.g.get_SOUND_OUTPUT_by_name(name);
    if (m == nullptr) return false;
    walk(l, [&](const LinkField& f) {
        if (f.holds("IN")) link_new(l.g, m->IN, value_source(l.g, f.source, SOUND_OUT_SOURCE));
    });
    return true;
}

bool link_variable(const LinkLine& l, const char* name) {
    VARIABLE* m = l.g.get_VARIABLE_by_name(name);
    if (m == nullptr) return false;
    walk(l, [&](const LinkField& f) {
        OUTPUT* o = value_source(l.g, f.source, ANY_SOURCE);
        if (f.holds("IN_ASSIGN"))
            link_new(l.g, m->IN_ASSIGN, o);
        else if (f.holds("IN"))
            link_address(m->source, o);
    });
    return true;
}

bool link_vco(const LinkLine& l, const char* name) {
    VCO* m = l.g.get_VCO_by_name(name);
    if (m == nullptr) return false;
    static const struct {
        const char* key;
        INPUT* VCO::*input;
    } inputs[] = {{"MOD_FREQ", &VCO::MOD_FREQ}, {"MOD_PHASE", &VCO::MOD_PHASE},
                  {"MOD_AMP", &VCO::MOD_AMP},   {"MOD_PWM", &VCO::MOD_PWM},
                  {"ALT_FREQ", &VCO::ALT_FREQ}, {"ALT_PHASE", &VCO::ALT_PHASE},
                  {"ALT_AMP", &VCO::ALT_AMP},   {"ALT_PWM", &VCO::ALT_PWM}};
    walk(l, [&](const LinkField& f) {
        OUTPUT* o = value_source(l.g, f.source, VCO_SOURCE);
        for (const auto& in : inputs)
            if (f.holds(in.key)) link_new(l.g, m->*in.input, o);
        if (f.holds("IN")) link_address(m->source, o);
        // Gate and sync were written but not read by older readers.
        if (f.is("GATE")) link_gate(m->gate_source, gate_source(l.g, f.source));
        if (f.is("SYNC")) link_sync(m->sync_source, sync_source(l.g, f.source));
    });
    return true;
}

bool link_mixer(const LinkLine& l, const char* name) {
    MIXER* m = l.g.get_MIXER_by_name(name);
    if (m == nullptr) return false;
    walk(l, [&](const LinkField& f) {
        // A channel the cables left unplugged keeps its place, so that the
        // channels after it keep their levels.
        if (f.is("EMPTY_CHANELL")) m->ajoute_en_entree(nullptr, -1);
        if (std::strstr(f.key, "ADD_CHANELL") == nullptr) return;
        // Not the last word alone: each word of the old set that the source
        // name holds and whose lookup finds a module adds a channel of its own.
        bool old_word = false;
        for (TypeWord w : MIXER_VALUE) {
            if (!has_word(f.source, w)) continue;
            old_word = true;
            if (OUTPUT* o = find_output(l.g, w, f.source)) m->ajoute_en_entree(o, -1);
        }
        // A source older readers dropped: its last word decides, one channel.
        if (!old_word)
            if (OUTPUT* o = value_source(l.g, f.source, MIXER_NEW_SOURCE)) m->ajoute_en_entree(o, -1);
    });
    return true;
}

bool link_vca(const LinkLine& l, const char* name) {
    VCA* m = l.g.get_VCA_by_name(name);
    if (m == nullptr) return false;
    walk(l, [&](const LinkField& f) {
        if (f.holds("IN")) link_address(m->source, value_source(l.g, f.source, VCA_SOURCE));
        if (f.holds("GATE")) link_gate(m->gate_source, gate_source(l.g, f.source));
    });
    return true;
}

bool link_pcf(const LinkLine& l, const char* name) {
    PCF* m = l.g.get_PCF_by_name(name);
    if (m == nullptr) return false;
    static const struct {
        const char* key;
        INPUT* PCF::*input;
    } inputs[] = {{"MOD_FREQ", &PCF::MOD_FREQ}, {"MOD_PHASE", &PCF::MOD_PHASE}, {"MOD_AMP", &PCF::MOD_AMP}};
    walk(l, [&](const LinkField& f) {
        for (const auto& in : inputs)
            if (f.holds(in.key)) link_new(l.g, m->*in.input, value_source(l.g, f.source, PCF_MOD_SOURCE));
        if (f.holds("IN")) link_address(m->source, value_source(l.g, f.source, PCF_SOURCE));
        if (f.holds("GATE")) link_gate(m->gate_source, gate_source(l.g, f.source));
        if (f.holds("SYNC")) link_sync(m->sync_source, sync_source(l.g, f.source));
    });
    return true;
}

bool link_sampler(const LinkLine& l, const char* name) {
    SAMPLER* m = l.g.get_SAMPLER_by_name(name);
    if (m == nullptr) return false;
    static const struct {
        const char* key;
        INPUT* VCO::*input;
    } inputs[] = {{"MOD_FREQ", &VCO::MOD_FREQ}, {"MOD_PHASE", &VCO::MOD_PHASE}, {"MOD_AMP", &VCO::MOD_AMP}};
    walk(l, [&](const LinkField& f) {
        for (const auto& in : inputs)
            if (f.holds(in.key))
                link_new(l.g, m->*in.input, value_source(l.g, f.source, SAMPLER_MOD_SOURCE));
        if (f.holds("IN")) link_address(m->source, value_source(l.g, f.source, SAMPLER_SOURCE));
        // The sampler's gate was read with the sequencer tested last: kept.
        if (f.holds("GATE")) link_gate(m->gate_source, gate_source(l.g, f.source, SYNC_SOURCE));
        if (f.holds("SYNC")) link_sync(m->sync_source, sync_source(l.g, f.source));
    });
    return true;
}

struct TargetRow {
    TypeWord word;
    /// Chained rows: only the first that matches is used; the others are
    /// tested on their own.
    bool chained;
    /// Type named in the message when the target is not found.
    const char* missing;
    /// Whether a missing target ends the program (else the line is skipped).
    bool fatal;
    bool (*link)(const LinkLine&, const char*);
};

const TargetRow TARGET_ROWS[] = {
    {TW_SEQUENCER, true, "SEQUENCER", false, link_sequencer},
    {TW_BASIC_OPERATION, true, "BASIC_OPERATION", true, link_operation},
    {TW_AFFICHAGE, true, "VALEUR", true, link_valeur},
    {TW_SOUND_OUT, true, "SOUND_OUTPUT", true, link_sound_output},
    {TW_VARIABLE, true, "VARIABLE", true, link_variable},
    {TW_VCO, true, "VCO", true, link_vco},
    {TW_MIXER, true, "MIXER", false, link_mixer},
    {TW_VCA, false, "VCA", false, link_vca},
    {TW_PCF, false, "PCF", false, link_pcf},
    {TW_SAMPLER, false, "SAMPLER", false, link_sampler},
};

void link_line(const LinkLine& l) {
    const char* name = l.fields.field(0);
    bool chain_done = false;
    for (const TargetRow& row : TARGET_ROWS) {
        if (row.chained && chain_done) continue;
        if (!has_word(name, row.word)) continue;
        if (row.chained) chain_done = true;
        if (row.link(l, name)) continue;
        std::printf("Cannot Found %s [%s]\n", row.missing, name);
        if (row.fatal) kel_exit(-1);
    }
}

// ------------------------------------------------------------ what a line does, for the checker

#define KEYED(k, kind, read) {k, false, kind, read}
#define EXACT(k, kind, read) {k, true, kind, read}
const LinkInput SEQUENCER_INPUTS[] = {KEYED("SYNC", LINK_SYNC, true)};
const LinkInput OPERATION_INPUTS[] = {KEYED("IN1", LINK_VALUE, true), KEYED("IN2", LINK_VALUE, true),
                                      KEYED("IN_IF", LINK_VALUE, true)};
const LinkInput IN_ONLY[] = {KEYED("IN", LINK_VALUE, true)};
const LinkInput VARIABLE_INPUTS[] = {KEYED("IN_ASSIGN", LINK_VALUE, true), KEYED("IN", LINK_VALUE, true)};
const LinkInput VCO_INPUTS[] = {
    KEYED("MOD_FREQ", LINK_VALUE, true), KEYED("MOD_PHASE", LINK_VALUE, true), KEYED("MOD_AMP", LINK_VALUE, true),
    KEYED("MOD_PWM", LINK_VALUE, true),  KEYED("ALT_FREQ", LINK_VALUE, true),  KEYED("ALT_PHASE", LINK_VALUE, true),
    KEYED("ALT_AMP", LINK_VALUE, true),  KEYED("ALT_PWM", LINK_VALUE, true),   KEYED("IN", LINK_VALUE, true),
    EXACT("GATE", LINK_GATE, false),     EXACT("SYNC", LINK_SYNC, true)};
const LinkInput MIXER_INPUTS[] = {KEYED("ADD_CHANELL", LINK_CHANNEL, true),
                                  EXACT("EMPTY_CHANELL", LINK_CHANNEL, true)};
const LinkInput VCA_INPUTS[] = {KEYED("IN", LINK_VALUE, true), KEYED("GATE", LINK_GATE, true)};
const LinkInput PCF_INPUTS[] = {KEYED("MOD_FREQ", LINK_VALUE, true), KEYED("MOD_PHASE", LINK_VALUE, false),
                                KEYED("MOD_AMP", LINK_VALUE, true),  KEYED("IN", LINK_VALUE, true),
                                KEYED("GATE", LINK_GATE, false),     KEYED("SYNC", LINK_SYNC, false)};
const LinkInput SAMPLER_INPUTS[] = {KEYED("MOD_FREQ", LINK_VALUE, true), KEYED("MOD_PHASE", LINK_VALUE, false),
                                    KEYED("MOD_AMP", LINK_VALUE, true),  KEYED("IN", LINK_VALUE, true),
                                    KEYED("GATE", LINK_GATE, true),      KEYED("SYNC", LINK_SYNC, true)};
#undef KEYED
#undef EXACT

}  // namespace

int link_targets(const char* name, LinkTarget (&targets)[TW_COUNT]) {
    int n = 0;
    bool chain_done = false;
    for (const TargetRow& row : TARGET_ROWS) {
        if (row.chained && chain_done) continue;
        if (!has_word(name, row.word)) continue;
        if (row.chained) chain_done = true;
        targets[n++] = LinkTarget{row.word, row.fatal};
    }
    return n;
}

int link_inputs(TypeWord target, const LinkInput** inputs) {
    switch (target) {
    case TW_SEQUENCER: *inputs = SEQUENCER_INPUTS; return static_cast<int>(std::size(SEQUENCER_INPUTS));
    case TW_BASIC_OPERATION: *inputs = OPERATION_INPUTS; return static_cast<int>(std::size(OPERATION_INPUTS));
    case TW_AFFICHAGE:
    case TW_SOUND_OUT: *inputs = IN_ONLY; return static_cast<int>(std::size(IN_ONLY));
    case TW_VARIABLE: *inputs = VARIABLE_INPUTS; return static_cast<int>(std::size(VARIABLE_INPUTS));
    case TW_VCO: *inputs = VCO_INPUTS; return static_cast<int>(std::size(VCO_INPUTS));
    case TW_MIXER: *inputs = MIXER_INPUTS; return static_cast<int>(std::size(MIXER_INPUTS));
    case TW_VCA: *inputs = VCA_INPUTS; return static_cast<int>(std::size(VCA_INPUTS));
    case TW_PCF: *inputs = PCF_INPUTS; return static_cast<int>(std::size(PCF_INPUTS));
    case TW_SAMPLER: *inputs = SAMPLER_INPUTS; return static_cast<int>(std::size(SAMPLER_INPUTS));
    default: *inputs = nullptr; return 0;
    }
}

bool link_input_matches(const LinkInput& input, const char* key, const char* field, bool keyed) {
    if (input.exact) return std::strcmp(key, input.key) == 0;
    return std::strstr(keyed ? key : field, input.key) != nullptr;
}

void read_links(GENERATOR& g, std::FILE* f) {
    const bool keyed = ksy_keyed_format(f);
    KsyTokens tokens(f);
    std::string token;
    bool in_section = false;
    while (tokens.next(token)) {
        const char* t = token.c_str();
        if (!in_section) {
            in_section = std::strcmp(t, "BEGIN_LINKS_DECLARE") == 0;
            continue;
        }
        if (std::strcmp(t, "END_LINKS_DECLARE") == 0) break;
        if (t[0] == '#') continue;
        const KSTR_FIELDS fields(t, ';');
        if (fields.get_nbr_champs() < 2) {
            std::printf("Ligne %d semble avoir moins de 2 parametres\n", tokens.counter());
            continue;
        }
        link_line(LinkLine{g, fields, tokens.counter(), keyed});
    }
}

int GENERATOR::load_KSY_link(char* path) {
    std::lock_guard<std::mutex> hold(audio_lock);
    KsyFile f = open_ksy(path);
    if (!f) {
        std::printf("Must Specify a true filename\n");
        return 0;
    }
    read_links(*this, f.get());
    prepare_blocks();
    return 1;
}
