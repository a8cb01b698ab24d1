#include "shell/sound_device.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "shell/jack_output.h"
#include "shell/nosound_pacer.h"
#include "shell/portaudio_stream.h"
#include "shell/sound_drivers.h"
#include "shell/sound_log.h"
#include "shell/sound_stream.h"

// The sound-library layer: the FSOUND_* calls over the driver menus
// (shell/sound_drivers.h) and the three ways a stream plays: NoSound's pacer
// (shell/nosound_pacer.h), PortAudio (shell/portaudio_stream.h) and our JACK
// client (shell/jack_output.h). The back ends' own diagnostics go to the sound
// log (shell/sound_log.h), never to the user's console.
//
// Control calls (everything but the callbacks) come from one thread; only the
// hooks and the streams' callbacks are shared with the audio threads.

namespace {

// Probing must never launch a JACK server of its own (PortAudio's JACK host
// API and ALSA's JACK plugin would). Set while the program loads, before main
// and so before any thread: the environment must not change once threads may read it.
[[maybe_unused]] const bool jack_never_started = setenv("JACK_NO_START_SERVER", "1", 1) == 0;

constexpr float LAYER_VERSION = 3.75f;

// Mode bits a stream must carry, and those that contradict them.
constexpr unsigned MODE_8BITS = 0x08;
constexpr unsigned MODE_16BITS = 0x10;
constexpr unsigned MODE_MONO = 0x20;
constexpr unsigned MODE_STEREO = 0x40;
constexpr unsigned MODE_SIGNED = 0x100;
constexpr unsigned MODE_UNSIGNED = 0x200;
constexpr unsigned MODE_NEEDED = MODE_16BITS | MODE_STEREO | MODE_SIGNED;
constexpr unsigned MODE_REFUSED = MODE_8BITS | MODE_MONO | MODE_UNSIGNED;

constexpr int MIN_RATE = 4000;      // Hz
constexpr int MAX_RATE = 192000;    // Hz
constexpr int MAX_SOFTWARE_CHANNELS = 4096;

struct DeviceState {
    int output = -1;  ///< FSOUND_OUTPUT_*, -1 before any choice
    int driver = 0;
    bool initialized = false;
    int error = FMOD_ERR_NONE;
    std::string detail;  ///< the device's words for the last failure of FSOUND_Init or FSOUND_Stream_Play
    DRIVER_MENUS menus;
    PaDeviceIndex device = paNoDevice;  ///< the device FSOUND_Init accepted
    std::vector<FSOUND_STREAM*> streams;

