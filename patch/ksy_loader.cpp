// Loading a patch file: the GENERATOR built from a file, load_KSY, and the
// objects section, which creates every module with its settings.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "patch/kstr_parser.h"
#include "patch/ksy_check.h"
#include "patch/module_edit.h"
#include "patch/ksy_reader.h"
#include "patch/type_words.h"
#include "synth/generator.h"
#include "synth/names.h"
#include "synth/notes.h"

namespace {

/// Sub-patches nest at most this deep below the patch being loaded.
constexpr int KSY_MAX_DEPTH = 8;

// ------------------------------------------------------------ one module line

/// A module line being read.
struct ObjectLine {
    GENERATOR& gen;
    const KSTR_FIELDS& fields;
    int counter;       ///< ordinal of the token, for messages
    const char* name;  ///< field 0
    bool keyed;        ///< the file matches fields on their keys (KSY_FORMAT_MARKER)
};

/// One KEY=value field of a line.
struct Field {
    const char* text;   ///< the whole field, where keys are searched
    const char* key;    ///< before "=" ("" when absent)
    const char* value;  ///< after "=" (never null once a key applies)
    int counter;
};

/// Copies the line's name into a module's buffer; a longer name is cut.
template <std::size_t N>
void set_name(char (&dst)[N], const ObjectLine& l) {
    if (copy_name(dst, l.name) == 0)
        std::printf("Line %d: name [%.80s...] longer than %d characters, cut\n", l.counter,
                    l.name, static_cast<int>(N - 1));
}

/// A new module, named and taken by the patch (at the front of its list).
template <class M, class... Args>
M* adopt(const ObjectLine& l, Args... args) {
    M* m = new M(args...);
    l.gen.add(m);
    set_name(m->name, l);
    return m;
}

/// How a row's key is recognised in a field.
enum KeyMatch {
    /// Anywhere in the whole field (key, "=" and value), as files always were
    /// read; anywhere in the key alone in a keyed file.
    KEY_INSIDE,
    /// The key exactly: the keys older readers do not know (so a value, such as
    /// a file path holding the word, never sets them).
    KEY_EXACT,
};

template <class M>
struct KeyRow {
    const char* key;
    void (*apply)(M&, const Field&);
    KeyMatch match = KEY_INSIDE;
};

template <class M>
bool row_matches(const KeyRow<M>& row, const Field& f, bool keyed) {
    if (row.match == KEY_EXACT) return std::strcmp(f.key, row.key) == 0;
    return std::strstr(keyed ? f.key : f.text, row.key) != nullptr;
}

/// What an empty field (two ";" side by side) does on a line.
enum EmptyField {
    EMPTY_ENDS_PROGRAM,  ///< as on the lines of every type that always had keys
    EMPTY_IGNORED,       ///< a type whose lines older files write as "NAME;;"
};

/// Applies the keys of a module's row to fields 1 to (separators - 1): every
/// key found in a field applies, in the row's order. A key without a value is
/// reported and ignored.
template <class M, std::size_t K>
void apply_keys(M& m, const KeyRow<M> (&rows)[K], const ObjectLine& l, EmptyField empty = EMPTY_ENDS_PROGRAM) {
    for (int i = 1; i < l.fields.get_nbr_champs(); i++) {
        const char* text = l.fields.field(i);
        if (text == nullptr && empty == EMPTY_IGNORED) continue;
        if (text == nullptr) ksy_empty_field(l.counter);
        const KeyValue kv(text);
        const Field f{text, kv.key_text(), kv.value.get(), l.counter};
        for (const KeyRow<M>& row : rows) {
            if (!row_matches(row, f, l.keyed)) continue;
            if (f.value == nullptr) {
                std::printf("Line %d: field [%.200s] has no value, ignored\n", l.counter, text);
                continue;
            }
            row.apply(m, f);
        }
    }
}

bool in_range(int v, int low, int high, const char* what, const Field& f) {
    if (v >= low && v <= high) return true;
    std::printf("Line %d: %s %d outside %d..%d in [%.200s], field ignored\n", f.counter, what, v,
                low, high, f.text);
    return false;
}

/// Grid index of pattern p, step s, or -1 (after a message) outside the grid.
int grid_index(int p, int s, const Field& f) {
    if (!in_range(p, 0, SEQ_PATTERNS - 1, "pattern", f)) return -1;
    if (!in_range(s, 0, SEQ_STEPS - 1, "step", f)) return -1;
    return p * SEQ_STEPS + s;
}

bool note_in_table(int n, const Field& f) { return in_range(n, 0, NOTE2FREQ_SIZE - 1, "note number", f); }

// ------------------------------------------------------------ sequencer

// Inline steps carry their pattern and step numbers at fixed places in the key:
// NOTE_ppp_ss, and BYPASS_s / VOLUME_sss (pattern 0) or BYPASS_ppp_ss /
// VOLUME_ppp_sss when the key has 10 characters or more.
int short_or_long_index(const Field& f, int step_count) {
    if (std::strlen(f.key) < 10) return grid_index(0, ksy_int_at(f.key, 7, step_count), f);
    return grid_index(ksy_int_at(f.key, 7, step_count), ksy_int_at(f.key, 11, step_count), f);
}

// NBR_STEP has no writer and no settled layout: NBR_STEP_ppp=n sets the step
// count of pattern ppp (the number after "NBR_STEP_"), any other key pattern 0.
int nbr_step_pattern(const Field& f) {
    const char* at = std::strstr(f.key, "NBR_STEP_");
    return at != nullptr ? ksy_int(at + 9) : 0;
}

/// Loads a pattern file. Names written as "PARTITIONS\\123.PAR" were meant as a
/// folder and a file: when such a name does not open, it is tried with '/'.
void load_pattern_file(SEQUENCER& m, const char* path) {
    if (m.load_partition(path) == 1 || std::strchr(path, '\\') == nullptr) return;
    std::string slashed(path);
    for (char& c : slashed)
        if (c == '\\') c = '/';
    m.load_partition(slashed.c_str());
}

const KeyRow<SEQUENCER> SEQUENCER_KEYS[] = {
    {"PARTITION_FILE_NAME",
     [](SEQUENCER& m, const Field& f) {
         load_pattern_file(m, f.value);
         m.wished_divider = m.divider[0];
     }},
    {"DIVIDER",
     [](SEQUENCER& m, const Field& f) {
         const int p = ksy_int_at(f.key, 5, 3);
         if (!in_range(p, 0, SEQ_PATTERNS - 1, "pattern", f)) return;
         m.divider[p] = ksy_real(f.value);
         m.wished_divider = m.divider[p];
     }},
    {"NBR_STEP",
     [](SEQUENCER& m, const Field& f) {
         const int p = nbr_step_pattern(f);
         const int n = ksy_int(f.value);
         if (in_range(p, 0, SEQ_PATTERNS - 1, "pattern", f) && in_range(n, 1, SEQ_STEPS, "step count", f))
             m.NBR_STEP[p] = n;
     }},
    {"NOTE",
     [](SEQUENCER& m, const Field& f) {
         const int i = grid_index(ksy_int_at(f.key, 5, 3), ksy_int_at(f.key, 9, 0), f);
         const int n = ksy_int(f.value);
         if (i < 0 || !note_in_table(n, f)) return;
         m.octave[i] = n / 12;
         m.note[i] = n - 12 * m.octave[i];
     }},
    {"BYPASS",
     [](SEQUENCER& m, const Field& f) {
         std::printf("[%s]\n", f.text);
         const int i = short_or_long_index(f, 0);
         if (i >= 0) m.bypass[i] = ksy_int(f.value);
     }},
    {"VOLUME",
     [](SEQUENCER& m, const Field& f) {
         const int i = short_or_long_index(f, 3);
         if (i >= 0) m.volume[i] = ksy_real(f.value);
     }},
    {"LENGHT",
     [](SEQUENCER& m, const Field& f) {
         const int i = short_or_long_index(f, 3);
         if (i >= 0) m.LENGHT[i] = ksy_real(f.value);
     }},
    // The pattern and divider to take at the next pattern boundary, and the
    // POWER button. WISHED_DIV comes after the pattern file, which sets the
    // wished divider to pattern 0's.
    {"WISHED_PATTERN", [](SEQUENCER& m, const Field& f) { m.wished_pattern = ksy_int(f.value); }, KEY_EXACT},
    {"WISHED_DIV", [](SEQUENCER& m, const Field& f) { m.wished_divider = ksy_real(f.value); }, KEY_EXACT},
    {"POWER", [](SEQUENCER& m, const Field& f) { m.running = ksy_int(f.value); }, KEY_EXACT},
};

// ------------------------------------------------------------ filter, oscillator, amplifier

const KeyRow<PCF> PCF_KEYS[] = {
    {"BYPASS", [](PCF& m, const Field& f) { m.BYPASS = ksy_int(f.value); }},
    {"HICUT", [](PCF& m, const Field& f) { m.set_HiCutOff(ksy_int(f.value)); }},
    {"AMOUNT", [](PCF& m, const Field& f) { m.LEVEL = ksy_real(f.value); }},
    {"TYPE", [](PCF& m, const Field& f) { m.TYPE = ksy_int(f.value); }},
    // Old files store no amount for a filter: it comes from the gain's integer
    // part / 10. The saver writes AMOUNT after GAIN, and the later field wins.
    {"GAIN",
     [](PCF& m, const Field& f) {
         m.GAIN = ksy_real(f.value);
         m.LEVEL = static_cast<float>(ksy_int(f.value) / 10);
     }},
    {"Q", [](PCF& m, const Field& f) { m.Q = ksy_real(f.value); }},
    {"POWER", [](PCF& m, const Field& f) { m.enabled = ksy_int(f.value); }, KEY_EXACT},
};

/// Waveform of a TYPE value: its first character, with 7 and 8 swapped (the
/// chaotic sources were renumbered after files had been written).
type_generateur vco_type(const char* value) {
    const char c = value[0];
    if (c == '7') return NOISE_LORENZ;
    if (c == '8') return NOISE_ROSSLER;
    if (c >= '1' && c <= '9') return c - '0';
    return SIN;
}

const KeyRow<VCO> VCO_KEYS[] = {
    {"TYPE", [](VCO& m, const Field& f) { m.TYPE = vco_type(f.value); }},
    {"FREQ", [](VCO& m, const Field& f) { m.FREQ = ksy_real(f.value); }},
    {"AMOUNT", [](VCO& m, const Field& f) { m.AMOUNT = ksy_real(f.value); }},
    {"NOTE",
     [](VCO& m, const Field& f) {
         const int n = ksy_int(f.value);
         if (note_in_table(n, f)) m.FREQ = static_cast<float>(NOTE2FREQ[n]);
     }},
    {"PHASE", [](VCO& m, const Field& f) { m.PHASE = ksy_real(f.value); }},
    {"PWM", [](VCO& m, const Field& f) { m.PWM = ksy_real(f.value); }, KEY_EXACT},
    {"POWER", [](VCO& m, const Field& f) { m.POWER = ksy_int(f.value); }, KEY_EXACT},
    // TYPE keeps only its first character; a waveform number outside 1..9 (a
    // silent oscillator) is written here as well, whole.
    {"WAVEFORM", [](VCO& m, const Field& f) { m.TYPE = ksy_int(f.value); }, KEY_EXACT},
};

const KeyRow<VCA> VCA_KEYS[] = {
    {"ATTACK", [](VCA& m, const Field& f) { m.ATTACK = ksy_real(f.value); }},
    {"INVERT", [](VCA& m, const Field& f) { m.INVERT = ksy_int(f.value); }},
    {"BYPASS", [](VCA& m, const Field& f) { m.BYPASS = ksy_int(f.value); }},
    {"DECAY", [](VCA& m, const Field& f) { m.DECAY = ksy_real(f.value); }},
    {"SUSTAIN", [](VCA& m, const Field& f) { m.SUSTAIN = ksy_real(f.value); }},
    {"RELEASE", [](VCA& m, const Field& f) { m.RELEASE = ksy_real(f.value); }},
    {"POWER", [](VCA& m, const Field& f) { m.POWER = ksy_int(f.value); }, KEY_EXACT},
};

// ------------------------------------------------------------ values, sampler, sub-patch

const KeyRow<BASIC_OPERATION> OPERATION_KEYS[] = {
    {"TYPE", [](BASIC_OPERATION& m, const Field& f) { m.operation = ksy_int(f.value); }},
};

const KeyRow<CONSTANTE> CONSTANTE_KEYS[] = {
    {"VALUE", [](CONSTANTE& m, const Field& f) { m.VALUE = ksy_real(f.value); }},
};

// Loading the file resets the play mode: MODE is written after FILE.
const KeyRow<SAMPLER> SAMPLER_KEYS[] = {
    {"FILE", [](SAMPLER& m, const Field& f) { m.load_SAMPLE(f.value); }},
    {"MODE", [](SAMPLER& m, const Field& f) { m.mode = ksy_int(f.value); }, KEY_EXACT},
    {"PITCH", [](SAMPLER& m, const Field& f) { m.pitch = ksy_real(f.value); }, KEY_EXACT},
    {"AMPLITUDE", [](SAMPLER& m, const Field& f) { m.amplitude = ksy_real(f.value); }, KEY_EXACT},
    {"PHASE", [](SAMPLER& m, const Field& f) { m.phase = ksy_real(f.value); }, KEY_EXACT},
    {"POWER", [](SAMPLER& m, const Field& f) { m.POWER = ksy_int(f.value); }, KEY_EXACT},
};

const KeyRow<KEYBOARD> KEYBOARD_KEYS[] = {
    {"NOTE", [](KEYBOARD& m, const Field& f) { m.note = ksy_int(f.value); }, KEY_EXACT},
    {"OCTAVE", [](KEYBOARD& m, const Field& f) { m.octave = ksy_int(f.value); }, KEY_EXACT},
    {"POWER", [](KEYBOARD& m, const Field& f) { m.on = ksy_int(f.value); }, KEY_EXACT},
};

const KeyRow<GENERATOR> GENERATOR_KEYS[] = {
    {"FILE",
     [](GENERATOR& m, const Field& f) {
         std::string path(f.value);
         m.load_KSY(&path[0]);
     }},
};

/// Mixer levels V_nn=level, mutes MUTE_nn=mute and POWER. An empty field drops
/// the rest of the line only. (The new keys hold no 'V', which older readers
/// take for a level.)
void apply_mixer_keys(MIXER& m, const ObjectLine& l) {
    for (int i = 1; i < l.fields.get_nbr_champs(); i++) {
        const char* text = l.fields.field(i);
        if (text == nullptr) {
            std::printf("Mixer Erreur, au niveau des parametre ligne [%d]\n", l.counter);
            return;
        }
        const KeyValue kv(text);
        const Field f{text, kv.key_text(), kv.value.get(), l.counter};
        const bool mute = std::strncmp(f.key, "MUTE_", 5) == 0;
        const bool power = std::strcmp(f.key, "POWER") == 0;
        if (!mute && !power && std::strchr(l.keyed ? f.key : text, 'V') == nullptr) continue;
        if (f.value == nullptr) {
            std::printf("Line %d: field [%.200s] has no value, ignored\n", l.counter, text);
            continue;
        }
        if (power) {
            m.enabled = ksy_int(f.value);
            continue;
        }
        const int channel = ksy_int_at(f.key, mute ? 5 : 2, 0);
        if (!in_range(channel, 0, MIXER_CHANNELS - 1, "mixer channel", f)) continue;
        (mute ? m.mute : m.level)[channel] = ksy_real(f.value);
    }
}

// ------------------------------------------------------------ the type-word table

template <class M, std::size_t K, class... Args>
void make(const ObjectLine& l, const KeyRow<M> (&keys)[K], Args... args) {
    apply_keys(*adopt<M>(l, args...), keys, l);
}

struct ObjectRow {
    TypeWord word;
    /// Rows marked chained form one chain: only the first of them that matches
    /// creates a module. Every other row is tested on its own, so a name holding
    /// two of their words creates two modules.
    bool chained;
    void (*create)(const ObjectLine&);
};

const ObjectRow OBJECT_ROWS[] = {
    {TW_SEQUENCER, false, [](const ObjectLine& l) { make<SEQUENCER>(l, SEQUENCER_KEYS); }},
    {TW_PCF, true, [](const ObjectLine& l) { make<PCF>(l, PCF_KEYS); }},
    {TW_KEY, true, [](const ObjectLine& l) { apply_keys(*adopt<KEYBOARD>(l), KEYBOARD_KEYS, l, EMPTY_IGNORED); }},
    {TW_SAMPLER, true, [](const ObjectLine& l) { make<SAMPLER>(l, SAMPLER_KEYS); }},
    {TW_GENERATOR, true,
     [](const ObjectLine& l) { make<GENERATOR>(l, GENERATOR_KEYS, nullptr); }},
    {TW_VCO, true,
     [](const ObjectLine& l) { make<VCO>(l, VCO_KEYS, 1.0f, 110.0f, SIN); }},
    {TW_VCA, false, [](const ObjectLine& l) { make<VCA>(l, VCA_KEYS); }},
    {TW_VARIABLE, false, [](const ObjectLine& l) { adopt<VARIABLE>(l, 0.0f); }},
    {TW_BASIC_OPERATION, false,
     [](const ObjectLine& l) { make<BASIC_OPERATION>(l, OPERATION_KEYS); }},
    {TW_CONSTANTE, false,
     [](const ObjectLine& l) { make<CONSTANTE>(l, CONSTANTE_KEYS, 4.0f); }},
    {TW_AFFICHAGE, false, [](const ObjectLine& l) { adopt<VALEUR>(l); }},
    {TW_SOUND_OUT, false, [](const ObjectLine& l) { adopt<SOUND_OUTPUT>(l); }},
    {TW_MIXER, false, [](const ObjectLine& l) { apply_mixer_keys(*adopt<MIXER>(l), l); }},
};

/// Calls fn for each row of the table that makes a module of this name.
template <class F>
void rows_for(const char* name, F fn) {
    bool chain_done = false;
    for (const ObjectRow& row : OBJECT_ROWS) {
        if (row.chained && chain_done) continue;
        if (!has_word(name, row.word)) continue;
        fn(row);
        if (row.chained) chain_done = true;
    }
}

void create_modules(const ObjectLine& l) {
    rows_for(l.name, [&](const ObjectRow& row) { row.create(l); });
}

// ------------------------------------------------------------ nesting guard

/// The patch files being loaded on this thread, outermost first. A sub-patch
/// that names one of them, or nests too deep, is not loaded: without this a
/// patch including itself would recurse without end.
thread_local std::vector<std::string> files_being_loaded;

class NestingGuard {
public:
    explicit NestingGuard(const char* path) {
        char* real = realpath(path, nullptr);
        const std::string id = real != nullptr ? real : path;
        std::free(real);
        for (const std::string& open : files_being_loaded) {
            if (open == id) {
                std::printf("Sub-patch [%s] includes itself: not loaded\n", path);
                return;
            }
        }
        if (static_cast<int>(files_being_loaded.size()) > KSY_MAX_DEPTH) {
            std::printf("Sub-patch [%s] nested more than %d deep: not loaded\n", path, KSY_MAX_DEPTH);
            return;
        }
        files_being_loaded.push_back(id);
        entered = true;
    }
    ~NestingGuard() {
        if (entered) files_being_loaded.pop_back();
    }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
    bool allowed() const { return entered; }

private:
    bool entered = false;
};

// ------------------------------------------------------------ what a field does

template <class M, std::size_t K>
bool any_row_matches(const KeyRow<M> (&rows)[K], const Field& f, bool keyed) {
    for (const KeyRow<M>& row : rows)
        if (row_matches(row, f, keyed)) return true;
    return false;
}

}  // namespace

