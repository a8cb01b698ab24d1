// Saving a patch file: module lines, link lines, new pattern files, the name
// prompt and the replace-when-complete write.
#include "patch/ksy_save.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "patch/ksy_reader.h"
#include "patch/type_words.h"
#include "synth/generator.h"
#include "synth/names.h"
#include "synth/news.h"

namespace {

// ---------------------------------------------------------------- numbers

/// Same float, bit for bit (every NaN counts as the same).
bool same(float a, float b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

/// A field "KEY=value;" with a real value.
void real_field(std::FILE* f, const char* key, float v) {
    char text[48];
    std::fprintf(f, "%s=%s;", key, ksy_number(v, text, sizeof text));
}

void int_field(std::FILE* f, const char* key, int v) { std::fprintf(f, "%s=%d;", key, v); }

/// Settings older files never held: written only when they differ from what
/// loading the line without them gives.
void real_if_set(std::FILE* f, const char* key, float v, float unset) {
    if (!same(v, unset)) real_field(f, key, v);
}
/// True when the field was written.
bool int_if_set(std::FILE* f, const char* key, int v, int unset) {
    if (v != unset) int_field(f, key, v);
    return v != unset;
}

// ---------------------------------------------------------------- what a file can hold

/// A name or path a patch file can hold: one token, cut neither at ";" nor at "=".
bool storable(const char* text) {
    if (text == nullptr || text[0] == '\0' || text[0] == '#') return false;
    for (const char* c = text; *c != '\0'; c++)
        if (std::isspace(static_cast<unsigned char>(*c)) || std::iscntrl(static_cast<unsigned char>(*c)) ||
            *c == ';' || *c == '=')
            return false;
    return true;
}

template <class T>
int count_of(const std::vector<T*>& list, int count) {
    return std::min<int>(count, static_cast<int>(list.size()));
}

/// Calls fn for the modules of a list that the patch steps, oldest first (the
/// back of the list): loading inserts each at the front, which puts them back
/// in this order.
template <class T, class F>
void oldest_first(const std::vector<T*>& list, int count, F fn) {
    for (int i = count_of(list, count) - 1; i >= 0; i--) fn(*list[i]);
}

/// Checks what the file must hold before anything is written. False after a message.
bool storable_patch(const GENERATOR& g) {
    bool ok = true;
    auto name = [&](const char* n) {
        if (!storable(n)) {
            std::printf("Module name [%s] cannot be stored in a patch file (a blank, ';' or '='): not saved\n", n);
            ok = false;
        } else if (modules_made_by(n) > 1) {
            std::printf("Module name [%s] holds the words of several module types: loaded again, its line"
                        " makes a module of each\n", n);
        }
    };
    auto names = [&](const auto& list, int count) { oldest_first(list, count, [&](const auto& m) { name(m.name); }); };
    names(g.vcos, g.nb_vcos);
    names(g.vcas, g.nb_vcas);
    names(g.mixers, g.nb_mixers);
    names(g.sequencers, g.nb_sequencers);
    names(g.pcfs, g.nb_pcfs);
    names(g.keyboards, g.nb_keyboards);
    names(g.samplers, g.nb_samplers);
    names(g.constantes, g.nb_constantes);
    names(g.operations, g.nb_operations);
    names(g.variables, g.nb_variables);
    names(g.values, g.nb_values);
    names(g.sound_outputs, g.nb_sound_outputs);
    names(g.generators, g.nb_generators);
    // A sample that does not load ends the program that loads the patch.
    oldest_first(g.samplers, g.nb_samplers, [&](const SAMPLER& s) {
        std::FILE* in = storable(s.file_name) ? std::fopen(s.file_name, "rb") : nullptr;
        if (in != nullptr) {
            std::fclose(in);
            return;
        }
        std::printf("Sample file [%s] of [%s] cannot be read back: not saved\n", s.file_name, s.name);
        ok = false;
    });
    oldest_first(g.generators, g.nb_generators, [&](const GENERATOR& sub) {
        if (sub.file_name[0] == '\0' || storable(sub.file_name)) return;
        std::printf("Sub-patch file [%s] of [%s] cannot be stored in a patch file: not saved\n", sub.file_name,
                    sub.name);
        ok = false;
    });
    return ok;
}

// ---------------------------------------------------------------- new pattern files

/// A pattern file made by this save, with what its sequencer held before.
struct MADE_PATTERN {
    SEQUENCER* sequencer;
    std::string path;
    std::string previous_name;
    std::uint64_t previous_signature;
};

/// The pattern files one save made, removed again unless the save completes.
class PATTERN_FILES {
public:
    ~PATTERN_FILES() {
        if (!kept) undo();
    }
    /// Gives every sequencer whose grid no pattern file holds (or whose file
    /// name a patch file cannot hold) a new pattern file. False after a message.
    bool prepare(GENERATOR& g);
    void keep() { kept = true; }

private:
    void undo();
    bool make(SEQUENCER& s);
    std::vector<MADE_PATTERN> made;
    bool kept = false;
};

/// Numbers for new pattern file names. Not the synthesizer's shared generator:
/// the noise oscillators draw from that one on the audio thread.
unsigned pattern_number() {
    static std::mt19937 numbers(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ (static_cast<long long>(getpid()) << 20)));
    return std::uniform_int_distribution<unsigned>(0, 1599999)(numbers);
}

bool PATTERN_FILES::make(SEQUENCER& s) {
    if (mkdir(PATTERN_FILE_DIR, 0755) != 0 && errno != EEXIST) {
        news("Cannot make the folder [%s] for the pattern of [%s]: %s\n", PATTERN_FILE_DIR, s.name,
                    std::strerror(errno));
        return false;
    }
    // Created exclusively: a new pattern file never replaces another patch's.
    for (int attempt = 0; attempt < 1000; attempt++) {
        char path[64];
        std::snprintf(path, sizeof path, "%s/%u.PAR", PATTERN_FILE_DIR, pattern_number());
        const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) {
            news("Cannot create the pattern file [%s] of [%s]: %s\n", path, s.name, std::strerror(errno));
            return false;
        }
        close(fd);
        MADE_PATTERN m{&s, path, s.partition_file_name, s.partition_signature};
        if (s.save_partition(path) != 1) {
            news("Cannot write the pattern file [%s] of [%s]\n", path, s.name);
            unlink(path);
            return false;
        }
        made.push_back(m);
        return true;
    }
    news("No free pattern file name in [%s] for [%s]\n", PATTERN_FILE_DIR, s.name);
    return false;
}

