// Remote control: a TCP client sets one control word, PORT_A, whose bits act as
// four held buttons and four selector keys; Exec_Remote_Order, called 60 times
// a second by the main loop, turns that word into parameter changes on gen.
#pragma once

#include <SDL_net.h>

#include <string>

/// Listening port of the remote control.
constexpr int REMOTE_PORT = 9999;
/// Longest command line, bytes; a longer one ends its connection.
constexpr int REMOTE_LINE_MAX = 100000;
/// Clients served at once; one more is told so and closed.
constexpr int REMOTE_MAX_CLIENTS = 32;

/// Listening address and socket (opened by init_Z_OZODIVE).
extern IPaddress ip;
extern TCPsocket tcpsock;

/// The control word last received (bits 0-3 buttons F1-F4, 4 next module,
/// 5 next type, 6 next waveform / faster, 7 previous waveform / slower).
extern int PORT_A;
/// 1 while bit 0 ... 3 of PORT_A is set.
extern int toggle_BUTTON_1, toggle_BUTTON_2, toggle_BUTTON_3, toggle_BUTTON_4;
/// Per-button repeat value: 0.01 while released, grows while held.
extern float toggle_BUTTON_1_time, toggle_BUTTON_2_time, toggle_BUTTON_3_time, toggle_BUTTON_4_time;
/// Selected module type: 0 VCO, 1 VCA, 2 SEQUENCER, 3 PCF, 4 SAMPLER.
extern int nr_type_instru;
/// Selected index in each list of gen.
extern int nr_vco_selected, nr_vca_selected, nr_seq_selected, nr_pcf_selected, nr_sampler_selected;
/// Waveform number offered to the selected VCO.
extern int nr_type_onde;
/// VCA parameter the buttons act on: 0 ATTACK, 1 DECAY, 2 SUSTAIN, 3 RELEASE.
extern int num_fct_vca;
/// PCF parameter: 0 HICUT, 1 Q, 2 GAIN, 3 and 4 none.
extern int num_fct_pcf;
/// Selected step of the selected sequencer.
extern int num_step_seq;
/// Repeat-delay counters of bits 4 ... 7.
extern int counter_1, counter_2, counter_3, counter_4;

/// Program-start values of all the state above (everything 0).
void remote_state_reset();

/// 1 when the chunk of n bytes completes a CR LF (also one split across two
/// chunks, through the connection's demiTrouve flag), else 0.
int search_enter_in_string(const char* chunk, int n, unsigned char& demiTrouve);

/// The chunks of one command line as they arrive, with no socket: the reader
/// feeds what it receives, the fuzzer what it makes up.
struct RemoteLine {
    enum Status {
        MORE,      ///< no line end yet
        COMPLETE,  ///< this chunk completed a CR LF; text is the line
        TOO_LONG,  ///< the line would pass REMOTE_LINE_MAX bytes; the chunk was dropped
    };
    /// Every byte received for the line, CR LF and whatever followed it in the
    /// same chunk included; never longer than REMOTE_LINE_MAX.
    std::string text;

    /// Appends a chunk of n bytes (n > 0) and tells whether the line is complete.
    Status feed(const char* chunk, int n, unsigned char& demiTrouve);
    /// A zero-terminated copy of text the caller frees with free() (an embedded
    /// zero byte ends it early, as it would any C text).
    char* copy() const;
};

/// Applies one received line: cuts its last two characters (the CR LF), prints
/// "ORDER:[%s] : " with it, then acts on FINISH and PORTA=n anywhere in it.
/// Returns the connection result: 1 when it held FINISH, else 0.
int remote_apply_line(char* line);

/// Receives until a line end; a new zero-terminated text the caller frees with
/// free(), or null on a receive error, a closed peer, a line longer than
/// REMOTE_LINE_MAX or a server shutting down.
char* read_socket_for_MIME(TCPsocket client, unsigned char& demiTrouve);

/// Serves one accepted client (a TCPsocket) until FINISH or the end of its
/// connection; closes it. 1 after FINISH, else 0.
int traite_client_ordres(void* client);

/// Applies PORT_A once to gen; 1 when it changed something, else 0.
int Exec_Remote_Order();

/// Starts accepting clients on listening (one thread per client). 1, or 0 when
/// already running or listening is null.
int remote_server_start(TCPsocket listening);
/// Stops accepting, ends every connection and waits for their threads. The
/// listening socket stays the caller's.
void remote_server_stop();
