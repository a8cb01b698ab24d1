// Keyboard and step sequencer: step timing in samples, gates, rests, ties,
// pattern boundaries, sync; the pattern file's layout, round trip and checks.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "synth/notes.h"
#include "synth/sequencer.h"

namespace {

// One step period at the default divider of 2 steps per second, in samples.
constexpr int kPeriod = 44100 / 2;

class Sequencing : public ::testing::Test {
protected:
    void SetUp() override { fill_NOTE2FREQ(); }
    // Steps q n times.
    static void run(SEQUENCER& q, int n) {
        for (int i = 0; i < n; i++) q.evolue();
    }
    static float hz(int n) { return static_cast<float>(NOTE2FREQ[n]); }
    static void set_note(SEQUENCER& q, int p, int s, int octave, int note) {
        q.octave[p * SEQ_STEPS + s] = octave;
        q.note[p * SEQ_STEPS + s] = note;
    }
    std::unique_ptr<SEQUENCER> q = std::make_unique<SEQUENCER>();
};

TEST_F(Sequencing, FirstStepSoundsOnePeriodAfterTheStart) {
    run(*q, kPeriod - 1);
    EXPECT_EQ(q->value, 0.0f);
    EXPECT_EQ(q->gate, 0);
    q->evolue();  // call 22,050
    EXPECT_EQ(q->value, hz(3 * 12 + 10));
    EXPECT_EQ(q->gate, 1);
    EXPECT_EQ(q->current_step, 1);
}

TEST_F(Sequencing, GateClosesOneCallBeforeTheNextStep) {
    run(*q, kPeriod);
    for (int step = 0; step < 3; step++) {
        // Length 1.0 gives a gate time of one period; it closes at counter x - 1.
        run(*q, kPeriod - 2);
        EXPECT_EQ(q->gate, 1) << "step " << step;
        q->evolue();
        EXPECT_EQ(q->gate, 0) << "step " << step;
        q->evolue();
        EXPECT_EQ(q->gate, 1) << "step " << step;
    }
}

TEST_F(Sequencing, ShortLengthClosesTheGateEarly) {
    // The gate time is taken from the step that sounds next.
    q->LENGHT[1] = 0.25f;
    // x = 0.25 x 22,050 = 5512.5: the first counter at or above x - 1 is 5512.
    const int closes_at = 5512;
    run(*q, kPeriod);
    run(*q, closes_at - 1);
    EXPECT_EQ(q->gate, 1);
    q->evolue();
    EXPECT_EQ(q->gate, 0);
}

TEST_F(Sequencing, RestOutputsZeroAndTheSequenceGoesOn) {
    set_note(*q, 0, 0, 0, 0);
    set_note(*q, 0, 1, 4, 9);
    run(*q, kPeriod);
    EXPECT_EQ(q->value, 0.0f);
    EXPECT_EQ(q->gate, 0);
    EXPECT_EQ(q->current_step, 1);
    run(*q, kPeriod);
    EXPECT_EQ(q->value, hz(4 * 12 + 9));
    EXPECT_EQ(q->gate, 1);
}

TEST_F(Sequencing, VolumeOtherThanOneChangesNeitherOutputNorGate) {
    set_note(*q, 0, 1, 5, 0);
    q->volume[1] = 0.5f;
    run(*q, kPeriod);
    const float first = q->value;
    run(*q, kPeriod - 1);
    EXPECT_EQ(q->gate, 0);
    q->evolue();
    EXPECT_EQ(q->value, first);
    EXPECT_EQ(q->gate, 0);
    EXPECT_EQ(q->gate_open, 1);
    EXPECT_EQ(q->current_step, 2);
}

TEST_F(Sequencing, StoppedSequencerSilencesStepsButKeepsTime) {
    q->running = 0;
    run(*q, kPeriod);
    EXPECT_EQ(q->value, 0.0f);
    EXPECT_EQ(q->gate, 0);
    EXPECT_EQ(q->current_step, 1);
}

TEST_F(Sequencing, BypassedEntryAfterTheNextStepTiesTheGate) {
    // Step 0 sounds; while step 1 waits, the entry after it (step 2) is bypassed,
    // so the gate stays open right into step 1.
    set_note(*q, 0, 1, 4, 0);
    set_note(*q, 0, 2, 4, 5);
    q->bypass[2] = 1;
    run(*q, kPeriod);
    for (int i = 0; i < kPeriod - 1; i++) {
        q->evolue();
        ASSERT_EQ(q->gate, 1) << "call " << i;
    }
    q->evolue();
    EXPECT_EQ(q->value, hz(48));
    // Step 2 itself is bypassed: it neither opens the gate nor changes the note.
    run(*q, kPeriod);
    EXPECT_EQ(q->value, hz(48));
    EXPECT_EQ(q->gate, 0);
    EXPECT_EQ(q->current_step, 3);
}

TEST_F(Sequencing, GateCheckAtTheLastGridEntryStaysInsideTheGrid) {
    // Only a sequencer put on pattern 63 from outside reaches the last entry;
    // the entry after it would lie past the grid, and there is no step there.
    q->current_pattern = SEQ_PATTERNS - 1;
    q->wished_pattern = SEQ_PATTERNS - 1;
    q->NBR_STEP[SEQ_PATTERNS - 1] = SEQ_STEPS;
    q->current_step = SEQ_STEPS - 1;
    q->gate_open = 1;
    q->gate = 1;
    q->LENGHT[SEQ_PATTERNS * SEQ_STEPS - 1] = 0.0f;
    q->evolue();  // checks entry 4095 and the (missing) one after it
    EXPECT_EQ(q->gate, 0);
}

TEST_F(Sequencing, HeldSyncKeepsTheSequencerAtStepZero) {
    int pulse = 1;
    q->sync_source = &pulse;
    set_note(*q, 0, 0, 4, 2);
    set_note(*q, 0, 1, 4, 7);
    run(*q, 3 * kPeriod);
    EXPECT_EQ(q->current_step, 0);
    EXPECT_EQ(q->value, 0.0f);
    pulse = 0;
    run(*q, kPeriod);
    EXPECT_EQ(q->current_step, 1);
    EXPECT_EQ(q->value, hz(50));
}

struct Boundary {
    int wished;    // wished pattern
    int expected;  // pattern that plays after the boundary
};

class PatternBoundary : public Sequencing, public ::testing::WithParamInterface<Boundary> {};

TEST_P(PatternBoundary, WishedPatternStartsAtTheBoundaryWithTheWishedDivider) {
    const Boundary b = GetParam();
    q->NBR_STEP[0] = 1;
    q->wished_pattern = b.wished;
    q->wished_divider = 4.0f;
    run(*q, kPeriod);  // pattern 0 plays its one step
    EXPECT_EQ(q->current_pattern, 0);
    q->evolue();  // the boundary
    EXPECT_EQ(q->current_pattern, b.expected);
    EXPECT_EQ(q->current_step, 0);
    // The divider is applied to the wished pattern, even one that is not played.
    EXPECT_EQ(q->divider[b.wished], 4.0f);
    if (b.expected != b.wished) {
        EXPECT_EQ(q->divider[0], 2.0f);
    }
    // The next step sounds one period of the playing pattern after the last one;
    // the boundary call has counted one sample of it.
    set_note(*q, b.expected, 0, 6, 1);
    run(*q, 44100 / static_cast<int>(q->divider[b.expected]) - 2);
    EXPECT_EQ(q->current_step, 0);
    q->evolue();
    EXPECT_EQ(q->current_step, 1);
    EXPECT_EQ(q->value, hz(73));
}

INSTANTIATE_TEST_SUITE_P(Sequencer, PatternBoundary,
                         ::testing::Values(Boundary{5, 5}, Boundary{31, 31}, Boundary{32, 0}, Boundary{40, 0},
                                           Boundary{63, 0}));

TEST(Keyboard, NewKeyboardPlaysNoteFortyNineAndPulsesOnce) {
    fill_NOTE2FREQ();
    KEYBOARD k;
    k.evolue();
    EXPECT_EQ(k.value, static_cast<float>(NOTE2FREQ[49]));
    EXPECT_EQ(k.gate, 0);
    k.request = 1;
    k.evolue();
    EXPECT_EQ(k.pulse, 1);
    k.evolue();
    EXPECT_EQ(k.pulse, 0);
}

// ---------------------------------------------------------------- pattern files

class PatternFile : public ::testing::Test {
protected:
    void SetUp() override {
        fill_NOTE2FREQ();
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : test)
            if (c == '/') c = '_';
        path = ::testing::TempDir() + "pattern_" + test + ".PAR";
    }
    void TearDown() override { std::remove(path.c_str()); }

