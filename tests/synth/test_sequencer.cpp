// Keyboard and step sequencer: timing in samples, gates, rests, ties, pattern
// boundaries, sync; the pattern file's layout, round trip and checks.
#include <gtest/gtest.h>

#include "tests/temp_path.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "synth/notes.h"
#include "synth/sequencer.h"

namespace {

constexpr int kPeriod = 44100 / 2;  // samples per step at the default divider

class Sequencing : public ::testing::Test {
protected:
    void SetUp() override { fill_NOTE2FREQ(); }
    void run(int n) { for (int i = 0; i < n; i++) q->evolue(); }
    static float hz(int n) { return static_cast<float>(NOTE2FREQ[n]); }
    void set(int p, int s, int octave, int note) { q->octave[p * 64 + s] = octave; q->note[p * 64 + s] = note; }
    std::unique_ptr<SEQUENCER> q = std::make_unique<SEQUENCER>();
};

TEST_F(Sequencing, StepsSoundEveryPeriodAndGatesCloseOneCallBefore) {
    run(kPeriod - 1);
    EXPECT_EQ(q->value, 0.0f);
    q->evolue();  // call 22,050
    EXPECT_EQ(q->value, hz(3 * 12 + 10));
    for (int step = 0; step < 2; step++) {
        run(kPeriod - 2);
        EXPECT_EQ(q->gate, 1);
        q->evolue();  // the 22,049th call after the step: counter reaches x - 1
        EXPECT_EQ(q->gate, 0);
        q->evolue();
        EXPECT_EQ(q->gate, 1);
    }
}

TEST_F(Sequencing, RestThenStepWithOtherVolumeThenStopped) {
    set(0, 0, 0, 0);  // a rest
    set(0, 1, 4, 9);
    set(0, 2, 5, 0);
    q->volume[2] = 0.5f;
    run(kPeriod);
    EXPECT_EQ(q->value, 0.0f);
    EXPECT_EQ(q->gate, 0);
    run(kPeriod);
    EXPECT_EQ(q->value, hz(57));
    run(kPeriod);  // volume 0.5: neither the note nor the gate changes
    EXPECT_EQ(q->value, hz(57));
    EXPECT_EQ(q->gate, 0);
    q->running = 0;
    run(kPeriod);
    EXPECT_EQ(q->value, 0.0f);
    EXPECT_EQ(q->current_step, 4);
}

TEST_F(Sequencing, BypassedEntryAfterTheNextStepTiesTheGate) {
    // While step 1 waits, the entry after it (step 2) is bypassed: the gate stays
    // open into step 1, and step 2 itself neither sounds nor changes the note.
    set(0, 1, 4, 0);
    set(0, 2, 4, 5);
    q->bypass[2] = 1;
    run(kPeriod);
    for (int i = 0; i < kPeriod - 1; i++) {
        q->evolue();
        ASSERT_EQ(q->gate, 1) << i;
    }
    q->evolue();
    EXPECT_EQ(q->value, hz(48));
    run(kPeriod);
    EXPECT_EQ(q->value, hz(48));
    EXPECT_EQ(q->gate, 0);
}

TEST_F(Sequencing, GateCheckAtTheLastGridEntryStaysInsideTheGrid) {
    // Only a sequencer put on pattern 63 from outside reaches entry 4095; there
    // is no entry after it to keep the gate open.
    q->current_pattern = q->wished_pattern = 63;
    q->NBR_STEP[63] = 64;
    q->current_step = 63;
    q->gate_open = q->gate = 1;
    q->LENGHT[4095] = 0.0f;
    q->evolue();
    EXPECT_EQ(q->gate, 0);
}

TEST_F(Sequencing, HeldSyncKeepsStepZero) {
    int pulse = 1;
    q->sync_source = &pulse;
    set(0, 0, 4, 2);
    run(3 * kPeriod);
    EXPECT_EQ(q->current_step, 0);
    EXPECT_EQ(q->value, 0.0f);
    pulse = 0;
    run(kPeriod);
    EXPECT_EQ(q->value, hz(50));
}

class PatternBoundary : public Sequencing, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(PatternBoundary, WishedPatternAndDividerStartAtTheBoundary) {
    const auto [wished, plays] = GetParam();
    q->NBR_STEP[0] = 1;
    q->wished_pattern = wished;
    q->wished_divider = 4.0f;
    run(kPeriod + 1);  // pattern 0's one step, then the boundary
    EXPECT_EQ(q->current_pattern, plays);
    EXPECT_EQ(q->divider[wished], 4.0f);  // set on the wished pattern even when it wraps
    set(plays, 0, 6, 1);
    // One period of the playing pattern after the last step; the boundary call counted one.
    run(44100 / static_cast<int>(q->divider[plays]) - 2);
    EXPECT_EQ(q->current_step, 0);
    q->evolue();
    EXPECT_EQ(q->value, hz(73));
}

INSTANTIATE_TEST_SUITE_P(Sequencer, PatternBoundary,
                         ::testing::Values(std::pair{5, 5}, std::pair{31, 31}, std::pair{32, 0}, std::pair{40, 0}));

TEST(Keyboard, NewKeyboardPlaysNoteFortyNineAndPulsesOnce) {
    fill_NOTE2FREQ();
    KEYBOARD k;
    k.request = 1;
    k.evolue();
    EXPECT_EQ(k.value, static_cast<float>(NOTE2FREQ[49]));
    EXPECT_EQ(k.pulse, 1);
    k.evolue();
    EXPECT_EQ(k.pulse, 0);
}

// ---------------------------------------------------------------- pattern files

class PatternFile : public Sequencing {
protected:
    void SetUp() override {
        Sequencing::SetUp();
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : test) c = c == '/' ? '_' : c;
        path = test_temp_path("pattern_" + test + ".PAR");
    }
    void TearDown() override { std::remove(path.c_str()); }
    std::vector<unsigned char> bytes() const {
        std::vector<unsigned char> b(100000);
        FILE* f = std::fopen(path.c_str(), "rb");
        b.resize(f ? std::fread(b.data(), 1, b.size(), f) : 0);
        if (f) std::fclose(f);
        return b;
    }
    void write(const std::vector<unsigned char>& b) const {
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    }
    // Saves a fresh grid changed by edit, then patches the word at offset.
    static constexpr std::int64_t kNoPatch = INT64_MIN;
    void save_with(void (*edit)(SEQUENCER&), size_t offset = 0, std::int64_t word = kNoPatch) const {
        auto w = std::make_unique<SEQUENCER>();
        if (edit) edit(*w);
        ASSERT_EQ(w->save_partition(path.c_str()), 1);
        if (word == kNoPatch) return;
        std::vector<unsigned char> b = bytes();
        for (int i = 0; i < 4; i++) b[offset + i] = static_cast<unsigned char>(static_cast<std::uint32_t>(word) >> (8 * i));
        write(b);
    }
    static bool same_grid(const SEQUENCER& a, const SEQUENCER& b) {
        // The grid fields are contiguous from the dividers to the volumes.
        return std::memcmp(a.divider, b.divider, reinterpret_cast<const char*>(a.volume + 4096) -
                                                     reinterpret_cast<const char*>(a.divider)) == 0;
    }
    static std::uint32_t word(const std::vector<unsigned char>& b, size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
    }
    // Offsets of the blocks: dividers, step counts, then five 16,384-byte blocks.
    static constexpr size_t kSteps = 256, kLengths = 512, kBypass = 512 + 16384, kNotes = kBypass + 16384,
                            kOctaves = kNotes + 16384, kVolumes = kOctaves + 16384;
    std::string path;
};