    ~DeviceState();
};

DeviceState& state() {
    // Built on first use, so it is torn down before the program-wide objects
    // a stream callback may read: no stream outlives them.
    static DeviceState s;
    return s;
}

/// Records a failure; 0 is the failing result of most calls.
int fail(int code) {
    state().error = code;
    return 0;
}

/// A failure with the device's words for it.
int fail_because(int code, std::string why) {
    state().detail = std::move(why);
    return fail(code);
}

/// The same for FSOUND_Stream_Play, which fails with -1.
int play_failed(int code) {
    fail(code);
    return -1;
}

bool jack_fill_stream(std::int16_t* out, unsigned long frames, void* user) {
    auto* st = static_cast<FSOUND_STREAM*>(user);
    if (stream_fill(st, out, frames)) return true;
    st->finished.store(true);
    return false;
}

bool start_jack_stream(FSOUND_STREAM* st, std::string* why) {
    JACK_OUTPUT* jack = state().menus.jack();
    // One client, one stream: a second stream would steal the first one's ports.
    if (jack == nullptr || !jack->ok() || jack->playing()) {
        *why = jack != nullptr && jack->playing() ? "our JACK client plays another stream already"
                                                  : "the JACK server went away";
        return false;
    }
    if (!jack->start(jack_fill_stream, st)) {
        sound_log_line("JACK", jack->why().c_str());
        *why = jack->why();
        return false;
    }
    st->jack = jack;
    char text[160];
    std::snprintf(text, sizeof text, "client %s plays %d frames a period at %d Hz", jack->client_name().c_str(),
                  jack->period(), jack->rate());
    sound_log_line("stream started", text);
    return true;
}

void stop_stream(FSOUND_STREAM* st) {
    nosound_stop(st);
    if (st->jack != nullptr) {
        st->jack->stop();
        st->jack = nullptr;
    }
    portaudio_stop_stream(st);
    st->playing = false;
}

void close_all(DeviceState& s) {
    for (FSOUND_STREAM* st : s.streams) {
        stop_stream(st);
        delete st;
    }
    s.streams.clear();
    s.menus.clear();
    portaudio_stop();
    s.device = paNoDevice;
    s.initialized = false;
}

DeviceState::~DeviceState() {
    // A program that ends without FSOUND_Close still stops its streams here.
    if (!streams.empty() || portaudio_running() || menus.jack() != nullptr) close_all(*this);
}

/// FSOUND_Init's check of the JACK server: it must run at the stream's rate,
/// for the patch counts time in samples and would play at the wrong pitch.
int check_jack_rate(int rate) {
    JACK_OUTPUT* jack = state().menus.jack();
    if (jack == nullptr || !jack->ok()) return fail_because(FMOD_ERR_INIT, "the JACK server went away");
    if (jack->rate() == rate) return 1;
    char why[200];
    std::snprintf(why, sizeof why,
                  "The JACK server runs at %d Hz; z_ozodive plays at %d Hz only and will not start at another "
                  "rate (start the server with -r %d)",
                  jack->rate(), rate, rate);
    std::fprintf(stderr, "%s\n", why);
    return fail_because(FMOD_ERR_OUTPUT_FORMAT, why);
}

}  // namespace

// ---------------------------------------------------------------- the calls

float FSOUND_GetVersion() { return LAYER_VERSION; }

int FSOUND_SetOutput(int outputtype) {
    DeviceState& s = state();
    if (s.initialized) return fail(FMOD_ERR_BUSY);
    if (!sound_kind_offered(outputtype)) return fail(FMOD_ERR_INVALID_PARAM);
    s.output = outputtype;
    s.driver = 0;
    return 1;
}

int FSOUND_GetOutput() { return state().output; }

int FSOUND_GetNumDrivers() { return static_cast<int>(state().menus.of(state().output).size()); }

const char* FSOUND_GetDriverName(int id) {
    const std::vector<Driver>& list = state().menus.of(state().output);
    if (id < 0 || id >= static_cast<int>(list.size())) return nullptr;
    return list[static_cast<std::size_t>(id)].name.c_str();
}

int FSOUND_SetDriver(int driver) {
    DeviceState& s = state();
    if (s.initialized) return fail(FMOD_ERR_BUSY);
    if (driver < 0 || driver >= FSOUND_GetNumDrivers()) return fail(FMOD_ERR_INVALID_PARAM);
    s.driver = driver;
    return 1;
}

int FSOUND_GetDriver() { return state().driver; }

int FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned) {
    DeviceState& s = state();
    if (s.initialized) return fail(FMOD_ERR_BUSY);
    if (mixrate < MIN_RATE || mixrate > MAX_RATE || maxsoftwarechannels < 0 ||
        maxsoftwarechannels > MAX_SOFTWARE_CHANNELS)
        return fail(FMOD_ERR_INVALID_PARAM);
    s.detail.clear();
    if (s.output < 0) s.output = sound_automatic_output(s.menus);
    const std::vector<Driver>& list = s.menus.of(s.output);
    if (s.driver >= static_cast<int>(list.size())) {
        if (s.output == FSOUND_OUTPUT_JACK && !s.menus.jack_why().empty())
            return fail_because(FMOD_ERR_INIT, s.menus.jack_why());
        return fail_because(FMOD_ERR_INIT, list.empty() ? std::string(sound_kind_plain_name(s.output)) +
                                                              " has no driver here"
                                                        : "no driver " + std::to_string(s.driver + 1) + " here");
    }
    const Driver& d = list[static_cast<std::size_t>(s.driver)];
    if (s.output == FSOUND_OUTPUT_JACK) {
        if (check_jack_rate(mixrate) == 0) return 0;
    } else if (s.output != FSOUND_OUTPUT_NOSOUND) {
        std::string why;
        const int code = portaudio_check_device(d, mixrate, &why);
        if (code != FMOD_ERR_NONE) return fail_because(code, why);
    }
    s.device = d.device;
    s.initialized = true;
    return 1;
}

