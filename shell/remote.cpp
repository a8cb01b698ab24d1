// Remote control without the sockets: the control state, the line reader, the
// commands of one line, and Exec_Remote_Order, which turns PORT_A into
// parameter changes on gen.
#include "shell/remote.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "patch/kstr_parser.h"
#include "shell/globals.h"
#include "synth/generator.h"

IPaddress ip;
TCPsocket tcpsock = nullptr;

int PORT_A = 0;
int toggle_BUTTON_1 = 0, toggle_BUTTON_2 = 0, toggle_BUTTON_3 = 0, toggle_BUTTON_4 = 0;
float toggle_BUTTON_1_time = 0.0f, toggle_BUTTON_2_time = 0.0f, toggle_BUTTON_3_time = 0.0f,
      toggle_BUTTON_4_time = 0.0f;
int nr_type_instru = 0;
int nr_vco_selected = 0, nr_vca_selected = 0, nr_seq_selected = 0, nr_pcf_selected = 0, nr_sampler_selected = 0;
int nr_type_onde = 0;
int num_fct_vca = 0;
int num_fct_pcf = 0;
int num_step_seq = 0;
int counter_1 = 0, counter_2 = 0, counter_3 = 0, counter_4 = 0;

void remote_state_reset() {
    __atomic_store_n(&PORT_A, 0, __ATOMIC_RELAXED);
    toggle_BUTTON_1 = toggle_BUTTON_2 = toggle_BUTTON_3 = toggle_BUTTON_4 = 0;
    toggle_BUTTON_1_time = toggle_BUTTON_2_time = toggle_BUTTON_3_time = toggle_BUTTON_4_time = 0.0f;
    nr_type_instru = 0;
    nr_vco_selected = nr_vca_selected = nr_seq_selected = nr_pcf_selected = nr_sampler_selected = 0;
    nr_type_onde = num_fct_vca = num_fct_pcf = num_step_seq = 0;
    counter_1 = counter_2 = counter_3 = counter_4 = 0;
}

// ---------------------------------------------------------------- line reader

int search_enter_in_string(const char* chunk, int n, unsigned char& demiTrouve) {
    if (n <= 0) return 0;
    if (demiTrouve == 1 && chunk[0] == '\n') {
        // Cleared, or a next line starting with LF would end at once.
        demiTrouve = 0;
        return 1;
    }
    demiTrouve = 0;
    for (int i = 0; i + 1 < n; i++)
        if (chunk[i] == '\r' && chunk[i + 1] == '\n') return 1;
    if (chunk[n - 1] == '\r') demiTrouve = 1;
    return 0;
}

RemoteLine::Status RemoteLine::feed(const char* chunk, int n, unsigned char& demiTrouve) {
    if (n <= 0) return MORE;
    if (static_cast<size_t>(n) > REMOTE_LINE_MAX - text.size()) return TOO_LONG;
    const int found = search_enter_in_string(chunk, n, demiTrouve);
    text.append(chunk, static_cast<size_t>(n));
    return found ? COMPLETE : MORE;
}

char* RemoteLine::copy() const {
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (!out) return nullptr;
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    return out;
}

// ---------------------------------------------------------------- commands

namespace {

/// A decimal integer at the start of text (blanks skipped, anything after the
/// digits ignored), clamped to the int range; 0 without digits.
int read_decimal(const char* text) {
    const long v = std::strtol(text, nullptr, 10);
    return static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX));
}

}  // namespace

int remote_apply_line(char* line) {
    const size_t len = std::strlen(line);
    line[len >= 2 ? len - 2 : 0] = '\0';
    std::printf("ORDER:[%s] : ", line);
    int result = 0;
    if (std::strstr(line, "FINISH")) result = 1;
    if (std::strstr(line, "PORTA")) {
        // "PORTA" alone or "PORTA=" reads as no digits: 0, all keys released.
        std::unique_ptr<char[]> value(KSTR_PARSER(line, '=').get_champ(1));
        // Written whole: Exec_Remote_Order reads it on the main thread.
        __atomic_store_n(&PORT_A, value ? read_decimal(value.get()) : 0, __ATOMIC_RELAXED);
    }
    // "BT_TOGGLE" is a known command that does nothing.
    return result;
}

// ---------------------------------------------------------------- Exec_Remote_Order

