#include "synth/sample_import.h"

#include <samplerate.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <vector>

namespace {

struct SndFile {
    SNDFILE* file = nullptr;
    SF_INFO info{};
    explicit SndFile(const char* path) { file = sf_open(path, SFM_READ, &info); }
    ~SndFile() {
        if (file != nullptr) sf_close(file);
    }
    SndFile(const SndFile&) = delete;
    SndFile& operator=(const SndFile&) = delete;
};

// Frames at 44100 Hz that `frames` frames at `rate` become.
long long played_frames(long long frames, int rate) {
    if (rate == SAMPLE_PLAY_RATE) return frames;
    return static_cast<long long>(std::ceil(static_cast<double>(frames) * SAMPLE_PLAY_RATE / rate));
}

// Why an opened file cannot become a sample of at most capacity_bytes; "" when it can.
std::string header_problem(const SndFile& f, int capacity_bytes) {
    if (f.file == nullptr) return std::string("no sound format recognised: ") + sf_strerror(nullptr);
    const SF_INFO& i = f.info;
    if (i.channels < 1 || i.samplerate < 1 || i.frames < 0) return "it holds no usable sound";
    // A rate outside what libsamplerate converts (ratios 1/256 to 256).
    if (i.samplerate * 256LL < SAMPLE_PLAY_RATE || i.samplerate > SAMPLE_PLAY_RATE * 256LL)
        return "its sample rate of " + std::to_string(i.samplerate) + " Hz cannot be converted";
    const long long bytes = played_frames(i.frames, i.samplerate) * 4;
    if (bytes > capacity_bytes)
        return std::to_string(bytes) + " bytes of sound at 44100 Hz stereo, more than the " +
               std::to_string(capacity_bytes) + " bytes of room";
    return "";
}

short to_16_bits(float x) {
    const float scaled = x * 32768.0f;
    if (!(scaled > -32768.0f)) return -32768;  // also NaN
    if (scaled > 32767.0f) return 32767;
    return static_cast<short>(std::lrint(scaled));
}

}  // namespace

std::string sample_problem(const char* path, int capacity_bytes) {
    // Asked of any path a patch names: a pipe or a device must not block the checker.
    struct stat st;
    if (stat(path, &st) != 0) return std::string("it cannot be opened: ") + std::strerror(errno);
    if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    const SndFile f(path);
    return header_problem(f, capacity_bytes);
}

std::unique_ptr<FSOUND_SAMPLE> sample_import(const char* path, int capacity_bytes) {
    SndFile f(path);
    const std::string why = header_problem(f, capacity_bytes);
    if (!why.empty()) {
        std::printf("Sound file [%s] not loaded: %s\n", path, why.c_str());
        return nullptr;
    }
    const int channels = f.info.channels;
    const int rate = f.info.samplerate;
    // Floats read from integer files lie in -1..1, and float files are taken as they are.
    sf_command(f.file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    std::vector<float> all(static_cast<size_t>(f.info.frames) * channels);
    const sf_count_t got = sf_readf_float(f.file, all.data(), f.info.frames);
    const long long frames = got > 0 ? got : 0;

    // Two channels, interleaved: a mono file gives both the same values.
    std::vector<float> stereo(static_cast<size_t>(frames) * 2);
    for (long long t = 0; t < frames; t++) {
        const float* in = &all[static_cast<size_t>(t) * channels];
        stereo[2 * t] = in[0];
        stereo[2 * t + 1] = channels > 1 ? in[1] : in[0];
    }
    all.clear();
    all.shrink_to_fit();

    std::vector<float> played;
    if (rate == SAMPLE_PLAY_RATE || frames == 0) {
        played.swap(stereo);
    } else {
        played.assign(static_cast<size_t>(played_frames(frames, rate)) * 2, 0.0f);
        SRC_DATA d{};
        d.data_in = stereo.data();
        d.input_frames = static_cast<long>(frames);
        d.data_out = played.data();
        d.output_frames = static_cast<long>(played.size() / 2);
        d.src_ratio = static_cast<double>(SAMPLE_PLAY_RATE) / rate;
        if (const int error = src_simple(&d, SRC_SINC_MEDIUM_QUALITY, 2)) {
            std::printf("Sound file [%s] not loaded: %s\n", path, src_strerror(error));
            return nullptr;
        }
        played.resize(static_cast<size_t>(d.output_frames_gen) * 2);
    }

    auto sample = wav_new_sample(static_cast<int>(played.size() / 2), SAMPLE_MODE_16BITS | SAMPLE_MODE_STEREO,
                                 SAMPLE_PLAY_RATE);
    for (size_t k = 0; k < played.size(); k++) sample->data[k] = to_16_bits(played[k]);
    return sample;
}
