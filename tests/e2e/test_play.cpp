// Playing notes into the whole program: MIDI notes through a JACK server of
// the test's own, heard on the program's JACK ports (with the latency from a
// note on to its sound), a JACK server at another rate refused, and the
// computer keyboard pressed in the window on a real X server.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/recording.h"
#include "tests/processes.h"
#include "tests/temp_path.h"
#include "tests/xvfb.h"

namespace {
using std::chrono::milliseconds;

const std::string kProgram = std::string(KEL_BINARY_DIR) + "/z_ozodive";
// JACK periods of 1024 frames (23 ms): with 256, a busy shared machine makes
// clients miss cycles every few seconds. The latency, in periods, is the same.
constexpr int RATE = 44100, PERIOD = 1024;
/// Note-table frequencies: MIDI 69 is entry 58, 440 Hz; the key Z plays the
/// C of a new keyboard's octave, entry 49: 440 x 2^(-9/12).
const double A4 = 440.0, C4 = 440.0 * std::pow(2.0, -9.0 / 12.0);

// A keyboard whose note a sine follows (FREQ 44 makes the oscillator play the
// keyboard's frequency), through an amplifier its gate opens: quick attack,
// full sustain, a 10 ms release.
std::string keyboard_patch() {
    const std::string path = test_temp_path("keyboard.ksy");
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "BEGIN_OBJECTS_DECLARE\nKEY_PLAY;;\nVCO_TONE;TYPE=1;FREQ=44;AMOUNT=0.8;\n"
                    "VCA_GATE;ATTACK=1;DECAY=1;SUSTAIN=1;RELEASE=10;\nSOUND_OUT;;\nEND_OBJECTS_DECLARE\n"
                    "BEGIN_LINKS_DECLARE\nVCO_TONE;IN=KEY_PLAY;\nVCA_GATE;IN=VCO_TONE;GATE=KEY_PLAY;\n"
                    "SOUND_OUT;IN=VCA_GATE;\nEND_LINKS_DECLARE\n");
    std::fclose(f);
    return path;
}

// --- a JACK server of our own -------------------------------------------------

/// jackd with the dummy back end under a name no one else uses, stopped by its PID.
struct JACK_SERVER {
    std::string name = "kel_test_" + std::to_string(getpid());
    CHILD child;
    explicit JACK_SERVER(int rate) {
        setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
        child = spawn_child({"jackd", "-n", name, "-d", "dummy", "-r", std::to_string(rate), "-p",
                             std::to_string(PERIOD)},
                            "", {}, test_temp_path("jackd.log"), false);
    }
    ~JACK_SERVER() { stop_child(child, SIGTERM); }
    /// True once a client gets in (within 10 s).
    bool answers() {
        return wait_until(
            [] {
                jack_client_t* c = jack_client_open("kel_test_ping", JackNoStartServer, nullptr);
                if (c != nullptr) jack_client_close(c);
                return c != nullptr;
            },
            milliseconds(10000));
    }
    std::vector<std::string> env() const { return {"JACK_DEFAULT_SERVER=" + name, "JACK_NO_START_SERVER=1"}; }
};

/// The test's MIDI keyboard and microphone: sends notes to the program's MIDI
/// port at chosen frames and records its left output, in the same JACK
/// cycles. A take is only good when no client missed a cycle (no xrun): a
/// late client may lose the MIDI of that cycle.
struct PROBE {
    struct NOTE {
        long on, off;  ///< frames from the start of the recording
    };
    jack_client_t* client = nullptr;
    jack_port_t *midi_out = nullptr, *in = nullptr;
    std::vector<NOTE> notes;
    std::vector<float> heard;
    std::atomic<long> recorded{0};
    std::atomic<bool> armed{false};
    std::atomic<int> xruns{0};

