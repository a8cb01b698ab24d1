// A plain TCP client of the remote control, for tests: the texts the server
// sends, and a client whose every wait is bounded.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>

namespace remote_test {

using Clock = std::chrono::steady_clock;
inline constexpr auto PATIENCE = std::chrono::seconds(5);

/// A text as the server sends it: with its terminating zero byte.
inline std::string z(const char* text) { return std::string(text) + '\0'; }

inline const std::string GREETING = z("Hello to Z_OZOVA remote access!\r\nENTER YOU COMMAND then FINISH to exit");
inline const std::string PROMPT = z("\r\nCommand>");
inline const std::string REPLY_0 = z("0\r\n");
inline const std::string REPLY_1 = z("1\r\n");

/// A plain POSIX client. Every wait is bounded: each recv by a socket timeout,
/// each read by PATIENCE.
class Client {
public:
    explicit Client(int port) : fd(socket(AF_INET, SOCK_STREAM, 0)) {
        timeval tv{0, 200000};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        timeval send_tv{2, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &send_tv, sizeof send_tv);
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Client() {
        if (fd >= 0) close(fd);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    /// Sends what the peer takes; a peer that has gone away takes the rest.
    void send(const std::string& s) {
        size_t off = 0;
        for (int tries = 0; off < s.size() && tries < 1000; tries++) {
            const ssize_t n = ::send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL);
            if (n <= 0) return;
            off += static_cast<size_t>(n);
        }
    }
    /// n bytes, or fewer when the connection ends or PATIENCE runs out.
    std::string read(size_t n) {
        std::string got;
        char buf[4096];
        for (const auto end = Clock::now() + PATIENCE; got.size() < n && Clock::now() < end;) {
            const ssize_t r = recv(fd, buf, std::min(sizeof buf, n - got.size()), 0);
            if (r > 0) got.append(buf, static_cast<size_t>(r));
            else if (r == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) break;
        }
        return got;
    }
    /// True once the server has ended the connection (end of stream or reset).
    bool ended() {
        char buf[4096];
        for (const auto end = Clock::now() + PATIENCE; Clock::now() < end;) {
            const ssize_t r = recv(fd, buf, sizeof buf, 0);
            if (r == 0 || (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return true;
        }
        return false;
    }
    /// Closes with a reset instead of an orderly end.
    void reset() {
        linger l{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        close(fd);
        fd = -1;
    }

    int fd;
    bool connected = false;
};

}  // namespace remote_test
