#include "shell/sound_drivers.h"

#include <jack/jack.h>

#include <cstdio>
#include <initializer_list>
#include <utility>

#include "shell/sound_log.h"

namespace {
constexpr const char* NOSOUND_DRIVER_NAME = "NoSound (real-time pacing, no device)";
constexpr const char* SERVER_DEVICE = "pulse";  // ALSA's device for the sound server
constexpr const char* SERVER_DRIVER_NAME = "pulse (PulseAudio or PipeWire sound server)";
constexpr const char* JACK_CLIENT_NAME = "z_ozodive";
}  // namespace

/// The JACK kind's one driver, when a server answers: the client stays open
/// from here on, so the server's rate can be checked before anything plays.
std::vector<Driver> DRIVER_MENUS::jack_servers() {
    std::vector<Driver> found;
    if (!jack_) {
        sound_log_fd();
        jack_set_error_function(sound_log_jack);
        jack_set_info_function(sound_log_jack);
        jack_ = std::make_unique<JACK_OUTPUT>(JACK_CLIENT_NAME);
    }
    if (!jack_->ok()) {
        sound_log_line("JACK", jack_->why().c_str());
        jack_why_ = jack_->why();
        jack_.reset();  // asked again next time
        return found;
    }
    jack_why_.clear();
    char name[160];
    std::snprintf(name, sizeof name, "JACK server (%d Hz, %d frames a period)", jack_->rate(), jack_->period());
    found.push_back({name, paNoDevice});
    return found;
}

const std::vector<Driver>& DRIVER_MENUS::of(int kind) {
    static const std::vector<Driver> none;
    if (kind < 0 || kind >= KIND_COUNT) return none;
    if (listed_[kind]) return drivers_[kind];
    std::vector<Driver> list;
    switch (kind) {
    case FSOUND_OUTPUT_NOSOUND: list.push_back({NOSOUND_DRIVER_NAME, paNoDevice}); break;
    case FSOUND_OUTPUT_JACK: list = jack_servers(); break;
    case FSOUND_OUTPUT_OSS: list = portaudio_outputs(paOSS, nullptr); break;
    case FSOUND_OUTPUT_ALSA: list = portaudio_outputs(paALSA, nullptr); break;
    case FSOUND_OUTPUT_ESD:
        list = portaudio_outputs(paALSA, SERVER_DEVICE);
        for (Driver& d : list) d.name = SERVER_DRIVER_NAME;
        break;
    default: break;
    }
    // Only a successful look is kept: a back end that failed to start is asked again.
    listed_[kind] =
        kind == FSOUND_OUTPUT_NOSOUND || (kind == FSOUND_OUTPUT_JACK ? !list.empty() : portaudio_running());
    drivers_[kind] = std::move(list);
    return drivers_[kind];
}

void DRIVER_MENUS::clear() {
    jack_.reset();
    for (int k = 0; k < KIND_COUNT; ++k) {
        drivers_[k].clear();
        listed_[k] = false;
    }
}

bool sound_kind_offered(int kind) {
    return kind == FSOUND_OUTPUT_NOSOUND || kind == FSOUND_OUTPUT_OSS || kind == FSOUND_OUTPUT_ESD ||
           kind == FSOUND_OUTPUT_ALSA || kind == FSOUND_OUTPUT_JACK;
}

int sound_automatic_output(DRIVER_MENUS& menus) {
    for (int kind : {FSOUND_OUTPUT_ESD, FSOUND_OUTPUT_ALSA})
        if (!menus.of(kind).empty()) return kind;
    return FSOUND_OUTPUT_NOSOUND;
}

const char* sound_kind_plain_name(int kind) {
    switch (kind) {
    case FSOUND_OUTPUT_NOSOUND: return "NoSound (no sound device)";
    case FSOUND_OUTPUT_OSS: return "OSS (Open Sound System)";
    case FSOUND_OUTPUT_ESD: return "sound daemon (PulseAudio or PipeWire)";
    case FSOUND_OUTPUT_ALSA: return "ALSA";
    case FSOUND_OUTPUT_JACK: return "JACK";
    default: return "";
    }
}

std::string sound_output_description(int kind, const char* driver) {
    const bool named = driver != nullptr && driver[0] != '\0';
    // The JACK driver's name says which server; the daemon and NoSound have
    // one driver, which the kind's name says all about.
    if (kind == FSOUND_OUTPUT_JACK && named) return driver;
    std::string text = sound_kind_plain_name(kind);
    if ((kind == FSOUND_OUTPUT_OSS || kind == FSOUND_OUTPUT_ALSA) && named) text += std::string(" device ") + driver;
    return text;
}
