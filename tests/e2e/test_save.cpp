// Saving loses nothing. Every patch we ship, and patches made to use every
// module, setting and link the files know, is loaded, given its panels as the
// window gives them, saved through those panels, loaded again and played:
// ten seconds through the audio callback, identical to the last bit, and the
// second save writes the same text. Then the whole program: a knob turned in
// the window, Ctrl+S, a name typed on the console, and the saved patch heard
// playing the turned knob; the failures of the prompt lose nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "panels/generator_gui.h"
#include "patch/ksy_save.h"
#include "shell/audio.h"
#include "shell/globals.h"
#include "synth/generator.h"
#include "synth/notes.h"
#include "synth/random.h"
#include "tests/e2e/recording.h"
#include "tests/e2e/working_copy.h"
#include "tests/processes.h"
#include "tests/temp_path.h"
#include "tests/xvfb.h"

namespace fs = std::filesystem;

namespace {


// ------------------------------------------------------------ in the test process

/// The patch panel of g holding its module panels, as the window builds it.
struct SHOWN {
    GENERATOR_GUI* panel;
    explicit SHOWN(GENERATOR& g) {
        current_patch() = &g;
        panel = new GENERATOR_GUI(&g, 0, 0, "P");
        initialise_gui_from_current(&panel->objets);
    }
    ~SHOWN() {
        destroy_panels(panel->objets);
        destroy_panel(panel);
    }
    std::string save(const std::string& path) {
        EXPECT_EQ(save_ksy_file(path.c_str(), *panel->module, [this](std::FILE* f) { panel->write_links_section(f); }), 1);
        return file_text(path);
    }
};

/// Ten seconds of g from its present state, through the program's audio
/// callback, in the stream's buffers: 16-bit stereo frames.
std::vector<unsigned char> play(GENERATOR& g) {
    kel_srand(1);  // the noise oscillators draw from the shared generator
    std::vector<unsigned char> frames(10 * 44100 * 4);
    main_gen.store(&g);
    CALLBACK_READY.store(1);
    for (size_t at = 0; at < frames.size(); at += BufferSize)
        instrument_callback(nullptr, &frames[at], (int)std::min<size_t>(BufferSize, frames.size() - at), nullptr);
    CALLBACK_READY.store(0);
    main_gen.store(nullptr);
    return frames;
}

/// Index of the first frame where a and b differ, -1 when none.
long first_difference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    const auto d = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return d.first == a.end() && d.second == b.end() ? -1 : (long)(d.first - a.begin()) / 4;
}

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        fill_NOTE2FREQ();
        home = fs::current_path();
        work = working_copy("round_trip");
        fs::current_path(work);
    }
    void TearDown() override { fs::current_path(home); }

    /// Loads path, lets edit change it as the panels or cables would, saves,
    /// loads the saved file and compares.
    void check(const std::string& path, const std::function<void(GENERATOR&)>& edit = nullptr) {
        std::string p = path;
        GENERATOR original(&p[0]);
        if (edit) edit(original);
        std::string first, second;
        {
            SHOWN shown(original);
            first = shown.save("KSY/saved_1.ksy");
        }
        GENERATOR back(const_cast<char*>("KSY/saved_1.ksy"));
        SHOWN shown(back);
        // Saved before it plays: playing applies a wished divider to the grid.
        second = shown.save("KSY/saved_2.ksy");
        EXPECT_EQ(first, second) << path;
        const std::vector<unsigned char> heard = play(original);
        EXPECT_EQ(first_difference(heard, play(back)), -1) << path << " saved as\n" << first;
        // Silence would prove nothing.
        EXPECT_GT(std::count_if(heard.begin(), heard.end(), [](unsigned char b) { return b != 0; }), 44100) << path;
    }
    void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

    fs::path home;
    std::string work;
};

