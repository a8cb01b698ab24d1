// The window's dialogs without a window: what a file list shows and in which
// order, how the name field takes keys, how a question is answered, and a
// line typed on the console answering in place of the window.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/dialog.h"
#include "tests/temp_path.h"

namespace {
namespace fs = std::filesystem;

std::string names(const std::vector<FILE_ROW>& rows) {
    std::string s;
    for (const FILE_ROW& r : rows) s += (s.empty() ? "" : " ") + r.name + (r.folder ? "/" : "");
    return s;
}

struct FOLDER : ::testing::Test {
    std::string root = test_temp_path("dialog_root");
    void SetUp() override {
        fs::remove_all(root);
        fs::create_directories(root + "/drums/old");
        for (const char* f : {"b.ksy", "a.ksy", "C.ksy", ".autosave-a.ksy", "notes.txt", "drums/kick.ksy"})
            std::ofstream(root + "/" + f) << "x";
    }
    void TearDown() override { dialog_cancel(); }
    void type(const std::string& keys) {
        for (char c : keys) dialog_key((unsigned char)c);
    }
};

}  // namespace

TEST_F(FOLDER, RowsAreFoldersThenRecentFilesThenTheRestAndTypingFilters) {
    // Hidden files and other extensions are left out; recent ones come first.
    EXPECT_EQ(names(folder_rows(root, "", ".ksy", {}, "")), "drums/ C.ksy a.ksy b.ksy");
    EXPECT_EQ(names(folder_rows(root, "", ".ksy", {root + "/b.ksy", "elsewhere/a.ksy", root + "/gone.ksy"}, "")),
              "drums/ b.ksy C.ksy a.ksy");
    EXPECT_EQ(names(folder_rows(root, "", ".ksy", {}, "c")), "C.ksy");
    // Below the root, the way back up stays whatever is typed.
    EXPECT_EQ(names(folder_rows(root, "drums", ".ksy", {}, "zzz")), "../");
    EXPECT_EQ(names(folder_rows(root, "drums", ".ksy", {}, "")), "../ old/ kick.ksy");
    EXPECT_EQ(names(folder_rows(root + "/missing", "", ".ksy", {}, "")), "");
}

TEST_F(FOLDER, FileListEntersFoldersAndGivesThePathChosen) {
    std::string chosen;
    int calls = 0;
    dialog_files("Open", root, ".ksy", {}, [&](bool ok, const std::string& path) {
        calls++;
        chosen = ok ? path : "(cancelled)";
    });
    // The selection starts on the first file; typing narrows the list.
    type("dru");
    type("\n");  // the folder is all that is left: Enter goes in
    ASSERT_TRUE(dialog_shown());
    type("\n");
    EXPECT_EQ(chosen, root + "/drums/kick.ksy");
    EXPECT_FALSE(dialog_shown());

    dialog_files("Open", root, ".ksy", {root + "/b.ksy"}, [&](bool ok, const std::string& path) {
        calls++;
        chosen = ok ? path : "(cancelled)";
    });
    type("\n");
    EXPECT_EQ(chosen, root + "/b.ksy");
    dialog_files("Open", root, ".ksy", {}, [&](bool ok, const std::string& path) {
        calls++;
        chosen = ok ? path : "(cancelled)";
    });
    type("\x1b");
    EXPECT_EQ(chosen, "(cancelled)");
    EXPECT_EQ(calls, 3);
}

TEST(TextField, TheNameShownFirstIsReplacedByTypingAndBounded) {
    TEXT_FIELD f;
    f.text = "ZZZ";
    f.selected = true;
    f.max = 5;
    f.type('a');
    EXPECT_EQ(f.text, "a");
    for (char c : std::string("bcdefg")) f.type((unsigned char)c);
    EXPECT_EQ(f.text, "abcde");
    f.type(7);  // not printable
    f.erase();
    EXPECT_EQ(f.text, "abcd");
    f.selected = true;
    f.erase();
    EXPECT_EQ(f.text, "");

    std::string got = "-";
    dialog_text("Name", "ZZZ", 20, [&](bool ok, const std::string& text) { got = ok ? text : "(cancelled)"; });
    dialog_key('\n');
    EXPECT_EQ(got, "ZZZ");  // Enter keeps what was shown
}

TEST(Question, AnsweredByFirstLetterArrowsOrEscape) {
    int answer = -2;
    const auto ask = [&] {
        dialog_question("Unsaved", {"Save", "Discard", "Cancel"}, 2, [&](int b) { answer = b; });
    };
    ask();
    dialog_key('d');
    EXPECT_EQ(answer, 1);
    ask();
    dialog_key('X');  // no button's letter: still asking
    EXPECT_TRUE(dialog_shown());
    dialog_key(27);
    EXPECT_EQ(answer, 2);
    // A new dialog takes the place of an open one, which is cancelled.
    ask();
    std::string text = "-";
    dialog_text("Name", "", 20, [&](bool ok, const std::string& t) { text = ok ? t : "(cancelled)"; });
    EXPECT_EQ(answer, 2);
    dialog_cancel();
    EXPECT_EQ(text, "(cancelled)");
}

TEST(ConsoleAnswer, ALineTypedOnTheConsoleAnswersInPlaceOfTheWindow) {
    std::string window = "-", console = "-";
    const auto open = [&] {
        dialog_text("Name", "old", 20, [&](bool ok, const std::string& t) { window = ok ? t : "(cancelled)"; });
        dialog_console_answer([&](std::FILE* line) {
            char buffer[64] = "";
            console = std::fgets(buffer, sizeof buffer, line) != nullptr ? buffer : "(end)";
        });
    };
    open();
    for (char c : std::string("tune\n")) EXPECT_TRUE(dialog_console_byte((unsigned char)c));
    EXPECT_EQ(console, "tune\n");
    EXPECT_EQ(window, "-");  // the window's answer is not given as well
    EXPECT_FALSE(dialog_shown());

    open();
    dialog_console_byte('x');
    dialog_console_ended();
    EXPECT_EQ(console, "x");
    EXPECT_FALSE(dialog_console_byte('y'));  // no dialog: the byte is not taken
}
