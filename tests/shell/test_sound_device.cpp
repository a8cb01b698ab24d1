// The sound-device layer: set-up and its error codes, the NoSound driver's
// paced thread, and the ALSA and sound-server kinds against a private
// PulseAudio server with a null sink, recorded back with parecord.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "shell/sound_device.h"
#include "synth/wav.h"
#include "tests/temp_path.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned STREAM_MODE_WORD = 0x1000150;  // 16-bit, stereo, signed, non-blocking
constexpr double PI = 3.14159265358979323846;

bool wait_for(const std::function<bool()>& done, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

/// Every test leaves the layer closed and without a monitor.
class SoundDevice : public ::testing::Test {
  protected:
    void TearDown() override {
        FSOUND_Close();
        sound_set_monitor(nullptr, nullptr);
    }
    static void init_nosound() {
        ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 1);
        ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    }
};

// ---------------------------------------------------------------- set-up and errors

int silent_callback(FSOUND_STREAM*, void*, int, void*) { return 1; }

TEST_F(SoundDevice, OffersTheFourKindsAndRefusesTheOthers) {
    EXPECT_GE(FSOUND_GetVersion(), 3.74f);
    for (int kind : {int{FSOUND_OUTPUT_WINMM}, int{FSOUND_OUTPUT_DSOUND}, int{FSOUND_OUTPUT_A3D},
                     int{FSOUND_OUTPUT_ASIO}, -1, 8}) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(FSOUND_SetOutput(kind), 0);
        EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    }
    for (int kind : {FSOUND_OUTPUT_OSS, FSOUND_OUTPUT_ESD, FSOUND_OUTPUT_ALSA, FSOUND_OUTPUT_NOSOUND}) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(FSOUND_SetOutput(kind), 1);
        EXPECT_EQ(FSOUND_GetOutput(), kind);
        // Whatever this machine has, every listed driver has a name.
        for (int i = 0; i < FSOUND_GetNumDrivers(); ++i) EXPECT_NE(FSOUND_GetDriverName(i), nullptr);
    }
}

TEST_F(SoundDevice, NoSoundHasExactlyOneDriver) {
    ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 1);
    ASSERT_EQ(FSOUND_GetNumDrivers(), 1);
    ASSERT_NE(FSOUND_GetDriverName(0), nullptr);
    EXPECT_GT(std::strlen(FSOUND_GetDriverName(0)), 0u);
    EXPECT_EQ(FSOUND_GetDriverName(1), nullptr);
    EXPECT_EQ(FSOUND_GetDriverName(-1), nullptr);
    EXPECT_EQ(FSOUND_SetDriver(1), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_SetDriver(-1), 0);
    EXPECT_EQ(FSOUND_SetDriver(0), 1);
    EXPECT_EQ(FSOUND_GetDriver(), 0);
}

TEST_F(SoundDevice, StreamCallsNeedInit) {
    EXPECT_EQ(FSOUND_Stream_Create(silent_callback, 4096, STREAM_MODE_WORD, 44100, nullptr), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
    EXPECT_EQ(FSOUND_Stream_Play(0, nullptr), -1);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);

    // Closing makes them refused again, and closing twice is harmless.
    init_nosound();
    EXPECT_NE(FSOUND_Stream_Create(silent_callback, 4096, STREAM_MODE_WORD, 44100, nullptr), nullptr);
    FSOUND_Close();
    FSOUND_Close();
    EXPECT_EQ(FSOUND_Stream_Create(silent_callback, 4096, STREAM_MODE_WORD, 44100, nullptr), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
}

TEST_F(SoundDevice, SetUpCallsAreRefusedWhileRunning) {
    init_nosound();
    EXPECT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_ALSA), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_BUSY);
    EXPECT_EQ(FSOUND_GetOutput(), FSOUND_OUTPUT_NOSOUND);
    EXPECT_EQ(FSOUND_SetDriver(0), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_BUSY);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_BUSY);
    FSOUND_Close();
    EXPECT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 1);
}

TEST_F(SoundDevice, InitRefusesBadArguments) {
    ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 1);
    for (auto [rate, channels] : {std::pair{0, 32}, {-44100, 32}, {1000000, 32}, {44100, -1}}) {
        SCOPED_TRACE(rate);
        EXPECT_EQ(FSOUND_Init(rate, channels, 0), 0);
        EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    }
    // None of them left the device running.
    EXPECT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 1);
}

