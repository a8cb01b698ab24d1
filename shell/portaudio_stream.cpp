#include "shell/portaudio_stream.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define KEL_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KEL_LEAK_CHECKS 1
#endif
#endif
#ifdef KEL_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

#include "shell/sound_device.h"
#include "shell/sound_log.h"
#include "shell/sound_stream.h"

namespace {

bool backend_up = false;  ///< control thread only

/// While PortAudio starts, ALSA opens every device its configuration names;
/// some plugins pull in libraries (the a52 encoder's codec library) that
/// allocate when loaded and are unloaded with the plugin, after which a
/// sanitized build's leak checker counts their blocks as lost. They are not
/// ours to free, so the checker ignores what is allocated meanwhile.
class IgnoreBackendLeaks {
  public:
#ifdef KEL_LEAK_CHECKS
    IgnoreBackendLeaks() { __lsan_disable(); }
    ~IgnoreBackendLeaks() { __lsan_enable(); }
#else
    IgnoreBackendLeaks() {}
    ~IgnoreBackendLeaks() {}
#endif
    IgnoreBackendLeaks(const IgnoreBackendLeaks&) = delete;
    IgnoreBackendLeaks& operator=(const IgnoreBackendLeaks&) = delete;
};

double latency_for(PaDeviceIndex device, int frames, int rate) {
    // At least the device's safe latency, and never less than one buffer.
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    const double high = info != nullptr ? info->defaultHighOutputLatency : 0.0;
    return std::max(high, static_cast<double>(frames) / rate);
}

PaStreamParameters output_params(PaDeviceIndex device, int frames, int rate) {
    PaStreamParameters p{};
    p.device = device;
    p.channelCount = 2;
    p.sampleFormat = paInt16;
    p.suggestedLatency = latency_for(device, frames, rate);
    p.hostApiSpecificStreamInfo = nullptr;
    return p;
}

int pa_callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                PaStreamCallbackFlags, void* user) {
    auto* st = static_cast<FSOUND_STREAM*>(user);
    if (stream_fill(st, static_cast<std::int16_t*>(output), frames)) return paContinue;
    st->finished.store(true);
    return paComplete;
}

/// Notes what the device made of the stream: handy when sound stutters.
void log_stream(FSOUND_STREAM* st) {
    const PaStreamInfo* info = Pa_GetStreamInfo(st->pa);
    if (info == nullptr) return;
    char text[160];
    std::snprintf(text, sizeof text, "%d frames per buffer at %.0f Hz, output latency %.1f ms", st->frames,
                  info->sampleRate, info->outputLatency * 1000.0);
    sound_log_line("stream started", text);
}

}  // namespace

bool portaudio_start() {
    if (backend_up) return true;
    sound_log_fd();
    snd_lib_error_set_handler(sound_log_alsa);
    PaError err;
    {
        CONSOLE_TO_LOG quiet(CONSOLE_TO_LOG::OUTPUT_AND_ERROR);
        IgnoreBackendLeaks plugins;
        err = Pa_Initialize();
    }
    if (err != paNoError) {
        sound_log_line("PortAudio start", Pa_GetErrorText(err));
        return false;
    }
    backend_up = true;
    return true;
}

void portaudio_stop() {
    if (!backend_up) return;
    {
        CONSOLE_TO_LOG quiet(CONSOLE_TO_LOG::OUTPUT_AND_ERROR);
        Pa_Terminate();
        // ALSA keeps its parsed configuration for the process; drop it, so a
        // later start sees the sound server as it is then.
        snd_config_update_free_global();
    }
    backend_up = false;
}

bool portaudio_running() { return backend_up; }

std::vector<Driver> portaudio_outputs(PaHostApiTypeId type, const char* only_named) {
    std::vector<Driver> found;
    if (!portaudio_start()) return found;
    const PaHostApiIndex api = Pa_HostApiTypeIdToHostApiIndex(type);
    const PaHostApiInfo* info = api >= 0 ? Pa_GetHostApiInfo(api) : nullptr;
    if (info == nullptr) return found;
    for (int i = 0; i < info->deviceCount; ++i) {
        const PaDeviceIndex device = Pa_HostApiDeviceIndexToDeviceIndex(api, i);
        const PaDeviceInfo* dev = device >= 0 ? Pa_GetDeviceInfo(device) : nullptr;
        if (dev == nullptr || dev->maxOutputChannels <= 0 || dev->name == nullptr) continue;
        if (only_named != nullptr && std::strcmp(dev->name, only_named) != 0) continue;
        found.push_back({dev->name, device});
    }
    return found;
}

int portaudio_check_device(const Driver& d, int rate, std::string* why) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(d.device);
    if (info == nullptr) {
        *why = "the device " + d.name + " is gone";
        return FMOD_ERR_INIT;
    }
    if (info->maxOutputChannels < 2) {
        *why = "the device " + d.name + " has no stereo output";
        return FMOD_ERR_OUTPUT_FORMAT;
    }
    const PaStreamParameters params = output_params(d.device, 0, rate);
    PaError err;
    {
        CONSOLE_TO_LOG quiet(CONSOLE_TO_LOG::OUTPUT_AND_ERROR);
        err = Pa_IsFormatSupported(nullptr, &params, rate);
    }
    if (err == paFormatIsSupported) return FMOD_ERR_NONE;
    sound_log_line(d.name.c_str(), Pa_GetErrorText(err));
    *why = d.name + ": " + Pa_GetErrorText(err);
    switch (err) {
    case paInvalidSampleRate:
    case paSampleFormatNotSupported:
    case paInvalidChannelCount: return FMOD_ERR_OUTPUT_FORMAT;
    default: return FMOD_ERR_INIT;
    }
}

bool portaudio_start_stream(FSOUND_STREAM* st, PaDeviceIndex device, std::string* why) {
    const PaStreamParameters params = output_params(device, st->frames, st->rate);
    CONSOLE_TO_LOG quiet(CONSOLE_TO_LOG::OUTPUT_AND_ERROR);
    PaError err = Pa_OpenStream(&st->pa, nullptr, &params, st->rate, static_cast<unsigned long>(st->frames),
                                paClipOff | paDitherOff, pa_callback, st);
    if (err == paNoError) {
        err = Pa_StartStream(st->pa);
        if (err == paNoError) {
            log_stream(st);
            return true;
        }
        Pa_CloseStream(st->pa);
    }
    st->pa = nullptr;
    sound_log_line("PortAudio stream", Pa_GetErrorText(err));
    *why = Pa_GetErrorText(err);
    return false;
}

void portaudio_stop_stream(FSOUND_STREAM* st) {
    if (st->pa == nullptr) return;
    CONSOLE_TO_LOG quiet(CONSOLE_TO_LOG::OUTPUT_AND_ERROR);
    // Abort rather than drain: the caller wants silence now. Both return
    // only once the callback has finished for good.
    Pa_AbortStream(st->pa);
    Pa_CloseStream(st->pa);
    st->pa = nullptr;
}
