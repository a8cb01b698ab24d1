// Building a patch in the real window from an empty one: an oscillator and a
// sound output added with the module browser and cabled are heard at the
// oscillator's default pitch; the oscillator removed falls silent, Ctrl+Z
// brings it back with its cable, Ctrl+Y takes it away again. A renamed module
// is saved under its new name, and the saved file renders as the window played.
// Escape closes the browser without quitting.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/recording.h"
#include "tests/processes.h"
#include "tests/temp_path.h"
#include "tests/xvfb.h"
#include "tests/e2e/window_program.h"

namespace {
using std::chrono::milliseconds;

// The browser puts the oscillator's panel at the head of its column (0, 25)
// and the sound output's at the head of the next (210, 50). On their backs the
// oscillator's output socket is at (171, 100) and the sound output's input at
// (50, 22), 16 x 16 each; pictures are drawn 15 rows below their places.
constexpr int OUT_X = 0 + 171 + 8, OUT_Y = 25 + 100 + 8 + 15;
constexpr int IN_X = 210 + 50 + 8, IN_Y = 50 + 22 + 8 + 15;
// A point of the oscillator's panel away from its sockets, and the sound
// output's title bar.
constexpr int VCO_X = 60, VCO_Y = 25 + 60 + 15;
constexpr int TITLE_X = 210 + 40, TITLE_Y = 50 + 8 + 15;

std::string empty_patch() {
    const std::string path = test_temp_path("empty.ksy");
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "BEGIN_OBJECTS_DECLARE\nEND_OBJECTS_DECLARE\nBEGIN_LINKS_DECLARE\nEND_LINKS_DECLARE\n");
    std::fclose(f);
    return path;
}

struct PROGRAM : WINDOW_PROGRAM {
    PROGRAM(XVFB& server, const std::vector<std::string>& args) : WINDOW_PROGRAM(server, args, "build_patch.log") {}
    std::string title() {
        const std::string command = "DISPLAY=" + x.display() +
                                    " xdotool search --name '^z_ozodive' getwindowname 2>/dev/null | head -1";
        std::string out;
        if (FILE* p = popen(command.c_str(), "r")) {
            char line[400];
            while (std::fgets(line, sizeof line, p) != nullptr) out += line;
            pclose(p);
        }
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }
    /// Opens the browser, types the filter and adds the first type it keeps.
    void add(const std::string& filter) {
        xdotool("mousemove 700 600 key a");
        pause(300);
        xdotool("type " + filter);
        xdotool("key Return");
    }
    static void pause(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }
};

bool ends_with(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

std::string at(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }

/// The recording in 50 ms blocks: 'L' loud, 'q' quiet, '-' in between.
std::string loudness(const std::vector<short>& x) {
    std::string blocks;
    for (size_t i = 0; i + 2205 <= x.size(); i += 2205) {
        const int p = peak(x, i, i + 2205);
        blocks += p > 8000 ? 'L' : p < 100 ? 'q' : '-';
    }
    return blocks;
}

/// The runs of at least 0.3 s, loud or quiet, in order ("qLqL"), and the loud ones (in blocks).
std::string runs_of(const std::string& blocks, std::vector<std::pair<size_t, size_t>>* loud) {
    std::string runs;
    for (size_t i = 0; i < blocks.size();) {
        size_t j = i;
        while (j < blocks.size() && blocks[j] == blocks[i]) j++;
        if (j - i >= 6 && blocks[i] != '-') {
            if (runs.empty() || runs.back() != blocks[i]) runs += blocks[i];
            if (blocks[i] == 'L') loud->emplace_back(i, j);
        }
        i = j;
    }
    return runs;
}
}  // namespace

