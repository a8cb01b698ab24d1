// Makes the program's own sounds (data/Sounds/*.wav) and pattern files
// (data/PARTITIONS/*.PAR) with the synthesizer's modules. Run from data/
// (tools/make_data.sh does). The output is deterministic: the noise comes from
// a fixed-seed generator, not from the shared one.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "shell/wav_save.h"
#include "synth/filters.h"
#include "synth/notes.h"
#include "synth/sequencer.h"
#include "synth/vco.h"

namespace {

constexpr float RATE = 44100.0f;
constexpr double TWO_PI = 6.283185307179586;

// Stereo sound being made, one float per channel and frame.
struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(float seconds) : left(static_cast<size_t>(seconds * RATE)), right(left.size()) {}
    size_t frames() const { return left.size(); }
};

// Deterministic white noise in -1..1.
struct Noise {
    std::uint32_t state = 0x9E3779B9u;
    float next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(state) / 2147483648.0f - 1.0f;
    }
};

// Linear fade in over `in` seconds and out over the last `out` seconds.
float fades(size_t i, size_t n, float in, float out) {
    const float t = i / RATE, left = (n - i) / RATE;
    float g = 1.0f;
    if (t < in) g = t / in;
    if (left < out) g = std::fmin(g, left / out);
    return g;
}

// Scales the sound to the given peak and writes it as 16-bit stereo at 44100 Hz.
bool write_sound(Stereo& s, float peak, const char* path) {
    float top = 0.0f;
    for (size_t i = 0; i < s.frames(); i++) top = std::fmax(top, std::fmax(std::fabs(s.left[i]), std::fabs(s.right[i])));
    if (top <= 0.0f || !std::isfinite(top)) {
        std::fprintf(stderr, "%s: silent or broken sound\n", path);
        return false;
    }
    const float gain = peak / top;
    auto sample = wav_new_sample(static_cast<int>(s.frames()), FSOUND_16BITS | FSOUND_STEREO, 44100);
    for (size_t i = 0; i < s.frames(); i++) {
        sample->data[2 * i] = static_cast<short>(std::lround(s.left[i] * gain * 32767.0f));
        sample->data[2 * i + 1] = static_cast<short>(std::lround(s.right[i] * gain * 32767.0f));
    }
    SaveToWav(sample.get());
    if (std::rename(RECORD_FILE, path) != 0) {
        std::perror(path);
        return false;
    }
    std::printf("%-22s %.2f s, peak %.2f\n", path, s.frames() / RATE, peak);
    return true;
}

// A sawtooth chord (A2 and E3, slightly detuned) through one phaser per channel;
// the channels sweep a quarter turn apart.
Stereo phaser_sound() {
    Stereo s(2.0f);
    // The oscillator's cycle spans -1..1, so FREQ is twice the pitch heard.
    VCO root(0.5f, 2 * 110.0f, SAW), fifth(0.5f, 2 * 164.81f, SAW), detuned(0.5f, 2 * 110.4f, SAW);
    OUTPUT mix;
    PHASER left, right;
    left.source = right.source = &mix.value;
    left.Rate(0.7f);
    right.Rate(0.7f);
    right.lfo_phase = 1.5707963f;
    for (size_t i = 0; i < s.frames(); i++) {
        root.evolue();
        fifth.evolue();
        detuned.evolue();
        mix.value = (root.value + fifth.value + detuned.value) / 3 * fades(i, s.frames(), 0.02f, 0.4f);
        left.evolue();
        right.evolue();
        s.left[i] = left.value;
        s.right[i] = right.value;
    }
    return s;
}

// A sine whose pitch falls from about 155 Hz to 45 Hz, with a short click.
Stereo kick_sound() {
    Stereo s(0.45f);
    double phase = 0;
    for (size_t i = 0; i < s.frames(); i++) {
        const double t = i / RATE;
        phase += TWO_PI * (45.0 + 110.0 * std::exp(-t / 0.035)) / RATE;
        float v = static_cast<float>(std::sin(phase) * std::exp(-t / 0.13));
        if (t < 0.002) v += static_cast<float>(0.3 * (1 - t / 0.002));
        v *= fades(i, s.frames(), 0.0005f, 0.03f);
        s.left[i] = s.right[i] = v;
    }
    return s;
}

// Runs white noise through a biquad of the given response, then an envelope.
Stereo filtered_noise(float seconds, int type, int cutoff, float q, float decay,
                      const std::function<float(double)>& body) {
    Stereo s(seconds);
    Noise noise;
    OUTPUT in;
    PCF filter;
    filter.source = &in.value;
    filter.BYPASS = 0;
    filter.TYPE = type;
    filter.set_HiCutOff(cutoff);
    filter.Q = q;
    filter.LEVEL = 0.0f;
    for (size_t i = 0; i < s.frames(); i++) {
        const double t = i / RATE;
        in.value = noise.next() * 0.25f;
        filter.evolue();
        float v = static_cast<float>(filter.value * std::exp(-t / decay) + body(t));
        v *= fades(i, s.frames(), 0.0005f, 0.02f);
        s.left[i] = s.right[i] = v;
    }
    return s;
}

Stereo snare_sound() {
    return filtered_noise(0.25f, BANDPASS, 3200, 0.8f, 0.06f, [](double t) {
        return static_cast<float>(0.12 * std::sin(TWO_PI * 185.0 * t) * std::exp(-t / 0.04));
    });
}

Stereo hihat_sound() {
    return filtered_noise(0.12f, HIGHPASS, 7500, 0.9f, 0.025f, [](double) { return 0.0f; });
}

