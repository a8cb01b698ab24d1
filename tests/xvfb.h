// A private X server for interface tests: Xvfb picks a free display itself
// (-displayfd), the test talks to it through DISPLAY, and it is stopped by its
// PID when the test process ends. Mesa's llvmpipe gives it OpenGL.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/processes.h"

class XVFB {
public:
    /// Starts the server; display() is empty when it did not come up in 10 s.
    XVFB() {
        int fds[2];
        if (pipe(fds) != 0) return;
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const int null_fd = open("/dev/null", O_RDWR);
            dup2(null_fd, 0);
            dup2(null_fd, 1);
            dup2(null_fd, 2);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
                   "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        server.pid = pid;
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (poll(&p, 1, 10000) > 0) {
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (number.empty()) return;
        // The number comes before the server takes every client: wait until
        // a client gets an answer.
        const std::string probe = "DISPLAY=:" + number + " xdotool getdisplaygeometry >/dev/null 2>&1";
        for (int i = 0; i < 100; i++) {
            if (std::system(probe.c_str()) == 0) {
                name = ":" + number;
                return;
            }
            usleep(100000);
        }
    }
    ~XVFB() { stop_child(server); }
    XVFB(const XVFB&) = delete;
    XVFB& operator=(const XVFB&) = delete;

    /// ":N", or empty when the server failed.
    const std::string& display() const { return name; }
    /// "DISPLAY=:N" for a child's environment.
    std::string env() const { return "DISPLAY=" + name; }

private:
    CHILD server;
    std::string name;
};

/// One server for the whole test process, started at first use; DISPLAY is set
/// to it so that SDL in this process opens its windows there.
inline XVFB& shared_xvfb() {
    static XVFB x;
    if (!x.display().empty()) setenv("DISPLAY", x.display().c_str(), 1);
    return x;
}

/// A screenshot of the whole root window as packed RGB rows.
struct SHOT {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    /// Red, green and blue of pixel (x, y).
    const unsigned char* at(int x, int y) const { return &rgb[(size_t)(y * width + x) * 3]; }
};

/// Takes a screenshot with ImageMagick's import as a binary PPM; empty on failure.
inline SHOT take_screenshot(const XVFB& x, const std::string& path) {
    SHOT shot;
    const std::string command = "import -display " + x.display() + " -window root -depth 8 ppm:" + path + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) return shot;
    std::ifstream f(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    f >> magic >> shot.width >> shot.height >> maxval;
    f.get();
    if (magic != "P6" || maxval != 255 || shot.width <= 0 || shot.height <= 0) return SHOT{};
    shot.rgb.resize((size_t)shot.width * shot.height * 3);
    f.read(reinterpret_cast<char*>(shot.rgb.data()), (std::streamsize)shot.rgb.size());
    if (!f) return SHOT{};
    return shot;
}
