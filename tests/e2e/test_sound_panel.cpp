// The sound output panel of the real window (F2): Escape closes it without
// quitting; chosen with the keys, the sound daemon takes over the playing
// patch, which the daemon's null sink then hears, and the settings file
// remembers the choice (a save, which writes the settings too, keeps it).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/recording.h"
#include "tests/processes.h"
#include "tests/pulse_server.h"
#include "tests/temp_path.h"
#include "tests/xvfb.h"

namespace {
using std::chrono::milliseconds;
using std::chrono::seconds;

std::string tone_patch() {
    const std::string path = test_temp_path("a440_panel.ksy");
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "BEGIN_OBJECTS_DECLARE\nVCO_TONE;TYPE=1;FREQ=440;AMOUNT=0.5;\nSOUND_OUT;;\nEND_OBJECTS_DECLARE\n"
                    "BEGIN_LINKS_DECLARE\nSOUND_OUT;IN=VCO_TONE;\nEND_LINKS_DECLARE\n");
    std::fclose(f);
    return path;
}

}  // namespace

TEST(SoundOutputPanel, F2MovesThePlayingPatchToTheSoundDaemonAndTheChoiceIsRemembered) {
    PULSE_SERVER pulse;
    if (!pulse.running()) GTEST_SKIP() << "no PulseAudio server could be started here";
    XVFB& x = shared_xvfb();
    ASSERT_FALSE(x.display().empty());
    const std::string config = test_temp_path("config_panel"), log = test_temp_path("sound_panel.log");
    const std::string wav = test_temp_path("panel_heard.wav"), settings = config + "/z_ozodive/settings";
    std::vector<std::string> env = pulse.environment();
    env.push_back(x.env());
    env.push_back("XDG_CONFIG_HOME=" + config);
    CHILD program = spawn_child({std::string(KEL_BINARY_DIR) + "/z_ozodive", "--output", "none", "--midi", "none",
                                 tone_patch()},
                                KEL_DATA_DIR, env, log, true);
    STOPPED_AT_END guard{program};
    ASSERT_TRUE(wait_for_text(log, "Window open", seconds(60))) << file_text(log);
    const auto xdotool = [&](const std::string& args) {
        const std::string command = "DISPLAY=" + x.display() + " xdotool " + args;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    };
    xdotool("search --sync --onlyvisible --name '^z_ozodive' >/dev/null");

    // Escape closes the panel; the window goes on.
    xdotool("mousemove 700 600 key F2");
    std::this_thread::sleep_for(milliseconds(500));
    xdotool("key Escape");
    int status = 0;
    EXPECT_FALSE(wait_child(program, milliseconds(1500), &status)) << file_text(log);

    // 2 is the console menu's number of the sound daemon.
    xdotool("key F2");
    std::this_thread::sleep_for(milliseconds(500));
    xdotool("key 2 Return");
    ASSERT_TRUE(wait_for_text(log, "Sound output: sound daemon (PulseAudio or PipeWire)", seconds(30)))
        << file_text(log);
    EXPECT_TRUE(wait_for_text(settings, "output=daemon\ndriver=1\n", seconds(5))) << file_text(settings);
    // Saving the patch writes the settings too (its recent patches), and keeps the output chosen.
    xdotool("key ctrl+s");
    std::this_thread::sleep_for(milliseconds(500));
    xdotool("key Return");
    EXPECT_TRUE(wait_for_text(log, "Saved [", seconds(10))) << file_text(log);
    EXPECT_NE(file_text(settings).find("output=daemon\ndriver=1\n"), std::string::npos) << file_text(settings);

    CHILD rec = pulse.record(wav);
    struct stat st;
    EXPECT_TRUE(wait_until([&] { return stat(wav.c_str(), &st) == 0 && st.st_size > 44 + 2 * 44100 * 4; },
                           seconds(30)));
    stop_child(rec, SIGINT);
    EXPECT_EQ(stop_child(program, SIGTERM), 0) << file_text(log);
    const auto heard = audible_part(left_channel(wav));
    ASSERT_GT(heard.size(), 44100u) << "less than a second of sound reached the sink";
    EXPECT_NEAR(pitch(heard), 440.0, 440.0 * 0.01);
    // The clean quit keeps the choice made in the window, not the one of the start.
    EXPECT_NE(file_text(settings).find("output=daemon\ndriver=1\n"), std::string::npos) << file_text(settings);
}
