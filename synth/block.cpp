#include "synth/block.h"

#include <algorithm>
#include <cstring>

#include "synth/generator.h"

namespace {

// The lists of a patch, in the order the patch steps them.
enum Type {
    T_KEYBOARD, T_SEQUENCER, T_VCO, T_MIXER, T_SAMPLER, T_VCA, T_PCF, T_FORMANT, T_CONSTANTE,
    T_GENERATOR, T_VARIABLE, T_VALEUR, T_OPERATION, T_SFX, T_PHASER, T_SOUND_OUT,
};

// Upper bounds of what one module adds to the plan.
constexpr int MAX_SLOTS = MIXER_CHANNELS;
constexpr int MAX_WORDS = 3;

template <class T>
int stepped(const std::vector<T*>& list, int count) {
    return count < static_cast<int>(list.size()) ? count : static_cast<int>(list.size());
}

const void* load_pointer(const void* field) {
    const void* p;
    std::memcpy(&p, field, sizeof p);
    return p;
}

// Each list's stepped count and its storage, in the step order.
template <class F>
void for_each_list(const GENERATOR& g, F f) {
    auto each = [&](int type, const auto& list, int count) {
        f(type, stepped(list, count), static_cast<const void*>(list.data()));
    };
    each(T_KEYBOARD, g.keyboards, g.nb_keyboards);
    each(T_SEQUENCER, g.sequencers, g.nb_sequencers);
    each(T_VCO, g.vcos, g.nb_vcos);
    each(T_MIXER, g.mixers, g.nb_mixers);
    each(T_SAMPLER, g.samplers, g.nb_samplers);
    each(T_VCA, g.vcas, g.nb_vcas);
    each(T_PCF, g.pcfs, g.nb_pcfs);
    each(T_FORMANT, g.formant_pcfs, g.nb_formant_pcfs);
    each(T_CONSTANTE, g.constantes, g.nb_constantes);
    each(T_GENERATOR, g.generators, g.nb_generators);
    each(T_VARIABLE, g.variables, g.nb_variables);
    each(T_VALEUR, g.values, g.nb_values);
    each(T_OPERATION, g.operations, g.nb_operations);
    each(T_SFX, g.sfx_delays, g.nb_sfx_delays);
    each(T_PHASER, g.phasers, g.nb_phasers);
    each(T_SOUND_OUT, g.sound_outputs, g.nb_sound_outputs);
}

// Calls f(type, module) for every stepped module, in the step order (the sound
// inputs, stepped first, are left to the caller).
template <class F>
void for_each_module(const GENERATOR& g, F f) {
    for_each_list(g, [&](int type, int count, const void* data) {
        for (int i = 0; i < count; i++)
            f(static_cast<Type>(type), const_cast<void*>(load_pointer(static_cast<const void* const*>(data) + i)));
    });
}

int module_count(const GENERATOR& g) {
    int n = 0;
    for_each_module(g, [&](Type, void*) { n++; });
    return n;
}

template <class T>
void step_as(void* m) {
    static_cast<T*>(m)->T::evolue();
}

// One step of a module, by its list.
void (*const STEP[])(void*) = {
    step_as<KEYBOARD>, step_as<SEQUENCER>, step_as<VCO>, step_as<MIXER>, step_as<SAMPLER>, step_as<VCA>,
    step_as<PCF>, step_as<FORMANT_PCF>, step_as<CONSTANTE>, step_as<GENERATOR>, step_as<VARIABLE>,
    step_as<VALEUR>, step_as<BASIC_OPERATION>, step_as<SFX_DELAY>, step_as<PHASER>, step_as<SOUND_OUTPUT>,
};

// The noise oscillators draw from one random sequence: their order matters.
bool is_noise(const VCO& v) { return v.TYPE == NOISE_WHITE || v.TYPE == NOISE_KEL; }

bool uses_noise(const GENERATOR& g) {
    const int n = stepped(g.vcos, g.nb_vcos);
    for (int i = 0; i < n; i++)
        if (is_noise(*g.vcos[i])) return true;
    const int subs = stepped(g.generators, g.nb_generators);
    for (int i = 0; i < subs; i++)
        if (uses_noise(*g.generators[i])) return true;
    return false;
}

int noise_of(int type, void* m) {
    if (type == T_VCO) return is_noise(*static_cast<VCO*>(m)) ? 1 : 0;
    if (type == T_GENERATOR) return uses_noise(*static_cast<GENERATOR*>(m)) ? 1 : 0;
    return 0;
}


// What a module reads through (slots) and the words it writes (its outputs).
struct Describer {
    std::vector<BLOCK_PLAN::Slot>& slots;  // reserved: never grows past its room
    struct Outputs {
        void* at[MAX_WORDS];
        int size = 0;
        void push_back(void* p) { at[size++] = p; }
    } outputs;

