// Structural edits of a playing patch: anything that changes what points where
// (a cable, an undo, a pattern grid, a key played on the computer keyboard, a
// module added or removed). The window's thread queues an edit; whoever steps
// the patch applies it between two blocks, holding the patch's lock: the audio
// thread when one serves the patch, else the queuing thread itself. An edit's
// step never allocates, frees, prints or waits; what it takes out of the patch
// stays in the edit and is freed by the thread that queued it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>

class GENERATOR;

/// One queued edit. `apply` runs exactly once, on the thread that steps the patch.
struct EDIT {
    void (*apply)(EDIT* self, GENERATOR& g) = nullptr;
    /// Frees an edit queued with `later` (null for one that lives on its caller's stack).
    void (*destroy)(EDIT* self) = nullptr;
    /// Set (release) once `apply` has run: what it wrote is then visible to the queuing thread.
    std::atomic<bool> done{false};
};

/// The edits waiting for a patch: a bounded ring written by the queuing
/// threads and read by the one that holds the patch's lock.
class EDIT_QUEUE {
public:
    static constexpr unsigned CAPACITY = 256;  ///< a power of two

    /// Producer side; false when the ring is full.
    bool push(EDIT* e);
    /// Applies every queued edit to g, oldest first; the caller holds g's lock.
    /// Returns how many were applied. Never allocates.
    int apply_all(GENERATOR& g);
    /// True when some edit waits (a hint: it may change at once).
    bool waiting() const {
        return tail_.load(std::memory_order_acquire) != head_.load(std::memory_order_relaxed);
    }
    /// How many edits were applied since the queue was made (by the applying thread, or after it).
    unsigned applied() const { return head_.load(std::memory_order_acquire); }

private:
    EDIT* slots_[CAPACITY] = {};
    std::atomic<unsigned> head_{0};  ///< next to apply; written by the applier
    std::atomic<unsigned> tail_{0};  ///< next free slot; written by producers under push_lock_
    std::mutex push_lock_;
};

/// The audio thread's side of a patch's edits, and the waiting of the queuing side.
class EDIT_PATH {
public:
    /// Called by the audio thread once per buffer it computes: while its calls
    /// keep coming, queued edits are left to it.
    void audio_thread_alive() {
        heartbeat_.store(now_ns(), std::memory_order_release);
    }
    /// Forgets the audio thread (its stream was closed).
    void audio_thread_gone() { heartbeat_.store(0, std::memory_order_release); }

    /// Queues e and waits until it has been applied: by the audio thread at
    /// its next block when it serves the patch, else here under the patch's lock.
    void run(GENERATOR& g, EDIT& e);
    /// Queues a heap edit whose caller does not wait; it is freed by a later
    /// `collect` (or `run`) once applied.
    void later(GENERATOR& g, EDIT* e);
    /// Frees the applied edits queued with `later`. Queuing thread only.
    void collect();
    /// Applies whatever waits, under the patch's lock, from the queuing thread
    /// (before a reload replaces the modules the edits point at).
    void flush(GENERATOR& g);

    EDIT_QUEUE queue;

private:
    static std::int64_t now_ns() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    bool audio_serves() const;
    void apply_here(GENERATOR& g);

    std::atomic<std::int64_t> heartbeat_{0};  ///< steady-clock ns of the audio thread's last buffer; 0 none
    std::deque<EDIT*> later_;                 ///< queuing thread only: heap edits not yet freed
};

namespace edit_detail {
template <class F>
struct STACK_EDIT : EDIT {
    F* f;
    explicit STACK_EDIT(F* fn) : f(fn) {
        apply = [](EDIT* self, GENERATOR& g) { (*static_cast<STACK_EDIT*>(self)->f)(g); };
    }
};
template <class F>
struct HEAP_EDIT : EDIT {
    F f;
    explicit HEAP_EDIT(F&& fn) : f(static_cast<F&&>(fn)) {
        apply = [](EDIT* self, GENERATOR& g) { static_cast<HEAP_EDIT*>(self)->f(g); };
        destroy = [](EDIT* self) { delete static_cast<HEAP_EDIT*>(self); };
    }
};
}  // namespace edit_detail
