#include "shell/sound_log.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr const char* LOG_PATH = "sound.log";

std::atomic<int> g_log_fd{-1};

void log_text(const char* text, std::size_t n) {
    const int fd = g_log_fd.load();
    if (fd < 0) return;
    while (n > 0) {
        const ssize_t done = write(fd, text, n);
        if (done <= 0) return;
        text += done;
        n -= static_cast<std::size_t>(done);
    }
}

void restore(int saved, int target) {
    if (saved < 0) return;
    dup2(saved, target);
    close(saved);
}

}  // namespace

int sound_log_fd() {
    int fd = g_log_fd.load();
    if (fd >= 0) return fd;
    fd = open(LOG_PATH, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    g_log_fd.store(fd);
    return fd;
}

void sound_log_line(const char* what, const char* detail) {
    char line[512];
    const int n = std::snprintf(line, sizeof line, "sound: %s: %s\n", what, detail);
    if (n > 0) log_text(line, std::min(static_cast<std::size_t>(n), sizeof line - 1));
}

void sound_log_alsa(const char* file, int line, const char* function, int err, const char* fmt, ...) {
    char text[512];
    int n = std::snprintf(text, sizeof text, "ALSA lib %s:%d:(%s) ", file, line, function);
    if (n < 0) return;
    std::size_t used = std::min(static_cast<std::size_t>(n), sizeof text - 1);
    va_list args;
    va_start(args, fmt);
    n = std::vsnprintf(text + used, sizeof text - used, fmt, args);
    va_end(args);
    if (n > 0) used = std::min(used + static_cast<std::size_t>(n), sizeof text - 2);
    if (err != 0) {
        n = std::snprintf(text + used, sizeof text - used, ": %s", snd_strerror(err));
        if (n > 0) used = std::min(used + static_cast<std::size_t>(n), sizeof text - 2);
    }
    text[used++] = '\n';
    log_text(text, used);
}

void sound_log_jack(const char* text) { sound_log_line("JACK", text); }

CONSOLE_TO_LOG::CONSOLE_TO_LOG(STREAMS streams) {
    const int fd = sound_log_fd();
    std::fflush(stdout);
    std::fflush(stderr);
    if (streams == OUTPUT_AND_ERROR) {
        saved_out_ = dup(STDOUT_FILENO);
        if (saved_out_ >= 0) dup2(fd, STDOUT_FILENO);
    }
    saved_err_ = dup(STDERR_FILENO);
    if (saved_err_ >= 0) dup2(fd, STDERR_FILENO);
}

CONSOLE_TO_LOG::~CONSOLE_TO_LOG() {
    std::fflush(stdout);
    std::fflush(stderr);
    restore(saved_out_, STDOUT_FILENO);
    restore(saved_err_, STDERR_FILENO);
}
