// Remote control without sockets: the line reader, the commands of a line, and
// Exec_Remote_Order on a real patch (repeat delays, acceleration, coarse steps,
// wrapping selections, missing modules, the frequency kept audible).
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "shell/globals.h"
#include "shell/remote.h"
#include "synth/generator.h"

namespace {

// ---------------------------------------------------------------- remote line reader

struct SplitCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<int> found;  // search_enter_in_string per chunk
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class RemoteLineEnd : public ::testing::TestWithParam<SplitCase> {};

TEST_P(RemoteLineEnd, FoundPerChunk) {
    unsigned char half = 0;
    std::vector<int> got;
    for (const std::string& c : GetParam().chunks)
        got.push_back(search_enter_in_string(c.data(), static_cast<int>(c.size()), half));
    EXPECT_EQ(got, GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, RemoteLineEnd,
    ::testing::Values(SplitCase{"whole", {"PORTA=1\r\n"}, {1}},
                      SplitCase{"cr_then_lf", {"PORTA=1\r", "\n"}, {0, 1}},
                      SplitCase{"lone_bytes", {"\r", "\n"}, {0, 1}},
                      SplitCase{"flag_cleared_after_split", {"A\r", "\n", "\nB"}, {0, 1, 0}},
                      SplitCase{"cr_then_other", {"A\r", "x\n"}, {0, 0}},
                      SplitCase{"cr_again", {"A\r", "\r", "\n"}, {0, 0, 1}},
                      SplitCase{"lone_lf", {"\n"}, {0}},
                      SplitCase{"lf_cr", {"A\n\r"}, {0}},
                      SplitCase{"crlf_inside", {"A\r\nB"}, {1}},
                      // a full CR LF ends the search: the trailing CR sets no flag
                      SplitCase{"crlf_then_cr", {"A\r\nB\r", "\nC"}, {1, 0}},
                      SplitCase{"zero_byte", {std::string("A\0\r\n", 4)}, {1}}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(RemoteLineReader, LineOfTheLimitPassesOneMoreByteEndsIt) {
    unsigned char half = 0;
    RemoteLine exact;
    std::string text(REMOTE_LINE_MAX - 2, 'A');
    text += "\r\n";
    EXPECT_EQ(exact.feed(text.data(), REMOTE_LINE_MAX, half), RemoteLine::COMPLETE);

    RemoteLine over;
    text.insert(0, "A");
    EXPECT_EQ(over.feed(text.data(), REMOTE_LINE_MAX + 1, half), RemoteLine::TOO_LONG);
    EXPECT_TRUE(over.text.empty());

    RemoteLine pieces;  // 1000 bytes at a time: the 101st piece is one too many
    const std::string piece(1000, 'B');
    int fed = 0;
    while (fed < 200 && pieces.feed(piece.data(), 1000, half) == RemoteLine::MORE) fed++;
    EXPECT_EQ(fed, 100);
    EXPECT_EQ(pieces.text.size(), static_cast<size_t>(REMOTE_LINE_MAX));
}

TEST(RemoteLineReader, KeepsWhatFollowsTheLineEndInItsChunk) {
    unsigned char half = 0;
    RemoteLine line;
    EXPECT_EQ(line.feed("POR", 3, half), RemoteLine::MORE);
    EXPECT_EQ(line.feed("TA=1\r\nFINISH", 12, half), RemoteLine::COMPLETE);
    char* text = line.copy();
    EXPECT_STREQ(text, "PORTA=1\r\nFINISH");
    std::free(text);
}

// ---------------------------------------------------------------- remote commands

struct CommandCase {
    const char* name;
    const char* line;
    int result;
    int port_a;  // PORT_A was 99 before the line
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class RemoteCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(RemoteCommand, ResultAndControlWord) {
    remote_state_reset();
    PORT_A = 99;
    std::string line = GetParam().line;
    testing::internal::CaptureStdout();
    EXPECT_EQ(remote_apply_line(&line[0]), GetParam().result);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(PORT_A, GetParam().port_a);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RemoteCommand,
    ::testing::Values(CommandCase{"porta", "PORTA=17\r\n", 0, 17},
                      CommandCase{"porta_and_finish", "PORTA=3 FINISH\r\n", 1, 3},
                      CommandCase{"finish", "FINISH\r\n", 1, 99},
                      CommandCase{"bt_toggle", "BT_TOGGLE\r\n", 0, 99},
                      CommandCase{"lower_case", "porta=5 finish\r\n", 0, 99},
                      CommandCase{"garbage", "\x01\xff=12\r\n", 0, 99},
                      CommandCase{"no_digits", "PORTA=abc\r\n", 0, 0},
                      CommandCase{"no_value", "PORTA\r\n", 0, 0},
                      CommandCase{"empty_value", "PORTA=\r\n", 0, 0},
                      CommandCase{"second_separator", "PORTA=12=7\r\n", 0, 12},
                      CommandCase{"field_one_of_the_line", "X=5 PORTA\r\n", 0, 5},
                      CommandCase{"negative", "PORTA=-3\r\n", 0, -3},
                      CommandCase{"too_large", "PORTA=99999999999999999999\r\n", 0, INT_MAX},
                      CommandCase{"too_small", "PORTA=-99999999999999999999\r\n", 0, INT_MIN},
                      // the last two characters go whatever they are
                      CommandCase{"no_crlf", "PORTA=42", 0, 0},
                      CommandCase{"finish_cut", "FINISH", 0, 99},
                      CommandCase{"one_char", "F", 0, 99},
                      CommandCase{"empty", "", 0, 99}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(RemoteCommandPrint, OrderWithoutItsLineEnd) {
    char line[] = "PORTA=17\r\n";
    testing::internal::CaptureStdout();
    remote_apply_line(line);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ORDER:[PORTA=17] : ");
}

// ---------------------------------------------------------------- Exec_Remote_Order

constexpr int F1 = 1, F2 = 2, F3 = 4, F4 = 8, NEXT_MODULE = 16, NEXT_TYPE = 32, NEXT_WAVE = 64, PREV_WAVE = 128;
constexpr int T_VCO = 0, T_VCA = 1, T_SEQ = 2, T_PCF = 3, T_SAMPLER = 4;

class RemoteOrder : public ::testing::Test {
protected:
    GENERATOR patch;  // 3 VCOs, 2 VCAs, 2 sequencers, 2 filters, no sampler

    void SetUp() override {
        for (int i = 0; i < 3; i++) patch.add(new VCO(0.5f, 440.0f, 1));
        for (int i = 0; i < 2; i++) {
            patch.add(new VCA());
            patch.add(new SEQUENCER());
            patch.add(new PCF());
        }
        gen = &patch;
        remote_state_reset();
        run(0);  // buttons released: repeat values 0.01
        counter_1 = counter_2 = counter_3 = counter_4 = 0;
    }
    void TearDown() override {
        gen = nullptr;
        remote_state_reset();
    }

    /// Sets PORT_A and calls Exec_Remote_Order n times; the result of the last
    /// call. What it printed is left in printed.
    int run(int port_a, int n = 1) {
        PORT_A = port_a;
        int r = -1;
        testing::internal::CaptureStdout();
        for (int i = 0; i < n; i++) r = Exec_Remote_Order();
        printed = testing::internal::GetCapturedStdout();
        return r;
    }

    std::string printed;
};

TEST_F(RemoteOrder, SelectorKeysActOnEveryDelayPlusOneCall) {
    std::vector<int> acted, selection;
    PORT_A = NEXT_MODULE;
    for (int call = 1; call <= 21; call++) {
        if (Exec_Remote_Order()) acted.push_back(call);
        selection.push_back(nr_vco_selected);
    }
    EXPECT_EQ(acted, (std::vector<int>{7, 14, 21}));
    EXPECT_EQ(selection[5], 0);
    EXPECT_EQ(selection[6], 1);
    EXPECT_EQ(selection[13], 2);
    EXPECT_EQ(selection[20], 0);

    remote_state_reset();
    std::vector<int> types;
    PORT_A = NEXT_TYPE;
    for (int call = 1; call <= 7 * 5; call++)
        if (Exec_Remote_Order()) types.push_back(nr_type_instru);
    EXPECT_EQ(types, (std::vector<int>{1, 2, 3, 4, 0}));

    remote_state_reset();
    std::vector<int> waves;
    PORT_A = NEXT_WAVE;
    for (int call = 1; call <= 13 * 6; call++)
        if (Exec_Remote_Order()) waves.push_back(patch.vcos[0]->TYPE);
    EXPECT_EQ(waves, (std::vector<int>{1, 2, 3, 4, 5, 1}));
}

TEST_F(RemoteOrder, PreviousWaveformWrapsAndSequencerTempoDoublesAndHalves) {
    run(PREV_WAVE, 13);
    EXPECT_EQ(nr_type_onde, 5);
    EXPECT_EQ(patch.vcos[0]->TYPE, 5);
    run(PREV_WAVE, 13 * 5);
    EXPECT_EQ(patch.vcos[0]->TYPE, 0);

    remote_state_reset();
    nr_type_instru = T_SEQ;
    nr_seq_selected = 1;
    SEQUENCER* s = patch.sequencers[1];
    const int wave = patch.vcos[0]->TYPE;
    run(NEXT_WAVE, 13);
    EXPECT_FLOAT_EQ(s->divider[0], 4.0f);
    run(PREV_WAVE, 13 * 2);
    EXPECT_FLOAT_EQ(s->divider[0], 1.0f);
    EXPECT_FLOAT_EQ(patch.sequencers[0]->divider[0], 2.0f);
    EXPECT_EQ(patch.vcos[0]->TYPE, wave);  // only the selected type is touched
}

TEST_F(RemoteOrder, HeldFrequencyButtonAcceleratesAndReleaseResets) {
    nr_vco_selected = 2;
    VCO* o = patch.vcos[2];
    float expected = 440.0f, step = 0.01f;
    for (int call = 0; call < 3; call++) {
        run(F1);
        expected += step;
        step *= 1.5f;
        EXPECT_FLOAT_EQ(o->FREQ, expected) << "call " << call;
    }
    EXPECT_EQ(printed, "F1 [0.022500]\n");
    run(0);
    run(F2);
    EXPECT_FLOAT_EQ(o->FREQ, expected - 0.01f);
    EXPECT_EQ(printed, "F2 [0.010000]\n");
    EXPECT_FLOAT_EQ(patch.vcos[0]->FREQ, 440.0f);
}

TEST_F(RemoteOrder, FrequencyStaysAudibleHoweverLongTheButtonsAreHeld) {
    VCO* o = patch.vcos[0];
    for (int keys : {F1, F2, F1 | F2}) {
        remote_state_reset();
        run(0);
        o->FREQ = 440.0f;
        PORT_A = keys;
        testing::internal::CaptureStdout();
        bool inside = true;
        for (int call = 0; call < 2000 && inside; call++) {  // the step overflows to inf long before
            Exec_Remote_Order();
            inside = o->FREQ >= 0.0f && o->FREQ <= 22050.0f;
        }
        testing::internal::GetCapturedStdout();
        EXPECT_TRUE(inside) << "keys " << keys << " FREQ " << o->FREQ;
        // F1 tops out; F2 and, once both steps are inf, F1 + F2 (inf - inf) bottom out.
        EXPECT_EQ(o->FREQ, keys == F1 ? 22050.0f : 0.0f) << "keys " << keys;
    }
    o->FREQ = NAN;
    run(F1);
    EXPECT_EQ(o->FREQ, 0.0f);
}

struct CoarseCase {
    int fct;      // num_fct_vca
    int button;   // F3 up, F4 down
    float from, to;
};

void PrintTo(const CoarseCase& c, std::ostream* os) {
    *os << (c.button == F3 ? "F3" : "F4") << " on parameter " << c.fct << " from " << c.from;
}

class RemoteCoarse : public RemoteOrder, public ::testing::WithParamInterface<CoarseCase> {};

TEST_P(RemoteCoarse, EnvelopeTime) {
    const CoarseCase& c = GetParam();
    nr_type_instru = T_VCA;
    num_fct_vca = c.fct;
    VCA* a = patch.vcas[0];
    SHARED<float>* p = c.fct == 0 ? &a->ATTACK : c.fct == 1 ? &a->DECAY : &a->RELEASE;
    *p = c.from;
    EXPECT_EQ(run(c.button), 1);
    EXPECT_FLOAT_EQ(*p, c.to);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RemoteCoarse,
    ::testing::Values(CoarseCase{0, F3, 9.5f, 20.5f}, CoarseCase{0, F3, 95.0f, 205.0f},
                      CoarseCase{0, F3, 5.0f, 6.0f}, CoarseCase{1, F3, 10.0f, 20.0f},
                      CoarseCase{3, F3, 99999.0f, 100099.0f}, CoarseCase{3, F3, 100000.0f, 100000.0f},
                      CoarseCase{0, F4, 9.5f, 8.5f}, CoarseCase{1, F4, 15.0f, 5.0f},
                      CoarseCase{3, F4, 100.0f, 0.0f}, CoarseCase{0, F4, 150.0f, 50.0f},
                      CoarseCase{1, F4, 10.0f, 0.0f}, CoarseCase{3, F4, 0.5f, -0.5f}));

TEST_F(RemoteOrder, AmplifierAndFilterParameterChoice) {
    nr_type_instru = T_VCA;
    VCA* a = patch.vcas[0];
    run(F1);
    EXPECT_EQ(num_fct_vca, 3);  // below 0 to 3
    run(F2, 2);
    EXPECT_EQ(num_fct_vca, 1);  // above 3 to 0, then 1
    num_fct_vca = 2;
    a->SUSTAIN = 0.3f;
    run(F3);
    EXPECT_EQ(a->SUSTAIN, 1.0f);
    run(F4);
    EXPECT_EQ(a->SUSTAIN, 0.0f);

    nr_type_instru = T_PCF;
    nr_pcf_selected = 1;
    PCF* f = patch.pcfs[1];
    const int hicut = f->HICUT;
    run(F1);
    EXPECT_EQ(num_fct_pcf, 4);
    run(F2);
    EXPECT_EQ(num_fct_pcf, 0);
    run(F3);
    EXPECT_EQ(f->HICUT, hicut + 100);
    num_fct_pcf = 1;
    run(F3);
    num_fct_pcf = 2;
    run(F3);
    run(F4);  // nothing on a filter
    EXPECT_EQ(f->Q, 0.5f);
    EXPECT_EQ(f->GAIN, 0.5f);
    EXPECT_EQ(f->HICUT, hicut + 100);
}

TEST_F(RemoteOrder, SequencerStepAndNote) {
    nr_type_instru = T_SEQ;
    SEQUENCER* s = patch.sequencers[0];
    run(F3);
    EXPECT_EQ(num_step_seq, s->NBR_STEP[0]);  // below 0: the step count
    num_step_seq = s->NBR_STEP[0] - 1;
    run(F4);
    EXPECT_EQ(num_step_seq, 0);
    num_step_seq = 5;
    s->current_pattern = 2;
    const int note = s->note[2 * SEQ_STEPS + 5];
    run(F1);
    EXPECT_EQ(s->note[2 * SEQ_STEPS + 5], note - 1);
    run(F2, 3);
    EXPECT_EQ(s->note[2 * SEQ_STEPS + 5], note + 2);
    // Held, F1 and F2 stop at the ends of the panel's range (0..12).
    run(F1, 40);
    EXPECT_EQ(s->note[2 * SEQ_STEPS + 5], 0);
    run(F2, 40);
    EXPECT_EQ(s->note[2 * SEQ_STEPS + 5], SEQ_NOTE_MAX);

    // A full step count selects step 64, outside the grid: no note is touched.
    s->NBR_STEP[0] = SEQ_STEPS;
    s->current_pattern = SEQ_PATTERNS - 1;
    num_step_seq = 0;
    run(F3);
    EXPECT_EQ(num_step_seq, SEQ_STEPS);
    const int octave = s->octave[0];
    const int last = s->note[SEQ_PATTERNS * SEQ_STEPS - 1];
    run(F1 | F2);
    EXPECT_EQ(s->octave[0], octave);
    EXPECT_EQ(s->note[SEQ_PATTERNS * SEQ_STEPS - 1], last);
}

TEST_F(RemoteOrder, SelectionsWrapAndMissingModulesAreLeftAlone) {
    nr_type_instru = T_VCA;
    nr_vca_selected = 1;
    run(NEXT_MODULE, 7);
    EXPECT_EQ(nr_vca_selected, 0);

    // Beyond the end (a reload shortened the list): the buttons do nothing,
    // the next-module key wraps to the first.
    nr_type_instru = T_VCO;
    nr_vco_selected = 5;
    EXPECT_EQ(run(F1 | F4), 1);
    for (VCO* o : patch.vcos) EXPECT_EQ(o->FREQ, 440.0f);
    for (VCO* o : patch.vcos) EXPECT_EQ(o->AMOUNT, 0.5f);
    run(NEXT_MODULE, 7);
    EXPECT_EQ(nr_vco_selected, 0);

    // No sampler at all: the selection stays 0.
    nr_type_instru = T_SAMPLER;
    run(NEXT_MODULE | F1 | F2 | F3 | F4, 14);
    EXPECT_EQ(nr_sampler_selected, 0);

    // An empty patch, then no patch: bookkeeping only.
    GENERATOR empty;
    gen = &empty;
    nr_type_instru = T_SEQ;
    EXPECT_EQ(run(NEXT_MODULE | NEXT_WAVE | F1 | F2 | F3 | F4, 13), 1);
    EXPECT_EQ(num_step_seq, 0);
    gen = nullptr;
    remote_state_reset();
    EXPECT_EQ(run(F1 | F3), 1);
    EXPECT_EQ(toggle_BUTTON_1, 1);
    EXPECT_EQ(toggle_BUTTON_2, 0);
    EXPECT_EQ(toggle_BUTTON_3_time, 1.0f);
    EXPECT_EQ(toggle_BUTTON_2_time, 0.01f);
    EXPECT_EQ(run(0), 0);
}

}  // namespace