    PROBE(long frames, std::vector<NOTE> to_send) : notes(std::move(to_send)), heard((size_t)frames, 0.0f) {
        client = jack_client_open("kel_test_probe", JackNoStartServer, nullptr);
        if (client == nullptr) return;
        midi_out = jack_port_register(client, "notes", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        in = jack_port_register(client, "ears", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client, process, this);
        jack_set_xrun_callback(client, [](void* self) { static_cast<PROBE*>(self)->xruns++; return 0; }, this);
        jack_activate(client);
    }
    ~PROBE() {
        if (client != nullptr) jack_client_close(client);
    }
    bool connect() {
        return jack_connect(client, jack_port_name(midi_out), "z_ozodive_midi:in") == 0 &&
               jack_connect(client, "z_ozodive:out_left", jack_port_name(in)) == 0;
    }
    static int process(jack_nframes_t n, void* arg) {
        auto* p = static_cast<PROBE*>(arg);
        void* midi = jack_port_get_buffer(p->midi_out, n);
        jack_midi_clear_buffer(midi);
        if (!p->armed.load()) return 0;
        const float* ears = static_cast<const float*>(jack_port_get_buffer(p->in, n));
        const long at = p->recorded.load();
        for (jack_nframes_t i = 0; i < n; i++) {
            const long frame = at + (long)i;
            const unsigned char on[3] = {0x90, 69, 100}, off[3] = {0x80, 69, 64};
            // A take starts with the key up, whatever an earlier take left.
            if (frame == 0) jack_midi_event_write(midi, i, off, 3);
            for (const NOTE& note : p->notes) {
                if (frame == note.on) jack_midi_event_write(midi, i, on, 3);
                if (frame == note.off) jack_midi_event_write(midi, i, off, 3);
            }
            if (frame < (long)p->heard.size()) p->heard[(size_t)frame] = ears[i];
        }
        p->recorded.store(at + (long)n);
        return 0;
    }
};

constexpr float QUIET = 0.001f;
bool loud(float v) { return std::fabs(v) > QUIET; }

// Rising zero crossings of heard[from, to), Hz.
double pitch_of(const std::vector<float>& heard, long from, long to) {
    long first = -1, last = -1, count = 0;
    for (long i = from + 1; i < to; i++) {
        if (heard[(size_t)i - 1] < 0 && heard[(size_t)i] >= 0) {
            if (first < 0) first = i;
            last = i;
            count++;
        }
    }
    return count < 2 ? 0.0 : (double)(count - 1) * RATE / (double)(last - first);
}
}  // namespace

TEST(JackPlay, MidiNotesSoundWhileHeldAndStopAfterTheRelease) {
    JACK_SERVER server(RATE);
    ASSERT_TRUE(server.answers()) << file_text(test_temp_path("jackd.log"));
    const std::string log = test_temp_path("jack_play.log");
    CHILD program = spawn_child({kProgram, "--headless", "--output", "jack", keyboard_patch()}, KEL_DATA_DIR,
                                server.env(), log, false);
    ASSERT_TRUE(wait_for_text(log, "Playing", milliseconds(20000))) << file_text(log);
    EXPECT_NE(file_text(log).find("MIDI input: JACK port z_ozodive_midi:in"), std::string::npos);

    // Eight notes of 100 ms, one every 250 ms and 97 frames from 0.5 s on:
    // each starts at another place within a JACK period, so the latencies
    // sample the whole period.
    const long ms = RATE / 1000, first_on = 500 * ms, step = 250 * ms + 97;
    std::vector<PROBE::NOTE> notes;
    for (long k = 0; k < 8; k++) notes.push_back({first_on + k * step, first_on + k * step + 100 * ms});
    std::vector<float> heard;
    for (int take = 0; take < 3 && heard.empty(); take++) {
        PROBE probe(first_on + 8 * step, notes);
        ASSERT_NE(probe.client, nullptr);
        ASSERT_TRUE(wait_until([&] { return probe.connect(); }, milliseconds(5000)));
        std::this_thread::sleep_for(milliseconds(100));  // joining the graph may count as an xrun
        probe.xruns.store(0);
        probe.armed.store(true);
        ASSERT_TRUE(
            wait_until([&] { return probe.recorded.load() >= (long)probe.heard.size(); }, milliseconds(15000)));
        if (probe.xruns.load() == 0) heard = probe.heard;
        else std::printf("A client missed a JACK cycle: measuring again\n");
    }
    stop_child(program, SIGTERM);
    ASSERT_FALSE(heard.empty()) << "every take had clients missing JACK cycles: the machine is too busy";

    EXPECT_TRUE(std::none_of(heard.begin() + 100 * ms, heard.begin() + first_on, loud))
        << "sound before the first note";
    std::vector<long> latencies;
    for (const PROBE::NOTE& n : notes) {
        const auto start = std::find_if(heard.begin() + n.on, heard.begin() + n.off, loud);
        ASSERT_NE(start, heard.begin() + n.off) << "the note at frame " << n.on << " was not heard";
        const long onset = (long)(start - heard.begin());
        latencies.push_back(onset - n.on);
        EXPECT_NEAR(pitch_of(heard, onset + 5 * ms, onset + 65 * ms), A4, 2.0);
        // 100 ms after the note off (release 10 ms) the amplifier is silent
        // until the next note.
        const long quiet_from = n.off + 100 * ms, quiet_to = std::min<long>(n.on + step, (long)heard.size());
        EXPECT_TRUE(std::none_of(heard.begin() + quiet_from, heard.begin() + quiet_to, loud))
            << "still sounding after the release of the note at " << n.on;
    }
    std::sort(latencies.begin(), latencies.end());
    const double median = latencies[latencies.size() / 2] * 1000.0 / RATE,
                 worst = latencies.back() * 1000.0 / RATE;
    std::printf("MIDI note on to sound at the JACK output (%d-frame periods): median %.1f ms, worst %.1f ms\n",
                PERIOD, median, worst);
    RecordProperty("latency_median_ms", std::to_string(median));
    // Queued notes are played before the next buffer is computed: within the
    // period that follows the MIDI client's cycle (and a few samples of attack).
    EXPECT_LE(latencies.back(), PERIOD + PERIOD / 4);
}

