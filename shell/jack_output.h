// Playing through a JACK server: one client with two output ports, whose
// process callback asks the stream for sound at JACK's own period.
//
// We talk to libjack directly rather than through PortAudio's JACK host API:
// PortAudio opens a JACK client for every program that starts it, whatever
// output is chosen; it cannot tell us the server's rate before we commit to
// one (we refuse anything but 44100 Hz with a clear message); and it names
// and connects ports its own way. Here the client exists only for
// --output jack, its ports are ours to name and connect, and the stream is
// called from the process callback itself, with no buffer adapter between.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

struct _jack_client;
struct _jack_port;

/// Fills `frames` stereo frames of 16-bit interleaved sound at out. Runs on
/// JACK's process thread: must not allocate, block or print. False once the
/// stream has ended (the rest of the period is then silence).
using jack_fill = bool (*)(std::int16_t* out, unsigned long frames, void* user);

class JACK_OUTPUT {
public:
    /// Connects to the running server as client `name` (never starts a
    /// server). ok() is false, with the reason in why(), when none answers.
    explicit JACK_OUTPUT(const char* name);
    /// Stops playing and leaves the server.
    ~JACK_OUTPUT();
    JACK_OUTPUT(const JACK_OUTPUT&) = delete;
    JACK_OUTPUT& operator=(const JACK_OUTPUT&) = delete;

    bool ok() const { return client_ != nullptr; }
    /// Why the last step failed ("" when none did).
    const std::string& why() const { return why_; }
    /// The server's sample rate, Hz (0 without a server).
    int rate() const;
    /// The server's period, frames (0 without a server).
    int period() const;
    /// The client's name as the server gave it ("" without a server).
    std::string client_name() const;

    /// Registers the ports "out_left" and "out_right", starts the process
    /// callback and connects the ports to the first two physical playback
    /// ports when there are any. False, with why(), when it cannot.
    bool start(jack_fill fill, void* user);
    /// Returns once the process callback will not call fill again.
    void stop();
    /// True between start and stop.
    bool playing() const { return active_; }
    /// True after the server went away (the stream is then silent for good).
    bool server_gone() const;

private:
    static int process(unsigned frames, void* self);
    static void shutdown(void* self);
    void connect_to_playback();

    _jack_client* client_ = nullptr;
    _jack_port* left_ = nullptr;
    _jack_port* right_ = nullptr;
    std::string why_;
    jack_fill fill_ = nullptr;
    void* user_ = nullptr;
    bool active_ = false;
    /// 16-bit frames the stream fills before they become floats; made
    /// before the callback starts, so the callback never allocates.
    std::int16_t* scratch_ = nullptr;
    unsigned scratch_frames_ = 0;
    /// The stream said it has ended: the callback plays silence from then on.
    std::atomic<bool> ended_{false};
    /// The server shut the client down.
    std::atomic<bool> gone_{false};
};
