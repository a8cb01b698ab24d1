// A private PulseAudio server with a null sink "nul", for tests that play
// through a real sound server and record what it received. Each server has its
// own socket, so test processes running side by side do not meet.
#pragma once

#include <sys/stat.h>

#include <string>

#include "tests/processes.h"
#include "tests/temp_path.h"

class PULSE_SERVER {
public:
    /// Starts the daemon; running() tells whether it came up.
    PULSE_SERVER() : dir_(test_temp_path("pulse")) {
        const std::string mk = "mkdir -p '" + dir_ + "/home' '" + dir_ + "/run'";
        if (std::system(mk.c_str()) != 0) return;
        socket_ = dir_ + "/native";
        child_ = spawn_child({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "-n",
                              "--load=module-null-sink sink_name=nul",
                              "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_},
                             dir_, environment(), dir_ + "/pulse.log", false);
        struct stat st;
        running_ = child_.pid > 0 &&
                   wait_until([&] { return stat(socket_.c_str(), &st) == 0; }, std::chrono::seconds(20));
    }
    ~PULSE_SERVER() {
        stop_child(child_);
        const std::string rm = "rm -rf '" + dir_ + "'";
        if (std::system(rm.c_str()) != 0) return;
    }
    PULSE_SERVER(const PULSE_SERVER&) = delete;
    PULSE_SERVER& operator=(const PULSE_SERVER&) = delete;

    bool running() const { return running_; }
    /// Environment entries that lead a client (and the ALSA "pulse" device) to this server.
    std::vector<std::string> environment() const {
        return {"PULSE_SERVER=unix:" + socket_, "PULSE_RUNTIME_PATH=" + dir_ + "/run",
                "XDG_RUNTIME_DIR=" + dir_ + "/run", "HOME=" + dir_ + "/home"};
    }
    /// Starts parecord on the null sink's monitor, 16-bit stereo 44100 Hz, into wav_path.
    CHILD record(const std::string& wav_path) const {
        return spawn_child({"parecord", "-d", "nul.monitor", "--format=s16le", "--rate=44100", "--channels=2",
                            "--file-format=wav", wav_path},
                           "", environment(), dir_ + "/parecord.log", false);
    }

private:
    std::string dir_;
    std::string socket_;
    CHILD child_;
    bool running_ = false;
};