bool PATTERN_FILES::prepare(GENERATOR& g) {
    for (int i = count_of(g.sequencers, g.nb_sequencers) - 1; i >= 0; i--) {
        SEQUENCER& s = *g.sequencers[i];
        // The file the sequencer names may be shared with other patches: an
        // edited grid goes to a new file, the old one stays as it is.
        if (!s.grid_edited() && storable(s.partition_file_name)) continue;
        if (!make(s)) return false;
    }
    return true;
}

void PATTERN_FILES::undo() {
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
        unlink(it->path.c_str());
        copy_name(it->sequencer->partition_file_name, it->previous_name.c_str());
        it->sequencer->partition_signature = it->previous_signature;
    }
    made.clear();
}

/// The objects section, every list oldest first.
void write_objects(std::FILE* f, GENERATOR& g) {
    std::fprintf(f, "BEGIN_OBJECTS_DECLARE\n\n");
    auto lines = [f](const auto& list, int count) {
        oldest_first(list, count, [f](const auto& m) { write_desc_to_file(f, m); });
    };
    lines(g.vcos, g.nb_vcos);
    lines(g.vcas, g.nb_vcas);
    lines(g.mixers, g.nb_mixers);
    lines(g.sequencers, g.nb_sequencers);
    lines(g.pcfs, g.nb_pcfs);
    lines(g.keyboards, g.nb_keyboards);
    lines(g.samplers, g.nb_samplers);
    lines(g.constantes, g.nb_constantes);
    lines(g.operations, g.nb_operations);
    lines(g.variables, g.nb_variables);
    lines(g.values, g.nb_values);
    lines(g.sound_outputs, g.nb_sound_outputs);
    lines(g.generators, g.nb_generators);
    std::fprintf(f, "END_OBJECTS_DECLARE\n\n");
}

// ---------------------------------------------------------------- link lines

