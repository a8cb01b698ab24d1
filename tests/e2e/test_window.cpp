// The windowed program on a real X server, driven like a user drives it:
// hover, drag and click the demonstration panel with xdotool, then leave with
// Escape or the window's close button; and without a display at all.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/processes.h"
#include "tests/temp_path.h"
#include "tests/xvfb.h"
#include "tests/e2e/recording.h"

// Xlib last: its macros (None, Status, ...) clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {
using std::chrono::milliseconds;

// The demonstration panel stands at (40, 40); its pictures are drawn 15 rows
// lower. The knob's picture is 32 x 32 at (16, 84) and the power button's
// 18 x 18 at (176, 2) on the panel.
constexpr int KNOB_X = 40 + 16 + 16, KNOB_Y = 40 + 15 + 84 + 16;
constexpr int POWER_X = 40 + 176 + 9, POWER_Y = 40 + 15 + 2 + 9;

struct PROGRAM {
    XVFB& x;
    std::string log = test_temp_path("window.log");
    CHILD child;
    // By default a patch without modules: the window shows the demonstration panel.
    explicit PROGRAM(XVFB& server, const std::vector<std::string>& args = {"KSY/no_such.ksy"}) : x(server) {
        std::vector<std::string> argv{std::string(KEL_BINARY_DIR) + "/z_ozodive", "--output", "none"};
        argv.insert(argv.end(), args.begin(), args.end());
        child = spawn_child(argv, KEL_DATA_DIR, {x.env()}, log, false);
    }
    ~PROGRAM() { stop_child(child, SIGKILL); }
    bool says(const std::string& text, int ms = 10000) { return wait_for_text(log, text, milliseconds(ms)); }
    void xdotool(const std::string& args) {
        const std::string command = "DISPLAY=" + x.display() + " xdotool " + args;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    /// Waits for "Window open" and for the window to be mapped, so that
    /// pointer actions land on it.
    bool window_shown() {
        if (!says("Window open", 30000)) return false;
        const std::string command = "DISPLAY=" + x.display() +
                                    " timeout 10 xdotool search --sync --onlyvisible --name '^z_ozodive' >/dev/null";
        if (std::system(command.c_str()) != 0) return false;
        std::this_thread::sleep_for(milliseconds(300));  // a frame or two drawn
        return true;
    }
    int status_within(int ms) {
        int status = -1;
        return wait_child(child, milliseconds(ms), &status) ? status : -1;
    }
    /// Escape with an unsaved edit: the question comes, D discards; the exit status (-1: none).
    int quit_discarding() {
        xdotool("key Escape");
        if (!says("has unsaved changes")) return -1;
        xdotool("key d");
        return status_within(15000);
    }
};

// Sends the window manager's close request (WM_DELETE_WINDOW) to every
// top-level window whose title starts with "z_ozodive", as a close button does.
int press_close_button(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    if (d == nullptr) return 0;
    const Atom protocols = XInternAtom(d, "WM_PROTOCOLS", False), close = XInternAtom(d, "WM_DELETE_WINDOW", False);
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    int sent = 0;
    XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
    for (unsigned i = 0; i < n; i++) {
        char* name = nullptr;
        if (XFetchName(d, children[i], &name) && name != nullptr && std::strncmp(name, "z_ozodive", 9) == 0) {
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = children[i];
            e.xclient.message_type = protocols;
            e.xclient.format = 32;
            e.xclient.data.l[0] = (long)close;
            e.xclient.data.l[1] = CurrentTime;
            XSendEvent(d, children[i], False, NoEventMask, &e);
            sent++;
        }
        if (name != nullptr) XFree(name);
    }
    if (children != nullptr) XFree(children);
    XCloseDisplay(d);
    return sent;
}
}  // namespace