    template <class P>
    void direct(P* const* field) {
        BLOCK_PLAN::Slot s;
        s.field = reinterpret_cast<void* const*>(field);
        s.holder = nullptr;
        s.holder_field = nullptr;
        s.target = const_cast<void*>(load_pointer(field));
        slots.push_back(s);
    }
    void held(INPUT* const* field) {
        BLOCK_PLAN::Slot s;
        INPUT* in = *field;
        s.holder_field = reinterpret_cast<const void* const*>(field);
        s.holder = in;
        s.field = in != nullptr ? reinterpret_cast<void* const*>(&in->source) : nullptr;
        s.target = in != nullptr ? static_cast<void*>(in->source) : nullptr;
        slots.push_back(s);
    }
    void describe(int type, void* m) {
        switch (type) {
        case T_KEYBOARD: {
            auto* k = static_cast<KEYBOARD*>(m);
            // The gate is set by the MIDI input and the panel, never by the step: read live.
            outputs.push_back(&k->value);
            outputs.push_back(&k->pulse);
            break;
        }
        case T_SEQUENCER: {
            auto* s = static_cast<SEQUENCER*>(m);
            direct(&s->sync_source);
            outputs.push_back(&s->value);
            outputs.push_back(&s->gate);
            outputs.push_back(&s->pulse);
            break;
        }
        case T_VCO: {
            auto* v = static_cast<VCO*>(m);
            direct(&v->INPUT::source);
            direct(&v->sync_source);
            for (INPUT* const* f : {&v->MOD_PHASE, &v->MOD_FREQ, &v->MOD_AMP, &v->MOD_PWM, &v->ALT_PHASE,
                                    &v->ALT_FREQ, &v->ALT_AMP, &v->ALT_PWM})
                held(f);
            outputs.push_back(&v->value);
            break;
        }
        case T_MIXER: {
            auto* x = static_cast<MIXER*>(m);
            for (int j = 0; j < MIXER_CHANNELS; j++) direct(&x->input[j].source);
            outputs.push_back(&x->value);
            break;
        }
        case T_SAMPLER: {
            auto* s = static_cast<SAMPLER*>(m);
            direct(&s->gate_source);
            direct(&s->sync_source);
            direct(&s->INPUT::source);
            held(&s->MOD_AMP);
            held(&s->MOD_FREQ);
            outputs.push_back(&s->OUTPUT::value);
            break;
        }
        case T_VCA: {
            auto* v = static_cast<VCA*>(m);
            direct(&v->gate_source);
            direct(&v->source);
            outputs.push_back(&v->value);
            break;
        }
        case T_PCF: {
            auto* p = static_cast<PCF*>(m);
            direct(&p->source);
            held(&p->MOD_FREQ);
            held(&p->MOD_AMP);
            outputs.push_back(&p->value);
            break;
        }
        case T_FORMANT: {
            auto* p = static_cast<FORMANT_PCF*>(m);
            direct(&p->source);
            outputs.push_back(&p->value);
            break;
        }
        case T_CONSTANTE: outputs.push_back(&static_cast<CONSTANTE*>(m)->value); break;
        case T_GENERATOR: {
            // A sub-patch hands these to its sound input, which reads them at its next step.
            auto* g = static_cast<GENERATOR*>(m);
            direct(&g->INPUT::source);
            direct(&g->gate_source);
            direct(&g->sync_source);
            outputs.push_back(&g->value);
            break;
        }
        case T_VARIABLE: {
            auto* v = static_cast<VARIABLE*>(m);
            direct(&v->source);
            held(&v->IN_ASSIGN);
            outputs.push_back(&v->value);
            break;
        }
        case T_VALEUR: {
            auto* v = static_cast<VALEUR*>(m);
            direct(&v->source);
            outputs.push_back(&v->value);
            break;
        }
        case T_OPERATION: {
            auto* o = static_cast<BASIC_OPERATION*>(m);
            held(&o->IN1);
            held(&o->IN2);
            held(&o->IN_IF);
            outputs.push_back(&o->value);
            break;
        }
        case T_SFX: {
            auto* x = static_cast<SFX_DELAY*>(m);
            direct(&x->source);
            outputs.push_back(&x->value);
            break;
        }
        case T_PHASER: {
            auto* p = static_cast<PHASER*>(m);
            direct(&p->source);
            outputs.push_back(&p->value);
            break;
        }
        default: {
            auto* o = static_cast<SOUND_OUTPUT*>(m);
            held(&o->IN);
            outputs.push_back(&o->value);
            break;
        }
        }
    }
};

inline void copy_word(void* to, const void* from) { std::memcpy(to, from, 4); }

}  // namespace