struct BadStream {
    const char* what;
    int lenbytes;
    unsigned mode;
    int rate;
    bool null_callback;
};

void PrintTo(const BadStream& b, std::ostream* os) { *os << b.what; }

class SoundDeviceBadStream : public SoundDevice, public ::testing::WithParamInterface<BadStream> {};

TEST_P(SoundDeviceBadStream, IsRefusedAsAnInvalidParameter) {
    init_nosound();
    const BadStream& b = GetParam();
    FSOUND_STREAMCALLBACK cb = b.null_callback ? nullptr : silent_callback;
    EXPECT_EQ(FSOUND_Stream_Create(cb, b.lenbytes, b.mode, b.rate, nullptr), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    // The same call with sound arguments succeeds.
    EXPECT_NE(FSOUND_Stream_Create(silent_callback, 12288, STREAM_MODE_WORD, 44100, nullptr), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, SoundDeviceBadStream,
    ::testing::Values(BadStream{"zero length", 0, STREAM_MODE_WORD, 44100, false},
                      BadStream{"negative length", -4, STREAM_MODE_WORD, 44100, false},
                      BadStream{"half a frame", 6, STREAM_MODE_WORD, 44100, false},
                      BadStream{"odd bytes", 12290, STREAM_MODE_WORD, 44100, false},
                      BadStream{"no 16bits", 12288, STREAM_MODE_WORD & ~0x10u, 44100, false},
                      BadStream{"no stereo", 12288, STREAM_MODE_WORD & ~0x40u, 44100, false},
                      BadStream{"no signed", 12288, STREAM_MODE_WORD & ~0x100u, 44100, false},
                      BadStream{"mono too", 12288, STREAM_MODE_WORD | 0x20u, 44100, false},
                      BadStream{"8bits too", 12288, STREAM_MODE_WORD | 0x08u, 44100, false},
                      BadStream{"zero rate", 12288, STREAM_MODE_WORD, 0, false},
                      BadStream{"no callback", 12288, STREAM_MODE_WORD, 44100, true}),
    [](const ::testing::TestParamInfo<BadStream>& param) {
        std::string name = param.param.what;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

// ---------------------------------------------------------------- NoSound playback

// What the callback and the monitor saw. The callback checks that its buffer
// arrives zeroed, then scribbles a pattern made from the call number, which
// the next call must not see and the monitor must see.
struct Probe {
    int expect_len = 0;
    std::atomic<int> end_on_call{0};  ///< return 0 on this call (0: never)
    std::atomic<int> calls{0};
    std::atomic<int> dirty{0};
    std::atomic<int> wrong_len{0};
    std::atomic<int> monitored{0};
    std::atomic<int> monitor_mismatch{0};
};

std::int16_t pattern(int call, int i) { return static_cast<std::int16_t>(call * 31 + i * 7 + 1); }

int probe_callback(FSOUND_STREAM*, void* buff, int len, void* user) {
    auto* p = static_cast<Probe*>(user);
    const int call = p->calls.load() + 1;
    if (len != p->expect_len) p->wrong_len++;
    auto* s = static_cast<std::int16_t*>(buff);
    const int values = len / 2;
    if (std::any_of(s, s + values, [](std::int16_t v) { return v != 0; })) p->dirty++;
    for (int i = 0; i < values; ++i) s[i] = pattern(call, i);
    p->calls.store(call);
    return call == p->end_on_call ? 0 : 1;
}

void probe_monitor(const void* buff, int len, void* user) {
    auto* p = static_cast<Probe*>(user);
    const auto* s = static_cast<const std::int16_t*>(buff);
    const int call = p->calls.load();
    for (int i = 0; i < len / 2; ++i)
        if (s[i] != pattern(call, i)) {
            p->monitor_mismatch++;
            break;
        }
    p->monitored++;
}

FSOUND_STREAM* probe_stream(Probe& p, int frames, int rate) {
    p.expect_len = frames * 4;
    return FSOUND_Stream_Create(probe_callback, frames * 4, STREAM_MODE_WORD, rate, &p);
}

/// Calls of a stream that stays put: what the callback has done after a few
/// more buffer periods. A stopped stream must not move.
int calls_after_a_while(const Probe& p, int frames, int rate) {
    std::this_thread::sleep_for(std::chrono::duration<double>(5.0 * frames / rate));
    return p.calls.load();
}

TEST_F(SoundDevice, NoSoundFillsZeroedBuffersOfTheAskedLengthAndFeedsTheMonitor) {
    init_nosound();
    Probe p;
    sound_set_monitor(probe_monitor, &p);
    FSOUND_STREAM* st = probe_stream(p, 441, 44100);
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(FSOUND_Stream_Play(0, st), 0);
    ASSERT_TRUE(wait_for([&] { return p.calls.load() >= 20; }, 20.0));
    EXPECT_EQ(FSOUND_Stream_Stop(st), 1);
    EXPECT_EQ(p.dirty.load(), 0);
    EXPECT_EQ(p.wrong_len.load(), 0);
    EXPECT_EQ(p.monitored.load(), p.calls.load());
    EXPECT_EQ(p.monitor_mismatch.load(), 0);
}

TEST_F(SoundDevice, NoSoundKeepsTheRealTimePace) {
    init_nosound();
    // A buffer of 10 ms and one of 20 ms at a different rate: the pace follows
    // the stream's own rate and length.
    for (auto [frames, rate] : {std::pair{441, 44100}, {160, 8000}}) {
        SCOPED_TRACE(rate);
        Probe p;
        FSOUND_STREAM* st = probe_stream(p, frames, rate);
        ASSERT_NE(st, nullptr);
        const auto start = Clock::now();
        ASSERT_EQ(FSOUND_Stream_Play(0, st), 0);
        ASSERT_TRUE(wait_for([&] { return p.calls.load() >= 25; }, 20.0));
        const int calls = p.calls.load();
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        // Buffer k is asked for no sooner than k periods after the start.
        const double period = static_cast<double>(frames) / rate;
        EXPECT_LE(calls, 1 + static_cast<int>(elapsed / period) + 1) << "elapsed " << elapsed << " s";
        EXPECT_EQ(FSOUND_Stream_Close(st), 1);
    }
}

TEST_F(SoundDevice, NoSoundStopsWhenAskedAndWhenTheCallbackEnds) {
    init_nosound();
    Probe stopped;
    FSOUND_STREAM* a = probe_stream(stopped, 441, 44100);
    Probe ending;
    ending.end_on_call = 3;
    FSOUND_STREAM* b = probe_stream(ending, 441, 44100);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(FSOUND_Stream_Play(0, a), 0);
    ASSERT_EQ(FSOUND_Stream_Play(1, b), 1);
    ASSERT_TRUE(wait_for([&] { return stopped.calls.load() >= 5; }, 20.0));
    ASSERT_EQ(FSOUND_Stream_Stop(a), 1);
    const int at_stop = stopped.calls.load();
    EXPECT_EQ(calls_after_a_while(stopped, 441, 44100), at_stop);

    ASSERT_TRUE(wait_for([&] { return ending.calls.load() >= 3; }, 20.0));
    EXPECT_EQ(calls_after_a_while(ending, 441, 44100), 3);

    // Playing again resumes both.
    ending.end_on_call = 0;
    EXPECT_EQ(FSOUND_Stream_Play(0, a), 0);
    EXPECT_EQ(FSOUND_Stream_Play(1, b), 1);
    EXPECT_TRUE(wait_for([&] { return stopped.calls.load() > at_stop + 2 && ending.calls.load() > 5; }, 20.0));

    // Closing the layer stops every stream.
    FSOUND_Close();
    const int a_closed = stopped.calls.load();
    const int b_closed = ending.calls.load();
    EXPECT_EQ(calls_after_a_while(stopped, 441, 44100), a_closed);
    EXPECT_EQ(ending.calls.load(), b_closed);
    EXPECT_EQ(stopped.dirty.load() + ending.dirty.load(), 0);
}

// ---------------------------------------------------------------- PortAudio kinds

/// Sets an environment variable for the test's lifetime.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            had_ = true;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

/// Starts a program with extra environment, its output to log_path. -1 on failure.
pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& env_extra,
            const std::string& log_path) {
    std::vector<std::string> env_strings;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('='));
        const bool overridden = std::any_of(env_extra.begin(), env_extra.end(), [&](const std::string& x) {
            return x.compare(0, key.size() + 1, key + "=") == 0;
        });
        if (!overridden) env_strings.push_back(entry);
    }
    env_strings.insert(env_strings.end(), env_extra.begin(), env_extra.end());
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : env_strings) envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return err == 0 ? pid : -1;
}

