// The patch's files from the real window: a missing patch named on the
// command line starts an empty one; a module added, Ctrl+S and a name typed
// in the window write it; Ctrl+O and a filter open another patch, which is
// heard; quitting with an unsaved edit asks, Cancel goes on, Discard quits
// with 0. Killed with an unsaved knob turn, the program offers it again at
// the next start, and the restored patch, saved, renders with the turn.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/recording.h"
#include "tests/e2e/window_program.h"
#include "tests/e2e/working_copy.h"
#include "tests/processes.h"
#include "tests/temp_path.h"
#include "tests/xvfb.h"

namespace {
using std::chrono::milliseconds;
namespace fs = std::filesystem;

// One sine oscillator into the sound output; its panel heads the first
// column, its frequency knob drawn at (16, 84) on the panel at (0, 25), 15
// rows lower.
const char* const ONE_OSCILLATOR =
    "BEGIN_OBJECTS_DECLARE\nVCO_TONE;TYPE=1;FREQ=440;AMOUNT=0.8;\nSOUND_OUT;;\nEND_OBJECTS_DECLARE\n"
    "BEGIN_LINKS_DECLARE\nSOUND_OUT;IN=VCO_TONE;\nEND_LINKS_DECLARE\n";
constexpr int FREQ_KNOB_X = 16 + 16, FREQ_KNOB_Y = 25 + 15 + 84 + 16;

void pause(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

struct PROGRAM : WINDOW_PROGRAM {
    PROGRAM(XVFB& server, const std::vector<std::string>& args, const std::string& cwd,
            std::vector<std::string> env = {})
        : WINDOW_PROGRAM(server, args, "files_window.log", cwd, std::move(env)) {}
    /// Waits until the log holds text at least n times.
    bool says_times(const std::string& text, size_t n) {
        return wait_until(
            [&] {
                const std::string all = file_text(log);
                size_t count = 0;
                for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) count++;
                return count >= n;
            },
            milliseconds(10000));
    }
    bool running() { return waitpid(child.pid, nullptr, WNOHANG) == 0; }
    void add_oscillator() {
        xdotool("key a");
        pause(300);
        xdotool("type vco");
        xdotool("key Return");
    }
};

}  // namespace

TEST(FilesWindow, SaveANewPatchOpenAnotherAndTheQuitQuestion) {
    XVFB& x = shared_xvfb();
    ASSERT_FALSE(x.display().empty());
    const std::string work = working_copy("files_window");
    std::ofstream(work + "/KSY/one.ksy") << ONE_OSCILLATOR;

    PROGRAM program(x, {"--record", "KSY/fresh.ksy"}, work);
    ASSERT_TRUE(program.window_shown()) << file_text(program.log);
    EXPECT_TRUE(program.says("Cannot open the patch [KSY/fresh.ksy]: the window starts with an empty patch"));
    program.xdotool("mousemove 600 500");

    // A module, then the name typed in the window's field over the one it shows.
    program.add_oscillator();
    ASSERT_TRUE(program.says("module added: VCO_1")) << file_text(program.log);
    program.xdotool("key ctrl+s");
    ASSERT_TRUE(program.says("Entrez le nom du fichier")) << file_text(program.log);
    pause(300);
    program.xdotool("type made");
    program.xdotool("key Return");
    ASSERT_TRUE(program.says("Saved [KSY/made.ksy]")) << file_text(program.log);
    EXPECT_NE(file_text(work + "/KSY/made.ksy").find("\nVCO_1;"), std::string::npos);

    // The list of KSY/, filtered by what is typed; Enter opens the one left.
    program.xdotool("key ctrl+o");
    pause(500);
    program.xdotool("type one.k");
    program.xdotool("key Return");
    ASSERT_TRUE(program.says("Opened [KSY/one.ksy]")) << file_text(program.log);
    pause(1500);

    // An edit: quitting asks; Cancel goes on playing, Discard quits.
    program.add_oscillator();
    ASSERT_TRUE(program.says_times("module added: VCO_1", 2)) << file_text(program.log);
    program.xdotool("key Escape");
    ASSERT_TRUE(program.says("has unsaved changes")) << file_text(program.log);
    program.xdotool("key c");
    pause(1000);
    EXPECT_TRUE(program.running());
    program.xdotool("key Escape");
    ASSERT_TRUE(program.says_times("has unsaved changes", 2)) << file_text(program.log);
    program.xdotool("key d");
    int status = -1;
    ASSERT_TRUE(wait_child(program.child, milliseconds(15000), &status)) << file_text(program.log);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(fs::exists(work + "/KSY/.autosave-one.ksy"));

    // The empty patch and the unwired oscillator are silent: what is heard is the opened patch.
    const std::vector<short> heard = audible_part(left_channel(work + "/record.wav"));
    ASSERT_GT(heard.size(), 8820u);
    EXPECT_NEAR(pitch(std::vector<short>(heard.begin(), heard.begin() + 8820)), 440.0, 3.0);
}