// ---------------------------------------------------------------- planning

BLOCK_PLAN::BLOCK_PLAN(const GENERATOR& g) {
    // Room for the patch as it is and as many modules again: relinking adds no
    // module, and a plan that does not fit leaves the patch stepped per sample.
    const size_t modules = 2 * static_cast<size_t>(module_count(g)) + 8;
    nodes_.reserve(modules);
    slots_.reserve(modules * MAX_SLOTS);
    words_.reserve(modules * MAX_WORDS);
    units_.reserve(modules);
    unit_nodes_.reserve(modules);
    replays_.reserve(modules * MAX_SLOTS);
    records_.reserve(modules * MAX_WORDS);
    // Each slot gives an edge; a sampler's gate joins its readers both ways; the noises chain.
    const size_t edges = modules * (3 * MAX_SLOTS + 4);
    edge_from_.reserve(edges);
    edge_to_.reserve(edges);
    adjacency_.reserve(edges);
    adjacency_start_.reserve(modules + 1);
    for (auto* v : {&index_, &low_, &stack_, &on_stack_, &component_, &component_order_}) v->reserve(modules);
    words_by_addr_.reserve(modules * MAX_WORDS);
    read_outside_.reserve(modules * MAX_WORDS);
    noise_nodes_.reserve(modules);
}


// Checked before every block: no edit since the plan was made (cables and
// modules change only through edits, which count in the patch's version),
// the same lists, and the same oscillators drawing noise (a waveform is a
// parameter the window turns directly).
bool BLOCK_PLAN::still_valid(const GENERATOR& g) const {
    if (!valid_ || !g.sound_inputs.empty() || g.version() != planned_version_) return false;
    bool same = true;
    for_each_list(g, [&](int type, int count, const void* data) {
        same = same && list_sizes_[type] == count && list_data_[type] == data;
    });
    if (!same) return false;
    for (int i : noise_nodes_)
        if (noise_of(nodes_[i].type, nodes_[i].module) != nodes_[i].noise) return false;
    return true;
}

namespace {

// Appends an edge when there is room; false when there is none.
bool add_edge(std::vector<int>& from, std::vector<int>& to, int a, int b) {
    if (a == b) return true;
    if (from.size() == from.capacity()) return false;
    from.push_back(a);
    to.push_back(b);
    return true;
}

}  // namespace