TEST_F(RoundTrip, EveryPatchWeShipPlaysTheSameSavedAndLoaded) {
    std::vector<std::string> shipped;
    for (const char* folder : {"KSY", "KSY/examples"})
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().extension() == ".ksy") shipped.push_back(e.path().string());
    ASSERT_GE(shipped.size(), 16u);
    for (const std::string& path : shipped) {
        SCOPED_TRACE(path);
        check(path);
    }
}

TEST_F(RoundTrip, OscillatorsWithEveryWaveformAndTheirGateAndSync) {
    // Types 7 and 8 are swapped by the reader; type 0 is silent; the keyboard
    // and the sequencer reach the oscillators' gate and sync.
    write("KSY/oscillators.ksy",
          "KEY_1;OCTAVE=5;NOTE=3; SEQUENCER_CLOCK;DIVIDER=7.5;NBR_STEP_000=3;"
          " VCO_1;TYPE=1;FREQ=220.25;AMOUNT=0.3;PHASE=0.75; VCO_2;TYPE=2;FREQ=0.5;AMOUNT=0.2;"
          " VCO_3;TYPE=3;FREQ=330;AMOUNT=0.3; VCO_4;TYPE=5;FREQ=110;AMOUNT=0.25;PWM=0.35;"
          " VCO_5;TYPE=6;FREQ=900;AMOUNT=0.1; VCO_6;TYPE=7;FREQ=70.5;AMOUNT=0.3; VCO_7;TYPE=8;FREQ=90;AMOUNT=0.3;"
          " VCO_8;TYPE=9;FREQ=600;AMOUNT=0.05; VCO_9;TYPE=1;FREQ=1000;AMOUNT=0.5;POWER=0; VCO_10;TYPE=0;WAVEFORM=0;"
          " VCO_11;TYPE=4;FREQ=44;AMOUNT=0.3; MIXER_1;V_00=0.7;V_01=0.333; SOUND_OUT;;"
          " END_OBJECTS_DECLARE BEGIN_LINKS_DECLARE VCO_1;MOD_FREQ=VCO_2;MOD_PWM=VCO_2;ALT_PHASE=VCO_2;"
          " VCO_3;SYNC=SEQUENCER_CLOCK;GATE=KEY_1; VCO_4;MOD_AMP=VCO_2;ALT_PWM=VCO_2; VCO_11;IN=KEY_1;"
          " MIXER_1;ADD_CHANELL=VCO_1;ADD_CHANELL=VCO_3;ADD_CHANELL=VCO_4;ADD_CHANELL=VCO_5;ADD_CHANELL=VCO_6;"
          "ADD_CHANELL=VCO_7;ADD_CHANELL=VCO_8;ADD_CHANELL=VCO_9;ADD_CHANELL=VCO_10;ADD_CHANELL=VCO_11;"
          " SOUND_OUT;IN=MIXER_1; END_LINKS_DECLARE");
    check("KSY/oscillators.ksy");
}

