// Recording what the program plays: every buffer the stream hands to the
// sound device is copied on the sound thread into a ring of fixed size, and
// moved from there into a growing sample by the main loop.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "synth/wav.h"

class OUTPUT_RECORDER {
public:
    /// ring_frames: stereo frames the ring holds between two drains (the
    /// default, 4 s, outlasts any stall of a main loop that drains 60 times a
    /// second); max_frames: longest recording kept, frames (default one hour).
    explicit OUTPUT_RECORDER(int ring_frames = 4 * 44100, long max_frames = 3600L * 44100);

    /// A sound_monitor: copies len bytes of 16-bit stereo frames into the ring.
    /// Runs on the sound thread; never allocates, waits or prints.
    static void monitor(const void* buff, int len, void* recorder);

    /// Moves the frames that arrived into the recording. Main thread only.
    void drain();
    /// Drains, then hands over the whole recording (16-bit stereo, 44100 Hz).
    std::unique_ptr<FSOUND_SAMPLE> take();
    /// Frames that could not be kept (ring full, or the recording at its limit).
    long lost_frames() const { return lost_.load() + over_limit_; }

private:
    void push(const unsigned char* bytes, int frames);

    std::vector<std::uint32_t> ring_;   ///< one stereo frame per word
    std::atomic<std::size_t> head_{0};  ///< frames written (sound thread)
    std::atomic<std::size_t> tail_{0};  ///< frames read (main thread)
    std::atomic<long> lost_{0};         ///< frames dropped on a full ring
    long over_limit_ = 0;               ///< frames dropped past max_frames
    long max_frames_;
    std::vector<short> recorded_;       ///< interleaved left, right
};