    static std::vector<unsigned char> read_all(const std::string& p) {
        std::vector<unsigned char> bytes;
        if (FILE* f = std::fopen(p.c_str(), "rb")) {
            int c;
            while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
            std::fclose(f);
        }
        return bytes;
    }
    void write_all(const std::vector<unsigned char>& bytes) const {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    static std::uint32_t word_at(const std::vector<unsigned char>& b, size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
    }
    static void put_word(std::vector<unsigned char>& b, size_t at, std::uint32_t w) {
        for (int i = 0; i < 4; i++) b[at + i] = static_cast<unsigned char>(w >> (8 * i));
    }
    static bool same_grid(const SEQUENCER& a, const SEQUENCER& b) {
        return std::memcmp(a.divider, b.divider, sizeof a.divider) == 0 &&
               std::memcmp(a.NBR_STEP, b.NBR_STEP, sizeof a.NBR_STEP) == 0 &&
               std::memcmp(a.LENGHT, b.LENGHT, sizeof a.LENGHT) == 0 &&
               std::memcmp(a.bypass, b.bypass, sizeof a.bypass) == 0 &&
               std::memcmp(a.note, b.note, sizeof a.note) == 0 &&
               std::memcmp(a.octave, b.octave, sizeof a.octave) == 0 &&
               std::memcmp(a.volume, b.volume, sizeof a.volume) == 0;
    }
    // Offsets of the file's seven blocks.
    static constexpr size_t kDividers = 0, kSteps = 256, kLengths = 512, kBypass = kLengths + 16384,
                            kNotes = kBypass + 16384, kOctaves = kNotes + 16384, kVolumes = kOctaves + 16384;

    std::string path;
};

TEST_F(PatternFile, SavedFileIsTheGridInFileOrder) {
    auto q = std::make_unique<SEQUENCER>();
    q->divider[3] = 1.5f;
    q->NBR_STEP[7] = 12;
    q->LENGHT[2 * 64 + 5] = 0.25f;
    q->bypass[9 * 64 + 1] = 1;
    q->note[30 * 64 + 63] = 11;
    q->octave[63 * 64 + 63] = 7;
    q->volume[64] = 0.5f;
    ASSERT_EQ(q->save_partition(path.c_str()), 1);
    EXPECT_STREQ(q->partition_file_name, path.c_str());

    const std::vector<unsigned char> b = read_all(path);
    ASSERT_EQ(b.size(), 82432u);
    EXPECT_EQ(kVolumes + 16384, 82432u);
    auto f32 = [](float v) { std::uint32_t w; std::memcpy(&w, &v, 4); return w; };
    EXPECT_EQ(word_at(b, kDividers + 3 * 4), f32(1.5f));
    EXPECT_EQ(word_at(b, kDividers + 4 * 4), f32(2.0f));
    EXPECT_EQ(word_at(b, kSteps + 7 * 4), 12u);
    EXPECT_EQ(word_at(b, kSteps + 8 * 4), 32u);
    EXPECT_EQ(word_at(b, kLengths + (2 * 64 + 5) * 4), f32(0.25f));
    EXPECT_EQ(word_at(b, kBypass + (9 * 64 + 1) * 4), 1u);
    EXPECT_EQ(word_at(b, kNotes + (30 * 64 + 63) * 4), 11u);
    EXPECT_EQ(word_at(b, kNotes), 10u);
    EXPECT_EQ(word_at(b, kOctaves + (63 * 64 + 63) * 4), 7u);
    EXPECT_EQ(word_at(b, kOctaves), 3u);
    EXPECT_EQ(word_at(b, kVolumes + 64 * 4), f32(0.5f));
}

TEST_F(PatternFile, RoundTripGivesBackTheSameGrid) {
    auto a = std::make_unique<SEQUENCER>();
    for (int i = 0; i < SEQ_PATTERNS * SEQ_STEPS; i++) {
        a->LENGHT[i] = (i % 17) / 8.0f;
        a->bypass[i] = i % 5 == 0;
        a->note[i] = i % 13;
        a->octave[i] = i % 11;
        a->volume[i] = i % 3 ? 1.0f : 0.75f;
    }
    for (int p = 0; p < SEQ_PATTERNS; p++) {
        a->divider[p] = 1.0f + p / 4.0f;
        a->NBR_STEP[p] = 1 + p;
    }
    ASSERT_EQ(a->save_partition(path.c_str()), 1);
    auto b = std::make_unique<SEQUENCER>();
    ASSERT_EQ(b->load_partition(path.c_str()), 1);
    EXPECT_TRUE(same_grid(*a, *b));
    EXPECT_STREQ(b->partition_file_name, path.c_str());
}

TEST_F(PatternFile, MissingFileLeavesEverythingAsItWas) {
    auto q = std::make_unique<SEQUENCER>();
    auto fresh = std::make_unique<SEQUENCER>();
    EXPECT_EQ(q->load_partition((path + ".none").c_str()), 0);
    EXPECT_TRUE(same_grid(*q, *fresh));
    EXPECT_STREQ(q->partition_file_name, "");
    EXPECT_EQ(q->save_partition("/no/such/folder/x.PAR"), 0);
    EXPECT_STREQ(q->partition_file_name, "");
}

TEST_F(PatternFile, ShortFileIsReadAsFarAsItGoes) {
    // The dividers and the first two step counts only.
    std::vector<unsigned char> b(kSteps + 8);
    float three = 3.0f;
    std::uint32_t w;
    std::memcpy(&w, &three, 4);
    for (int p = 0; p < SEQ_PATTERNS; p++) put_word(b, kDividers + 4 * p, w);
    put_word(b, kSteps, 10);
    put_word(b, kSteps + 4, 20);
    write_all(b);
    auto q = std::make_unique<SEQUENCER>();
    ASSERT_EQ(q->load_partition(path.c_str()), 1);
    EXPECT_EQ(q->divider[0], 3.0f);
    EXPECT_EQ(q->divider[63], 3.0f);
    EXPECT_EQ(q->NBR_STEP[0], 10);
    EXPECT_EQ(q->NBR_STEP[1], 20);
    EXPECT_EQ(q->NBR_STEP[2], 32);
    EXPECT_EQ(q->note[0], 10);

    write_all({});
    auto fresh = std::make_unique<SEQUENCER>();
    auto r = std::make_unique<SEQUENCER>();
    EXPECT_EQ(r->load_partition(path.c_str()), 1);
    EXPECT_TRUE(same_grid(*r, *fresh));
}

struct StepCount {
    std::int32_t in_file;
    int loaded;
};

class PatternStepCount : public PatternFile, public ::testing::WithParamInterface<StepCount> {};

TEST_P(PatternStepCount, IsClampedToOneToSixtyFour) {
    auto q = std::make_unique<SEQUENCER>();
    ASSERT_EQ(q->save_partition(path.c_str()), 1);
    std::vector<unsigned char> b = read_all(path);
    put_word(b, kSteps + 5 * 4, static_cast<std::uint32_t>(GetParam().in_file));
    write_all(b);
    ASSERT_EQ(q->load_partition(path.c_str()), 1);
    EXPECT_EQ(q->NBR_STEP[5], GetParam().loaded);
    EXPECT_EQ(q->NBR_STEP[4], 32);
    // Played at one step per sample, the pattern never leaves its row.
    q->current_pattern = q->wished_pattern = 5;
    q->divider[5] = q->wished_divider = 44100.0f;
    for (int i = 0; i < 3 * SEQ_STEPS; i++) {
        q->evolue();
        ASSERT_LE(q->current_step, GetParam().loaded);
    }
}

INSTANTIATE_TEST_SUITE_P(Sequencer, PatternStepCount,
                         ::testing::Values(StepCount{1, 1}, StepCount{64, 64}, StepCount{0, 1}, StepCount{-7, 1},
                                           StepCount{65, 64}, StepCount{INT32_MAX, 64}, StepCount{INT32_MIN, 1}));

struct BadNote {
    int pattern, step;
    std::int32_t octave, note;
};

class PatternNoteBeyondTable : public PatternFile, public ::testing::WithParamInterface<BadNote> {};

TEST_P(PatternNoteBeyondTable, FileIsRejectedAndTheGridKept) {
    const BadNote bad = GetParam();
    auto writer = std::make_unique<SEQUENCER>();
    writer->divider[0] = 5.0f;  // something a wrongly accepted load would bring in
    const int at = bad.pattern * 64 + bad.step;
    writer->octave[at] = bad.octave;
    writer->note[at] = bad.note;
    ASSERT_EQ(writer->save_partition(path.c_str()), 1);

    auto q = std::make_unique<SEQUENCER>();
    auto fresh = std::make_unique<SEQUENCER>();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(q->load_partition(path.c_str()), 0);
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find(path), std::string::npos) << said;
    EXPECT_TRUE(same_grid(*q, *fresh));
    EXPECT_STREQ(q->partition_file_name, "");
}

