#include "synth/edits.h"

#include <thread>

#include "synth/generator.h"

namespace {
/// Without a buffer from the audio thread for this long, nobody serves the
/// patch's edits (its stream stopped, or none was ever started): the queuing
/// thread applies them itself. Several buffers of 69.7 ms.
constexpr std::int64_t AUDIO_SILENT_NS = 250'000'000;
/// How long a caller waits for the audio thread before it applies its edit itself.
constexpr std::int64_t WAIT_AUDIO_NS = 600'000'000;
}  // namespace

bool EDIT_QUEUE::push(EDIT* e) {
    std::lock_guard<std::mutex> hold(push_lock_);
    const unsigned tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) >= CAPACITY) return false;
    slots_[tail & (CAPACITY - 1)] = e;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
}

int EDIT_QUEUE::apply_all(GENERATOR& g) {
    unsigned head = head_.load(std::memory_order_relaxed);
    const unsigned tail = tail_.load(std::memory_order_acquire);
    int applied = 0;
    for (; head != tail; head++, applied++) {
        EDIT* e = slots_[head & (CAPACITY - 1)];
        e->apply(e, g);
        // Free the slot before telling the waiter: it may queue again at once.
        head_.store(head + 1, std::memory_order_release);
        e->done.store(true, std::memory_order_release);
    }
    if (applied > 0) g.edited();
    return applied;
}

bool EDIT_PATH::audio_serves() const {
    const std::int64_t beat = heartbeat_.load(std::memory_order_acquire);
    return beat != 0 && now_ns() - beat < AUDIO_SILENT_NS;
}

void EDIT_PATH::apply_here(GENERATOR& g) {
    std::lock_guard<std::mutex> hold(g.audio_lock);
    queue.apply_all(g);
}

void EDIT_PATH::flush(GENERATOR& g) {
    apply_here(g);
    collect();
}

void EDIT_PATH::run(GENERATOR& g, EDIT& e) {
    collect();
    while (!queue.push(&e)) apply_here(g);  // full: the audio thread is away
    const std::int64_t since = now_ns();
    while (!e.done.load(std::memory_order_acquire)) {
        if (!audio_serves() || now_ns() - since > WAIT_AUDIO_NS) {
            apply_here(g);
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    collect();
}

void EDIT_PATH::later(GENERATOR& g, EDIT* e) {
    collect();
    later_.push_back(e);
    while (!queue.push(e)) apply_here(g);
    if (!audio_serves()) apply_here(g);
}

void EDIT_PATH::collect() {
    while (!later_.empty() && later_.front()->done.load(std::memory_order_acquire)) {
        EDIT* e = later_.front();
        later_.pop_front();
        e->destroy(e);
    }
}