TEST_F(RoundTrip, EnvelopesFiltersAndValuesFedFromEveryKindOfSource) {
    write("KSY/shapes.ksy",
          "SEQUENCER_A;DIVIDER=5;NBR_STEP_000=4;NOTE_000_01=50;LENGHT_000_02=0.35; SEQUENCER_B;DIVIDER=3;"
          " VCO_A;TYPE=3;FREQ=44;AMOUNT=0.8; VCO_LFO;TYPE=1;FREQ=0.3;AMOUNT=0.6;"
          " VCA_A;ATTACK=12.34567;DECAY=80.25;SUSTAIN=0.4567891;RELEASE=33.33333;INVERT=0;"
          " VCA_B;ATTACK=0.5123457;DECAY=55.55555;SUSTAIN=0;RELEASE=1.234567;INVERT=1;"
          " PCF_A;BYPASS=0;TYPE=1;HICUT=900;Q=0.7071068;GAIN=3.14159;AMOUNT=0.3333333;"
          " PCF_B;BYPASS=0;TYPE=5;HICUT=300;Q=2.5;GAIN=-6.54321;"
          " PCF_C;BYPASS=0;TYPE=7;HICUT=2000;Q=1;GAIN=12;POWER=1;"
          " CONSTANTE_HALF;VALUE=-0.2512345; BASIC_OPERATION_MUL;TYPE=4; VARIABLE_HOLD;; AFFICHAGE_SHOW;;"
          " GENERATOR_SUB;FILE=KSY/examples/VCO.ksy; GENERATOR_NONE;-; MIXER_1;V_00=1.25;V_01=0.6;V_02=0.4; SOUND_OUT;;"
          " END_OBJECTS_DECLARE BEGIN_LINKS_DECLARE SEQUENCER_B;SYNC=SEQUENCER_A; VCO_A;IN=SEQUENCER_A;"
          " VCA_A;IN=VCO_A;GATE=SEQUENCER_A; VCA_B;IN=CONSTANTE_HALF;GATE=SEQUENCER_B;"
          " PCF_A;IN=VCA_A;MOD_FREQ=AFFICHAGE_SHOW;MOD_AMP=VCA_B;SYNC=SEQUENCER_B;"
          " PCF_B;IN=GENERATOR_SUB;MOD_FREQ=BASIC_OPERATION_MUL;MOD_PHASE=MIXER_1;"
          " PCF_C;IN=BASIC_OPERATION_MUL;GATE=SEQUENCER_B;"
          " BASIC_OPERATION_MUL;IN1=VCO_LFO;IN2=CONSTANTE_HALF;IN_IF=SEQUENCER_B;"
          " VARIABLE_HOLD;IN=VCO_LFO;IN_ASSIGN=SEQUENCER_B; AFFICHAGE_SHOW;IN=VARIABLE_HOLD;"
          " MIXER_1;ADD_CHANELL=PCF_A;ADD_CHANELL=PCF_B;ADD_CHANELL=PCF_C; SOUND_OUT;IN=MIXER_1; END_LINKS_DECLARE");
    check("KSY/shapes.ksy");
}

TEST_F(RoundTrip, SamplersMixerChannelsAndEditedSequencers) {
    // The first sound output of the list is heard, the last in the file: the
    // order of a list matters.
    write("KSY/samples.ksy",
          "KEY_1;; SEQUENCER_FILE;PARTITION_FILE_NAME=PARTITIONS/melody.PAR; SEQUENCER_DRUMS;DIVIDER=4;"
          " SAMPLER_1;FILE=Sounds/kick.wav;MODE=2;PITCH=0.75;AMPLITUDE=0.5; SAMPLER_2;FILE=Sounds/voice.wav;MODE=3;"
          " SAMPLER_3;FILE=Sounds/snare.wav;MODE=1; VCA_MOD;ATTACK=1;DECAY=1;SUSTAIN=1;RELEASE=1;"
          " CONSTANTE_1;VALUE=0.125; MIXER_1;V_00=0.9;V_01=0.4;V_02=0.7;V_03=2;V_04=0.001;V_05=0.5;MUTE_05=1;"
          " SOUND_OUT_SILENT;; SOUND_OUT_HEARD;;"
          " END_OBJECTS_DECLARE BEGIN_LINKS_DECLARE SEQUENCER_FILE;SYNC=KEY_1;"
          " SAMPLER_1;GATE=SEQUENCER_DRUMS;MOD_AMP=VCA_MOD;MOD_FREQ=CONSTANTE_1;"
          " SAMPLER_2;IN=SEQUENCER_FILE;GATE=SEQUENCER_FILE;SYNC=KEY_1; SAMPLER_3;IN=CONSTANTE_1;GATE=SEQUENCER_DRUMS;"
          " VCA_MOD;IN=CONSTANTE_1;GATE=KEY_1;"
          " MIXER_1;ADD_CHANELL=SAMPLER_1;ADD_CHANELL=SAMPLER_2;ADD_CHANELL=SAMPLER_3;ADD_CHANELL=CONSTANTE_1;"
          "ADD_CHANELL=SEQUENCER_FILE;ADD_CHANELL=SAMPLER_2;"
          " SOUND_OUT_HEARD;IN=MIXER_1; SOUND_OUT_SILENT;IN=SAMPLER_3; END_LINKS_DECLARE");
    check("KSY/samples.ksy", [](GENERATOR& g) {
        SEQUENCER& file = *g.get_SEQUENCER_by_name("SEQUENCER_FILE");
        file.note[2] = 7;  // an edit on the panel: the shared pattern file stays as it is
        file.wished_pattern = 1;
        file.wished_divider = 5.5f;
        g.get_SEQUENCER_by_name("SEQUENCER_DRUMS")->running = 0;
        g.mixers[0]->input[3].source = nullptr;  // a cable pulled off
    });
    EXPECT_EQ(file_text(std::string(KEL_DATA_DIR) + "/PARTITIONS/melody.PAR"), file_text("PARTITIONS/melody.PAR"));
}