TEST(Window, HoverDragClickAndEscape) {
    XVFB& x = shared_xvfb();  // one server per test process: restarting one is slow and racy
    ASSERT_FALSE(x.display().empty());
    PROGRAM program(x);
    ASSERT_TRUE(program.says("Window open (1024 x 768)", 30000)) << file_text(program.log);
    ASSERT_TRUE(program.window_shown());

    program.xdotool("mousemove " + std::to_string(KNOB_X) + " " + std::to_string(KNOB_Y));
    EXPECT_TRUE(program.says("demo: TOUCH_IN D_SLD_DEMO"));
    program.xdotool("mousemove 600 500");
    EXPECT_TRUE(program.says("demo: TOUCH_OUT D_SLD_DEMO"));

    // 12 pixels of downward drag are 12 knob steps.
    program.xdotool("mousemove " + std::to_string(KNOB_X) + " " + std::to_string(KNOB_Y) + " mousedown 1");
    program.xdotool("mousemove " + std::to_string(KNOB_X) + " " + std::to_string(KNOB_Y + 12));
    program.xdotool("mouseup 1");
    EXPECT_TRUE(program.says("demo: knob 12\n")) << file_text(program.log);

    const SHOT off = take_screenshot(x, test_temp_path("off.ppm"));
    program.xdotool("mousemove " + std::to_string(POWER_X) + " " + std::to_string(POWER_Y) + " click 1");
    EXPECT_TRUE(program.says("demo: button 1"));
    program.xdotool("mousemove 600 500");
    ASSERT_TRUE(wait_until(
        [&] {
            const SHOT on = take_screenshot(x, test_temp_path("on.ppm"));
            return on.height > POWER_Y && std::memcmp(on.at(POWER_X, POWER_Y), off.at(POWER_X, POWER_Y), 3) != 0;
        },
        milliseconds(5000)))
        << "the button's picture did not change";

    program.xdotool("key Escape");
    EXPECT_EQ(program.status_within(10000), 0);
}

TEST(Window, CloseButtonEndsWithZero) {
    XVFB& x = shared_xvfb();  // one server per test process: restarting one is slow and racy
    ASSERT_FALSE(x.display().empty());
    PROGRAM program(x);
    ASSERT_TRUE(program.window_shown()) << file_text(program.log);
    // The title reaches the server with the program's next requests: retry.
    EXPECT_TRUE(wait_until([&] { return press_close_button(x.display()) == 1; }, milliseconds(5000)));
    EXPECT_EQ(program.status_within(10000), 0);
    EXPECT_TRUE(program.says("Quitting"));
}

TEST(Window, WithoutADisplaySaysSoAndEndsWithOne) {
    const std::string log = test_temp_path("nodisplay.log");
    const std::string command = "cd '" + std::string(KEL_DATA_DIR) + "' && env -u DISPLAY '" +
                                std::string(KEL_BINARY_DIR) + "/z_ozodive' --output none </dev/null >'" + log +
                                "' 2>&1";
    const int rc = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 1);
    const std::string out = file_text(log);
    EXPECT_NE(out.find("--headless"), std::string::npos) << out;
    EXPECT_EQ(out.find("Generating Note Tabs"), std::string::npos) << "asked nothing before giving up";
}

// --- the panels of a patch -----------------------------------------------------

namespace {
// One sine oscillator into the sound output: the oscillator's panel heads the
// first column (0, 25), the sound output's the second (210, 50, 116 wide), and
// the patch panel stands right of the last column (210 + 116 + 10, 50).
std::string one_oscillator_patch() {
    const std::string path = test_temp_path("one_vco.ksy");
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "BEGIN_OBJECTS_DECLARE\nVCO_TONE;TYPE=1;FREQ=440;AMOUNT=0.8;\nSOUND_OUT;;\n"
                    "END_OBJECTS_DECLARE\nBEGIN_LINKS_DECLARE\nSOUND_OUT;IN=VCO_TONE;\nEND_LINKS_DECLARE\n");
    std::fclose(f);
    return path;
}
// Window points of the oscillator panel's widgets (pictures drawn 15 rows low).
constexpr int FREQ_KNOB_X = 16 + 16, FREQ_KNOB_Y = 25 + 15 + 84 + 16;
constexpr int VCO_POWER_X = 176 + 9, VCO_POWER_Y = 25 + 15 + 2 + 9;
constexpr int PATCH_DISPLAY_X = 336 + 22 + 36, PATCH_DISPLAY_Y = 50 + 15 + 19 + 14;

void pause(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

size_t count_of(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}
}  // namespace

