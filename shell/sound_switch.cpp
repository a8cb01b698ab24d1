#include "shell/sound_switch.h"

#include <vector>

#include "shell/sound_errors.h"
#include "shell/sound_log.h"
#include "shell/sound_stream.h"

namespace {

/// Everything needed to make the stream again on another device.
struct STREAM_MAKING {
    FSOUND_STREAMCALLBACK callback;
    void* userdata;
    int bytes;
    unsigned mode;
    int rate;
};

/// Most software channels a device is opened with, as at start-up.
constexpr int SOFTWARE_CHANNELS = 32;

/// The driver of place among those listed now: by name, else by number; -1 when gone.
int find_driver(const SOUND_PLACE& place) {
    const std::vector<std::string> names = sound_driver_names(place.output);
    for (int i = 0; i < (int)names.size(); i++)
        if (!place.name.empty() && names[(size_t)i] == place.name) return i;
    if (!place.name.empty() && !names.empty()) return -1;  // a name that is no longer listed
    return place.driver >= 0 && place.driver < (int)names.size() ? place.driver : -1;
}

/// Opens place and starts a stream on it; null with *why when it cannot
/// (the layer is then closed again).
FSOUND_STREAM* open_at(const SOUND_PLACE& place, const STREAM_MAKING& m, std::string* why) {
    FSOUND_Close();
    if (FSOUND_SetOutput(place.output) == 0) {
        *why = "no such output here";
        return nullptr;
    }
    const int driver = find_driver(place);
    if (driver >= 0) {
        FSOUND_SetDriver(driver);
    } else if (FSOUND_GetNumDrivers() > 0) {
        *why = "the driver " + (place.name.empty() ? std::to_string(place.driver + 1) : place.name) +
               " is not listed any more";
        return nullptr;
    }
    // A kind without any driver fails here, with the reason (no server, no device).
    if (FSOUND_Init(m.rate, SOFTWARE_CHANNELS, 0) == 1) {
        FSOUND_STREAM* st = FSOUND_Stream_Create(m.callback, m.bytes, m.mode, m.rate, m.userdata);
        if (st != nullptr && FSOUND_Stream_Play(0, st) != -1) return st;
    }
    *why = sound_failure_text();
    FSOUND_Close();
    return nullptr;
}

}  // namespace

SOUND_PLACE sound_current_place() {
    SOUND_PLACE p;
    p.output = FSOUND_GetOutput();
    p.driver = FSOUND_GetDriver();
    const std::vector<std::string> names = sound_driver_names(p.output);
    if (p.driver >= 0 && p.driver < (int)names.size()) p.name = names[(size_t)p.driver];
    return p;
}

SOUND_SWITCH sound_switch(FSOUND_STREAM** stream, const SOUND_PLACE& place) {
    SOUND_SWITCH result;
    if (stream == nullptr || *stream == nullptr) {
        result.why = "no stream plays";
        result.playing = sound_current_place();
        return result;
    }
    const FSOUND_STREAM* old = *stream;
    const STREAM_MAKING making{old->callback, old->userdata, old->frames * BYTES_PER_FRAME, old->mode, old->rate};
    const SOUND_PLACE before = sound_current_place();
    // Closing the layer stops and frees the stream: its callback has run for
    // the last time when FSOUND_Close returns.
    *stream = nullptr;
    *stream = open_at(place, making, &result.why);
    if (*stream != nullptr) {
        result.switched = true;
        result.playing = sound_current_place();
        return result;
    }
    sound_log_line("output switch failed", result.why.c_str());
    // Back to where it played; should that fail too (the device went away
    // meanwhile), NoSound, which needs no device.
    std::string again;
    SOUND_PLACE nosound;
    nosound.output = FSOUND_OUTPUT_NOSOUND;
    for (const SOUND_PLACE& fallback : {before, nosound}) {
        *stream = open_at(fallback, making, &again);
        if (*stream != nullptr) {
            result.playing = sound_current_place();
            return result;
        }
        sound_log_line("output switch: going back failed", again.c_str());
    }
    result.playing = SOUND_PLACE{};
    return result;
}