TEST_F(PatternFile, FileIsTheGridInOrderAndLoadsBackTheSame) {
    save_with([](SEQUENCER& w) {
        for (int i = 0; i < 4096; i++) {
            w.LENGHT[i] = (i % 17) / 8.0f;
            w.bypass[i] = i % 5 == 0;
            w.note[i] = i % 13;
            w.octave[i] = i % 11;
            w.volume[i] = i % 3 ? 1.0f : 0.75f;
        }
        for (int p = 0; p < 64; p++) {
            w.divider[p] = 1.0f + p / 4.0f;
            w.NBR_STEP[p] = 1 + p;
        }
    });
    const std::vector<unsigned char> b = bytes();
    ASSERT_EQ(b.size(), 82432u);
    ASSERT_EQ(kVolumes + 16384, b.size());
    float f;
    std::uint32_t w = word(b, 3 * 4);
    std::memcpy(&f, &w, 4);
    EXPECT_EQ(f, 1.75f);  // divider of pattern 3
    EXPECT_EQ(word(b, kSteps + 7 * 4), 8u);
    EXPECT_EQ(word(b, kBypass + 130 * 4), 1u);
    EXPECT_EQ(word(b, kNotes + 4095 * 4), 4095u % 13);
    EXPECT_EQ(word(b, kOctaves + 4095 * 4), 4095u % 11);
    w = word(b, kLengths + 16 * 4);
    std::memcpy(&f, &w, 4);
    EXPECT_EQ(f, 2.0f);

    ASSERT_EQ(q->load_partition(path.c_str()), 1);
    auto again = std::make_unique<SEQUENCER>();
    again->load_partition(path.c_str());
    EXPECT_TRUE(same_grid(*q, *again));
    EXPECT_EQ(q->NBR_STEP[63], 64);
    EXPECT_EQ(q->volume[3], 0.75f);
    EXPECT_STREQ(q->partition_file_name, path.c_str());
}