TEST(FilesWindow, KilledWithAnUnsavedTurnTheNextStartRestoresIt) {
    XVFB& x = shared_xvfb();
    ASSERT_FALSE(x.display().empty());
    const std::string work = working_copy("files_recovery");
    std::ofstream(work + "/KSY/one.ksy") << ONE_OSCILLATOR;
    const std::string kept = work + "/KSY/.autosave-one.ksy";
    {
        PROGRAM program(x, {"KSY/one.ksy"}, work, {"Z_OZODIVE_AUTOSAVE_SECONDS=1"});
        ASSERT_TRUE(program.window_shown()) << file_text(program.log);
        // 60 pixels down: 60 steps of 1 Hz in the band above 50 Hz, 440 -> 500.
        program.xdotool("mousemove " + std::to_string(FREQ_KNOB_X) + " " + std::to_string(FREQ_KNOB_Y) +
                        " mousedown 1");
        program.xdotool("mousemove " + std::to_string(FREQ_KNOB_X) + " " + std::to_string(FREQ_KNOB_Y + 60));
        program.xdotool("mouseup 1");
        ASSERT_TRUE(wait_until([&] { return file_text(kept).find("FREQ=500;") != std::string::npos; },
                               milliseconds(10000)))
            << file_text(program.log);
        stop_child(program.child, SIGKILL);
    }
    EXPECT_EQ(file_text(work + "/KSY/one.ksy"), ONE_OSCILLATOR);

    PROGRAM program(x, {"KSY/one.ksy"}, work);
    ASSERT_TRUE(program.window_shown()) << file_text(program.log);
    ASSERT_TRUE(program.says("were kept")) << file_text(program.log);
    program.xdotool("mousemove 600 500 key r");
    ASSERT_TRUE(program.says("Restored the unsaved changes")) << file_text(program.log);
    // The field shows the patch's own name: Enter saves over it.
    program.xdotool("key ctrl+s");
    ASSERT_TRUE(program.says("Entrez le nom du fichier")) << file_text(program.log);
    pause(300);
    program.xdotool("key Return");
    ASSERT_TRUE(program.says("one.ksy]")) << file_text(program.log);
    ASSERT_TRUE(program.says("Saved [")) << file_text(program.log);
    program.xdotool("key Escape");
    int status = -1;
    ASSERT_TRUE(wait_child(program.child, milliseconds(15000), &status)) << file_text(program.log);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(fs::exists(kept));

    const std::string out = work + "/rendered.wav";
    const std::string render = "cd '" + work + "' && '" + std::string(KEL_BINARY_DIR) +
                               "/z_ozodive' --render '" + out + "' --seconds 1 KSY/one.ksy >/dev/null 2>&1";
    ASSERT_EQ(std::system(render.c_str()), 0);
    const std::vector<short> heard = audible_part(left_channel(out));
    ASSERT_GT(heard.size(), 8820u);
    EXPECT_NEAR(pitch(std::vector<short>(heard.begin(), heard.begin() + 8820)), 500.0, 3.0);
}