// ------------------------------------------------------------ the whole program

// One sine oscillator into the sound output. Its panel heads the first column:
// the frequency knob's picture is drawn at (16, 84) on the panel at (0, 25),
// 15 rows lower.
constexpr int FREQ_KNOB_X = 16 + 16, FREQ_KNOB_Y = 25 + 15 + 84 + 16;
const char* const ONE_OSCILLATOR =
    "BEGIN_OBJECTS_DECLARE\nVCO_TONE;TYPE=1;FREQ=440;AMOUNT=0.8;\nSOUND_OUT;;\nEND_OBJECTS_DECLARE\n"
    "BEGIN_LINKS_DECLARE\nSOUND_OUT;IN=VCO_TONE;\nEND_LINKS_DECLARE\n";

size_t count_of(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

struct WINDOW_PROGRAM {
    XVFB& x;
    std::string log;
    CHILD child;
    WINDOW_PROGRAM(XVFB& server, const std::string& cwd, const std::vector<std::string>& args, bool typed)
        : x(server), log(test_temp_path("save_window.log")) {
        std::vector<std::string> argv{std::string(KEL_BINARY_DIR) + "/z_ozodive", "--output", "none"};
        argv.insert(argv.end(), args.begin(), args.end());
        child = spawn_child(argv, cwd, {x.env()}, log, typed);
    }
    ~WINDOW_PROGRAM() { stop_child(child, SIGKILL); }
    std::string out() const { return file_text(log); }
    bool shown() {
        if (!wait_for_text(log, "Window open", std::chrono::milliseconds(30000))) return false;
        const std::string search = "DISPLAY=" + x.display() +
                                   " timeout 10 xdotool search --sync --onlyvisible --name '^z_ozodive' >/dev/null";
        if (std::system(search.c_str()) != 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return true;
    }
    void xdotool(const std::string& args) {
        const std::string command = "DISPLAY=" + x.display() + " xdotool " + args;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    /// Ctrl+S, then once the prompt is up, typed on the console (null: the
    /// console closes); waits for answer.
    void save(const char* typed, const std::string& answer) {
        const size_t prompts = count_of(out(), "Save - Entrez le nom du fichier"), answers = count_of(out(), answer);
        xdotool("key ctrl+s");
        ASSERT_TRUE(wait_until([&] { return count_of(out(), "Save - Entrez le nom du fichier") > prompts; },
                               std::chrono::milliseconds(10000)))
            << out();
        if (typed != nullptr) {
            ASSERT_TRUE(send_keys(child, typed));
        } else {
            close(child.stdin_fd);
            child.stdin_fd = -1;
        }
        ASSERT_TRUE(wait_until([&] { return count_of(out(), answer) > answers; }, std::chrono::milliseconds(10000)))
            << out();
    }
};

/// Makes a folder refuse new files for as long as it lives: read-only
/// permissions, and for root, whom they do not stop, the immutable flag.
struct LOCKED_FOLDER {
    std::string path;
    bool locked = false;
    explicit LOCKED_FOLDER(const std::string& p) : path(p) {
        chmod(path.c_str(), 0555);
        if (writable()) shell("chattr +i '" + path + "' 2>/dev/null");
        locked = !writable();
    }
    ~LOCKED_FOLDER() {
        shell("chattr -i '" + path + "' 2>/dev/null");
        chmod(path.c_str(), 0755);
    }
    static void shell(const std::string& command) {
        if (std::system(command.c_str()) != 0) {
        }
    }
    bool writable() const {
        const std::string probe = path + "/.probe";
        std::FILE* f = std::fopen(probe.c_str(), "w");
        if (f == nullptr) return false;
        std::fclose(f);
        std::remove(probe.c_str());
        return true;
    }
};

}  // namespace

TEST(SaveFromWindow, TurnedKnobIsHeardFromTheSavedPatchAndFailuresLoseNothing) {
    XVFB& x = shared_xvfb();
    ASSERT_FALSE(x.display().empty());
    const std::string work = working_copy("save_window");
    std::ofstream(work + "/KSY/one.ksy") << ONE_OSCILLATOR;
    const auto listing = [&] {
        std::string names;
        for (const auto& e : fs::directory_iterator(work + "/KSY")) names += e.path().filename().string() + " ";
        return names;
    };
    const std::string before = listing();
    {
        WINDOW_PROGRAM program(x, work, {"KSY/one.ksy"}, true);
        ASSERT_TRUE(program.shown()) << program.out();
        program.xdotool("mousemove 600 500");  // the keys go to the window under the pointer
        program.save("\n", "No file name: cancelled");
        program.save("../one\n", "[../one] refused");
        {
            LOCKED_FOLDER locked(work + "/KSY");
            if (locked.locked)
                program.save("one\n", "Nothing saved");
            else
                std::printf("KSY/ could not be made read-only here: that case is not tried\n");
        }
        EXPECT_EQ(listing(), before);
        EXPECT_EQ(file_text(work + "/KSY/one.ksy"), ONE_OSCILLATOR);

        // 60 pixels down: 60 steps of 1 Hz in the band above 50 Hz.
        program.xdotool("mousemove " + std::to_string(FREQ_KNOB_X) + " " + std::to_string(FREQ_KNOB_Y) + " mousedown 1");
        program.xdotool("mousemove " + std::to_string(FREQ_KNOB_X) + " " + std::to_string(FREQ_KNOB_Y + 60));
        program.xdotool("mouseup 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        program.save("turned\n", "Saved [KSY/turned.ksy]");
        program.save(nullptr, "end of input");
        program.xdotool("key Escape");
        int status = -1;
        ASSERT_TRUE(wait_child(program.child, std::chrono::milliseconds(15000), &status)) << program.out();
        EXPECT_EQ(status, 0) << program.out();
    }
    EXPECT_NE(file_text(work + "/KSY/turned.ksy").find("VCO_TONE;TYPE=1;FREQ=500;"), std::string::npos);

    WINDOW_PROGRAM replay(x, work, {"--record", "KSY/turned.ksy"}, false);
    ASSERT_TRUE(replay.shown()) << replay.out();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    replay.xdotool("key Escape");
    int status = -1;
    ASSERT_TRUE(wait_child(replay.child, std::chrono::milliseconds(15000), &status));
    const std::vector<short> heard = audible_part(left_channel(work + "/record.wav"));
    ASSERT_GT(heard.size(), 8820u);
    EXPECT_NEAR(pitch(std::vector<short>(heard.begin(), heard.begin() + 8820)), 500.0, 3.0);
}
