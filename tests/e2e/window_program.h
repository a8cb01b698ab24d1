// The program started in a window on a test's X server, its output in a log
// and its standard input on a pipe; driven with xdotool.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/processes.h"
#include "tests/temp_path.h"
#include "tests/xvfb.h"

struct WINDOW_PROGRAM {
    XVFB& x;
    std::string log;
    CHILD child;
    /// Starts the program with --output none and args in folder cwd, with
    /// the variables env besides the display's; log_name names its log.
    WINDOW_PROGRAM(XVFB& server, const std::vector<std::string>& args, const std::string& log_name,
                   const std::string& cwd = KEL_DATA_DIR, std::vector<std::string> env = {})
        : x(server), log(test_temp_path(log_name)) {
        std::vector<std::string> argv{std::string(KEL_BINARY_DIR) + "/z_ozodive", "--output", "none"};
        argv.insert(argv.end(), args.begin(), args.end());
        env.push_back(x.env());
        child = spawn_child(argv, cwd, env, log, true);
    }
    ~WINDOW_PROGRAM() { stop_child(child, SIGKILL); }
    WINDOW_PROGRAM(const WINDOW_PROGRAM&) = delete;
    WINDOW_PROGRAM& operator=(const WINDOW_PROGRAM&) = delete;

    bool says(const std::string& text, int ms = 10000) {
        return wait_for_text(log, text, std::chrono::milliseconds(ms));
    }
    void xdotool(const std::string& args) {
        const std::string command = "DISPLAY=" + x.display() + " xdotool " + args;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    /// The window opened and is shown.
    bool window_shown() {
        if (!says("Window open", 30000)) return false;
        const std::string command = "DISPLAY=" + x.display() +
                                    " timeout 10 xdotool search --sync --onlyvisible --name '^z_ozodive' >/dev/null";
        return std::system(command.c_str()) == 0;
    }
};
