// The sampler: a WAV file in memory played by a gate, at a rate set by a pitch input.
#pragma once

#include <memory>

#include "synth/vco.h"
#include "synth/wav.h"

class GENERATOR;

/// The largest sample data a sampler accepts, in bytes.
constexpr int SAMPLER_CAPACITY_BYTES = 16000000;

/// Play modes of a sampler.
enum { SMP_FORWARD = 0, SMP_BACKWARD = 1, SMP_LOOP_FORWARD = 2, SMP_LOOP_BACKWARD = 3 };

/// Sampler: plays its sample while its gate is open.
class SAMPLER : public VCO {
public:
    SHARED<int> mode = SMP_FORWARD;   ///< play mode, 0..3; 0 after every load
    /// The loaded file: its 16-bit data, sized to the file, is what playback reads.
    std::unique_ptr<FSOUND_SAMPLE> handle;
    int length = 0;                   ///< frames played: data bytes / 4 (stereo 16-bit frames)
    char name[800];                   ///< module name, holds "SAMPLER"
    float position = 0.0f;            ///< read index into data
    SHARED<float> pitch = 1.0f;       ///< playback rate factor
    SHARED<float> amplitude = 1.0f;   ///< output level
    SHARED<float> phase = 0.0f;       ///< degrees, set by the panel; playback ignores it
    char file_name[80];               ///< loaded file's path (FILE in the patch)
    /// The file loaded before the current one, kept until the next load so that
    /// a step running while the interface thread swaps files still reads live data.
    std::unique_ptr<FSOUND_SAMPLE> previous;

    SAMPLER();
    ~SAMPLER();
    /// Loads a WAV file (at most SAMPLER_CAPACITY_BYTES of sound) and resets the
    /// mode to forward. A file that cannot be read ends the program (status -1).
    /// Loads a sound file; with `playing`, the patch this sampler plays in, the
    /// new sound replaces the old one through an edit of it (the old one is
    /// kept in `previous` and freed by the next load, on the loading thread).
    void load_SAMPLE(const char* path, GENERATOR* playing = nullptr);
    int evolue() override;
    /// The i-th 16-bit value of the data; 0 (silence) outside it.
    short sample_at(long long i) const;
};
