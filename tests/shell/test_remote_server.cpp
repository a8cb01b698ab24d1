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
#include "tests/remote_client.h"

using namespace remote_test;

namespace {

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