bool object_field_applies(TypeWord w, const char* text, bool keyed) {
    if (text == nullptr) return false;
    const KeyValue kv(text);
    const Field f{text, kv.key_text(), kv.value.get(), 0};
    switch (w) {
    case TW_SEQUENCER: return any_row_matches(SEQUENCER_KEYS, f, keyed);
    case TW_PCF: return any_row_matches(PCF_KEYS, f, keyed);
    case TW_KEY: return any_row_matches(KEYBOARD_KEYS, f, keyed);
    case TW_SAMPLER: return any_row_matches(SAMPLER_KEYS, f, keyed);
    case TW_GENERATOR: return any_row_matches(GENERATOR_KEYS, f, keyed);
    case TW_VCO: return any_row_matches(VCO_KEYS, f, keyed);
    case TW_VCA: return any_row_matches(VCA_KEYS, f, keyed);
    case TW_BASIC_OPERATION: return any_row_matches(OPERATION_KEYS, f, keyed);
    case TW_CONSTANTE: return any_row_matches(CONSTANTE_KEYS, f, keyed);
    case TW_MIXER:
        return std::strncmp(f.key, "MUTE_", 5) == 0 || std::strcmp(f.key, "POWER") == 0 ||
               std::strchr(keyed ? f.key : text, 'V') != nullptr;
    default: return false;  // variables, displays and sound outputs take no keys
    }
}

