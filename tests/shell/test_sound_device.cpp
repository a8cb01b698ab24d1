// The sound-device layer: set-up errors, the NoSound driver's paced thread,
// and the ALSA and sound-server kinds against a private PulseAudio server with
// a null sink, whose monitor parecord records.
#include <gtest/gtest.h>
#include <signal.h>
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
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "shell/sound_device.h"
#include "synth/wav.h"
#include "tests/pulse_server.h"
#include "tests/temp_path.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned MODE = 0x1000150;  // 16-bit, stereo, signed, non-blocking

bool wait_for(const std::function<bool()>& done, double seconds) {
    return wait_until(done, std::chrono::milliseconds(static_cast<long>(seconds * 1000)));
}

/// Every test leaves the layer closed and without a monitor.
class SoundDevice : public ::testing::Test {
  protected:
    void TearDown() override {
        FSOUND_Close();
        sound_set_monitor(nullptr, nullptr);
    }
};

int keep_playing(FSOUND_STREAM*, void*, int, void*) { return 1; }

void expect_error(int result, int failed, int code) {
    EXPECT_EQ(result, failed);
    EXPECT_EQ(FSOUND_GetError(), code);
}

TEST_F(SoundDevice, SetUpOrderAndArgumentsAreChecked) {
    EXPECT_GE(FSOUND_GetVersion(), 3.74f);
    for (int kind : {1, 2, 3, 7, -1, 8}) expect_error(FSOUND_SetOutput(kind), 0, FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Stream_Create(keep_playing, 4096, MODE, 44100, nullptr), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
    expect_error(FSOUND_Stream_Play(0, nullptr), -1, FMOD_ERR_UNINITIALIZED);

    ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 1);
    ASSERT_EQ(FSOUND_GetNumDrivers(), 1);
    EXPECT_GT(std::strlen(FSOUND_GetDriverName(0)), 0u);
    EXPECT_EQ(FSOUND_GetDriverName(1), nullptr);
    expect_error(FSOUND_SetDriver(1), 0, FMOD_ERR_INVALID_PARAM);
    for (int rate : {0, -44100, 1000000}) expect_error(FSOUND_Init(rate, 32, 0), 0, FMOD_ERR_INVALID_PARAM);

    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    expect_error(FSOUND_SetOutput(FSOUND_OUTPUT_ALSA), 0, FMOD_ERR_BUSY);
    expect_error(FSOUND_SetDriver(0), 0, FMOD_ERR_BUSY);
    expect_error(FSOUND_Init(44100, 32, 0), 0, FMOD_ERR_BUSY);
    EXPECT_EQ(FSOUND_GetOutput(), FSOUND_OUTPUT_NOSOUND);

    // Closing twice is harmless, and stream calls need a new Init.
    FSOUND_Close();
    FSOUND_Close();
    EXPECT_EQ(FSOUND_Stream_Create(keep_playing, 4096, MODE, 44100, nullptr), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
}

TEST_F(SoundDevice, StreamsNeedWholeFramesOf16BitSignedStereo) {
    ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 1);
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    struct Bad {
        int lenbytes;
        unsigned mode;
        int rate;
        FSOUND_STREAMCALLBACK cb;
    };
    for (const Bad& b : {Bad{0, MODE, 44100, keep_playing}, {-4, MODE, 44100, keep_playing},
                         {6, MODE, 44100, keep_playing}, {12290, MODE, 44100, keep_playing},
                         {12288, MODE & ~0x10u, 44100, keep_playing}, {12288, MODE & ~0x40u, 44100, keep_playing},
                         {12288, MODE & ~0x100u, 44100, keep_playing}, {12288, MODE | 0x20u, 44100, keep_playing},
                         {12288, MODE | 0x08u, 44100, keep_playing}, {12288, MODE, 0, keep_playing},
                         {12288, MODE, 44100, nullptr}}) {
        SCOPED_TRACE(testing::Message() << b.lenbytes << " bytes, mode " << std::hex << b.mode);
        EXPECT_EQ(FSOUND_Stream_Create(b.cb, b.lenbytes, b.mode, b.rate, nullptr), nullptr);
        EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    }
    EXPECT_NE(FSOUND_Stream_Create(keep_playing, 12288, MODE, 44100, nullptr), nullptr);
}

// ---------------------------------------------------------------- NoSound playback

// The callback checks that its buffer arrives zeroed and of the asked length,
// then writes a pattern made from the call number, which the monitor must see
// and the next call must not.
struct Probe {
    int expect_len = 0;
    std::atomic<int> end_on_call{0};  ///< return 0 on this call (0: never)
    std::atomic<int> calls{0}, dirty{0}, wrong_len{0}, monitored{0}, monitor_mismatch{0};
};

std::int16_t pattern(int call, int i) { return static_cast<std::int16_t>(call * 31 + i * 7 + 1); }

int probe_callback(FSOUND_STREAM*, void* buff, int len, void* user) {
    auto* p = static_cast<Probe*>(user);
    auto* s = static_cast<std::int16_t*>(buff);
    const int call = p->calls.load() + 1;
    if (len != p->expect_len) p->wrong_len++;
    if (std::any_of(s, s + len / 2, [](std::int16_t v) { return v != 0; })) p->dirty++;
    for (int i = 0; i < len / 2; ++i) s[i] = pattern(call, i);
    p->calls.store(call);
    return call == p->end_on_call ? 0 : 1;
}

