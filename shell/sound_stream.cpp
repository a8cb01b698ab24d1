#include "shell/sound_stream.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

#include "shell/sound_log.h"

namespace {

/// A hook and its data, handed to the audio threads as one unit: they load one
/// pointer to a pair that is never changed once published, so they can never
/// call a new function with old data or the reverse. The pairs live in a fixed
/// table for the life of the process (a pair an audio thread may still be
/// reading is never rewritten or freed); a pair set again is found, not added.
template <typename Fn>
class HOOK {
public:
    /// The pair to call, or null. Audio threads.
    const std::pair<Fn, void*>* get() const { return current_.load(std::memory_order_acquire); }

    /// Installs fn with data (null fn: no hook). Control threads.
    void set(Fn fn, void* data) {
        std::lock_guard<std::mutex> hold(setting_);
        if (fn == nullptr) {
            current_.store(nullptr, std::memory_order_release);
            return;
        }
        const std::pair<Fn, void*> wanted{fn, data};
        int i = 0;
        while (i < used_ && pairs_[i] != wanted) i++;
        if (i == PAIRS_MAX) {
            // Never seen in practice: each user installs one or two pairs.
            sound_log_line("hooks", "more distinct hooks than the table holds; the previous hook stays");
            return;
        }
        if (i == used_) pairs_[used_++] = wanted;
        current_.store(&pairs_[i], std::memory_order_release);
    }

private:
    static constexpr int PAIRS_MAX = 64;
    std::pair<Fn, void*> pairs_[PAIRS_MAX] = {};
    int used_ = 0;  ///< guarded by setting_
    std::mutex setting_;
    std::atomic<const std::pair<Fn, void*>*> current_{nullptr};
};

HOOK<sound_monitor> g_monitor;
HOOK<sound_prebuffer> g_prebuffer;

}  // namespace

bool stream_fill(FSOUND_STREAM* st, std::int16_t* out, unsigned long frames) {
    if (const auto* hook = g_prebuffer.get()) hook->first(hook->second);
    while (frames > 0) {
        const unsigned long n = std::min(frames, static_cast<unsigned long>(st->frames));
        const int bytes = static_cast<int>(n) * BYTES_PER_FRAME;
        std::memset(out, 0, static_cast<std::size_t>(bytes));
        const int keep = st->callback(st, out, bytes, st->userdata);
        if (const auto* monitor = g_monitor.get()) monitor->first(out, bytes, monitor->second);
        out += n * 2;
        frames -= n;
        if (keep == 0) {
            std::memset(out, 0, frames * BYTES_PER_FRAME);
            return false;
        }
    }
    return true;
}

void sound_set_monitor(sound_monitor monitor, void* userdata) { g_monitor.set(monitor, userdata); }

void sound_set_prebuffer(sound_prebuffer hook, void* userdata) { g_prebuffer.set(hook, userdata); }
