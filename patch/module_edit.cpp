#include "patch/module_edit.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

#include "patch/ksy_save.h"
#include "synth/block.h"
#include "synth/generator.h"

namespace {

// Calls f(list, count) with the list of g that modules of type t live in;
// false for a type with no list.
template <class F>
bool with_list(GENERATOR& g, TypeWord t, F&& f) {
    switch (t) {
        case TW_SEQUENCER: f(g.sequencers, g.nb_sequencers); return true;
        case TW_PCF: f(g.pcfs, g.nb_pcfs); return true;
        case TW_KEY: f(g.keyboards, g.nb_keyboards); return true;
        case TW_SAMPLER: f(g.samplers, g.nb_samplers); return true;
        case TW_GENERATOR: f(g.generators, g.nb_generators); return true;
        case TW_VCO: f(g.vcos, g.nb_vcos); return true;
        case TW_VCA: f(g.vcas, g.nb_vcas); return true;
        case TW_VARIABLE: f(g.variables, g.nb_variables); return true;
        case TW_BASIC_OPERATION: f(g.operations, g.nb_operations); return true;
        case TW_CONSTANTE: f(g.constantes, g.nb_constantes); return true;
        case TW_AFFICHAGE: f(g.values, g.nb_values); return true;
        case TW_SOUND_OUT: f(g.sound_outputs, g.nb_sound_outputs); return true;
        case TW_MIXER: f(g.mixers, g.nb_mixers); return true;
        default: return false;
    }
}

// Calls f(typed module pointer) for m.
template <class F>
void with_module(MODULE_REF m, F&& f) {
    if (!m.valid()) return;
    switch (m.type) {
        case TW_SEQUENCER: f(static_cast<SEQUENCER*>(m.module)); break;
        case TW_PCF: f(static_cast<PCF*>(m.module)); break;
        case TW_KEY: f(static_cast<KEYBOARD*>(m.module)); break;
        case TW_SAMPLER: f(static_cast<SAMPLER*>(m.module)); break;
        case TW_GENERATOR: f(static_cast<GENERATOR*>(m.module)); break;
        case TW_VCO: f(static_cast<VCO*>(m.module)); break;
        case TW_VCA: f(static_cast<VCA*>(m.module)); break;
        case TW_VARIABLE: f(static_cast<VARIABLE*>(m.module)); break;
        case TW_BASIC_OPERATION: f(static_cast<BASIC_OPERATION*>(m.module)); break;
        case TW_CONSTANTE: f(static_cast<CONSTANTE*>(m.module)); break;
        case TW_AFFICHAGE: f(static_cast<VALEUR*>(m.module)); break;
        case TW_SOUND_OUT: f(static_cast<SOUND_OUTPUT*>(m.module)); break;
        case TW_MIXER: f(static_cast<MIXER*>(m.module)); break;
        default: break;
    }
}

/// The words other modules read of m: value, gate and pulse (null when it has none).
struct OUTPUT_WORDS {
    const float* value = nullptr;
    const int* gate = nullptr;
    const int* pulse = nullptr;
};

OUTPUT_WORDS words_of(MODULE_REF m) {
    OUTPUT_WORDS w;
    with_module(m, [&](auto* p) {
        using T = std::remove_pointer_t<decltype(p)>;
        if constexpr (std::is_base_of<OUTPUT, T>::value) w.value = &static_cast<OUTPUT*>(p)->value;
        if constexpr (std::is_base_of<OUTPUT_GATE, T>::value) w.gate = &static_cast<OUTPUT_GATE*>(p)->gate;
        if constexpr (std::is_base_of<OUTPUT_SYNC, T>::value) w.pulse = &static_cast<OUTPUT_SYNC*>(p)->pulse;
    });
    return w;
}

const char* const VCO_KEYS[] = {"IN",       "GATE",      "SYNC",    "MOD_FREQ", "MOD_PHASE", "MOD_AMP",
                                "MOD_PWM",  "ALT_FREQ",  "ALT_PHASE", "ALT_AMP", "ALT_PWM"};
const char* const SHAPER_KEYS[] = {"IN", "GATE", "SYNC", "MOD_FREQ", "MOD_PHASE", "MOD_AMP"};
const char* const VCA_KEYS[] = {"IN", "GATE"};
const char* const OPERATION_KEYS[] = {"IN1", "IN2", "IN_IF"};
const char* const VARIABLE_KEYS[] = {"IN", "IN_ASSIGN"};

template <class M, std::size_t N>
void keyed_ports(M* m, const char* const (&keys)[N], std::vector<INPUT_PORT>& out) {
    for (const char* k : keys) out.push_back(input_port(m, k));
}

/// Every input port of one module.
void ports_of(MODULE_REF m, std::vector<INPUT_PORT>& out) {
    switch (m.type) {
        case TW_VCO: keyed_ports(static_cast<VCO*>(m.module), VCO_KEYS, out); break;
        case TW_SAMPLER: keyed_ports(static_cast<SAMPLER*>(m.module), SHAPER_KEYS, out); break;
        case TW_PCF: keyed_ports(static_cast<PCF*>(m.module), SHAPER_KEYS, out); break;
        case TW_VCA: keyed_ports(static_cast<VCA*>(m.module), VCA_KEYS, out); break;
        case TW_SEQUENCER: out.push_back(input_port(static_cast<SEQUENCER*>(m.module), "SYNC")); break;
        case TW_BASIC_OPERATION:
            keyed_ports(static_cast<BASIC_OPERATION*>(m.module), OPERATION_KEYS, out);
            break;
        case TW_AFFICHAGE: out.push_back(input_port(static_cast<VALEUR*>(m.module), "IN")); break;
        case TW_SOUND_OUT: out.push_back(input_port(static_cast<SOUND_OUTPUT*>(m.module), "IN")); break;
        case TW_VARIABLE: keyed_ports(static_cast<VARIABLE*>(m.module), VARIABLE_KEYS, out); break;
        case TW_MIXER:
            for (int c = 0; c < MIXER_CHANNELS; c++) out.push_back(channel_port(static_cast<MIXER*>(m.module), c));
            break;
        case TW_GENERATOR: {
            // A sub-patch hands its three inputs to its first sound input.
            auto* g = static_cast<GENERATOR*>(m.module);
            INPUT_PORT value, gate, sync;
            value.direct = g;
            gate.gate = g;
            sync.sync = g;
            out.push_back(value);
            out.push_back(gate);
            out.push_back(sync);
            break;
        }
        default: break;
    }
}

bool reads(const INPUT_PORT& p, const OUTPUT_WORDS& w) {
    if (p.direct != nullptr) return w.value != nullptr && p.direct->source == w.value;
    if (p.owned != nullptr) return w.value != nullptr && *p.owned != nullptr && (*p.owned)->source == w.value;
    if (p.gate != nullptr) return w.gate != nullptr && p.gate->gate_source == w.gate;
    if (p.sync != nullptr) return w.pulse != nullptr && p.sync->sync_source == w.pulse;
    return false;
}

/// The list of g with m put in at index (made here: the edit only swaps it in).
template <class T>
std::vector<T*> with_inserted(const std::vector<T*>& list, T* m, int index) {
    std::vector<T*> fresh;
    fresh.reserve(list.size() + 1);
    fresh = list;
    if (index < 0) index = 0;
    if (index > (int)fresh.size()) index = (int)fresh.size();
    fresh.insert(fresh.begin() + index, m);
    return fresh;
}

constexpr TypeWord LOADER_TYPES[] = {TW_SEQUENCER,       TW_KEY,        TW_VCO,        TW_SAMPLER,  TW_VCA,
                                     TW_PCF,             TW_MIXER,      TW_SOUND_OUT,  TW_VARIABLE,
                                     TW_BASIC_OPERATION, TW_CONSTANTE,  TW_AFFICHAGE,  TW_GENERATOR};

}  // namespace