/// One link line, written only when it holds at least one field.
class LINK_LINE {
public:
    LINK_LINE(const char* name, KSY_SOURCES& s) : target(name), sources(s) {}
    void value(const char* key, INPUT* in) {
        if (in != nullptr && in->source != nullptr) add(key, sources.value_source(in));
    }
    void gate(const char* key, INPUT_GATE* in) {
        if (in->gate_source != nullptr) add(key, sources.gate_source(in));
    }
    void sync(const char* key, INPUT_SYNC* in) {
        if (in->sync_source != nullptr) add(key, sources.sync_source(in));
    }
    /// A field whose value is not a source.
    void mark(const char* key) { fields += std::string(key) + "=-;"; }
    void write(std::FILE* f) const {
        if (!fields.empty()) std::fprintf(f, "%s;%s\n", target, fields.c_str());
    }
    /// Adds KEY=source; false (after a message) when the source has no name.
    bool add(const char* key, const char* source) {
        if (source == nullptr) {
            std::printf("The source of %s of [%s] has no name: that link is not saved\n", key, target);
            return false;
        }
        fields += std::string(key) + "=" + source + ";";
        return true;
    }

private:
    const char* target;
    KSY_SOURCES& sources;
    std::string fields;
};

/// The extra inputs an oscillator or sampler line writes, in file order.
void oscillator_inputs(LINK_LINE& l, VCO& m, bool every) {
    l.value("IN", &m);
    l.value("MOD_AMP", m.MOD_AMP);
    l.value("MOD_FREQ", m.MOD_FREQ);
    l.value("MOD_PHASE", m.MOD_PHASE);
    if (!every) return;
    l.value("MOD_PWM", m.MOD_PWM);
    l.value("ALT_AMP", m.ALT_AMP);
    l.value("ALT_FREQ", m.ALT_FREQ);
    l.value("ALT_PHASE", m.ALT_PHASE);
    l.value("ALT_PWM", m.ALT_PWM);
}

// ---------------------------------------------------------------- the name prompt

bool ends_with_extension(const std::string& name) {
    return name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".ksy") == 0;
}

/// Why a typed name cannot name a patch file; null when it can.
const char* refusal(const std::string& name) {
    if (name.find('/') != std::string::npos || name.find("..") != std::string::npos)
        return "a patch is saved in KSY/ itself: no '/' and no \"..\"";
    if (name[0] == '.') return "a name starting with '.' would be hidden";
    for (char c : name)
        if (std::isspace(static_cast<unsigned char>(c)) || std::iscntrl(static_cast<unsigned char>(c)) || c == ';' ||
            c == '=')
            return "a patch file name holds no blank, ';', '=' or control character";
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------- numbers

const char* ksy_number(float v, char* out, std::size_t size) {
    // Whole numbers as integers, so that readers taking an integer read them too.
    if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 1e15f) {
        std::snprintf(out, size, "%.0f", static_cast<double>(v));
        if (same(ksy_real(out), v)) return out;
    }
    for (int digits = 1; digits < 9; digits++) {
        std::snprintf(out, size, "%.*g", digits, static_cast<double>(v));
        if (same(ksy_real(out), v)) return out;
    }
    std::snprintf(out, size, "%.9g", static_cast<double>(v));  // nine digits always come back
    return out;
}

// ---------------------------------------------------------------- module lines

void write_desc_to_file(std::FILE* f, const VCO& m) {
    // Readers swap 7 and 8 (the chaotic sources were renumbered after files
    // existed): the swap written here is undone by the reader.
    const int type = m.TYPE;
    const int written_type = type == 7 ? 8 : type == 8 ? 7 : type;
    std::fprintf(f, "%s;", m.name);
    int_field(f, "TYPE", written_type);
    real_field(f, "FREQ", m.FREQ);
    real_field(f, "AMOUNT", m.AMOUNT);
    real_field(f, "PHASE", m.PHASE);
    real_if_set(f, "PWM", m.PWM, 0.1f);
    int_if_set(f, "POWER", m.POWER, 1);
    // TYPE is read from its first character only.
    if (m.TYPE < 1 || m.TYPE > 9) int_field(f, "WAVEFORM", m.TYPE);
    std::fprintf(f, "\n");
}

void write_desc_to_file(std::FILE* f, const VCA& m) {
    std::fprintf(f, "%s;", m.name);
    int_field(f, "BYPASS", m.BYPASS);
    real_field(f, "ATTACK", m.ATTACK);
    real_field(f, "DECAY", m.DECAY);
    real_field(f, "SUSTAIN", m.SUSTAIN);
    real_field(f, "RELEASE", m.RELEASE);
    int_field(f, "INVERT", m.INVERT);
    int_if_set(f, "POWER", m.POWER, 1);
    std::fprintf(f, "\n");
}

