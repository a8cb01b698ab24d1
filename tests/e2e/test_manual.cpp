// The manual as a user meets it: --help names every option the program
// takes, the manual page renders cleanly, and every patch quoted in docs/
// is an example file, byte for byte, that plays.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/temp_path.h"

namespace {
namespace fs = std::filesystem;
const std::string SOURCE = std::string(KEL_DATA_DIR) + "/..";
const std::string PROGRAM = std::string(KEL_BINARY_DIR) + "/z_ozodive";

// Runs a shell command; returns its exit status and fills *out with stdout.
int run(const std::string& command, std::string* out) {
    std::FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return -1;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The text of every ```ksy block in the Markdown files of docs/.
std::vector<std::string> quoted_patches() {
    std::vector<std::string> blocks;
    for (const auto& entry : fs::directory_iterator(SOURCE + "/docs")) {
        if (entry.path().extension() != ".md") continue;
        std::istringstream in(read_file(entry.path()));
        std::string line, block;
        bool inside = false;
        while (std::getline(in, line)) {
            if (!inside && line == "```ksy") {
                inside = true;
                block.clear();
            } else if (inside && line == "```") {
                inside = false;
                blocks.push_back(block);
            } else if (inside) {
                block += line + "\n";
            }
        }
    }
    return blocks;
}
}  // namespace

TEST(TestManual, HelpNamesEveryOptionAndVersionAnswers) {
    for (const char* flag : {"--help", "-h"}) {
        std::string out;
        ASSERT_EQ(run(PROGRAM + " " + flag + " 2>/dev/null", &out), 0) << flag;
        for (const char* option : {"--headless", "--render", "--seconds", "--scope", "--record", "--output",
                                   "--driver", "--midi", "--size", "--sound-window", "--help", "-h", "--version"})
            EXPECT_NE(out.find(option), std::string::npos) << option << " missing from " << flag;
    }
    std::string version;
    EXPECT_EQ(run(PROGRAM + " --version", &version), 0);
    EXPECT_EQ(version.rfind("z_ozodive ", 0), 0u) << version;
    // A wrong option still fails, with the usage on stderr only.
    std::string wrong;
    EXPECT_EQ(run(PROGRAM + " --no-such-option 2>/dev/null", &wrong), 1);
    EXPECT_EQ(wrong, "");
}

TEST(TestManual, ManPageRendersWithoutWarnings) {
    std::string found;
    if (run("command -v man", &found) != 0) GTEST_SKIP() << "man is not installed";
    std::string text;
    ASSERT_EQ(run("MANWIDTH=80 man --warnings -l " + SOURCE + "/docs/z_ozodive.1 2>&1 >/dev/null", &text), 0);
    EXPECT_EQ(text, "") << "man warnings";
    std::string page;
    ASSERT_EQ(run("MANWIDTH=80 man -l " + SOURCE + "/docs/z_ozodive.1 2>/dev/null", &page), 0);
    for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "FILES", "EXIT STATUS", "EXAMPLES"})
        EXPECT_NE(page.find(section), std::string::npos) << section;
}

TEST(TestManual, QuotedPatchesAreExamplesThatRender) {
    std::vector<std::pair<std::string, std::string>> examples;  // name, text
    for (const auto& entry : fs::directory_iterator(std::string(KEL_DATA_DIR) + "/KSY/examples"))
        examples.emplace_back(entry.path().filename().string(), read_file(entry.path()));
    const auto blocks = quoted_patches();
    ASSERT_GE(blocks.size(), examples.size()) << "every example file is quoted in docs/";
    for (const auto& block : blocks) {
        std::string name;
        for (const auto& [file, text] : examples)
            if (text == block) name = file;
        ASSERT_FALSE(name.empty()) << "quoted patch is no example file:\n" << block;
        const std::string wav = test_temp_path("manual_" + name + ".wav");
        std::string out;
        EXPECT_EQ(run("cd " + std::string(KEL_DATA_DIR) + " && " + PROGRAM + " --render " + wav +
                          " --seconds 0.2 KSY/examples/" + name + " 2>&1",
                      &out),
                  0)
            << name << ": " << out;
        EXPECT_GT(fs::file_size(wav), 44u) << name;
    }
}