char* module_name(MODULE_REF m) {
    char* n = nullptr;
    with_module(m, [&](auto* p) { n = p->name; });
    return n;
}

std::size_t module_name_size(MODULE_REF m) {
    std::size_t n = 0;
    with_module(m, [&](auto* p) { n = sizeof p->name; });
    return n;
}

std::string module_line(MODULE_REF m) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* f = open_memstream(&text, &size);
    if (f == nullptr) return {};
    with_module(m, [&](auto* p) { write_desc_to_file(f, *p); });
    std::fclose(f);
    std::string line(text != nullptr ? text : "", size);
    std::free(text);
    return line;
}

void delete_module(MODULE_REF m) {
    // Each type is deleted as itself: the modules have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"
    with_module(m, [](auto* p) { delete p; });
#pragma GCC diagnostic pop
}

int module_index(GENERATOR& g, MODULE_REF m) {
    int at = -1;
    with_list(g, m.type, [&](auto& list, int&) {
        for (std::size_t i = 0; i < list.size(); i++)
            if ((void*)list[i] == m.module) at = (int)i;
    });
    return at;
}

std::vector<MODULE_REF> patch_modules(GENERATOR& g) {
    std::vector<MODULE_REF> all;
    for (TypeWord t : LOADER_TYPES)
        with_list(g, t, [&](auto& list, int&) {
            for (auto* m : list) all.push_back(MODULE_REF{t, m});
        });
    return all;
}