void write_desc_to_file(std::FILE* f, const PCF& m) {
    std::fprintf(f, "%s;", m.name);
    int_field(f, "HICUT", m.HICUT);
    real_field(f, "Q", m.Q);
    real_field(f, "GAIN", m.GAIN);
    // GAIN also sets the amount (its integer part / 10): the real one follows.
    real_field(f, "AMOUNT", m.LEVEL);
    int_field(f, "TYPE", m.TYPE);
    int_field(f, "BYPASS", m.BYPASS);
    int_if_set(f, "POWER", m.enabled, 1);
    std::fprintf(f, "\n");
}

void write_desc_to_file(std::FILE* f, const MIXER& m) {
    std::fprintf(f, "%s;", m.name);
    char key[16];
    for (int j = 0; j < MIXER_CHANNELS; j++) {
        std::snprintf(key, sizeof key, "V_%02d", j);
        real_field(f, key, m.level[j]);
    }
    for (int j = 0; j < MIXER_CHANNELS; j++) {
        std::snprintf(key, sizeof key, "MUTE_%02d", j);
        real_if_set(f, key, m.mute[j], 0.0f);
    }
    int_if_set(f, "POWER", m.enabled, 1);
    std::fprintf(f, "\n");
}

void write_desc_to_file(std::FILE* f, const SEQUENCER& m) {
    std::fprintf(f, "%s;PARTITION_FILE_NAME=%s;", m.name, m.partition_file_name);
    int_if_set(f, "WISHED_PATTERN", m.wished_pattern, 0);
    // Loading the pattern file sets the wished divider to pattern 0's.
    real_if_set(f, "WISHED_DIV", m.wished_divider, m.divider[0]);
    int_if_set(f, "POWER", m.running, 1);
    std::fprintf(f, "\n");
}

void write_desc_to_file(std::FILE* f, const KEYBOARD& m) {
    std::fprintf(f, "%s;", m.name);
    bool any = int_if_set(f, "NOTE", m.note, 1);
    any = int_if_set(f, "OCTAVE", m.octave, 4) || any;
    any = int_if_set(f, "POWER", m.on, 1) || any;
    // A line needs two ";": "NAME;;" when it has no field.
    std::fprintf(f, any ? "\n" : ";\n");
}

void write_desc_to_file(std::FILE* f, const SAMPLER& m) {
    // Loading the file resets the mode: the settings follow it.
    std::fprintf(f, "%s;FILE=%s;", m.name, m.file_name);
    int_if_set(f, "MODE", m.mode, SMP_FORWARD);
    real_if_set(f, "PITCH", m.pitch, 1.0f);
    real_if_set(f, "AMPLITUDE", m.amplitude, 1.0f);
    real_if_set(f, "PHASE", m.phase, 0.0f);
    int_if_set(f, "POWER", m.POWER, 1);
    std::fprintf(f, "\n");
}

void write_desc_to_file(std::FILE* f, const CONSTANTE& m) {
    std::fprintf(f, "%s;", m.name);
    real_field(f, "VALUE", m.VALUE);
    std::fprintf(f, "\n");
}

void write_desc_to_file(std::FILE* f, const BASIC_OPERATION& m) { std::fprintf(f, "%s;TYPE=%d;\n", m.name, m.operation.load()); }
void write_desc_to_file(std::FILE* f, const VARIABLE& m) { std::fprintf(f, "%s;;\n", m.name); }
void write_desc_to_file(std::FILE* f, const VALEUR& m) { std::fprintf(f, "%s;;\n", m.name); }
void write_desc_to_file(std::FILE* f, const SOUND_OUTPUT& m) { std::fprintf(f, "%s;;\n", m.name); }

void write_desc_to_file(std::FILE* f, const GENERATOR& m) {
    // Without a file the sub-patch is empty, and comes back empty. Its line
    // needs a field that is no key: an empty one ends the loading program.
    if (m.file_name[0] == '\0')
        std::fprintf(f, "%s;-;\n", m.name);
    else
        std::fprintf(f, "%s;FILE=%s;\n", m.name, m.file_name);
}

int GENERATOR::save_KSY(std::FILE* file) {
    PATTERN_FILES patterns;
    if (!patterns.prepare(*this)) return 0;
    patterns.keep();
    write_objects(file, *this);
    return 1;
}

// ---------------------------------------------------------------- link lines

