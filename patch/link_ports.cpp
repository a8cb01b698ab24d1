#include "patch/link_ports.h"

#include <cstring>

// ---------------------------------------------------------------- the writes

void link_address(float*& input, OUTPUT* o) {
    if (o != nullptr) input = &o->value;
}

void link_new(GENERATOR& g, INPUT*& input, OUTPUT* o) {
    // The INPUT is complete before the module can see it: one pointer store.
    if (o != nullptr) input = g.new_link(o);
}

void link_gate(int*& input, OUTPUT_GATE* o) {
    if (o != nullptr) input = &o->gate;
}

void link_sync(int*& input, OUTPUT_SYNC* o) {
    if (o != nullptr) input = &o->pulse;
}

// ---------------------------------------------------------------- the ports

namespace {

bool is(const char* key, const char* name) { return key != nullptr && std::strcmp(key, name) == 0; }

/// An extra input of class M by key, from a table of member pointers.
template <class M>
struct EXTRA {
    const char* key;
    INPUT* M::*input;
};

template <class M, std::size_t N>
INPUT_PORT extra_port(M* m, const EXTRA<M> (&table)[N], const char* key) {
    INPUT_PORT p;
    for (const auto& e : table)
        if (is(key, e.key)) p.owned = &(m->*e.input);
    return p;
}

const EXTRA<VCO> VCO_EXTRAS[] = {{"MOD_FREQ", &VCO::MOD_FREQ}, {"MOD_PHASE", &VCO::MOD_PHASE},
                                 {"MOD_AMP", &VCO::MOD_AMP},   {"MOD_PWM", &VCO::MOD_PWM},
                                 {"ALT_FREQ", &VCO::ALT_FREQ}, {"ALT_PHASE", &VCO::ALT_PHASE},
                                 {"ALT_AMP", &VCO::ALT_AMP},   {"ALT_PWM", &VCO::ALT_PWM}};
// A sampler's links reach only three of the oscillator inputs it inherits.
const EXTRA<VCO> SAMPLER_EXTRAS[] = {
    {"MOD_FREQ", &VCO::MOD_FREQ}, {"MOD_PHASE", &VCO::MOD_PHASE}, {"MOD_AMP", &VCO::MOD_AMP}};
const EXTRA<PCF> PCF_EXTRAS[] = {{"MOD_FREQ", &PCF::MOD_FREQ}, {"MOD_PHASE", &PCF::MOD_PHASE}, {"MOD_AMP", &PCF::MOD_AMP}};
const EXTRA<OPERATION> OPERATION_EXTRAS[] = {
    {"IN1", &OPERATION::IN1}, {"IN2", &OPERATION::IN2}, {"IN_IF", &OPERATION::IN_IF}};

INPUT_PORT direct(INPUT* in) {
    INPUT_PORT p;
    p.direct = in;
    return p;
}
INPUT_PORT gate(INPUT_GATE* in) {
    INPUT_PORT p;
    p.gate = in;
    return p;
}
INPUT_PORT sync(INPUT_SYNC* in) {
    INPUT_PORT p;
    p.sync = in;
    return p;
}

}  // namespace

INPUT_PORT input_port(VCO* m, const char* key) {
    if (m == nullptr) return {};
    if (is(key, "IN")) return direct(m);
    if (is(key, "GATE")) return gate(m);
    if (is(key, "SYNC")) return sync(m);
    return extra_port(m, VCO_EXTRAS, key);
}

INPUT_PORT input_port(SAMPLER* m, const char* key) {
    if (m == nullptr) return {};
    if (is(key, "IN")) return direct(m);
    if (is(key, "GATE")) return gate(m);
    if (is(key, "SYNC")) return sync(m);
    return extra_port<VCO>(m, SAMPLER_EXTRAS, key);
}

INPUT_PORT input_port(VCA* m, const char* key) {
    if (m == nullptr) return {};
    if (is(key, "IN")) return direct(m);
    if (is(key, "GATE")) return gate(m);
    return {};
}

INPUT_PORT input_port(PCF* m, const char* key) {
    if (m == nullptr) return {};
    if (is(key, "IN")) return direct(m);
    if (is(key, "GATE")) return gate(m);
    if (is(key, "SYNC")) return sync(m);
    return extra_port(m, PCF_EXTRAS, key);
}

INPUT_PORT input_port(SEQUENCER* m, const char* key) {
    return m != nullptr && is(key, "SYNC") ? sync(m) : INPUT_PORT{};
}