bool BLOCK_PLAN::plan(const GENERATOR& g) {
    valid_ = false;
    if (!g.sound_inputs.empty()) return false;
    nodes_.clear();
    slots_.clear();
    words_.clear();
    bool room = true;
    for_each_module(g, [&](Type type, void* m) {
        if (!room) return;
        if (nodes_.size() == nodes_.capacity() || slots_.size() + MAX_SLOTS > slots_.capacity() ||
            words_.size() + MAX_WORDS > words_.capacity()) {
            room = false;
            return;
        }
        Node n;
        n.module = m;
        n.type = type;
        n.order = static_cast<int>(nodes_.size());
        n.first_slot = static_cast<int>(slots_.size());
        n.first_word = static_cast<int>(words_.size());
        n.noise = noise_of(type, m);
        Describer d{slots_, {}};
        d.describe(type, m);
        n.slot_count = static_cast<int>(slots_.size()) - n.first_slot;
        n.word_count = d.outputs.size;
        for (int k = 0; k < d.outputs.size; k++) {
            Word w;
            w.addr = d.outputs.at[k];
            w.owner = n.order;
            words_.push_back(w);
        }
        nodes_.push_back(n);
    });
    if (!room) return false;
    const int node_count = static_cast<int>(nodes_.size());

    // Which word each slot reads, and from which side of the step order.
    words_by_addr_.clear();
    for (int w = 0; w < static_cast<int>(words_.size()); w++) words_by_addr_.push_back(w);
    std::sort(words_by_addr_.begin(), words_by_addr_.end(),
              [&](int a, int b) { return words_[a].addr < words_[b].addr; });
    auto find_word = [&](const void* addr) {
        auto it = std::lower_bound(words_by_addr_.begin(), words_by_addr_.end(), addr,
                                   [&](int w, const void* a) { return words_[w].addr < a; });
        return it != words_by_addr_.end() && words_[*it].addr == addr ? *it : -1;
    };
    edge_from_.clear();
    edge_to_.clear();
    for (Node& n : nodes_) {
        n.kernel = true;
        for (int k = 0; k < n.slot_count; k++) {
            Slot& s = slots_[n.first_slot + k];
            s.word = s.target != nullptr ? find_word(s.target) : -1;
            if (s.target != nullptr && s.word < 0) n.kernel = false;  // read live
            if (s.word < 0) continue;
            const int owner = words_[s.word].owner;
            if (owner == n.order) {
                // A module reading itself sees its own last value: no history.
                s.word = -1;
                n.kernel = false;
                continue;
            }
            s.lag = owner < n.order ? 1 : 0;
            if (!add_edge(edge_from_, edge_to_, owner, n.order)) return false;
        }
    }
    // A sampler in a one-shot mode closes the gate it reads: it, the gate's
    // owner and every module reading that gate are stepped together.
    for (const Node& n : nodes_) {
        if (n.type != T_SAMPLER) continue;
        const void* gate = slots_[n.first_slot].target;  // the sampler's first slot is its gate
        if (gate == nullptr) continue;
        const int w = find_word(gate);
        if (w >= 0 && (!add_edge(edge_from_, edge_to_, n.order, words_[w].owner) ||
                       !add_edge(edge_from_, edge_to_, words_[w].owner, n.order)))
            return false;
        for (const Node& r : nodes_)
            for (int k = 0; k < r.slot_count; k++)
                if (slots_[r.first_slot + k].target == gate &&
                    (!add_edge(edge_from_, edge_to_, n.order, r.order) ||
                     !add_edge(edge_from_, edge_to_, r.order, n.order)))
                    return false;
    }
    // The noise oscillators (and sub-patches holding one) keep their order.
    int last_noise = -1;
    for (const Node& n : nodes_) {
        if (!n.noise) continue;
        if (last_noise >= 0 && (!add_edge(edge_from_, edge_to_, last_noise, n.order) ||
                                !add_edge(edge_from_, edge_to_, n.order, last_noise)))
            return false;
        last_noise = n.order;
    }

    // Adjacency lists (counting sort of the edges by their source).
    adjacency_start_.assign(static_cast<size_t>(node_count) + 1, 0);
    for (int a : edge_from_) adjacency_start_[a + 1]++;
    for (int i = 0; i < node_count; i++) adjacency_start_[i + 1] += adjacency_start_[i];
    adjacency_.assign(edge_from_.size(), 0);
    index_.assign(static_cast<size_t>(node_count), 0);  // fill position per node
    for (size_t e = 0; e < edge_from_.size(); e++)
        adjacency_[adjacency_start_[edge_from_[e]] + index_[edge_from_[e]]++] = edge_to_[e];

    // Tarjan, iteratively: index_ -1 unvisited; stack_ holds the path.
    index_.assign(static_cast<size_t>(node_count), -1);
    low_.assign(static_cast<size_t>(node_count), 0);
    on_stack_.assign(static_cast<size_t>(node_count), 0);
    component_.assign(static_cast<size_t>(node_count), -1);
    component_order_.clear();  // nodes as their components close, readers first
    stack_.clear();
    unit_nodes_.clear();
    units_.clear();
    int counter = 0;
    // The walk's path: (node, next edge) pairs. The edges now live in
    // adjacency_, so their lists lend their room (the path never holds more
    // than every node once).
    auto& path_node = edge_from_;
    auto& path_edge = edge_to_;
    for (int root = 0; root < node_count; root++) {
        if (index_[root] >= 0) continue;
        int depth = 0;
        path_node.clear();
        path_edge.clear();
        path_node.push_back(root);
        path_edge.push_back(adjacency_start_[root]);
        index_[root] = low_[root] = counter++;
        stack_.push_back(root);
        on_stack_[root] = 1;
        depth = 1;
        while (depth > 0) {
            const int v = path_node[depth - 1];
            int& e = path_edge[depth - 1];
            if (e < adjacency_start_[v + 1]) {
                const int w = adjacency_[e++];
                if (index_[w] < 0) {
                    index_[w] = low_[w] = counter++;
                    stack_.push_back(w);
                    on_stack_[w] = 1;
                    path_node.push_back(w);
                    path_edge.push_back(adjacency_start_[w]);
                    depth++;
                } else if (on_stack_[w]) {
                    low_[v] = std::min(low_[v], index_[w]);
                }
                continue;
            }
            if (low_[v] == index_[v]) {
                // v closes a component: its nodes, in the patch's step order.
                const int begin = static_cast<int>(component_order_.size());
                int w;
                do {
                    w = stack_.back();
                    stack_.pop_back();
                    on_stack_[w] = 0;
                    component_order_.push_back(w);
                } while (w != v);
                std::sort(component_order_.begin() + begin, component_order_.end());
                units_.push_back(Unit{begin, static_cast<int>(component_order_.size()) - begin});
            }
            path_node.pop_back();
            path_edge.pop_back();
            depth--;
            if (depth > 0) {
                const int parent = path_node[depth - 1];
                low_[parent] = std::min(low_[parent], low_[v]);
            }
        }
    }
    // Producers first.
    std::reverse(units_.begin(), units_.end());
    unit_nodes_.assign(component_order_.begin(), component_order_.end());
    for (int u = 0; u < static_cast<int>(units_.size()); u++) {
        const Unit& unit = units_[u];
        for (int k = 0; k < unit.count; k++) {
            Node& n = nodes_[unit_nodes_[unit.first + k]];
            n.unit = u;
            if (unit.count > 1) n.kernel = false;
        }
    }

    // Only the words read from another unit (and the patch's sound) need their
    // history kept: kernels write theirs whole, steps record the others.
    output_word_ = -1;
    if (g.nb_sound_outputs != 0 && !g.sound_outputs.empty()) {
        output_word_ = find_word(&g.sound_outputs[0]->value);
        if (output_word_ < 0) return false;
    }
    read_outside_.assign(words_.size(), 0);
    if (output_word_ >= 0) read_outside_[output_word_] = 1;
    for (const Node& n : nodes_)
        for (int k = 0; k < n.slot_count; k++) {
            const Slot& s = slots_[n.first_slot + k];
            if (s.word >= 0 && nodes_[words_[s.word].owner].unit != n.unit) read_outside_[s.word] = 1;
        }

    // What each module's steps write in and record, in the order they are done.
    replays_.clear();
    records_.clear();
    for (Node& n : nodes_) {
        n.first_replay = static_cast<int>(replays_.size());
        for (int k = 0; k < n.slot_count; k++) {
            const Slot& s = slots_[n.first_slot + k];
            if (s.word >= 0 && nodes_[words_[s.word].owner].unit != n.unit)
                replays_.push_back(Replay{s.target, &words_[s.word].hist[s.lag], words_[s.word].hist});
        }
        n.replay_count = static_cast<int>(replays_.size()) - n.first_replay;
        n.first_record = static_cast<int>(records_.size());
        for (int w = 0; w < n.word_count; w++)
            if (read_outside_[n.first_word + w])
                records_.push_back(Record{words_[n.first_word + w].addr, &words_[n.first_word + w].hist[1]});
        n.record_count = static_cast<int>(records_.size()) - n.first_record;
    }

    // What still_valid compares.
    for_each_list(g, [&](int type, int count, const void* data) {
        list_sizes_[type] = count;
        list_data_[type] = data;
    });
    planned_version_ = g.version();
    noise_nodes_.clear();
    for (const Node& n : nodes_)
        if (n.type == T_VCO || n.type == T_GENERATOR) noise_nodes_.push_back(n.order);

    valid_ = true;
    return true;
}

