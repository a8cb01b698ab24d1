// Remote control over TCP: the dialogue with one client, its line reader on the
// socket, and the server that accepts clients, one thread each.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "shell/remote.h"

namespace {

const char GREETING[] = "Hello to Z_OZOVA remote access!\r\nENTER YOU COMMAND then FINISH to exit";
const char PROMPT[] = "\r\nCommand>";
const char TOO_MANY[] = "Too many clients\r\n";

/// How long a wait on a socket lasts before the stop flag is looked at, ms.
constexpr Uint32 POLL_MS = 100;
/// How long stopping the server waits for its connections to end.
constexpr auto STOP_PATIENCE = std::chrono::seconds(2);
/// Largest piece taken from the socket at once, bytes.
constexpr int RECV_CHUNK = 65536;

/// Set by remote_server_stop: every wait on a socket gives up at its next slice.
std::atomic<bool> stopping{false};

/// Sends text with its terminating zero byte, as every text of this protocol.
void send_text(TCPsocket client, const char* text) {
    const int len = static_cast<int>(std::strlen(text)) + 1;
    if (SDLNet_TCP_Send(client, text, len) < len) std::printf("SDLNet_TCP_Send: %s\n", SDL_GetError());
}

/// One socket in a set of its own, for SDLNet_CheckSockets.
struct Watch {
    SDLNet_SocketSet set;
    explicit Watch(TCPsocket s) : set(SDLNet_AllocSocketSet(1)) {
        if (set) SDLNet_TCP_AddSocket(set, s);
    }
    ~Watch() {
        if (set) SDLNet_FreeSocketSet(set);
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;
    /// 1 ready, 0 nothing within POLL_MS, -1 error.
    int wait() const {
        if (!set) return -1;
        const int n = SDLNet_CheckSockets(set, POLL_MS);
        return n > 0 ? 1 : n < 0 ? -1 : 0;
    }
};

}  // namespace

char* read_socket_for_MIME(TCPsocket client, unsigned char& demiTrouve) {
    Watch watch(client);
    std::vector<char> chunk(RECV_CHUNK);
    RemoteLine line;
    for (;;) {
        if (stopping) return nullptr;
        const int ready = watch.wait();
        if (ready < 0) return nullptr;
        if (ready == 0) continue;
        // Never more than one byte past what the line may still hold.
        const int room = static_cast<int>(REMOTE_LINE_MAX - line.text.size()) + 1;
        const int got = SDLNet_TCP_Recv(client, chunk.data(), room < RECV_CHUNK ? room : RECV_CHUNK);
        if (got < 0) {
            std::printf("Erreur de receive \n");
            return nullptr;
        }
        if (got == 0) return nullptr;  // the peer closed
        switch (line.feed(chunk.data(), got, demiTrouve)) {
        case RemoteLine::COMPLETE: return line.copy();
        case RemoteLine::TOO_LONG: return nullptr;
        case RemoteLine::MORE: break;
        }
    }
}

int traite_client_ordres(void* client) {
    TCPsocket sock = static_cast<TCPsocket>(client);
    std::printf("THREAD\n");
    std::printf("AFT : %d %p \n", static_cast<int>(reinterpret_cast<intptr_t>(client)), client);
    std::printf("SDLNet_TCP_Accepted: %s\n", SDL_GetError());
    int result = 0;
    unsigned char demiTrouve = 0;  // per connection: clients are served at the same time
    send_text(sock, GREETING);
    while (result == 0) {
        send_text(sock, PROMPT);
        char* line = read_socket_for_MIME(sock, demiTrouve);
        if (!line) break;  // error, closed, too long or stopping: the connection ends
        result = remote_apply_line(line);
        std::free(line);
        char reply[16];
        std::snprintf(reply, sizeof reply, "%d\r\n", result);
        send_text(sock, reply);
    }
    SDLNet_TCP_Close(sock);
    return result;
}

// ---------------------------------------------------------------- server

namespace {

/// One client thread; done is raised by the thread as its last act.
struct Slot {
    std::thread thread;
    std::atomic<bool> done{true};
};

struct Server {
    Slot slots[REMOTE_MAX_CLIENTS];
    std::thread acceptor;
    std::mutex control;  // start and stop, from any thread
    bool running = false;
};

/// Never destroyed: the program may exit (kel_exit) with the server running,
/// and a joinable std::thread destroyed at exit would abort it.
Server& server() {
    static Server* s = new Server;
    return *s;
}

/// Joins the threads that have finished; their slots are free again.
void reap() {
    for (Slot& s : server().slots)
        if (s.done && s.thread.joinable()) s.thread.join();
}

Slot* free_slot() {
    for (Slot& s : server().slots)
        if (s.done && !s.thread.joinable()) return &s;
    return nullptr;
}

void serve(TCPsocket client) {
    reap();
    Slot* slot = free_slot();
    if (!slot) {
        send_text(client, TOO_MANY);
        SDLNet_TCP_Close(client);
        return;
    }
    slot->done = false;
    try {
        slot->thread = std::thread([client, slot] {
            traite_client_ordres(client);
            slot->done = true;
        });
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "remote: no thread for a client: %s\n", e.what());
        slot->done = true;
        SDLNet_TCP_Close(client);
    }
}

void accept_loop(TCPsocket listening) {
    Watch watch(listening);
    while (!stopping) {
        const int ready = watch.wait();
        if (ready < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(POLL_MS));
            continue;
        }
        if (ready == 0) {
            reap();
            continue;
        }
        if (TCPsocket client = SDLNet_TCP_Accept(listening)) serve(client);
    }
}

}  // namespace

int remote_server_start(TCPsocket listening) {
    Server& sv = server();
    std::lock_guard<std::mutex> hold(sv.control);
    if (sv.running || !listening) return 0;
    stopping = false;
    try {
        sv.acceptor = std::thread(accept_loop, listening);
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "remote: no accept thread: %s\n", e.what());
        return 0;
    }
    sv.running = true;
    return 1;
}

void remote_server_stop() {
    Server& sv = server();
    std::lock_guard<std::mutex> hold(sv.control);
    if (!sv.running) return;
    stopping = true;
    sv.acceptor.join();
    // Every connection notices the flag within a slice, except one stuck in a
    // send to a client that never reads: that thread is left to end with the
    // process rather than hold the program open. Its slot stays taken until then.
    const auto deadline = std::chrono::steady_clock::now() + STOP_PATIENCE;
    for (Slot& s : sv.slots) {
        if (!s.thread.joinable()) continue;
        while (!s.done && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (s.done) {
            s.thread.join();
        } else {
            std::fprintf(stderr, "remote: a client that does not read is left behind\n");
            s.thread.detach();
        }
    }
    stopping = false;
    sv.running = false;
}
