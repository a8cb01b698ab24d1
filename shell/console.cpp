#include "shell/console.h"

#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

volatile int console_quit_requested = 0;

namespace {

struct termios ori;
bool have_ori = false;
int inited = 0;

// Keys read from the descriptor but not handed out yet: a pipe may deliver
// several keys in one read ("41"), and the next one must not wait on the
// descriptor while it sits here.
unsigned char pending[256];
int pending_at = 0;
int pending_len = 0;
bool input_ended = false;

// Reads what the descriptor holds into pending. 1 when bytes came, 0 at the
// end of the input, -1 on an error other than an interruption.
int refill() {
    for (;;) {
        const ssize_t n = read(0, pending, sizeof pending);
        if (n > 0) {
            pending_at = 0;
            pending_len = static_cast<int>(n);
            return 1;
        }
        if (n == 0) {
            input_ended = true;
            return 0;
        }
        if (errno != EINTR) return -1;
        if (console_quit_requested) return -1;
    }
}

// Waits until standard input is readable, or for timeout_us (negative: for
// ever). 1 readable, 0 timed out, -1 failed, -2 interrupted by a request to end.
int wait_readable(long timeout_us) {
    for (;;) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(0, &set);
        struct timeval tv {};
        tv.tv_sec = timeout_us >= 0 ? timeout_us / 1000000 : 0;
        tv.tv_usec = timeout_us >= 0 ? timeout_us % 1000000 : 0;
        const int r = select(1, &set, nullptr, nullptr, timeout_us >= 0 ? &tv : nullptr);
        if (r >= 0) return r > 0 ? 1 : 0;
        if (errno != EINTR) return -1;
        if (console_quit_requested) return -2;
    }
}

void ensure_terminal() {
    if (inited) return;
    inited = 1;
    init_terminal();
}

}  // namespace

void init_terminal() {
    struct termios raw;
    if (tcgetattr(0, &raw) != 0) return;  // not a terminal: keys arrive as they are
    ori = raw;
    have_ori = true;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON);
    tcsetattr(0, TCSANOW, &raw);
    std::atexit(tcatexit);
}

void tcatexit() {
    if (have_ori) tcsetattr(0, TCSANOW, &ori);
}

int getch() {
    ensure_terminal();
    // Keys already read must not hide a request to end: an input that never
    // runs dry (/dev/zero) would otherwise keep the menus busy for ever.
    if (console_quit_requested) return KEY_ESCAPE;
    if (pending_at < pending_len) return pending[pending_at++];
    if (input_ended) return GETCH_END;
    const int w = wait_readable(-1);
    if (w == -2) return KEY_ESCAPE;
    if (w < 0) {
        std::printf("wincompat: select() on fd 0 failed\n");
        return GETCH_FAILED;
    }
    const int r = refill();
    if (r > 0) return pending[pending_at++];
    if (r == 0) return GETCH_END;
    return console_quit_requested ? KEY_ESCAPE : GETCH_FAILED;
}

bool console_input_ended() { return input_ended != 0; }

int console_poll_key() {
    ensure_terminal();
    if (pending_at < pending_len) return pending[pending_at++];
    if (input_ended || wait_readable(0) != 1) return GETCH_END;
    return refill() > 0 ? pending[pending_at++] : GETCH_END;
}