namespace {

enum { TYPE_VCO, TYPE_VCA, TYPE_SEQUENCER, TYPE_PCF, TYPE_SAMPLER, TYPE_COUNT };

/// Repeat value of a released button.
constexpr float RELEASED_STEP = 0.01f;
/// Highest oscillator frequency the buttons may reach: Nyquist at 44100 Hz.
constexpr float FREQ_MAX = 22050.0f;

/// Size of a list as far as both the step (count) and the lookups (vector) agree.
template <class T>
int usable(const std::vector<T*>& list, int count) {
    return std::max(0, std::min(count, static_cast<int>(list.size())));
}

/// The selected module of a list, or null when the selection is beyond its end
/// (a reload may shorten a list) or the list is empty.
template <class T>
T* pick(const std::vector<T*>& list, int count, int index) {
    return index >= 0 && index < usable(list, count) ? list[static_cast<size_t>(index)] : nullptr;
}

int list_size(int type) {
    if (!gen) return 0;
    switch (type) {
    case TYPE_VCO: return usable(gen->vcos, gen->nb_vcos);
    case TYPE_VCA: return usable(gen->vcas, gen->nb_vcas);
    case TYPE_SEQUENCER: return usable(gen->sequencers, gen->nb_sequencers);
    case TYPE_PCF: return usable(gen->pcfs, gen->nb_pcfs);
    case TYPE_SAMPLER: return usable(gen->samplers, gen->nb_samplers);
    default: return 0;
    }
}

int* selection(int type) {
    switch (type) {
    case TYPE_VCO: return &nr_vco_selected;
    case TYPE_VCA: return &nr_vca_selected;
    case TYPE_SEQUENCER: return &nr_seq_selected;
    case TYPE_PCF: return &nr_pcf_selected;
    case TYPE_SAMPLER: return &nr_sampler_selected;
    default: return nullptr;
    }
}

// The module the keys act on: of the selected type, existing, else null.
VCO* vco() { return gen && nr_type_instru == TYPE_VCO ? pick(gen->vcos, gen->nb_vcos, nr_vco_selected) : nullptr; }
VCA* vca() { return gen && nr_type_instru == TYPE_VCA ? pick(gen->vcas, gen->nb_vcas, nr_vca_selected) : nullptr; }
SEQUENCER* seq() {
    return gen && nr_type_instru == TYPE_SEQUENCER ? pick(gen->sequencers, gen->nb_sequencers, nr_seq_selected)
                                                   : nullptr;
}
PCF* pcf() { return gen && nr_type_instru == TYPE_PCF ? pick(gen->pcfs, gen->nb_pcfs, nr_pcf_selected) : nullptr; }

/// A selector key with a repeat delay: its counter climbs to delay at each call
/// and the key fires only from there, so a held key fires every (delay + 1)th call.
bool fires(int& counter, int delay, bool held) {
    if (counter >= delay && held) {
        counter = 0;
        return true;
    }
    if (counter < delay) counter++;
    return false;
}

/// f kept where the oscillator still sounds: 0 ... FREQ_MAX Hz, NaN to 0.
float audible(float f) {
    if (!(f >= 0.0f)) return 0.0f;
    return std::min(f, FREQ_MAX);
}

/// Coarse step of an envelope time (ms) by sign = +1 or -1. The three bands
/// are tested in turn on the value the previous test left, so one call can
/// take two steps (9.5 -> 20.5); from 100000 ms on the value stays.
float coarse_step(float p, float sign) {
    if (p < 10.0f) p += sign * 1.0f;
    if (p >= 10.0f && p < 100.0f) p += sign * 10.0f;
    if (p >= 100.0f && p < 100000.0f) p += sign * 100.0f;
    return p;
}

/// The envelope time chosen by num_fct_vca, or null for SUSTAIN.
SHARED<float>* vca_time(VCA* a) {
    switch (num_fct_vca) {
    case 0: return &a->ATTACK;
    case 1: return &a->DECAY;
    case 3: return &a->RELEASE;
    default: return nullptr;
    }
}

/// The note of the selected step in the sequencer's current pattern, or null
/// when the step lies outside the grid (a step count may reach 64).
SHARED<int>* seq_note(SEQUENCER* s) {
    if (num_step_seq < 0 || num_step_seq >= SEQ_STEPS) return nullptr;
    if (s->current_pattern < 0 || s->current_pattern >= SEQ_PATTERNS) return nullptr;
    return &s->note[s->current_pattern * SEQ_STEPS + num_step_seq];
}

void next_waveform(int delta) {
    nr_type_onde += delta;
    if (nr_type_onde > 5) nr_type_onde = 1;
    if (nr_type_onde < 0) nr_type_onde = 5;
    if (VCO* o = vco()) o->TYPE = nr_type_onde;
    if (SEQUENCER* s = seq()) s->divider[0] = delta > 0 ? s->divider[0] * 2.0f : s->divider[0] / 2.0f;
}

// F1 and F2: frequency by the growing step t, or the parameter choice, or the
// note of the selected step.
void button_pitch(float& t, float sign) {
    if (VCO* o = vco()) o->FREQ = audible(o->FREQ + sign * t);
    if (vca()) {
        num_fct_vca += sign > 0 ? -1 : 1;
        if (num_fct_vca < 0) num_fct_vca = 3;
        if (num_fct_vca > 3) num_fct_vca = 0;
    }
    if (SEQUENCER* s = seq()) {
        auto* note = seq_note(s);
        // F1 lowers the note, F2 raises it, within the range the panel keeps.
        // A note from a file may lie anywhere: it is brought in first.
        if (note) {
            const int from = std::clamp(note->load(), -1, SEQ_NOTE_MAX + 1);
            *note = std::clamp(from + (sign > 0 ? -1 : 1), 0, SEQ_NOTE_MAX);
        }
    }
    if (pcf()) {
        num_fct_pcf += sign > 0 ? -1 : 1;
        if (num_fct_pcf < 0) num_fct_pcf = 4;
        if (num_fct_pcf > 4) num_fct_pcf = 0;
    }
    t *= 1.5f;
}

void button_f3() {
    if (VCO* o = vco()) o->AMOUNT += 0.01f;
    if (VCA* a = vca()) {
        if (auto* p = vca_time(a)) *p = coarse_step(*p, 1.0f);
        else if (num_fct_vca == 2) a->SUSTAIN = 1.0f;
    }
    if (SEQUENCER* s = seq()) {
        num_step_seq -= 1;
        if (num_step_seq < 0) num_step_seq = s->NBR_STEP[0];
    }
    if (PCF* f = pcf()) {
        if (num_fct_pcf == 0 && f->HICUT <= INT_MAX - 100) f->set_HiCutOff_Lower();
        if (num_fct_pcf == 1) f->Q -= 0.5f;
        if (num_fct_pcf == 2) f->GAIN -= 0.5f;
    }
}

void button_f4() {
    if (VCO* o = vco()) o->AMOUNT -= 0.01f;
    if (VCA* a = vca()) {
        if (auto* p = vca_time(a)) *p = coarse_step(*p, -1.0f);
        else if (num_fct_vca == 2) a->SUSTAIN = 0.0f;
    }
    if (SEQUENCER* s = seq()) {
        num_step_seq += 1;
        if (num_step_seq >= s->NBR_STEP[0]) num_step_seq = 0;
    }
}

}  // namespace