INSTANTIATE_TEST_SUITE_P(Sequencer, PatternNoteBeyondTable,
                         ::testing::Values(BadNote{0, 0, 0, 2000}, BadNote{12, 40, 167, 0}, BadNote{63, 63, 166, 8},
                                           BadNote{3, 3, 0, -1}, BadNote{1, 1, INT32_MAX, INT32_MAX},
                                           BadNote{2, 2, INT32_MIN, 0}));

TEST_F(PatternFile, LastNoteOfTheTableIsAccepted) {
    auto writer = std::make_unique<SEQUENCER>();
    writer->octave[0] = 166;
    writer->note[0] = 7;  // 166 x 12 + 7 = 1999
    ASSERT_EQ(writer->save_partition(path.c_str()), 1);
    auto q = std::make_unique<SEQUENCER>();
    EXPECT_EQ(q->load_partition(path.c_str()), 1);
    EXPECT_EQ(q->octave[0], 166);
}

// The pattern files that come with the program load and play audible notes.
class ShippedPattern : public PatternFile, public ::testing::WithParamInterface<const char*> {};

TEST_P(ShippedPattern, LoadsWithAudibleNotes) {
    auto q = std::make_unique<SEQUENCER>();
    ASSERT_EQ(q->load_partition(GetParam()), 1);
    EXPECT_EQ(read_all(GetParam()).size(), 82432u);
    int sounding = 0;
    for (int p = 0; p < 2; p++) {
        EXPECT_GT(q->divider[p], 0.0f);
        for (int s = 0; s < q->NBR_STEP[p]; s++) {
            const int n = q->octave[p * 64 + s] * 12 + q->note[p * 64 + s];
            if (n == 0) continue;
            sounding++;
            EXPECT_GE(NOTE2FREQ[n], 30.0);
            EXPECT_LE(NOTE2FREQ[n], 2000.0);
        }
    }
    EXPECT_GE(sounding, 16);
}

INSTANTIATE_TEST_SUITE_P(Sequencer, ShippedPattern,
                         ::testing::Values("PARTITIONS/bass.PAR", "PARTITIONS/melody.PAR"));

}  // namespace
