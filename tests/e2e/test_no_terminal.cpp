// Started without a terminal (a desktop launcher gives the program an empty
// standard input): the program chooses its sound output itself, says which,
// plays, and remembers the choice for the next run.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/recording.h"
#include "tests/processes.h"
#include "tests/pulse_server.h"
#include "tests/temp_path.h"
#include "tests/xvfb.h"

namespace {
using std::chrono::seconds;

const std::string kZozodive = std::string(KEL_BINARY_DIR) + "/z_ozodive";

std::string tone_patch(const std::string& name) {
    const std::string path = test_temp_path(name);
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "BEGIN_OBJECTS_DECLARE\nVCO_TONE;TYPE=1;FREQ=440;AMOUNT=0.5;\nSOUND_OUT;;\nEND_OBJECTS_DECLARE\n"
                    "BEGIN_LINKS_DECLARE\nSOUND_OUT;IN=VCO_TONE;\nEND_LINKS_DECLARE\n");
    std::fclose(f);
    return path;
}

void write_file(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr) << path;
    std::fputs(text.c_str(), f);
    std::fclose(f);
}

}  // namespace

TEST(NoTerminal, WindowPlaysThroughTheSoundDaemonAndTheChoiceIsRemembered) {
    PULSE_SERVER pulse;
    if (!pulse.running()) GTEST_SKIP() << "no PulseAudio server could be started here";
    XVFB& x = shared_xvfb();
    ASSERT_FALSE(x.display().empty());
    const std::string patch = tone_patch("a440.ksy"), wav = test_temp_path("heard.wav");
    const std::string config = test_temp_path("config_daemon"), log = test_temp_path("no_terminal.log");
    std::vector<std::string> env = pulse.environment();
    env.push_back(x.env());
    env.push_back("XDG_CONFIG_HOME=" + config);

    // Standard input is /dev/null and no --output is given.
    CHILD program = spawn_child({kZozodive, "--midi", "none", patch}, KEL_DATA_DIR, env, log, false);
    STOPPED_AT_END guard{program};
    ASSERT_TRUE(wait_for_text(log, "Window open", seconds(60))) << file_text(log);
    EXPECT_NE(file_text(log).find("No terminal to ask: sound output sound daemon (PulseAudio or PipeWire)"), std::string::npos)
        << file_text(log);

    CHILD rec = pulse.record(wav);
    struct stat st;
    EXPECT_TRUE(wait_until([&] { return stat(wav.c_str(), &st) == 0 && st.st_size > 44 + 2 * 44100 * 4; },
                           seconds(30)));
    stop_child(rec, SIGINT);
    EXPECT_EQ(stop_child(program, SIGTERM), 0) << file_text(log);
    const auto heard = audible_part(left_channel(wav));
    ASSERT_GT(heard.size(), 44100u) << "less than a second of sound reached the sink";
    EXPECT_NEAR(pitch(heard), 440.0, 440.0 * 0.01);

    const std::string settings = file_text(config + "/z_ozodive/settings");
    EXPECT_NE(settings.find("output=daemon\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("driver=1\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("window=1024x768\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("last_patch=" + patch + "\n"), std::string::npos) << settings;
}

// Headless runs whose input ends before a choice, by the settings they find.
struct EMPTY_INPUT_CASE {
    const char* name;
    const char* keys;      // piped in before the input ends
    const char* settings;  // the settings file's text; null for none
    const char* shown;     // on the console
    const char* option = nullptr;  // one more option, if any
};

class NoTerminalChoice : public ::testing::TestWithParam<EMPTY_INPUT_CASE> {};

TEST_P(NoTerminalChoice, PlaysWithoutQuitting) {
    const EMPTY_INPUT_CASE& c = GetParam();
    const std::string config = test_temp_path("config"), log = test_temp_path("choice.log");
    if (c.settings != nullptr) {
        ASSERT_EQ(std::system(("mkdir -p '" + config + "/z_ozodive'").c_str()), 0);
        write_file(config + "/z_ozodive/settings", c.settings);
    }
    std::vector<std::string> args{kZozodive, "--headless", "--midi", "none", "KSY/examples/VCO.ksy"};
    if (c.option != nullptr) args.push_back(c.option);
    // No display either, as on a server.
    CHILD program = spawn_child(args, KEL_DATA_DIR, {"XDG_CONFIG_HOME=" + config, "DISPLAY="}, log, true);
    STOPPED_AT_END guard{program};
    ASSERT_TRUE(send_keys(program, c.keys));
    close(program.stdin_fd);
    program.stdin_fd = -1;
    ASSERT_TRUE(wait_for_text(log, "Playing.", seconds(30))) << file_text(log);
    EXPECT_NE(file_text(log).find(c.shown), std::string::npos) << file_text(log);
    EXPECT_EQ(file_text(log).find("\x1b["), std::string::npos) << "terminal drawing on the console";
    EXPECT_EQ(stop_child(program, SIGTERM), 0) << file_text(log);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoTerminalChoice,
    ::testing::Values(
        // The output was piped in, the driver was not: its first driver.
        EMPTY_INPUT_CASE{"OutputPipedDriverChosen", "4", nullptr, "No terminal to ask: sound driver NoSound"},
        // The remembered output comes before the sound daemon.
        EMPTY_INPUT_CASE{"RememberedOutput", "", "output=none\ndriver=1\n", "No terminal to ask: sound output NoSound"},
        // A broken file only costs a message per line.
        EMPTY_INPUT_CASE{"BrokenSettings", "", "output=none\nvolume=11\ndriver=x\n\x01\x02garbage\nwindow=2x2\n",
                         "line 2: unknown key [volume], ignored"},
        // The windowed set-up's OSS (none on a machine without OSS devices)
        // gives way to the output chosen before, named again.
        EMPTY_INPUT_CASE{"SoundWindow", "", "output=none\ndriver=1\n",
                         "No terminal to ask: OSS did not open (OSS (Open Sound System) has no driver here); sound "
                         "output NoSound",
                         "--sound-window"}),
    [](const auto& p) { return std::string(p.param.name); });
