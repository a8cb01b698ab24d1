// A working folder like data/ for a test that writes patches or patterns.
#pragma once

#include <filesystem>
#include <string>

#include "tests/temp_path.h"

/// Every entry of data/ reached through a link, but KSY/ and PARTITIONS/,
/// copied, which saving writes into.
inline std::string working_copy(const std::string& name) {
    namespace fs = std::filesystem;
    const std::string dir = test_temp_path(name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto& e : fs::directory_iterator(KEL_DATA_DIR)) {
        const std::string n = e.path().filename();
        if (n == "KSY" || n == "PARTITIONS")
            fs::copy(e.path(), dir + "/" + n, fs::copy_options::recursive);
        else if (n != "record.wav" && n != "sound.log")
            fs::create_symlink(e.path(), dir + "/" + n);
    }
    return dir;
}