/// Sends sig, waits up to 5 s, then kills. True when it ended of its own accord.
bool end_process(pid_t pid, int sig) {
    if (pid <= 0) return true;
    kill(pid, sig);
    int status = 0;
    const bool ended = wait_for([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 5.0);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    return ended;
}

bool program_exists(const char* name) {
    const std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

bool socket_accepts(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

/// A PulseAudio server of our own, with one null sink "nul", listening on a
/// private socket that this process (and the programs it starts) is pointed at.
class PulseServer : public SoundDevice {
  protected:
    void SetUp() override {
        if (!program_exists("pulseaudio")) GTEST_SKIP() << "pulseaudio is not installed";
        dir_ = test_temp_path("pulse");
        std::filesystem::create_directories(dir_);
        socket_ = dir_ + "/native";
        server_env_ = {"PULSE_RUNTIME_PATH=" + dir_, "PULSE_STATE_PATH=" + dir_, "HOME=" + dir_,
                       "PULSE_SERVER=unix:" + socket_};
        pid_ = spawn({"pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1",
                      "--disallow-exit", "--log-target=stderr", "--load=module-null-sink sink_name=nul",
                      "--load=module-native-protocol-unix socket=" + socket_},
                     server_env_, dir_ + "/server.log");
        ASSERT_GT(pid_, 0);
        ASSERT_TRUE(wait_for([&] { return socket_accepts(socket_); }, 20.0)) << "no server at " << socket_;
        server_ = std::make_unique<ScopedEnv>("PULSE_SERVER", "unix:" + socket_);
    }
    void TearDown() override {
        SoundDevice::TearDown();
        server_.reset();
        end_process(pid_, SIGTERM);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    /// Selects kind and the driver named name; false if it is not listed.
    static bool select_driver(int kind, const std::string& name) {
        if (FSOUND_SetOutput(kind) != 1) return false;
        for (int i = 0; i < FSOUND_GetNumDrivers(); ++i)
            if (name == FSOUND_GetDriverName(i)) return FSOUND_SetDriver(i) == 1;
        return false;
    }
    std::vector<std::string> driver_names() {
        std::vector<std::string> names;
        for (int i = 0; i < FSOUND_GetNumDrivers(); ++i) names.emplace_back(FSOUND_GetDriverName(i));
        return names;
    }

    std::string dir_, socket_;
    std::vector<std::string> server_env_;
    pid_t pid_ = -1;
    std::unique_ptr<ScopedEnv> server_;
};

TEST_F(PulseServer, AlsaAndTheSoundServerKindListTheServersDevices) {
    ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_ALSA), 1);
    const std::vector<std::string> alsa = driver_names();
    EXPECT_NE(std::find(alsa.begin(), alsa.end(), "pulse"), alsa.end());
    EXPECT_NE(std::find(alsa.begin(), alsa.end(), "default"), alsa.end());

    ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_ESD), 1);
    ASSERT_EQ(FSOUND_GetNumDrivers(), 1);
    ASSERT_EQ(FSOUND_SetDriver(0), 1);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1) << "error " << FSOUND_GetError();
}

