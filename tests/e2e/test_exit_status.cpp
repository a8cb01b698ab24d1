// The exit statuses: one table, the same in --help, the manual page and
// docs/exit-status.md, and the program ending with each status where the table
// says (the window, sound and port cases are in the live and window tests).
// Also --check as the manual shows it, and a failed render leaving no file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/temp_path.h"

namespace {
namespace fs = std::filesystem;
const std::string DATA = KEL_DATA_DIR;
const std::string DOCS = DATA + "/../docs";
const std::string PROGRAM = std::string(KEL_BINARY_DIR) + "/z_ozodive";

// Runs the program from the data folder with stdin closed; its status, and its output in *out.
int run(const std::string& args, std::string* out = nullptr) {
    const std::string log = test_temp_path("log.txt");
    const std::string cmd = "cd '" + DATA + "' && '" + PROGRAM + "' " + args + " </dev/null >'" + log + "' 2>&1";
    const int rc = std::system(cmd.c_str());
    std::ifstream f(log);
    const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (out != nullptr) *out = text;
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string squeeze(std::string s) {
    s = std::regex_replace(s, std::regex(R"(\\-)"), "-");
    s = std::regex_replace(s, std::regex(R"(\s+)"), " ");
    const size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

using Table = std::vector<std::pair<std::string, std::string>>;

Table help_table() {
    std::string help;
    run("--help", &help);
    std::istringstream in(help.substr(help.find("Exit status:\n") + 13));
    Table t;
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, std::regex(R"(  (\d+) +(.*))"))) t.push_back({m[1], m[2]});
        else if (!t.empty() && line.rfind("       ", 0) == 0) t.back().second += " " + line;
        else break;
    }
    for (auto& row : t) row.second = squeeze(row.second);
    return t;
}

Table man_table() {
    const std::string man = read_file(DOCS + "/z_ozodive.1");
    std::istringstream in(man.substr(man.find(".SH EXIT STATUS")));
    Table t;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line) && line.rfind(".SH", 0) != 0) {
        if (line == ".TP") continue;
        if (line.rfind(".B ", 0) == 0) t.push_back({line.substr(3), ""});
        else if (!t.empty()) t.back().second += " " + line;
    }
    for (auto& row : t) row.second = squeeze(row.second);
    return t;
}

Table docs_table() {
    std::istringstream in(read_file(DOCS + "/exit-status.md"));
    Table t;
    std::string line;
    std::smatch m;
    while (std::getline(in, line))
        if (std::regex_match(line, m, std::regex(R"(\| (\d+) \| (.*) \|)"))) t.push_back({m[1], squeeze(m[2])});
    return t;
}

TEST(ExitStatus, OneTableInHelpManualPageAndDocs) {
    const Table help = help_table();
    ASSERT_EQ(help.size(), 4u);
    EXPECT_EQ(man_table(), help);
    EXPECT_EQ(docs_table(), help);
}

struct Case {
    const char* args;  ///< $P: a patch written by the test; $O: an output file
    const char* patch;
    int status;
};

class ExitWith : public ::testing::TestWithParam<Case> {};

TEST_P(ExitWith, TheStatusTheTableSays) {
    const Case& c = GetParam();
    const std::string patch = test_temp_path("p.ksy"), out = test_temp_path("out.wav");
    std::ofstream(patch) << c.patch;
    fs::remove(out);  // a render of an earlier case
    std::string args = c.args;
    args = std::regex_replace(args, std::regex(R"(\$P)"), patch);
    args = std::regex_replace(args, std::regex(R"(\$O)"), out);
    std::string said;
    EXPECT_EQ(run(args, &said), c.status) << args << "\n" << said;
    // A render that failed leaves nothing behind, not even its temporary file.
    if (c.status != 0) {
        EXPECT_FALSE(fs::exists(out)) << args;
        EXPECT_FALSE(fs::exists(out + ".partial")) << args;
    }
}

const char* const CLEAN = "BEGIN_OBJECTS_DECLARE\nVCO_A;TYPE=1;\nSOUND_OUT;;\nEND_OBJECTS_DECLARE\n"
                          "BEGIN_LINKS_DECLARE\nSOUND_OUT;IN=VCO_A;\nEND_LINKS_DECLARE\n";
