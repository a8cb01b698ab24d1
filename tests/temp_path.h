// A path in the test temp folder that no other test process uses: ctest runs
// every test in a process of its own, several at a time.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

inline std::string test_temp_path(const std::string& name) {
    return ::testing::TempDir() + "kel_" + std::to_string(getpid()) + "_" + name;
}