int Exec_Remote_Order() {
    const int word = __atomic_load_n(&PORT_A, __ATOMIC_RELAXED);
    int* const toggles[4] = {&toggle_BUTTON_1, &toggle_BUTTON_2, &toggle_BUTTON_3, &toggle_BUTTON_4};
    float* const times[4] = {&toggle_BUTTON_1_time, &toggle_BUTTON_2_time, &toggle_BUTTON_3_time,
                             &toggle_BUTTON_4_time};
    for (int k = 0; k < 4; k++) {
        *toggles[k] = (word >> k) & 1;
        if (!*toggles[k]) *times[k] = RELEASED_STEP;
    }
    int r = 0;

    if (fires(counter_1, 6, word & 16)) {
        if (int* sel = selection(nr_type_instru)) {
            *sel += 1;
            if (*sel >= list_size(nr_type_instru)) *sel = 0;
        }
        r = 1;
    }
    if (fires(counter_2, 6, word & 32)) {
        nr_type_instru += 1;
        if (nr_type_instru >= TYPE_COUNT) nr_type_instru = 0;
        r = 1;
    }
    if (fires(counter_3, 12, word & 64)) {
        next_waveform(1);
        r = 1;
    }
    if (fires(counter_4, 12, word & 128)) {
        next_waveform(-1);
        r = 1;
    }

    if (toggle_BUTTON_1) {
        std::printf("F1 [%f]\n", toggle_BUTTON_1_time);
        button_pitch(toggle_BUTTON_1_time, 1.0f);
        r = 1;
    }
    if (toggle_BUTTON_2) {
        std::printf("F2 [%f]\n", toggle_BUTTON_2_time);
        button_pitch(toggle_BUTTON_2_time, -1.0f);
        r = 1;
    }
    if (toggle_BUTTON_3) {
        std::printf("F3 [%f]\n", toggle_BUTTON_3_time);
        button_f3();
        toggle_BUTTON_3_time += 1.0f;
        r = 1;
    }
    if (toggle_BUTTON_4) {
        std::printf("F4 [%f]\n", toggle_BUTTON_4_time);
        button_f4();
        toggle_BUTTON_4_time += 1.0f;
        r = 1;
    }
    return r;
}
