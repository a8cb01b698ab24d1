#include "shell/recorder.h"

#include <cstring>

#include "shell/fsound.h"

OUTPUT_RECORDER::OUTPUT_RECORDER(int ring_frames, long max_frames)
    : ring_(static_cast<std::size_t>(ring_frames > 0 ? ring_frames : 1)), max_frames_(max_frames) {}

void OUTPUT_RECORDER::monitor(const void* buff, int len, void* recorder) {
    if (buff == nullptr || recorder == nullptr || len < 4) return;
    static_cast<OUTPUT_RECORDER*>(recorder)->push(static_cast<const unsigned char*>(buff), len / 4);
}

void OUTPUT_RECORDER::push(const unsigned char* bytes, int frames) {
    const std::size_t size = ring_.size();
    std::size_t head = head_.load(std::memory_order_relaxed);
    const std::size_t tail = tail_.load(std::memory_order_acquire);
    const std::size_t room = size - (head - tail);
    const std::size_t n = static_cast<std::size_t>(frames) < room ? static_cast<std::size_t>(frames) : room;
    for (std::size_t i = 0; i < n; i++, head++) std::memcpy(&ring_[head % size], bytes + 4 * i, 4);
    head_.store(head, std::memory_order_release);
    if (n < static_cast<std::size_t>(frames)) lost_.fetch_add(static_cast<long>(frames - n));
}

void OUTPUT_RECORDER::drain() {
    const std::size_t size = ring_.size();
    std::size_t tail = tail_.load(std::memory_order_relaxed);
    const std::size_t head = head_.load(std::memory_order_acquire);
    for (; tail != head; tail++) {
        if (static_cast<long>(recorded_.size() / 2) >= max_frames_) {
            over_limit_++;
            continue;
        }
        short lr[2];
        std::memcpy(lr, &ring_[tail % size], 4);
        recorded_.push_back(lr[0]);
        recorded_.push_back(lr[1]);
    }
    tail_.store(tail, std::memory_order_release);
}

std::unique_ptr<FSOUND_SAMPLE> OUTPUT_RECORDER::take() {
    drain();
    auto sample = std::make_unique<FSOUND_SAMPLE>();
    sample->length = static_cast<int>(recorded_.size() / 2);
    sample->mode = FSOUND_16BITS | FSOUND_STEREO;
    sample->frequency = 44100;
    sample->data = std::move(recorded_);
    recorded_.clear();
    return sample;
}
