// Sockets of the panels' backs (the wiring view, view mode 4). A socket is a
// sprite of the panel's alt_elements whose name says which port of the
// module it stands for, so the cable code maps sockets to ports and back by
// this one rule instead of a table per panel:
//   "JACK_IN_<KEY>"            an input; KEY is the key the links section of a
//                              patch file uses for it ("IN", "IN1", "IN2",
//                              "IN_IF", "IN_ASSIGN", "MOD_FREQ", "MOD_PHASE",
//                              "MOD_AMP", "MOD_PWM", "ALT_FREQ", "ALT_PHASE",
//                              "ALT_AMP", "ALT_PWM", "GATE", "SYNC")
//   "JACK_IN_ADD_CHANELL_<n>"  mixer channel n, 1 to MIXER_CHANNELS
//   "JACK_OUT"                 the module's value output
//   "JACK_GATE_OUT"            its gate output (keyboard, sequencer)
//   "JACK_SYNC_OUT"            its sync output (keyboard, sequencer)
// Beside each socket a label "LABEL_<socket name>" shows its caption.
#pragma once

#include <cstddef>

#include "engine/objet.h"

/// What a socket carries: a value word, a gate word or a sync pulse word.
enum SOCKET_KIND { SOCKET_VALUE, SOCKET_GATE, SOCKET_SYNC };

/// The port a socket stands for.
struct SOCKET_INFO {
    bool input = false;               ///< an input of the module (else an output)
    SOCKET_KIND kind = SOCKET_VALUE;  ///< gate and sync only ever meet their own kind
    /// Link key of an input ("MOD_FREQ", "GATE", "ADD_CHANELL" for a mixer
    /// channel), a literal of this module; null for an output.
    const char* key = nullptr;
    int channel = -1;                 ///< mixer channel 0..MIXER_CHANNELS-1 of an ADD_CHANELL input, else -1
};

/// Reads a socket name, bare ("JACK_IN_GATE") or with its panel's number
/// prefix ("12_JACK_IN_GATE"). False, with info untouched, for any other
/// name, an unknown key or a channel out of range.
bool read_socket_name(const char* name, SOCKET_INFO* info);
/// The same for an element of a panel, by its name after the panel prefix.
bool read_socket(const OBJET* panel, const SPRITE* element, SOCKET_INFO* info);
/// The socket name of a port (without panel prefix), the inverse of
/// read_socket_name. False, with out empty, for a port no socket stands for
/// or a name that does not fit in size bytes.
bool socket_name(const SOCKET_INFO& port, char* out, std::size_t size);
/// One output and one input of the same kind: a cable may join them.
bool sockets_match(const SOCKET_INFO& a, const SOCKET_INFO& b);
/// The socket of a port on a panel's back (alt_elements), or null.
SPRITE* find_socket(OBJET* panel, const SOCKET_INFO& port);