TEST(WindowPanels, KnobRaisesThePitchAndPowerSilences) {
    XVFB& x = shared_xvfb();  // one server per test process: restarting one is slow and racy
    ASSERT_FALSE(x.display().empty());
    const std::string record = std::string(KEL_DATA_DIR) + "/record.wav";
    std::remove(record.c_str());
    PROGRAM program(x, {"--record", one_oscillator_patch()});
    ASSERT_TRUE(program.window_shown()) << file_text(program.log);
    pause(500);
    // 60 pixels down: 60 steps of 1 Hz in the band above 50 Hz.
    program.xdotool("mousemove " + std::to_string(FREQ_KNOB_X) + " " + std::to_string(FREQ_KNOB_Y) + " mousedown 1");
    program.xdotool("mousemove " + std::to_string(FREQ_KNOB_X) + " " + std::to_string(FREQ_KNOB_Y + 60));
    program.xdotool("mouseup 1");
    pause(800);
    program.xdotool("mousemove " + std::to_string(VCO_POWER_X) + " " + std::to_string(VCO_POWER_Y) + " click 1");
    pause(800);
    // The turned knob is an unsaved edit: quitting asks, and D discards it.
    ASSERT_EQ(program.quit_discarding(), 0) << file_text(program.log);

    const std::vector<short> all = left_channel(record);
    std::remove(record.c_str());
    const std::vector<short> heard = audible_part(all);
    ASSERT_GT(heard.size(), 44100u);
    EXPECT_NEAR(pitch(std::vector<short>(heard.begin(), heard.begin() + 8820)), 440.0, 3.0);
    EXPECT_NEAR(pitch(std::vector<short>(heard.end() - 8820, heard.end())), 500.0, 3.0);
    // After POWER the oscillator is silent to the end.
    const auto last_loud = std::find_if(all.rbegin(), all.rend(), [](short v) { return std::abs(v) > 100; });
    EXPECT_GT(last_loud - all.rbegin(), 44100 * 3 / 10) << "less than 0.3 s of silence after POWER";
}

TEST(WindowPanels, PatchPanelReloadsAnotherPatch) {
    XVFB& x = shared_xvfb();  // one server per test process: restarting one is slow and racy
    ASSERT_FALSE(x.display().empty());
    PROGRAM program(x, {one_oscillator_patch()});
    ASSERT_TRUE(program.window_shown()) << file_text(program.log);
    program.xdotool("mousemove " + std::to_string(PATCH_DISPLAY_X) + " " + std::to_string(PATCH_DISPLAY_Y) +
                    " click 1");
    // The panels of the new patch are built...
    ASSERT_TRUE(wait_until([&] { return count_of(file_text(program.log), "Init Gui From Current()") >= 2; },
                           milliseconds(15000)))
        << file_text(program.log);
    // ...and answer: the backs and fronts, a drag and a click over them.
    program.xdotool("key Tab");
    program.xdotool("key Tab");
    program.xdotool("mousemove " + std::to_string(FREQ_KNOB_X) + " " + std::to_string(FREQ_KNOB_Y) +
                    " mousedown 1 mousemove " + std::to_string(FREQ_KNOB_X) + " " + std::to_string(FREQ_KNOB_Y + 20) +
                    " mouseup 1 click 1");
    pause(500);
    program.xdotool("key Escape");
    EXPECT_EQ(program.status_within(15000), 0) << file_text(program.log);
}

// --- reading at any size ----------------------------------------------------

namespace {
// Two oscillators: the first panel at (0, 25), the second at (0, 167.5), half
// a pixel between rows. Their titles start alike ("VCO SERB").
std::string two_oscillator_patch() {
    const std::string path = test_temp_path("two_vco.ksy");
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "BEGIN_OBJECTS_DECLARE\nVCO_SERB_1;TYPE=1;FREQ=440;AMOUNT=0.8;\nVCO_SERB_2;TYPE=1;FREQ=440;AMOUNT=0.8;\n"
                    "SOUND_OUT;;\nEND_OBJECTS_DECLARE\nBEGIN_LINKS_DECLARE\nSOUND_OUT;IN=VCO_SERB_1;\nEND_LINKS_DECLARE\n");
    std::fclose(f);
    return path;
}

bool bright(const unsigned char* p) { return p[0] + p[1] + p[2] > 450; }
}  // namespace