bool empty_field_ends_program(TypeWord w) {
    switch (w) {
    case TW_SEQUENCER: case TW_PCF: case TW_SAMPLER: case TW_GENERATOR: case TW_VCO: case TW_VCA:
    case TW_BASIC_OPERATION: case TW_CONSTANTE:
        return true;
    default: return false;
    }
}

int module_words(const char* name, TypeWord (&words)[TW_COUNT]) {
    int n = 0;
    rows_for(name, [&](const ObjectRow& row) { words[n++] = row.word; });
    return n;
}

// ------------------------------------------------------------ entry points

int modules_made_by(const char* name) {
    int n = 0;
    rows_for(name, [&](const ObjectRow&) { n++; });
    return n;
}

void read_objects(GENERATOR& g, std::FILE* f) {
    const bool keyed = ksy_keyed_format(f);
    KsyTokens tokens(f);
    std::string token;
    while (tokens.next(token)) {
        const char* t = token.c_str();
        if (std::strcmp(t, "BEGIN_OBJECTS_DECLARE") == 0) continue;
        if (std::strcmp(t, "END_OBJECTS_DECLARE") == 0) break;
        if (t[0] == '#') continue;
        const KSTR_FIELDS fields(t, ';');
        if (fields.get_nbr_champs() < 2) {
            std::printf("Ligne %d semble avoir moins de 2 parametres\n", tokens.counter());
            continue;
        }
        create_modules(ObjectLine{g, fields, tokens.counter(), fields.field(0), keyed});
    }
}

