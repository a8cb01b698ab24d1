#include "shell/nosound_pacer.h"

#include <chrono>
#include <system_error>

#include "shell/sound_log.h"
#include "shell/sound_stream.h"

namespace {

/// Time from the start of play to the end of `frames` frames, exact in integers
/// so the schedule never drifts however long it runs.
std::chrono::nanoseconds frames_to_time(long long frames, int rate) {
    const long long seconds = frames / rate;
    const long long rest = frames % rate;
    return std::chrono::seconds(seconds) + std::chrono::nanoseconds(rest * 1000000000LL / rate);
}

// How far NoSound may fall behind (in buffers) before it gives up catching up
// and starts a new schedule from now, as a device would after an underrun.
constexpr long long CATCH_UP_LIMIT = 8;

// NoSound's thread: one buffer at each absolute deadline start + k buffers.
// A late buffer is followed at once by the next, so the average pace stays
// exact. Waiting on a condition variable (steady clock) lets Stop wake it at once.
void pace(FSOUND_STREAM* st) {
    using clock = std::chrono::steady_clock;
    clock::time_point start = clock::now();
    long long played = 0;  // frames since start
    std::unique_lock<std::mutex> lock(st->wake_mutex);
    while (!st->stop_requested) {
        lock.unlock();
        const bool keep = stream_fill(st, st->buffer.data(), static_cast<unsigned long>(st->frames));
        lock.lock();
        if (!keep) {
            st->finished.store(true);
            return;
        }
        played += st->frames;
        clock::time_point due = start + frames_to_time(played, st->rate);
        const clock::time_point now = clock::now();
        if (now - due > frames_to_time(CATCH_UP_LIMIT * st->frames, st->rate)) {
            start = now;
            played = 0;
            due = now;
        }
        st->wake.wait_until(lock, due, [st] { return st->stop_requested; });
    }
}

}  // namespace

bool nosound_start(FSOUND_STREAM* st) {
    {
        std::lock_guard<std::mutex> lock(st->wake_mutex);
        st->stop_requested = false;
    }
    try {
        st->pacer = std::thread(pace, st);
    } catch (const std::system_error& e) {
        sound_log_line("NoSound thread", e.what());
        return false;
    }
    return true;
}

void nosound_stop(FSOUND_STREAM* st) {
    if (!st->pacer.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(st->wake_mutex);
        st->stop_requested = true;
    }
    st->wake.notify_all();
    st->pacer.join();
}