// A sung "a-o-i": a sawtooth at C3 with a growing vibrato through the formant
// filter, its vowel gliding from A to I.
Stereo voice_sound(float drive) {
    Stereo s(1.6f);
    VCO glottis(drive, 2 * 130.81f, SAW);
    FORMANT_PCF tract;
    tract.source = &glottis.value;
    for (size_t i = 0; i < s.frames(); i++) {
        const double t = i / RATE;
        const double depth = t < 0.3 ? 0.0 : std::fmin((t - 0.3) / 0.5, 1.0) * 0.012;
        glottis.FREQ = static_cast<float>(2 * 130.81 * (1 + depth * std::sin(TWO_PI * 5.5 * t)));
        glottis.evolue();
        const float glide = static_cast<float>(t / 1.6);
        tract.vowel = glide < 0.5f ? 6 * glide : 3 - 2 * (glide - 0.5f);  // A, E, I, O, then back to I
        tract.evolue();
        const float v = tract.value * fades(i, s.frames(), 0.08f, 0.3f);
        s.left[i] = s.right[i] = v;
    }
    return s;
}

// The formant filter clips at 1: lower the drive until it no longer does.
Stereo unclipped_voice() {
    for (float drive = 1.0f;; drive /= 2) {
        Stereo s = voice_sound(drive);
        float top = 0.0f;
        for (float v : s.left) top = std::fmax(top, std::fabs(v));
        if (top < 0.95f || drive < 1e-4f) return s;
    }
}

// ---------------------------------------------------------------- patterns

struct Step {
    int midi;       // 0: a rest
    float length;   // fraction of the step period the gate stays open
};

// Fills pattern p: every step at volume 1.0; note number = MIDI note - 11.
void set_pattern(SEQUENCER& q, int p, float divider, const std::vector<Step>& steps) {
    q.divider[p] = divider;
    q.NBR_STEP[p] = static_cast<int>(steps.size());
    for (size_t s = 0; s < steps.size(); s++) {
        const int at = p * SEQ_STEPS + static_cast<int>(s);
        const int n = steps[s].midi == 0 ? 0 : steps[s].midi - 11;
        q.octave[at] = n / 12;
        q.note[at] = n % 12;
        q.LENGHT[at] = steps[s].length;
        q.bypass[at] = 0;
        q.volume[at] = 1.0f;
    }
}

bool write_pattern(SEQUENCER& q, const char* path) {
    q.wished_divider = q.divider[0];
    if (q.save_partition(path) != 1) {
        std::fprintf(stderr, "%s: cannot write\n", path);
        return false;
    }
    std::printf("%-22s patterns 0 and 1, %d and %d steps\n", path, q.NBR_STEP[0], q.NBR_STEP[1]);
    return true;
}

// A minor, eighth notes at 120 beats per minute (4 steps per second).
bool bass_patterns() {
    SEQUENCER q;
    set_pattern(q, 0, 4.0f,
                {{33, 0.7f}, {33, 0.4f}, {0, 1}, {45, 0.5f}, {31, 0.7f}, {31, 0.4f}, {0, 1}, {43, 0.5f},
                 {29, 0.7f}, {29, 0.4f}, {0, 1}, {41, 0.5f}, {28, 0.8f}, {28, 0.4f}, {31, 0.5f}, {32, 0.5f}});
    set_pattern(q, 1, 4.0f,
                {{33, 0.5f}, {45, 0.3f}, {33, 0.5f}, {45, 0.3f}, {36, 0.5f}, {48, 0.3f}, {36, 0.5f}, {48, 0.3f},
                 {29, 0.5f}, {41, 0.3f}, {29, 0.5f}, {41, 0.3f}, {28, 0.5f}, {40, 0.3f}, {31, 0.5f}, {32, 0.5f}});
    return write_pattern(q, "PARTITIONS/bass.PAR");
}

bool melody_patterns() {
    SEQUENCER q;
    set_pattern(q, 0, 4.0f,
                {{69, 0.8f}, {72, 0.6f}, {76, 0.6f}, {81, 0.9f}, {79, 0.5f}, {76, 0.5f}, {74, 0.6f}, {72, 0.9f},
                 {71, 0.8f}, {0, 1}, {72, 0.5f}, {74, 0.5f}, {76, 0.9f}, {0, 1}, {71, 0.6f}, {68, 0.6f}});
    set_pattern(q, 1, 4.0f,
                {{69, 0.9f}, {0, 1}, {76, 0.5f}, {74, 0.5f}, {72, 0.8f}, {71, 0.5f}, {69, 0.5f}, {71, 0.6f},
                 {72, 0.9f}, {0, 1}, {67, 0.5f}, {69, 0.5f}, {71, 0.6f}, {72, 0.6f}, {71, 0.6f}, {68, 0.9f}});
    return write_pattern(q, "PARTITIONS/melody.PAR");
}

}  // namespace

int main() {
    fill_NOTE2FREQ();
    Stereo phaser = phaser_sound(), kick = kick_sound(), snare = snare_sound(), hihat = hihat_sound(),
           voice = unclipped_voice();
    const bool ok = write_sound(phaser, 0.8f, "Sounds/phaser.wav") && write_sound(kick, 0.9f, "Sounds/kick.wav") &&
                    write_sound(snare, 0.8f, "Sounds/snare.wav") && write_sound(hihat, 0.6f, "Sounds/hihat.wav") &&
                    write_sound(voice, 0.8f, "Sounds/voice.wav") && bass_patterns() && melody_patterns();
    return ok ? 0 : 1;
}
