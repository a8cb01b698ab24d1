// What every output stream shares, whichever thread plays it (NoSound's pacer,
// PortAudio's callback, JACK's process callback): the stream itself, and the
// one routine that fills a device buffer from the stream's callback, with the
// pre-buffer hook before and the monitor after.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "shell/sound_device.h"

class JACK_OUTPUT;
typedef void PaStream;

/// Bytes of one frame: 16-bit stereo.
constexpr int BYTES_PER_FRAME = 4;

struct FSOUND_STREAM {
    FSOUND_STREAM(FSOUND_STREAMCALLBACK cb, void* data, int frame_count, int hz, unsigned mode_bits)
        : callback(cb), userdata(data), frames(frame_count), rate(hz), mode(mode_bits) {}

    FSOUND_STREAMCALLBACK callback;
    void* userdata;
    int frames;     ///< frames per callback (lenbytes / 4)
    int rate;       ///< Hz
    unsigned mode;  ///< the mode bits it was made with
    std::vector<std::int16_t> buffer;  ///< NoSound's buffer, made before playing
    PaStream* pa = nullptr;
    JACK_OUTPUT* jack = nullptr;  ///< the JACK client playing this stream, if any
    std::thread pacer;
    std::mutex wake_mutex;
    std::condition_variable wake;
    bool stop_requested = false;  ///< guarded by wake_mutex
    std::atomic<bool> finished{false};  ///< the callback asked to stop
    bool playing = false;
};

/// Fills frames frames at out, in calls of at most one stream buffer each, so
/// a callback never sees more than it asked for; the pre-buffer hook runs
/// first, the monitor after each call. False once the callback returned 0 (the
/// rest is silence). Runs on the audio thread: never allocates, blocks or prints.
bool stream_fill(FSOUND_STREAM* st, std::int16_t* out, unsigned long frames);