// ---------------------------------------------------------------- running

// Linked oscillators whose kernels wait until a module reads one of them, or
// the lanes are full: their cycles then advance together (VCO::linked_blocks).
// None reads another, as each was given its inputs' histories when it joined.
struct BLOCK_PLAN::OscillatorBatch {
    int count = 0;
    Node* node[VCO::LANES];
    VCO* vco[VCO::LANES];
    const float* in[VCO::LANES][VCO::BLOCK_INPUTS];
    float* out[VCO::LANES];
};

bool BLOCK_PLAN::run(GENERATOR& g, float* out, int n) {
    if (n <= 0 || n > BLOCK_FRAMES) return false;
    if (!still_valid(g) && !plan(g)) return false;
    for (Word& w : words_) copy_word(&w.hist[0], w.addr);
    OscillatorBatch batch;
    for (const Unit& u : units_) {
        if (batch.count != 0 && reads_batched(u)) run_batch(batch, n);
        if (u.count > 1) {
            run_group(u, n);
            continue;
        }
        Node& node = nodes_[unit_nodes_[u.first]];
        if (node.kernel && batch_oscillator(node, batch, n)) continue;
        if (!(node.kernel && run_kernel(node, n))) run_node_alone(node, n);
    }
    run_batch(batch, n);
    if (output_word_ >= 0)
        std::memcpy(out, &words_[output_word_].hist[1], sizeof(float) * static_cast<size_t>(n));
    else
        std::fill(out, out + n, 0.0f);
    g.value = out[n - 1];
    return true;
}