void write_links(std::FILE* f, VCO& m, KSY_SOURCES& s) {
    LINK_LINE l(m.name, s);
    oscillator_inputs(l, m, true);
    l.gate("GATE", &m);
    l.sync("SYNC", &m);
    l.write(f);
}

void write_links(std::FILE* f, SAMPLER& m, KSY_SOURCES& s) {
    LINK_LINE l(m.name, s);
    oscillator_inputs(l, m, false);
    l.gate("GATE", &m);
    l.sync("SYNC", &m);
    l.write(f);
}

void write_links(std::FILE* f, VCA& m, KSY_SOURCES& s) {
    LINK_LINE l(m.name, s);
    l.value("IN", &m);
    l.gate("GATE", &m);
    l.write(f);
}

void write_links(std::FILE* f, PCF& m, KSY_SOURCES& s) {
    LINK_LINE l(m.name, s);
    l.value("IN", &m);
    l.value("MOD_AMP", m.MOD_AMP);
    l.value("MOD_FREQ", m.MOD_FREQ);
    l.value("MOD_PHASE", m.MOD_PHASE);
    l.gate("GATE", &m);
    l.sync("SYNC", &m);
    l.write(f);
}

void write_links(std::FILE* f, MIXER& m, KSY_SOURCES& s) {
    LINK_LINE l(m.name, s);
    const int channels = std::min(m.channel_count, MIXER_CHANNELS);
    for (int j = 0; j < channels; j++) {
        // Every channel keeps its place, so that each level stays with its source.
        INPUT* in = &m.input[j];
        if (in->source == nullptr || !l.add("ADD_CHANELL", s.value_source(in))) l.mark("EMPTY_CHANELL");
    }
    l.write(f);
}

void write_links(std::FILE* f, BASIC_OPERATION& m, KSY_SOURCES& s) {
    LINK_LINE l(m.name, s);
    l.value("IN1", m.IN1);
    l.value("IN2", m.IN2);
    l.value("IN_IF", m.IN_IF);
    l.write(f);
}

void write_links(std::FILE* f, VARIABLE& m, KSY_SOURCES& s) {
    LINK_LINE l(m.name, s);
    l.value("IN", &m);
    l.value("IN_ASSIGN", m.IN_ASSIGN);
    l.write(f);
}

void write_links(std::FILE* f, VALEUR& m, KSY_SOURCES& s) {
    LINK_LINE l(m.name, s);
    l.value("IN", &m);
    l.write(f);
}

void write_links(std::FILE* f, SOUND_OUTPUT& m, KSY_SOURCES& s) {
    LINK_LINE l(m.name, s);
    l.value("IN", m.IN);
    l.write(f);
}

void write_links(std::FILE* f, SEQUENCER& m, KSY_SOURCES& s) {
    LINK_LINE l(m.name, s);
    l.sync("SYNC", &m);
    l.write(f);
}

// ---------------------------------------------------------------- files

namespace {

/// The folder part of path ("." when it has none).
std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// The permissions the saved file takes: the replaced file's, else rw-r--r--.
mode_t mode_for(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode) ? (st.st_mode & 07777) : 0644;
}

bool write_patch(std::FILE* f, GENERATOR& g, const KSY_LINKS_WRITER& links) {
    std::fprintf(f, "%s\n", KSY_FORMAT_MARKER);
    write_objects(f, g);
    std::fprintf(f, "BEGIN_LINKS_DECLARE\n");
    if (links) links(f);
    // A line no reader takes (OUTPUT_1 holds no type word); files always ended so.
    std::fprintf(f, "\nOUTPUT_1;MIXER_4;\n");
    std::fprintf(f, "END_LINKS_DECLARE\n");
    return std::ferror(f) == 0;
}

}  // namespace