void probe_monitor(const void* buff, int len, void* user) {
    auto* p = static_cast<Probe*>(user);
    const auto* s = static_cast<const std::int16_t*>(buff);
    for (int i = 0; i < len / 2; ++i)
        if (s[i] != pattern(p->calls.load(), i)) {
            p->monitor_mismatch++;
            break;
        }
    p->monitored++;
}

class NoSound : public SoundDevice {
  protected:
    void SetUp() override {
        ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 1);
        ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    }
    static FSOUND_STREAM* stream(Probe& p, int frames, int rate) {
        p.expect_len = frames * 4;
        return FSOUND_Stream_Create(probe_callback, frames * 4, MODE, rate, &p);
    }
    /// The calls after five more buffer periods of 441 frames at 44100 Hz.
    static int calls_a_little_later(const Probe& p) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return p.calls.load();
    }
};

TEST_F(NoSound, FillsZeroedBuffersAtTheRealTimePaceAndFeedsTheMonitor) {
    // 10 ms buffers at 44100 Hz, and 20 ms ones at 8000 Hz: the pace follows
    // each stream's own rate and length.
    for (auto [frames, rate] : {std::pair{441, 44100}, {160, 8000}}) {
        SCOPED_TRACE(rate);
        Probe p;
        sound_set_monitor(probe_monitor, &p);
        FSOUND_STREAM* st = stream(p, frames, rate);
        ASSERT_NE(st, nullptr);
        const auto start = Clock::now();
        ASSERT_EQ(FSOUND_Stream_Play(0, st), 0);
        ASSERT_TRUE(wait_for([&] { return p.calls.load() >= 25; }, 20.0));
        const int calls = p.calls.load();
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        EXPECT_EQ(FSOUND_Stream_Close(st), 1);
        // Buffer k is asked for no sooner than k periods after the start.
        EXPECT_LE(calls, 2 + static_cast<int>(elapsed * rate / frames)) << "after " << elapsed << " s";
        EXPECT_EQ(p.dirty.load(), 0);
        EXPECT_EQ(p.wrong_len.load(), 0);
        EXPECT_EQ(p.monitored.load(), p.calls.load());
        EXPECT_EQ(p.monitor_mismatch.load(), 0);
    }
}

TEST_F(NoSound, StopsWhenAskedWhenTheCallbackEndsAndOnClose) {
    Probe stopped, ending;
    ending.end_on_call = 3;
    FSOUND_STREAM* a = stream(stopped, 441, 44100);
    FSOUND_STREAM* b = stream(ending, 441, 44100);
    ASSERT_EQ(FSOUND_Stream_Play(0, a), 0);
    ASSERT_EQ(FSOUND_Stream_Play(1, b), 1);
    ASSERT_TRUE(wait_for([&] { return stopped.calls.load() >= 5 && ending.calls.load() >= 3; }, 20.0));
    ASSERT_EQ(FSOUND_Stream_Stop(a), 1);
    const int at_stop = stopped.calls.load();
    EXPECT_EQ(calls_a_little_later(stopped), at_stop);
    EXPECT_EQ(ending.calls.load(), 3);

    // Playing again resumes both; closing the layer stops both.
    ending.end_on_call = 0;
    EXPECT_EQ(FSOUND_Stream_Play(0, a), 0);
    EXPECT_EQ(FSOUND_Stream_Play(1, b), 1);
    EXPECT_TRUE(wait_for([&] { return stopped.calls.load() > at_stop + 2 && ending.calls.load() > 5; }, 20.0));
    FSOUND_Close();
    const int a_closed = stopped.calls.load(), b_closed = ending.calls.load();
    EXPECT_EQ(calls_a_little_later(stopped), a_closed);
    EXPECT_EQ(ending.calls.load(), b_closed);
}

// ---------------------------------------------------------------- PortAudio kinds

/// Sets an environment variable for the test's lifetime.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name), had_(std::getenv(name) != nullptr) {
        if (had_) old_ = std::getenv(name);
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

  private:
    const char* name_;
    bool had_;
    std::string old_;
};

TEST_F(SoundDevice, WithoutASoundServerItsKindHasNoDriverAndCannotStart) {
    const ScopedEnv nowhere("PULSE_SERVER", "unix:" + test_temp_path("no-such-server"));
    ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_ESD), 1);
    EXPECT_EQ(FSOUND_GetNumDrivers(), 0);
    expect_error(FSOUND_Init(44100, 32, 0), 0, FMOD_ERR_INIT);
}

/// A PulseAudio server of our own with one null sink "nul", which this
/// process, and what it starts, is pointed at.
class PulseServer : public SoundDevice {
  protected:
    void SetUp() override {
        if (!have_program("pulseaudio")) GTEST_SKIP() << "pulseaudio is not installed";
        ASSERT_TRUE(server_.running()) << "no PulseAudio server in " << server_.dir();
        server_.use_in_this_process();
    }
    std::vector<std::string> driver_names() {
        std::vector<std::string> names;
        for (int i = 0; i < FSOUND_GetNumDrivers(); ++i) names.emplace_back(FSOUND_GetDriverName(i));
        return names;
    }

