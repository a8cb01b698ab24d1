// The oscillator test scope as a user runs it: a window on a real X server
// with its four traces, the frame-rate line every 5 s through a pipe, and
// Escape or SIGTERM ending it with status 0.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/processes.h"
#include "tests/temp_path.h"
#include "tests/xvfb.h"

namespace {
using std::chrono::seconds;

// Pixels of one colour class in the rows [from, to) of the window at the
// screen's top-left corner (no window manager places it elsewhere).
int count(const SHOT& shot, int from, int to, bool (*is)(const unsigned char*)) {
    int n = 0;
    for (int y = from; y < to && y < shot.height; y++)
        for (int x = 0; x < 1024 && x < shot.width; x++) n += is(shot.at(x, y));
    return n;
}
bool red(const unsigned char* p) { return p[0] > 200 && p[1] < 60 && p[2] < 60; }
bool green(const unsigned char* p) { return p[1] > 200 && p[0] < 60 && p[2] < 60; }
bool blue(const unsigned char* p) { return p[2] > 200 && p[0] < 60 && p[1] < 60; }
bool white(const unsigned char* p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; }

CHILD start_scope(const XVFB& x, const std::string& log) {
    return spawn_child({std::string(KEL_BINARY_DIR) + "/z_ozodive", "--scope"}, KEL_DATA_DIR, {x.env()}, log,
                       false);
}
}  // namespace

TEST(TestScope, TracesFrameRateAndEscape) {
    XVFB x;
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    const std::string log = test_temp_path("scope.log");
    CHILD scope = start_scope(x, log);
    ASSERT_TRUE(wait_for_text(log, "FPS\n", std::chrono::milliseconds(20000))) << file_text(log);
    EXPECT_NE(file_text(log).find(" frames in "), std::string::npos);

    const SHOT shot = take_screenshot(x, test_temp_path("scope.ppm"));
    ASSERT_GE(shot.height, 768);
    // Each sine swings 64 units about its row: red about 128, green about
    // 256, blue about 384; their sum (white) about 512, up to 192 away. The
    // scope draws a 768-unit projection into a 784-pixel viewport anchored at
    // the bottom of the 768-pixel window, so unit y lands on window row
    // 768 - (768 - y) * 784 / 768, and 64 units span 65.3 pixels.
    auto row = [](double y) { return (int)(768 - (768 - y) * 784.0 / 768.0); };
    struct TRACE { int centre, reach; bool (*is)(const unsigned char*); const char* name; };
    const TRACE traces[] = {{row(128), 68, red, "red"}, {row(256), 68, green, "green"},
                            {row(384), 68, blue, "blue"}, {row(512), 198, white, "white"}};
    for (const auto& t : traces) {
        EXPECT_GT(count(shot, t.centre - t.reach, t.centre + t.reach, t.is), 50) << t.name;
        if (t.is != white) {
            EXPECT_EQ(count(shot, 0, t.centre - t.reach, t.is) + count(shot, t.centre + t.reach, 768, t.is), 0)
                << t.name << " trace strays from its row";
        }
    }

    const std::string key = "DISPLAY=" + x.display() + " xdotool mousemove 500 400 key Escape";
    ASSERT_EQ(std::system(key.c_str()), 0);
    int status = -1;
    EXPECT_TRUE(wait_child(scope, std::chrono::milliseconds(10000), &status));
    EXPECT_EQ(status, 0);
    stop_child(scope, SIGKILL);
}

TEST(TestScope, EndsOnSigterm) {
    XVFB x;
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    CHILD scope = start_scope(x, "");
    const std::string probe = test_temp_path("scope_probe.ppm");
    ASSERT_TRUE(wait_until([&] { return count(take_screenshot(x, probe), 0, 768, red) > 0; },
                           std::chrono::milliseconds(20000)));
    EXPECT_EQ(stop_child(scope, SIGTERM), 0);
}