namespace {

inline void replay(const BLOCK_PLAN::Replay* r, int count, int t) {
    for (int k = 0; k < count; k++) copy_word(r[k].target, r[k].hist + t);
}
inline void record(const BLOCK_PLAN::Record* r, int count, int t) {
    for (int k = 0; k < count; k++) copy_word(r[k].hist + t, r[k].addr);
}
// Each producer's word gets back the value it had at the end of the block.
inline void put_back(const BLOCK_PLAN::Replay* r, int count, int n) {
    for (int k = 0; k < count; k++) copy_word(r[k].target, r[k].whole + n);
}

template <class T>
void steps_of(void* module, const BLOCK_PLAN::Replay* r, int nr, const BLOCK_PLAN::Record* w, int nw, int n) {
    T* m = static_cast<T*>(module);
    for (int t = 0; t < n; t++) {
        replay(r, nr, t);
        m->T::evolue();
        record(w, nw, t);
    }
}

// A sequencer spends most samples waiting: those are counted a stretch at a time.
void sequencer_steps(void* module, const BLOCK_PLAN::Replay* r, int nr, const BLOCK_PLAN::Record* w, int nw, int n) {
    auto* q = static_cast<SEQUENCER*>(module);
    for (int t = 0; t < n;) {
        // Its one input is the sync: linked to another unit, its history is replayed.
        const int steady = nr == 0 ? q->steady_steps(n - t) : q->steady_steps(n - t, r[0].hist + t);
        for (int k = 0; k < steady; k++) record(w, nw, t + k);
        t += steady;
        if (t == n) break;
        replay(r, nr, t);
        q->SEQUENCER::evolue();
        record(w, nw, t);
        t++;
    }
}

}  // namespace

// The module's inputs are given their history by writing it into the
// producers' words before each step; the words get their last value back after.
void BLOCK_PLAN::run_node_alone(Node& node, int n) {
    const Replay* r = replays_.data() + node.first_replay;
    const Record* w = records_.data() + node.first_record;
    const int nr = node.replay_count, nw = node.record_count;
    void* m = node.module;
    switch (node.type) {
    case T_KEYBOARD: steps_of<KEYBOARD>(m, r, nr, w, nw, n); break;
    case T_SEQUENCER: sequencer_steps(m, r, nr, w, nw, n); break;
    case T_VCO: steps_of<VCO>(m, r, nr, w, nw, n); break;
    case T_MIXER: steps_of<MIXER>(m, r, nr, w, nw, n); break;
    case T_SAMPLER: steps_of<SAMPLER>(m, r, nr, w, nw, n); break;
    case T_VCA: steps_of<VCA>(m, r, nr, w, nw, n); break;
    case T_PCF: steps_of<PCF>(m, r, nr, w, nw, n); break;
    case T_FORMANT: steps_of<FORMANT_PCF>(m, r, nr, w, nw, n); break;
    case T_CONSTANTE: steps_of<CONSTANTE>(m, r, nr, w, nw, n); break;
    case T_GENERATOR: steps_of<GENERATOR>(m, r, nr, w, nw, n); break;
    case T_VARIABLE: steps_of<VARIABLE>(m, r, nr, w, nw, n); break;
    case T_VALEUR: steps_of<VALEUR>(m, r, nr, w, nw, n); break;
    case T_OPERATION: steps_of<BASIC_OPERATION>(m, r, nr, w, nw, n); break;
    case T_SFX: steps_of<SFX_DELAY>(m, r, nr, w, nw, n); break;
    case T_PHASER: steps_of<PHASER>(m, r, nr, w, nw, n); break;
    default: steps_of<SOUND_OUTPUT>(m, r, nr, w, nw, n); break;
    }
    put_back(r, nr, n);
}

