#include "patch/ksy_check.h"

#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <tuple>

#include "patch/kstr_parser.h"
#include "patch/ksy_reader.h"
#include "patch/type_words.h"
#include "synth/notes.h"
#include "synth/sample_import.h"
#include "synth/sampler.h"
#include "synth/sequencer.h"

namespace {

/// Sub-patches are checked at most this deep, as the loader loads them.
constexpr int CHECK_MAX_DEPTH = 8;

struct Token {
    std::string text;
    int line;
};

/// A module the objects section makes.
struct Declared {
    std::string name;
    TypeWord word;
};

std::string upper(const char* s) {
    std::string u(s != nullptr ? s : "");
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

/// "a KEY", "a VCO and a VCA": the modules a line makes.
std::string made_by(const TypeWord* words, int n) {
    std::string text;
    for (int i = 0; i < n; i++) text += std::string(i == 0 ? "a " : " and a ") + type_word_text(words[i]);
    return text;
}

/// Only regular files are opened: a pipe or a device named in a patch must not block the checker.
bool regular_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string quoted(const char* s) { return std::string("[") + (s != nullptr ? s : "") + "]"; }

/// The words of a type, as messages name it.
std::string type_name(TypeWord w) { return type_word_text(w); }

/// Whether a number reads from the start of s (the loader reads 0 otherwise).
bool is_number(const char* s) {
    char* end = nullptr;
    std::strtod(s, &end);
    return end != s;
}

/// What a knob can reach, for the keys whose range the instrument fixes.
struct KnobRange {
    TypeWord word;
    const char* key;
    double low, high;
    const char* beyond;  ///< what a value outside does
};

const KnobRange RANGES[] = {
    {TW_VCO, "TYPE", 1, 9, "only its first digit is read (0 and other characters: a sine)"},
    {TW_VCO, "AMOUNT", -1e9, 1, "a level above 1 plays as 1"},
    {TW_VCO, "POWER", 0, 1, "any value but 0 plays"},
    {TW_VCA, "ATTACK", 0, 1e9, "a negative time acts as 0"},
    {TW_VCA, "DECAY", 0, 1e9, "a negative time acts as 0"},
    {TW_VCA, "RELEASE", 0, 1e9, "a negative time acts as 0"},
    {TW_VCA, "POWER", 0, 1, "any value but 0 plays"},
    {TW_PCF, "TYPE", 0, 7, "above 7 plays type 0, below 0 type 7"},
    {TW_PCF, "HICUT", 1, 22050, "the filter cannot work beyond half the sample rate"},
    {TW_PCF, "POWER", 0, 1, "any value but 0 plays"},
    {TW_BASIC_OPERATION, "TYPE", 0, 17, "the output holds its value for ever"},
    {TW_SAMPLER, "MODE", 0, 3, "the sample plays forward, looped"},
    {TW_KEY, "NOTE", 0, 11, "it counts on into the next octaves"},
    {TW_SEQUENCER, "POWER", 0, 1, "any value but 0 runs"},
};

class Checker {
public:
    /// checked: the files already checked (real paths), shared by the sub-patch checkers.
    Checker(KsyCheck& out, std::set<std::string>& checked_files) : result(out), checked(checked_files) {}

    void check_file(const std::string& path, int depth) {
        file = path;
        KsyFile f = regular_file(path) ? open_ksy(path.c_str()) : nullptr;
        if (!f) {
            fatal(0, "cannot open the patch file");
            return;
        }
        read_tokens(f.get());
        keyed = !tokens.empty() && tokens[0].text == KSY_FORMAT_MARKER;
        depth_ = depth;
        check_objects();
        check_links();
    }

private:
    KsyCheck& result;
    std::set<std::string>& checked;
    std::string file;
    std::vector<Token> tokens;
    std::vector<Declared> declared;
    bool keyed = false;
    int depth_ = 0;

    void warn(int line, const std::string& text) { result.warnings.push_back({file, line, text}); }
    void fatal(int line, const std::string& text) {
        warn(line, text);
        result.would_not_load = true;
    }

    void read_tokens(std::FILE* f) {
        int line = 1;
        std::string token;
        int token_line = 1;
        for (int c = std::getc(f);; c = std::getc(f)) {
            if (c == EOF || std::isspace(c)) {
                if (!token.empty()) {
                    if (static_cast<int>(token.size()) > KSY_TOKEN_MAX)
                        warn(token_line, "a token longer than " + std::to_string(KSY_TOKEN_MAX) +
                                             " characters: ignored");
                    else
                        tokens.push_back({token, token_line});
                    token.clear();
                }
                if (c == EOF) break;
                if (c == '\n') line++;
                continue;
            }
            if (token.empty()) token_line = line;
            if (token.size() <= static_cast<size_t>(KSY_TOKEN_MAX)) token.push_back(static_cast<char>(c));
        }
    }

    /// Fields 1 to separators - 1 are read; a line must end with ";".
    bool check_line_end(const Token& t, const KSTR_FIELDS& fields) {
        const std::string& s = t.text;
        if (fields.get_nbr_champs() < 2) {
            warn(t.line, quoted(s.c_str()) + " needs two ';' at least (NAME;; for a line without fields): ignored");
            return false;
        }
        if (s.back() != ';') {
            const std::string last = s.substr(s.rfind(';') + 1);
            warn(t.line, "no ';' at the end of the line: its last field " + quoted(last.c_str()) + " is ignored");
        }
        return true;
    }

    // ------------------------------------------------------------ objects

    void check_objects() {
        bool ended = false;
        for (const Token& t : tokens) {
            if (t.text == "BEGIN_OBJECTS_DECLARE") continue;
            if (t.text == "END_OBJECTS_DECLARE") {
                ended = true;
                break;
            }
            if (t.text[0] == '#') continue;
            const KSTR_FIELDS fields(t.text.c_str(), ';');
            if (!check_line_end(t, fields)) continue;
            check_module(t, fields);
        }
        if (!ended) warn(0, "no END_OBJECTS_DECLARE: the links section is read as modules");
    }

    void check_module(const Token& t, const KSTR_FIELDS& fields) {
        const char* name = fields.field(0);
        TypeWord words[TW_COUNT];
        const int n = module_words(name, words);
        if (n == 0) {
            warn(t.line, "the name " + quoted(name) + " holds no type word (VCO, VCA, PCF, ...): no module is made");
            return;
        }
        std::string held;
        int held_count = 0;
        for (int w = 0; w < TW_COUNT; w++) {
            if (!has_word(name, static_cast<TypeWord>(w))) continue;
            held += (held_count++ ? " and " : "") + type_name(static_cast<TypeWord>(w));
        }
        if (held_count > 1)
            warn(t.line, "the name " + quoted(name) + " holds " + held +
                             ": keep one type word in a name (it makes " + made_by(words, n) +
                             ", and a link may reach the wrong one)");
        for (int i = 0; i < n; i++) declared.push_back({name, words[i]});

        bool ends = false;
        for (int i = 0; i < n; i++) ends = ends || empty_field_ends_program(words[i]);
        for (int i = 1; i < fields.get_nbr_champs(); i++) {
            const char* text = fields.field(i);
            if (text == nullptr) {
                if (ends) {
                    fatal(t.line, "an empty field (';;') on the line of " + quoted(name) +
                                      ": loading ends the program (status 255)");
                    return;
                }
                if (words[0] == TW_MIXER && i + 1 < fields.get_nbr_champs()) {
                    warn(t.line, "an empty field (';;') on the line of " + quoted(name) + ": the rest of the line is ignored");
                    return;
                }
                continue;
            }
            check_field(t, words, n, text);
        }
    }

    void check_field(const Token& t, const TypeWord* words, int n, const char* text) {
        const KeyValue kv(text);
        const char* key = kv.key_text();
        bool applies = false;
        for (int i = 0; i < n; i++) applies = applies || object_field_applies(words[i], text, keyed);
        if (!applies) {
            const std::string up = upper(text);
            bool would = false;
            for (int i = 0; i < n; i++) would = would || object_field_applies(words[i], up.c_str(), keyed);
            if (would)
                warn(t.line, "the key " + quoted(key) + " is not in upper case: ignored");
            else
                warn(t.line, "unknown key " + quoted(key) + " for a " + type_name(words[0]) + ": ignored");
            return;
        }
        if (kv.value == nullptr) {
            warn(t.line, "the field " + quoted(text) + " has no value: ignored");
            return;
        }
        const char* value = kv.value.get();
        for (int i = 0; i < n; i++) check_value(t, words[i], key, value);
    }

    void check_value(const Token& t, TypeWord w, const char* key, const char* value) {
        if (w == TW_SAMPLER && std::strcmp(key, "FILE") == 0) return check_sample(t, value);
        if (w == TW_GENERATOR && std::strcmp(key, "FILE") == 0) return check_sub_patch(t, value);
        if (w == TW_SEQUENCER && std::strstr(key, "PARTITION_FILE_NAME") != nullptr) return check_pattern(t, value);
        if (!is_number(value)) {
            warn(t.line, "the value " + quoted(value) + " of " + key + " is not a number: it reads as 0");
            return;
        }
        const double v = std::strtod(value, nullptr);
        if ((w == TW_VCO || w == TW_SEQUENCER) && std::strncmp(key, "NOTE", 4) == 0 && (v < 0 || v >= NOTE2FREQ_SIZE)) {
            warn(t.line, "note number " + std::string(value) + " is outside the note table (0.." +
                             std::to_string(NOTE2FREQ_SIZE - 1) + "): ignored");
            return;
        }
        for (const KnobRange& r : RANGES) {
            if (r.word != w || std::strcmp(r.key, key) != 0 || (v >= r.low && v <= r.high)) continue;
            warn(t.line, std::string(key) + "=" + value + " is beyond what its knob reaches: " + r.beyond);
        }
    }

    void check_sample(const Token& t, const char* path) {
        const std::string why = sample_problem(path, SAMPLER_CAPACITY_BYTES);
        if (!why.empty())
            fatal(t.line, "the sample " + quoted(path) + " cannot be read (" + why +
                              "): loading ends the program (status 255)");
    }

    void check_pattern(const Token& t, const char* path) {
        std::string p = path;
        if (!regular_file(p) && p.find('\\') != std::string::npos)
            for (char& c : p)
                if (c == '\\') c = '/';
        std::ifstream in;
        if (regular_file(p)) in.open(p, std::ios::binary);
        if (!in.is_open()) {
            warn(t.line, "the pattern file " + quoted(path) + " cannot be opened: the sequencer keeps the steps of the patch");
            return;
        }
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes.size() < static_cast<size_t>(PARTITION_FILE_BYTES)) {
            warn(t.line, "the pattern file " + quoted(path) + " holds " + std::to_string(bytes.size()) + " bytes, not " +
                             std::to_string(PARTITION_FILE_BYTES) + ": what it lacks keeps the previous steps");
            return;
        }
        const int grid = SEQ_PATTERNS * SEQ_STEPS;
        for (int i = 0; i < grid; i++) {
            std::int32_t note, octave;
            std::memcpy(&note, &bytes[33280 + 4 * i], 4);
            std::memcpy(&octave, &bytes[49664 + 4 * i], 4);
            const long long number = static_cast<long long>(octave) * 12 + note;
            if (number >= 0 && number < NOTE2FREQ_SIZE) continue;
            warn(t.line, "the pattern file " + quoted(path) + ": pattern " + std::to_string(i / SEQ_STEPS) + " step " +
                             std::to_string(i % SEQ_STEPS) + " is outside the note table: the file is not loaded");
            return;
        }
    }

    void check_sub_patch(const Token& t, const char* path) {
        if (!regular_file(path) || !open_ksy(path)) {
            warn(t.line, "the sub-patch " + quoted(path) + " cannot be opened: the module stays silent");
            return;
        }
        if (depth_ >= CHECK_MAX_DEPTH) return;  // the loader says so itself
        char* real = realpath(path, nullptr);
        char* mine = realpath(file.c_str(), nullptr);
        const std::string id = real != nullptr ? real : path;
        const bool self = real != nullptr && mine != nullptr && std::strcmp(real, mine) == 0;
        std::free(real);
        std::free(mine);
        if (self) {
            warn(t.line, "the sub-patch " + quoted(path) + " is this patch itself: not loaded");
            return;
        }
        // Each file is checked once, however many modules name it.
        if (!checked.insert(id).second) return;
        Checker sub(result, checked);
        sub.check_file(path, depth_ + 1);
    }

    // ------------------------------------------------------------ links

    /// Modules named exactly `name`, of any type.
    std::vector<TypeWord> types_named(const char* name) const {
        std::vector<TypeWord> found;
        for (const Declared& d : declared)
            if (name != nullptr && d.name == name) found.push_back(d.word);
        return found;
    }

    int count_of(TypeWord w) const {
        int n = 0;
        for (const Declared& d : declared) n += d.word == w;
        return n;
    }

    const Declared* first_of(TypeWord w) const {
        for (const Declared& d : declared)
            if (d.word == w) return &d;
        return nullptr;
    }

    /// Types the loader finds by name only when there is more than one of them.
    static bool lone_matches_any(TypeWord w) {
        return w == TW_CONSTANTE || w == TW_BASIC_OPERATION || w == TW_AFFICHAGE || w == TW_VARIABLE ||
               w == TW_SOUND_OUT || w == TW_KEY || w == TW_GENERATOR;
    }

    void check_links() {
        bool inside = false;
        for (const Token& t : tokens) {
            if (!inside) {
                inside = t.text == "BEGIN_LINKS_DECLARE";
                continue;
            }
            if (t.text == "END_LINKS_DECLARE") break;
            if (t.text[0] == '#') continue;
            const KSTR_FIELDS fields(t.text.c_str(), ';');
            if (!check_line_end(t, fields)) continue;
            check_link_line(t, fields);
        }
    }

    void check_link_line(const Token& t, const KSTR_FIELDS& fields) {
        const char* name = fields.field(0);
        LinkTarget targets[TW_COUNT];
        const int n = link_targets(name, targets);
        if (n == 0) {
            warn(t.line, quoted(name) + " is no module with inputs (a keyboard, constant or sub-patch takes no links): line ignored");
            return;
        }
        for (int i = 0; i < n; i++) {
            const TypeWord w = targets[i].word;
            bool exact = false;
            for (TypeWord d : types_named(name)) exact = exact || d == w;
            if (!exact && lone_matches_any(w) && count_of(w) == 1) {
                warn(t.line, "no " + type_name(w) + " is named " + quoted(name) + ": the only one, " +
                                 quoted(first_of(w)->name.c_str()) + ", takes these links");
            } else if (!exact) {
                if (targets[i].fatal) {
                    fatal(t.line, "no " + type_name(w) + " is named " + quoted(name) + ": loading ends the program (status 255)");
                    return;
                }
                warn(t.line, "no " + type_name(w) + " is named " + quoted(name) + ": line ignored");
                continue;
            }
            for (int k = 1; k < fields.get_nbr_champs(); k++) {
                const char* text = fields.field(k);
                if (text == nullptr) {
                    fatal(t.line, "an empty field (';;') on the links of " + quoted(name) +
                                      ": loading ends the program (status 255)");
                    return;
                }
                check_link_field(t, w, text);
            }
        }
    }

    void check_link_field(const Token& t, TypeWord target, const char* text) {
        const KeyValue kv(text);
        const char* key = kv.key_text();
        if (kv.value == nullptr) {
            warn(t.line, "the field " + quoted(text) + " names no source: ignored");
            return;
        }
        const LinkInput* inputs = nullptr;
        const int count = link_inputs(target, &inputs);
        std::vector<const LinkInput*> matched;
        const LinkInput* meant = nullptr;
        for (int i = 0; i < count; i++) {
            if (link_input_matches(inputs[i], key, text, keyed)) {
                // A variable takes IN_ASSIGN before (and instead of) IN.
                if (target == TW_VARIABLE && !matched.empty()) break;
                matched.push_back(&inputs[i]);
            }
            if (std::strcmp(inputs[i].key, key) == 0) meant = &inputs[i];
        }
        if (target == TW_MIXER && std::strstr(key, "ADD_CHANELL") != nullptr) meant = &inputs[0];
        if (meant == nullptr) {
            bool case_slip = false;
            for (int i = 0; i < count; i++) case_slip = case_slip || upper(key) == inputs[i].key;
            std::string read_as;
            for (const LinkInput* m : matched) read_as += (read_as.empty() ? "" : ", ") + std::string(m->key);
            warn(t.line, (case_slip ? "the input " + quoted(key) + " is not in upper case"
                                    : "unknown input " + quoted(key) + " of a " + type_name(target)) +
                             (read_as.empty() ? ": ignored" : ": read as " + read_as));
        }
        for (const LinkInput* m : matched) {
            if (meant != nullptr && m != meant)
                warn(t.line, "the field " + quoted(text) + " also links " + m->key +
                                 ": input names are searched in the whole field, and the source's name holds it");
            if (!m->read)
                warn(t.line, "a " + type_name(target) + " does not read " + m->key + ": the link " + quoted(text) +
                                 " has no effect");
            check_source(t, *m, kv.value.get());
        }
    }

    void check_source(const Token& t, const LinkInput& input, const char* source) {
        if (input.kind == LINK_CHANNEL && std::strcmp(input.key, "EMPTY_CHANELL") == 0) return;
        const std::vector<TypeWord> found = types_named(source);
        const bool wants_pulse = input.kind == LINK_GATE || input.kind == LINK_SYNC;
        if (wants_pulse) {
            for (TypeWord w : found)
                if (w == TW_KEY || w == TW_SEQUENCER) return;
            if (!found.empty()) {
                warn(t.line, std::string(input.key) + " takes a keyboard or a sequencer, not " + quoted(source) +
                                 ": not linked");
                return;
            }
        } else {
            for (TypeWord w : found)
                if (w != TW_SOUND_OUT) return;
        }
        // Not declared: a lone module of the word the name holds may still answer.
        for (int w = 0; w < TW_COUNT; w++) {
            const TypeWord tw = static_cast<TypeWord>(w);
            if (has_word(source, tw) && lone_matches_any(tw) && count_of(tw) == 1) {
                warn(t.line, "no module is named " + quoted(source) + ": the only " + type_name(tw) + ", " +
                                 quoted(first_of(tw)->name.c_str()) + ", is linked instead");
                return;
            }
        }
        warn(t.line, "no module is named " + quoted(source) + ": " + input.key + " is not linked");
    }
};

void drop_repeats(std::vector<KsyWarning>& warnings) {
    std::set<std::tuple<std::string, int, std::string>> seen;
    std::vector<KsyWarning> kept;
    for (KsyWarning& w : warnings)
        if (seen.insert({w.file, w.line, w.text}).second) kept.push_back(std::move(w));
    warnings.swap(kept);
}

}  // namespace

KsyCheck check_ksy(const char* path) {
    KsyCheck result;
    std::set<std::string> checked;
    if (path != nullptr)
        if (char* real = realpath(path, nullptr)) {
            checked.insert(real);
            std::free(real);
        }
    Checker(result, checked).check_file(path != nullptr ? path : "", 0);
    drop_repeats(result.warnings);
    return result;
}

void print_ksy_warnings(const KsyCheck& check, std::FILE* out) {
    for (const KsyWarning& w : check.warnings)
        std::fprintf(out, "%s:%d: warning: %s\n", w.file.c_str(), w.line, w.text.c_str());
}

int check_command(int count, char** paths) {
    int status = 0;
    for (int i = 0; i < count; i++) {
        const KsyCheck check = check_ksy(paths[i]);
        print_ksy_warnings(check, stdout);
        if (check.would_not_load) status = 2;
        else if (!check.warnings.empty() && status == 0) status = 1;
        if (check.warnings.empty()) std::printf("%s: no warnings\n", paths[i]);
    }
    return status;
}