void FSOUND_Close() { close_all(state()); }

int FSOUND_GetError() { return state().error; }

const char* sound_error_detail() { return state().detail.c_str(); }

std::vector<std::string> sound_driver_names(int kind) {
    std::vector<std::string> names;
    if (!sound_kind_offered(kind)) return names;
    for (const Driver& d : state().menus.of(kind)) names.push_back(d.name);
    return names;
}

FSOUND_STREAM* FSOUND_Stream_Create(FSOUND_STREAMCALLBACK callback, int lenbytes, unsigned mode, int samplerate,
                                    void* userdata) {
    DeviceState& s = state();
    if (!s.initialized) {
        fail(FMOD_ERR_UNINITIALIZED);
        return nullptr;
    }
    if (callback == nullptr || lenbytes <= 0 || lenbytes % BYTES_PER_FRAME != 0 ||
        (mode & MODE_NEEDED) != MODE_NEEDED || (mode & MODE_REFUSED) != 0 || samplerate < MIN_RATE ||
        samplerate > MAX_RATE) {
        fail(FMOD_ERR_INVALID_PARAM);
        return nullptr;
    }
    auto* st = new (std::nothrow) FSOUND_STREAM(callback, userdata, lenbytes / BYTES_PER_FRAME, samplerate, mode);
    if (st == nullptr) {
        fail(FMOD_ERR_MEMORY);
        return nullptr;
    }
    try {
        // Only NoSound's thread fills a buffer of ours; PortAudio brings its own.
        if (s.output == FSOUND_OUTPUT_NOSOUND) st->buffer.resize(static_cast<std::size_t>(st->frames) * 2);
        s.streams.push_back(st);
    } catch (const std::bad_alloc&) {
        delete st;
        fail(FMOD_ERR_MEMORY);
        return nullptr;
    }
    return st;
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream) {
    DeviceState& s = state();
    if (!s.initialized) return play_failed(FMOD_ERR_UNINITIALIZED);
    if (stream == nullptr || channel < -1) return play_failed(FMOD_ERR_INVALID_PARAM);
    const int played_on = channel >= 0 ? channel : 0;
    if (stream->playing && !stream->finished.load()) return played_on;
    stop_stream(stream);  // a stream whose callback ended starts again
    stream->finished.store(false);
    s.detail.clear();
    const bool started = s.output == FSOUND_OUTPUT_NOSOUND ? nosound_start(stream)
                         : s.output == FSOUND_OUTPUT_JACK  ? start_jack_stream(stream, &s.detail)
                                                           : portaudio_start_stream(stream, s.device, &s.detail);
    if (!started) return play_failed(FMOD_ERR_PLAY);
    stream->playing = true;
    return played_on;
}

int FSOUND_Stream_Stop(FSOUND_STREAM* stream) {
    if (stream == nullptr) return fail(FMOD_ERR_INVALID_PARAM);
    stop_stream(stream);
    return 1;
}

int FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    if (stream == nullptr) return fail(FMOD_ERR_INVALID_PARAM);
    stop_stream(stream);
    std::vector<FSOUND_STREAM*>& all = state().streams;
    all.erase(std::remove(all.begin(), all.end(), stream), all.end());
    delete stream;
    return 1;
}

