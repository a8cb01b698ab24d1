#include "shell/midi_input.h"

#include <jack/jack.h>
#include <RtMidi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "shell/globals.h"
#include "shell/sound_device.h"
#include "shell/sound_log.h"
#include "synth/generator.h"

// ---------------------------------------------------------------- the note rules

namespace {
/// MIDI note number of note-table entry 0 (the B below the lowest C).
constexpr int MIDI_OF_ENTRY_0 = 11;
}  // namespace

bool midi_note_to_keyboard(int midi_note, int* octave, int* note) {
    const int entry = midi_note - MIDI_OF_ENTRY_0;
    if (entry < 0 || midi_note > 127) return false;
    // Entry 0 is the only B below the first C: octave 0, note 0.
    *octave = entry == 0 ? 0 : (entry - 1) / 12;
    *note = entry - 12 * *octave;
    return true;
}

KEYBOARD* keyboard_of_channel(GENERATOR* patch, int channel) {
    if (patch == nullptr) return nullptr;
    const int n = std::min<int>(patch->nb_keyboards, (int)patch->keyboards.size());
    if (n <= 0) return nullptr;
    const int i = channel >= 0 && channel < n ? channel : 0;
    // The lists are newest first: the first declared module is the last one.
    return patch->keyboards[(size_t)(n - 1 - i)];
}

int NOTE_PLAYER::HELD::find(int key) const {
    for (int i = 0; i < count; i++)
        if (keys[i].key == key) return i;
    return -1;
}

void NOTE_PLAYER::HELD::remove(int i) {
    std::copy(keys + i + 1, keys + count, keys + i);
    count--;
}

const NOTE_PLAYER::HELD* NOTE_PLAYER::held_of(const KEYBOARD* k) const {
    for (const HELD& h : modules_)
        if (h.keyboard == k && h.count > 0) return &h;
    return nullptr;
}

NOTE_PLAYER::HELD* NOTE_PLAYER::held_of(const KEYBOARD* k) {
    return const_cast<HELD*>(static_cast<const NOTE_PLAYER*>(this)->held_of(k));
}

void NOTE_PLAYER::on(KEYBOARD* k, int key, int octave, int note) {
    if (k == nullptr || k->on == 0) return;
    HELD* h = held_of(k);
    for (HELD& free : modules_) {
        if (h != nullptr) break;
        if (free.count == 0) h = &free;
    }
    if (h == nullptr) return;  // keys held on sixteen other modules already
    h->keyboard = k;
    const int was = h->find(key);
    if (was >= 0) h->remove(was);
    if (h->count == HELD_KEYS_MAX) h->remove(0);
    h->keys[h->count++] = {key, octave, note};
    k->octave = octave;
    k->note = note;
    if (k->gate == 0) k->TRIG();
    k->shown_gate = 1;  // the panel's lamp at once, not at the next step
    k->request = 1;
}

bool NOTE_PLAYER::off_closes_gate(const KEYBOARD* k, int key) const {
    const HELD* h = held_of(k);
    return h != nullptr && h->count == 1 && h->keys[0].key == key;
}

void NOTE_PLAYER::off(KEYBOARD* k, int key) {
    HELD* h = held_of(k);
    const int i = h != nullptr ? h->find(key) : -1;
    if (i < 0) return;
    const bool sounding = i == h->count - 1;
    h->remove(i);
    if (h->count == 0) {
        k->UNTRIG();
        k->shown_gate = 0;
    } else if (sounding) {
        k->octave = h->keys[h->count - 1].octave;
        k->note = h->keys[h->count - 1].note;
    }
}

void NOTE_PLAYER::forget() {
    for (HELD& h : modules_) h = HELD{};
}

// ---------------------------------------------------------------- MIDI messages