const char* const TYPO = "BEGIN_OBJECTS_DECLARE\nVCO_A;TYPO=1;\nSOUND_OUT;;\nEND_OBJECTS_DECLARE\n"
                         "BEGIN_LINKS_DECLARE\nSOUND_OUT;IN=VCO_A;\nEND_LINKS_DECLARE\n";
const char* const EMPTY_FIELD = "BEGIN_OBJECTS_DECLARE\nVCO_A;;\nSOUND_OUT;;\nEND_OBJECTS_DECLARE\n"
                                "BEGIN_LINKS_DECLARE\nSOUND_OUT;IN=VCO_A;\nEND_LINKS_DECLARE\n";
const char* const NO_SAMPLE = "BEGIN_OBJECTS_DECLARE\nSAMPLER_S;FILE=Sounds/none.wav;\nSOUND_OUT;;\n"
                              "END_OBJECTS_DECLARE\nBEGIN_LINKS_DECLARE\nEND_LINKS_DECLARE\n";

INSTANTIATE_TEST_SUITE_P(
    Statuses, ExitWith,
    ::testing::Values(Case{"--version", CLEAN, 0}, Case{"--check $P", CLEAN, 0},
                      Case{"--render $O --seconds 0.1 $P", CLEAN, 0},
                      Case{"--no-such-option", CLEAN, 1}, Case{"--check $P", TYPO, 1},
                      Case{"--headless --output none --driver 1 KSY/no_such.ksy", CLEAN, 1},
                      Case{"--render $O --seconds 1 KSY/no_such.ksy", CLEAN, 1},
                      Case{"--render /no_such_dir/out.wav --seconds 1 $P", CLEAN, 1},
                      Case{"--render $O --seconds 1 --no-such-option $P", CLEAN, 1},
                      Case{"--size 10x10", CLEAN, 2}, Case{"--render $O $P", CLEAN, 2},
                      Case{"--check $P", EMPTY_FIELD, 2}, Case{"--check $P", NO_SAMPLE, 2},
                      Case{"--render $O --seconds 0.1 $P", EMPTY_FIELD, 255},
                      Case{"--render $O --seconds 0.1 $P", NO_SAMPLE, 255}),
    [](const auto& i) { return std::to_string(i.index); });

// The block of docs/patches.md after a marker line, between its fences.
std::string block_after(const std::string& text, const std::string& marker) {
    const size_t at = text.find(marker);
    EXPECT_NE(at, std::string::npos) << marker;
    if (at == std::string::npos) return "";
    const size_t open = text.find("```", at);
    const size_t start = text.find('\n', open) + 1;
    return text.substr(start, text.find("```", start) - start);
}

TEST(CheckCommand, TheManualsExampleSaysWhatTheProgramSays) {
    const std::string manual = read_file(DOCS + "/patches.md");
    const std::string dir = test_temp_path("check");
    fs::create_directories(dir);
    std::ofstream(dir + "/typos.ksy") << block_after(manual, "<!-- check-example: patch -->");
    const std::string shown = block_after(manual, "<!-- check-example: output -->");
    std::string said;
    const int status = run("--check '" + dir + "/typos.ksy'", &said);
    said += "status " + std::to_string(status) + "\n";
    for (size_t at = said.find(dir + "/"); at != std::string::npos; at = said.find(dir + "/"))
        said.erase(at, dir.size() + 1);
    EXPECT_EQ("$ z_ozodive --check typos.ksy\n" + said, shown);
    // Loading the patch says the same once, before the loader's own messages.
    std::string loading;
    run("--render '" + dir + "/out.wav' --seconds 0.1 '" + dir + "/typos.ksy'", &loading);
    const std::string first = said.substr(0, said.find('\n'));
    const size_t at = loading.find(first.substr(first.find(':')));
    EXPECT_NE(at, std::string::npos) << loading;
    EXPECT_EQ(loading.find(first.substr(first.find(':')), at + 1), std::string::npos) << "said twice";
}

}  // namespace
