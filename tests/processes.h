// Child processes for whole-program tests: started and stopped by their PID,
// every wait bounded.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/temp_path.h"

/// A child process, with an optional pipe to its standard input.
struct CHILD {
    pid_t pid = -1;
    int stdin_fd = -1;  ///< write end of the child's standard input, or -1
};

/// Starts argv[0] (a path) with argv, in folder cwd (empty: ours), with the
/// extra environment entries "NAME=value", standard output and error into
/// out_path (empty: /dev/null), standard input from a pipe when with_stdin
/// (else /dev/null). Unless env names another, the child's XDG_CONFIG_HOME is
/// a folder of this test process's own, so that no test reads or writes the
/// settings of the user running the tests, nor those of a test running beside it.
inline CHILD spawn_child(const std::vector<std::string>& argv, const std::string& cwd,
                         const std::vector<std::string>& env, const std::string& out_path,
                         bool with_stdin) {
    CHILD c;
    const std::string config = "XDG_CONFIG_HOME=" + test_temp_path("config");
    int in_pipe[2] = {-1, -1};
    if (with_stdin && pipe(in_pipe) != 0) return c;
    const pid_t pid = fork();
    if (pid == 0) {
        if (with_stdin) {
            dup2(in_pipe[0], 0);
            close(in_pipe[0]);
            close(in_pipe[1]);
        } else {
            const int null_in = open("/dev/null", O_RDONLY);
            dup2(null_in, 0);
        }
        const int out = open(out_path.empty() ? "/dev/null" : out_path.c_str(),
                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        putenv(const_cast<char*>(config.c_str()));
        for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (with_stdin) {
        close(in_pipe[0]);
        c.stdin_fd = in_pipe[1];
    }
    c.pid = pid;
    return c;
}

/// Writes text to the child's standard input; true when all of it went.
inline bool send_keys(const CHILD& c, const std::string& text) {
    if (c.stdin_fd < 0) return false;
    return write(c.stdin_fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

/// Waits up to timeout for the child to end. True with its exit status in
/// *status (or 128 + signal when a signal ended it); false when still running.
inline bool wait_child(CHILD& c, std::chrono::milliseconds timeout, int* status) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int ws = 0;
        const pid_t r = waitpid(c.pid, &ws, WNOHANG);
        if (r == c.pid) {
            *status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
            c.pid = -1;
            if (c.stdin_fd >= 0) close(c.stdin_fd);
            c.stdin_fd = -1;
            return true;
        }
        if (r < 0 || std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

/// Ends the child: sig, then SIGKILL if it has not ended within timeout.
/// Returns its exit status as wait_child gives it.
inline int stop_child(CHILD& c, int sig = SIGTERM,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) {
    if (c.pid <= 0) return -1;
    int status = -1;
    kill(c.pid, sig);
    if (!wait_child(c, timeout, &status)) {
        kill(c.pid, SIGKILL);
        wait_child(c, std::chrono::milliseconds(5000), &status);
    }
    return status;
}

/// Kills the child at the end of a scope, whatever way the test leaves it.
struct STOPPED_AT_END {
    CHILD& child;
    ~STOPPED_AT_END() {
        if (child.pid > 0) stop_child(child, SIGKILL);
    }
};

/// The whole content of a file ("" when it cannot be read).
inline std::string file_text(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

/// Waits up to timeout until pred() holds; true when it did.
template <typename Pred>
bool wait_until(Pred pred, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

/// Waits up to timeout until the file holds text.
inline bool wait_for_text(const std::string& path, const std::string& text,
                          std::chrono::milliseconds timeout) {
    return wait_until([&] { return file_text(path).find(text) != std::string::npos; }, timeout);
}
