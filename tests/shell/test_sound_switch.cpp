// Moving a playing stream to another output while it plays: to the sound
// server of a private PulseAudio (null sink) and back, to a JACK server with
// the dummy back end and back, and to outputs that cannot open, after which
// the stream plays on where it was and the reason is given.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>

#include "shell/sound_switch.h"
#include "tests/pulse_server.h"
#include "tests/temp_path.h"

namespace {

constexpr unsigned MODE = 0x1000150;  // 16-bit, stereo, signed, non-blocking
constexpr int BYTES = 4 * 1024;       // 1024 frames, 23 ms at 44100 Hz

std::atomic<long> calls{0};
int count_calls(FSOUND_STREAM*, void*, int, void*) {
    calls++;
    return 1;
}

/// True when the stream's callback is called a few times more from now on.
bool keeps_playing() {
    const long from = calls.load();
    return wait_until([&] { return calls.load() >= from + 4; }, std::chrono::seconds(20));
}

SOUND_PLACE place(int output, int driver = 0) {
    SOUND_PLACE p;
    p.output = output;
    p.driver = driver;
    return p;
}

/// A JACK server name no one else uses: without a server of that name, JACK has no driver.
void use_own_jack_server_name() {
    setenv("JACK_DEFAULT_SERVER", ("kel_switch_" + std::to_string(getpid())).c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
}

/// Starts on NoSound with a counting stream; every test ends with the layer closed.
class SoundSwitch : public ::testing::Test {
  protected:
    void SetUp() override {
        use_own_jack_server_name();
        ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 1);
        ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
        stream = FSOUND_Stream_Create(count_calls, BYTES, MODE, 44100, nullptr);
        ASSERT_NE(stream, nullptr);
        ASSERT_EQ(FSOUND_Stream_Play(0, stream), 0);
        ASSERT_TRUE(keeps_playing());
    }
    void TearDown() override { FSOUND_Close(); }

    /// Switches to target and expects the stream to play there.
    void expect_switch(int target) {
        const SOUND_SWITCH r = sound_switch(&stream, place(target));
        EXPECT_TRUE(r.switched) << r.why;
        EXPECT_EQ(r.playing.output, target);
        EXPECT_EQ(FSOUND_GetOutput(), target);
        ASSERT_NE(stream, nullptr);
        EXPECT_TRUE(keeps_playing());
    }
    /// Switches to target, which cannot open, and expects the stream back on `back`.
    void expect_refusal(const SOUND_PLACE& target, int back, const std::string& reason) {
        const SOUND_SWITCH r = sound_switch(&stream, target);
        EXPECT_FALSE(r.switched);
        EXPECT_NE(r.why.find(reason), std::string::npos) << r.why;
        EXPECT_EQ(r.playing.output, back);
        EXPECT_EQ(FSOUND_GetOutput(), back);
        ASSERT_NE(stream, nullptr);
        EXPECT_TRUE(keeps_playing());
    }

    FSOUND_STREAM* stream = nullptr;
};

TEST_F(SoundSwitch, AnOutputThatCannotOpenLeavesTheStreamWhereItPlayed) {
    // No JACK server of that name; no sound server at that socket; no such ALSA driver.
    expect_refusal(place(FSOUND_OUTPUT_JACK), FSOUND_OUTPUT_NOSOUND, "JACK server");
    {
        const std::string old = std::getenv("PULSE_SERVER") != nullptr ? std::getenv("PULSE_SERVER") : "";
        setenv("PULSE_SERVER", ("unix:" + test_temp_path("no-such-server")).c_str(), 1);
        expect_refusal(place(FSOUND_OUTPUT_ESD), FSOUND_OUTPUT_NOSOUND, "no driver here");
        old.empty() ? unsetenv("PULSE_SERVER") : setenv("PULSE_SERVER", old.c_str(), 1);
    }
    SOUND_PLACE gone = place(FSOUND_OUTPUT_ALSA);
    gone.name = "a device unplugged since";
    expect_refusal(gone, FSOUND_OUTPUT_NOSOUND, "");
}

TEST_F(SoundSwitch, MovesToTheSoundServerAndBackWhilePlaying) {
    if (!have_program("pulseaudio") || !have_program("pactl")) GTEST_SKIP() << "pulseaudio or pactl is not installed";
    PULSE_SERVER server;
    ASSERT_TRUE(server.running()) << "no PulseAudio server in " << server.dir();
    server.use_in_this_process();
    const auto server_plays = [] {
        return wait_until([] { return std::system("pactl list short sink-inputs 2>/dev/null | grep -q .") == 0; },
                          std::chrono::seconds(20));
    };

    expect_switch(FSOUND_OUTPUT_ESD);
    EXPECT_TRUE(server_plays());
    // A failure on the way goes back to the server, which hears the stream again.
    expect_refusal(place(FSOUND_OUTPUT_JACK), FSOUND_OUTPUT_ESD, "JACK server");
    EXPECT_TRUE(server_plays());
    expect_switch(FSOUND_OUTPUT_NOSOUND);
    EXPECT_TRUE(wait_until([] { return std::system("pactl list short sink-inputs 2>/dev/null | grep -q .") != 0; },
                           std::chrono::seconds(20)));
    FSOUND_Close();  // before the server goes
}

TEST_F(SoundSwitch, MovesToAJackServerAndBackWhilePlaying) {
    if (!have_program("jackd")) GTEST_SKIP() << "jackd is not installed";
    const std::string name = std::getenv("JACK_DEFAULT_SERVER");
    CHILD jackd = spawn_child({"jackd", "-n", name, "-d", "dummy", "-r", "44100", "-p", "1024"}, "", {},
                              test_temp_path("jackd.log"), false);
    const bool answers = wait_until(
        [] {
            jack_client_t* c = jack_client_open("kel_switch_ping", JackNoStartServer, nullptr);
            if (c != nullptr) jack_client_close(c);
            return c != nullptr;
        },
        std::chrono::seconds(10));
    if (answers) {
        expect_switch(FSOUND_OUTPUT_JACK);
        expect_switch(FSOUND_OUTPUT_NOSOUND);
    }
    FSOUND_Close();  // leaves the server before it goes
    stop_child(jackd);
    ASSERT_TRUE(answers) << file_text(test_temp_path("jackd.log"));
}

}  // namespace