bool midi_decode(const unsigned char* bytes, std::size_t size, MIDI_NOTE* out) {
    if (bytes == nullptr || size < 3) return false;
    const unsigned kind = bytes[0] & 0xF0u;
    if (kind != 0x80u && kind != 0x90u) return false;
    if ((bytes[1] & 0x80u) != 0 || (bytes[2] & 0x80u) != 0) return false;  // not data bytes
    out->channel = (std::uint8_t)(bytes[0] & 0x0Fu);
    out->note = bytes[1];
    out->velocity = bytes[2];
    out->on = kind == 0x90u && bytes[2] != 0;
    return true;
}

bool MIDI_QUEUE::push(const MIDI_NOTE& n) {
    const unsigned tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) >= CAPACITY) return false;
    slots_[tail % CAPACITY] = n;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
}

bool MIDI_QUEUE::peek(MIDI_NOTE* n) const {
    const unsigned head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return false;
    *n = slots_[head % CAPACITY];
    return true;
}

void MIDI_QUEUE::pop() {
    const unsigned head = head_.load(std::memory_order_relaxed);
    if (head != tail_.load(std::memory_order_acquire)) head_.store(head + 1, std::memory_order_release);
}

// ---------------------------------------------------------------- the port

namespace {
constexpr const char* ALSA_CLIENT = "z_ozodive";
constexpr const char* JACK_CLIENT = "z_ozodive_midi";
constexpr const char* PORT_NAME = "in";
/// Calls a release may wait for the patch to take its note's sync request.
constexpr int RELEASE_WAIT_CALLS = 4;

MIDI_QUEUE queue;
std::unique_ptr<RtMidiIn> port;
/// The held MIDI keys: used only by whoever drains the queue.
NOTE_PLAYER midi_player;
int release_waited = 0;  ///< calls the oldest queued release has waited
/// Set by the main thread after a reload, taken by the next drain.
std::atomic<bool> forget_asked{false};

/// Identifies a MIDI key among the keys held on a module.
int midi_key(const MIDI_NOTE& n) { return n.channel * 128 + n.note; }

void on_message(double, std::vector<unsigned char>* message, void*) {
    if (message != nullptr) midi_input_queue(message->data(), message->size());
}

/// What the library reported while the port was being opened.
std::string last_error;
void on_error(RtMidiError::Type, const std::string& text, void*) { last_error = text; }
// Once the port is open the library reports from its own thread, where we
// must not allocate: a broken message is simply not played.
void ignore_error(RtMidiError::Type, const std::string&, void*) {}

/// True when a JACK server answers. The MIDI library cannot be asked: given
/// no server, it goes on with a client it does not have.
bool jack_server_runs() {
    jack_client_t* probe = jack_client_open("z_ozodive_probe", JackNoStartServer, nullptr);
    if (probe == nullptr) return false;
    jack_client_close(probe);
    return true;
}

/// Opens the port in one system; null after setting why.
std::unique_ptr<RtMidiIn> open_port(MIDI_SYSTEM system, std::string* why) {
    const bool jack = system == MIDI_SYSTEM::JACK;
    // The MIDI libraries report a missing sequencer or server on standard
    // error themselves while we probe: that goes to the sound log.
    CONSOLE_TO_LOG quiet(CONSOLE_TO_LOG::ERROR_ONLY);
    if (jack && !jack_server_runs()) {
        *why = "no JACK server";
        return nullptr;
    }
    last_error.clear();
    try {
        auto in = std::make_unique<RtMidiIn>(jack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA,
                                             jack ? JACK_CLIENT : ALSA_CLIENT);
        in->setErrorCallback(on_error, nullptr);
        in->setCallback(on_message, nullptr);
        in->openVirtualPort(PORT_NAME);
        if (last_error.empty()) {
            in->setErrorCallback(ignore_error, nullptr);
            return in;
        }
    } catch (const RtMidiError& e) {
        last_error = e.getMessage();
    }
    *why = jack ? "the JACK server refused our MIDI port" : "no ALSA sequencer";
    // The library's own words, for the log.
    if (!last_error.empty()) std::fprintf(stderr, "MIDI: %s\n", last_error.c_str());
    return nullptr;
}
}  // namespace