TEST_F(PatternFile, ShortOrMissingFilesKeepWhatTheyDoNotHold) {
    write(std::vector<unsigned char>(kSteps + 4, 0x00));  // dividers 0.0, pattern 0 step count 0
    ASSERT_EQ(q->load_partition(path.c_str()), 1);
    EXPECT_EQ(q->divider[63], 0.0f);
    EXPECT_EQ(q->NBR_STEP[0], 1);  // clamped
    EXPECT_EQ(q->NBR_STEP[1], 32);
    EXPECT_EQ(q->note[0], 10);
    auto fresh = std::make_unique<SEQUENCER>();
    EXPECT_EQ(fresh->load_partition((path + ".none").c_str()), 0);
    EXPECT_EQ(fresh->save_partition("/no/such/folder/x.PAR"), 0);
    EXPECT_STREQ(fresh->partition_file_name, "");
}

class PatternStepCount : public PatternFile, public ::testing::WithParamInterface<std::pair<std::int32_t, int>> {};

TEST_P(PatternStepCount, IsClampedToOneToSixtyFour) {
    save_with(nullptr, kSteps + 5 * 4, GetParam().first);
    ASSERT_EQ(q->load_partition(path.c_str()), 1);
    EXPECT_EQ(q->NBR_STEP[5], GetParam().second);
    // Played at one step per sample, the pattern never leaves its row.
    q->current_pattern = q->wished_pattern = 5;
    q->divider[5] = q->wished_divider = 44100.0f;
    for (int i = 0; i < 3 * 64; i++) {
        q->evolue();
        ASSERT_LE(q->current_step, GetParam().second);
    }
}

INSTANTIATE_TEST_SUITE_P(Sequencer, PatternStepCount,
                         ::testing::Values(std::pair{1, 1}, std::pair{64, 64}, std::pair{0, 1}, std::pair{65, 64},
                                           std::pair{INT32_MAX, 64}, std::pair{INT32_MIN, 1}));

// A note number (octave x 12 + note) outside 0..1999 refuses the whole file.
class PatternNoteNumber : public PatternFile, public ::testing::WithParamInterface<std::pair<std::int32_t, bool>> {};

TEST_P(PatternNoteNumber, BeyondTheTableRefusesTheFile) {
    const auto [octave, accepted] = GetParam();
    save_with([](SEQUENCER& w) { w.divider[0] = 5.0f; w.note[2000] = 7; }, kOctaves + 2000 * 4, octave);
    auto fresh = std::make_unique<SEQUENCER>();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(q->load_partition(path.c_str()), accepted ? 1 : 0);
    const std::string said = ::testing::internal::GetCapturedStdout();
    if (accepted) return;
    EXPECT_NE(said.find(path), std::string::npos) << said;
    EXPECT_TRUE(same_grid(*q, *fresh));
    EXPECT_STREQ(q->partition_file_name, "");
}

INSTANTIATE_TEST_SUITE_P(Sequencer, PatternNoteNumber,
                         ::testing::Values(std::pair{166, true},  // 1999
                                           std::pair{167, false}, std::pair{-1, false}, std::pair{INT32_MAX, false},
                                           std::pair{INT32_MIN, false}));

TEST_F(PatternFile, WhatIsSavedReloadsAsItPlayed) {
    // A grid the reader would not take as it is: notes beyond the table (played
    // as rests) and step counts outside 1..64 (played as the nearest in range).
    auto w = std::make_unique<SEQUENCER>();
    w->note[1] = -14;
    w->octave[1] = 0;
    w->octave[2] = 400;
    w->note[3] = INT32_MIN;
    w->NBR_STEP[0] = 99;
    w->NBR_STEP[1] = -5;
    w->divider[0] = w->wished_divider = 44100.0f;  // a step per sample
    ASSERT_EQ(w->save_partition(path.c_str()), 1);
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(q->load_partition(path.c_str()), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout().find("pattern "), std::string::npos);
    q->wished_divider = q->divider[0];
    for (int i = 0; i < 3 * 64; i++) {
        w->evolue();
        q->evolue();
        ASSERT_EQ(q->value, w->value) << "sample " << i;
        ASSERT_EQ(q->gate_open, w->gate_open) << "sample " << i;
    }
}

TEST_F(PatternFile, ShippedPatternsLoadWithAudibleNotes) {
    for (const char* file : {"PARTITIONS/bass.PAR", "PARTITIONS/melody.PAR"}) {
        ASSERT_EQ(q->load_partition(file), 1) << file;
        int sounding = 0;
        for (int s = 0; s < q->NBR_STEP[0]; s++) {
            const int n = q->octave[s] * 12 + q->note[s];
            if (n == 0) continue;
            sounding++;
            EXPECT_TRUE(NOTE2FREQ[n] > 30 && NOTE2FREQ[n] < 2000) << file << " step " << s;
        }
        EXPECT_GE(sounding, 12) << file;
    }
}

}  // namespace
