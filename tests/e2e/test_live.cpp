// The live program: started with keys piped to its console menus, heard through
// a real sound server, driven over TCP, ended by ESC and by signals.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <memory>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "synth/wav.h"
#include "tests/processes.h"
#include "tests/remote_client.h"
#include "tests/pulse_server.h"
#include "tests/temp_path.h"
#include "tests/e2e/recording.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const std::string kProgram = std::string(KEL_BINARY_DIR) + "/z_ozodive";

std::string write_patch(const std::string& name, const std::string& vco_line) {
    const std::string path = test_temp_path(name);
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "BEGIN_OBJECTS_DECLARE\n%s\nSOUND_OUT;;\nEND_OBJECTS_DECLARE\n"
                    "BEGIN_LINKS_DECLARE\nSOUND_OUT;IN=VCO_TONE;\nEND_LINKS_DECLARE\n",
                 vco_line.c_str());
    std::fclose(f);
    return path;
}

// Removes the files and folders it was given when the test ends, however it ends.
struct SCRATCH {
    std::vector<std::string> paths;
    ~SCRATCH() {
        for (const auto& p : paths)
            if (std::system(("rm -rf '" + p + "'").c_str()) != 0) continue;
    }
};

size_t count_of(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

// The program, started with a pipe for its keys and its output in a log.
struct PROGRAM {
    CHILD child;
    std::string log;
    PROGRAM(const std::vector<std::string>& args, const std::string& cwd = KEL_DATA_DIR,
            const std::vector<std::string>& env = {}) {
        log = test_temp_path("program.log");
        std::vector<std::string> argv{kProgram};
        argv.insert(argv.end(), args.begin(), args.end());
        child = spawn_child(argv, cwd, env, log, true);
    }
    ~PROGRAM() {
        if (child.pid > 0) stop_child(child, SIGKILL);
        std::remove(log.c_str());
    }
    std::string output() const { return file_text(log); }
    bool shows(const std::string& text, milliseconds timeout = milliseconds(30000)) const {
        return wait_for_text(log, text, timeout);
    }
    int wait_exit(milliseconds timeout = milliseconds(30000)) {
        int status = -1;
        return wait_child(child, timeout, &status) ? status : -1000;
    }
};

// The number typed in the driver menu for the driver called name, or 0.
char driver_key(const std::string& output, const std::string& name) {
    const size_t at = output.find("Driver list");
    if (at == std::string::npos) return 0;
    const std::string menu = output.substr(at);
    std::smatch m;
    const std::regex line("\n([1-9]) - " + name + "\n");
    return std::regex_search(menu, m, line) ? m[1].str()[0] : 0;
}

// --- remote client -----------------------------------------------------------

// A client of the program's remote control, once the program listens.
std::unique_ptr<remote_test::Client> connect_remote() {
    std::unique_ptr<remote_test::Client> c;
    wait_until(
        [&] {
            c = std::make_unique<remote_test::Client>(9999);
            return c->connected;
        },
        seconds(20));
    return c;
}

// Holds F4 (the selected oscillator's AMOUNT falls by 0.01 at each order)
// until the program has applied at least min_orders, releases it and ends the
// connection. Returns the number of orders applied, counted in its output.
template <typename Program>
size_t hold_f4(const Program& program, size_t min_orders) {
    using namespace remote_test;
    auto client = connect_remote();
    EXPECT_TRUE(client->connected);
    if (!client->connected) return 0;
    EXPECT_EQ(client->read(GREETING.size() + PROMPT.size()), GREETING + PROMPT);
    client->send("PORTA=8\r\n");
    EXPECT_EQ(client->read(REPLY_0.size() + PROMPT.size()), REPLY_0 + PROMPT);
    EXPECT_TRUE(wait_until([&] { return count_of(program.output(), "F4 [") >= min_orders; }, seconds(20)));
    client->send("PORTA=0\r\n");
    EXPECT_EQ(client->read(REPLY_0.size() + PROMPT.size()), REPLY_0 + PROMPT);
    client->send("FINISH\r\n");
    EXPECT_EQ(client->read(REPLY_1.size()), REPLY_1);
    EXPECT_TRUE(client->ended()) << "the server closes after FINISH";
    // The order being applied as PORTA=0 arrived is the last.
    std::this_thread::sleep_for(milliseconds(50));
    return count_of(program.output(), "F4 [");
}

// --- sound through a real server ----------------------------------------------

struct Route {
    const char* name;
    char output_key;     // key of the output menu
    const char* driver;  // driver to pick from the driver menu
};

class LiveSound : public ::testing::TestWithParam<Route> {};

TEST_P(LiveSound, PatchIsHeardOnTheSoundServer) {
    PULSE_SERVER pulse;
    if (!pulse.running()) GTEST_SKIP() << "no PulseAudio server could be started here";
    const std::string patch = write_patch("a440.ksy", "VCO_TONE;TYPE=1;FREQ=440;AMOUNT=0.5;");
    const std::string wav = test_temp_path("heard.wav");
    SCRATCH scratch{{patch, wav}};
    PROGRAM program({"--headless", patch}, KEL_DATA_DIR, pulse.environment());

    ASSERT_TRUE(send_keys(program.child, std::string(1, GetParam().output_key)));
    ASSERT_TRUE(program.shows("Driver list")) << program.output();
    ASSERT_TRUE(program.shows("Press a corresponding number or ESC to quit\n", seconds(10)));
    // The driver menu is complete once its closing prompt appears a second time.
    ASSERT_TRUE(wait_until([&] { return count_of(program.output(), "ESC to quit") == 2; }, seconds(10)));
    const char key = driver_key(program.output(), GetParam().driver);
    ASSERT_NE(key, 0) << "no driver " << GetParam().driver << " in\n" << program.output();
    ASSERT_TRUE(send_keys(program.child, std::string(1, key)));
    ASSERT_TRUE(program.shows("Playing.")) << program.output();

    CHILD rec = pulse.record(wav);
    // Seconds of sound recorded so far, whatever the server's latency.
    const auto recorded_beyond = [&](double secs) {
        struct stat st;
        return wait_until([&] { return stat(wav.c_str(), &st) == 0 && st.st_size > 44 + secs * 44100 * 4; },
                          seconds(30));
    };
    EXPECT_TRUE(recorded_beyond(1.0));
    // Then a remote client lowers the tone; the sink hears it fall.
    const size_t orders = hold_f4(program, 20);
    struct stat now;
    ASSERT_EQ(stat(wav.c_str(), &now), 0);
    EXPECT_TRUE(recorded_beyond((now.st_size - 44) / (44100.0 * 4) + 0.5));
    stop_child(rec, SIGINT);
    EXPECT_EQ(stop_child(program.child, SIGTERM), 0) << program.output();

    const auto heard = audible_part(left_channel(wav));
    ASSERT_GT(heard.size(), 44100u) << "less than a second of sound reached the sink";
    EXPECT_NEAR(pitch(heard), 440.0, 440.0 * 0.01);
    // AMOUNT 0.5 at full scale 32767, give or take the server's rounding; at
    // the end 0.01 less for every order of F4.
    EXPECT_NEAR(peak(heard, 0, 200), 16383, 400);
    EXPECT_NEAR(peak(heard, heard.size() - 200, heard.size()), (0.5 - 0.01 * orders) * 32767, 0.02 * 32767)
        << orders << " orders of F4";
}

INSTANTIATE_TEST_SUITE_P(Routes, LiveSound,
                         ::testing::Values(Route{"AlsaPulse", '3', "pulse"}, Route{"AlsaDefault", '3', "default"},
                                           Route{"SoundServer", '2', "[^\n]+"}),
                         [](const auto& p) { return std::string(p.param.name); });

// --- remote control, heard in the recording ------------------------------------

TEST(LiveRemote, F4LowersTheOscillatorAmountInTheRecording) {
    const std::string dir = test_temp_path("record_dir");
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
    const std::string patch = write_patch("a440_loud.ksy", "VCO_TONE;TYPE=1;FREQ=440;AMOUNT=0.8;");
    SCRATCH scratch{{dir, patch}};
    PROGRAM program({"--headless", "--record", patch}, dir);
    ASSERT_TRUE(send_keys(program.child, "41"));  // NoSound, its one driver, in one write
    ASSERT_TRUE(program.shows("Playing.")) << program.output();
    // The tone as loaded is heard for a few buffers before the orders come:
    // how long the program takes between letting the patch in and saying
    // "Playing." (MIDI start-up among it) is not for this test to count on.
    std::this_thread::sleep_for(milliseconds(350));

    hold_f4(program, 30);
    // A few buffers more, so the recording ends on the lowered tone.
    std::this_thread::sleep_for(milliseconds(400));

    ASSERT_TRUE(send_keys(program.child, "\x1b"));
    EXPECT_EQ(program.wait_exit(), 0) << program.output();
    const std::string out = program.output();
    const size_t steps = count_of(out, "F4 [");
    EXPECT_NE(out.find("into record.wav"), std::string::npos) << out;

    // The recording starts with the silence before the patch was let in.
    const auto rec = audible_part(left_channel(dir + "/record.wav"));
    ASSERT_GT(rec.size(), 44100u / 2);
    EXPECT_NEAR(peak(rec, 0, 200), 0.8 * 32767, 50) << "the tone as loaded";
    const double after = (0.8 - 0.01 * steps) * 32767;
    EXPECT_NEAR(peak(rec, rec.size() - 200, rec.size()), after, 0.02 * 32767) << steps << " orders of F4";
    EXPECT_NEAR(pitch(std::vector<short>(rec.end() - 4410, rec.end())), 440.0, 10.0);
}

// --- console dialogue ---------------------------------------------------------

struct Dialogue {
    const char* name;
    const char* keys;        // typed in one write after the program starts
    const char* shown;       // must appear in the output
    const char* not_shown;   // must not appear
    bool close_input;        // the input ends after the keys
};

class ConsoleDialogue : public ::testing::TestWithParam<Dialogue> {};

TEST_P(ConsoleDialogue, EndsWithStatusZero) {
    const Dialogue& d = GetParam();
    PROGRAM program({"--headless", "KSY/examples/VCO.ksy"});
    ASSERT_TRUE(program.shows("Output Type")) << program.output();
    ASSERT_TRUE(send_keys(program.child, d.keys));
    if (d.close_input) {
        close(program.child.stdin_fd);
        program.child.stdin_fd = -1;
    }
    EXPECT_EQ(program.wait_exit(), 0) << program.output();
    EXPECT_NE(program.output().find(d.shown), std::string::npos) << program.output();
    EXPECT_EQ(program.output().find(d.not_shown), std::string::npos) << program.output();
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ConsoleDialogue,
    ::testing::Values(Dialogue{"EscInOutputMenu", "\x1b", "Output Type", "Driver list", false},
                      Dialogue{"InvalidOutputKeysIgnored", "50x\x1b", "Output Type", "Driver list", false},
                      Dialogue{"InvalidDriverKeysIgnored", "409\x1b", "NoSound Driver list\n", "Playing.", false},
                      Dialogue{"EscAfterStartUp", "41\x1b", "Playing.", "Error!", false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ConsoleDialogueDrivers, ZeroDriversLeaveOnlyEsc) {
    // Of the outputs offered, any with no driver on this machine shows that
    // "1" selects nothing: had it been taken, start-up would have gone on.
    for (const char out_key : {'1', '2', '3'}) {
        PROGRAM program({"--headless", "KSY/examples/VCO.ksy"});
        ASSERT_TRUE(send_keys(program.child, std::string(1, out_key)));
        ASSERT_TRUE(wait_until([&] { return count_of(program.output(), "ESC to quit") == 2; }, seconds(30)));
        if (program.output().find("\n1 - ") != std::string::npos) continue;  // this output has drivers
        ASSERT_TRUE(send_keys(program.child, "1123"));
        ASSERT_TRUE(send_keys(program.child, "\x1b"));
        EXPECT_EQ(program.wait_exit(), 0) << program.output();
        EXPECT_EQ(program.output().find("Error!"), std::string::npos);
        EXPECT_EQ(program.output().find("Init SDL_Net"), std::string::npos);
    }
}

TEST(ConsoleDialogueSignals, SigintInTheMenuAndWhilePlayingEndsWithZero) {
    {
        PROGRAM program({"--headless", "KSY/examples/VCO.ksy"});
        ASSERT_TRUE(program.shows("Output Type"));
        EXPECT_EQ(stop_child(program.child, SIGINT), 0) << program.output();
    }
    {
        PROGRAM program({"--headless", "KSY/examples/VCO.ksy"});
        ASSERT_TRUE(send_keys(program.child, "41"));
        ASSERT_TRUE(program.shows("Playing."));
        EXPECT_EQ(stop_child(program.child, SIGINT), 0) << program.output();
        EXPECT_NE(program.output().find("Quitting"), std::string::npos);
    }
}

// Kills the child, if it still runs, when the test leaves the scope.
struct KILLED_AT_END {
    CHILD& child;
    ~KILLED_AT_END() {
        if (child.pid > 0) stop_child(child, SIGKILL);
    }
};

TEST(ConsoleEndlessInput, LoopServesTheRemoteAndSigtermEndsWithZero) {
    // Standard input that never runs dry: /dev/zero, through a shell that
    // makes way for the program (exec), so that the child's PID is the program's.
    const std::string log = test_temp_path("endless.log");
    auto start = [&](const std::string& options) {
        return spawn_child({"/bin/sh", "-c", "exec '" + kProgram + "' --headless --midi none " + options +
                                                 " KSY/examples/VCO.ksy </dev/zero"},
                           KEL_DATA_DIR, {}, log, false);
    };
    {
        CHILD child = start("--output none --driver 1");
        const KILLED_AT_END guard{child};
        ASSERT_TRUE(wait_for_text(log, "Playing.", seconds(30))) << file_text(log);
        // The main loop still applies remote orders, one per frame.
        auto client = connect_remote();
        ASSERT_TRUE(client->connected);
        client->read(remote_test::GREETING.size() + remote_test::PROMPT.size());
        client->send("PORTA=8\r\n");
        EXPECT_TRUE(wait_until([&] { return count_of(file_text(log), "F4 [") >= 3; }, seconds(20)));
        client->send("PORTA=0\r\nFINISH\r\n");
        EXPECT_EQ(stop_child(child, SIGTERM), 0) << file_text(log);
        EXPECT_NE(file_text(log).find("Quitting"), std::string::npos);
    }
    {
        // The console menus give up on an input that chooses nothing.
        CHILD child = start("");
        const KILLED_AT_END guard{child};
        int status = -1;
        ASSERT_TRUE(wait_child(child, seconds(30), &status)) << file_text(log);
        EXPECT_EQ(status, 0);
        EXPECT_NE(file_text(log).find("No choice among"), std::string::npos) << file_text(log);
    }
}

TEST(StartUpFailures, PortTakenEndsWithStatusTwo) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;  // earlier connections may linger in TIME_WAIT
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(9999);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << "port 9999 is busy";
    ASSERT_EQ(listen(fd, 1), 0);
    PROGRAM program({"--headless", "KSY/examples/VCO.ksy"});
    ASSERT_TRUE(send_keys(program.child, "41"));
    EXPECT_EQ(program.wait_exit(), 2) << program.output();
    EXPECT_NE(program.output().find("SDLNet_TCP_Open: "), std::string::npos) << program.output();
    close(fd);
}

}  // namespace