// A group is stepped sample by sample in the patch order: its members read
// one another live, and modules outside it through their histories.
namespace {

// The most common group, a sequencer and the one-shot sampler it gates, with
// both steps called directly.
void sequencer_and_sampler(const BLOCK_PLAN::Node& a, const BLOCK_PLAN::Node& b, const BLOCK_PLAN::Replay* replays,
                           const BLOCK_PLAN::Record* records, int n) {
    auto* seq = static_cast<SEQUENCER*>(a.module);
    auto* smp = static_cast<SAMPLER*>(b.module);
    for (int t = 0; t < n;) {
        // The sequencer's waiting samples first (its words stay as they are, and
        // the sampler, which may close its gate, never makes it act), then the
        // sampler's steps over them; otherwise one sample of both.
        const BLOCK_PLAN::Replay* sync = replays + a.first_replay;
        int steady = a.replay_count == 0 ? seq->steady_steps(n - t) : seq->steady_steps(n - t, sync->hist + t);
        if (steady == 0) {
            replay(replays + a.first_replay, a.replay_count, t);
            seq->SEQUENCER::evolue();
            steady = 1;
        }
        for (const int end = t + steady; t < end; t++) {
            replay(replays + b.first_replay, b.replay_count, t);
            smp->SAMPLER::evolue();
            record(records + a.first_record, a.record_count, t);
            record(records + b.first_record, b.record_count, t);
        }
    }
}

}  // namespace

void BLOCK_PLAN::run_group(const Unit& u, int n) {
    const int* members = unit_nodes_.data() + u.first;
    if (u.count == 2 && nodes_[members[0]].type == T_SEQUENCER && nodes_[members[1]].type == T_SAMPLER) {
        sequencer_and_sampler(nodes_[members[0]], nodes_[members[1]], replays_.data(), records_.data(), n);
        for (int i = 0; i < 2; i++) {
            const Node& node = nodes_[members[i]];
            put_back(replays_.data() + node.first_replay, node.replay_count, n);
        }
        return;
    }
    for (int t = 0; t < n; t++) {
        for (int i = 0; i < u.count; i++) {
            const Node& node = nodes_[members[i]];
            replay(replays_.data() + node.first_replay, node.replay_count, t);
            STEP[node.type](node.module);
        }
        for (int i = 0; i < u.count; i++) {
            const Node& node = nodes_[members[i]];
            record(records_.data() + node.first_record, node.record_count, t);
        }
    }
    for (int i = 0; i < u.count; i++) {
        const Node& node = nodes_[members[i]];
        put_back(replays_.data() + node.first_replay, node.replay_count, n);
    }
}

// ---------------------------------------------------------------- oscillators side by side

namespace {

// An oscillator the linked kernel takes: powered, drawing no noise, some input linked.
bool linked_kernel(const VCO& v) {
    return v.POWER != 0 && v.TYPE != NOISE_WHITE && v.TYPE != NOISE_KEL && !v.unlinked();
}

}  // namespace

// Whether a module of the unit reads a word a waiting oscillator has not computed yet.
bool BLOCK_PLAN::reads_batched(const Unit& u) const {
    for (int i = 0; i < u.count; i++) {
        const Node& node = nodes_[unit_nodes_[u.first + i]];
        for (int k = 0; k < node.slot_count; k++) {
            const Slot& s = slots_[node.first_slot + k];
            if (s.word >= 0 && nodes_[words_[s.word].owner].batched) return true;
        }
    }
    return false;
}

