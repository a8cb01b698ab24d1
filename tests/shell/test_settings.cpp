// The settings file: read back what was written, lines that cannot be used
// ignored one by one with a reason, the file replaced whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/settings.h"
#include "shell/sound_device.h"
#include "tests/temp_path.h"

namespace {
std::string read_all(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
}  // namespace

TEST(Settings, SavedFileReadsBackTheSame) {
    SETTINGS s;
    s.output = FSOUND_OUTPUT_ESD;
    s.driver = 2;
    s.width = 1280;
    s.height = 960;
    settings_note_patch(&s, "KSY/a.ksy");
    settings_note_patch(&s, "KSY/with space=equals.ksy");
    settings_note_patch(&s, "KSY/a.ksy");  // again: first, and once
    const std::string path = test_temp_path("cfg") + "/deeper/z_ozodive/settings";
    std::string why;
    ASSERT_TRUE(settings_save(path, s, &why)) << why;

    SETTINGS back;
    ASSERT_TRUE(settings_load(path, &back));
    EXPECT_EQ(back.output, FSOUND_OUTPUT_ESD);
    EXPECT_EQ(back.driver, 2);
    EXPECT_EQ(back.width, 1280);
    EXPECT_EQ(back.height, 960);
    EXPECT_EQ(back.last_patch, "KSY/a.ksy");
    EXPECT_EQ(back.recent, (std::vector<std::string>{"KSY/a.ksy", "KSY/with space=equals.ksy"}));

    // Written again, the file is replaced and no temporary file stays beside it.
    back.output = FSOUND_OUTPUT_NOSOUND;
    ASSERT_TRUE(settings_save(path, back, &why)) << why;
    EXPECT_NE(read_all(path).find("output=none\n"), std::string::npos);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path())) {
        (void)e;
        files++;
    }
    EXPECT_EQ(files, 1);
}

TEST(Settings, RecentListKeepsTheNewestTen) {
    SETTINGS s;
    for (int i = 0; i < 15; i++) settings_note_patch(&s, "KSY/p" + std::to_string(i) + ".ksy");
    ASSERT_EQ(s.recent.size(), SETTINGS_RECENT_MAX);
    EXPECT_EQ(s.recent.front(), "KSY/p14.ksy");
    EXPECT_EQ(s.recent.back(), "KSY/p5.ksy");
}

struct BAD_LINE {
    const char* line;
    const char* reason;
};

class SettingsBadLine : public ::testing::TestWithParam<BAD_LINE> {};

TEST_P(SettingsBadLine, IsIgnoredWithAMessageAndTheRestIsKept) {
    std::vector<std::string> problems;
    const SETTINGS s =
        settings_parse(std::string("output=alsa\n") + GetParam().line + "\ndriver=3\n", &problems);
    EXPECT_EQ(s.output, FSOUND_OUTPUT_ALSA);
    EXPECT_EQ(s.driver, 3);
    EXPECT_EQ(s.width, 0);
    EXPECT_TRUE(s.last_patch.empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("line 2: "), std::string::npos) << problems[0];
    EXPECT_NE(problems[0].find(GetParam().reason), std::string::npos) << problems[0];
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SettingsBadLine,
    ::testing::Values(BAD_LINE{"no equals sign", "no key=value"}, BAD_LINE{"volume=11", "unknown key [volume]"},
                      BAD_LINE{"output=speakers", "output takes"}, BAD_LINE{"driver=0", "driver takes"},
                      BAD_LINE{"driver=-1", "driver takes"}, BAD_LINE{"driver=99999999999", "driver takes"},
                      BAD_LINE{"window=10x10", "window takes"}, BAD_LINE{"window=800x600x2", "window takes"},
                      BAD_LINE{"last_patch=", "no usable patch name"},
                      BAD_LINE{"last_patch=a\x01" "b", "no usable patch name"}));

TEST(Settings, MissingFileIsAFirstRunAndUnreadableOneIsNotFatal) {
    SETTINGS s;
    s.driver = 4;
    EXPECT_TRUE(settings_load(test_temp_path("never_written"), &s));
    EXPECT_EQ(s.driver, 4);  // nothing remembered: left as it was
    const std::string dir = test_temp_path("a_folder");
    std::filesystem::create_directories(dir);
    EXPECT_FALSE(settings_load(dir, &s));  // a folder where the file should be
    std::string why;
    // A file standing where the folder should be: no settings, a reason.
    const std::string file = test_temp_path("plain_file");
    std::ofstream(file) << "x";
    EXPECT_FALSE(settings_save(file + "/z_ozodive/settings", s, &why));
    EXPECT_NE(why.find("cannot make the folder"), std::string::npos) << why;
}

TEST(Settings, PathFollowsXdgConfigHomeThenHome) {
    const char* old_config = std::getenv("XDG_CONFIG_HOME");
    const char* old_home = std::getenv("HOME");
    const std::string keep_config = old_config ? old_config : "", keep_home = old_home ? old_home : "";
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(settings_path(), "/cfg/z_ozodive/settings");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(settings_path(), "/home/u/.config/z_ozodive/settings");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(settings_path(), "/home/u/.config/z_ozodive/settings");
    unsetenv("HOME");
    EXPECT_EQ(settings_path(), "");
    if (old_config) setenv("XDG_CONFIG_HOME", keep_config.c_str(), 1);
    if (old_home) setenv("HOME", keep_home.c_str(), 1);
}
