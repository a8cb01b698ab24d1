// A private PulseAudio server with a null sink "nul", for tests that play
// through a real sound server and record what it received. Each server has its
// own socket, so test processes running side by side do not meet.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tests/processes.h"
#include "tests/temp_path.h"

/// True when program is on the PATH.
inline bool have_program(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

/// True when a server accepts connections on the unix socket at path.
inline bool unix_socket_accepts(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, sizeof addr.sun_path - 1);
    const bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (fd >= 0) close(fd);
    return ok;
}

class PULSE_SERVER {
public:
    /// Starts the daemon; running() tells whether it came up.
    PULSE_SERVER() : dir_(test_temp_path("pulse")), socket_(dir_ + "/native") {
        if (!have_program("pulseaudio")) return;
        if (std::system(("mkdir -p '" + dir_ + "/home'").c_str()) != 0) return;
        child_ = spawn_child({"pulseaudio", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1",
                              "--disallow-exit", "-n", "--load=module-null-sink sink_name=nul",
                              "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_},
                             dir_, environment(), dir_ + "/pulse.log", false);
        running_ = child_.pid > 0 &&
                   wait_until([&] { return unix_socket_accepts(socket_); }, std::chrono::seconds(20));
    }
    /// Stops the daemon by its PID (it refuses "pactl exit" with --disallow-exit).
    ~PULSE_SERVER() {
        restore_environment();
        stop_child(child_);
        if (std::system(("rm -rf '" + dir_ + "'").c_str()) != 0) return;
    }
    PULSE_SERVER(const PULSE_SERVER&) = delete;
    PULSE_SERVER& operator=(const PULSE_SERVER&) = delete;

    bool running() const { return running_; }
    const std::string& dir() const { return dir_; }

    /// Environment entries that lead a client (and ALSA's "pulse" device) to this server.
    std::vector<std::string> environment() const {
        return {"PULSE_SERVER=unix:" + socket_, "PULSE_RUNTIME_PATH=" + dir_, "PULSE_STATE_PATH=" + dir_,
                "XDG_RUNTIME_DIR=" + dir_, "HOME=" + dir_ + "/home"};
    }
    /// Points this test process at the server until the server is destroyed.
    void use_in_this_process() {
        for (const std::string& e : environment()) {
            const std::string name = e.substr(0, e.find('='));
            const char* old = std::getenv(name.c_str());
            saved_.emplace_back(name, old ? std::make_pair(true, std::string(old)) : std::make_pair(false, std::string()));
            setenv(name.c_str(), e.substr(name.size() + 1).c_str(), 1);
        }
    }
    /// Starts parecord on the null sink's monitor, 16-bit stereo 44100 Hz, into wav_path.
    CHILD record(const std::string& wav_path) const {
        return spawn_child({"parecord", "-d", "nul.monitor", "--format=s16le", "--rate=44100", "--channels=2",
                            "--file-format=wav", wav_path},
                           "", environment(), dir_ + "/parecord.log", false);
    }

private:
    void restore_environment() {
        for (const auto& [name, old] : saved_) old.first ? setenv(name.c_str(), old.second.c_str(), 1) : unsetenv(name.c_str());
        saved_.clear();
    }

    std::string dir_;
    std::string socket_;
    CHILD child_;
    bool running_ = false;
    std::vector<std::pair<std::string, std::pair<bool, std::string>>> saved_;
};