INPUT_PORT input_port(BASIC_OPERATION* m, const char* key) {
    return m == nullptr ? INPUT_PORT{} : extra_port<OPERATION>(m, OPERATION_EXTRAS, key);
}

INPUT_PORT input_port(VALEUR* m, const char* key) {
    return m != nullptr && is(key, "IN") ? direct(m) : INPUT_PORT{};
}

INPUT_PORT input_port(SOUND_OUTPUT* m, const char* key) {
    INPUT_PORT p;
    if (m != nullptr && is(key, "IN")) p.owned = &m->IN;
    return p;
}

INPUT_PORT input_port(VARIABLE* m, const char* key) {
    INPUT_PORT p;
    if (m == nullptr) return p;
    if (is(key, "IN")) p.direct = m;
    if (is(key, "IN_ASSIGN")) p.owned = &m->IN_ASSIGN;
    return p;
}

INPUT_PORT channel_port(MIXER* m, int channel) {
    INPUT_PORT p;
    if (m == nullptr || channel < 0 || channel >= MIXER_CHANNELS) return p;
    p.direct = &m->input[channel];
    p.mixer = m;
    p.channel = channel;
    return p;
}

bool INPUT_PORT::fed() const {
    if (direct != nullptr)
        return direct->source != nullptr && (mixer == nullptr || channel < mixer->channel_count);
    if (owned != nullptr) return linked(*owned);
    if (gate != nullptr) return gate->gate_source != nullptr;
    return sync != nullptr && sync->sync_source != nullptr;
}

// ---------------------------------------------------------------- linking a port

INPUT_PORT link_value_port(GENERATOR& g, const INPUT_PORT& port, OUTPUT* o) {
    const bool extra = o != nullptr && port.owned != nullptr;
    return link_value_port_made(port, o, extra ? g.new_link(o) : nullptr);
}

INPUT_PORT link_value_port_made(const INPUT_PORT& port, OUTPUT* o, INPUT* made) {
    if (o == nullptr || !port.carries_value()) return {};
    if (port.mixer != nullptr) {
        MIXER* m = port.mixer;
        if (port.channel < m->channel_count) {
            link_address(port.direct->source, o);
            return port;
        }
        if (m->channel_count >= MIXER_CHANNELS) return {};
        const int next = m->channel_count;
        m->ajoute_en_entree(o, -1);
        return channel_port(m, next);
    }
    if (port.direct != nullptr) {
        link_address(port.direct->source, o);
    } else {
        if (made == nullptr) return {};
        *port.owned = made;
    }
    return port;
}

bool link_gate_port(const INPUT_PORT& port, OUTPUT_GATE* o) {
    if (port.gate == nullptr || o == nullptr) return false;
    link_gate(port.gate->gate_source, o);
    return true;
}

bool link_sync_port(const INPUT_PORT& port, OUTPUT_SYNC* o) {
    if (port.sync == nullptr || o == nullptr) return false;
    link_sync(port.sync->sync_source, o);
    return true;
}

PORT_WORDS port_words(const INPUT_PORT& port) {
    PORT_WORDS w;
    if (port.direct != nullptr) w.source = port.direct->source;
    if (port.owned != nullptr) w.owned = *port.owned;
    if (port.gate != nullptr) w.word = port.gate->gate_source;
    if (port.sync != nullptr) w.word = port.sync->sync_source;
    if (port.mixer != nullptr) w.channel_count = port.mixer->channel_count;
    return w;
}

void restore_port(const INPUT_PORT& port, const PORT_WORDS& w) {
    // A mixer sums its first channel_count channels: a channel leaves the sum
    // before its source changes and joins it only once its source is in.
    const bool shrinks = port.mixer != nullptr && w.channel_count < port.mixer->channel_count;
    if (shrinks) port.mixer->channel_count = w.channel_count;
    if (port.direct != nullptr) port.direct->source = w.source;
    if (port.owned != nullptr) *port.owned = w.owned;
    if (port.gate != nullptr) port.gate->gate_source = w.word;
    if (port.sync != nullptr) port.sync->sync_source = w.word;
    if (port.mixer != nullptr && !shrinks) port.mixer->channel_count = w.channel_count;
}

void unlink_port(const INPUT_PORT& port) {
    if (port.direct != nullptr) port.direct->source = nullptr;
    if (port.owned != nullptr) *port.owned = nullptr;
    if (port.gate != nullptr) port.gate->gate_source = nullptr;
    if (port.sync != nullptr) port.sync->sync_source = nullptr;
}
