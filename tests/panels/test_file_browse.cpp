// Stepping through a folder's files from the one a module holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "panels/file_browse.h"
#include "tests/temp_path.h"

TEST(FILE_BROWSE, BareName) {
    const struct { const char* path; const char* bare; } cases[] = {
        {"Sounds/phaser.wav", "phaser.wav"}, {"PARTITIONS\\12.PAR", "12.PAR"}, {"a.ksy", "a.ksy"},
        {"/z.wav", "/z.wav"},  // the first character is never a separator
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_STREQ(recupere_nom_fichier_extreme_droite(c.path), c.bare) << c.path;
    const char* path = "Sounds/kick.wav";
    EXPECT_EQ(recupere_nom_fichier_extreme_droite(path), path + 7);  // a pointer into the path, not a copy
}

TEST(FILE_BROWSE, NeighboursInListingOrder) {
    const std::string dir = test_temp_path("browse");
    std::filesystem::create_directories(dir + "/sub.wav");  // a folder is not a file
    for (const char* name : {"a.wav", "b.wav", "c.wav", "D.WAV", "notes.txt"}) std::ofstream(dir + "/" + name) << "x";
    // The listing: the upper-case group, then the lower-case one, each sorted,
    // the whole reversed: c.wav, b.wav, a.wav, D.WAV.
    const char* d = dir.c_str();
    const struct { const char* current; const char* next; const char* previous; } cases[] = {
        {"Sounds/b.wav", "a.wav", "c.wav"},  // matched by its bare name
        {"c.wav", "b.wav", "c.wav"},         // the first entry is its own previous
        {"D.WAV", "D.WAV", "a.wav"},         // the last entry is its own next
        {"notes.txt", "", ""},               // not listed: another extension
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(recupere_nom_fichier_suivant(c.current, d, "wav"), c.next) << c.current;
        EXPECT_EQ(recupere_nom_fichier_precedent(c.current, d, "wav"), c.previous) << c.current;
    }
    EXPECT_EQ(recupere_nom_fichier_suivant("a.wav", (dir + "/missing").c_str(), "wav"), "");
}
