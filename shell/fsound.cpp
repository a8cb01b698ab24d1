#include "shell/fsound.h"

#include "synth/sampler.h"

namespace {
// The library's defaults for a loaded file: full volume, centred, middle priority.
constexpr int DEFAULT_VOLUME = 255;
constexpr int DEFAULT_PAN = 128;
constexpr int DEFAULT_PRIORITY = 128;
}  // namespace

FSOUND_SAMPLE* FSOUND_Sample_Load(int, const char* path, unsigned, int, int) {
    // Samples are the sampler's sounds: the same ceiling applies.
    return wav_load_sample(path, SAMPLER_CAPACITY_BYTES).release();
}

unsigned FSOUND_Sample_GetLength(FSOUND_SAMPLE* sample) {
    return sample != nullptr ? static_cast<unsigned>(sample->length) : 0u;
}

unsigned FSOUND_Sample_GetMode(FSOUND_SAMPLE* sample) {
    return sample != nullptr ? sample->mode & (FSOUND_16BITS | FSOUND_STEREO) : 0u;
}

int FSOUND_Sample_GetDefaults(FSOUND_SAMPLE* sample, int* freq, int* vol, int* pan, int* pri) {
    if (sample == nullptr) return 0;
    if (freq != nullptr) *freq = sample->frequency;
    if (vol != nullptr) *vol = DEFAULT_VOLUME;
    if (pan != nullptr) *pan = DEFAULT_PAN;
    if (pri != nullptr) *pri = DEFAULT_PRIORITY;
    return 1;
}

int FSOUND_Sample_Lock(FSOUND_SAMPLE* sample, int offset, int length, void** ptr1, void** ptr2,
                       unsigned* len1, unsigned* len2) {
    if (ptr2 != nullptr) *ptr2 = nullptr;
    if (len2 != nullptr) *len2 = 0;
    if (sample == nullptr || offset < 0 || length < 0) return 0;
    const std::size_t held = sample->data_bytes();
    if (static_cast<std::size_t>(offset) > held) return 0;
    std::size_t n = static_cast<std::size_t>(length);
    if (n > held - offset) n = held - offset;
    if (ptr1 != nullptr) *ptr1 = reinterpret_cast<unsigned char*>(sample->data.data()) + offset;
    if (len1 != nullptr) *len1 = static_cast<unsigned>(n);
    return 1;
}

int FSOUND_Sample_Unlock(FSOUND_SAMPLE* sample, void*, void*, unsigned, unsigned) { return sample != nullptr ? 1 : 0; }

void FSOUND_Sample_Free(FSOUND_SAMPLE* sample) { delete sample; }
