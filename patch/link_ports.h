// Input ports and the one pointer write that links each of them. The links
// section of a patch file and the cables made by hand both link through here,
// so a link is the same word whoever makes it, the audio thread sees it at
// once, and the saver reads it back from the port like any other.
//
// Every write is one aligned pointer (or int) store made while the audio
// runs: the module reads either the old source or the new one, never a torn
// word, and an unlinked port reads as null (unconnected), never as a pointer
// to something freed.
#pragma once

#include "synth/generator.h"

// ---------------------------------------------------------------- the writes
// A null source leaves the input as it was (a link to an unknown name).

/// Points an input that holds its source's address (a module's main input, a
/// mixer channel) at o's value.
void link_address(float*& input, OUTPUT* o);
/// Points one of a module's extra inputs (MOD_*, ALT_*, IN1, IN_ASSIGN, a sound
/// output's IN) at o, through a new INPUT owned by the patch g.
void link_new(GENERATOR& g, INPUT*& input, OUTPUT* o);
/// Points a gate input at o's gate word.
void link_gate(int*& input, OUTPUT_GATE* o);
/// Points a sync input at o's pulse word.
void link_sync(int*& input, OUTPUT_SYNC* o);

// ---------------------------------------------------------------- the ports

/// One input of one module, found by the key the links section uses for it.
/// Exactly one of the pointers is set for a port that exists.
struct INPUT_PORT {
    INPUT* direct = nullptr;     ///< holds the fed value's address itself (main inputs, mixer channels)
    INPUT** owned = nullptr;     ///< an extra input: null, or an INPUT the patch allocated per link
    INPUT_GATE* gate = nullptr;  ///< a gate input (gate_source)
    INPUT_SYNC* sync = nullptr;  ///< a sync input (sync_source)
    MIXER* mixer = nullptr;      ///< for a mixer channel: the mixer, whose channel count the port uses
    int channel = -1;            ///< for a mixer channel: 0..MIXER_CHANNELS-1

    /// The port exists.
    bool valid() const { return direct != nullptr || owned != nullptr || gate != nullptr || sync != nullptr; }
    /// A value port (main input, extra input or mixer channel).
    bool carries_value() const { return direct != nullptr || owned != nullptr; }
    /// The input a value link reads through (null for an unlinked extra input
    /// and for gate and sync ports), as the panels' source look-ups take it.
    INPUT* value_input() const { return direct != nullptr ? direct : owned != nullptr ? *owned : nullptr; }
    /// Whether something feeds the port now (a mixer channel only while it is
    /// one of the channels the mixer sums).
    bool fed() const;
};

// The ports of each module type, by exact key ("IN", "MOD_FREQ", "GATE", ...);
// an invalid port for a key the module's links do not know. These are the
// inputs the links section reaches (patch/ksy_links.cpp).
INPUT_PORT input_port(VCO* m, const char* key);              ///< MOD_*, ALT_*, IN, GATE, SYNC
INPUT_PORT input_port(SAMPLER* m, const char* key);          ///< MOD_FREQ/PHASE/AMP, IN, GATE, SYNC
INPUT_PORT input_port(VCA* m, const char* key);              ///< IN, GATE
INPUT_PORT input_port(PCF* m, const char* key);              ///< MOD_FREQ/PHASE/AMP, IN, GATE, SYNC
INPUT_PORT input_port(SEQUENCER* m, const char* key);        ///< SYNC
INPUT_PORT input_port(BASIC_OPERATION* m, const char* key);  ///< IN1, IN2, IN_IF
INPUT_PORT input_port(VALEUR* m, const char* key);           ///< IN
INPUT_PORT input_port(SOUND_OUTPUT* m, const char* key);     ///< IN
INPUT_PORT input_port(VARIABLE* m, const char* key);         ///< IN, IN_ASSIGN
/// Mixer channel 0..MIXER_CHANNELS-1; invalid outside.
INPUT_PORT channel_port(MIXER* m, int channel);

// ---------------------------------------------------------------- linking a port

/// Links a value port to o with the links section's write for it. A mixer
/// channel below the mixer's channel count is refilled in place; any other
/// channel adds the mixer's next channel (the loader's ajoute_en_entree with
/// -1), so the link may land on another channel than asked: the returned port
/// is the one really linked, invalid when nothing was (no source, a full
/// mixer, not a value port).
INPUT_PORT link_value_port(GENERATOR& g, const INPUT_PORT& port, OUTPUT* o);
/// As link_value_port, for a patch that plays: an extra input is pointed at
/// `made` (an INPUT fed by o, made beforehand with g.new_link), so the link
/// itself never allocates and can run inside an edit. A full mixer is refused.
INPUT_PORT link_value_port_made(const INPUT_PORT& port, OUTPUT* o, INPUT* made);
/// Links a gate port to o; false when the port is no gate port or o is null.
bool link_gate_port(const INPUT_PORT& port, OUTPUT_GATE* o);
/// Links a sync port to o; false when the port is no sync port or o is null.
bool link_sync_port(const INPUT_PORT& port, OUTPUT_SYNC* o);

/// Everything a port holds, to be put back later (undo).
struct PORT_WORDS {
    float* source = nullptr;    ///< direct ports
    INPUT* owned = nullptr;     ///< extra inputs (the INPUT stays owned by the patch)
    int* word = nullptr;        ///< gate and sync ports
    int channel_count = 0;      ///< mixer channels: the mixer's count
};
/// What the port holds now.
PORT_WORDS port_words(const INPUT_PORT& port);
/// Puts back what port_words returned, one word at a time, in an order the
/// audio thread may watch: a mixer channel leaves the sum before its source
/// changes and joins it only after. Undo puts back changes newest first.
void restore_port(const INPUT_PORT& port, const PORT_WORDS& words);
/// Makes the port read as unconnected (null). A mixer channel keeps its place
/// among the mixer's channels (the mixer skips it) and is refilled in place by
/// the next link to it.
void unlink_port(const INPUT_PORT& port);
