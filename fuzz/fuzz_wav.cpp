// The WAV reader on arbitrary bytes: the chunk walk, the sample loader and the
// buffer reader must refuse or read, never leave their memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "synth/wav.h"

namespace {
// Small room, so that the capacity check is reached by ordinary inputs.
constexpr int kRoom = 1 << 16;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The reader explains every refusal on standard output; here that is noise.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;  // fmemopen needs at least one byte
    std::vector<std::uint8_t> copy(data, data + size);

    if (std::FILE* f = fmemopen(copy.data(), copy.size(), "rb")) {
        std::unique_ptr<FSOUND_SAMPLE> s = wav_read_sample(f, "fuzz", kRoom);
        std::fclose(f);
        if (s) {
            const std::size_t bytes = s->data_bytes();
            if (bytes > s->data.size() * sizeof(short) || bytes > size) std::abort();
        }
    }
    if (std::FILE* f = fmemopen(copy.data(), copy.size(), "rb")) {
        std::vector<short> buffer(kRoom / 2);
        const int got = wav_read_into(f, "fuzz", buffer.data(), kRoom);
        std::fclose(f);
        if (got > kRoom) std::abort();
    }
    return 0;
}