TEST(WindowView, TitleOnAHalfPixelRowHasTheInkOfOneOnAWholeRow) {
    XVFB& x = shared_xvfb();
    ASSERT_FALSE(x.display().empty());
    PROGRAM program(x, {two_oscillator_patch()});
    ASSERT_TRUE(program.window_shown()) << file_text(program.log);
    // Title baselines: panel y + 9 + 21, rounded: rows 55 and round(197.5) = 198;
    // the faces behind them start at rows 40 and round(182.5) = 183: 143 apart.
    constexpr int TOP = 55 - 11, ROWS = 14, SHIFT = 143, LEFT = 16, COLUMNS = 56;  // "VCO SERB"
    SHOT shot;
    int ink = 0;
    ASSERT_TRUE(wait_until(
        [&] {
            shot = take_screenshot(x, test_temp_path("titles.ppm"));
            ink = 0;
            if (shot.height < TOP + SHIFT + ROWS) return false;
            for (int r = 0; r < ROWS; r++)
                for (int c = 0; c < COLUMNS; c++) ink += bright(shot.at(LEFT + c, TOP + r));
            return ink > 40;
        },
        milliseconds(10000)))
        << "no title ink";
    int differing = 0, ink_below = 0;
    for (int r = 0; r < ROWS; r++)
        for (int c = 0; c < COLUMNS; c++) {
            const unsigned char* a = shot.at(LEFT + c, TOP + r);
            const unsigned char* b = shot.at(LEFT + c, TOP + SHIFT + r);
            ink_below += bright(b);
            for (int k = 0; k < 3; k++) differing += std::abs(a[k] - b[k]) > 24;
        }
    EXPECT_EQ(ink_below, ink);
    EXPECT_EQ(differing, 0);
    program.xdotool("key Escape");
    EXPECT_EQ(program.status_within(10000), 0);
}

TEST(WindowView, KnobRaisesThePitchAtHalfSize) {
    XVFB& x = shared_xvfb();
    ASSERT_FALSE(x.display().empty());
    const std::string record = std::string(KEL_DATA_DIR) + "/record.wav";
    std::remove(record.c_str());
    PROGRAM program(x, {"--record", one_oscillator_patch()});
    ASSERT_TRUE(program.window_shown()) << file_text(program.log);
    // Four notches of Ctrl+wheel down with the pointer on the window's corner:
    // 90, 75, 67 then 50 %, and the corner stays the patch's origin.
    program.xdotool("mousemove 0 0 keydown ctrl click 5 click 5 click 5 click 5 keyup ctrl");
    pause(500);
    const int knob_x = FREQ_KNOB_X / 2, knob_y = FREQ_KNOB_Y / 2;
    program.xdotool("mousemove " + std::to_string(knob_x) + " " + std::to_string(knob_y) + " mousedown 1");
    program.xdotool("mousemove " + std::to_string(knob_x) + " " + std::to_string(knob_y + 60));
    program.xdotool("mouseup 1");
    pause(800);
    program.xdotool("mousemove " + std::to_string(VCO_POWER_X / 2) + " " + std::to_string(VCO_POWER_Y / 2) + " click 1");
    pause(800);
    // The turned knob is an unsaved edit: quitting asks, and D discards it.
    ASSERT_EQ(program.quit_discarding(), 0) << file_text(program.log);

    const std::vector<short> all = left_channel(record);
    std::remove(record.c_str());
    const std::vector<short> heard = audible_part(all);
    ASSERT_GT(heard.size(), 44100u);
    EXPECT_NEAR(pitch(std::vector<short>(heard.begin(), heard.begin() + 8820)), 440.0, 3.0);
    EXPECT_NEAR(pitch(std::vector<short>(heard.end() - 8820, heard.end())), 500.0, 3.0);
    const auto last_loud = std::find_if(all.rbegin(), all.rend(), [](short v) { return std::abs(v) > 100; });
    EXPECT_GT(last_loud - all.rbegin(), 44100 * 3 / 10) << "the power button under the pointer was not pressed";
}

TEST(WindowView, ResizedWindowKeepsTheHelpLineAtItsFoot) {
    XVFB& x = shared_xvfb();
    ASSERT_FALSE(x.display().empty());
    PROGRAM program(x, {one_oscillator_patch()});
    ASSERT_TRUE(program.window_shown()) << file_text(program.log);
    program.xdotool("search --name '^z_ozodive' windowsize 700 520");
    ASSERT_TRUE(program.says("Window resized (700 x 520)")) << file_text(program.log);
    // The foot's dark strip with the help text's ink in its bottom rows, and
    // the rack above it.
    auto foot_at_bottom = [&] {
        const SHOT s = take_screenshot(x, test_temp_path("resized.ppm"));
        if (s.height < 520) return false;
        int ink = 0;
        for (int r = 520 - 18; r < 520; r++)
            for (int c = 10; c < 300; c++) ink += bright(s.at(c, r)) || s.at(c, r)[0] > 150;
        const unsigned char* strip = s.at(4, 519);
        const unsigned char* rack = s.at(690, 420);
        return ink > 30 && strip[0] < 40 && strip[2] < 50 && rack[0] > 20;
    };
    EXPECT_TRUE(wait_until(foot_at_bottom, milliseconds(8000)));
    program.xdotool("key Escape");
    EXPECT_EQ(program.status_within(10000), 0);
}
