// The driver menus: for each output kind, the drivers (output devices) this
// machine offers, looked up on first use and kept until the sound layer closes
// so that the names handed out stay valid.
//  - OSS and ALSA are PortAudio's host APIs of those names; every device with
//    an output is a driver, under the name the host API gives it.
//  - The "sound daemon" kind is today's desktop sound server. We reach it
//    through ALSA's "pulse" device (the ALSA pulse plugin), which talks to
//    PulseAudio and to PipeWire's PulseAudio service alike, so the kind has one
//    driver when that device opens and none otherwise.
//  - NoSound is ours: one driver, the pacer (shell/nosound_pacer.h).
//  - JACK is ours as well (shell/jack_output.h says why not PortAudio's):
//    one driver, the running server, whose rate must be the stream's.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "shell/jack_output.h"
#include "shell/portaudio_stream.h"
#include "shell/sound_device.h"

class DRIVER_MENUS {
public:
    /// The drivers of kind (FSOUND_OUTPUT_*); empty for a kind without any.
    /// A look that failed (a back end that did not start, no JACK server) is
    /// made again next time.
    const std::vector<Driver>& of(int kind);
    /// Our JACK client, from the first look at the JACK kind until clear; null
    /// while no server answered.
    JACK_OUTPUT* jack() const { return jack_.get(); }
    /// Why the last look at the JACK kind found no server ("" when it found one).
    const std::string& jack_why() const { return jack_why_; }
    /// Forgets every menu and leaves the JACK server.
    void clear();

private:
    static constexpr int KIND_COUNT = FSOUND_OUTPUT_JACK + 1;
    std::vector<Driver> jack_servers();
    std::array<std::vector<Driver>, KIND_COUNT> drivers_;
    std::array<bool, KIND_COUNT> listed_{};
    std::unique_ptr<JACK_OUTPUT> jack_;
    std::string jack_why_;
};

/// True for the kinds this layer can play through.
bool sound_kind_offered(int kind);
/// Without a choice, the first kind that has a driver: the sound server, ALSA,
/// then silence.
int sound_automatic_output(DRIVER_MENUS& menus);

/// What an output kind is, in plain words, for the status line and the log
/// ("sound daemon (PulseAudio or PipeWire)"); the console menus keep their
/// own names. "" for a kind this layer does not offer.
const char* sound_kind_plain_name(int kind);
/// Where the sound goes, in plain words: the kind, and the driver when the
/// kind has several ("ALSA device pulse", "JACK server (44100 Hz, ...)");
/// driver may be null.
std::string sound_output_description(int kind, const char* driver);
