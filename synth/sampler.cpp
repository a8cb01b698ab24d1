#include "synth/sampler.h"

#include <cmath>
#include <cstdio>

#include "synth/exit.h"
#include "synth/generator.h"
#include "synth/names.h"

SAMPLER::SAMPLER() : VCO(1.0f, 1.0f, 1) {
    copy_name(name, "Emptynamed_SAMPLER");
    file_name[0] = '\0';
    load_SAMPLE("Sounds/phaser.wav");
    position = 0.0f;
    pitch = 1.0f;
    amplitude = 1.0f;
}

SAMPLER::~SAMPLER() = default;

void SAMPLER::load_SAMPLE(const char* path, GENERATOR* playing) {
    std::unique_ptr<FSOUND_SAMPLE> loaded = wav_load_sample(path, SAMPLER_CAPACITY_BYTES);
    copy_name(file_name, path);
    if (!loaded) {
        std::printf("Error load the file [%s]\n", path);
        kel_exit(-1);
    }
    const int bytes = static_cast<int>(loaded->data_bytes());
    // The sound freed here was out of play since the load before.
    previous.reset();
    auto take = [&] {
        mode = SMP_FORWARD;
        previous = std::move(handle);
        handle = std::move(loaded);
        length = bytes / 4;
    };
    if (playing != nullptr)
        playing->edit([&](GENERATOR&) { take(); });
    else
        take();
    std::printf("Loaded WAVE file [%-32s][%d ]\n", path, length);
}

int SAMPLER::evolue() {
    if (gate_source == nullptr) return 1;
    if (*gate_source == 0) {
        position = 0.0f;
        value = 0.0f;
        return 1;
    }
    if (sync_source != nullptr && *sync_source != 0) position = 0.0f;

    // An input of 440 Hz plays at `pitch`.
    const float rate = pitch;
    float r = source != nullptr ? *source / 440 + rate - 1 : rate;
    float a = amplitude;
    if (linked(MOD_AMP)) a = amplitude + a * read(MOD_AMP);
    if (linked(MOD_FREQ)) r = pitch + r * read(MOD_FREQ);
    const float d = std::fabs(r);

    const int values = 2 * length;  // 16-bit values a play reads (one frame = two values)
    // The play ends when the read position passes the end of the data, at any rate.
    if (position >= static_cast<float>(values)) {
        position = 0.0f;
        // The one-shot modes close their source's gate: silence until it opens again.
        if (mode == SMP_FORWARD || mode == SMP_BACKWARD) *gate_source = 0;
    }
    if (!std::isfinite(position) || position < 0.0f) position = 0.0f;
    // "Its integer part exceeds the end", compared in float: a position thrown far
    // out by a huge rate must not be converted to an integer it does not fit.
    if (position >= static_cast<float>(values) + 1.0f) position = static_cast<float>(values);

    // The play position may stand on the end of the data (a backward mode reads
    // one value past it at the start, a one-shot slower than half speed holds
    // there for good): beyond the data the sample buffer is silence.
    long long i = static_cast<long long>(position);
    if (mode == SMP_BACKWARD || mode == SMP_LOOP_BACKWARD) i = values - i;
    value = sample_at(i) * a / 32768;
    position += 2 * d;
    return 1;
}

short SAMPLER::sample_at(long long i) const {
    const FSOUND_SAMPLE* sample = handle.get();
    if (sample == nullptr || i < 0 || i >= static_cast<long long>(sample->data.size())) return 0;
    return sample->data[static_cast<size_t>(i)];
}