GENERATOR::GENERATOR(char* path) : GENERATOR() {
    if (path != nullptr) load_KSY(path);
}

namespace {
// Reads the open patch file f, named path, into g, which the caller holds
// locked and has emptied. The file and memory entry points differ only in
// where f comes from.
int load_open_ksy(GENERATOR& g, std::FILE* f, const std::string& path) {
    copy_name(g.file_name, path.c_str());
    const NestingGuard nesting(path.c_str());
    if (!nesting.allowed()) return 0;
    read_objects(g, f);
    // The links are read from the same open file, not from the path again: the
    // two sections always come from one version of the file.
    read_links(g, f);
    g.prepare_blocks();
    return 1;
}
}  // namespace

int GENERATOR::load_KSY(char* path_arg) {
    // The path may live in a module that clear_KSY is about to destroy.
    const std::string path = path_arg != nullptr ? path_arg : "";
    // What the checker finds is said once per patch loaded, before loading (a
    // fault may end the program on the way); sub-patches are part of it.
    if (path_arg != nullptr && files_being_loaded.empty()) print_ksy_warnings(check_ksy(path.c_str()), stdout);
    // The audio callback steps this patch under the same lock (try_lock): the
    // patch is never stepped half emptied or half loaded.
    std::lock_guard<std::mutex> hold(audio_lock);
    clear_KSY();
    KsyFile f = path_arg != nullptr ? open_ksy(path.c_str()) : nullptr;
    if (!f) {
        std::printf("Must Specify a true filename\n");
        return 0;
    }
    return load_open_ksy(*this, f.get(), path);
}

