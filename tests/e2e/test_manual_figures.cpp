// The figures of docs/patches.md, measured: every table marked
// "<!-- measured: NAME -->" is read out of the manual, each of its rows is
// played by the program (--render) and measured in the rendered WAV file, and
// the row must say what was measured. With KEL_PRINT_MEASURED=1 set, the
// measured rows are printed as Markdown, ready to be pasted into the manual.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "synth/notes.h"
#include "synth/sequencer.h"
#include "synth/wav.h"

namespace {

const std::string PROGRAM = std::string(KEL_BINARY_DIR) + "/z_ozodive";
const std::string DATA = KEL_DATA_DIR;
const std::string MANUAL = DATA + "/../docs/patches.md";
constexpr double RATE = 44100.0;

std::string temp_path(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/z_ozodive_fig_" + std::to_string(getpid()) + "_" + name;
}

/// The left channel of `seconds` of the patch, as values of -1..1.
std::vector<double> render(const std::string& patch, double seconds) {
    const std::string ksy = temp_path("patch.ksy"), wav = temp_path("out.wav");
    std::ofstream(ksy) << patch;
    const std::string cmd = "cd '" + DATA + "' && '" + PROGRAM + "' --render '" + wav + "' --seconds " +
                            std::to_string(seconds) + " '" + ksy + "' >/dev/null 2>&1";
    const int rc = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << patch;
    std::vector<double> left;
    if (auto s = wav_load_sample(wav.c_str(), 1 << 30))
        for (size_t i = 0; i + 1 < s->data.size(); i += 2) left.push_back(s->data[i] / 32767.0);
    std::remove(ksy.c_str());
    std::remove(wav.c_str());
    return left;
}

std::string patch(const std::string& objects, const std::string& links) {
    return "BEGIN_OBJECTS_DECLARE\n" + objects + "SOUND_OUT;;\nEND_OBJECTS_DECLARE\nBEGIN_LINKS_DECLARE\n" + links +
           "END_LINKS_DECLARE\n";
}

/// Frequency from the rising zero crossings after the first 0.1 s, interpolated.
double frequency(const std::vector<double>& x) {
    double first = -1, last = -1;
    int count = 0;
    for (size_t i = static_cast<size_t>(0.1 * RATE); i + 1 < x.size(); i++) {
        if (!(x[i] < 0 && x[i + 1] >= 0)) continue;
        const double t = (i + -x[i] / (x[i + 1] - x[i])) / RATE;
        if (first < 0) first = t;
        last = t;
        count++;
    }
    return count > 1 ? (count - 1) / (last - first) : 0.0;
}

/// The value held at time t, seconds.
double at(const std::vector<double>& x, double t) {
    const size_t i = static_cast<size_t>(t * RATE);
    return i < x.size() ? x[i] : NAN;
}

// ------------------------------------------------------------ the manual's tables

using Row = std::vector<std::string>;

/// The rows (header and rule left out) of the table after the marker.
std::vector<Row> table(const std::string& name) {
    std::ifstream in(MANUAL);
    std::string line;
    const std::string marker = "<!-- measured: " + name + " -->";
    while (std::getline(in, line) && line != marker) {
    }
    std::vector<Row> rows;
    int seen = 0;
    while (std::getline(in, line)) {
        if (line.empty() && seen == 0) continue;
        if (line.empty() || line[0] != '|') break;
        if (seen++ < 2) continue;
        Row row;
        std::stringstream cells(line.substr(1));
        std::string cell;
        while (std::getline(cells, cell, '|')) {
            const size_t a = cell.find_first_not_of(" `"), b = cell.find_last_not_of(" `");
            row.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
        }
        rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty()) << "no table after " << marker << " in " << MANUAL;
    return rows;
}

double number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

bool printing() { return std::getenv("KEL_PRINT_MEASURED") != nullptr; }

/// Checks cell `column` of each row against what measure(row) gives, within
/// tolerance; prints the measured rows when asked.
void compare(const std::string& name, int column, double tolerance, int decimals,
             const std::function<double(const Row&)>& measure) {
    for (Row row : table(name)) {
        const double measured = measure(row);
        EXPECT_NEAR(number(row[column]), measured, tolerance) << name << " row " << row[0];
        if (!printing()) continue;
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", decimals, measured);
        row[column] = text;
        std::string out = "|";
        for (const std::string& c : row) out += " " + c + " |";
        std::printf("%s\n", out.c_str());
    }
}

// ------------------------------------------------------------ pitch

TEST(ManualFigures, WaveformPitch) {
    // | TYPE | waveform | FREQ | plays, Hz |
    compare("waveform-pitch", 3, 0.1, 1, [](const Row& r) {
        return frequency(render(patch("VCO_T;TYPE=" + r[0] + ";FREQ=" + r[2] + ";AMOUNT=0.9;\n", "SOUND_OUT;IN=VCO_T;\n"), 2));
    });
}

TEST(ManualFigures, SineFlatness) {
    // | FREQ | plays, Hz |
    compare("sine-pitch", 1, 0.1, 1, [](const Row& r) {
        return frequency(render(patch("VCO_T;TYPE=1;FREQ=" + r[0] + ";AMOUNT=0.9;\n", "SOUND_OUT;IN=VCO_T;\n"), 2));
    });
}

TEST(ManualFigures, NoteTable) {
    // | entry | note | MIDI | Hz |: the sequencer's output is the step's
    // frequency; divided by a power of two above it, it fits the WAV file.
    compare("note-table", 3, 0.02, 2, [](const Row& r) {
        const double d = std::pow(2.0, std::ceil(std::log2(number(r[3]) + 1)));
        const std::string objects = "SEQUENCER_N;DIVIDER=10;NBR_STEP_000=1;NOTE_000_00=" + r[0] +
                                    ";LENGHT_000_00=1;\nCONSTANTE_D;VALUE=" + std::to_string(d) +
                                    ";\nBASIC_OPERATION_DIV;TYPE=3;\n";
        const auto x = render(patch(objects, "BASIC_OPERATION_DIV;IN1=SEQUENCER_N;IN2=CONSTANTE_D;\nSOUND_OUT;IN=BASIC_OPERATION_DIV;\n"), 0.3);
        return at(x, 0.25) * d;
    });
}

// ------------------------------------------------------------ sequencer timing

TEST(ManualFigures, SequencerGates) {
    // | gate | opens at, s | lasts, s |: four steps, DIVIDER=4, lengths
    // 0.2, 0.4, 0.6, 0.8, into an envelope of 1 ms corners on a constant 1.
    const std::string objects =
        "SEQUENCER_G;DIVIDER=4;NBR_STEP_000=4;NOTE_000_00=46;NOTE_000_01=49;NOTE_000_02=53;NOTE_000_03=58;"
        "LENGHT_000_00=0.2;LENGHT_000_01=0.4;LENGHT_000_02=0.6;LENGHT_000_03=0.8;\n"
        "CONSTANTE_ONE;VALUE=1;\nVCA_G;ATTACK=1;DECAY=1;SUSTAIN=1;RELEASE=1;\n";
    const auto x = render(patch(objects, "VCA_G;IN=CONSTANTE_ONE;GATE=SEQUENCER_G;\nSOUND_OUT;IN=VCA_G;\n"), 2.1);
    std::vector<double> opens, lasts;
    for (size_t i = 1; i < x.size(); i++) {
        if (x[i - 1] <= 0.5 && x[i] > 0.5) opens.push_back(i / RATE);
        if (x[i - 1] > 0.5 && x[i] <= 0.5 && !opens.empty()) lasts.push_back(i / RATE - opens.back());
    }
    compare("sequencer-gates", 1, 0.002, 3, [&](const Row& r) {
        const size_t k = static_cast<size_t>(number(r[0])) - 1;
        return k < opens.size() ? opens[k] : NAN;
    });
    compare("sequencer-gates", 2, 0.002, 3, [&](const Row& r) {
        const size_t k = static_cast<size_t>(number(r[0])) - 1;
        return k < lasts.size() ? lasts[k] : NAN;
    });
}

// ------------------------------------------------------------ envelope

TEST(ManualFigures, EnvelopeCorners) {
    // | ATTACK | DECAY | SUSTAIN | sounds for, ms |: a full-scale 440 Hz sine
    // through the amplifier, its gate open 0.5 s (from 1 s: one step late).
    compare("envelope-corners", 3, 1.0, 0, [](const Row& r) {
        const std::string objects = "SEQUENCER_G;DIVIDER=1;NBR_STEP_000=1;NOTE_000_00=58;LENGHT_000_00=0.5;\n"
                                    "VCO_S;TYPE=1;FREQ=440;AMOUNT=1;\nVCA_E;ATTACK=" + r[0] + ";DECAY=" + r[1] +
                                    ";SUSTAIN=" + r[2] + ";RELEASE=1;\n";
        const auto x = render(patch(objects, "VCA_E;IN=VCO_S;GATE=SEQUENCER_G;\nSOUND_OUT;IN=VCA_E;\n"), 1.7);
        double last = 1.0;
        for (size_t i = static_cast<size_t>(RATE); i < x.size(); i++)
            if (std::fabs(x[i]) > 0.01) last = i / RATE;
        return (last - 1.0) * 1000;
    });
}

// ------------------------------------------------------------ mixer

TEST(ManualFigures, MixerLaw) {
    // | inputs | levels | output |: constants into a mixer, one channel each.
    compare("mixer-law", 2, 0.0002, 3, [](const Row& r) {
        std::stringstream inputs(r[0]), levels(r[1]);
        std::string objects = "MIXER_M;", links = "MIXER_M;", in, level;
        std::string constants;
        for (int k = 0; std::getline(inputs, in, ',') && std::getline(levels, level, ','); k++) {
            const std::string c = "CONSTANTE_" + std::to_string(k);
            constants += c + ";VALUE=" + in + ";\n";
            objects += "V_0" + std::to_string(k) + "=" + level + ";";
            links += "ADD_CHANELL=" + c + ";";
        }
        const auto x = render(patch(constants + objects + "\n", links + "\nSOUND_OUT;IN=MIXER_M;\n"), 0.05);
        return at(x, 0.04);
    });
}

// ------------------------------------------------------------ operations

TEST(ManualFigures, Operations) {
    // | TYPE | name | result | a=3, b=2 | a=0, b=2 |: the result divided by 8 fits the file.
    for (int column : {3, 4}) {
        compare("operations", column, 0.001, 2, [&](const Row& r) {
            const std::string a = column == 3 ? "3" : "0";
            const std::string objects = "CONSTANTE_A;VALUE=" + a + ";\nCONSTANTE_B;VALUE=2;\nCONSTANTE_EIGHT;VALUE=8;\n"
                                        "BASIC_OPERATION_X;TYPE=" + r[0] + ";\nBASIC_OPERATION_SCALE;TYPE=3;\n";
            const std::string links =
                "BASIC_OPERATION_X;IN1=CONSTANTE_A;IN2=CONSTANTE_B;\n"
                "BASIC_OPERATION_SCALE;IN1=BASIC_OPERATION_X;IN2=CONSTANTE_EIGHT;\nSOUND_OUT;IN=BASIC_OPERATION_SCALE;\n";
            const auto x = render(patch(objects, links), 0.02);
            return at(x, 0.01) * 8;
        });
    }
}

// ------------------------------------------------------------ pattern files

TEST(ManualFigures, PatternFileExampleWritesTheRisingScale) {
    std::ifstream in(DATA + "/../docs/pattern-files.md");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t open = text.find("```python\n");
    ASSERT_NE(open, std::string::npos);
    const std::string script = text.substr(open + 10, text.find("```", open + 10) - open - 10);
    if (std::system("command -v python3 >/dev/null") != 0) GTEST_SKIP() << "no python3";
    const std::string dir = temp_path("pattern");
    const std::string py = dir + "/make.py";
    std::system(("mkdir -p '" + dir + "/PARTITIONS'").c_str());
    std::ofstream(py) << script;
    ASSERT_EQ(std::system(("cd '" + dir + "' && python3 make.py").c_str()), 0);
    SEQUENCER q;
    ASSERT_EQ(q.load_partition((dir + "/PARTITIONS/RISE.PAR").c_str()), 1);
    std::system(("rm -rf '" + dir + "'").c_str());
    // "Eight rising notes, the C major scale from middle C".
    const int scale[8] = {49, 51, 53, 54, 56, 58, 60, 61};
    EXPECT_EQ(q.NBR_STEP[0], 8);
    for (int s = 0; s < 8; s++) EXPECT_EQ(q.octave[s] * 12 + q.note[s], scale[s]) << "step " << s;
    fill_NOTE2FREQ();
    EXPECT_NEAR(NOTE2FREQ[scale[0]], 261.63, 0.01);  // middle C, as the note table says
}

}  // namespace
