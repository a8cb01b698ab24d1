#include "synth/random.h"

#include <atomic>

namespace {
// One 64-bit word of state, read and written whole (never locked). Two threads
// drawing at the same moment may draw the same value, which noise can afford.
std::atomic<std::uint64_t> state{0x853c49e6748fea9bULL};
}  // namespace

int kel_rand() {
    // 64-bit linear congruential step (Knuth's MMIX constants); the top 31
    // bits are the well-mixed part.
    std::uint64_t s = state.load(std::memory_order_relaxed);
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    state.store(s, std::memory_order_relaxed);
    return static_cast<int>(s >> 33);
}

void kel_srand(std::uint32_t seed) {
    state.store(0x853c49e6748fea9bULL ^ seed, std::memory_order_relaxed);
}
