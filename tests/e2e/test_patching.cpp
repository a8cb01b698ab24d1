// Patching by hand in the real window: in the back view, a cable dragged
// from an oscillator's output to the sound output's input is heard at once
// and drawn, and saved with the patch; a right click on the input silences
// it; Ctrl+Z brings it back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/e2e/recording.h"
#include "tests/processes.h"
#include "tests/temp_path.h"
#include "tests/xvfb.h"
#include "tests/e2e/window_program.h"

namespace {
using std::chrono::milliseconds;

// An oscillator linked to nothing and a sound output. The oscillator's panel
// heads the first column at (0, 25), the sound output's the second at
// (210, 50). On their backs the oscillator's output socket is at (171, 100)
// and the sound output's input at (50, 22), 16 x 16 each; pictures are drawn
// 15 rows below their places.
constexpr int OUT_X = 0 + 171 + 8, OUT_Y = 25 + 100 + 8 + 15;
constexpr int IN_X = 210 + 50 + 8, IN_Y = 50 + 22 + 8 + 15;
// Halfway along the cable: the wire is a quadratic curve whose middle control
// point hangs at the sum of both ends' heights (in patch-area rows), so its
// middle is at ((179 + 2 x 223 + 268) / 4, (148 + 2 x 228 + 95) / 4).
constexpr int SAG_X = 223, SAG_Y = 175;

std::string unconnected_patch() {
    const std::string path = test_temp_path("unconnected.ksy");
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "BEGIN_OBJECTS_DECLARE\nVCO_TONE;TYPE=1;FREQ=440;AMOUNT=0.8;\nSOUND_OUT;;\n"
                    "END_OBJECTS_DECLARE\nBEGIN_LINKS_DECLARE\nEND_LINKS_DECLARE\n");
    std::fclose(f);
    return path;
}

std::string at(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }
void pause(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

/// A pixel of the red signal wire within a few pixels of (x, y).
bool red_wire_near(const SHOT& s, int x, int y) {
    for (int dy = -6; dy <= 6; dy++)
        for (int dx = -3; dx <= 3; dx++) {
            if (x + dx < 0 || y + dy < 0 || x + dx >= s.width || y + dy >= s.height) continue;
            const unsigned char* p = s.at(x + dx, y + dy);
            if (p[0] > 120 && p[0] > 2 * p[1] && p[0] > 2 * p[2]) return true;
        }
    return false;
}

/// The recording cut into 50 ms blocks: 'L' loud, 'q' quiet, '-' in between.
std::string loudness(const std::vector<short>& x) {
    std::string blocks;
    for (size_t i = 0; i + 2205 <= x.size(); i += 2205) {
        const int p = peak(x, i, i + 2205);
        blocks += p > 8000 ? 'L' : p < 100 ? 'q' : '-';
    }
    return blocks;
}
}  // namespace

TEST(Patching, DragHearsRightClickSilencesUndoRestores) {
    XVFB& x = shared_xvfb();
    ASSERT_FALSE(x.display().empty());
    const std::string record = std::string(KEL_DATA_DIR) + "/record.wav";
    std::remove(record.c_str());
    WINDOW_PROGRAM program(x, {"--record", unconnected_patch()}, "patching.log");
    ASSERT_TRUE(program.window_shown()) << file_text(program.log);
    pause(600);  // silence first: nothing feeds the sound output

    program.xdotool("key Tab");
    pause(200);
    const SHOT before = take_screenshot(x, test_temp_path("patch_before.ppm"));
    program.xdotool("mousemove " + at(OUT_X, OUT_Y) + " mousedown 1");
    program.xdotool("mousemove " + at(OUT_X + 30, OUT_Y + 40));
    program.xdotool("mousemove " + at(IN_X, IN_Y));
    program.xdotool("mouseup 1");
    ASSERT_TRUE(program.says("Patching: cable plugged: VCO_TONE OUT -> SOUND_OUT IN")) << file_text(program.log);
    program.xdotool("mousemove 700 600");
    EXPECT_TRUE(wait_until([&] { return red_wire_near(take_screenshot(x, test_temp_path("patch_on.ppm")), SAG_X, SAG_Y); },
                           milliseconds(5000)))
        << "no cable drawn";
    EXPECT_FALSE(red_wire_near(before, SAG_X, SAG_Y)) << "a wire before any link";

    // Saved like a link read from a file.
    const std::string name = "cable_test_" + std::to_string(getpid());
    const std::string saved = std::string(KEL_DATA_DIR) + "/KSY/" + name + ".ksy";
    program.xdotool("key ctrl+s");
    ASSERT_TRUE(program.says("Entrez le nom du fichier")) << file_text(program.log);
    ASSERT_TRUE(send_keys(program.child, name + "\n"));
    ASSERT_TRUE(program.says("Saved [KSY/" + name + ".ksy]")) << file_text(program.log);
    const std::string text = file_text(saved);
    std::remove(saved.c_str());
    const size_t links = text.find("BEGIN_LINKS_DECLARE");
    ASSERT_NE(links, std::string::npos) << text;
    EXPECT_NE(text.find("\nSOUND_OUT;IN=VCO_TONE;", links), std::string::npos) << text;
    pause(800);

    program.xdotool("mousemove " + at(IN_X, IN_Y) + " click 3");
    ASSERT_TRUE(program.says("Patching: cable removed: VCO_TONE OUT -> SOUND_OUT IN")) << file_text(program.log);
    pause(800);

    program.xdotool("key ctrl+z");
    ASSERT_TRUE(program.says("Patching: undone: VCO_TONE OUT -> SOUND_OUT IN")) << file_text(program.log);
    pause(800);
    program.xdotool("key Escape");
    int status = -1;
    ASSERT_TRUE(wait_child(program.child, milliseconds(15000), &status));
    ASSERT_EQ(status, 0) << file_text(program.log);

    const std::vector<short> all = left_channel(record);
    std::remove(record.c_str());
    // Silence, the oscillator, silence, the oscillator again: runs of at
    // least 0.3 s, with what lies between (a buffer's worth) left out.
    std::string runs;
    std::vector<std::pair<size_t, size_t>> loud;  // blocks
    const std::string blocks = loudness(all);
    for (size_t i = 0; i < blocks.size();) {
        size_t j = i;
        while (j < blocks.size() && blocks[j] == blocks[i]) j++;
        if (j - i >= 6 && blocks[i] != '-') {
            if (runs.empty() || runs.back() != blocks[i]) runs += blocks[i];
            if (blocks[i] == 'L') loud.emplace_back(i, j);
        }
        i = j;
    }
    ASSERT_EQ(runs.substr(0, 4), "qLqL") << blocks;
    for (const auto& r : loud) {
        const std::vector<short> part(all.begin() + r.first * 2205, all.begin() + r.second * 2205);
        EXPECT_NEAR(pitch(part), 440.0, 3.0) << "blocks " << r.first << " to " << r.second;
    }
}
