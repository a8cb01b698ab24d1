// Playing the patch's keyboard modules: from MIDI keyboards through a MIDI
// input port of our own, and (shell/keyboard_play.cpp) from the computer
// keyboard, by the same note rules.
//
// Threads: MIDI arrives on the MIDI library's thread, which only decodes
// note messages into a lock-free queue. The audio thread drains the queue
// just before it computes each buffer, holding the patch's audio lock as it
// does to step the patch (try_lock: it never waits), and writes the keyboard
// modules' words as the panels do. A reload replaces modules under that same
// lock, so a keyboard is never touched after it was deleted; and a note waits
// at most one buffer, not one frame of the main loop. The computer keyboard
// writes the words from the main loop, with its own held keys.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

class GENERATOR;
class KEYBOARD;

// ---------------------------------------------------------------- the note rules

/// Largest number of keys held at once on one keyboard module; a further key
/// drops the oldest held one.
constexpr int HELD_KEYS_MAX = 16;

/// The module's octave and note for a MIDI note number: note number (octave x
/// 12 + note) = MIDI note - 11, so MIDI 69 is entry 58 of the note table
/// (440 Hz) and MIDI 60 is octave 4, note 1, a new keyboard's C. Notes run
/// 1..12 within an octave (C..B), as the panels count them. False for MIDI
/// notes below 11, which the table does not reach.
bool midi_note_to_keyboard(int midi_note, int* octave, int* note);

/// The keyboard module MIDI channel `channel` (0..15) plays: the n-th of the
/// patch in the patch file's order (channel 0 the first declared), or the
/// first when the patch has fewer; null without keyboards.
KEYBOARD* keyboard_of_channel(GENERATOR* patch, int channel);

/// The keys one note source holds on keyboard modules (up to 16 modules),
/// and the rules that turn them into the modules' words. Fixed size: it
/// never allocates. Each source (MIDI, the computer keyboard) has its own,
/// used from one thread at a time.
class NOTE_PLAYER {
public:
    /// A key goes down on a module: the module plays octave and note, its
    /// gate opens (an open gate stays open: legato) and a sync pulse is
    /// requested. `key` names the key among those held on the module. A
    /// module switched off on its panel (POWER) takes no notes.
    void on(KEYBOARD* keyboard, int key, int octave, int note);
    /// The key comes up: when it was the last held, the gate closes; when it
    /// was the sounding one, the newest key still held sounds again (without
    /// a sync pulse). Keys that are not held are ignored.
    void off(KEYBOARD* keyboard, int key);
    /// True when releasing key would close the module's gate.
    bool off_closes_gate(const KEYBOARD* keyboard, int key) const;
    /// Forgets every held key: the modules may have been replaced or deleted.
    void forget();

private:
    struct HELD_KEY {
        int key, octave, note;
    };
    /// The keys held on one module, oldest first; the last one sounds.
    struct HELD {
        const KEYBOARD* keyboard = nullptr;  ///< compared only, never followed
        HELD_KEY keys[HELD_KEYS_MAX];
        int count = 0;
        int find(int key) const;
        void remove(int i);
    };
    static constexpr int MODULES_MAX = 16;
    HELD modules_[MODULES_MAX];
    HELD* held_of(const KEYBOARD* keyboard);
    const HELD* held_of(const KEYBOARD* keyboard) const;
};

// ---------------------------------------------------------------- MIDI messages

/// A decoded note message.
struct MIDI_NOTE {
    std::uint8_t channel;   ///< 0..15 (MIDI channel 1..16)
    std::uint8_t note;      ///< MIDI note number 0..127
    std::uint8_t velocity;  ///< 1..127 for a note on, the release velocity for a note off
    bool on;                ///< note on; a note on with velocity 0 is a note off
};

/// Decodes one complete MIDI message. True for a note on or off (the
/// message's running-status-free form), false for anything else.
bool midi_decode(const unsigned char* bytes, std::size_t size, MIDI_NOTE* out);

/// Notes from the MIDI thread (the only writer) to the main thread (the only
/// reader), without locks or allocation; a full queue drops new notes.
class MIDI_QUEUE {
public:
    static constexpr unsigned CAPACITY = 256;  ///< a power of two
    /// Producer side. False when full.
    bool push(const MIDI_NOTE& n);
    /// Consumer side: the oldest note, left in the queue. False when empty.
    bool peek(MIDI_NOTE* n) const;
    /// Consumer side: drops the oldest note.
    void pop();

private:
    MIDI_NOTE slots_[CAPACITY] = {};
    std::atomic<unsigned> head_{0};  ///< next slot to read; written by the reader
    std::atomic<unsigned> tail_{0};  ///< next slot to write; written by the writer
};

// ---------------------------------------------------------------- the MIDI port

/// The MIDI systems our port can live in.
enum class MIDI_SYSTEM {
    AUTO,  ///< the JACK server when we play through it, else the ALSA sequencer, else JACK
    NONE,  ///< no MIDI input
    ALSA,  ///< the ALSA sequencer only
    JACK,  ///< a JACK server only
};

/// Reads a --midi value: "auto", "alsa", "jack" or "none". False for others.
bool midi_system_from_name(const char* name, MIDI_SYSTEM* out);

/// Opens our MIDI input port (ALSA client "z_ozodive" or JACK client
/// "z_ozodive_midi", port "in") and prints one line: the port, or why there
/// is none; the program goes on either way. jack_sound: the sound plays
/// through JACK, so AUTO tries JACK first. True when a port is open.
bool midi_input_start(MIDI_SYSTEM system, bool jack_sound);
/// Closes the port; no note is queued once this returns. Safe to call twice.
void midi_input_stop();
/// What the MIDI thread does with each message (public for tests): queues
/// the note messages. Never allocates, blocks or prints.
void midi_input_queue(const unsigned char* bytes, std::size_t size);
/// Plays the notes queued since the last call on patch's keyboard modules;
/// the caller holds the patch's audio lock (or is alone with the patch). A
/// release that would close a gate opened since the patch last stepped
/// waits for the next call (a few at most), so the shortest note sounds.
/// Never allocates, blocks or prints.
void midi_input_apply(GENERATOR* patch);
/// The sound layer's hook before each buffer: midi_input_apply on the
/// playing patch when the callback may play it and its lock is free.
void midi_input_before_buffer(void* unused);
/// Asks the audio side to forget the held MIDI keys before it plays the next
/// note: called from the main thread when the patch's modules were replaced.
void midi_input_forget();
