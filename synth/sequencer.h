// Note sources: the keyboard and the step sequencer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "synth/ports.h"
#include "synth/shared_word.h"

/// Patterns in a sequencer grid (and in a pattern file).
class GENERATOR;

constexpr int SEQ_PATTERNS = 64;
/// Steps per pattern.
constexpr int SEQ_STEPS = 64;
/// Size of a pattern file in bytes: the raw grid, little-endian.
constexpr int PARTITION_FILE_BYTES = 82432;
/// Highest note within an octave that the panel and the remote control set
/// (0..12: 12 is the first note of the next octave).
constexpr int SEQ_NOTE_MAX = 12;

/// Keyboard: outputs the frequency of its note; its panel drives the gate and sync.
class KEYBOARD : public OUTPUT, public OUTPUT_GATE, public OUTPUT_SYNC {
public:
    SHARED<int> on = 1;      ///< POWER button of the panel; the step does not read it
    SHARED<int> note;        ///< semitone within the octave
    SHARED<int> octave;      ///< octave
    char name[800];   ///< module name, holds "KEY"

    KEYBOARD();
    /// The gate as the panel shows it: copied from the gate word at each step.
    SHARED<int> shown_gate = 0;
    void set_note(int n) { note = n; }
    void set_octave(int o) { octave = o; }
    /// Steps the sync pulse, then outputs NOTE2FREQ[octave x 12 + note].
    int evolue() override;
};

/// Step sequencer: 64 patterns of up to 64 steps, timed in samples.
class SEQUENCER : public OUTPUT, public OUTPUT_GATE, public OUTPUT_SYNC, public INPUT_SYNC {
public:
    SHARED<int> running = 1;              ///< 0: sounding steps output 0, timing goes on
    SHARED<int> wished_pattern = 0;       ///< pattern to play from the next pattern boundary
    SHARED<int> current_pattern = 0;      ///< pattern playing
    SHARED<int> current_step = 0;         ///< the next step to sound
    SHARED<float> wished_divider = 2.0f;  ///< divider to apply at the next pattern boundary

    // The grid: exactly the content of a pattern file, in its order.
    SHARED<float> divider[SEQ_PATTERNS];            ///< steps per second, per pattern
    SHARED<int> NBR_STEP[SEQ_PATTERNS];             ///< step count per pattern
    SHARED<float> LENGHT[SEQ_PATTERNS * SEQ_STEPS]; ///< gate length, fraction of the step period
    SHARED<int> bypass[SEQ_PATTERNS * SEQ_STEPS];   ///< non-zero: the step does not sound
    SHARED<int> note[SEQ_PATTERNS * SEQ_STEPS];     ///< semitone within the octave
    SHARED<int> octave[SEQ_PATTERNS * SEQ_STEPS];   ///< octave
    SHARED<float> volume[SEQ_PATTERNS * SEQ_STEPS]; ///< a step sounds only at exactly 1.0

    float sample_counter = 0.0f;  ///< samples since the last step sounded
    char name[800];               ///< module name, holds "SEQUENCER"
    int gate_open = 0;            ///< 1 from a sounding step until its gate closes
    char partition_file_name[800];///< pattern file last loaded or saved
    /// Signature of the grid as partition_file_name holds it (see grid_signature);
    /// 0 while no pattern file was loaded or saved.
    std::uint64_t partition_signature = 0;

    SEQUENCER();
    int evolue() override;
    /// Takes up to n steps in which nothing but the sample counter would change
    /// (no step sounds, no gate closes, no pattern wraps, no sync pulse) and
    /// returns how many: 0 when the next step must be taken by evolue(). With a
    /// sync input linked, sync holds the words its pulse will have over the n
    /// samples (int bits); without them (null) no step is taken.
    int steady_steps(int n, const float* sync = nullptr);
    /// Writes the grid to path (partition_bytes). 1 on success, 0 when the file
    /// cannot be created.
    int save_partition(const char* path);
    /// The grid as a pattern file holds it: steps beyond the note table become
    /// rests and step counts are brought within 1..64, as they play, so that the
    /// reader always takes the file back.
    std::vector<unsigned char> partition_bytes() const;
    /// Reads the grid from path. 1 on success, 0 when the file cannot be opened.
    /// With `playing`, the patch this sequencer plays in, the grid changes
    /// through an edit of it (never half read by the playing step).
    int load_partition(const char* path, GENERATOR* playing = nullptr);
    /// load_partition on the first size bytes of a pattern file held in memory
    /// (bytes past the file's length are not read); path names it in messages.
    int load_partition_bytes(const unsigned char* data, std::size_t size, const char* path,
                             GENERATOR* playing = nullptr);
    /// A 64-bit digest of the whole grid (every divider, step count and step).
    std::uint64_t grid_signature() const;
    /// True when the grid differs from what partition_file_name held when it was
    /// last loaded or saved (edited on the panel or the remote control, written
    /// inline after the file, or changed by playing a wished divider), or when
    /// no pattern file holds it.
    bool grid_edited() const {
        return partition_file_name[0] == '\0' || grid_signature() != partition_signature;
    }

private:
    /// 44100 / divider: samples per step. A division per sample is dear, and the
    /// divider seldom changes: the quotient is kept while the divider keeps its bits.
    float step_period(float divider_value) {
        std::uint32_t bits;
        std::memcpy(&bits, &divider_value, sizeof bits);
        if (bits != period_for_) {
            period_for_ = bits;
            period_ = 44100.0f / divider_value;
        }
        return period_;
    }
    /// length x 44100 / divider: samples a step's gate stays open, kept the same way.
    float gate_samples(float length, float divider_value) {
        std::uint32_t bits[2];
        std::memcpy(&bits[0], &length, sizeof bits[0]);
        std::memcpy(&bits[1], &divider_value, sizeof bits[1]);
        if (bits[0] != gate_for_[0] || bits[1] != gate_for_[1]) {
            gate_for_[0] = bits[0];
            gate_for_[1] = bits[1];
            gate_samples_ = length * 44100.0f / divider_value;
        }
        return gate_samples_;
    }
    std::uint32_t period_for_ = 0x40000000u;      ///< bits of the divider period_ is for (2.0)
    float period_ = 22050.0f;                      ///< 44100 / 2.0
    std::uint32_t gate_for_[2] = {0x3f800000u, 0x40000000u};  ///< bits of the length and divider (1.0, 2.0)
    float gate_samples_ = 22050.0f;                ///< 1.0 x 44100 / 2.0
};
