// The windowed program on a real X server, driven like a user drives it:
// hover, drag and click the demonstration panel with xdotool, then leave with
// Escape or the window's close button; and without a display at all.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "tests/processes.h"
#include "tests/temp_path.h"
#include "tests/xvfb.h"

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
    explicit PROGRAM(XVFB& server) : x(server) {
        // A patch without modules: the window shows the demonstration panel.
        child = spawn_child({std::string(KEL_BINARY_DIR) + "/z_ozodive", "--output", "none", "KSY/no_such.ksy"},
                            KEL_DATA_DIR, {x.env()}, log, false);
    }
    ~PROGRAM() { stop_child(child, SIGKILL); }
    bool says(const std::string& text, int ms = 10000) { return wait_for_text(log, text, milliseconds(ms)); }
    void xdotool(const std::string& args) {
        const std::string command = "DISPLAY=" + x.display() + " xdotool " + args;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    int status_within(int ms) {
        int status = -1;
        return wait_child(child, milliseconds(ms), &status) ? status : -1;
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
    XVFB x;
    ASSERT_FALSE(x.display().empty());
    PROGRAM program(x);
    ASSERT_TRUE(program.says("Window open (1024 x 768)", 30000)) << file_text(program.log);

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
    XVFB x;
    ASSERT_FALSE(x.display().empty());
    PROGRAM program(x);
    ASSERT_TRUE(program.says("Window open", 30000)) << file_text(program.log);
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