TEST(BuildPatch, AddCableRemoveUndoRedoRenameSave) {
    XVFB& x = shared_xvfb();
    ASSERT_FALSE(x.display().empty());
    const std::string record = std::string(KEL_DATA_DIR) + "/record.wav";
    std::remove(record.c_str());
    PROGRAM program(x, {"--record", empty_patch()});
    ASSERT_TRUE(program.window_shown()) << file_text(program.log);
    PROGRAM::pause(600);

    // Escape closes the browser and nothing else (the window quits on Escape).
    program.xdotool("mousemove 700 600 key a");
    PROGRAM::pause(300);
    program.xdotool("key Escape");
    PROGRAM::pause(300);

    program.add("VCO");
    ASSERT_TRUE(program.says("Patching: module added: VCO_1")) << file_text(program.log);
    program.add("SOUND");
    ASSERT_TRUE(program.says("Patching: module added: SOUND_OUT_1")) << file_text(program.log);
    EXPECT_TRUE(ends_with(program.title(), "empty.ksy *")) << program.title();
    PROGRAM::pause(600);  // still silent: nothing is cabled

    program.xdotool("key Tab");
    PROGRAM::pause(200);
    program.xdotool("mousemove " + at(OUT_X, OUT_Y) + " mousedown 1");
    program.xdotool("mousemove " + at(OUT_X + 30, OUT_Y + 40));
    program.xdotool("mousemove " + at(IN_X, IN_Y));
    program.xdotool("mouseup 1");
    ASSERT_TRUE(program.says("Patching: cable plugged: VCO_1 OUT -> SOUND_OUT_1 IN")) << file_text(program.log);
    PROGRAM::pause(800);

    program.xdotool("mousemove " + at(VCO_X, VCO_Y) + " key Delete");
    ASSERT_TRUE(program.says("Patching: module removed: VCO_1")) << file_text(program.log);
    PROGRAM::pause(800);
    program.xdotool("key ctrl+z");
    ASSERT_TRUE(program.says("Patching: undone: module removed: VCO_1")) << file_text(program.log);
    PROGRAM::pause(800);
    program.xdotool("key ctrl+y");
    ASSERT_TRUE(program.says("Patching: redone: module removed: VCO_1")) << file_text(program.log);
    PROGRAM::pause(800);
    program.xdotool("key ctrl+z");
    ASSERT_TRUE(wait_until([&] { return count_of(file_text(program.log), "undone: module removed: VCO_1") == 2; },
                           milliseconds(10000)));
    PROGRAM::pause(500);

    // A double click on the sound output's title: the name field, then a new name.
    program.xdotool("mousemove " + at(TITLE_X, TITLE_Y) + " click --repeat 2 --delay 80 1");
    PROGRAM::pause(300);
    program.xdotool("key BackSpace BackSpace");
    program.xdotool("type _MAIN");
    program.xdotool("key Return");
    ASSERT_TRUE(program.says("Patching: module renamed: SOUND_OUT_1 -> SOUND_OUT_MAIN")) << file_text(program.log);
    PROGRAM::pause(800);

    const std::string name = "build_test_" + std::to_string(getpid());
    const std::string saved = std::string(KEL_DATA_DIR) + "/KSY/" + name + ".ksy";
    // Gone whatever the outcome: the browser lists every file of KSY/.
    struct REMOVED_AT_END {
        std::string path;
        ~REMOVED_AT_END() { std::remove(path.c_str()); }
    } saved_file{saved};
    program.xdotool("key ctrl+s");
    ASSERT_TRUE(program.says("Entrez le nom du fichier")) << file_text(program.log);
    ASSERT_TRUE(send_keys(program.child, name + "\n"));
    ASSERT_TRUE(program.says("Saved [KSY/" + name + ".ksy]")) << file_text(program.log);
    // Saved under a new name, the patch is that file's, with nothing unsaved.
    EXPECT_TRUE(wait_until([&] { return ends_with(program.title(), name + ".ksy"); }, milliseconds(3000)))
        << program.title();
    program.xdotool("key Escape");
    int status = -1;
    ASSERT_TRUE(wait_child(program.child, milliseconds(15000), &status));
    ASSERT_EQ(status, 0) << file_text(program.log);

    const std::string text = file_text(saved);
    EXPECT_NE(text.find("\nSOUND_OUT_MAIN;"), std::string::npos) << text;
    EXPECT_NE(text.find("\nSOUND_OUT_MAIN;IN=VCO_1;"), std::string::npos) << text;

    // Silence, then the oscillator, silence, back, silence, back.
    const std::vector<short> all = left_channel(record);
    std::remove(record.c_str());
    std::vector<std::pair<size_t, size_t>> loud;
    const std::string blocks = loudness(all);
    ASSERT_EQ(runs_of(blocks, &loud).substr(0, 6), "qLqLqL") << blocks;
    for (const auto& r : loud) {
        const std::vector<short> part(all.begin() + r.first * 2205, all.begin() + r.second * 2205);
        EXPECT_NEAR(pitch(part), 110.0, 2.0) << "blocks " << r.first << " to " << r.second;
    }
    const std::vector<short> last(all.begin() + loud.back().first * 2205, all.begin() + loud.back().second * 2205);

    // The saved patch, rendered offline, sounds as the window played it.
    const std::string wav = test_temp_path("build_patch.wav");
    const std::string render = "cd '" + std::string(KEL_DATA_DIR) + "' && '" + KEL_BINARY_DIR +
                               "/z_ozodive' --render '" + wav + "' --seconds 1 'KSY/" + name + ".ksy' >/dev/null";
    ASSERT_EQ(std::system(render.c_str()), 0) << render;
    const std::vector<short> offline = left_channel(wav);
    ASSERT_GT(offline.size(), 20000u);
    EXPECT_NEAR(pitch(offline), pitch(last), 1.0);
    EXPECT_NEAR(peak(offline, 0, offline.size()), peak(last, 0, last.size()), peak(last, 0, last.size()) / 20);
}
