// The sampler: a WAV file in memory played by a gate, at a rate set by a pitch input.
#pragma once

#include <cstdint>
#include <vector>

#include "synth/vco.h"

/// The largest sample data a sampler accepts, in bytes.
constexpr int SAMPLER_CAPACITY_BYTES = 16000000;

/// Play modes of a sampler.
enum { SMP_FORWARD = 0, SMP_BACKWARD = 1, SMP_LOOP_FORWARD = 2, SMP_LOOP_BACKWARD = 3 };

struct FSOUND_SAMPLE;

/// Sampler: plays its sample while its gate is open.
class SAMPLER : public VCO {
public:
    int mode = SMP_FORWARD;           ///< play mode, 0..3; 0 after every load
    FSOUND_SAMPLE* handle = nullptr;  ///< the sound library's handle of the loaded file
    int length = 0;                   ///< frames of the sample (16-bit values / 2)
    std::vector<short> data;          ///< the 16-bit data, sized to the file
    char name[800];                   ///< module name, holds "SAMPLER"
    float position = 0.0f;            ///< read index into data
    float pitch = 1.0f;               ///< playback rate factor
    float amplitude = 1.0f;           ///< output level
    float phase = 0.0f;               ///< degrees, set by the panel; playback ignores it
    char file_name[80];               ///< loaded file's path (FILE in the patch)

    SAMPLER();
    ~SAMPLER();
    void load_SAMPLE(const char* path);
    int evolue() override;
};