    PULSE_SERVER server_;
};

// A 440 Hz sine at half scale on both channels.
struct Sine {
    double phase = 0.0;  // radians
    std::atomic<long long> frames{0}, monitored_bytes{0};
};

int sine_callback(FSOUND_STREAM*, void* buff, int len, void* user) {
    auto* s = static_cast<Sine*>(user);
    auto* out = static_cast<std::int16_t*>(buff);
    for (int i = 0; i < len / 4; ++i) {
        out[2 * i] = out[2 * i + 1] = static_cast<std::int16_t>(16383.0 * std::sin(s->phase));
        s->phase = std::fmod(s->phase + 2.0 * 3.14159265358979 * 440.0 / 44100.0, 2.0 * 3.14159265358979);
    }
    s->frames += len / 4;
    return 1;
}

void count_monitored(const void*, int len, void* user) { static_cast<Sine*>(user)->monitored_bytes += len; }

/// The left channel of a 16-bit stereo WAV file, read to its end whatever the
/// header says (an interrupted recorder may not have written the final size).
std::vector<std::int16_t> read_left(const std::string& path, WAV_FORMAT* format) {
    std::vector<std::int16_t> left;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return left;
    std::int16_t frame[2];
    if (wav_read_header(f, format) == nullptr && format->channels == 2)
        while (std::fread(frame, sizeof frame, 1, f) == 1) left.push_back(frame[0]);
    std::fclose(f);
    return left;
}

TEST_F(PulseServer, PlaysASineThatTheServerHears) {
    if (!have_program("parecord") || !have_program("pactl")) GTEST_SKIP() << "parecord or pactl is not installed";
    const std::string wav = server_.dir() + "/heard.wav";
    CHILD recorder = server_.record(wav);
    ASSERT_GT(recorder.pid, 0);
    const bool recording = wait_for(
        [] { return std::system("pactl list short source-outputs 2>/dev/null | grep -q .") == 0; }, 20.0);
    if (!recording) stop_child(recorder, SIGKILL);
    ASSERT_TRUE(recording);

    // The server is one driver of its own kind, and ALSA lists it with the
    // default device its configuration routes to the server.
    ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_ESD), 1);
    EXPECT_EQ(FSOUND_GetNumDrivers(), 1);
    ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_ALSA), 1);
    const std::vector<std::string> names = driver_names();
    EXPECT_NE(std::find(names.begin(), names.end(), "default"), names.end());
    const auto pulse = std::find(names.begin(), names.end(), "pulse");
    ASSERT_NE(pulse, names.end());
    ASSERT_EQ(FSOUND_SetDriver(static_cast<int>(pulse - names.begin())), 1);
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1) << "error " << FSOUND_GetError();
    Sine sine;
    sound_set_monitor(count_monitored, &sine);
    FSOUND_STREAM* st = FSOUND_Stream_Create(sine_callback, 12288, MODE, 44100, &sine);
    ASSERT_EQ(FSOUND_Stream_Play(0, st), 0) << "error " << FSOUND_GetError();
    // 1.5 s handed over: the device's two buffers (139 ms) have played by then.
    const bool played = wait_for([&] { return sine.frames.load() >= 66150; }, 30.0);
    FSOUND_Stream_Stop(st);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the recorder's own latency
    EXPECT_EQ(stop_child(recorder, SIGINT), 0);
    ASSERT_TRUE(played);
    EXPECT_EQ(sine.monitored_bytes.load(), sine.frames.load() * 4);

    WAV_FORMAT format;
    const std::vector<std::int16_t> left = read_left(wav, &format);
    ASSERT_EQ(format.sample_rate, 44100);
    const auto loud = [](std::int16_t v) { return std::abs(v) > 2000; };
    const auto first = std::find_if(left.begin(), left.end(), loud);
    const auto last = std::find_if(left.rbegin(), left.rend(), loud).base();
    ASSERT_LT(first, last) << "nothing recorded";
    const long long span = last - first;
    EXPECT_GE(span, 44100) << "less than a second recorded";
    // Rising zero crossings give the frequency; the peak the level (a null sink
    // at full volume passes samples unchanged); a quiet run longer than a
    // crossing is a gap in the stream.
    int rising = 0, peak = 0, quiet = 0, longest_quiet = 0;
    for (auto it = first; it + 1 < last; ++it) {
        rising += *it < 0 && *(it + 1) >= 0;
        peak = std::max(peak, std::abs(static_cast<int>(*it)));
        quiet = std::abs(*it) < 500 ? quiet + 1 : 0;
        longest_quiet = std::max(longest_quiet, quiet);
    }
    EXPECT_NEAR(rising * 44100.0 / static_cast<double>(span), 440.0, 4.0);
    EXPECT_NEAR(peak, 16383, 16383 * 0.05);
    EXPECT_LT(longest_quiet, 20);
}

}  // namespace
