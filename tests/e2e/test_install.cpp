// Installed as a desktop program: `cmake --install` into a prefix, started
// from another folder with a new HOME, the program makes the user's folder,
// plays the shipped default patch, and keeps the user's own files; the menu
// entry validates and the Debian package declares its dependencies.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/processes.h"
#include "tests/temp_path.h"
#include "tests/e2e/recording.h"

namespace fs = std::filesystem;
using std::chrono::milliseconds;

namespace {

/// Runs a shell command; its exit status.
int run(const std::string& command) { return std::system(command.c_str()); }

class Installed : public ::testing::Test {
protected:
    std::string prefix, home, elsewhere;

    void SetUp() override {
        prefix = test_temp_path("prefix");
        home = test_temp_path("home");
        elsewhere = test_temp_path("elsewhere");
        for (const auto& d : {prefix, home, elsewhere}) fs::create_directories(d);
        ASSERT_EQ(run("cmake --install " + std::string(KEL_BINARY_DIR) + " --prefix " + prefix + " >/dev/null"), 0);
    }
    void TearDown() override {
        for (const auto& d : {prefix, home, elsewhere}) fs::remove_all(d);
    }

    /// The installed program, headless with the default patch, for a moment;
    /// what it printed.
    std::string play_a_moment() {
        const std::string log = test_temp_path("installed.log");
        CHILD program = spawn_child({prefix + "/bin/z_ozodive", "--headless", "--output", "none", "--driver", "1",
                                     "--midi", "none", "--record"},
                                    elsewhere, {"HOME=" + home, "XDG_DATA_HOME=", "ASAN_OPTIONS=detect_leaks=0"}, log,
                                    false);
        EXPECT_TRUE(wait_for_text(log, "Playing.", milliseconds(30000))) << file_text(log);
        std::this_thread::sleep_for(milliseconds(1500));
        EXPECT_EQ(stop_child(program), 0) << file_text(log);
        return file_text(log);
    }
};

TEST_F(Installed, StartsFromAnotherFolderInTheUsersFolderAndKeepsTheirFiles) {
    const std::string user = home + "/.local/share/z_ozodive";
    play_a_moment();
    for (const char* f : {"KSY/ZZZ.ksy", "PARTITIONS", "Sounds", "RC", "Kel_Engine/GUI.KIM"})
        EXPECT_TRUE(fs::exists(user + "/" + f)) << f;
    const std::vector<short> heard = audible_part(left_channel(user + "/record.wav"));
    EXPECT_GT(heard.size(), 44100u / 2) << "the default patch is heard";
    EXPECT_FALSE(fs::exists(elsewhere + "/record.wav"));

    // A patch the user changed is theirs: a second start copies nothing over it.
    std::ofstream(user + "/KSY/ZZZ.ksy") << "BEGIN_OBJECTS_DECLARE\nEND_OBJECTS_DECLARE\n";
    play_a_moment();
    EXPECT_EQ(file_text(user + "/KSY/ZZZ.ksy"), "BEGIN_OBJECTS_DECLARE\nEND_OBJECTS_DECLARE\n");
}

TEST_F(Installed, MenuEntryValidatesAndThePackageDeclaresItsDependencies) {
    EXPECT_EQ(run("desktop-file-validate " + prefix + "/share/applications/z_ozodive.desktop"), 0);
    EXPECT_TRUE(fs::exists(prefix + "/share/icons/hicolor/128x128/apps/z_ozodive.png"));
    EXPECT_TRUE(fs::exists(prefix + "/share/man/man1/z_ozodive.1"));

    const std::string out = test_temp_path("package");
    fs::create_directories(out);
    ASSERT_EQ(run("cd " + std::string(KEL_BINARY_DIR) + " && cpack -G DEB -B " + out + " >/dev/null"), 0);
    std::string deb;
    for (const auto& e : fs::directory_iterator(out))
        if (e.path().extension() == ".deb") deb = e.path().string();
    ASSERT_FALSE(deb.empty());
    const std::string info = test_temp_path("deb_info.txt"), files = test_temp_path("deb_files.txt");
    ASSERT_EQ(run("dpkg-deb -I " + deb + " > " + info), 0);
    ASSERT_EQ(run("dpkg-deb -c " + deb + " > " + files), 0);
    const std::string i = file_text(info), c = file_text(files);
    for (const char* dep : {"libsdl1.2debian", "libportaudio2", "fonts-dejavu-core", "libasound2-plugins"})
        EXPECT_NE(i.find(dep), std::string::npos) << dep << " in\n" << i;
    for (const char* f : {"./usr/bin/z_ozodive", "./usr/share/applications/z_ozodive.desktop",
                          "./usr/share/z_ozodive/KSY/ZZZ.ksy", "./usr/share/icons/hicolor/128x128/apps/z_ozodive.png"})
        EXPECT_NE(c.find(f), std::string::npos) << f;
    fs::remove_all(out);
}

}  // namespace