int save_ksy_file(const char* path, GENERATOR& g, const KSY_LINKS_WRITER& links, bool quiet) {
    if (path == nullptr || path[0] == '\0') {
        news("No file to save to\n");
        return 0;
    }
    if (!storable_patch(g)) return 0;
    const std::string folder = folder_of(path);
    const std::string target = path;
    std::string temp = folder + "/." + target.substr(target.rfind('/') + 1) + ".XXXXXX";
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) {
        news("Cannot write in [%s/]: %s. Nothing saved\n", folder.c_str(), std::strerror(errno));
        return 0;
    }
    std::FILE* f = fdopen(fd, "w");
    if (f == nullptr) {
        news("Cannot write [%s]: %s. Nothing saved\n", temp.c_str(), std::strerror(errno));
        close(fd);
        unlink(temp.c_str());
        return 0;
    }
    PATTERN_FILES patterns;
    bool ok = patterns.prepare(g);
    if (ok) {
        ok = write_patch(f, g, links) && std::fflush(f) == 0 && fchmod(fd, mode_for(path)) == 0 && fsync(fd) == 0;
        if (!ok) news("Cannot write [%s]: %s. Nothing saved\n", temp.c_str(), std::strerror(errno));
    }
    if (std::fclose(f) != 0 && ok) {
        news("Cannot write [%s]: %s. Nothing saved\n", temp.c_str(), std::strerror(errno));
        ok = false;
    }
    if (ok && std::rename(temp.c_str(), path) != 0) {
        news("Cannot replace [%s]: %s. Nothing saved\n", path, std::strerror(errno));
        ok = false;
    }
    if (!ok) {
        unlink(temp.c_str());
        return 0;
    }
    patterns.keep();
    // The rename itself reaches the disk with the folder.
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    if (!quiet) news("Saved [%s]\n", path);
    return 1;
}

int read_patch_name(std::FILE* in, char* path, std::size_t size) {
    if (size == 0) return 0;
    path[0] = '\0';
    std::clearerr(in);  // a terminal may be typed on again after an end of input
    std::string name;
    bool too_long = false, any = false;
    int c;
    // The whole line is consumed, so an over-long one leaves nothing for later.
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
        any = true;
        if (c == 27) {
            while ((c = std::fgetc(in)) != EOF && c != '\n') {
            }
            news("\nEscape: cancelled\n");
            return 0;
        }
        if (c == 8 || c == 127) {  // a terminal out of line mode sends the erasing keys
            if (!name.empty()) name.pop_back();
            continue;
        }
        if (name.size() < PATCH_NAME_MAX)
            name.push_back(static_cast<char>(c));
        else
            too_long = true;
    }
    if (c == EOF && !any) {
        news("\nNo file name (end of input): cancelled\n");
        return 0;
    }
    if (too_long) {
        news("File name longer than %zu characters: refused\n", PATCH_NAME_MAX);
        return 0;
    }
    return patch_name_path(name, path, size);
}

int patch_name_path(std::string name, char* path, std::size_t size) {
    if (size == 0) return 0;
    path[0] = '\0';
    if (name.size() > PATCH_NAME_MAX) {
        news("File name longer than %zu characters: refused\n", PATCH_NAME_MAX);
        return 0;
    }
    const std::size_t first = name.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        news("No file name: cancelled\n");
        return 0;
    }
    name = name.substr(first, name.find_last_not_of(" \t\r") - first + 1);
    if (const char* why = refusal(name)) {
        news("[%s] refused: %s\n", name.c_str(), why);
        return 0;
    }
    if (!ends_with_extension(name)) name += ".ksy";
    const std::string full = std::string(KSY_DIR) + "/" + name;
    if (name.size() > PATCH_NAME_MAX || full.size() >= size) {
        news("File name longer than %zu characters: refused\n", PATCH_NAME_MAX);
        return 0;
    }
    copy_name(path, size, full.c_str());
    return 1;
}

void list_patch_files() {
    DIR* d = opendir(KSY_DIR);
    if (d == nullptr) {
        std::printf("Cannot list [%s/]: %s\n", KSY_DIR, std::strerror(errno));
        return;
    }
    std::vector<std::string> names;
    while (const dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n[0] != '.' && ends_with_extension(n)) names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    std::printf("Patches in %s/:\n", KSY_DIR);
    // Side by side, as many as fit in 80 columns.
    std::size_t column = 0;
    for (const std::string& n : names) {
        const std::size_t width = std::max<std::size_t>(n.size() + 2, 20);
        if (column > 0 && column + width > 80) {
            std::printf("\n");
            column = 0;
        }
        std::printf("%-*s", static_cast<int>(width), n.c_str());
        column += width;
    }
    std::printf(names.empty() ? "(none)\n" : "\n");
}

int SAVE_KSY(GENERATOR& g, const KSY_LINKS_WRITER& links, std::FILE* in) {
    list_patch_files();
    std::printf("Save - Entrez le nom du fichier : ");
    std::fflush(stdout);
    char path[PATCH_NAME_MAX + 16];
    if (read_patch_name(in, path, sizeof path) == 0) return 0;
    return save_ksy_file(path, g, links);
}