// Adds a linked oscillator to the batch (computing the batch when full). False
// when the node is no such oscillator.
bool BLOCK_PLAN::batch_oscillator(Node& node, OscillatorBatch& batch, int n) {
    if (node.type != T_VCO || !linked_kernel(*static_cast<VCO*>(node.module))) return false;
    const int j = batch.count++;
    batch.node[j] = &node;
    batch.vco[j] = static_cast<VCO*>(node.module);
    batch.out[j] = &words_[node.first_word].hist[1];
    // The slots follow VCO::BlockInput's order (see Describer::describe).
    for (int k = 0; k < VCO::BLOCK_INPUTS; k++) {
        const Slot& s = slots_[node.first_slot + k];
        batch.in[j][k] = s.word >= 0 ? &words_[s.word].hist[s.lag] : nullptr;
    }
    node.batched = true;
    if (batch.count == VCO::LANES) run_batch(batch, n);
    return true;
}

void BLOCK_PLAN::run_batch(OscillatorBatch& batch, int n) {
    if (batch.count == 0) return;
    VCO::linked_blocks(batch.vco, batch.in, batch.out, batch.count, n);
    for (int j = 0; j < batch.count; j++) batch.node[j]->batched = false;
    batch.count = 0;
}

// Modules computed from the histories directly. False: the module is stepped
// the general way this block (a waveform or a setting the kernel does not take).
bool BLOCK_PLAN::run_kernel(Node& node, int n) {
    float* const out = &words_[node.first_word].hist[1];
    auto input = [&](int k) -> const float* {
        const Slot& s = slots_[node.first_slot + k];
        return s.word >= 0 ? &words_[s.word].hist[s.lag] : nullptr;
    };
    switch (node.type) {
    case T_VCO: {
        VCO& v = *static_cast<VCO*>(node.module);
        if (v.POWER == 0 || v.TYPE == NOISE_WHITE || v.TYPE == NOISE_KEL) return false;
        if (v.unlinked()) {
            v.free_block(out, n);
            return true;
        }
        // Linked ones usually wait in the batch (see batch_oscillator).
        // The slots follow VCO::BlockInput's order (see Describer::describe).
        const float* in[VCO::BLOCK_INPUTS];
        for (int k = 0; k < VCO::BLOCK_INPUTS; k++) in[k] = input(k);
        v.linked_block(in, out, n);
        return true;
    }
    case T_VCA:
        // The slots: the gate, the input (see Describer::describe).
        return static_cast<VCA*>(node.module)->envelope_block(input(0), input(1), out, n);
    case T_PCF:
        // The slots: the input, MOD_FREQ, MOD_AMP (see Describer::describe).
        return static_cast<PCF*>(node.module)->filter_block(input(0), input(1), input(2), out, n);
    case T_MIXER: {
        MIXER& m = *static_cast<MIXER*>(node.module);
        const float* in[MIXER_CHANNELS];
        for (int j = 0; j < MIXER_CHANNELS; j++) in[j] = input(j);
        m.mix_block(in, out, n);
        return true;
    }
    case T_OPERATION: {
        static_cast<BASIC_OPERATION*>(node.module)->operate_block(input(0), input(1), input(2), out, n);
        return true;
    }
    case T_CONSTANTE: {
        CONSTANTE& c = *static_cast<CONSTANTE*>(node.module);
        std::fill(out, out + n, c.VALUE);
        c.value = out[n - 1];
        return true;
    }
    case T_SOUND_OUT: {
        SOUND_OUTPUT& o = *static_cast<SOUND_OUTPUT*>(node.module);
        const float* in = input(0);
        if (in != nullptr)
            std::memcpy(out, in, sizeof(float) * static_cast<size_t>(n));
        else
            std::fill(out, out + n, 0.0f);
        o.value = out[n - 1];
        return true;
    }
    case T_VALEUR: {
        VALEUR& v = *static_cast<VALEUR*>(node.module);
        const float* in = input(0);
        if (in != nullptr)
            std::memcpy(out, in, sizeof(float) * static_cast<size_t>(n));
        else
            std::fill(out, out + n, 0.0f);
        v.value = v.shown = out[n - 1];
        return true;
    }
    case T_GENERATOR: {
        // A sub-patch with no input linked computes by blocks of its own.
        GENERATOR& sub = *static_cast<GENERATOR*>(node.module);
        for (int k = 0; k < node.slot_count; k++)
            if (slots_[node.first_slot + k].target != nullptr) return false;
        sub.render(out, n);
        return true;
    }
    default: return false;
    }
}