bool midi_system_from_name(const char* name, MIDI_SYSTEM* out) {
    static const struct {
        const char* name;
        MIDI_SYSTEM system;
    } systems[] = {{"auto", MIDI_SYSTEM::AUTO}, {"none", MIDI_SYSTEM::NONE}, {"alsa", MIDI_SYSTEM::ALSA},
                   {"jack", MIDI_SYSTEM::JACK}};
    for (const auto& s : systems) {
        if (std::strcmp(name, s.name) != 0) continue;
        *out = s.system;
        return true;
    }
    return false;
}

bool midi_input_start(MIDI_SYSTEM system, bool jack_sound) {
    midi_input_stop();
    if (system == MIDI_SYSTEM::NONE) return false;
    std::vector<MIDI_SYSTEM> tries;
    if (system == MIDI_SYSTEM::AUTO && jack_sound) tries = {MIDI_SYSTEM::JACK, MIDI_SYSTEM::ALSA};
    else if (system == MIDI_SYSTEM::AUTO) tries = {MIDI_SYSTEM::ALSA, MIDI_SYSTEM::JACK};
    else tries = {system};
    std::string reasons;
    for (MIDI_SYSTEM s : tries) {
        std::string why;
        port = open_port(s, &why);
        if (port) {
            sound_set_prebuffer(midi_input_before_buffer, nullptr);
            if (s == MIDI_SYSTEM::JACK) std::printf("MIDI input: JACK port %s:%s\n", JACK_CLIENT, PORT_NAME);
            else std::printf("MIDI input: ALSA sequencer port %s:%s\n", ALSA_CLIENT, PORT_NAME);
            std::fflush(stdout);
            return true;
        }
        reasons += (reasons.empty() ? "" : ", ") + why;
    }
    std::printf("No MIDI input (%s): playing on without it\n", reasons.c_str());
    std::fflush(stdout);
    return false;
}

void midi_input_stop() {
    if (!port) return;
    sound_set_prebuffer(nullptr, nullptr);
    CONSOLE_TO_LOG quiet(CONSOLE_TO_LOG::ERROR_ONLY);
    // Deleting the port joins the library's thread: no message comes after.
    port.reset();
}

void midi_input_queue(const unsigned char* bytes, std::size_t size) {
    MIDI_NOTE n;
    if (midi_decode(bytes, size, &n)) queue.push(n);
}

void midi_input_apply(GENERATOR* patch) {
    if (forget_asked.exchange(false, std::memory_order_acquire)) midi_player.forget();
    MIDI_NOTE n;
    while (queue.peek(&n)) {
        KEYBOARD* k = keyboard_of_channel(patch, n.channel);
        // The patch takes the sync request with the first sample it steps
        // after the note on: until then, the gate has not been heard open.
        if (k != nullptr && !n.on && k->request == 1 && midi_player.off_closes_gate(k, midi_key(n)) &&
            release_waited < RELEASE_WAIT_CALLS) {
            release_waited++;
            return;
        }
        release_waited = 0;
        queue.pop();
        int octave = 0, note = 0;
        if (k == nullptr) continue;
        if (!n.on) midi_player.off(k, midi_key(n));
        else if (midi_note_to_keyboard(n.note, &octave, &note)) midi_player.on(k, midi_key(n), octave, note);
    }
}

void midi_input_before_buffer(void*) {
    if (CALLBACK_READY.load(std::memory_order_acquire) == 0) return;
    GENERATOR* patch = main_gen.load(std::memory_order_acquire);
    // A reload holds the lock: the notes wait for the next buffer.
    if (patch == nullptr || !patch->audio_lock.try_lock()) return;
    midi_input_apply(patch);
    patch->audio_lock.unlock();
}

void midi_input_forget() { forget_asked.store(true, std::memory_order_release); }
