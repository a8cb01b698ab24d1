#include "shell/jack_output.h"

#include <jack/jack.h>

#include <algorithm>
#include <new>

namespace {
/// 16-bit full scale: the stream's words become floats in -1..1.
constexpr float FULL_SCALE = 32768.0f;
/// The scratch buffer holds at least this many frames; a longer period is
/// filled in several pieces.
constexpr unsigned MIN_SCRATCH_FRAMES = 4096;
}  // namespace

JACK_OUTPUT::JACK_OUTPUT(const char* name) {
    jack_status_t status{};
    // JackNoStartServer: a missing server is reported, never started behind the user's back.
    client_ = jack_client_open(name, JackNoStartServer, &status);
    if (client_ == nullptr) why_ = "no JACK server answers (start jackd, or PipeWire's JACK, first)";
}

JACK_OUTPUT::~JACK_OUTPUT() {
    stop();
    if (client_ != nullptr) jack_client_close(client_);
    delete[] scratch_;
}

int JACK_OUTPUT::rate() const { return client_ != nullptr ? (int)jack_get_sample_rate(client_) : 0; }

int JACK_OUTPUT::period() const { return client_ != nullptr ? (int)jack_get_buffer_size(client_) : 0; }

std::string JACK_OUTPUT::client_name() const { return client_ != nullptr ? jack_get_client_name(client_) : ""; }

bool JACK_OUTPUT::server_gone() const { return gone_.load(); }

int JACK_OUTPUT::process(unsigned frames, void* arg) {
    auto* self = static_cast<JACK_OUTPUT*>(arg);
    float* left = static_cast<float*>(jack_port_get_buffer(self->left_, frames));
    float* right = static_cast<float*>(jack_port_get_buffer(self->right_, frames));
    unsigned done = 0;
    while (done < frames) {
        const unsigned n = std::min(frames - done, self->scratch_frames_);
        if (self->ended_.load(std::memory_order_relaxed)) {
            std::fill(left + done, left + frames, 0.0f);
            std::fill(right + done, right + frames, 0.0f);
            return 0;
        }
        if (!self->fill_(self->scratch_, n, self->user_)) self->ended_.store(true, std::memory_order_relaxed);
        for (unsigned i = 0; i < n; i++) {
            left[done + i] = self->scratch_[2 * i] / FULL_SCALE;
            right[done + i] = self->scratch_[2 * i + 1] / FULL_SCALE;
        }
        done += n;
    }
    return 0;
}

void JACK_OUTPUT::shutdown(void* arg) {
    // Called when the server drops us; the client is dead, only its handle remains.
    static_cast<JACK_OUTPUT*>(arg)->gone_.store(true);
}

bool JACK_OUTPUT::start(jack_fill fill, void* user) {
    if (client_ == nullptr) return false;
    if (active_) return true;
    fill_ = fill;
    user_ = user;
    ended_.store(false);
    const unsigned frames = std::max(MIN_SCRATCH_FRAMES, (unsigned)jack_get_buffer_size(client_));
    if (scratch_frames_ < frames) {
        delete[] scratch_;
        scratch_ = new (std::nothrow) std::int16_t[(size_t)frames * 2];
        scratch_frames_ = scratch_ != nullptr ? frames : 0;
        if (scratch_ == nullptr) {
            why_ = "no memory for the stream's buffer";
            return false;
        }
    }
    if (left_ == nullptr) left_ = jack_port_register(client_, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (right_ == nullptr)
        right_ = jack_port_register(client_, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (left_ == nullptr || right_ == nullptr) {
        why_ = "the JACK server refused our output ports";
        return false;
    }
    jack_set_process_callback(client_, process, this);
    jack_on_shutdown(client_, shutdown, this);
    if (jack_activate(client_) != 0) {
        why_ = "the JACK server would not start our client";
        return false;
    }
    active_ = true;
    connect_to_playback();
    return true;
}

void JACK_OUTPUT::connect_to_playback() {
    const char** playback =
        jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);
    if (playback == nullptr) return;  // a server without sound cards: the user connects us
    if (playback[0] != nullptr) {
        jack_connect(client_, jack_port_name(left_), playback[0]);
        // A mono card hears both sides.
        jack_connect(client_, jack_port_name(right_), playback[1] != nullptr ? playback[1] : playback[0]);
    }
    jack_free(playback);
}

void JACK_OUTPUT::stop() {
    if (!active_) return;
    // Returns once the process callback has run for the last time. After a
    // shutdown the client is gone and only the handle is left to close.
    if (!gone_.load()) jack_deactivate(client_);
    active_ = false;
}