int load_ksy_bytes(GENERATOR& g, const char* data, std::size_t size, const char* name) {
    const std::string path = name != nullptr ? name : "";
    std::lock_guard<std::mutex> hold(g.audio_lock);
    g.clear_KSY();
    // The reader only reads: the buffer is never written through the stream.
    KsyFile f(fmemopen(const_cast<char*>(size > 0 ? data : ""), size, "r"));
    if (!f) {
        std::printf("Cannot read the patch [%s] from memory\n", path.c_str());
        return 0;
    }
    return load_open_ksy(g, f.get(), path);
}

// ------------------------------------------------------------ modules made one by one

TypeWord type_of_name(const char* name) {
    TypeWord t = TW_COUNT;
    int n = 0;
    if (name == nullptr) return t;
    rows_for(name, [&](const ObjectRow& row) {
        t = row.word;
        n++;
    });
    return n == 1 ? t : TW_COUNT;
}

MODULE_REF make_module(const char* object_line) {
    if (object_line == nullptr) return {};
    const KSTR_FIELDS given(object_line, ';');
    if (given.get_nbr_champs() < 1 || given.field(0) == nullptr) return {};
    const TypeWord t = type_of_name(given.field(0));
    if (t == TW_COUNT) return {};
    // Empty fields dropped: most types take an empty field for the end of the file.
    std::string line = std::string(given.field(0)) + ";";
    for (int i = 1; i < given.get_nbr_champs(); i++)
        if (given.field(i) != nullptr) line += std::string(given.field(i)) + ";";
    const KSTR_FIELDS fields(line.c_str(), ';');
    // Made in a patch of its own by the loader's row, then taken out of it.
    GENERATOR scratch;
    create_modules(ObjectLine{scratch, fields, 0, fields.field(0), true});
    const std::vector<MODULE_REF> made = patch_modules(scratch);
    if (made.size() != 1) return {};
    MODULE_REF m = made[0];
    scratch.sequencers.clear();
    scratch.keyboards.clear();
    scratch.vcos.clear();
    scratch.mixers.clear();
    scratch.samplers.clear();
    scratch.vcas.clear();
    scratch.pcfs.clear();
    scratch.constantes.clear();
    scratch.operations.clear();
    scratch.values.clear();
    scratch.variables.clear();
    scratch.sound_outputs.clear();
    scratch.generators.clear();
    if (m.type == TW_GENERATOR) static_cast<GENERATOR*>(m.module)->set_parent(nullptr);
    return m;
}