TEST(JackPlay, ServerAtAnotherRateIsRefused) {
    JACK_SERVER server(48000);
    ASSERT_TRUE(server.answers()) << file_text(test_temp_path("jackd.log"));
    const std::string log = test_temp_path("jack_48k.log");
    CHILD program = spawn_child({kProgram, "--headless", "--output", "jack", "--midi", "none", keyboard_patch()},
                                KEL_DATA_DIR, server.env(), log, false);
    int status = -1;
    ASSERT_TRUE(wait_child(program, milliseconds(20000), &status)) << file_text(log);
    EXPECT_EQ(status, 1);
    EXPECT_NE(file_text(log).find("The JACK server runs at 48000 Hz"), std::string::npos) << file_text(log);
    EXPECT_EQ(file_text(log).find("Playing"), std::string::npos);
}

TEST(WindowPlay, KeyZPlaysTheKeyboardUntilReleased) {
    XVFB& x = shared_xvfb();
    ASSERT_FALSE(x.display().empty());
    const std::string record = std::string(KEL_DATA_DIR) + "/record.wav", log = test_temp_path("window_play.log");
    std::remove(record.c_str());
    CHILD program = spawn_child({kProgram, "--output", "none", "--midi", "none", "--record", keyboard_patch()},
                                KEL_DATA_DIR, {x.env()}, log, false);
    ASSERT_TRUE(wait_for_text(log, "Window open", milliseconds(30000))) << file_text(log);
    const std::string xdotool = "DISPLAY=" + x.display() + " timeout 10 xdotool ";
    ASSERT_EQ(std::system((xdotool + "search --sync --onlyvisible --name '^z_ozodive' >/dev/null").c_str()), 0);
    std::this_thread::sleep_for(milliseconds(500));
    // The key is held between the ends of the two commands at least, between
    // their starts at most.
    using clock = std::chrono::steady_clock;
    const auto down_sent = clock::now();
    ASSERT_EQ(std::system((xdotool + "keydown z").c_str()), 0);
    const auto down_done = clock::now();
    std::this_thread::sleep_for(milliseconds(400));
    const auto up_sent = clock::now();
    ASSERT_EQ(std::system((xdotool + "keyup z").c_str()), 0);
    const auto up_done = clock::now();
    auto ms = [](clock::duration d) { return (long)std::chrono::duration_cast<milliseconds>(d).count(); };
    const long held_least = ms(up_sent - down_done), held_most = ms(up_done - down_sent);
    std::this_thread::sleep_for(milliseconds(600));
    ASSERT_EQ(std::system((xdotool + "key Escape").c_str()), 0);
    int status = -1;
    ASSERT_TRUE(wait_child(program, milliseconds(15000), &status)) << file_text(log);
    ASSERT_EQ(status, 0) << file_text(log);

    const std::vector<short> all = left_channel(record);
    std::remove(record.c_str());
    const std::vector<short> note = audible_part(all);
    // The sound follows the key within a frame of the window (17 ms) and a
    // buffer of the sound (70 ms) at each end; 100 ms more for a busy machine.
    const long heard = (long)note.size() / 44, slack = 17 + 70 + 100;
    EXPECT_GT(heard, held_least - slack) << "the note is too short";
    EXPECT_LT(heard, held_most + slack) << "the note outlasted the key";
    EXPECT_NEAR(pitch(note), C4, 2.0);
    const auto after = std::find_if(all.rbegin(), all.rend(), [](short v) { return std::abs(v) > 1000; });
    EXPECT_GT(after - all.rbegin(), 44100 * 4 / 10) << "less than 0.4 s of silence after the release";
}
