// A path in the test temp folder that no other test process uses: ctest runs
// every test in a process of its own, several at a time. Whatever is made at
// such a path is removed when the test process ends.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <set>
#include <string>

namespace temp_path_detail {
struct REGISTRY {
    std::mutex lock;
    std::set<std::string> paths;
    ~REGISTRY() {
        std::error_code ignored;
        for (const auto& p : paths) std::filesystem::remove_all(p, ignored);
    }
};
inline REGISTRY& registry() {
    static REGISTRY r;
    return r;
}
}  // namespace temp_path_detail

inline std::string test_temp_path(const std::string& name) {
    const std::string path = ::testing::TempDir() + "kel_" + std::to_string(getpid()) + "_" + name;
    auto& r = temp_path_detail::registry();
    std::lock_guard<std::mutex> hold(r.lock);
    r.paths.insert(path);
    return path;
}
