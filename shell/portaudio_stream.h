// The PortAudio side of the sound layer: the back end started and stopped, the
// output devices of a host API (OSS, ALSA), a device's check, and streams
// played from PortAudio's callback.
#pragma once

#include <portaudio.h>

#include <string>
#include <vector>

struct FSOUND_STREAM;

/// One entry of a driver menu.
struct Driver {
    std::string name;
    PaDeviceIndex device;  ///< paNoDevice for NoSound and JACK
};

/// Starts PortAudio (its probing goes to the sound log); true once it runs.
bool portaudio_start();
/// Stops PortAudio and drops ALSA's parsed configuration, so a later start
/// sees the sound server as it is then. Safe when it does not run.
void portaudio_stop();
/// True between portaudio_start and portaudio_stop.
bool portaudio_running();
/// Output devices of one host API, starting PortAudio if needed; with
/// only_named, just that device.
std::vector<Driver> portaudio_outputs(PaHostApiTypeId type, const char* only_named);
/// FSOUND_Init's check of a device: it exists and takes 16-bit stereo at rate.
/// FMOD_ERR_NONE, or the error code of the failure with PortAudio's words for it in *why.
int portaudio_check_device(const Driver& d, int rate, std::string* why);
/// Opens and starts st on device; false (after a line in the sound log, and
/// PortAudio's words in *why) when it cannot.
bool portaudio_start_stream(FSOUND_STREAM* st, PaDeviceIndex device, std::string* why);
/// Stops and closes st's PortAudio stream, if it has one; returns once its
/// callback has finished for good.
void portaudio_stop_stream(FSOUND_STREAM* st);