MODULE_REF find_module(GENERATOR& g, const char* name) {
    if (name == nullptr) return {};
    for (MODULE_REF m : patch_modules(g))
        if (std::strcmp(module_name(m), name) == 0) return m;
    return {};
}

bool insert_module(GENERATOR& g, MODULE_REF m, int index) {
    if (!m.valid() || module_index(g, m) >= 0) return false;
    if (m.type == TW_GENERATOR) static_cast<GENERATOR*>(m.module)->set_parent(&g);
    std::unique_ptr<BLOCK_PLAN> plan = g.new_block_plan();
    return with_list(g, m.type, [&](auto& list, int& count) {
        using T = std::remove_pointer_t<typename std::remove_reference_t<decltype(list)>::value_type>;
        auto fresh = with_inserted<T>(list, static_cast<T*>(m.module), index);
        g.edit([&](GENERATOR& e) {
            list.swap(fresh);
            count = (int)list.size();
            e.swap_block_plan(plan);
        });
        // fresh now holds the old storage and plan the old plan: both freed here.
    });
}

namespace {

bool take_out(GENERATOR& g, MODULE_REF m, const std::vector<PORT_STATE>& inputs, int* index_out) {
    const int index = module_index(g, m);
    if (index < 0) return false;
    if (index_out != nullptr) *index_out = index;
    std::unique_ptr<BLOCK_PLAN> plan = g.new_block_plan();
    with_list(g, m.type, [&](auto& list, int& count) {
        auto fresh = list;
        fresh.erase(fresh.begin() + index);
        g.edit([&](GENERATOR& e) {
            for (const PORT_STATE& s : inputs) unlink_port(s.port);
            list.swap(fresh);
            count = (int)list.size();
            e.swap_block_plan(plan);
        });
    });
    return true;
}

}  // namespace

bool remove_module(GENERATOR& g, MODULE_REF m, MODULE_REMOVAL* removal) {
    if (!m.valid() || module_index(g, m) < 0) return false;
    MODULE_REMOVAL r;
    r.module = m;
    const OUTPUT_WORDS words = words_of(m);
    std::vector<INPUT_PORT> ports;
    for (MODULE_REF other : patch_modules(g))
        if (!(other == m)) ports_of(other, ports);
    for (const INPUT_PORT& p : ports) {
        if (!p.valid() || !reads(p, words)) continue;
        // A mixer channel beyond the ones summed is not heard: leave it as it is.
        if (p.mixer != nullptr && p.channel >= p.mixer->channel_count) continue;
        PORT_STATE s{p, port_words(p), {}};
        s.after = s.before;
        if (p.direct != nullptr) s.after.source = nullptr;
        if (p.owned != nullptr) s.after.owned = nullptr;
        if (p.gate != nullptr || p.sync != nullptr) s.after.word = nullptr;
        r.inputs.push_back(s);
    }
    take_out(g, m, r.inputs, &r.index);
    if (removal != nullptr) *removal = std::move(r);
    return true;
}