TEST_F(SoundDevice, WithoutASoundServerItsKindHasNoDriverAndCannotStart) {
    const ScopedEnv nowhere("PULSE_SERVER", "unix:" + test_temp_path("no-such-server"));
    ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_ESD), 1);
    EXPECT_EQ(FSOUND_GetNumDrivers(), 0);
    EXPECT_EQ(FSOUND_GetDriverName(0), nullptr);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INIT);
}

// A 440 Hz sine at half scale, the same on both channels.
struct Sine {
    double phase = 0.0;  // radians
    std::atomic<long long> frames{0};
    std::atomic<long long> monitored_bytes{0};
};

int sine_callback(FSOUND_STREAM*, void* buff, int len, void* user) {
    auto* s = static_cast<Sine*>(user);
    auto* out = static_cast<std::int16_t*>(buff);
    const double step = 2.0 * PI * 440.0 / 44100.0;
    for (int i = 0; i < len / 4; ++i) {
        const auto v = static_cast<std::int16_t>(16383.0 * std::sin(s->phase));
        out[2 * i] = out[2 * i + 1] = v;
        s->phase = std::fmod(s->phase + step, 2.0 * PI);
    }
    s->frames += len / 4;
    return 1;
}

void count_monitored(const void*, int len, void* user) { static_cast<Sine*>(user)->monitored_bytes += len; }