namespace {

/// The line without its name field and without the fields that load files.
std::string settings_only(const char* object_line) {
    std::string out = "X";
    const KSTR_FIELDS fields(object_line, ';');
    for (int i = 1; i < fields.get_nbr_champs(); i++) {
        const char* f = fields.field(i);
        if (f == nullptr) continue;
        const KeyValue kv(f);
        const char* key = kv.key_text();
        if (std::strstr(key, "FILE") != nullptr) continue;
        out += ';';
        out += f;
    }
    return out + ";";
}

template <class M, std::size_t K>
void apply_to(M& m, const KeyRow<M> (&keys)[K], const std::string& line) {
    GENERATOR none;
    const KSTR_FIELDS fields(line.c_str(), ';');
    apply_keys(m, keys, ObjectLine{none, fields, 0, fields.field(0), true}, EMPTY_IGNORED);
}

}  // namespace

void apply_module_line(MODULE_REF m, const char* object_line) {
    if (!m.valid() || object_line == nullptr) return;
    const std::string line = settings_only(object_line);
    switch (m.type) {
        case TW_SEQUENCER: apply_to(*static_cast<SEQUENCER*>(m.module), SEQUENCER_KEYS, line); break;
        case TW_PCF: apply_to(*static_cast<PCF*>(m.module), PCF_KEYS, line); break;
        case TW_KEY: apply_to(*static_cast<KEYBOARD*>(m.module), KEYBOARD_KEYS, line); break;
        case TW_SAMPLER: apply_to(*static_cast<SAMPLER*>(m.module), SAMPLER_KEYS, line); break;
        case TW_VCO: apply_to(*static_cast<VCO*>(m.module), VCO_KEYS, line); break;
        case TW_VCA: apply_to(*static_cast<VCA*>(m.module), VCA_KEYS, line); break;
        case TW_BASIC_OPERATION: apply_to(*static_cast<BASIC_OPERATION*>(m.module), OPERATION_KEYS, line); break;
        case TW_CONSTANTE: apply_to(*static_cast<CONSTANTE*>(m.module), CONSTANTE_KEYS, line); break;
        case TW_MIXER: {
            GENERATOR none;
            const KSTR_FIELDS fields(line.c_str(), ';');
            apply_mixer_keys(*static_cast<MIXER*>(m.module), ObjectLine{none, fields, 0, fields.field(0), true});
            break;
        }
        default: break;
    }
}