bool restore_module(GENERATOR& g, const MODULE_REMOVAL& r) {
    const MODULE_REF m = r.module;
    if (!m.valid() || module_index(g, m) >= 0) return false;
    if (m.type == TW_GENERATOR) static_cast<GENERATOR*>(m.module)->set_parent(&g);
    std::unique_ptr<BLOCK_PLAN> plan = g.new_block_plan();
    return with_list(g, m.type, [&](auto& list, int& count) {
        using T = std::remove_pointer_t<typename std::remove_reference_t<decltype(list)>::value_type>;
        auto fresh = with_inserted<T>(list, static_cast<T*>(m.module), r.index);
        g.edit([&](GENERATOR& e) {
            list.swap(fresh);
            count = (int)list.size();
            // The module is in before anything reads it again.
            for (const PORT_STATE& s : r.inputs) restore_port(s.port, s.before);
            e.swap_block_plan(plan);
        });
    });
}

std::string unique_module_name(GENERATOR& g, TypeWord t) {
    for (int n = 1;; n++) {
        char name[64];
        std::snprintf(name, sizeof name, "%s_%d", type_word_text(t), n);
        if (!find_module(g, name).valid()) return name;
    }
}

const char* rename_refusal(GENERATOR& g, MODULE_REF m, const char* new_name) {
    if (new_name == nullptr || new_name[0] == '\0') return "a module needs a name";
    for (const char* c = new_name; *c != '\0'; c++)
        if (*c == ' ' || *c == '\t' || *c == ';' || *c == '=' || (unsigned char)*c < 32)
            return "a name holds no blank, ';' or '='";
    if (std::strlen(new_name) + 1 > module_name_size(m) || std::strlen(new_name) > 79) return "the name is too long";
    if (type_of_name(new_name) != m.type)
        return "the name must keep the type word of its module, and only that one";
    const MODULE_REF same = find_module(g, new_name);
    if (same.valid() && !(same == m)) return "another module has that name";
    return nullptr;
}

namespace {

/// Names the module of g whose words an input reads.
class NAMES : public KSY_SOURCES {
public:
    explicit NAMES(GENERATOR& g) : all_(patch_modules(g)) {}
    const char* value_source(INPUT* in) override {
        return in == nullptr ? nullptr : find([&](const OUTPUT_WORDS& w) { return w.value == in->source; });
    }
    const char* gate_source(INPUT_GATE* in) override {
        return in == nullptr ? nullptr : find([&](const OUTPUT_WORDS& w) { return w.gate == in->gate_source; });
    }
    const char* sync_source(INPUT_SYNC* in) override {
        return in == nullptr ? nullptr : find([&](const OUTPUT_WORDS& w) { return w.pulse == in->sync_source; });
    }

private:
    template <class F>
    const char* find(F same) {
        for (MODULE_REF m : all_) {
            const OUTPUT_WORDS w = words_of(m);
            if ((w.value != nullptr || w.gate != nullptr || w.pulse != nullptr) && same(w)) return module_name(m);
        }
        return nullptr;
    }
    std::vector<MODULE_REF> all_;
};

template <class T>
auto links_of(std::FILE* f, T* m, KSY_SOURCES& s, int) -> decltype(write_links(f, *m, s)) {
    return write_links(f, *m, s);
}
template <class T>
void links_of(std::FILE*, T*, KSY_SOURCES&, long) {}

}  // namespace

std::function<void(std::FILE*)> links_by_names(GENERATOR& g) {
    return [&g](std::FILE* f) {
        NAMES names(g);
        std::vector<MODULE_REF> all = patch_modules(g);
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            with_module(*it, [&](auto* p) { links_of(f, p, names, 0); });
    };
}

std::string patch_text(GENERATOR& g) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* f = open_memstream(&text, &size);
    if (f == nullptr) return {};
    std::fprintf(f, "BEGIN_OBJECTS_DECLARE\n");
    std::vector<MODULE_REF> all = patch_modules(g);
    for (auto it = all.rbegin(); it != all.rend(); ++it) std::fputs(module_line(*it).c_str(), f);
    std::fprintf(f, "END_OBJECTS_DECLARE\nBEGIN_LINKS_DECLARE\n");
    links_by_names(g)(f);
    std::fprintf(f, "END_LINKS_DECLARE\n");
    std::fclose(f);
    std::string s(text != nullptr ? text : "", size);
    std::free(text);
    return s;
}