std::vector<std::int16_t> read_wav_left(const std::string& path, WAV_FORMAT* format) {
    std::vector<std::int16_t> left;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return left;
    if (wav_read_header(f, format) == nullptr && format->channels == 2) {
        // Read to the end whatever the header says: an interrupted recorder
        // may not have written the final size.
        std::int16_t frame[2];
        while (std::fread(frame, sizeof frame, 1, f) == 1) left.push_back(frame[0]);
    }
    std::fclose(f);
    return left;
}

TEST_F(PulseServer, PlaysASineThatTheServerHears) {
    if (!program_exists("parecord") || !program_exists("pactl")) GTEST_SKIP() << "parecord/pactl missing";
    const std::string wav = dir_ + "/heard.wav";
    const pid_t recorder = spawn({"parecord", "-d", "nul.monitor", "--file-format=wav", "--format=s16le",
                                  "--rate=44100", "--channels=2", wav},
                                 server_env_, dir_ + "/parecord.log");
    ASSERT_GT(recorder, 0);
    // Wait until the recorder's stream is connected to the server.
    const std::string list_cmd =
        "PULSE_SERVER=unix:" + socket_ + " pactl list short source-outputs 2>/dev/null | grep -q .";
    const bool recording = wait_for([&] { return std::system(list_cmd.c_str()) == 0; }, 20.0);
    if (!recording) end_process(recorder, SIGKILL);
    ASSERT_TRUE(recording);

    ASSERT_TRUE(select_driver(FSOUND_OUTPUT_ALSA, "pulse"));
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1) << "error " << FSOUND_GetError();
    Sine sine;
    sound_set_monitor(count_monitored, &sine);
    FSOUND_STREAM* st = FSOUND_Stream_Create(sine_callback, 12288, STREAM_MODE_WORD, 44100, &sine);
    ASSERT_NE(st, nullptr);
    ASSERT_EQ(FSOUND_Stream_Play(0, st), 0) << "error " << FSOUND_GetError();
    // A second and a half of sound handed over: the device's buffer, some
    // 70-140 ms, has been played through by then.
    const bool played = wait_for([&] { return sine.frames.load() >= 66150; }, 30.0);
    FSOUND_Stream_Stop(st);
    // Let the server pass the last of it to the recorder before it ends.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(end_process(recorder, SIGINT));
    ASSERT_TRUE(played);
    EXPECT_EQ(sine.monitored_bytes.load(), sine.frames.load() * 4);

    WAV_FORMAT format;
    const std::vector<std::int16_t> left = read_wav_left(wav, &format);
    ASSERT_EQ(format.sample_rate, 44100);
    // The sound: from the first to the last sample clearly above silence.
    const auto loud = [](std::int16_t v) { return std::abs(v) > 2000; };
    const auto first = std::find_if(left.begin(), left.end(), loud);
    const auto last = std::find_if(left.rbegin(), left.rend(), loud).base();
    ASSERT_LT(first, last) << "nothing recorded";
    const long long span = last - first;
    EXPECT_GE(span, 44100) << "less than a second recorded";

    // Rising zero crossings give the frequency; the peak gives the level
    // (a null sink at full volume passes samples through unchanged).
    int rising = 0, peak = 0, longest_quiet = 0, quiet = 0;
    for (auto it = first; it + 1 < last; ++it) {
        if (*it < 0 && *(it + 1) >= 0) ++rising;
        peak = std::max(peak, std::abs(static_cast<int>(*it)));
        quiet = std::abs(*it) < 500 ? quiet + 1 : 0;
        longest_quiet = std::max(longest_quiet, quiet);
    }
    const double hz = rising * 44100.0 / static_cast<double>(span);
    EXPECT_NEAR(hz, 440.0, 4.0);
    EXPECT_NEAR(peak, 16383, 16383 * 0.05);
    // A sine is near zero for a few samples per crossing; a longer quiet run is
    // a gap in the stream.
    EXPECT_LT(longest_quiet, 20);
}

}  // namespace
