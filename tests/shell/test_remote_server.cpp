// The remote control over real TCP on 127.0.0.1: the bytes of the dialogue,
// lines split or spoiled, peers that vanish, too many clients, and stopping.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "shell/remote.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto PATIENCE = std::chrono::seconds(5);

/// A text as the server sends it: with its terminating zero byte.
std::string z(const char* text) { return std::string(text) + '\0'; }

const std::string GREETING = z("Hello to Z_OZOVA remote access!\r\nENTER YOU COMMAND then FINISH to exit");
const std::string PROMPT = z("\r\nCommand>");
const std::string REPLY_0 = z("0\r\n");
const std::string REPLY_1 = z("1\r\n");

/// A port nobody listens on right now: the kernel picks one for a socket of ours.
int unused_port() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

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

class RemoteServer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDLNet_Init(), 0);
        remote_state_reset();
        for (int attempt = 0; attempt < 20 && !tcpsock; attempt++) {
            port = unused_port();
            if (port && SDLNet_ResolveHost(&ip, nullptr, static_cast<Uint16>(port)) == 0) tcpsock = SDLNet_TCP_Open(&ip);
        }
        ASSERT_NE(tcpsock, nullptr);
        ASSERT_EQ(remote_server_start(tcpsock), 1);
    }
    void TearDown() override {
        remote_server_stop();
        if (tcpsock) SDLNet_TCP_Close(tcpsock);
        tcpsock = nullptr;
        SDLNet_Quit();
    }

    /// A client that has been greeted and prompted.
    std::unique_ptr<Client> greeted() {
        auto c = std::make_unique<Client>(port);
        EXPECT_TRUE(c->connected);
        EXPECT_EQ(c->read(GREETING.size() + PROMPT.size()), GREETING + PROMPT);
        return c;
    }
    /// Sends a line and returns the reply with the next prompt.
    static std::string command(Client& c, const std::string& line) {
        c.send(line);
        return c.read(REPLY_0.size() + PROMPT.size());
    }

    int port = 0;
};

TEST_F(RemoteServer, DialogueBytes) {
    auto c = greeted();
    EXPECT_EQ(command(*c, "BT_TOGGLE\r\n"), REPLY_0 + PROMPT);
    EXPECT_EQ(command(*c, "PORTA=17\r\n"), REPLY_0 + PROMPT);
    EXPECT_EQ(PORT_A, 17);
    std::string garbage("\x01\xff garbage\0\r \n\n\r", 16);
    EXPECT_EQ(command(*c, garbage + "\r\n"), REPLY_0 + PROMPT);
    EXPECT_EQ(PORT_A, 17);
    c->send("FINISH\r\n");
    EXPECT_EQ(c->read(REPLY_1.size()), REPLY_1);
    EXPECT_TRUE(c->ended());

    auto d = greeted();
    d->send("PORTA=3 FINISH\r\n");
    EXPECT_EQ(d->read(REPLY_1.size() + 1), REPLY_1);
    EXPECT_TRUE(d->ended());
    EXPECT_EQ(PORT_A, 3);
}

TEST_F(RemoteServer, LineEndSplitAcrossSends) {
    auto c = greeted();
    c->send("PORTA=5\r");
    // Only makes the split likely; the result must be the same either way.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(command(*c, "\n"), REPLY_0 + PROMPT);
    EXPECT_EQ(PORT_A, 5);
    EXPECT_EQ(command(*c, "PORTA=6\r\n"), REPLY_0 + PROMPT);
    EXPECT_EQ(PORT_A, 6);
}

TEST_F(RemoteServer, OverlongLinesAndVanishingPeersEndOnlyTheirConnection) {
    {
        auto c = greeted();
        c->send(std::string(200000, 'A'));
        EXPECT_TRUE(c->ended());
    }
    {
        auto c = greeted();
        c->send("PORTA=9");  // and an orderly close in the middle of the line
    }
    {
        auto c = greeted();
        c->send("PORTA=8");
        c->reset();  // connection reset in the middle of a line
    }
    { Client c(port); }  // gone before the greeting
    auto c = greeted();
    EXPECT_EQ(command(*c, "PORTA=1\r\n"), REPLY_0 + PROMPT);
    EXPECT_EQ(PORT_A, 1);  // no half line was applied
}

TEST_F(RemoteServer, ClientsBeyondTheLimitAreToldAndClosed) {
    const std::string too_many = z("Too many clients\r\n");
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < REMOTE_MAX_CLIENTS + 8; i++) {
        if (i < REMOTE_MAX_CLIENTS) {
            clients.push_back(greeted());
            continue;
        }
        Client extra(port);
        EXPECT_EQ(extra.read(too_many.size() + 1), too_many) << "client " << i;
        EXPECT_TRUE(extra.ended());
    }
    EXPECT_EQ(command(*clients.front(), "PORTA=2\r\n"), REPLY_0 + PROMPT);  // the first still served
    clients.clear();

    // Their threads end as they notice the close; a slot frees soon after.
    bool served = false;
    for (int attempt = 0; attempt < 100 && !served; attempt++) {
        Client c(port);
        const std::string first = c.read(GREETING.size());
        served = first == GREETING;
        if (!served) {
            EXPECT_EQ(first, too_many);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    EXPECT_TRUE(served);
}

TEST_F(RemoteServer, StopEndsEveryConnectionAndTheServerStartsAgain) {
    EXPECT_EQ(remote_server_start(tcpsock), 0);  // already running
    auto c = greeted();
    c->send("PORTA=4");
    remote_server_stop();
    EXPECT_TRUE(c->ended());
    EXPECT_EQ(PORT_A, 0);
    ASSERT_EQ(remote_server_start(tcpsock), 1);
    auto d = greeted();
    EXPECT_EQ(command(*d, "PORTA=4\r\n"), REPLY_0 + PROMPT);
    EXPECT_EQ(PORT_A, 4);
}

TEST_F(RemoteServer, ProgramMayExitWithTheServerRunning) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto c = greeted();
    EXPECT_EXIT(std::exit(0), ::testing::ExitedWithCode(0), "");
}

}  // namespace
